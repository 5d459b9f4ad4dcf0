#include "timeline/ShowMusic.h"

#include "audio/AudioDecoder.h"
#include "audio/MusicStream.h"
#include "platform/Debug.h"
#include "platform/Error.h"
#include "timeline/MusicBeat.h"

namespace {

struct FileStamp {
    uintmax_t size = 0;
    std::filesystem::file_time_type written;
};

FileStamp stampOf(const std::string& file) {
    std::error_code error;
    return {std::filesystem::file_size(file, error), std::filesystem::last_write_time(file, error)};
}

} // namespace

ShowMusic::ShowMusic(std::string file, bool keepSound)
    : file_(std::move(file)), keepSound_(keepSound) {
    const FileStamp stamp = stampOf(file_);
    size_ = stamp.size;
    written_ = stamp.written;
    samples_ = std::make_shared<MusicSamples>(keepSound);
    if (file_.empty())
        return; // a script that could not be read names none
    try {
        *samples_ = decodeAudioFile(file_, maxMusicFrames, keepSound);
    } catch (const ShowError& error) {
        error_ = error.what();
        debugLine("%s; the show runs silently on the wall clock", error.what());
    }
}

bool ShowMusic::serves(const std::string& file, bool keepSound) const {
    const FileStamp stamp = stampOf(file);
    const bool whole = samples_->firstKept() == 0 && samples_->mono().size() == samples_->frames();
    return file == file_ && (keepSound_ || !keepSound) && whole && stamp.size == size_ &&
           stamp.written == written_;
}

const std::vector<float>& ShowMusic::lowBandSums() {
    std::call_once(sumsMeasured_, [this] { sums_ = measureLowBandSums(*samples_); });
    return sums_;
}

const std::optional<DetectedTempo>& ShowMusic::tempo() {
    std::call_once(tempoFound_,
                   [this] { tempo_ = detectTempo(samples_->mono(), musicSampleRate); });
    return tempo_;
}
