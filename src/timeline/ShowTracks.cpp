#include "timeline/ShowTracks.h"

#include "platform/Error.h"
#include "platform/ShowFiles.h"
#include "render/ShaderInputs.h"
#include "timeline/ScriptLoader.h"
#include "tracks/TracksFile.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace {

const char* componentLetters(int type) {
    switch (type) {
    case TweakColor3F:
        return "rgb";
    case TweakColor4F:
        return "rgba";
    case TweakDir3F:
        return "xyz";
    case TweakQuat4F:
        return "xyzw";
    case TweakVec2F:
        return "xy";
    default:
        return "";
    }
}

// Where component `index` of a variable's value lies.
void* componentAddress(const TweakVariable& variable, int index) {
    if (tweakComponentLetter(variable.type, index) == 0)
        return variable.address;
    return static_cast<float*>(variable.address) + index;
}

// The nearest whole number that an int holds.
int32_t wholeNumber(float value) {
    const double limited = std::clamp(double(value), double(INT32_MIN), double(INT32_MAX));
    return int32_t(std::lround(limited));
}

void store(int type, void* number, float value) {
    switch (type) {
    case TweakBool:
        *static_cast<bool*>(number) = value >= 0.5f;
        break;
    case TweakDouble:
        *static_cast<double*>(number) = value;
        break;
    case TweakInt32:
        *static_cast<int32_t*>(number) = wholeNumber(value);
        break;
    default:
        if (type >= firstEnumType)
            *static_cast<int*>(number) = wholeNumber(value);
        else // floats and the components of colours, directions and quaternions
            *static_cast<float*>(number) = value;
        break;
    }
}

} // namespace

int tweakComponentCount(int type) {
    const int letters = int(std::char_traits<char>::length(componentLetters(type)));
    return letters == 0 ? 1 : letters;
}

char tweakComponentLetter(int type, int index) {
    const char* letters = componentLetters(type);
    return index >= 0 && index < int(std::char_traits<char>::length(letters)) ? letters[index] : 0;
}

float tweakComponentValue(const TweakVariable& variable, int component) {
    const void* number = componentAddress(variable, component);
    switch (variable.type) {
    case TweakBool:
        return *static_cast<const bool*>(number) ? 1.0f : 0.0f;
    case TweakDouble:
        return float(*static_cast<const double*>(number));
    case TweakInt32:
        return float(*static_cast<const int32_t*>(number));
    default:
        if (variable.type >= firstEnumType)
            return float(*static_cast<const int*>(number));
        return *static_cast<const float*>(number);
    }
}

std::string tweakTrackName(const Effekt& effect, const TweakVariable& variable, int component) {
    if (!variable.trackName.empty()) {
        const char letter = tweakComponentLetter(variable.type, component);
        return letter ? variable.trackName + '.' + letter : variable.trackName;
    }
    const std::string keyword = effect.tweakBar ? effect.tweakBar->title : std::string("Entry");
    return entryTrackName(keyword, effect.startTime, variable.name,
                          tweakComponentLetter(variable.type, component));
}

ShowTracks::ShowTracks(TrackSet tracks, EffectList& effects,
                       const std::vector<std::string>& keywords, float beatScale)
    : tracks_(std::move(tracks)), beatScale_(beatScale) {
    for (size_t i = 0; i < effects.size(); ++i) {
        bars_.push_back(std::make_unique<TweakBar>(
            TweakBar{i < keywords.size() ? keywords[i] : std::string("Entry")}));
        Effekt& effect = *effects[i];
        effect.tweakBar = bars_.back().get();
        const size_t first = tweaks_.variables().size();
        effect.registerTweaks(tweaks_);
        for (size_t v = first; v < tweaks_.variables().size(); ++v) {
            const TweakVariable& variable = tweaks_.variables()[v];
            for (int c = 0; c < tweakComponentCount(variable.type); ++c)
                targets_.push_back({tweakTrackName(effect, variable, c), variable.type,
                                    componentAddress(variable, c)});
        }
    }
    bind();
}

void ShowTracks::bind() {
    bindings_.clear();
    const std::vector<Track>& tracks = tracks_.tracks();
    for (const Target& target : targets_)
        if (const Track* track = tracks_.find(target.name))
            bindings_.push_back({size_t(track - tracks.data()), target.type, target.number});
    values_.assign(tracks.size(), 0.0f);
    boundRevision_ = tracks_.revision();
}

void ShowTracks::apply(uint32_t time) {
    if (boundRevision_ != tracks_.revision())
        bind();
    const std::vector<Track>& tracks = tracks_.tracks();
    for (size_t i = 0; i < tracks.size(); ++i)
        values_[i] = tracks[i].valueAt(time);
    for (const Binding& binding : bindings_)
        store(binding.type, binding.number, values_[binding.track]);
}

const float* ShowTracks::find(std::string_view name) const {
    const Track* track = tracks_.find(name);
    if (!track || boundRevision_ != tracks_.revision())
        return nullptr;
    return &values_[size_t(track - tracks_.tracks().data())];
}

std::vector<const Track*> ShowTracks::unknownTargets() const {
    std::vector<const Track*> unknown;
    for (const Track& track : tracks_.tracks())
        if (isEntryTrackName(track.name) &&
            std::none_of(targets_.begin(), targets_.end(),
                         [&](const Target& target) { return target.name == track.name; }))
            unknown.push_back(&track);
    return unknown;
}

TrackSet loadShowTracks(ShowFiles& files, ShowCheck* check) {
    TracksReading reading;
    try {
        reading = readTracksFile(files.open(showTracksPath, ShowFileKind::Tracks).path());
    } catch (const FileRefused& refused) {
        reading.errors.push_back(refused.what());
    }
    if (check) {
        for (std::string& error : reading.errors)
            check->problems.push_back(std::move(error));
    } else if (!reading.errors.empty()) {
        std::string text = reading.errors.front();
        for (size_t i = 1; i < reading.errors.size(); ++i)
            text += "\n" + reading.errors[i];
        throw ShowError(text);
    }
    return std::move(reading.tracks);
}

void checkTrackTargets(const ShowTracks& tracks, ShowCheck& check) {
    for (const Track* track : tracks.unknownTargets())
        check.problems.push_back(
            formatText("%s:%d: unknown target '%s': no entry of the script has this value",
                       showTracksPath, track->line, track->name.c_str()));
}
