#include "tracks/TracksFile.h"

#include "platform/Error.h"
#include "platform/FileBytes.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <unordered_map>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Splits at runs of blanks.
std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> parts;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && isBlank(line[at]))
            ++at;
        const size_t begin = at;
        while (at < line.size() && !isBlank(line[at]))
            ++at;
        if (at > begin)
            parts.push_back(line.substr(begin, at - begin));
    }
    return parts;
}

std::optional<uint32_t> timeField(std::string_view text) {
    uint32_t time = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), time);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return time;
}

std::optional<float> valueField(std::string_view text) {
    float value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string valueText(float value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// Reads line by line into the set, noting faults; a track with a fault is dropped whole.
class TracksReader {
public:
    TracksReader(const std::string& fileName, TracksReading& reading)
        : fileName_(fileName), reading_(reading) {}

    void readLine(std::string_view line, int number) {
        line_ = number;
        line = trimmed(line);
        if (line.empty() || line.front() == '#')
            return;
        if (line.substr(0, 5) == "track" && (line.size() == 5 || isBlank(line[5])))
            startTrack(trimmed(line.substr(5)));
        else if (line.substr(0, 4) == "beat" && (line.size() == 4 || isBlank(line[4])))
            readBeat(fields(line));
        else if (line.substr(0, 5) == "tempo" && (line.size() == 5 || isBlank(line[5])))
            readTempo(fields(line.substr(5)));
        else
            readKey(fields(line));
    }

    // Hands the tracks read to the set, sorted at once: a file of a million tracks reads in
    // linear time.
    void finish() {
        endTrack();
        reading_.tracks.putTracks(std::move(tracks_));
    }

private:
    const std::string& fileName_;
    TracksReading& reading_;
    int line_ = 0;
    Track track_;
    std::vector<Track> tracks_;                       // read whole, in the file's order
    std::unordered_map<std::string, int> trackLines_; // the line of each, by its name
    bool inTrack_ = false;
    bool trackFaulty_ = false;
    bool keyWithoutTrackNoted_ = false;
    std::vector<int> faultLines_; // the line of each fault listed, in order

    // One line may hold several faults; those past the limit are not listed.
    void fault(const std::string& message) {
        list(line_, message);
        trackFaulty_ = true;
    }

    // Lists a fault in line order: a track without keys is found at its end, after the faults of
    // file-wide lines (tempo, beat) inside it.
    void list(int line, const std::string& message) {
        if (reading_.errors.size() >= maxTracksErrors)
            return;
        const auto at = std::upper_bound(faultLines_.begin(), faultLines_.end(), line);
        reading_.errors.insert(reading_.errors.begin() + (at - faultLines_.begin()),
                               formatText("%s:%d: %s", fileName_.c_str(), line, message.c_str()));
        faultLines_.insert(at, line);
    }

    // A show-wide line: a fault in it leaves the track around it alone.
    void readBeat(const std::vector<std::string_view>& parts) {
        BeatSetting beat = reading_.tracks.beat();
        const std::optional<float> gain =
            parts.size() == 3 && parts[1] == "gain" ? valueField(parts[2]) : std::nullopt;
        if (parts.size() == 2 && parts[1] == "auto")
            beat.automatic = true;
        else if (gain && *gain > 0)
            beat.gain = *gain;
        else {
            list(line_, "a beat line is: beat auto, or beat gain G (a number above 0)");
            return;
        }
        reading_.tracks.setBeat(beat);
    }

    void startTrack(std::string_view name) {
        endTrack();
        trackFaulty_ = false;
        track_ = Track();
        inTrack_ = true;
        track_.name = std::string(name);
        track_.line = line_;
        if (name.empty())
            fault("a track line needs the track's name: track NAME");
        else if (const auto earlier = trackLines_.find(track_.name); earlier != trackLines_.end())
            fault(formatText("the track '%s' is named a second time (first at line %d)",
                             track_.name.c_str(), earlier->second));
        else if (!isFreeTrackName(name) && !isEntryTrackName(name))
            fault(formatText("'%s' is not a track name: an entry's value (KEYWORD@START/VALUE, "
                             "with .x, .y, ... for a component) or a name of letters, digits "
                             "and '_' (with .x, .y, ... for a component)",
                             track_.name.c_str()));
    }

    void endTrack() {
        if (!inTrack_)
            return;
        if (track_.keys.empty() && !trackFaulty_) {
            const int keep = line_;
            line_ = track_.line;
            fault(formatText("the track '%s' has no keys", track_.name.c_str()));
            line_ = keep;
        }
        if (!trackFaulty_) {
            trackLines_.emplace(track_.name, track_.line);
            tracks_.push_back(std::move(track_));
        }
        inTrack_ = false;
    }

    // A file-wide line: it neither ends nor joins the track above it.
    void readTempo(const std::vector<std::string_view>& parts) {
        const bool faultyTrack = trackFaulty_;
        const auto tempoFault = [&](const std::string& message) {
            fault(message);
            trackFaulty_ = faultyTrack;
        };
        if (reading_.tracks.tempo)
            return tempoFault(formatText("a second tempo line (the first is at line %d)",
                                         reading_.tracks.tempo->line));
        const std::optional<float> bpm = parts.empty() ? std::nullopt : valueField(parts[0]);
        const std::optional<uint32_t> beats = parts.size() > 1 ? timeField(parts[1]) : 4u;
        const std::optional<float> first = parts.size() > 2 ? valueField(parts[2]) : 0.0f;
        if (parts.empty() || parts.size() > 3 || !bpm || !beats || !first)
            return tempoFault("a tempo line is: tempo BPM [BEATS_PER_BAR [FIRST_BEAT_MS]]");
        const float perMinute = bpm.value_or(0);
        if (perMinute < 1 || perMinute > 1000)
            return tempoFault(
                formatText("tempo %s BPM: from 1 to 1000", valueText(perMinute).c_str()));
        if (*beats < 1 || *beats > 64)
            return tempoFault(formatText("%u beats a bar: from 1 to 64", *beats));
        if (*first < 0)
            return tempoFault("the first beat's time is not before 0 ms");
        reading_.tracks.tempo = DeclaredTempo{perMinute, int(*beats), *first, line_};
    }

    void readKey(const std::vector<std::string_view>& parts) {
        if (!inTrack_) {
            if (!keyWithoutTrackNoted_)
                fault("a key line before any 'track NAME' line");
            keyWithoutTrackNoted_ = true;
            return;
        }
        if (parts.size() < 2 || parts.size() > 3) {
            fault("a key line is: TIME VALUE [step|linear|smooth|ramp]");
            return;
        }
        const std::optional<uint32_t> time = timeField(parts[0]);
        const std::optional<float> value = valueField(parts[1]);
        const std::optional<Interpolation> interpolation =
            parts.size() == 3 ? interpolationNamed(parts[2]) : Interpolation::Step;
        if (!time)
            fault(formatText("bad time '%.*s': milliseconds from 0 to 4294967295",
                             int(parts[0].size()), parts[0].data()));
        if (!value)
            fault(formatText("bad value '%.*s': a finite number", int(parts[1].size()),
                             parts[1].data()));
        if (!interpolation)
            fault(formatText("bad interpolation '%.*s': step, linear, smooth or ramp",
                             int(parts[2].size()), parts[2].data()));
        if (!time || !value || !interpolation)
            return;
        if (!track_.keys.empty() && *time <= track_.keys.back().time) {
            fault(formatText("time %u is not after the previous key's time %u", *time,
                             track_.keys.back().time));
            return;
        }
        track_.keys.push_back({*time, *value, *interpolation});
    }
};

} // namespace

TracksReading readTracks(std::string_view text, const std::string& fileName) {
    TracksReading reading;
    TracksReader reader(fileName, reading);
    int number = 0;
    while (!text.empty() && reading.errors.size() < maxTracksErrors) {
        const size_t end = text.find('\n');
        reader.readLine(text.substr(0, end), ++number);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    if (reading.errors.size() >= maxTracksErrors) {
        reading.errors.push_back(formatText("%s:%d: %zu faults: the rest of the file is not read",
                                            fileName.c_str(), number, maxTracksErrors));
        reading.tracks = TrackSet();
        return reading;
    }
    reader.finish();
    return reading;
}

TracksReading readTracksFile(const std::string& path) {
    TracksReading reading;
    std::error_code missing;
    if (!std::filesystem::exists(path, missing))
        return reading;
    std::string text;
    switch (readWholeFile(path, maxTracksFileBytes, text)) {
    case FileRead::Read:
        break;
    case FileRead::Unreadable:
        reading.errors.push_back(path + ": cannot be read");
        return reading;
    case FileRead::TooLarge:
        reading.errors.push_back(
            formatText("%s: larger than %zu MB", path.c_str(), maxTracksFileBytes >> 20));
        return reading;
    }
    return readTracks(text, path);
}

std::string writeTracks(const TrackSet& tracks) {
    std::string text = "# Morveldan tracks: under each 'track NAME' line, one key a line:\n"
                       "# TIME (ms of effect time) VALUE INTERPOLATION (to the next key)\n";
    const BeatSetting& beat = tracks.beat();
    if (beat.automatic || beat.gain != 1.0f)
        text += "\n";
    if (beat.automatic)
        text += "beat auto\n";
    if (beat.gain != 1.0f)
        text += "beat gain " + valueText(beat.gain) + "\n";
    if (const std::optional<DeclaredTempo>& tempo = tracks.tempo)
        text += "\ntempo " + valueText(float(tempo->bpm)) + " " +
                std::to_string(tempo->beatsPerBar) + " " + valueText(float(tempo->firstBeatMs)) +
                "\n";
    for (const Track& track : tracks.tracks()) {
        text += "\ntrack " + track.name + "\n";
        for (const TrackKey& key : track.keys)
            text += std::to_string(key.time) + " " + valueText(key.value) + " " +
                    interpolationName(key.interpolation) + "\n";
    }
    return text;
}

void saveTracksFile(const std::string& path, const TrackSet& tracks) {
    replaceFileBytes(path, writeTracks(tracks));
}
