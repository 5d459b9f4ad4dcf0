#include "timeline/MusicFacts.h"

#include "audio/MusicSamples.h"
#include "audio/MusicStream.h"
#include "media/Checksum.h"
#include "platform/Debug.h"
#include "platform/FileBytes.h"
#include "platform/UserFolders.h"
#include "timeline/MusicBeat.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Changes whenever what is measured, or how, changes: files of other versions are measured anew.
const std::string factsHeader = "morveldan music facts 2\n";
constexpr size_t checksumSize = 32; // MD5 as hex text
constexpr size_t largestFile = size_t(256) << 20;

std::vector<WavePeak> wavePeaks(const MusicSamples& samples) {
    const std::span<const float> mono = samples.mono();
    const size_t bucketFrames = size_t(MusicFacts::peakMs * musicSampleRate / 1000);
    std::vector<WavePeak> peaks((mono.size() + bucketFrames - 1) / bucketFrames);
    for (size_t bucket = 0; bucket < peaks.size(); ++bucket) {
        const auto first = mono.begin() + std::ptrdiff_t(bucket * bucketFrames);
        const auto last =
            mono.begin() + std::ptrdiff_t(std::min(mono.size(), (bucket + 1) * bucketFrames));
        const auto [low, high] = std::minmax_element(first, last);
        peaks[bucket] = {*low, *high};
    }
    return peaks;
}

// The facts as bytes: fixed fields, then the counted arrays.
class Writer {
public:
    template <typename T> void put(const T& value) {
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    template <typename T> void putAll(const std::vector<T>& values) {
        put(uint64_t(values.size()));
        if (!values.empty())
            bytes.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
    }
    std::string bytes;
};

// Reads them back; every read checks what is left, and `failed` stays set after a short one.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    template <typename T> T get() {
        T value{};
        if (bytes_.size() < sizeof value) {
            failed = true;
            return value;
        }
        std::memcpy(&value, bytes_.data(), sizeof value);
        bytes_.remove_prefix(sizeof value);
        return value;
    }
    template <typename T> std::vector<T> getAll() {
        const uint64_t count = get<uint64_t>();
        if (failed || count > bytes_.size() / sizeof(T)) {
            failed = true;
            return {};
        }
        std::vector<T> values(count);
        if (count)
            std::memcpy(values.data(), bytes_.data(), count * sizeof(T));
        bytes_.remove_prefix(count * sizeof(T));
        return values;
    }
    bool done() const { return !failed && bytes_.empty(); }
    bool failed = false;

private:
    std::string_view bytes_;
};

std::string checksumOf(std::string_view bytes) {
    Checksum checksum;
    checksum.add(bytes);
    return checksum.hex();
}

bool plausible(const DetectedTempo& tempo) {
    return std::isfinite(tempo.bpm) && tempo.bpm >= minDetectedBpm * 0.9 &&
           tempo.bpm <= maxDetectedBpm * 1.1 && std::isfinite(tempo.firstBeatSeconds) &&
           std::isfinite(tempo.firstBarSeconds) && tempo.beatsPerBar >= 2 &&
           tempo.beatsPerBar <= 7 && tempo.confidence >= 0 && tempo.confidence <= 1;
}

} // namespace

MusicFacts measureMusicFacts(const MusicSamples& samples) {
    MusicFacts facts;
    facts.frames = samples.frames();
    facts.lowBandSums = measureLowBandSums(samples);
    facts.tempo = detectTempo(samples.mono(), musicSampleRate);
    facts.peaks = wavePeaks(samples);
    return facts;
}

std::filesystem::path musicFactsFile(const std::string& contentChecksum) {
    const std::filesystem::path folder = userFolder("XDG_CACHE_HOME", ".cache");
    return folder.empty() ? folder : folder / "music" / (contentChecksum + ".facts");
}

std::optional<MusicFacts> readMusicFacts(const std::filesystem::path& file,
                                         const std::string& contentChecksum) {
    std::string bytes;
    if (readWholeFile(file.string(), largestFile, bytes) != FileRead::Read)
        return std::nullopt;
    // The header, the music's checksum, the facts, and the checksum of all before it.
    const size_t bodyStart = factsHeader.size() + checksumSize;
    if (bytes.size() < bodyStart + checksumSize || !bytes.starts_with(factsHeader) ||
        bytes.compare(factsHeader.size(), checksumSize, contentChecksum) != 0)
        return std::nullopt;
    const size_t bodyEnd = bytes.size() - checksumSize;
    if (checksumOf(std::string_view(bytes).substr(0, bodyEnd)) != bytes.substr(bodyEnd))
        return std::nullopt;
    Reader reader(std::string_view(bytes).substr(bodyStart, bodyEnd - bodyStart));
    MusicFacts facts;
    facts.frames = reader.get<uint64_t>();
    if (reader.get<uint8_t>()) {
        DetectedTempo tempo;
        tempo.bpm = reader.get<double>();
        tempo.firstBeatSeconds = reader.get<double>();
        tempo.beatsPerBar = reader.get<int32_t>();
        tempo.compound = reader.get<uint8_t>() != 0;
        tempo.firstBarSeconds = reader.get<double>();
        tempo.confidence = reader.get<double>();
        tempo.tempoChanges = reader.get<uint8_t>() != 0;
        if (!plausible(tempo))
            return std::nullopt;
        facts.tempo = tempo;
    }
    facts.lowBandSums = reader.getAll<float>();
    facts.peaks = reader.getAll<WavePeak>();
    if (!reader.done())
        return std::nullopt;
    return facts;
}

bool writeMusicFacts(const std::filesystem::path& file, const std::string& contentChecksum,
                     const MusicFacts& facts) {
    Writer writer;
    writer.bytes = factsHeader + contentChecksum;
    writer.put(facts.frames);
    writer.put(uint8_t(facts.tempo.has_value()));
    if (const std::optional<DetectedTempo>& tempo = facts.tempo) {
        writer.put(tempo->bpm);
        writer.put(tempo->firstBeatSeconds);
        writer.put(int32_t(tempo->beatsPerBar));
        writer.put(uint8_t(tempo->compound));
        writer.put(tempo->firstBarSeconds);
        writer.put(tempo->confidence);
        writer.put(uint8_t(tempo->tempoChanges));
    }
    writer.putAll(facts.lowBandSums);
    writer.putAll(facts.peaks);
    writer.bytes += checksumOf(writer.bytes);
    try {
        std::filesystem::create_directories(file.parent_path());
        replaceFileBytes(file.string(), writer.bytes);
    } catch (const std::exception& error) {
        debugLine("The music's measurements are not kept for the next run: %s", error.what());
        return false;
    }
    return true;
}
