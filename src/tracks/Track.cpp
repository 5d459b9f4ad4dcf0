#include "tracks/Track.h"

#include <algorithm>
#include <iterator>

namespace {

struct NamedInterpolation {
    const char* name;
    Interpolation interpolation;
};

constexpr NamedInterpolation interpolationNames[] = {
    {"step", Interpolation::Step},
    {"linear", Interpolation::Linear},
    {"smooth", Interpolation::Smooth},
    {"ramp", Interpolation::Ramp},
};

bool timeBefore(const TrackKey& key, uint32_t time) { return key.time < time; }

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

const char* interpolationName(Interpolation interpolation) {
    for (const NamedInterpolation& named : interpolationNames)
        if (named.interpolation == interpolation)
            return named.name;
    return "step";
}

std::optional<Interpolation> interpolationNamed(std::string_view name) {
    for (const NamedInterpolation& named : interpolationNames)
        if (name == named.name)
            return named.interpolation;
    return std::nullopt;
}

float interpolate(Interpolation interpolation, float u) {
    switch (interpolation) {
    case Interpolation::Step:
        return 0;
    case Interpolation::Linear:
        return u;
    case Interpolation::Smooth:
        return u * u * (3 - 2 * u);
    case Interpolation::Ramp:
        return u * u;
    }
    return 0;
}

float Track::valueAt(uint32_t time) const {
    if (keys.empty())
        return 0;
    const auto next =
        std::upper_bound(keys.begin(), keys.end(), time,
                         [](uint32_t t, const TrackKey& key) { return t < key.time; });
    if (next == keys.begin())
        return keys.front().value;
    if (next == keys.end())
        return keys.back().value;
    const TrackKey& from = *(next - 1);
    const float u = float(double(time - from.time) / double(next->time - from.time));
    return from.value + (next->value - from.value) * interpolate(from.interpolation, u);
}

const TrackKey* Track::keyAt(uint32_t time) const {
    const auto key = std::lower_bound(keys.begin(), keys.end(), time, timeBefore);
    return key != keys.end() && key->time == time ? &*key : nullptr;
}

const TrackKey* Track::keyBefore(uint32_t time) const {
    const auto key = std::lower_bound(keys.begin(), keys.end(), time, timeBefore);
    return key == keys.begin() ? nullptr : &*(key - 1);
}

const TrackKey* Track::keyAfter(uint32_t time) const {
    const auto key = std::upper_bound(keys.begin(), keys.end(), time,
                                      [](uint32_t t, const TrackKey& k) { return t < k.time; });
    return key == keys.end() ? nullptr : &*key;
}

void Track::setKey(const TrackKey& key) {
    const auto place = std::lower_bound(keys.begin(), keys.end(), key.time, timeBefore);
    if (place != keys.end() && place->time == key.time)
        *place = key;
    else
        keys.insert(place, key);
}

bool Track::deleteKey(uint32_t time) {
    const auto key = std::lower_bound(keys.begin(), keys.end(), time, timeBefore);
    if (key == keys.end() || key->time != time)
        return false;
    keys.erase(key);
    return true;
}

namespace {

template <typename Tracks> auto trackPlace(Tracks& tracks, std::string_view name) {
    return std::lower_bound(
        tracks.begin(), tracks.end(), name,
        // compare(): clang 14 cannot compare a string with a string_view
        // through libstdc++ 12's operator<=> (the fuzz build)
        [](const Track& track, std::string_view n) { return track.name.compare(n) < 0; });
}

} // namespace

const Track* TrackSet::find(std::string_view name) const {
    const auto track = trackPlace(tracks_, name);
    return track != tracks_.end() && track->name == name ? &*track : nullptr;
}

Track* TrackSet::findMutable(std::string_view name) { return const_cast<Track*>(find(name)); }

void TrackSet::setKey(std::string_view name, const TrackKey& key) {
    if (Track* track = findMutable(name)) {
        track->setKey(key);
        return;
    }
    Track track;
    track.name = std::string(name);
    track.keys.push_back(key);
    putTrack(std::move(track));
}

bool TrackSet::deleteKey(std::string_view name, uint32_t time) {
    Track* track = findMutable(name);
    if (!track || !track->deleteKey(time))
        return false;
    if (track->keys.empty()) {
        tracks_.erase(tracks_.begin() + (track - tracks_.data()));
        ++revision_;
    }
    return true;
}

void TrackSet::putTracks(std::vector<Track> tracks) {
    if (tracks.empty())
        return;
    const auto added = tracks_.insert(tracks_.end(), std::make_move_iterator(tracks.begin()),
                                      std::make_move_iterator(tracks.end()));
    const auto byName = [](const Track& a, const Track& b) { return a.name.compare(b.name) < 0; };
    std::sort(added, tracks_.end(), byName);
    std::inplace_merge(tracks_.begin(), added, tracks_.end(), byName);
    ++revision_;
}

void TrackSet::putTrack(Track track) {
    const auto place = trackPlace(tracks_, track.name);
    const bool present = place != tracks_.end() && place->name == track.name;
    if (track.keys.empty()) {
        if (present) {
            tracks_.erase(place);
            ++revision_;
        }
        return;
    }
    if (present) {
        *place = std::move(track);
        return;
    }
    tracks_.insert(place, std::move(track));
    ++revision_;
}

std::string entryTrackName(std::string_view keyword, uint32_t startTime, std::string_view valueName,
                           char component) {
    std::string name(keyword);
    name += '@';
    name += std::to_string(startTime);
    name += '/';
    name += valueName;
    if (component) {
        name += '.';
        name += component;
    }
    return name;
}

bool isFreeTrackName(std::string_view name) {
    // One component of a vector or colour uniform: "tint.r", "iMouse.x".
    if (name.size() > 2 && name[name.size() - 2] == '.' &&
        std::string_view("xyzwrgba").find(name.back()) != std::string_view::npos)
        name.remove_suffix(2);
    if (name.empty() || !isLetter(name.front()))
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) { return isLetter(c) || isDigit(c); });
}

bool isEntryTrackName(std::string_view name) {
    const size_t at = name.find('@');
    const size_t slash = name.find('/', at == std::string_view::npos ? 0 : at);
    if (at == 0 || at == std::string_view::npos || slash == std::string_view::npos ||
        slash == at + 1 || slash + 1 == name.size())
        return false;
    const std::string_view time = name.substr(at + 1, slash - at - 1);
    return std::all_of(time.begin(), time.end(), isDigit);
}
