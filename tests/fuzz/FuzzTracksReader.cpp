// Fuzz target of the tracks file reader: any text reads without a crash, a hang or unbounded
// memory; the faults are listed by line up to the limit, and what was read writes out to a file
// that reads back the same, without faults.

#include "tracks/TracksFile.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool sameTracks(const TrackSet& a, const TrackSet& b) {
    if (a.tracks().size() != b.tracks().size())
        return false;
    for (const Track& track : a.tracks()) {
        const Track* other = b.find(track.name);
        if (!other || other->keys.size() != track.keys.size())
            return false;
        for (size_t k = 0; k < track.keys.size(); ++k)
            if (other->keys[k].time != track.keys[k].time ||
                other->keys[k].value != track.keys[k].value ||
                other->keys[k].interpolation != track.keys[k].interpolation)
                return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const TracksReading reading = readTracks(text, "fuzz.tracks");
    check(reading.errors.size() <= maxTracksErrors + 1);
    int lastLine = 0;
    for (const std::string& error : reading.errors) {
        check(error.rfind("fuzz.tracks:", 0) == 0 && error.find('\n') == std::string::npos);
        const int line = std::atoi(error.c_str() + 12);
        check(line >= lastLine && line >= 1);
        lastLine = line;
    }
    if (reading.errors.size() > maxTracksErrors)
        check(reading.tracks.empty());
    for (const Track& track : reading.tracks.tracks()) {
        check(!track.keys.empty());
        for (size_t k = 1; k < track.keys.size(); ++k)
            check(track.keys[k].time > track.keys[k - 1].time);
    }
    const TracksReading again = readTracks(writeTracks(reading.tracks), "again.tracks");
    check(again.errors.empty());
    check(sameTracks(reading.tracks, again.tracks));
    return 0;
}
