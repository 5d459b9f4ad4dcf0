#include "audio/AudioOutput.h"

#include "platform/Debug.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

uint64_t wrapIntoTrack(uint64_t frame, uint64_t length) {
    return length ? frame % length : frame;
}

// No sound; the position moves only when it is set.
class ManualOutput final : public AudioOutput {
  public:
    void play(bool restart) override {
        if (restart)
            frame_ = 0;
    }
    uint64_t position() const override { return frame_; }
    void setPosition(uint64_t frame) override { frame_ = frame; }
    MusicOutput kind() const override { return MusicOutput::Manual; }

  private:
    uint64_t frame_ = 0;
};

// No sound; the position runs with the wall clock once playing, looping at the track's end.
class SilentOutput final : public AudioOutput {
  public:
    explicit SilentOutput(uint64_t lengthFrames) : length_(lengthFrames) {}

    void play(bool restart) override {
        const auto now = ClockAnchor::Clock::now();
        anchor_.frame = restart ? 0 : anchor_.at(now);
        anchor_.time = now;
        anchor_.running = true;
    }
    uint64_t position() const override {
        return wrapIntoTrack(anchor_.at(ClockAnchor::Clock::now()), length_);
    }
    void setPosition(uint64_t frame) override {
        anchor_.frame = frame;
        anchor_.time = ClockAnchor::Clock::now();
    }
    MusicOutput kind() const override { return MusicOutput::Silent; }

  private:
    uint64_t length_;
    ClockAnchor anchor_;
};

// The SDL2 audio device. Its callback thread copies the track into the device's buffer, looping
// without a gap, and anchors the clock at the first frame of each buffer it fills. Between
// callbacks the position runs on with the wall clock, but never past the frames already handed
// over, so the next callback never has to set it back.
class DeviceOutput final : public AudioOutput {
  public:
    explicit DeviceOutput(const std::vector<float>& samples) : samples_(samples) {}
    ~DeviceOutput() override {
        if (device_)
            SDL_CloseAudioDevice(device_);
        if (subsystemStarted_)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    // Opens the default device; false (with the reason in `failure`) when none opens.
    bool open(std::string& failure) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            failure = SDL_GetError();
            return false;
        }
        subsystemStarted_ = true;
        SDL_AudioSpec wanted{};
        wanted.freq = musicSampleRate;
        wanted.format = AUDIO_F32SYS;
        wanted.channels = 2;
        wanted.samples = 1024;
        wanted.callback = &DeviceOutput::feed;
        wanted.userdata = this;
        SDL_AudioSpec obtained{};
        device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        if (!device_) {
            failure = SDL_GetError();
            return false;
        }
        return true;
    }

    void play(bool restart) override {
        {
            std::lock_guard lock(mutex_);
            if (restart)
                moveTo(0);
            anchor_.running = true;
        }
        SDL_PauseAudioDevice(device_, 0);
    }
    uint64_t position() const override {
        std::lock_guard lock(mutex_);
        return wrapIntoTrack(anchor_.at(ClockAnchor::Clock::now()), length());
    }
    void setPosition(uint64_t frame) override {
        std::lock_guard lock(mutex_);
        moveTo(frame);
    }
    MusicOutput kind() const override { return MusicOutput::Device; }

  private:
    uint64_t length() const { return samples_.size() / 2; }

    // The clock holds at the new frame until the device takes it.
    void moveTo(uint64_t frame) {
        cursor_ = frame;
        anchor_.frame = frame;
        anchor_.time = ClockAnchor::Clock::now();
        anchor_.maxAdvance = 0;
    }

    static void SDLCALL feed(void* userdata, Uint8* stream, int bytes) {
        static_cast<DeviceOutput*>(userdata)->fill(reinterpret_cast<float*>(stream),
                                                   uint64_t(bytes) / (2 * sizeof(float)));
    }

    void fill(float* out, uint64_t frames) {
        std::lock_guard lock(mutex_);
        const uint64_t length = this->length();
        anchor_.frame = cursor_;
        anchor_.time = ClockAnchor::Clock::now();
        anchor_.maxAdvance = frames;
        if (length == 0) {
            std::memset(out, 0, frames * 2 * sizeof(float));
            return;
        }
        while (frames > 0) {
            const uint64_t run = std::min(frames, length - cursor_);
            std::memcpy(out, samples_.data() + 2 * cursor_, run * 2 * sizeof(float));
            out += 2 * run;
            frames -= run;
            cursor_ = (cursor_ + run) % length;
        }
    }

    const std::vector<float>& samples_;
    SDL_AudioDeviceID device_ = 0;
    bool subsystemStarted_ = false;
    mutable std::mutex mutex_;
    uint64_t cursor_ = 0; // next frame handed to the device
    ClockAnchor anchor_;
};

} // namespace

uint64_t framesIn(std::chrono::nanoseconds duration) {
    if (duration.count() <= 0)
        return 0;
    constexpr uint64_t perSecond = 1'000'000'000;
    const uint64_t ns = uint64_t(duration.count());
    return ns / perSecond * musicSampleRate + ns % perSecond * musicSampleRate / perSecond;
}

uint64_t ClockAnchor::at(Clock::time_point now) const {
    if (!running)
        return frame;
    return frame + std::min(framesIn(now - time), maxAdvance);
}

std::unique_ptr<AudioOutput> makeAudioOutput(MusicOutput requested,
                                             const std::vector<float>& samples) {
    const uint64_t length = samples.size() / 2;
    switch (requested) {
    case MusicOutput::Manual:
        return std::make_unique<ManualOutput>();
    case MusicOutput::Silent:
        return std::make_unique<SilentOutput>(length);
    case MusicOutput::Device:
        break;
    }
    auto device = std::make_unique<DeviceOutput>(samples);
    std::string failure;
    if (device->open(failure))
        return device;
    debugLine("No audio device could be opened (%s); the music runs silently on the wall clock",
              failure.c_str());
    return std::make_unique<SilentOutput>(length);
}
