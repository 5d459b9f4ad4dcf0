#pragma once
// The e2e tests' show folder for ShaderToy entries: a tone as its music, a script and shader files
// of its own, and shots of it read back.

#include "ShowProcess.h"
#include "TestFiles.h"
#include "audio/AudioEncoder.h"
#include "audio/MusicStream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

// A show folder with a tone as its music, a script and shader files of its own.
class ToyShow {
public:
    ToyShow() {
        std::vector<float> samples(size_t(3 * musicSampleRate) * 2);
        for (size_t i = 0; i < samples.size() / 2; ++i) {
            const double t = double(i) / musicSampleRate;
            const double left =
                0.5 * std::sin(2 * M_PI * 440 * t) + 0.2 * std::sin(2 * M_PI * 3100 * t);
            samples[2 * i] = float(left);
            samples[2 * i + 1] = float(left * (0.5 + 0.5 * std::sin(2 * M_PI * 2 * t)));
        }
        std::filesystem::create_directories(folder_.path() / "data");
        writeAudioFile(music(), AudioFileFormat::Wav, samples, musicSampleRate);
    }
    std::string music() const { return folder_.file("data/music.wav"); }
    void script(const std::string& entries, int count) const {
        writeTextFile(folder_.file("data/demo.txt"),
                      "data/music.wav\n0\n" + std::to_string(count) + "\n" + entries);
    }
    void file(const std::string& name, const std::string& text) const {
        writeTextFile(folder_.file(name), text);
    }
    // Runs the program; its standard error goes with the status.
    ShowResult run(const std::vector<std::string>& arguments) const {
        return runShow(folder_.path(), arguments);
    }
    // A shot at the effect time, its pixels top row first.
    std::vector<Rgba> shot(const std::string& time, const std::string& size, int& width,
                           int& height) const {
        const ShowResult result =
            run({"--shot", time, folder_.file("shot.png"), "--size", size, "--fps", "10"});
        EXPECT_EQ(result.exitStatus, 0) << result.errorOutput;
        return readImage(folder_.file("shot.png"), width, height);
    }
    const std::filesystem::path& path() const { return folder_.path(); }

private:
    TempDir folder_;
};
