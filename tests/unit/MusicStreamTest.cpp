#include "audio/MusicStream.h"
#include "audio/AudioDecoder.h"
#include "audio/AudioEncoder.h"
#include "audio/AudioOutput.h"
#include "platform/Error.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <thread>

namespace {

using Spectrum = std::array<float, spectrumSize>;

// Interleaved stereo sine whose frequency sits exactly on FFT bin `bin` of a 2048-frame window.
std::vector<float> sineOnBin(int bin, uint64_t frames, float amplitude = 1.0f) {
    std::vector<float> samples(frames * 2);
    for (uint64_t i = 0; i < frames; ++i) {
        const double phase = 2.0 * std::numbers::pi * bin * double(i % 2048) / 2048.0;
        samples[2 * i] = samples[2 * i + 1] = amplitude * float(std::sin(phase));
    }
    return samples;
}

int loudestBin(const Spectrum& spectrum) {
    return int(std::max_element(spectrum.begin(), spectrum.end()) - spectrum.begin());
}

// The whole track as it plays, interleaved stereo.
std::vector<float> stereoOf(const MusicStream& music) {
    std::vector<float> stereo(music.lengthFrames() * 2);
    music.samples().readStereo(0, music.lengthFrames(), stereo.data());
    return stereo;
}

Spectrum spectrumAt(const MusicStream& music, uint64_t frame) {
    Spectrum spectrum;
    music.spectrumAt(frame, spectrum.data());
    return spectrum;
}

bool allZero(const Spectrum& spectrum) {
    return std::all_of(spectrum.begin(), spectrum.end(), [](float value) { return value == 0.0f; });
}

// Little-endian 16-bit PCM WAV, written byte by byte.
void writeWav16(const std::string& path, int channels, int rate,
                const std::vector<float>& samples) {
    std::ofstream file(path, std::ios::binary);
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file.put(char(v >> (8 * i)));
    };
    auto put16 = [&](uint16_t v) {
        file.put(char(v));
        file.put(char(v >> 8));
    };
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    file.write("RIFF", 4);
    put32(36 + dataBytes);
    file.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(uint16_t(channels));
    put32(uint32_t(rate));
    put32(uint32_t(rate * channels * 2));
    put16(uint16_t(channels * 2));
    put16(16);
    file.write("data", 4);
    put32(dataBytes);
    for (float sample : samples)
        put16(uint16_t(int16_t(std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767.0f))));
}

// What sampling the position over a stretch of wall-clock time saw.
struct ClockRun {
    uint64_t largestStepBack = 0;
    uint64_t advanced = 0;    // last position minus first
    uint64_t longestTime = 0; // frames of wall-clock time that surely cover both readings
};

ClockRun sampleClock(const MusicStream& music, std::chrono::milliseconds duration) {
    using Clock = std::chrono::steady_clock;
    ClockRun run;
    const auto start = Clock::now();
    const uint64_t first = music.position();
    uint64_t previous = first;
    while (Clock::now() < start + duration) {
        const uint64_t now = music.position();
        if (now < previous)
            run.largestStepBack = std::max(run.largestStepBack, previous - now);
        previous = now;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const uint64_t last = music.position();
    run.longestTime = framesIn(Clock::now() - start);
    run.largestStepBack = std::max(run.largestStepBack, last < previous ? previous - last : 0);
    run.advanced = last - first;
    return run;
}

} // namespace

TEST(MusicSpectrum, FullScaleSineReadsHalfInItsBinAndSilenceReadsZero) {
    for (int bin : {3, 40, 100, 511, 1000}) {
        MusicStream music(sineOnBin(bin, 8192), MusicOutput::Manual);
        const Spectrum spectrum = spectrumAt(music, 4096);
        EXPECT_NEAR(spectrum[bin], 0.5f, 0.05f) << "bin " << bin;
        EXPECT_EQ(loudestBin(spectrum), bin);
        // The Hann window spreads a centred sine over its two neighbours only.
        for (int other = 0; other < spectrumSize; ++other) {
            if (std::abs(other - bin) <= 1)
                continue;
            ASSERT_LT(spectrum[other], 0.01f) << "bin " << bin << " leaks into " << other;
        }
    }
    MusicStream half(sineOnBin(64, 8192, 0.5f), MusicOutput::Manual);
    EXPECT_NEAR(spectrumAt(half, 8192)[64], 0.25f, 0.025f);

    // Channels are mixed to mono: a sine in the left channel alone reads half.
    std::vector<float> leftOnly = sineOnBin(64, 8192);
    for (size_t i = 1; i < leftOnly.size(); i += 2)
        leftOnly[i] = 0.0f;
    MusicStream left(leftOnly, MusicOutput::Manual);
    EXPECT_NEAR(spectrumAt(left, 8192)[64], 0.25f, 0.025f);

    MusicStream silence(std::vector<float>(8192 * 2, 0.0f), MusicOutput::Manual);
    EXPECT_TRUE(allZero(spectrumAt(silence, 5000)));
}

TEST(MusicSpectrum, WindowEndsAtThePositionAndWrapsRoundTheLoop) {
    // Silence, then a sine in the last 2048 frames of the track.
    const uint64_t length = 10000;
    std::vector<float> samples(length * 2, 0.0f);
    const std::vector<float> tone = sineOnBin(50, 2048);
    std::copy(tone.begin(), tone.end(), samples.end() - tone.size());
    MusicStream music(samples, MusicOutput::Manual);

    EXPECT_TRUE(allZero(spectrumAt(music, length - 2048)));
    EXPECT_NEAR(spectrumAt(music, length)[50], 0.5f, 0.05f);
    // Position 0 has just looped: the window holds the track's end.
    EXPECT_NEAR(spectrumAt(music, 0)[50], 0.5f, 0.05f);
    // Positions past the end are taken inside the track.
    EXPECT_NEAR(spectrumAt(music, 2 * length)[50], 0.5f, 0.05f);
    // The current position is used by spectrum().
    music.setPosition(length - 2048);
    Spectrum current;
    music.spectrum(current.data());
    EXPECT_TRUE(allZero(current));
}

TEST(MusicSpectrum, TrackShorterThanTheWindowHasSilenceBeforeItsStart) {
    MusicStream music(std::vector<float>(1000 * 2, 1.0f), MusicOutput::Manual);
    EXPECT_TRUE(allZero(spectrumAt(music, 0)));
    EXPECT_GT(spectrumAt(music, 999)[0], 0.1f);

    MusicStream nothing(std::vector<float>{}, MusicOutput::Manual);
    EXPECT_TRUE(allZero(spectrumAt(nothing, 12345)));
}

TEST(MusicClock, ManualClockMovesOnlyWhenSetAndSeeksStayInsideTheTrack) {
    MusicStream music(std::vector<float>(44100 * 2, 0.0f), MusicOutput::Manual);
    ASSERT_EQ(music.output(), MusicOutput::Manual);
    music.play();
    music.setPosition(1234);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(music.position(), 1234u);

    music.setPosition(-5);
    EXPECT_EQ(music.position(), 0u);
    music.setPosition(44100 + 10);
    EXPECT_EQ(music.position(), 10u);
    music.setPosition(3 * 44100 + 7);
    EXPECT_EQ(music.position(), 7u);
    music.setPositionSeconds(0.5);
    EXPECT_EQ(music.position(), 22050u);
    EXPECT_DOUBLE_EQ(music.positionSeconds(), 0.5);
    music.setPositionSeconds(-0.25);
    EXPECT_EQ(music.position(), 0u);
    music.setPositionSeconds(4294967295.0 + 0.5);
    EXPECT_EQ(music.position(), 22050u);
    music.setPositionSeconds(std::nan(""));
    EXPECT_EQ(music.position(), 0u);
    music.play(true);
    EXPECT_EQ(music.position(), 0u);
}

TEST(MusicClock, DeviceCopyLoopsWithoutAGap) {
    std::vector<float> ramp(1000 * 2);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = float(i) / 2000.0f * (i % 2 ? -1.0f : 1.0f);
    const MusicSamples track(ramp);
    std::vector<float> out(2500 * 2, -1.0f);
    const uint64_t next = copyLooping(track, 900, out.data(), 2500);
    EXPECT_EQ(next, (900u + 2500u) % 1000u);
    for (uint64_t i = 0; i < 2500; ++i) {
        const uint64_t source = (900 + i) % 1000;
        ASSERT_NEAR(out[2 * i], ramp[2 * source], 1e-4f) << i;
        ASSERT_NEAR(out[2 * i + 1], ramp[2 * source + 1], 1e-4f) << i;
    }
    std::vector<float> silence(64, 1.0f);
    copyLooping(MusicSamples(), 0, silence.data(), 32);
    EXPECT_TRUE(std::all_of(silence.begin(), silence.end(), [](float v) { return v == 0.0f; }));
}

TEST(MusicClock, DeviceClockNeverStepsBackWhateverTheCallbackTiming) {
    // A device taking 1024-frame buffers early, late, in bursts and after a stall; the clock is
    // sampled every 0.1 ms in between.
    using namespace std::chrono;
    const auto start = WallClock::Clock::time_point{} + hours(1);
    const double callbackMs[] = {0.0,   23.0,  47.5,  60.0,  60.0,  60.1,  140.0,
                                 145.0, 240.0, 241.0, 300.0, 301.0, 302.0, 420.0};
    WallClock clock;
    clock.moveTo(0, start, true);
    clock.start(start);
    uint64_t cursor = 0, previous = 0;
    size_t next = 0;
    for (double ms = 0.0; ms < 500.0; ms += 0.1) {
        const auto now = start + duration_cast<nanoseconds>(duration<double, std::milli>(ms));
        while (next < std::size(callbackMs) && callbackMs[next] <= ms) {
            clock.bufferTaken(cursor, 1024, now);
            cursor += 1024;
            ++next;
        }
        const uint64_t position = clock.at(now);
        ASSERT_GE(position, previous) << "at " << ms << " ms";
        ASSERT_LE(position, cursor) << "ran past the frames handed over at " << ms << " ms";
        previous = position;
    }
    // Between two punctual callbacks it runs with the wall clock.
    EXPECT_EQ(clock.at(start + milliseconds(430)) - clock.at(start + milliseconds(420)),
              framesIn(milliseconds(10)));
}

TEST(MusicClock, SilentClockRunsWithTheWallClockAndNeverStepsBack) {
    MusicStream music(std::vector<float>(44100 * 60 * 2, 0.0f), MusicOutput::Silent);
    ASSERT_EQ(music.output(), MusicOutput::Silent);
    music.setPosition(1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(music.position(), 1000u) << "the clock runs only once playing";

    music.play(false);
    const ClockRun run = sampleClock(music, std::chrono::milliseconds(1500));
    EXPECT_EQ(run.largestStepBack, 0u);
    EXPECT_LE(run.advanced, run.longestTime + 1); // +1: both readings are rounded down
    EXPECT_GE(run.advanced, framesIn(std::chrono::milliseconds(1500)));
}

TEST(MusicClock, SilentClockLoopsAtTheEnd) {
    using Clock = std::chrono::steady_clock;
    const uint64_t length = 4410; // 0.1 s
    MusicStream music(std::vector<float>(length * 2, 0.0f), MusicOutput::Silent);
    for (int attempt = 0; attempt < 5; ++attempt) {
        const auto beforePlay = Clock::now();
        music.setPosition(length - 441); // 10 ms before the end
        music.play(false);
        const auto afterPlay = Clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        const auto beforeRead = Clock::now();
        const uint64_t position = music.position();
        const uint64_t least = framesIn(beforeRead - afterPlay);
        const uint64_t most = framesIn(Clock::now() - beforePlay);
        ASSERT_LT(position, length);
        // Retry when the machine stalled so long that the reading could have looped twice.
        if (most - least > length / 2 || most >= length + 441)
            continue;
        // The clock ran over the end and on from the start by the time that passed.
        EXPECT_GE(position + 441, least) << "attempt " << attempt;
        EXPECT_LE(position + 441, most) << "attempt " << attempt;
        return;
    }
    GTEST_SKIP() << "the machine was too busy to time the loop";
}

TEST(MusicClock, DeviceClockIsSmoothWithTheDummyDriver) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    MusicStream music(sineOnBin(10, 44100 * 30), MusicOutput::Device);
    if (music.output() != MusicOutput::Device)
        GTEST_SKIP() << "no SDL audio device opened";
    music.play();
    const ClockRun run = sampleClock(music, std::chrono::milliseconds(1500));
    EXPECT_EQ(run.largestStepBack, 0u);
    // The device may fall behind the wall clock on a busy machine, but never runs ahead of it
    // by more than the buffer it has taken.
    EXPECT_LE(run.advanced, run.longestTime + 1024);
    EXPECT_GT(run.advanced, run.longestTime / 2);

    // A seek holds the new position until the device takes it, then runs on from there.
    music.setPosition(44100 * 20);
    EXPECT_GE(music.position(), uint64_t(44100 * 20));
    const ClockRun afterSeek = sampleClock(music, std::chrono::milliseconds(300));
    EXPECT_EQ(afterSeek.largestStepBack, 0u);
    EXPECT_GT(afterSeek.advanced, 0u);
}

TEST(MusicFile, DecodesWavAtAnyRateAndChannelCount) {
    TempDir dir;
    const std::vector<float> stereo = sineOnBin(100, 22050, 0.9f);
    writeWav16(dir.file("stereo.wav"), 2, 44100, stereo);
    MusicStream music(dir.file("stereo.wav"), MusicOutput::Manual);
    ASSERT_TRUE(music.hasMusic());
    ASSERT_EQ(music.lengthFrames(), 22050u);
    const std::vector<float> decoded = stereoOf(music);
    for (size_t i = 0; i < stereo.size(); ++i)
        ASSERT_NEAR(decoded[i], stereo[i], 1.0f / 16384) << i;

    // Mono at 22.05 kHz: twice the frames, full level in both channels, the tone where it was.
    std::vector<float> mono(22050);
    for (size_t i = 0; i < mono.size(); ++i)
        mono[i] = float(std::sin(2.0 * std::numbers::pi * 1000.0 * double(i) / 22050.0));
    writeWav16(dir.file("mono.wav"), 1, 22050, mono);
    MusicStream upsampled(dir.file("mono.wav"), MusicOutput::Manual);
    EXPECT_NEAR(double(upsampled.lengthFrames()), 44100.0, 64.0);
    float peak = 0.0f;
    const std::vector<float> doubled = stereoOf(upsampled);
    for (size_t i = 0; i < doubled.size(); i += 2) {
        ASSERT_EQ(doubled[i], doubled[i + 1]);
        peak = std::max(peak, std::abs(doubled[i]));
    }
    EXPECT_NEAR(peak, 1.0f, 0.05f);
    const int bin = int(std::lround(1000.0 * 2048 / 44100));
    EXPECT_EQ(loudestBin(spectrumAt(upsampled, 30000)), bin);
}

TEST(MusicFile, DecodesWhatTheEncoderWrites) {
    TempDir dir;
    const std::vector<float> tone = sineOnBin(200, 44100);
    const std::pair<AudioFileFormat, const char*> formats[] = {
        {AudioFileFormat::OggVorbis, "music.ogg"},
        {AudioFileFormat::Flac, "music.flac"},
        {AudioFileFormat::Mp3, "music.mp3"},
        {AudioFileFormat::Wav, "music.wav"},
    };
    for (const auto& [format, name] : formats) {
        writeAudioFile(dir.file(name), format, tone, 44100);
        MusicStream music(dir.file(name), MusicOutput::Manual);
        ASSERT_TRUE(music.hasMusic()) << name;
        // Lossy codecs may add a little padding at the ends.
        EXPECT_NEAR(double(music.lengthFrames()), 44100.0, 3000.0) << name;
        const Spectrum spectrum = spectrumAt(music, 30000);
        EXPECT_NEAR(spectrum[200], 0.5f, 0.05f) << name;
        EXPECT_EQ(loudestBin(spectrum), 200) << name;
    }
    // The lossless ones keep every frame.
    MusicStream flac(dir.file("music.flac"), MusicOutput::Manual);
    ASSERT_EQ(flac.lengthFrames(), 44100u);
    const std::vector<float> lossless = stereoOf(flac);
    for (size_t i = 0; i < tone.size(); ++i)
        ASSERT_NEAR(lossless[i], tone[i], 1.0f / 16384) << i;

    // Writing is deterministic (the asset generator relies on it).
    writeOggVorbis(dir.file("again.ogg"), tone, 44100);
    auto bytesOf = [](const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return std::vector<char>((std::istreambuf_iterator<char>(file)), {});
    };
    EXPECT_EQ(bytesOf(dir.file("music.ogg")), bytesOf(dir.file("again.ogg")));

    EXPECT_THROW(writeOggVorbis(dir.file("no/such/folder/x.ogg"), tone, 44100), ShowError);
}

TEST(MusicFile, MissingGarbageAndCutFilesPlaySilentlyWithOneLine) {
    TempDir dir;
    std::vector<char> garbage(100000);
    uint32_t state = 12345;
    for (char& byte : garbage)
        byte = char((state = state * 1103515245u + 12345u) >> 16);
    std::ofstream(dir.file("garbage.ogg"), std::ios::binary).write(garbage.data(), garbage.size());
    writeTextFile(dir.file("empty.mp3"), "");

    for (const std::string name : {"missing.ogg", "garbage.ogg", "empty.mp3", "."}) {
        const std::string path = dir.file(name);
        testing::internal::CaptureStderr();
        MusicStream music(path, MusicOutput::Device);
        const std::string message = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(music.hasMusic()) << name;
        EXPECT_EQ(music.output(), MusicOutput::Silent) << name;
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
        EXPECT_TRUE(allZero(spectrumAt(music, 5000)));
        music.play();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_GT(music.position(), 0u) << "silence still runs on the wall clock";
    }

    // Files cut in the middle play what is left.
    std::vector<float> noise(44100 * 2 * 2);
    for (float& sample : noise)
        sample = float(int32_t(state = state * 1103515245u + 12345u)) / 4294967296.0f;
    const std::pair<AudioFileFormat, const char*> cutFormats[] = {
        {AudioFileFormat::Flac, "whole.flac"},
        {AudioFileFormat::Mp3, "whole.mp3"},
        {AudioFileFormat::Wav, "whole.wav"},
    };
    for (const auto& [format, name] : cutFormats) {
        writeAudioFile(dir.file(name), format, noise, 44100);
        std::ifstream whole(dir.file(name), std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(whole)), {});
        std::ofstream(dir.file("cut"), std::ios::binary).write(bytes.data(), bytes.size() / 2);
        MusicStream cut(dir.file("cut"), MusicOutput::Manual);
        EXPECT_GT(cut.lengthFrames(), 44100u / 2) << name;
        EXPECT_LT(cut.lengthFrames(), 44100u * 3 / 2) << name;
    }
}

TEST(MusicFile, OverlongMusicIsCutAtTheLimit) {
    TempDir dir;
    writeWav16(dir.file("long.wav"), 2, 44100, sineOnBin(5, 44100));
    testing::internal::CaptureStderr();
    const MusicSamples samples = decodeAudioFile(dir.file("long.wav"), 10000);
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(samples.frames(), 10000u);
    EXPECT_NE(message.find("long.wav"), std::string::npos) << message;

    // 100 seconds at 100 Hz grow 441-fold on the way to 44.1 kHz; the limit still holds.
    writeWav16(dir.file("slow.wav"), 1, 100, std::vector<float>(10000, 0.5f));
    testing::internal::CaptureStderr();
    const MusicSamples slow = decodeAudioFile(dir.file("slow.wav"), 100000);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(slow.frames(), 100000u);
    float frame[2];
    slow.readStereo(25000, 1, frame);
    EXPECT_NEAR(frame[0], 0.5f, 0.01f);
    EXPECT_EQ(frame[0], frame[1]);
}
