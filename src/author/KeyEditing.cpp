#include "author/KeyEditing.h"

#include "effekt/Effekt.h"
#include "timeline/ShowTracks.h"

#include <algorithm>

ValueTracks valueTracks(const Effekt& effect, const TweakVariable& variable) {
    ValueTracks names;
    for (int component = 0; component < tweakComponentCount(variable.type); ++component)
        names.push_back(tweakTrackName(effect, variable, component));
    return names;
}

std::vector<uint32_t> keyTimes(const TrackSet& tracks, const ValueTracks& value) {
    std::vector<uint32_t> times;
    for (const std::string& name : value)
        if (const Track* track = tracks.find(name))
            for (const TrackKey& key : track->keys)
                times.push_back(key.time);
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    return times;
}

std::optional<Interpolation> interpolationAt(const TrackSet& tracks, const ValueTracks& value,
                                             uint32_t time) {
    std::optional<Interpolation> found;
    uint32_t foundTime = 0;
    for (const std::string& name : value) {
        const Track* track = tracks.find(name);
        if (!track)
            continue;
        const TrackKey* key = track->keyAt(time);
        if (!key)
            key = track->keyBefore(time);
        if (key && (!found || key->time > foundTime)) {
            found = key->interpolation;
            foundTime = key->time;
        }
    }
    return found;
}

void KeyUndoList::noteBefore(const TrackSet& tracks, const ValueTracks& value, uint64_t gesture) {
    noteEntryEdit(tracks, value, nullptr, gesture);
}

void KeyUndoList::noteEntryEdit(const TrackSet& tracks, const ValueTracks& names,
                                std::function<void()> restore, uint64_t gesture) {
    const bool joins = gesture != 0 && !edits_.empty() && edits_.back().gesture == gesture;
    if (!joins) {
        if (edits_.size() == capacity)
            edits_.erase(edits_.begin());
        edits_.push_back({gesture, {}, std::move(restore)});
    }
    // A joining edit adds only the tracks the gesture had not touched yet: the others are kept
    // as they were before its first change.
    std::vector<Track>& before = edits_.back().before;
    for (const std::string& name : names) {
        if (std::any_of(before.begin(), before.end(),
                        [&](const Track& kept) { return kept.name == name; }))
            continue;
        const Track* track = tracks.find(name);
        before.push_back(track ? *track : Track{name, {}, 0});
    }
}

bool KeyUndoList::undo(TrackSet& tracks) {
    if (edits_.empty())
        return false;
    Edit edit = std::move(edits_.back());
    edits_.pop_back();
    for (Track& track : edit.before)
        tracks.putTrack(std::move(track));
    if (edit.restoreEntries)
        edit.restoreEntries();
    return true;
}

void KeyEditor::startOver() {
    undo_.clear();
    unsaved_ = false;
}

void KeyEditor::setKey(TrackSet& tracks, const ValueTracks& value, const TweakVariable& variable,
                       uint32_t time, uint64_t gesture) {
    const Interpolation interpolation =
        interpolationAt(tracks, value, time).value_or(Interpolation::Linear);
    undo_.noteBefore(tracks, value, gesture);
    for (size_t component = 0; component < value.size(); ++component)
        tracks.setKey(value[component],
                      {time, tweakComponentValue(variable, int(component)), interpolation});
    noteEdit();
}

bool KeyEditor::deleteKey(TrackSet& tracks, const ValueTracks& value, uint32_t time) {
    const std::vector<uint32_t> times = keyTimes(tracks, value);
    if (!std::binary_search(times.begin(), times.end(), time))
        return false;
    undo_.noteBefore(tracks, value);
    for (const std::string& name : value)
        tracks.deleteKey(name, time);
    noteEdit();
    return true;
}

void KeyEditor::setInterpolation(TrackSet& tracks, const ValueTracks& value, uint32_t keyTime,
                                 Interpolation interpolation) {
    undo_.noteBefore(tracks, value);
    for (const std::string& name : value)
        if (const Track* track = tracks.find(name))
            if (const TrackKey* key = track->keyAt(keyTime)) {
                TrackKey changed = *key;
                changed.interpolation = interpolation;
                tracks.setKey(name, changed);
            }
    noteEdit();
}

uint32_t KeyEditor::moveKey(TrackSet& tracks, const ValueTracks& value, uint32_t from, uint32_t to,
                            uint64_t gesture) {
    const std::vector<uint32_t> times = keyTimes(tracks, value);
    const auto at = std::lower_bound(times.begin(), times.end(), from);
    if (at == times.end() || *at != from)
        return from;
    const uint32_t low = at == times.begin() ? 0 : *(at - 1) + 1;
    const uint32_t high = at + 1 == times.end() ? UINT32_MAX : *(at + 1) - 1;
    to = std::clamp(to, low, high);
    if (to == from)
        return from;
    undo_.noteBefore(tracks, value, gesture);
    for (const std::string& name : value) {
        const Track* track = tracks.find(name);
        const TrackKey* key = track ? track->keyAt(from) : nullptr;
        if (!key)
            continue;
        TrackKey moved = *key;
        moved.time = to;
        tracks.setKey(name, moved); // first, so that the track is never left without keys
        tracks.deleteKey(name, from);
    }
    noteEdit();
    return to;
}

bool KeyEditor::undo(TrackSet& tracks) {
    if (!undo_.undo(tracks))
        return false;
    noteEdit();
    return true;
}
