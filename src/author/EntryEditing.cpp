#include "author/EntryEditing.h"

#include "author/UserConfig.h"
#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/FileBytes.h"
#include "timeline/ScriptReader.h"
#include "timeline/Show.h"
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
    const double lines = std::round((double(time) - tempo->firstBarMs) / step);
    return clampedTime(tempo->firstBarMs + lines * step);
}

struct EntryEditing::State {
    std::string script;
    std::vector<std::pair<uint32_t, uint32_t>> times;
    std::vector<EntryLines> lines;
    std::optional<size_t> selected;
    std::optional<size_t> addedAt;   // a copy made by the edit, taken out again
    std::unique_ptr<Effekt> removed; // an entry the edit deleted, put back
    ScriptEntry removedEntry;
    size_t removedAt = 0;
};

EntryEditing::EntryEditing(KeyEditor& keys, std::function<void()> showChanged)
    : keys_(keys), showChanged_(std::move(showChanged)) {}

void EntryEditing::load(Show& show) {
    show_ = &show;
    script_ = ScriptDocument(show.scriptText());
    unsaved_ = false;
    selected_.reset();
    message_.clear();
    describe();
}

void EntryEditing::changed() {
    show_->rebindTracks();
    if (showChanged_)
        showChanged_();
}

void EntryEditing::shiftLines(size_t from, int count) {
    for (size_t i = from; i < show_->entries().size(); ++i) {
        EntryLines lines = show_->entries()[i].lines;
        lines.keyword += count;
        lines.start += count;
        lines.end += count;
        lines.last += count;
        show_->setEntryLines(i, lines);
    }
}

void EntryEditing::describe() {
    entries_ = describeEntries(*show_, script_.bytes());
    rows_ = packRows(entries_);
    if (selected_ && *selected_ >= entries_.size())
        selected_.reset();
}

void EntryEditing::selectNextActive(uint32_t time) {
    const EffectList& effects = show_->effects();
    const size_t count = effects.size();
    const size_t from = selected_ ? *selected_ + 1 : 0;
    for (size_t step = 0; step < count; ++step) {
        const size_t entry = (from + step) % count;
        if (effects[entry]->isActiveAt(time)) {
            selected_ = entry;
            return;
        }
    }
}

void EntryEditing::cycleSnap() {
    snap_ = snap_ == Snap::Beat ? Snap::Bar : snap_ == Snap::Bar ? Snap::Off : Snap::Beat;
}

bool EntryEditing::editable(size_t entry) const {
    return entry < entries_.size() && entry < show_->effects().size();
}

// Before an edit: the state to put back on undo, with the tracks the edit may change.
std::shared_ptr<EntryEditing::State>
EntryEditing::noteEdit(const std::vector<std::string>& trackNames, uint64_t gesture) {
    auto state = std::make_shared<State>();
    state->script = script_.bytes();
    for (size_t i = 0; i < show_->effects().size(); ++i) {
        const Effekt& effect = *show_->effects()[i];
        state->times.emplace_back(effect.startTime, effect.endTime);
        state->lines.push_back(show_->entries()[i].lines);
    }
    state->selected = selected_;
    keys_.undoList().noteEntryEdit(
        show_->tracks().tracks(), trackNames,
        [this, state] {
            if (state->addedAt)
                show_->removeEntry(*state->addedAt);
            if (state->removed)
                show_->insertEntry(state->removedAt, state->removedEntry,
                                   std::move(state->removed));
            EffectList& effects = show_->effects();
            for (size_t i = 0; i < effects.size() && i < state->times.size(); ++i) {
                std::tie(effects[i]->startTime, effects[i]->endTime) = state->times[i];
                show_->setEntryLines(i, state->lines[i]);
            }
            script_ = ScriptDocument(state->script);
            selected_ = state->selected;
            markEdited();
            describe();
            changed();
        },
        gesture);
    if (!trackNames.empty())
        keys_.markUnsaved();
    markEdited();
    return state;
}

// The names of the entry's tracks and of the names they move to; with `apply`, moves them:
// renamed, their keys shifted by the move.
std::vector<std::string> EntryEditing::moveTracks(const std::string& keyword, uint32_t from,
                                                  uint32_t to, bool apply) {
    TrackSet& tracks = show_->tracks().tracks();
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
    Effekt& effect = *show_->effects()[entry];
    if (start == effect.startTime && end == effect.endTime)
        return true;
    if (endsAtAll(end) && end <= start) {
        message_ = "An entry ends after it starts";
        return false;
    }
    const std::string& keyword = entries_[entry].keyword;
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
    changed();
    return true;
}

bool EntryEditing::moveSelected(int steps, const ShowTempo* tempo) {
    if (!selected_)
        return false;
    const Effekt& effect = *show_->effects()[*selected_];
    const double shift = steps * gridStep(snap_, tempo);
    const double start = std::round(double(effect.startTime) + shift);
    if (start < 0 || (endsAtAll(effect.endTime) && double(effect.endTime) + shift >= neverEnds))
        return false;
    const uint32_t newStart = uint32_t(start);
    const uint32_t newEnd =
        endsAtAll(effect.endTime) ? newStart + (effect.endTime - effect.startTime) : neverEnds;
    return setTimes(*selected_, newStart, newEnd);
}

// The copy reads its extra lines (the text, one a line) as the original did.
std::unique_ptr<Effekt> EntryEditing::makeCopy(const EffectFamily& family, int32_t start,
                                               int32_t end, std::string extra) {
    if (extra.empty())
        extra.push_back('\n'); // a memory stream is never empty; nothing reads it
    FILE* stream = fmemopen(extra.data(), extra.size(), "r");
    if (!stream)
        raise("no memory for the entry's lines");
    EntryValues values;
    values.start = start;
    values.end = end;
    values.script = stream;
    try {
        for (const ExtraLine& line : family.extraLines) {
            if (line.number)
                values.numbers.push_back(readScriptNumber(stream));
            else
                values.texts.push_back(readScriptLine(stream));
        }
        std::unique_ptr<Effekt> copy = show_->makeEffect(family, values);
        std::fclose(stream);
        return copy;
    } catch (const ScriptEnded&) {
        std::fclose(stream);
        raise("the entry's lines end early");
    } catch (...) {
        std::fclose(stream);
        throw;
    }
}

bool EntryEditing::duplicateSelected() {
    if (!selected_ || !editable(*selected_))
        return false;
    const size_t entry = *selected_;
    const ShowEntry lines = entries_[entry];
    const Effekt& original = *show_->effects()[entry];
    const ScriptEntry scriptEntry = show_->entries()[entry];
    const uint32_t length = original.endTime - original.startTime;
    const bool ends =
        endsAtAll(original.endTime) && original.endTime + uint64_t(length) < neverEnds;
    const uint32_t start = ends ? original.endTime : original.startTime;
    const uint32_t end = ends ? original.endTime + length : original.endTime;
    std::string extra;
    for (const std::string& line : lines.extraLines)
        extra.append(line).push_back('\n');
    std::unique_ptr<Effekt> copy;
    try {
        copy = makeCopy(*scriptEntry.family, int32_t(start), int32_t(end), extra);
    } catch (const std::exception& error) {
        message_ = std::string("The copy could not be made: ") + error.what();
    }
    if (!copy)
        return false;
    noteEdit({}, 0)->addedAt = entry + 1;
    const int copied = script_.copyLines(lines.line, lines.lastLine);
    const int count = lines.lastLine - lines.line + 1;
    shiftLines(entry + 1, count);
    ScriptEntry copyEntry = scriptEntry;
    copyEntry.lines = {copied, copied + (lines.startLine - lines.line),
                       copied + (lines.endLine - lines.line), copied + count - 1};
    show_->insertEntry(entry + 1, copyEntry, std::move(copy));
    script_.setNumber(copyEntry.lines.start, start);
    script_.setNumber(copyEntry.lines.end, end);
    script_.addToEntryCount(1);
    selected_ = entry + 1;
    describe();
    changed();
    return true;
}

bool EntryEditing::deleteSelected() {
    if (!selected_ || !editable(*selected_))
        return false;
    const size_t entry = *selected_;
    const ShowEntry lines = entries_[entry];
    const std::shared_ptr<State> state = noteEdit({}, 0);
    state->removedEntry = show_->entries()[entry];
    state->removed = show_->removeEntry(entry);
    state->removedAt = entry;
    script_.removeLines(lines.line, lines.lastLine);
    shiftLines(entry, -(lines.lastLine - lines.line + 1));
    script_.addToEntryCount(-1);
    selected_.reset();
    describe();
    changed();
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

void EntryEditing::recordUnsaved(const char* path) {
    if (!unsaved_)
        recovery_.discard();
    else if (recorded_ != edits_ && recovery_.update(script_.bytes(), path))
        recorded_ = edits_;
}

void EntryEditing::keepUnsaved(const std::string& path) {
    if (unsaved_ && recovery_.keep(script_.bytes(), path))
        unsaved_ = false;
}
