#pragma once
// The tracks of a loaded show, playing: every frame, before the entries draw, each track's value at
// the effect time goes into what the track drives (a tweakable value of an entry), and is offered
// by name to shaders and plug-ins. The show's frame function applies them.

#include "effekt/Effekt.h"
#include "render/ShaderInputs.h"
#include "tracks/Track.h"

#include <memory>
#include <string>
#include <vector>

struct ShowCheck;
class ShowFiles;

// How many numbers a tweak value of that type holds (1 for single values and enumerations), and
// the letter naming component `index` in track names (0 for single values).
int tweakComponentCount(int type);
char tweakComponentLetter(int type, int index);

// The current value of one component of a tweak variable, as a track holds it (switches 0 or 1,
// enumerations their number).
float tweakComponentValue(const TweakVariable& variable, int component);

// The track name of one component of an entry's tweak variable: the entry's keyword is its tweak
// bar's title; a variable driven by a free name has that name, with ".x", ".r", ... for a
// component.
std::string tweakTrackName(const Effekt& effect, const TweakVariable& variable, int component);

class ShowTracks final : public NamedValues {
public:
    // Registers every entry's tweakable values in its own registry (each entry under a tweak bar
    // titled with its keyword) and binds the tracks that name them. `beatScale` multiplies the
    // low-band sum of each frame's beat level, as the tracks' beat setting asks.
    ShowTracks(TrackSet tracks, EffectList& effects, const std::vector<std::string>& keywords,
               float beatScale = 1.0f);
    ShowTracks(const ShowTracks&) = delete;
    ShowTracks& operator=(const ShowTracks&) = delete;

    // The entries' tweakable values.
    const TweakRegistry& tweaks() const { return tweaks_; }

    // The tracks, to edit: the next apply follows any change.
    TrackSet& tracks() { return tracks_; }
    const TrackSet& tracks() const { return tracks_; }

    // Every track's value at the time, into what it drives. Allocates nothing unless tracks were
    // added or removed since the last call.
    void apply(uint32_t time);

    // The value of the named track at the time last applied.
    const float* find(std::string_view name) const override;
    // Changes when apply takes in added or removed tracks.
    uint64_t revision() const override { return boundRevision_; }

    // What multiplies the low-band sum of each frame's beat level (tracks/BeatSetting.h).
    float beatScale() const { return beatScale_; }

    // Tracks named like an entry's value that match no value of any entry.
    std::vector<const Track*> unknownTargets() const;

private:
    struct Target {
        std::string name;
        int type;     // TweakType of the variable
        void* number; // the component's number
    };
    struct Binding {
        size_t track;
        int type;
        void* number;
    };

    TrackSet tracks_;
    TweakRegistry tweaks_;
    std::vector<std::unique_ptr<TweakBar>> bars_;
    std::vector<Target> targets_; // every tweakable number of the show
    std::vector<Binding> bindings_;
    std::vector<float> values_; // per track, at the time last applied
    uint64_t boundRevision_ = 0;
    float beatScale_ = 1.0f;

    void bind();
};

// Reads data/demo.tracks through the show's files (no file: no tracks). Throws ShowError listing
// every fault, one a line, unless a check is given: then the faults are noted there.
TrackSet loadShowTracks(ShowFiles& files, ShowCheck* check = nullptr);

// Notes in the check every track that names an entry's value no entry has.
void checkTrackTargets(const ShowTracks& tracks, ShowCheck& check);
