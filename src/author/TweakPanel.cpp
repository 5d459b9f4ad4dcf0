#include "author/OverlayPanels.h"

#include "author/TweakDefinition.h"
#include "effekt/Tweaks.h"
#include "player/Transport.h"
#include "timeline/ShowTracks.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

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

// How far a drag moves the value per pixel: the definition's step, else `otherwise`.
float dragSpeed(const TweakDefinition& definition, float otherwise) {
    const float step = definition.step ? float(*definition.step) : 0.0f;
    return step > 0 ? step : otherwise;
}

// A drag of a number within the definition's bounds.
template <class T>
bool dragNumber(const std::string& label, ImGuiDataType type, void* address,
                const TweakDefinition& definition, float defaultSpeed, const char* format) {
    const auto bounds =
        dragBounds<T>(definition, std::numeric_limits<T>::lowest(), std::numeric_limits<T>::max());
    return ImGui::DragScalar(label.c_str(), type, address, dragSpeed(definition, defaultSpeed),
                             bounds.min(), bounds.max(), format, ImGuiSliderFlags_AlwaysClamp);
}

// A drag of each number of a vector within the definition's bounds.
bool dragNumbers(const std::string& label, const TweakVariable& variable,
                 const TweakDefinition& definition, float defaultSpeed) {
    const auto bounds = dragBounds<float>(definition, std::numeric_limits<float>::lowest(),
                                          std::numeric_limits<float>::max());
    return ImGui::DragScalarN(label.c_str(), ImGuiDataType_Float, variable.address,
                              tweakComponentCount(variable.type),
                              dragSpeed(definition, defaultSpeed), bounds.min(), bounds.max(),
                              "%.3f", ImGuiSliderFlags_AlwaysClamp);
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
    bool changed = false;
    switch (variable.type) {
    case TweakBool:
        changed = ImGui::Checkbox(label.c_str(), static_cast<bool*>(variable.address));
        break;
    case TweakInt32:
        changed =
            dragNumber<int>(label, ImGuiDataType_S32, variable.address, definition, 1.0f, "%d");
        break;
    case TweakFloat:
        changed = dragNumber<float>(label, ImGuiDataType_Float, variable.address, definition, 0.1f,
                                    "%.3f");
        break;
    case TweakDouble:
        changed = dragNumber<double>(label, ImGuiDataType_Double, variable.address, definition,
                                     0.1f, "%.4f");
        break;
    case TweakColor3F:
        changed = ImGui::ColorEdit3(label.c_str(), static_cast<float*>(variable.address),
                                    ImGuiColorEditFlags_Float | ImGuiColorEditFlags_HDR);
        break;
    case TweakColor4F:
        changed = ImGui::ColorEdit4(label.c_str(), static_cast<float*>(variable.address),
                                    ImGuiColorEditFlags_Float | ImGuiColorEditFlags_HDR);
        break;
    case TweakDir3F:
    case TweakVec2F:
        changed = dragNumbers(label, variable, definition, 0.1f);
        break;
    case TweakQuat4F:
        changed = dragNumbers(label, variable, definition, 0.01f);
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
        ImGui::SetTooltip("A free name is a letter or '_', then letters, digits or '_' (and "
                          ".x, .y, ... for a component), and not a track already");
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

} // namespace

void drawTweakPanel(const OverlayView& view, const OverlayRect& rect, TweakPanelState& state) {
    uint64_t& gesture = state.widgetGesture;
    if (beginPanel("Tweaks", rect)) {
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
            drawTracksList(view, selection, uniforms, gesture, state.newTrackName);
        ImGui::PopItemWidth();
    }
    ImGui::End();
}
