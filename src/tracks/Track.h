#pragma once
// Keyframed values: a track is a named value that changes over effect time, given by keys (a time,
// a value and how the value goes on to the next key). A show's tracks live in a TrackSet, read from
// and written to data/demo.tracks (tracks/TracksFile.h).
//
// Evaluating a track allocates nothing; editing one may.

#include "tracks/BeatSetting.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How a value goes from one key to the next, over the fraction u (0 to 1) of the time between
// them: step holds the key's value, linear goes straight, smooth eases in and out (smoothstep,
// u²(3 - 2u)) and ramp eases in (u²).
enum class Interpolation { Step, Linear, Smooth, Ramp };

// The word the tracks file uses: "step", "linear", "smooth" or "ramp".
const char* interpolationName(Interpolation interpolation);
std::optional<Interpolation> interpolationNamed(std::string_view name);

// The share (0 to 1) of the way from a key's value to the next one's at the fraction u of the time
// between them.
float interpolate(Interpolation interpolation, float u);

struct TrackKey {
    uint32_t time = 0; // milliseconds of effect time
    float value = 0;
    Interpolation interpolation = Interpolation::Step; // towards the next key
};

class Track {
public:
    std::string name;
    std::vector<TrackKey> keys; // strictly rising times
    int line = 0;               // where the file named the track; 0 when made in this run

    // Before the first key the first key's value, after the last the last one's; 0 without keys.
    float valueAt(uint32_t time) const;

    // The key at exactly that time, or null.
    const TrackKey* keyAt(uint32_t time) const;
    // The nearest key strictly before / after the time, or null.
    const TrackKey* keyBefore(uint32_t time) const;
    const TrackKey* keyAfter(uint32_t time) const;

    // Adds the key, or replaces the one at its time.
    void setKey(const TrackKey& key);
    // False when no key has that time.
    bool deleteKey(uint32_t time);
};

// The tempo a tracks file declares: `tempo BPM [BEATS_PER_BAR [FIRST_BEAT_MS]]`.
struct DeclaredTempo {
    double bpm = 0;
    int beatsPerBar = 4;
    double firstBeatMs = 0;
    int line = 0; // where the file declared it; 0 when made in this run
};

// A show's tracks, kept sorted by name, and the tempo the file declares, if any.
class TrackSet {
public:
    std::optional<DeclaredTempo> tempo;

    const std::vector<Track>& tracks() const { return tracks_; }
    bool empty() const { return tracks_.empty(); }

    const Track* find(std::string_view name) const;

    // Sets a key of the named track (adding or replacing the key at that time), making the track
    // when there is none yet.
    void setKey(std::string_view track, const TrackKey& key);
    // Deletes the key at that time; a track left without keys is removed. False when there was no
    // such key.
    bool deleteKey(std::string_view track, uint32_t time);
    // Replaces a whole track (or adds it); a track without keys is removed.
    void putTrack(Track track);
    // Adds tracks of names the set does not hold yet, each with keys and named once.
    void putTracks(std::vector<Track> tracks);

    // Changes whenever a track is added or removed (not when only keys change), so that whoever
    // looked tracks up by name knows when to look again.
    uint64_t revision() const { return revision_; }

    // How the beat level follows the music (the file's `beat` lines).
    const BeatSetting& beat() const { return beat_; }
    void setBeat(const BeatSetting& beat) { beat_ = beat; }

private:
    std::vector<Track> tracks_;
    uint64_t revision_ = 0;
    BeatSetting beat_;

    Track* findMutable(std::string_view name);
};

// Names of tracks. A tweakable value of a script entry is named by the entry's keyword and start
// time and the value's name, with the component for values of several (x, y, z, w or r, g, b, a),
// e.g. "NanoBall@12000/Light pos.x": editing other entries keeps the name. Any other name is free:
// shaders that declare a float uniform of that name receive it, and plug-ins read it by name. A
// free name is an identifier (a letter or '_', then letters, digits or '_'), with the component
// for one number of a uniform of several (".x", ".y", ".z", ".w" or ".r", ".g", ".b", ".a":
// "iMouse.x", "tint.r").
std::string entryTrackName(std::string_view keyword, uint32_t startTime, std::string_view valueName,
                           char component = 0);
bool isFreeTrackName(std::string_view name);
// Whether the name has the form of an entry value's track (a keyword, '@', a time, '/', a name).
bool isEntryTrackName(std::string_view name);
