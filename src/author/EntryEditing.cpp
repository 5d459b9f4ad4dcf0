#include "author/EntryEditing.h"

#include "author/UserConfig.h"
#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/FileBytes.h"
#include "timeline/EffectFactory.h"
#include "timeline/ShowTempo.h"
#include "tracks/Track.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <utility>

namespace {

constexpr double unsnappedStepMs = 100;
constexpr uint32_t neverEnds = UINT32_MAX;

bool endsAtAll(uint32_t end) { return end != neverEnds; }

uint32_t clampedTime(double time) {
    return uint32_t(std::clamp(std::round(time), 0.0, double(neverEnds - 1)));
}

// The tracks of an entry's values: their names start with "KEYWORD@START/".
std::string trackPrefix(const std::string& keyword, uint32_t start) {
    return entryTrackName(keyword, start, "");
}

// The name with its first `length` characters replaced by the prefix.
std::string renamed(const std::string& name, size_t length, const std::string& prefix) {
    std::string result = prefix;
    result.append(name, length);
    return result;
}

} // namespace

const char* snapName(Snap snap) {
    switch (snap) {
    case Snap::Beat:
        return "beat";
    case Snap::Bar:
        return "bar";
    case Snap::Off:
        break;
    }
    return "off";
}

double gridStep(Snap snap, const ShowTempo* tempo) {
    if (!tempo || snap == Snap::Off)
        return unsnappedStepMs;
    return snap == Snap::Bar ? tempo->barMs() : tempo->beatMs();
}

uint32_t snappedTime(uint32_t time, Snap snap, const ShowTempo* tempo) {
    if (!tempo || snap == Snap::Off)
        return time;
    const double step = gridStep(snap, tempo);
    const double lines = std::round((double(time) - tempo->firstBeatMs) / step);
    return clampedTime(tempo->firstBeatMs + lines * step);
}

struct EntryEditing::State {
    std::string script;
    std::vector<std::pair<uint32_t, uint32_t>> times;
    std::vector<std::string> keywords;
    std::optional<size_t> selected;
    std::optional<size_t> addedAt;   // a copy made by the edit, taken out again
    std::unique_ptr<Effekt> removed; // an entry the edit deleted, put back
    size_t removedAt = 0;
};

EntryEditing::EntryEditing(EffectList& effects, std::vector<std::string>& keywords, KeyEditor& keys,
                           std::function<TrackSet&()> tracks, std::function<void()> showChanged,
                           EffectMaker makeEffect)
    : effects_(effects), keywords_(keywords), keys_(keys), tracks_(std::move(tracks)),
      showChanged_(std::move(showChanged)) {
    if (makeEffect)
        makeEffect_ = std::move(makeEffect);
    else
        makeEffect_ = [](const std::string& keyword, int32_t start, int32_t end, FILE* lines) {
            return ::makeEffect(keyword, start, end, lines);
        };
}

void EntryEditing::load(const std::string& scriptBytes) {
    script_ = ScriptDocument(scriptBytes);
    unsaved_ = false;
    selected_.reset();
    message_.clear();
    describe();
}

void EntryEditing::describe() {
    entries_ = describeEntries(script_.bytes(), effects_, keywords_);
    rows_ = packRows(entries_);
    if (selected_ && *selected_ >= entries_.size())
        selected_.reset();
}

void EntryEditing::selectNextActive(uint32_t time) {
    const size_t count = effects_.size();
    const size_t from = selected_ ? *selected_ + 1 : 0;
    for (size_t step = 0; step < count; ++step) {
        const size_t entry = (from + step) % count;
        if (effects_[entry]->isActiveAt(time)) {
            selected_ = entry;
            return;
        }
    }
}

void EntryEditing::cycleSnap() {
    snap_ = snap_ == Snap::Beat ? Snap::Bar : snap_ == Snap::Bar ? Snap::Off : Snap::Beat;
}

bool EntryEditing::editable(size_t entry) {
    if (entry >= entries_.size() || entry >= effects_.size())
        return false;
    if (entries_[entry].line == 0) {
        message_ = "The entry was not found in the script: it cannot be edited here";
        return false;
    }
    return true;
}

// Before an edit: the state to put back on undo, with the tracks the edit may change.
std::shared_ptr<EntryEditing::State>
EntryEditing::noteEdit(const std::vector<std::string>& trackNames, uint64_t gesture) {
    auto state = std::make_shared<State>();
    state->script = script_.bytes();
    for (const auto& effect : effects_)
        state->times.emplace_back(effect->startTime, effect->endTime);
    state->keywords = keywords_;
    state->selected = selected_;
    keys_.undoList().noteEntryEdit(
        tracks_(), trackNames,
        [this, state] {
            if (state->addedAt)
                effects_.erase(effects_.begin() + std::ptrdiff_t(*state->addedAt));
            if (state->removed)
                effects_.insert(effects_.begin() + std::ptrdiff_t(state->removedAt),
                                std::move(state->removed));
            for (size_t i = 0; i < effects_.size() && i < state->times.size(); ++i)
                std::tie(effects_[i]->startTime, effects_[i]->endTime) = state->times[i];
            keywords_ = state->keywords;
            script_ = ScriptDocument(state->script);
            selected_ = state->selected;
            unsaved_ = true;
            describe();
            showChanged_();
        },
        gesture);
    if (!trackNames.empty())
        keys_.markUnsaved();
    unsaved_ = true;
    return state;
}

// The names of the entry's tracks and of the names they move to; with `apply`, moves them:
// renamed, their keys shifted by the move.
std::vector<std::string> EntryEditing::moveTracks(const std::string& keyword, uint32_t from,
                                                  uint32_t to, bool apply) {
    TrackSet& tracks = tracks_();
    const std::string oldPrefix = trackPrefix(keyword, from), newPrefix = trackPrefix(keyword, to);
    std::vector<Track> moving;
    for (const Track& track : tracks.tracks())
        if (track.name.starts_with(oldPrefix))
            moving.push_back(track);
    std::vector<std::string> names;
    for (const Track& track : moving) {
        names.push_back(track.name);
        names.push_back(renamed(track.name, oldPrefix.size(), newPrefix));
    }
    if (!apply || from == to)
        return names;
    const double shift = double(to) - double(from);
    for (Track& track : moving) {
        tracks.putTrack(Track{track.name, {}, 0}); // removed
        track.name = renamed(track.name, oldPrefix.size(), newPrefix);
        for (TrackKey& key : track.keys)
            key.time = clampedTime(double(key.time) + shift);
        // Keys pushed together at 0 keep the last of them.
        const auto kept =
            std::unique(track.keys.rbegin(), track.keys.rend(),
                        [](const TrackKey& a, const TrackKey& b) { return a.time == b.time; });
        track.keys.erase(track.keys.begin(), kept.base());
        track.line = 0;
        tracks.putTrack(std::move(track));
    }
    return names;
}

bool EntryEditing::setTimes(size_t entry, uint32_t start, uint32_t end, uint64_t gesture) {
    if (!editable(entry))
        return false;
    Effekt& effect = *effects_[entry];
    if (start == effect.startTime && end == effect.endTime)
        return true;
    if (endsAtAll(end) && end <= start) {
        message_ = "An entry ends after it starts";
        return false;
    }
    const std::string& keyword = keywords_[entry];
    noteEdit(moveTracks(keyword, effect.startTime, start, false), gesture);
    moveTracks(keyword, effect.startTime, start, true);
    const ShowEntry& lines = entries_[entry];
    if (start != effect.startTime)
        script_.setNumber(lines.startLine, start);
    if (end != effect.endTime)
        script_.setNumber(lines.endLine, end);
    effect.startTime = start;
    effect.endTime = end;
    describe();
    showChanged_();
    return true;
}

bool EntryEditing::moveSelected(int steps, const ShowTempo* tempo) {
    if (!selected_)
        return false;
    const Effekt& effect = *effects_[*selected_];
    const double shift = steps * gridStep(snap_, tempo);
    const double start = std::round(double(effect.startTime) + shift);
    if (start < 0 || (endsAtAll(effect.endTime) && double(effect.endTime) + shift >= neverEnds))
        return false;
    const uint32_t newStart = uint32_t(start);
    const uint32_t newEnd =
        endsAtAll(effect.endTime) ? newStart + (effect.endTime - effect.startTime) : neverEnds;
    return setTimes(*selected_, newStart, newEnd);
}

bool EntryEditing::duplicateSelected() {
    if (!selected_ || !editable(*selected_))
        return false;
    const size_t entry = *selected_;
    const ShowEntry lines = entries_[entry];
    const Effekt& original = *effects_[entry];
    const uint32_t length = original.endTime - original.startTime;
    const bool ends =
        endsAtAll(original.endTime) && original.endTime + uint64_t(length) < neverEnds;
    const uint32_t start = ends ? original.endTime : original.startTime;
    const uint32_t end = ends ? original.endTime + length : original.endTime;
    // The copy reads its extra lines as the original did.
    std::string extra;
    for (const std::string& line : lines.extraLines)
        extra.append(line).push_back('\n');
    if (extra.empty())
        extra.push_back('\n'); // a memory stream is never empty; nothing reads it
    std::unique_ptr<Effekt> copy;
    FILE* stream = fmemopen(extra.data(), extra.size(), "r");
    try {
        copy = makeEffect_(keywords_[entry], int32_t(start), int32_t(end), stream);
    } catch (const std::exception& error) {
        message_ = std::string("The copy could not be made: ") + error.what();
    }
    if (stream)
        std::fclose(stream);
    if (!copy)
        return false;
    noteEdit({}, 0)->addedAt = entry + 1;
    effects_.insert(effects_.begin() + std::ptrdiff_t(entry + 1), std::move(copy));
    keywords_.insert(keywords_.begin() + std::ptrdiff_t(entry + 1), keywords_[entry]);
    const int copied = script_.copyLines(lines.line, lines.lastLine);
    script_.setNumber(copied + (lines.startLine - lines.line), start);
    script_.setNumber(copied + (lines.endLine - lines.line), end);
    script_.addToEntryCount(1);
    selected_ = entry + 1;
    describe();
    showChanged_();
    return true;
}

bool EntryEditing::deleteSelected() {
    if (!selected_ || !editable(*selected_))
        return false;
    const size_t entry = *selected_;
    const ShowEntry lines = entries_[entry];
    const std::shared_ptr<State> state = noteEdit({}, 0);
    state->removed = std::move(effects_[entry]);
    state->removedAt = entry;
    effects_.erase(effects_.begin() + std::ptrdiff_t(entry));
    keywords_.erase(keywords_.begin() + std::ptrdiff_t(entry));
    script_.removeLines(lines.line, lines.lastLine);
    script_.addToEntryCount(-1);
    selected_.reset();
    describe();
    showChanged_();
    return true;
}

std::string EntryEditing::save(const std::string& path) {
    savedText_ = script_.bytes();
    try {
        replaceFileBytes(path, savedText_);
    } catch (const std::exception& error) {
        debugLine("%s", error.what());
        return error.what();
    }
    saved_ = true;
    unsaved_ = false;
    debugLine("Saved %s", path.c_str());
    return "Saved " + path;
}

bool EntryEditing::takeOwnSave(const std::string& path) {
    return std::exchange(saved_, false) && fileHolds(path, savedText_);
}

void EntryEditing::keepUnsaved(const std::string& path) {
    if (unsaved_ && keepRecoveryCopy(script_.bytes(), ".txt", path, "entry edits"))
        unsaved_ = false;
}
