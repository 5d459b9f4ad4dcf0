#include "author/OverlayPanels.h"

#include <imgui.h>

void drawReloadErrorPanel(const std::string& error, const OverlayRect& rect) {
    if (beginPanel("Reload error", rect)) {
        ImGui::PushStyleColor(ImGuiCol_Text, IM_COL32(255, 110, 100, 255));
        ImGui::TextWrapped("The last good show plays on until a save fixes this:");
        ImGui::TextWrapped("%s", error.c_str());
        ImGui::PopStyleColor();
    }
    ImGui::End();
}
