#include "author/TimelineStrip.h"

#include "author/OverlayPanels.h"
#include "player/Transport.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double shortestSpanMs = 500;
constexpr float edgeGrabPixels = 5;
constexpr float fewestPixelsBetweenLines = 5;

bool isFiniteEnd(uint32_t end) { return end < 0x7fffffffu; }

// The time axis of the strip, up to the latest finite end, at least past the play head.
double showEnd(const std::vector<ShowEntry>& entries, uint32_t now) {
    uint32_t end = now + 1000;
    for (const ShowEntry& entry : entries)
        end = std::max(end, isFiniteEnd(entry.end) ? entry.end : entry.start + 1000);
    return end;
}

// The stretch of time shown, from `left` over `width` pixels.
struct TimeAxis {
    float left, width;
    double start, span;
    float xOf(double time) const { return left + float((time - start) / span) * width; }
    double exactTimeAt(float x) const { return start + double((x - left) / width) * span; }
    uint32_t timeAt(float x) const {
        return uint32_t(std::clamp(exactTimeAt(x), 0.0, double(UINT32_MAX - 1)));
    }
};

// The wheel zooms about the mouse, Shift+wheel (or a sideways wheel) scrolls; while the show
// plays, a zoomed view turns the page when the play head leaves it.
TimeAxis viewAxis(const OverlayView& view, StripState& state, float left, float width, double end,
                  bool hovered) {
    double& span = state.viewSpan;
    double& start = state.viewStart;
    if (span <= 0 || span > end)
        span = end;
    const ImGuiIO& io = ImGui::GetIO();
    if (hovered) {
        const float wheel = io.MouseWheel, sideways = io.MouseWheelH;
        if (wheel != 0 && !io.KeyShift) {
            const double anchor = start + double((io.MousePos.x - left) / width) * span;
            const double zoomed = std::clamp(span * std::pow(0.8, wheel), shortestSpanMs, end);
            start = anchor - (anchor - start) * zoomed / span;
            span = zoomed;
        } else if (wheel != 0 || sideways != 0) {
            start -= double(wheel != 0 ? wheel : -sideways) * span * 0.1;
        }
    }
    const double now = view.transport.time();
    if (!view.transport.paused() && span < end && (now < start || now > start + span))
        start = now - span * 0.1;
    start = std::clamp(start, 0.0, std::max(end - span, 0.0));
    return {left, width, start, span};
}

constexpr uint32_t waveColour = IM_COL32(70, 110, 90, 170);
constexpr uint32_t barColour = IM_COL32(170, 170, 200, 110);
constexpr uint32_t beatColour = IM_COL32(130, 130, 160, 90);

// Per column, the lowest to the highest sample under it.
void paintWaveform(const OverlayView& view, const TimeAxis& axis, int width, int height,
                   std::vector<uint32_t>& pixels) {
    if (!view.analysis || !view.analysis->ready() || view.analysis->waveform().empty())
        return;
    const Waveform& waveform = view.analysis->waveform();
    const float middle = float(height) / 2, half = float(height) / 2 - 1;
    const double msPerPixel = axis.span / double(axis.width);
    for (int column = 0; column < width; ++column) {
        const double from = axis.start + column * msPerPixel - view.startOffset;
        const WavePeak peak = waveform.peakOver(from, from + msPerPixel);
        const int top =
            std::clamp(int(middle - std::clamp(peak.high, -1.0f, 1.0f) * half), 0, height - 1);
        const int bottom =
            std::clamp(int(middle - std::clamp(peak.low, -1.0f, 1.0f) * half), top, height - 1);
        for (int row = top; row <= bottom; ++row)
            pixels[size_t(row * width + column)] = waveColour;
    }
}

// Bar lines, and beat lines where they stand far enough apart.
void paintGrid(const OverlayView& view, const TimeAxis& axis, int width, int height,
               std::vector<uint32_t>& pixels) {
    if (!view.tempo)
        return;
    const ShowTempo& tempo = *view.tempo;
    const double pixelsPerMs = double(axis.width) / axis.span;
    const bool beats = tempo.beatMs() * pixelsPerMs >= fewestPixelsBetweenLines;
    const double step = beats ? tempo.beatMs() : tempo.barMs();
    if (step * pixelsPerMs < fewestPixelsBetweenLines)
        return;
    const long first = long(std::ceil((axis.start - tempo.firstBarMs) / step));
    const long last = long(std::floor((axis.start + axis.span - tempo.firstBarMs) / step));
    for (long line = std::max(first, 0L); line <= last; ++line) {
        const double time = tempo.firstBarMs + double(line) * step;
        const int column = int(std::floor(axis.xOf(time) - axis.left));
        if (column < 0 || column >= width)
            continue;
        const uint32_t colour = !beats || line % tempo.beatsPerBar == 0 ? barColour : beatColour;
        for (int row = 0; row < height; ++row)
            pixels[size_t(row * width + column)] = colour;
    }
}

// The waveform and the grid under the entries, painted again when the view, the size, the tempo
// or the waveform changed.
void drawPicture(const OverlayView& view, const TimeAxis& axis, ImVec2 origin, ImVec2 size,
                 StripPicture& picture) {
    const int width = int(size.x), height = int(size.y);
    if (width <= 0 || height <= 0)
        return;
    const bool waveform = view.analysis && view.analysis->ready();
    const std::array<double, 8> shows = {axis.start,
                                         axis.span,
                                         double(width),
                                         double(height),
                                         view.tempo ? view.tempo->bpm : 0.0,
                                         view.tempo ? view.tempo->firstBarMs : 0.0,
                                         view.tempo ? double(view.tempo->beatsPerBar) : 0.0,
                                         waveform ? double(view.startOffset) + 1 : 0.0};
    if (shows != picture.shows) {
        picture.shows = shows;
        picture.pixels.assign(size_t(width) * size_t(height), 0);
        paintWaveform(view, axis, width, height, picture.pixels);
        paintGrid(view, axis, width, height, picture.pixels);
        picture.texture.upload(picture.pixels.data(), width, height, false, GL_RGBA, true);
    }
    ImGui::GetWindowDrawList()->AddImage(
        reinterpret_cast<ImTextureID>(static_cast<intptr_t>(picture.texture.textureId)), origin,
        ImVec2(origin.x + float(width), origin.y + float(height)));
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
    ImGui::TextDisabled("drag to move, edges to resize");
    ImGui::EndTooltip();
}

struct EntryBox {
    ImVec2 low, high;
};

EntryBox entryBox(const ShowEntry& entry, const TimeAxis& axis, ImVec2 origin, float rowHeight) {
    const double end = isFiniteEnd(entry.end) ? entry.end : axis.start + axis.span;
    const ImVec2 low(axis.xOf(entry.start), origin.y + rowHeight * float(entry.row));
    return {low, ImVec2(std::max(axis.xOf(end), low.x + 2), low.y + rowHeight - 2)};
}

bool inside(const EntryBox& box, ImVec2 point) {
    return point.x >= box.low.x - edgeGrabPixels / 2 && point.x < box.high.x + edgeGrabPixels / 2 &&
           point.y >= box.low.y && point.y < box.high.y;
}

// The part of the entry a press at `x` takes: an edge within a few pixels of it (not the end of
// an entry that never ends), else the body.
EntryDrag::Part partAt(const EntryBox& box, const ShowEntry& entry, float x) {
    const float edge = std::min(edgeGrabPixels, (box.high.x - box.low.x) / 3);
    if (x < box.low.x + edge)
        return EntryDrag::Part::Start;
    if (isFiniteEnd(entry.end) && x > box.high.x - edge)
        return EntryDrag::Part::End;
    return EntryDrag::Part::Body;
}

// The times a drag gives its entry now, snapped to the grid.
void dragEntry(const OverlayView& view, EntryDrag& drag, uint32_t mouseTime) {
    EntryEditing& editing = view.entryEditing;
    const auto snap = [&](double time) {
        return snappedTime(uint32_t(std::clamp(time, 0.0, double(UINT32_MAX - 1))), editing.snap(),
                           view.tempo);
    };
    const double moved = double(mouseTime) - double(drag.grabbedAt);
    uint32_t start = drag.start, end = drag.end;
    switch (drag.part) {
    case EntryDrag::Part::Body:
        start = snap(double(drag.start) + moved);
        if (isFiniteEnd(drag.end))
            end = start + (drag.end - drag.start);
        break;
    case EntryDrag::Part::Start:
        start = std::min(snap(double(drag.start) + moved), drag.end - 2);
        break;
    case EntryDrag::Part::End:
        end = std::max(snap(double(drag.end) + moved), drag.start + 2);
        break;
    case EntryDrag::Part::None:
        return;
    }
    editing.setTimes(drag.entry, start, end, drag.gesture);
}

// The entries in their lanes; a press on one selects it and starts a drag, a press elsewhere
// seeks. Returns the entry under the mouse.
const ShowEntry* drawEntries(const OverlayView& view, const TimeAxis& axis, ImVec2 origin,
                             ImVec2 size, EntryDrag& drag) {
    ImGui::InvisibleButton("strip", ImVec2(std::max(size.x, 1.0f), size.y));
    const bool hovered = ImGui::IsItemHovered();
    const ImVec2 mouse = ImGui::GetIO().MousePos;
    EntryEditing& editing = view.entryEditing;
    const std::vector<ShowEntry>& entries = view.entries;
    const float rowHeight = std::min(20.0f, size.y / float(std::max(view.rows, 1)));
    const uint32_t mouseTime = axis.timeAt(mouse.x);
    if (ImGui::IsItemActivated()) {
        drag = {};
        for (size_t i = 0; i < entries.size() && i < view.effects.size(); ++i) {
            const EntryBox box = entryBox(entries[i], axis, origin, rowHeight);
            if (inside(box, mouse)) {
                editing.select(i);
                drag = {partAt(box, entries[i], mouse.x),
                        i,
                        mouseTime,
                        entries[i].start,
                        entries[i].end,
                        view.editing.newGesture()};
                break;
            }
        }
    }
    if (ImGui::IsItemActive()) {
        if (drag.part == EntryDrag::Part::None)
            view.transport.seekTo(mouseTime);
        else if (ImGui::IsMouseDragging(ImGuiMouseButton_Left, 2))
            dragEntry(view, drag, mouseTime);
    } else {
        drag.part = EntryDrag::Part::None;
    }
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const uint32_t now = view.time;
    const std::optional<size_t> selected = editing.selected();
    const ShowEntry* hoveredEntry = nullptr;
    for (size_t i = 0; i < entries.size() && i < view.effects.size(); ++i) {
        const ShowEntry& entry = entries[i];
        const EntryBox box = entryBox(entry, axis, origin, rowHeight);
        if (box.high.x < origin.x || box.low.x > origin.x + size.x)
            continue;
        const bool active = view.effects[i]->isActiveAt(now);
        const bool chosen = selected && *selected == i;
        const ImU32 fill = chosen   ? IM_COL32(250, 250, 250, 255)
                           : active ? IM_COL32(230, 170, 40, 235)
                                    : IM_COL32(70, 90, 140, 220);
        draw->AddRectFilled(box.low, box.high, fill);
        if (chosen)
            draw->AddRect(ImVec2(box.low.x - 1, box.low.y - 1),
                          ImVec2(box.high.x + 1, box.high.y + 1), IM_COL32(255, 60, 200, 255), 0, 0,
                          2);
        draw->PushClipRect(box.low, box.high, true);
        draw->AddText(ImVec2(box.low.x + 3, box.low.y + 2),
                      chosen || active ? IM_COL32(0, 0, 0, 255) : IM_COL32(230, 230, 230, 255),
                      entry.keyword.c_str());
        draw->PopClipRect();
        if (hovered && inside(box, mouse))
            hoveredEntry = &entry;
    }
    return hoveredEntry;
}

// The selected value's keys under the entries: a key dragged moves in time (snapped to the
// grid), a click elsewhere seeks.
void drawKeyLane(const OverlayView& view, const TimeAxis& axis, float height, KeyDrag& drag) {
    const ImVec2 origin = ImGui::GetCursorScreenPos();
    ImGui::InvisibleButton("keys", ImVec2(std::max(axis.width, 1.0f), height));
    const std::optional<TweakValue> value =
        view.editing.selected(view.effects, view.tweaks, view.time, &view.tracks);
    ImDrawList* draw = ImGui::GetWindowDrawList();
    draw->AddRectFilled(origin, ImVec2(origin.x + axis.width, origin.y + height),
                        IM_COL32(30, 30, 45, 220));
    if (!value)
        return;
    const std::vector<uint32_t> times = keyTimes(view.tracks, value->tracks);
    const float mouseX = ImGui::GetIO().MousePos.x;
    if (ImGui::IsItemActivated()) {
        drag.active = false;
        for (const uint32_t time : times)
            if (std::abs(axis.xOf(time) - mouseX) <= height / 2) {
                drag = {true, time, view.editing.newGesture()};
                break;
            }
    }
    if (ImGui::IsItemActive()) {
        const uint32_t mouseTime = axis.timeAt(mouseX);
        if (drag.active)
            drag.time = view.editing.editor().moveKey(
                view.tracks, value->tracks, drag.time,
                snappedTime(mouseTime, view.entryEditing.snap(), view.tempo), drag.gesture);
        else
            view.transport.seekTo(mouseTime);
    } else {
        drag.active = false;
    }
    const float middle = origin.y + height / 2, half = height / 2 - 1;
    for (const uint32_t time : times) {
        const float x = axis.xOf(time);
        if (x < origin.x - half || x > origin.x + axis.width + half)
            continue;
        const ImU32 colour = drag.active && drag.time == time ? IM_COL32(255, 255, 255, 255)
                                                              : IM_COL32(255, 210, 60, 255);
        draw->AddQuadFilled(ImVec2(x, middle - half), ImVec2(x + half, middle),
                            ImVec2(x, middle + half), ImVec2(x - half, middle), colour);
    }
}

// The strip's title, so that the strip keeps all the panel's height: the tempo, the grid, the
// selected entry and the last entry edit that failed. The panel keeps the id "Timeline".
void stripTitle(const OverlayView& view, char* title, size_t size) {
    std::string tempo = "no tempo";
    if (view.tempo)
        tempo = shortTempoText(*view.tempo);
    else if (view.analysis && !view.analysis->ready() && view.analysis->findsTempo())
        tempo = "finding the tempo...";
    char entry[160] = "";
    const std::optional<size_t> selected = view.entryEditing.selected();
    if (selected && *selected < view.entries.size())
        std::snprintf(entry, sizeof entry, " - %s %u to %u",
                      view.entries[*selected].keyword.c_str(), view.entries[*selected].start,
                      view.entries[*selected].end);
    const std::string& message = view.entryEditing.message();
    std::snprintf(title, size, "Timeline - %s - grid %s (G)%s%s%s###Timeline", tempo.c_str(),
                  snapName(view.entryEditing.snap()), entry, message.empty() ? "" : " - ",
                  message.c_str());
}

} // namespace

void drawTimelineStrip(const OverlayView& view, const OverlayRect& rect, StripState& state) {
    char title[512];
    stripTitle(view, title, sizeof title);
    if (beginPanel(title, rect)) {
        const uint32_t now = view.transport.time();
        const ImVec2 room = ImGui::GetContentRegionAvail();
        const float laneHeight = std::floor(ImGui::GetFontSize());
        const ImVec2 size(std::max(room.x, 1.0f), std::max(room.y - laneHeight - 2, 1.0f));
        const ImVec2 origin = ImGui::GetCursorScreenPos();
        const bool hovered = ImGui::IsWindowHovered(ImGuiHoveredFlags_AllowWhenBlockedByActiveItem);
        const TimeAxis axis =
            viewAxis(view, state, origin.x, size.x, showEnd(view.entries, now), hovered);
        ImDrawList* draw = ImGui::GetWindowDrawList();
        draw->PushClipRect(origin, ImVec2(origin.x + size.x, origin.y + size.y + 2 + laneHeight),
                           true);
        draw->AddRectFilled(origin, ImVec2(origin.x + size.x, origin.y + size.y),
                            IM_COL32(15, 15, 20, 200));
        drawPicture(view, axis, origin, size, state.picture);
        if (view.transport.looping())
            draw->AddRectFilled(ImVec2(axis.xOf(view.transport.loopStart()), origin.y),
                                ImVec2(axis.xOf(view.transport.loopEnd()), origin.y + size.y),
                                IM_COL32(60, 120, 60, 120));
        const ShowEntry* hoveredEntry = drawEntries(view, axis, origin, size, state.entryDrag);
        ImGui::SetCursorScreenPos(ImVec2(origin.x, origin.y + size.y + 2));
        drawKeyLane(view, axis, laneHeight, state.keyDrag);
        const float playX = axis.xOf(now);
        draw->AddLine(ImVec2(playX, origin.y), ImVec2(playX, origin.y + size.y + 2 + laneHeight),
                      IM_COL32(255, 60, 60, 255), 2.0f);
        draw->AddTriangleFilled(ImVec2(playX - 5, origin.y), ImVec2(playX + 5, origin.y),
                                ImVec2(playX, origin.y + 6), IM_COL32(255, 60, 60, 255));
        draw->PopClipRect();
        if (hoveredEntry && state.entryDrag.part == EntryDrag::Part::None)
            drawEntryTooltip(*hoveredEntry);
    }
    ImGui::End();
}
