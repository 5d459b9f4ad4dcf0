#include "timeline/ShowMusic.h"

#include "audio/AudioDecoder.h"
#include "media/Checksum.h"
#include "platform/Debug.h"
#include "platform/Error.h"

#include <chrono>

namespace {

struct FileStamp {
    uintmax_t size = 0;
    std::filesystem::file_time_type written;
};

FileStamp stampOf(const std::string& file) {
    std::error_code error;
    return {std::filesystem::file_size(file, error), std::filesystem::last_write_time(file, error)};
}

bool whole(const MusicSamples& samples) {
    return samples.firstKept() == 0 && samples.mono().size() == samples.frames();
}

} // namespace

ShowMusic::ShowMusic(std::string file, bool keepSound)
    : file_(std::move(file)), keepSound_(keepSound),
      samples_(std::make_shared<MusicSamples>(keepSound)) {
    const FileStamp stamp = stampOf(file_);
    size_ = stamp.size;
    written_ = stamp.written;
}

void ShowMusic::decode() {
    if (file_.empty())
        return; // a script that could not be read names none
    try {
        *samples_ = decodeAudioFile(file_, maxMusicFrames, keepSound_);
    } catch (const ShowError& error) {
        error_ = error.what();
        debugLine("%s; the show runs silently on the wall clock", error.what());
    }
}

const std::shared_ptr<MusicSamples>& ShowMusic::samples() {
    std::call_once(decoded_, [this] { decode(); });
    return samples_;
}

const std::string& ShowMusic::error() {
    facts();
    return error_;
}

bool ShowMusic::serves(const std::string& file, bool keepSound) const {
    const FileStamp stamp = stampOf(file);
    return file == file_ && (keepSound_ || !keepSound) && whole(*samples_) && stamp.size == size_ &&
           stamp.written == written_;
}

void ShowMusic::measure() {
    if (file_.empty())
        return;
    const auto started = std::chrono::steady_clock::now();
    std::string checksum;
    try {
        checksum = fileChecksum(file_);
    } catch (const ShowError&) {
        // Unreadable: decoding says why.
    }
    const std::filesystem::path cache = checksum.empty() ? "" : musicFactsFile(checksum);
    if (!cache.empty())
        if (std::optional<MusicFacts> kept = readMusicFacts(cache, checksum)) {
            facts_ = std::move(*kept);
            return;
        }
    const MusicSamples& music = *samples();
    if (!error_.empty() || !whole(music))
        return;
    facts_ = measureMusicFacts(music);
    debugLine("Measured the music's beat, tempo and waveform in %.0f ms",
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                  .count());
    if (!cache.empty())
        writeMusicFacts(cache, checksum, facts_);
}

const MusicFacts& ShowMusic::facts() {
    std::call_once(measured_, [this] { measure(); });
    return facts_;
}
