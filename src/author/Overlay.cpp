#include "author/Overlay.h"

#include "author/OverlayPanels.h"
#include "author/TimelineStrip.h"
#include "author/UserConfig.h"
#include "platform/Debug.h"
#include "player/RenderWindow.h"
#include "render/GL.h"

#include <SDL2/SDL.h>
#include <backends/imgui_impl_opengl2.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace {

constexpr float margin = 8;
constexpr float panelOpacity = 0.72f;

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

// Whole pixels, so that panels side by side do not share a column.
float clamped(float value, float low, float high) {
    return std::floor(std::clamp(value, low, high));
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
    drawTweakPanel(view, layout.tweaks, tweaks_);
    if (!view.reloadError.empty())
        drawReloadErrorPanel(view.reloadError, layout.reloadError);
    ImGui::Render();
    glViewport(0, 0, width, height);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
}
