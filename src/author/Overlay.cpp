#include "author/Overlay.h"

#include "author/Transport.h"
#include "author/TweakDefinition.h"
#include "effekt/Tweaks.h"
#include "player/RenderWindow.h"
#include "render/GL.h"

#include <SDL2/SDL.h>
#include <backends/imgui_impl_opengl2.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cstdio>

namespace {

constexpr float margin = 8;
constexpr float clockWidth = 340;
constexpr float clockHeight = 300;
constexpr float errorHeight = 180;
constexpr float tweaksWidth = 320;
constexpr float timelineHeight = 170;
constexpr double beatSpan = 4.0; // seconds of beat history on the graph
constexpr float beatThresholds[] = {0.25f, 0.7f};
constexpr ImGuiWindowFlags panelFlags =
    ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse |
    ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing;

// Everything the show may have left set is put back after the overlay: effects inherit it.
class SavedGlState {
public:
    SavedGlState() {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
        for (const GLenum mode : matrixModes) {
            glMatrixMode(mode);
            glPushMatrix();
        }
    }
    ~SavedGlState() {
        for (const GLenum mode : matrixModes) {
            glMatrixMode(mode);
            glPopMatrix();
        }
        glPopClientAttrib();
        glPopAttrib();
    }
    SavedGlState(const SavedGlState&) = delete;
    SavedGlState& operator=(const SavedGlState&) = delete;

private:
    static constexpr GLenum matrixModes[] = {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW};
};

void placeWindow(const OverlayRect& rect) {
    ImGui::SetNextWindowPos(ImVec2(rect.x, rect.y), ImGuiCond_Always);
    ImGui::SetNextWindowSize(ImVec2(rect.width, rect.height), ImGuiCond_Always);
}

bool isFiniteEnd(uint32_t end) { return end < 0x7fffffffu; }

// The time axis of the strip: up to the latest finite end, at least past the playhead.
uint32_t axisEnd(const std::vector<ShowEntry>& entries, uint32_t now) {
    uint32_t end = now + 1000;
    for (const ShowEntry& entry : entries)
        end = std::max(end, isFiniteEnd(entry.end) ? entry.end : entry.start + 1000);
    return end;
}

void drawClockPanel(const OverlayView& view, const OverlayRect& rect) {
    placeWindow(rect);
    if (ImGui::Begin("Clock", nullptr, panelFlags)) {
        const uint32_t time = view.transport.time();
        ImGui::Text("Time %u ms   %s", time, clockText(time).c_str());
        ImGui::Text("%s", view.transport.paused() ? "Paused" : "Playing");
        if (view.transport.looping()) {
            ImGui::SameLine();
            ImGui::Text("- looping %s to %s", clockText(view.transport.loopStart()).c_str(),
                        clockText(view.transport.loopEnd()).c_str());
        }
        const float mean = view.frames.mean();
        const float p95 = view.frames.percentile95();
        ImGui::Text("Frame %.2f ms mean, %.2f ms p95, %.1f fps", mean, p95,
                    mean > 0 ? 1000.0f / mean : 0.0f);
        ImGui::PlotLines("##frames", view.frames.chronological(), int(view.frames.count()), 0,
                         "frame time, last 240", 0.0f, std::max(2.0f * p95, 20.0f),
                         ImVec2(ImGui::GetContentRegionAvail().x, 60));
        ImGui::Text("Beat level, last 4 s (lines at 0.25 and 0.7)");
        const ImVec2 size(ImGui::GetContentRegionAvail().x, 70);
        const ImVec2 origin = ImGui::GetCursorScreenPos();
        ImGui::Dummy(size);
        ImDrawList* draw = ImGui::GetWindowDrawList();
        draw->AddRectFilled(origin, ImVec2(origin.x + size.x, origin.y + size.y),
                            IM_COL32(20, 20, 30, 220));
        auto yOf = [&](float beat) { return origin.y + size.y * (1.0f - beat); };
        for (const float threshold : beatThresholds)
            draw->AddLine(ImVec2(origin.x, yOf(threshold)),
                          ImVec2(origin.x + size.x, yOf(threshold)), IM_COL32(200, 120, 60, 200));
        ImVec2 previous;
        bool started = false;
        for (size_t i = 0; i < view.beats.count(); ++i) {
            const double age = view.nowSeconds - view.beats.seconds(i);
            if (age > beatSpan)
                continue;
            const ImVec2 point(origin.x + size.x * float(1.0 - age / beatSpan),
                               yOf(std::clamp(view.beats.beat(i), 0.0f, 1.0f)));
            if (started)
                draw->AddLine(previous, point, IM_COL32(120, 220, 255, 255), 1.5f);
            previous = point;
            started = true;
        }
        ImGui::TextWrapped("Space pause, Left/Right 1 s (Shift 10 s), PageUp/PageDown entries, "
                           "Home start, L loop, F1 overlay");
    }
    ImGui::End();
}

void drawEntryTooltip(const ShowEntry& entry) {
    ImGui::BeginTooltip();
    ImGui::Text("%s", entry.keyword.c_str());
    ImGui::Text("start %u ms (%s)", entry.start, clockText(entry.start).c_str());
    ImGui::Text("end   %u ms (%s)", entry.end, clockText(entry.end).c_str());
    if (entry.line > 0)
        ImGui::Text("script line %d", entry.line);
    for (const std::string& line : entry.extraLines)
        ImGui::Text("  %s", line.c_str());
    ImGui::EndTooltip();
}

void drawTimelineStrip(const OverlayView& view, const OverlayRect& rect) {
    placeWindow(rect);
    if (ImGui::Begin("Timeline", nullptr, panelFlags)) {
        const uint32_t now = view.transport.time();
        const double end = axisEnd(view.entries, now);
        const ImVec2 size = ImGui::GetContentRegionAvail();
        const ImVec2 origin = ImGui::GetCursorScreenPos();
        ImGui::InvisibleButton("strip", ImVec2(std::max(size.x, 1.0f), std::max(size.y, 1.0f)));
        const bool hovered = ImGui::IsItemHovered();
        const ImVec2 mouse = ImGui::GetIO().MousePos;
        auto xOf = [&](double time) { return origin.x + float(time / end) * size.x; };
        if (ImGui::IsItemActive()) {
            const double fraction = std::clamp((mouse.x - origin.x) / size.x, 0.0f, 1.0f);
            view.transport.seekTo(uint32_t(fraction * end));
        }
        ImDrawList* draw = ImGui::GetWindowDrawList();
        draw->AddRectFilled(origin, ImVec2(origin.x + size.x, origin.y + size.y),
                            IM_COL32(15, 15, 20, 200));
        if (view.transport.looping())
            draw->AddRectFilled(ImVec2(xOf(view.transport.loopStart()), origin.y),
                                ImVec2(xOf(view.transport.loopEnd()), origin.y + size.y),
                                IM_COL32(60, 120, 60, 120));
        const float rowHeight = std::min(20.0f, size.y / float(std::max(view.rows, 1)));
        const ShowEntry* hoveredEntry = nullptr;
        for (size_t i = 0; i < view.entries.size() && i < view.effects.size(); ++i) {
            const ShowEntry& entry = view.entries[i];
            const double entryEnd = isFiniteEnd(entry.end) ? entry.end : end;
            const ImVec2 low(xOf(entry.start), origin.y + rowHeight * float(entry.row));
            const ImVec2 high(std::max(xOf(entryEnd), low.x + 2), low.y + rowHeight - 2);
            const bool active = view.effects[i]->isActiveAt(now);
            draw->AddRectFilled(low, high,
                                active ? IM_COL32(230, 170, 40, 255) : IM_COL32(70, 90, 140, 255));
            draw->PushClipRect(low, high, true);
            draw->AddText(ImVec2(low.x + 3, low.y + 2),
                          active ? IM_COL32(0, 0, 0, 255) : IM_COL32(230, 230, 230, 255),
                          entry.keyword.c_str());
            draw->PopClipRect();
            if (hovered && mouse.x >= low.x && mouse.x < high.x && mouse.y >= low.y &&
                mouse.y < high.y)
                hoveredEntry = &entry;
        }
        for (double tick = 0; tick < end; tick += 10000)
            draw->AddLine(ImVec2(xOf(tick), origin.y + size.y - 6),
                          ImVec2(xOf(tick), origin.y + size.y), IM_COL32(180, 180, 180, 255));
        draw->AddLine(ImVec2(xOf(now), origin.y), ImVec2(xOf(now), origin.y + size.y),
                      IM_COL32(255, 60, 60, 255), 2.0f);
        if (hoveredEntry)
            drawEntryTooltip(*hoveredEntry);
    }
    ImGui::End();
}

// Lower and upper bounds for a drag of the given value type; no bounds when the definition has
// none (ImGui then leaves the value free).
template <class T> struct DragBounds {
    T low, high;
    const T* min() const { return low < high ? &low : nullptr; }
    const T* max() const { return low < high ? &high : nullptr; }
};

template <class T>
DragBounds<T> dragBounds(const TweakDefinition& definition, T lowest, T highest) {
    const T low = definition.min ? T(std::max<double>(*definition.min, double(lowest))) : lowest;
    const T high = definition.max ? T(std::min<double>(*definition.max, double(highest))) : highest;
    if (!definition.min && !definition.max)
        return {0, 0};
    return {low, high};
}

void drawTweak(const TweakVariable& variable) {
    const TweakDefinition definition = parseTweakDefinition(variable.definition);
    const std::string& label = definition.label.empty() ? variable.name : definition.label;
    const float speed = definition.step ? float(*definition.step) : 0.0f;
    ImGui::PushID(variable.address);
    switch (variable.type) {
    case TweakBool:
        ImGui::Checkbox(label.c_str(), static_cast<bool*>(variable.address));
        break;
    case TweakInt32: {
        const auto bounds = dragBounds<int>(definition, INT_MIN, INT_MAX);
        ImGui::DragScalar(label.c_str(), ImGuiDataType_S32, variable.address,
                          speed > 0 ? speed : 1.0f, bounds.min(), bounds.max(), "%d",
                          ImGuiSliderFlags_AlwaysClamp);
        break;
    }
    case TweakFloat: {
        const auto bounds = dragBounds<float>(definition, -FLT_MAX, FLT_MAX);
        ImGui::DragScalar(label.c_str(), ImGuiDataType_Float, variable.address,
                          speed > 0 ? speed : 0.1f, bounds.min(), bounds.max(), "%.3f",
                          ImGuiSliderFlags_AlwaysClamp);
        break;
    }
    case TweakDouble: {
        const auto bounds = dragBounds<double>(definition, -DBL_MAX, DBL_MAX);
        ImGui::DragScalar(label.c_str(), ImGuiDataType_Double, variable.address,
                          speed > 0 ? speed : 0.1f, bounds.min(), bounds.max(), "%.4f",
                          ImGuiSliderFlags_AlwaysClamp);
        break;
    }
    case TweakColor3F:
        ImGui::ColorEdit3(label.c_str(), static_cast<float*>(variable.address),
                          ImGuiColorEditFlags_Float | ImGuiColorEditFlags_HDR);
        break;
    case TweakColor4F:
        ImGui::ColorEdit4(label.c_str(), static_cast<float*>(variable.address),
                          ImGuiColorEditFlags_Float | ImGuiColorEditFlags_HDR);
        break;
    case TweakDir3F:
        ImGui::DragFloat3(label.c_str(), static_cast<float*>(variable.address),
                          speed > 0 ? speed : 0.1f);
        break;
    case TweakQuat4F:
        ImGui::DragFloat4(label.c_str(), static_cast<float*>(variable.address),
                          speed > 0 ? speed : 0.01f);
        break;
    default:
        for (const TweakEnum& type : TweakRegistry::instance().enums()) {
            if (type.type != variable.type)
                continue;
            int* value = static_cast<int*>(variable.address);
            const auto current =
                std::find_if(type.values.begin(), type.values.end(),
                             [&](const auto& item) { return item.value == *value; });
            const char* shown = current == type.values.end() ? "(other)" : current->label.c_str();
            if (ImGui::BeginCombo(label.c_str(), shown)) {
                for (const TweakEnumValue& item : type.values)
                    if (ImGui::Selectable(item.label.c_str(), item.value == *value))
                        *value = item.value;
                ImGui::EndCombo();
            }
        }
        break;
    }
    ImGui::PopID();
}

void drawTweakPanel(const OverlayView& view, const OverlayRect& rect) {
    placeWindow(rect);
    if (ImGui::Begin("Tweaks", nullptr, panelFlags)) {
        const uint32_t now = view.transport.time();
        const auto& variables = TweakRegistry::instance().variables();
        bool any = false;
        for (size_t i = 0; i < view.effects.size(); ++i) {
            const Effekt& effect = *view.effects[i];
            if (!effect.isActiveAt(now) || !effect.tweakBar)
                continue;
            bool headerShown = false, open = false;
            for (const TweakVariable& variable : variables) {
                if (variable.bar != effect.tweakBar)
                    continue;
                if (!headerShown) {
                    ImGui::PushID(int(i));
                    open = ImGui::CollapsingHeader(effect.tweakBar->title.c_str(),
                                                   ImGuiTreeNodeFlags_DefaultOpen);
                    ImGui::PopID();
                    headerShown = any = true;
                }
                if (open)
                    drawTweak(variable);
            }
        }
        if (!any)
            ImGui::TextWrapped("The active entries have no tweakable values.");
    }
    ImGui::End();
}

void drawReloadError(const std::string& error, const OverlayRect& rect) {
    placeWindow(rect);
    if (ImGui::Begin("Reload error", nullptr, panelFlags)) {
        ImGui::PushStyleColor(ImGuiCol_Text, IM_COL32(255, 110, 100, 255));
        ImGui::TextWrapped("The last good show plays on until a save fixes this:");
        ImGui::TextWrapped("%s", error.c_str());
        ImGui::PopStyleColor();
    }
    ImGui::End();
}

} // namespace

OverlayLayout overlayLayout(int width, int height) {
    const float w = float(width), h = float(height);
    OverlayLayout layout{};
    layout.clock = {margin, margin, clockWidth, clockHeight};
    layout.reloadError = {margin, 2 * margin + clockHeight, clockWidth, errorHeight};
    layout.timeline = {margin, h - margin - timelineHeight, w - 2 * margin, timelineHeight};
    layout.tweaks = {w - margin - tweaksWidth, margin, tweaksWidth,
                     std::max(h - 3 * margin - timelineHeight, 40.0f)};
    return layout;
}

std::string clockText(uint32_t milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u.%03u", milliseconds / 60000, milliseconds / 1000 % 60,
                  milliseconds % 1000);
    return text;
}

Overlay::Overlay(RenderWindow& window) : window_(window) {
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr; // the layout is fixed; nothing is written next to the show
    io.LogFilename = nullptr;
    ImGui::StyleColorsDark();
    ImGui_ImplSDL2_InitForOpenGL(window.sdlWindow(), SDL_GL_GetCurrentContext());
    ImGui_ImplOpenGL2_Init();
}

Overlay::~Overlay() {
    ImGui_ImplOpenGL2_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
}

void Overlay::processEvent(const SDL_Event& event) { ImGui_ImplSDL2_ProcessEvent(&event); }

bool Overlay::wantsText() const { return ImGui::GetIO().WantTextInput; }

void Overlay::draw(const OverlayView& view) {
    SavedGlState saved;
    glUseProgram(0);
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window_.sdlWindow(), &width, &height);
    const OverlayLayout layout = overlayLayout(width, height);
    drawClockPanel(view, layout.clock);
    drawTimelineStrip(view, layout.timeline);
    drawTweakPanel(view, layout.tweaks);
    if (!view.reloadError.empty())
        drawReloadError(view.reloadError, layout.reloadError);
    ImGui::Render();
    glViewport(0, 0, width, height);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
}
