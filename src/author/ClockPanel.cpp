#include "author/OverlayPanels.h"

#include "player/Transport.h"

#include <imgui.h>

#include <algorithm>

namespace {

constexpr double beatSpan = 4.0; // seconds of beat history on the graph
constexpr float beatThresholds[] = {0.25f, 0.7f};
constexpr const char* stripMouseHelp = "strip: wheel zoom, Shift+wheel scroll";

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

// "(keys)", with every key of the run and the strip's mouse in its tooltip.
void drawKeysHelp(const OverlayView& view) {
    ImGui::TextDisabled("(keys)");
    if (!ImGui::IsItemHovered())
        return;
    ImGui::BeginTooltip();
    ImGui::PushTextWrapPos(ImGui::GetFontSize() * 24);
    ImGui::TextUnformatted(view.keysHelp.c_str());
    ImGui::TextUnformatted(stripMouseHelp);
    ImGui::PopTextWrapPos();
    ImGui::EndTooltip();
}

} // namespace

void drawClockPanel(const OverlayView& view, const OverlayRect& rect) {
    if (beginPanel("Clock", rect)) {
        const uint32_t time = view.time;
        ImGui::Text("%s  %u ms", clockText(time).c_str(), time);
        ImGui::SameLine();
        drawKeysHelp(view);
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
