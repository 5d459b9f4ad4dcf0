#include "author/Overlay.h"

#include "author/TimelineStrip.h"
#include "author/Transport.h"
#include "author/TweakDefinition.h"
#include "author/UserConfig.h"
#include "effekt/Tweaks.h"
#include "platform/Debug.h"
#include "player/RenderWindow.h"
#include "render/GL.h"

#include <SDL2/SDL.h>
#include <backends/imgui_impl_opengl2.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace {

constexpr float margin = 8;
constexpr double beatSpan = 4.0; // seconds of beat history on the graph
constexpr float beatThresholds[] = {0.25f, 0.7f};
constexpr float panelOpacity = 0.72f;
// The author moves, resizes and collapses the panels; where they are is kept in the user's
// layout file.
constexpr ImGuiWindowFlags panelFlags = ImGuiWindowFlags_NoFocusOnAppearing;
constexpr const char* keysHelp =
    "Space pause, Left/Right 1 s (Shift 10 s), PageUp/PageDown entries, Home start, L loop, "
    "F1 overlay; strip: wheel zoom, Shift+wheel scroll, E select, [ ] move, G grid, D copy, "
    "Shift+Delete delete";

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

// The default place of a panel, for a layout file that does not know it yet.
void placeWindow(const OverlayRect& rect) {
    ImGui::SetNextWindowPos(ImVec2(rect.x, rect.y), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(ImVec2(rect.width, rect.height), ImGuiCond_FirstUseEver);
}

// Whole pixels, so that panels side by side do not share a column.
float clamped(float value, float low, float high) {
    return std::floor(std::clamp(value, low, high));
}

void drawBeatGraph(const OverlayView& view, const ImVec2& size) {
    const ImVec2 origin = ImGui::GetCursorScreenPos();
    ImGui::Dummy(size);
    if (ImGui::IsItemHovered())
        ImGui::SetTooltip("Beat level, last 4 s (lines at 0.25 and 0.7)");
    ImDrawList* draw = ImGui::GetWindowDrawList();
    draw->AddRectFilled(origin, ImVec2(origin.x + size.x, origin.y + size.y),
                        IM_COL32(20, 20, 30, 220));
    auto yOf = [&](float beat) { return origin.y + size.y * (1.0f - beat); };
    for (const float threshold : beatThresholds)
        draw->AddLine(ImVec2(origin.x, yOf(threshold)), ImVec2(origin.x + size.x, yOf(threshold)),
                      IM_COL32(200, 120, 60, 200));
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
}

void drawClockPanel(const OverlayView& view, const OverlayRect& rect) {
    placeWindow(rect);
    if (ImGui::Begin("Clock", nullptr, panelFlags)) {
        const uint32_t time = view.time;
        ImGui::Text("%s  %u ms", clockText(time).c_str(), time);
        ImGui::SameLine();
        ImGui::TextDisabled("(keys)");
        if (ImGui::IsItemHovered()) {
            ImGui::BeginTooltip();
            ImGui::PushTextWrapPos(ImGui::GetFontSize() * 24);
            ImGui::TextUnformatted(keysHelp);
            ImGui::PopTextWrapPos();
            ImGui::EndTooltip();
        }
        ImGui::Text("%s", view.transport.paused() ? "Paused" : "Playing");
        if (view.transport.looping()) {
            ImGui::SameLine();
            ImGui::Text("- loop %s to %s", clockText(view.transport.loopStart()).c_str(),
                        clockText(view.transport.loopEnd()).c_str());
        }
        const float mean = view.frames.mean();
        const float p95 = view.frames.percentile95();
        ImGui::Text("%.1f ms mean, %.1f p95, %.0f fps", mean, p95,
                    mean > 0 ? 1000.0f / mean : 0.0f);
        // The frame times and the beat level side by side, as high as the panel leaves room for.
        const ImVec2 room = ImGui::GetContentRegionAvail();
        const float spacing = ImGui::GetStyle().ItemSpacing.x;
        const ImVec2 graph(std::max((room.x - spacing) / 2, 10.0f), std::max(room.y, 16.0f));
        ImGui::PlotLines("##frames", view.frames.chronological(), int(view.frames.count()), 0,
                         nullptr, 0.0f, std::max(2.0f * p95, 20.0f), graph);
        if (ImGui::IsItemHovered())
            ImGui::SetTooltip("Frame time, last 240 frames");
        ImGui::SameLine();
        drawBeatGraph(view, graph);
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

// The name a value is shown with: its definition's label, else its name.
std::string labelOf(const TweakVariable& variable) {
    const TweakDefinition definition = parseTweakDefinition(variable.definition);
    return definition.label.empty() ? variable.name : definition.label;
}

// The value's widget; true when the author changed the value with it.
bool drawTweak(const TweakVariable& variable, const TweakRegistry& tweaks) {
    const TweakDefinition definition = parseTweakDefinition(variable.definition);
    const std::string label = labelOf(variable);
    const float speed = definition.step ? float(*definition.step) : 0.0f;
    bool changed = false;
    switch (variable.type) {
    case TweakBool:
        changed = ImGui::Checkbox(label.c_str(), static_cast<bool*>(variable.address));
        break;
    case TweakInt32: {
        const auto bounds = dragBounds<int>(definition, INT_MIN, INT_MAX);
        changed = ImGui::DragScalar(label.c_str(), ImGuiDataType_S32, variable.address,
                                    speed > 0 ? speed : 1.0f, bounds.min(), bounds.max(), "%d",
                                    ImGuiSliderFlags_AlwaysClamp);
        break;
    }
    case TweakFloat: {
        const auto bounds = dragBounds<float>(definition, -FLT_MAX, FLT_MAX);
        changed = ImGui::DragScalar(label.c_str(), ImGuiDataType_Float, variable.address,
                                    speed > 0 ? speed : 0.1f, bounds.min(), bounds.max(), "%.3f",
                                    ImGuiSliderFlags_AlwaysClamp);
        break;
    }
    case TweakDouble: {
        const auto bounds = dragBounds<double>(definition, -DBL_MAX, DBL_MAX);
        changed = ImGui::DragScalar(label.c_str(), ImGuiDataType_Double, variable.address,
                                    speed > 0 ? speed : 0.1f, bounds.min(), bounds.max(), "%.4f",
                                    ImGuiSliderFlags_AlwaysClamp);
        break;
    }
    case TweakColor3F:
        changed = ImGui::ColorEdit3(label.c_str(), static_cast<float*>(variable.address),
                                    ImGuiColorEditFlags_Float | ImGuiColorEditFlags_HDR);
        break;
    case TweakColor4F:
        changed = ImGui::ColorEdit4(label.c_str(), static_cast<float*>(variable.address),
                                    ImGuiColorEditFlags_Float | ImGuiColorEditFlags_HDR);
        break;
    case TweakDir3F:
        changed = ImGui::DragFloat3(label.c_str(), static_cast<float*>(variable.address),
                                    speed > 0 ? speed : 0.1f);
        break;
    case TweakQuat4F:
        changed = ImGui::DragFloat4(label.c_str(), static_cast<float*>(variable.address),
                                    speed > 0 ? speed : 0.01f);
        break;
    default:
        for (const TweakEnum& type : tweaks.enums()) {
            if (type.type != variable.type)
                continue;
            int* value = static_cast<int*>(variable.address);
            const auto current =
                std::find_if(type.values.begin(), type.values.end(),
                             [&](const auto& item) { return item.value == *value; });
            const char* shown = current == type.values.end() ? "(other)" : current->label.c_str();
            if (ImGui::BeginCombo(label.c_str(), shown)) {
                for (const TweakEnumValue& item : type.values)
                    if (ImGui::Selectable(item.label.c_str(), item.value == *value)) {
                        *value = item.value;
                        changed = true;
                    }
                ImGui::EndCombo();
            }
        }
        break;
    }
    return changed;
}

// One row of the tweak panel: a button that selects the value (showing its number of keys, or
// "-" when untracked), then its widget. A change made with the widget goes to the tracks.
void drawTweakRow(const OverlayView& view, const TweakValue& value, bool selected,
                  uint64_t& gesture) {
    if (value.effect)
        ImGui::PushID(value.variable->address);
    else
        ImGui::PushID(value.tracks.front().c_str()); // a free value lives only for its row
    const size_t keys = keyTimes(view.tracks, value.tracks).size();
    char marker[24];
    std::snprintf(marker, sizeof marker, keys ? "%zu" : "-", keys);
    if (selected)
        ImGui::PushStyleColor(ImGuiCol_Button, IM_COL32(200, 140, 30, 255));
    if (ImGui::SmallButton(marker))
        view.editing.select(value);
    if (selected)
        ImGui::PopStyleColor();
    if (ImGui::IsItemHovered())
        ImGui::SetTooltip(keys ? "%zu keys: click to select this value"
                               : "not tracked: click to select this value",
                          keys);
    ImGui::SameLine();
    const bool changed = drawTweak(*value.variable, view.tweaks);
    if (ImGui::IsItemActivated() || (changed && gesture == 0))
        gesture = view.editing.newGesture();
    if (changed)
        view.editing.valueChanged(view.tracks, value, view.time, gesture);
    ImGui::PopID();
}

// The selected value's keys: key it now, go to its keys, delete the one under the play head,
// choose how it goes on to the next one, and the record switch.
void drawKeyBar(const OverlayView& view, const std::optional<TweakValue>& value) {
    bool recording = view.editing.recording();
    if (ImGui::Checkbox("Rec", &recording))
        view.editing.toggleRecording();
    if (ImGui::IsItemHovered())
        ImGui::SetTooltip("Record (R): every change of a value sets a key");
    if (!value) {
        ImGui::SameLine();
        ImGui::TextDisabled("no value to key");
        return;
    }
    const std::vector<uint32_t> times = keyTimes(view.tracks, value->tracks);
    const auto after = std::upper_bound(times.begin(), times.end(), view.time);
    const bool onKey = after != times.begin() && *(after - 1) == view.time;
    ImGui::SameLine();
    ImGui::Text("%s: %zu keys", labelOf(*value->variable).c_str(), times.size());
    KeyEditor& editor = view.editing.editor();
    if (ImGui::SmallButton("<") && after != times.begin())
        view.transport.seekTo(onKey && after - 1 != times.begin() ? *(after - 2) : *(after - 1));
    ImGui::SameLine();
    if (ImGui::SmallButton("Key"))
        editor.setKey(view.tracks, value->tracks, *value->variable, view.time);
    ImGui::SameLine();
    if (ImGui::SmallButton(">") && after != times.end())
        view.transport.seekTo(*after);
    ImGui::SameLine();
    if (ImGui::SmallButton("Del"))
        editor.deleteKey(view.tracks, value->tracks, view.time);
    if (after == times.begin())
        return;
    const uint32_t keyTime = *(after - 1);
    const Interpolation current =
        interpolationAt(view.tracks, value->tracks, keyTime).value_or(Interpolation::Step);
    ImGui::SameLine();
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x);
    if (ImGui::BeginCombo("##interpolation", interpolationName(current))) {
        for (const Interpolation choice : {Interpolation::Step, Interpolation::Linear,
                                           Interpolation::Smooth, Interpolation::Ramp})
            if (ImGui::Selectable(interpolationName(choice), choice == current))
                editor.setInterpolation(view.tracks, value->tracks, keyTime, choice);
        ImGui::EndCombo();
    }
}

bool isSelected(const std::optional<TweakValue>& selection, const std::string& track) {
    return selection && std::find(selection->tracks.begin(), selection->tracks.end(), track) !=
                            selection->tracks.end();
}

// A new free track: one of the uniforms the active shaders declare, or a name typed.
void drawNewTrack(const OverlayView& view, const std::vector<std::string>& uniforms,
                  char (&typed)[64]) {
    const float width = ImGui::GetContentRegionAvail().x;
    ImGui::SetNextItemWidth(std::max(width * 0.45f, 60.0f));
    if (ImGui::BeginCombo("##uniform", uniforms.empty() ? "(no untracked uniform)" : "New: uniform",
                          ImGuiComboFlags_HeightLarge)) {
        for (const std::string& name : uniforms)
            if (ImGui::Selectable(name.c_str()))
                view.editing.addFreeTrack(view.tracks, name, view.time);
        ImGui::EndCombo();
    }
    if (ImGui::IsItemHovered())
        ImGui::SetTooltip("A track for a float uniform that the active entries' shaders declare");
    ImGui::SameLine();
    ImGui::SetNextItemWidth(
        std::max(ImGui::GetContentRegionAvail().x - ImGui::GetFontSize() * 3, 40.0f));
    const bool entered = ImGui::InputTextWithHint("##name", "or a name", typed, sizeof typed,
                                                  ImGuiInputTextFlags_EnterReturnsTrue);
    ImGui::SameLine();
    const std::string name = typed;
    const bool valid = isFreeTrackName(name) && !view.tracks.find(name);
    ImGui::BeginDisabled(!valid);
    if ((ImGui::SmallButton("Add") || entered) && valid &&
        view.editing.addFreeTrack(view.tracks, name, view.time))
        typed[0] = '\0';
    ImGui::EndDisabled();
    if (!name.empty() && !valid && ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled))
        ImGui::SetTooltip("A free name is a letter or '_', then letters, digits or '_', and not "
                          "a track already");
}

// Every track of the file: a free track as a value of its own, an entry's track as a button
// that selects its entry's value. New free tracks below.
void drawTracksList(const OverlayView& view, const std::optional<TweakValue>& selection,
                    const std::vector<std::string>& uniforms, uint64_t& gesture,
                    char (&typed)[64]) {
    std::vector<std::string> names; // the rows may add or remove tracks
    for (const Track& track : view.tracks.tracks())
        names.push_back(track.name);
    for (const std::string& name : names) {
        if (isFreeTrackName(name)) {
            FreeValue free(name);
            drawTweakRow(view, free.at(view.tracks, view.time), isSelected(selection, name),
                         gesture);
            continue;
        }
        ImGui::PushID(name.c_str());
        const size_t keys = view.tracks.find(name) ? view.tracks.find(name)->keys.size() : 0;
        const bool selected = isSelected(selection, name);
        if (selected)
            ImGui::PushStyleColor(ImGuiCol_Button, IM_COL32(200, 140, 30, 255));
        if (ImGui::SmallButton(std::to_string(keys).c_str()))
            view.editing.selectTrack(name);
        if (selected)
            ImGui::PopStyleColor();
        ImGui::SameLine();
        ImGui::TextUnformatted(name.c_str());
        if (ImGui::IsItemHovered())
            ImGui::SetTooltip("An entry's value: change it above while its entry plays");
        ImGui::PopID();
    }
    drawNewTrack(view, uniforms, typed);
}

void drawTweakPanel(const OverlayView& view, const OverlayRect& rect, uint64_t& gesture,
                    char (&newTrackName)[64]) {
    placeWindow(rect);
    if (ImGui::Begin("Tweaks", nullptr, panelFlags)) {
        if (!ImGui::IsAnyItemActive())
            gesture = 0; // the next change starts an edit of its own
        const std::optional<TweakValue> selection =
            view.editing.selected(view.effects, view.tweaks, view.time, &view.tracks);
        drawKeyBar(view, selection);
        if (!view.status.empty())
            ImGui::TextDisabled("%s", view.status.c_str());
        ImGui::Separator();
        ImGui::PushItemWidth(-ImGui::GetFontSize() * 5);
        bool any = false;
        for (size_t i = 0; i < view.effects.size(); ++i) {
            const Effekt& effect = *view.effects[i];
            if (!effect.isActiveAt(view.time))
                continue;
            const std::vector<TweakValue> values = tweakValuesOf(effect, view.tweaks);
            if (values.empty())
                continue;
            any = true;
            ImGui::PushID(int(i));
            const bool open = ImGui::CollapsingHeader(effect.tweakBar->title.c_str(),
                                                      ImGuiTreeNodeFlags_DefaultOpen);
            ImGui::PopID();
            if (open)
                for (const TweakValue& value : values)
                    drawTweakRow(view, value, isSelected(selection, value.tracks.front()), gesture);
        }
        const std::vector<std::string> uniforms =
            untrackedUniforms(view.effects, view.tracks, view.time);
        if (!any && view.tracks.empty() && uniforms.empty())
            ImGui::TextWrapped("The active entries have no tweakable values.");
        if (ImGui::CollapsingHeader("Tracks", ImGuiTreeNodeFlags_DefaultOpen))
            drawTracksList(view, selection, uniforms, gesture, newTrackName);
        ImGui::PopItemWidth();
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
    // Panels grow with the window from their sizes at 640 x 480, where they leave most of the
    // picture free: the clock top left, the tweaks top right, the timeline strip along the bottom.
    const float timelineHeight = clamped(h / 6, 80, 170);
    const float clockWidth = clamped(w / 3, 230, 340);
    const float clockHeight = clamped(h / 4, 110, 240);
    const float tweaksWidth = clamped(w * 0.36f, 230, 360);
    const float tweaksRoom = std::max(h - 3 * margin - timelineHeight, 40.0f);
    const float tweaksHeight = std::min(tweaksRoom, std::max(0.4f * h, tweaksRoom - 200));
    OverlayLayout layout{};
    layout.clock = {margin, margin, clockWidth, clockHeight};
    layout.reloadError = {margin, 2 * margin + clockHeight, clockWidth,
                          std::max(std::min(180.0f, tweaksRoom - clockHeight - margin), 40.0f)};
    layout.timeline = {margin, h - margin - timelineHeight, w - 2 * margin, timelineHeight};
    layout.tweaks = {w - margin - tweaksWidth, margin, tweaksWidth, tweaksHeight};
    return layout;
}

std::string clockText(uint32_t milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u.%03u", milliseconds / 60000, milliseconds / 1000 % 60,
                  milliseconds % 1000);
    return text;
}

std::string overlayLayoutFile(int width, int height) {
    const std::filesystem::path folder = userConfigFolder();
    if (folder.empty())
        return {};
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        debugLine("The overlay's layout is not kept: %s: %s", folder.c_str(),
                  error.message().c_str());
        return {};
    }
    return (folder / ("overlay-" + std::to_string(width) + "x" + std::to_string(height) + ".ini"))
        .string();
}

Overlay::Overlay(RenderWindow& window) : window_(window) {
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window.sdlWindow(), &width, &height);
    layoutFile_ = overlayLayoutFile(width, height);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = layoutFile_.empty() ? nullptr : layoutFile_.c_str();
    io.LogFilename = nullptr;
    io.ConfigWindowsMoveFromTitleBarOnly = true; // a drag on a widget never moves its panel
    ImGui::StyleColorsDark();
    ImGuiStyle& style = ImGui::GetStyle();
    style.Colors[ImGuiCol_WindowBg].w = panelOpacity;
    style.Colors[ImGuiCol_TitleBg].w = panelOpacity;
    style.Colors[ImGuiCol_TitleBgCollapsed].w = panelOpacity;
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

bool Overlay::wantsMouse() const { return ImGui::GetIO().WantCaptureMouse; }

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
    drawTimelineStrip(view, layout.timeline, strip_);
    drawTweakPanel(view, layout.tweaks, widgetGesture_, newTrackName_);
    if (!view.reloadError.empty())
        drawReloadError(view.reloadError, layout.reloadError);
    ImGui::Render();
    glViewport(0, 0, width, height);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
}
