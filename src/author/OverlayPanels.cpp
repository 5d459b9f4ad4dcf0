#include "author/OverlayPanels.h"

#include <imgui.h>

#include <cstdio>

// Where the panels are is kept in the user's layout file.
bool beginPanel(const char* title, const OverlayRect& rect) {
    ImGui::SetNextWindowPos(ImVec2(rect.x, rect.y), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(ImVec2(rect.width, rect.height), ImGuiCond_FirstUseEver);
    return ImGui::Begin(title, nullptr, ImGuiWindowFlags_NoFocusOnAppearing);
}

std::string clockText(uint32_t milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u.%03u", milliseconds / 60000, milliseconds / 1000 % 60,
                  milliseconds % 1000);
    return text;
}
