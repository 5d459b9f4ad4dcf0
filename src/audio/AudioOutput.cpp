#include "audio/AudioOutput.h"

#include "platform/Debug.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

uint64_t wrapIntoTrack(uint64_t frame, uint64_t length) { return length ? frame % length : frame; }

// ALSA writes many lines of its own to stderr when there is no sound card; while the device is
// being opened they are left out, and the failure is reported in one line instead.
class QuietAlsa {
public:
    QuietAlsa() : library_(dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL)) {
        if (library_)
            setHandler_ =
                reinterpret_cast<SetHandler>(dlsym(library_, "snd_lib_error_set_handler"));
        if (setHandler_)
            setHandler_(&ignore);
    }
    ~QuietAlsa() {
        if (setHandler_)
            setHandler_(nullptr); // ALSA's own handler again
        if (library_)
            dlclose(library_);
    }
    QuietAlsa(const QuietAlsa&) = delete;
    QuietAlsa& operator=(const QuietAlsa&) = delete;

private:
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    static void ignore(const char*, int, const char*, int, const char*, ...) {}

    void* library_;
    SetHandler setHandler_ = nullptr;
};

// No sound; the position moves only when it is set.
class ManualOutput final : public AudioOutput {
public:
    void play(bool restart) override {
        if (restart)
            frame_ = 0;
    }
    void pause() override {}
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
        const auto now = WallClock::Clock::now();
        if (restart)
            clock_.moveTo(0, now, false);
        clock_.start(now);
    }
    void pause() override { clock_.stop(WallClock::Clock::now()); }
    uint64_t position() const override {
        return wrapIntoTrack(clock_.at(WallClock::Clock::now()), length_);
    }
    void setPosition(uint64_t frame) override {
        clock_.moveTo(frame, WallClock::Clock::now(), false);
    }
    MusicOutput kind() const override { return MusicOutput::Silent; }

private:
    uint64_t length_;
    WallClock clock_;
};

// The SDL2 audio device. Its callback thread copies the track into the device's buffer, looping
// without a gap, and anchors the clock at the first frame of each buffer it fills. Between
// callbacks the position runs on with the wall clock, but never past the frames already handed
// over, so the next callback never has to set it back.
class DeviceOutput final : public AudioOutput {
public:
    explicit DeviceOutput(const MusicSamples& samples) : samples_(samples) { moveTo(0); }
    ~DeviceOutput() override {
        if (device_)
            SDL_CloseAudioDevice(device_);
        if (subsystemStarted_)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    // Opens the default device; false (with the reason in `failure`) when none opens.
    bool open(std::string& failure) {
        QuietAlsa quiet;
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
            clock_.start(WallClock::Clock::now());
        }
        SDL_PauseAudioDevice(device_, 0);
    }
    // The device stops first, so no buffer is taken after the clock stood still; playing again
    // starts the device at the frame the clock shows.
    void pause() override {
        SDL_PauseAudioDevice(device_, 1);
        std::lock_guard lock(mutex_);
        const auto now = WallClock::Clock::now();
        moveTo(wrapIntoTrack(clock_.at(now), length()));
        clock_.stop(now);
    }
    uint64_t position() const override {
        std::lock_guard lock(mutex_);
        return wrapIntoTrack(clock_.at(WallClock::Clock::now()), length());
    }
    void setPosition(uint64_t frame) override {
        std::lock_guard lock(mutex_);
        moveTo(frame);
    }
    MusicOutput kind() const override { return MusicOutput::Device; }

private:
    uint64_t length() const { return samples_.frames(); }

    // The clock holds at the new frame until the device takes it.
    void moveTo(uint64_t frame) {
        cursor_ = frame;
        clock_.moveTo(frame, WallClock::Clock::now(), true);
    }

    static void SDLCALL feed(void* userdata, Uint8* stream, int bytes) {
        static_cast<DeviceOutput*>(userdata)->fill(reinterpret_cast<float*>(stream),
                                                   uint64_t(bytes) / (2 * sizeof(float)));
    }

    void fill(float* out, uint64_t frames) {
        std::lock_guard lock(mutex_);
        clock_.bufferTaken(cursor_, frames, WallClock::Clock::now());
        cursor_ = copyLooping(samples_, cursor_, out, frames);
    }

    const MusicSamples& samples_;
    SDL_AudioDeviceID device_ = 0;
    bool subsystemStarted_ = false;
    mutable std::mutex mutex_;
    uint64_t cursor_ = 0; // next frame handed to the device
    WallClock clock_;
};

} // namespace

uint64_t copyLooping(const MusicSamples& samples, uint64_t cursor, float* out, uint64_t frames) {
    const uint64_t length = samples.frames();
    if (length == 0) {
        std::memset(out, 0, frames * 2 * sizeof(float));
        return cursor;
    }
    cursor %= length;
    while (frames > 0) {
        const uint64_t run = std::min(frames, length - cursor);
        samples.readStereo(cursor, run, out);
        out += 2 * run;
        frames -= run;
        cursor = (cursor + run) % length;
    }
    return cursor;
}

uint64_t framesIn(std::chrono::nanoseconds duration) {
    if (duration.count() <= 0)
        return 0;
    constexpr uint64_t perSecond = 1'000'000'000;
    const uint64_t ns = uint64_t(duration.count());
    return ns / perSecond * musicSampleRate + ns % perSecond * musicSampleRate / perSecond;
}

uint64_t WallClock::at(Clock::time_point now) const {
    if (!running_)
        return frame_;
    return frame_ + std::min(framesIn(now - time_), maxAdvance_);
}

void WallClock::start(Clock::time_point now) {
    if (running_)
        return;
    time_ = now;
    running_ = true;
}

void WallClock::stop(Clock::time_point now) {
    if (!running_)
        return;
    frame_ = at(now);
    time_ = now;
    running_ = false;
}

void WallClock::moveTo(uint64_t frame, Clock::time_point now, bool hold) {
    frame_ = frame;
    time_ = now;
    maxAdvance_ = hold ? 0 : unbounded;
}

void WallClock::bufferTaken(uint64_t firstFrame, uint64_t frames, Clock::time_point now) {
    frame_ = firstFrame;
    time_ = now;
    maxAdvance_ = frames;
}

std::unique_ptr<AudioOutput> makeAudioOutput(MusicOutput requested, const MusicSamples& samples) {
    const uint64_t length = samples.frames();
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
