#include "author/TrackEditing.h"

#include "author/TweakDefinition.h"
#include "author/UserConfig.h"
#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/FileBytes.h"
#include "timeline/ShowTracks.h"
#include "tracks/TracksFile.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <string_view>
#include <utility>

namespace {

// One step of a value: the definition's step, else 1 for whole numbers and 0.1 otherwise.
double stepOf(const TweakVariable& variable, const TweakDefinition& definition) {
    if (definition.step && *definition.step > 0)
        return *definition.step;
    return variable.type == TweakInt32 ? 1.0 : 0.1;
}

// Digits after the point in the shortest decimal that reads back as the number; -1 when it is
// written with an exponent.
template <class Number> int decimalsOf(Number number) {
    char text[64];
    const char* end = std::to_chars(text, text + sizeof text, number).ptr;
    const std::string_view written(text, size_t(end - text));
    if (written.find('e') != std::string_view::npos)
        return -1;
    const size_t point = written.find('.');
    return point == std::string_view::npos ? 0 : int(written.size() - point - 1);
}

// The value moved by `by`, rounded to as many decimals as the value and the step are written with,
// so that steps of 0.1 from -0.6 reach -0.5 rather than the float next to it.
template <class Number> double stepped(Number value, double by, double step) {
    const int valueDecimals = decimalsOf(value);
    const int stepDecimals = decimalsOf(step);
    const double sum = double(value) + by;
    if (valueDecimals < 0 || stepDecimals < 0 || std::max(valueDecimals, stepDecimals) > 12)
        return sum;
    const double scale = std::pow(10.0, std::max(valueDecimals, stepDecimals));
    return std::round(sum * scale) / scale;
}

double bounded(double value, const TweakDefinition& definition) {
    if (definition.min)
        value = std::max(value, *definition.min);
    if (definition.max)
        value = std::min(value, *definition.max);
    return value;
}

void nudgeEnumeration(const TweakRegistry& tweaks, const TweakVariable& variable, int steps) {
    for (const TweakEnum& type : tweaks.enums()) {
        if (type.type != variable.type || type.values.empty())
            continue;
        int* value = static_cast<int*>(variable.address);
        const auto current = std::find_if(type.values.begin(), type.values.end(),
                                          [&](const auto& item) { return item.value == *value; });
        const int count = int(type.values.size());
        const int index = current == type.values.end() ? 0 : int(current - type.values.begin());
        *value = type.values[size_t(((index + steps) % count + count) % count)].value;
    }
}

void nudge(const TweakRegistry& tweaks, const TweakVariable& variable, int steps) {
    const TweakDefinition definition = parseTweakDefinition(variable.definition);
    const double step = stepOf(variable, definition);
    const double by = steps * step;
    switch (variable.type) {
    case TweakBool: {
        bool* value = static_cast<bool*>(variable.address);
        *value = steps % 2 != 0 ? !*value : *value;
        break;
    }
    case TweakInt32: {
        int32_t* value = static_cast<int32_t*>(variable.address);
        *value =
            int32_t(bounded(std::clamp(*value + by, double(INT_MIN), double(INT_MAX)), definition));
        break;
    }
    case TweakDouble: {
        double* value = static_cast<double*>(variable.address);
        *value = bounded(stepped(*value, by, step), definition);
        break;
    }
    case TweakFloat:
    case TweakColor3F:
    case TweakColor4F:
    case TweakDir3F:
    case TweakQuat4F:
    case TweakVec2F: {
        float* numbers = static_cast<float*>(variable.address);
        for (int i = 0; i < tweakComponentCount(variable.type); ++i)
            numbers[i] = float(bounded(stepped(numbers[i], by, step), definition));
        break;
    }
    default:
        nudgeEnumeration(tweaks, variable, steps);
        break;
    }
}

} // namespace

std::vector<TweakValue> tweakValuesOf(const Effekt& effect, const TweakRegistry& tweaks) {
    std::vector<TweakValue> values;
    if (!effect.tweakBar)
        return values;
    for (const TweakVariable& variable : tweaks.variables())
        if (variable.bar == effect.tweakBar)
            values.push_back({&effect, &variable, valueTracks(effect, variable)});
    return values;
}

std::vector<std::string> untrackedUniforms(const EffectList& effects, const TrackSet& tracks,
                                           uint32_t time) {
    std::vector<std::string> names;
    for (const auto& effect : effects) {
        if (!effect->isActiveAt(time))
            continue;
        for (std::string& name : effect->trackUniforms())
            if (!tracks.find(name) && std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(std::move(name));
    }
    return names;
}

TweakValue FreeValue::at(const TrackSet& tracks, uint32_t time) {
    if (const Track* track = tracks.find(variable_.name))
        number_ = track->valueAt(time);
    return value();
}

void TrackEditing::selectTrack(const std::string& name) {
    selected_ = name;
    if (isFreeTrackName(name) && (!free_ || free_->value().tracks.front() != name))
        free_ = std::make_unique<FreeValue>(name);
}

std::optional<TweakValue> TrackEditing::selected(const EffectList& effects,
                                                 const TweakRegistry& tweaks, uint32_t time,
                                                 const TrackSet* tracks) const {
    std::optional<TweakValue> firstActive;
    for (const auto& effect : effects) {
        const bool active = effect->isActiveAt(time);
        for (TweakValue& value : tweakValuesOf(*effect, tweaks)) {
            if (std::find(value.tracks.begin(), value.tracks.end(), selected_) !=
                value.tracks.end())
                return value;
            if (active && !firstActive)
                firstActive = std::move(value);
        }
    }
    if (free_ && free_->value().tracks.front() == selected_)
        return tracks ? free_->at(*tracks, time) : free_->value();
    if (firstActive || !tracks)
        return firstActive;
    // No active entry has values of its own: the first track that their shaders read.
    for (const auto& effect : effects)
        if (effect->isActiveAt(time))
            for (const std::string& name : effect->trackUniforms())
                if (tracks->find(name)) {
                    if (!free_ || free_->value().tracks.front() != name)
                        free_ = std::make_unique<FreeValue>(name);
                    return free_->at(*tracks, time);
                }
    return std::nullopt;
}

bool TrackEditing::addFreeTrack(TrackSet& tracks, const std::string& name, uint32_t time) {
    if (!isFreeTrackName(name) || tracks.find(name))
        return false;
    selected_ = name;
    free_ = std::make_unique<FreeValue>(name);
    editor_.setKey(tracks, {name}, *free_->value().variable, time);
    return true;
}

void TrackEditing::valueChanged(TrackSet& tracks, const TweakValue& value, uint32_t time,
                                uint64_t gesture) {
    const bool tracked = std::any_of(value.tracks.begin(), value.tracks.end(),
                                     [&](const std::string& name) { return tracks.find(name); });
    if (recording_ || tracked || !value.effect)
        editor_.setKey(tracks, value.tracks, *value.variable, time, gesture);
}

bool TrackEditing::nudgeSelected(TrackSet& tracks, const EffectList& effects,
                                 const TweakRegistry& tweaks, uint32_t time, int steps) {
    const std::optional<TweakValue> value = selected(effects, tweaks, time, &tracks);
    if (!value)
        return false;
    nudge(tweaks, *value->variable, steps);
    valueChanged(tracks, *value, time);
    return true;
}

bool TrackEditing::keySelected(TrackSet& tracks, const EffectList& effects,
                               const TweakRegistry& tweaks, uint32_t time) {
    const std::optional<TweakValue> value = selected(effects, tweaks, time, &tracks);
    if (!value)
        return false;
    editor_.setKey(tracks, value->tracks, *value->variable, time);
    return true;
}

std::string TrackEditing::save(const TrackSet& tracks, const std::string& path) {
    try {
        saveTracksFile(path, tracks);
    } catch (const std::exception& error) {
        debugLine("%s", error.what());
        return error.what();
    }
    savedText_ = writeTracks(tracks);
    saved_ = true;
    editor_.markSaved();
    debugLine("Saved %s", path.c_str());
    return "Saved " + path;
}

bool TrackEditing::takeOwnSave(const std::string& path) {
    return std::exchange(saved_, false) && fileHolds(path, savedText_);
}

void TrackEditing::recordUnsaved(const TrackSet& tracks, const char* path) {
    if (!editor_.unsaved())
        recovery_.discard();
    else if (recorded_ != editor_.edits() && recovery_.update(writeTracks(tracks), path))
        recorded_ = editor_.edits();
}

void TrackEditing::keepUnsaved(const TrackSet& tracks, const std::string& path) {
    if (editor_.unsaved() && recovery_.keep(writeTracks(tracks), path))
        editor_.markSaved();
}
