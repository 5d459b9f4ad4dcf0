#include "author/TrackEditing.h"

#include "author/TweakDefinition.h"
#include "author/UserConfig.h"
#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/FileBytes.h"
#include "tracks/TracksFile.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <utility>

namespace {

// One step of a value: the definition's step, else 1 for whole numbers and 0.1 otherwise.
double stepOf(const TweakVariable& variable, const TweakDefinition& definition) {
    if (definition.step && *definition.step > 0)
        return *definition.step;
    return variable.type == TweakInt32 ? 1.0 : 0.1;
}

double bounded(double value, const TweakDefinition& definition) {
    if (definition.min)
        value = std::max(value, *definition.min);
    if (definition.max)
        value = std::min(value, *definition.max);
    return value;
}

void nudgeEnumeration(const TweakVariable& variable, int steps) {
    for (const TweakEnum& type : TweakRegistry::instance().enums()) {
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

void nudge(const TweakVariable& variable, int steps) {
    const TweakDefinition definition = parseTweakDefinition(variable.definition);
    const double by = steps * stepOf(variable, definition);
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
        *value = bounded(*value + by, definition);
        break;
    }
    case TweakFloat:
    case TweakColor3F:
    case TweakColor4F:
    case TweakDir3F:
    case TweakQuat4F: {
        float* numbers = static_cast<float*>(variable.address);
        const int count = variable.type == TweakFloat                                    ? 1
                          : variable.type == TweakColor3F || variable.type == TweakDir3F ? 3
                                                                                         : 4;
        for (int i = 0; i < count; ++i)
            numbers[i] = float(bounded(numbers[i] + by, definition));
        break;
    }
    default:
        nudgeEnumeration(variable, steps);
        break;
    }
}

} // namespace

std::vector<TweakValue> tweakValuesOf(const Effekt& effect) {
    std::vector<TweakValue> values;
    if (!effect.tweakBar)
        return values;
    for (const TweakVariable& variable : TweakRegistry::instance().variables())
        if (variable.bar == effect.tweakBar)
            values.push_back({&effect, &variable, valueTracks(effect, variable)});
    return values;
}

std::optional<TweakValue> TrackEditing::selected(const EffectList& effects, uint32_t time) const {
    std::optional<TweakValue> firstActive;
    for (const auto& effect : effects) {
        const bool active = effect->isActiveAt(time);
        for (TweakValue& value : tweakValuesOf(*effect)) {
            if (value.tracks.front() == selected_)
                return value;
            if (active && !firstActive)
                firstActive = std::move(value);
        }
    }
    return firstActive;
}

void TrackEditing::valueChanged(TrackSet& tracks, const TweakValue& value, uint32_t time,
                                uint64_t gesture) {
    const bool tracked = std::any_of(value.tracks.begin(), value.tracks.end(),
                                     [&](const std::string& name) { return tracks.find(name); });
    if (recording_ || tracked)
        editor_.setKey(tracks, value.tracks, *value.variable, time, gesture);
}

bool TrackEditing::nudgeSelected(TrackSet& tracks, const EffectList& effects, uint32_t time,
                                 int steps) {
    const std::optional<TweakValue> value = selected(effects, time);
    if (!value)
        return false;
    nudge(*value->variable, steps);
    valueChanged(tracks, *value, time);
    return true;
}

bool TrackEditing::keySelected(TrackSet& tracks, const EffectList& effects, uint32_t time) {
    const std::optional<TweakValue> value = selected(effects, time);
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

void TrackEditing::keepUnsaved(const TrackSet& tracks, const std::string& path) {
    if (editor_.unsaved() && keepRecoveryCopy(writeTracks(tracks), ".tracks", path, "key edits"))
        editor_.markSaved();
}
