// The offline renderer run as a user runs it: videos probed and decoded with FFmpeg, numbered
// pictures read back, contact sheets, and the failures that must leave nothing behind.
#include "ShowProcess.h"
#include "TestFiles.h"
#include "audio/AudioEncoder.h"
#include "audio/MusicStream.h"
#include "media/FFmpegHandles.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// A run folder with its script and music, and a separate folder for what the renders write.
class RenderRun {
public:
    RenderRun(const std::string& entries, int entryCount, int startOffset = 0,
              double musicSeconds = 3.0) {
        std::vector<float> samples(size_t(musicSeconds * musicSampleRate) * 2);
        for (size_t i = 0; i < samples.size() / 2; ++i) {
            // A low tone whose loudness swells, so the beat level changes from frame to frame.
            const double t = double(i) / musicSampleRate;
            const double swell = 0.5 + 0.5 * std::sin(2 * M_PI * 1.5 * t);
            samples[2 * i] = samples[2 * i + 1] = float(0.8 * swell * std::sin(2 * M_PI * 43 * t));
        }
        fs::create_directories(run_.path() / "data");
        writeAudioFile(run_.file("data/music.wav"), AudioFileFormat::Wav, samples, musicSampleRate);
        script(entries, entryCount, startOffset);
    }
    void script(const std::string& entries, int entryCount, int startOffset = 0) {
        writeTextFile(run_.file("data/demo.txt"), "data/music.wav\n" + std::to_string(startOffset) +
                                                      "\n" + std::to_string(entryCount) + "\n" +
                                                      entries);
    }
    const fs::path& path() const { return run_.path(); }
    std::string out(const std::string& name) const { return output_.file(name); }
    std::string log() const { return run_.file("plugin.log"); }
    // Names in the output folder.
    std::vector<std::string> outputs() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(output_.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    TempDir run_, output_;
};

std::string pluginEntry(int start, int end, const std::string& plugin,
                        const std::string& lines = "") {
    return "Plugin\n" + std::to_string(start) + "\n" + std::to_string(end) + "\n" +
           testPlugin(plugin) + "\n" + lines;
}

std::string rampEntry(int start, int end) { return pluginEntry(start, end, "test_ramp"); }

// What a video file holds, as FFmpeg reads it: codecs, frame count, the checksum of every
// decoded picture, and the length of the sound.
struct VideoContents {
    std::string videoCodec, audioCodec, pixelFormat;
    int width = 0, height = 0;
    std::vector<uint64_t> frameChecksums;
    double audioSeconds = 0;
    int audioFrameSize = 0;
};

uint64_t checksum(const AVFrame& frame) {
    uint64_t hash = 1469598103934665603ull;
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? frame.height : (frame.height + 1) / 2;
        const int columns = plane == 0 ? frame.width : (frame.width + 1) / 2;
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x)
                hash = (hash ^ frame.data[plane][y * frame.linesize[plane] + x]) * 1099511628211ull;
    }
    return hash;
}

std::optional<VideoContents> probeVideo(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return std::nullopt;
    ffmpeg::InputPtr input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0)
        return std::nullopt;
    VideoContents contents;
    const int video = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audio = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (video < 0 || audio < 0)
        return std::nullopt;
    const AVCodecParameters* videoParameters = input->streams[video]->codecpar;
    const AVCodecParameters* audioParameters = input->streams[audio]->codecpar;
    contents.videoCodec = avcodec_get_name(videoParameters->codec_id);
    contents.audioCodec = avcodec_get_name(audioParameters->codec_id);
    contents.width = videoParameters->width;
    contents.height = videoParameters->height;
    contents.pixelFormat = av_get_pix_fmt_name(AVPixelFormat(videoParameters->format));
    contents.audioFrameSize = audioParameters->frame_size;

    const AVCodec* decoder = avcodec_find_decoder(videoParameters->codec_id);
    ffmpeg::CodecPtr codec(avcodec_alloc_context3(decoder));
    avcodec_parameters_to_context(codec.get(), videoParameters);
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0)
        return std::nullopt;
    ffmpeg::PacketPtr packet(av_packet_alloc());
    ffmpeg::FramePtr frame(av_frame_alloc());
    int64_t audioDuration = 0;
    auto receiveAll = [&] {
        while (avcodec_receive_frame(codec.get(), frame.get()) >= 0)
            contents.frameChecksums.push_back(checksum(*frame));
    };
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == video) {
            avcodec_send_packet(codec.get(), packet.get());
            receiveAll();
        } else if (packet->stream_index == audio)
            audioDuration += packet->duration;
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(codec.get(), nullptr);
    receiveAll();
    // The playable length (the container's own, after the encoder's priming samples are cut).
    const AVStream& sound = *input->streams[audio];
    contents.audioSeconds =
        double(sound.duration != AV_NOPTS_VALUE ? sound.duration : audioDuration) *
        av_q2d(sound.time_base);
    return contents;
}

// The effect time and beat a test_ramp picture spells.
struct RampPixel {
    unsigned time;
    int blue;
};

RampPixel rampAt(const std::string& png, int x, int y) {
    int width = 0, height = 0;
    const std::vector<Rgba> pixels = readImage(png, width, height);
    if (pixels.empty())
        return {~0u, -1};
    const Rgba colour = pixels[size_t(y) * size_t(width) + size_t(x)];
    return {unsigned(colour.r) + 256u * colour.g, colour.b};
}

std::vector<std::pair<unsigned, double>> loggedDraws(const std::string& log) {
    std::ifstream in(log);
    std::vector<std::pair<unsigned, double>> draws;
    std::string kind;
    while (in >> kind) {
        if (kind == "draw") {
            unsigned time = 0;
            double beat = 0;
            in >> time >> beat;
            draws.emplace_back(time, beat);
        } else
            in.ignore(1 << 20, '\n');
    }
    return draws;
}

TEST(Render, VideoHoldsTheSpanInH264AndAacAndTheSameCommandGivesTheSameFrames) {
    RenderRun run(rampEntry(0, -1), 1);
    const std::vector<std::string> options = {"--fps", "30", "--to", "2000", "--size", "96x64"};
    std::vector<std::optional<VideoContents>> videos;
    for (const std::string name : {"a.mp4", "b.mp4"}) {
        std::vector<std::string> arguments = {"--render", run.out(name)};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const ShowResult result = runShow(run.path(), arguments);
        ASSERT_EQ(result.exitStatus, 0) << result.errorOutput;
        EXPECT_NE(result.errorOutput.find("Rendered 60 frames (2.000 s"), std::string::npos)
            << result.errorOutput;
        videos.push_back(probeVideo(run.out(name)));
        ASSERT_TRUE(videos.back().has_value()) << name;
    }
    const VideoContents& a = *videos[0];
    EXPECT_EQ(a.videoCodec, "h264");
    EXPECT_EQ(a.pixelFormat, "yuv420p");
    EXPECT_EQ(a.width, 96);
    EXPECT_EQ(a.height, 64);
    EXPECT_EQ(a.frameChecksums.size(), 60u);
    EXPECT_EQ(a.audioCodec, "aac");
    const double audioFrame = double(a.audioFrameSize > 0 ? a.audioFrameSize : 1024) / 44100;
    EXPECT_NEAR(a.audioSeconds, 2.0, audioFrame);
    // The ramp changes colour every frame: a video of one repeated picture would not pass.
    std::set<uint64_t> distinct(a.frameChecksums.begin(), a.frameChecksums.end());
    EXPECT_GT(distinct.size(), 50u);
    EXPECT_EQ(a.frameChecksums, videos[1]->frameChecksums);
    EXPECT_EQ(run.outputs(), (std::vector<std::string>{"a.mp4", "b.mp4"}));
}

TEST(Render, TheEndOfShowEntryEndsTheRenderWithTheFramesBeforeIt) {
    RenderRun run(rampEntry(0, -1) + "EndDemo\n1500\n-1\n", 2);
    const ShowResult result = runShow(run.path(), {"--render", run.out("end.mp4"), "--fps", "30",
                                                   "--from", "1000", "--size", "32x32"});
    ASSERT_EQ(result.exitStatus, 0) << result.errorOutput;
    // 1000, 1033, ..., 1500: the end-of-show entry draws first at 1533, strictly after its start.
    const std::optional<VideoContents> video = probeVideo(run.out("end.mp4"));
    ASSERT_TRUE(video.has_value());
    EXPECT_EQ(video->frameChecksums.size(), 16u);
    EXPECT_NEAR(video->audioSeconds, 16.0 / 30, 1024.0 / 44100);
    EXPECT_EQ(run.outputs(), std::vector<std::string>{"end.mp4"});
}

TEST(Render, FramesAreDrawnAtTheShowsEffectTimesAfterTheShowBeforeThem) {
    RenderRun run("", 0);
    // The logger reads its log path and a label from the lines after its entry.
    run.script(pluginEntry(0, -1, "test_logger", run.log() + "\nlog\n") + rampEntry(0, -1), 2);
    const ShowResult result =
        runShow(run.path(), {"--frames", run.out("frames"), "--fps", "30", "--from", "1000", "--to",
                             "1200", "--warmup", "100", "--size", "32x24"});
    ASSERT_EQ(result.exitStatus, 0) << result.errorOutput;
    // Frames at 1000 + k * 1000/30 ms, truncated as the live show truncates music positions.
    const std::vector<unsigned> kept = {1000, 1033, 1066, 1100, 1133, 1166};
    const auto draws = loggedDraws(run.log());
    std::vector<unsigned> drawnTimes;
    for (const auto& draw : draws)
        drawnTimes.push_back(draw.first);
    // Every frame since the show's start is drawn (the first at 0 ms is outside the entries).
    std::vector<unsigned> expectedTimes;
    for (unsigned k = 1; k < 36; ++k)
        expectedTimes.push_back(k * 1000 / 30);
    EXPECT_EQ(drawnTimes, expectedTimes);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(run.out("frames")))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), kept.size());
    EXPECT_EQ(names.front(), "frame-000000.png");
    EXPECT_EQ(names.back(), "frame-000005.png");
    bool beatVaries = false;
    for (size_t k = 0; k < kept.size() && draws.size() == 35; ++k) {
        const RampPixel pixel = rampAt(run.out("frames/" + names[k]), 16, 12);
        EXPECT_EQ(pixel.time, kept[k]) << names[k];
        EXPECT_NEAR(pixel.blue, draws[k + 29].second * 255, 1.0) << names[k];
        beatVaries = beatVaries || std::abs(draws[k + 29].second - draws[29].second) > 0.01;
    }
    EXPECT_TRUE(beatVaries) << "the music's beat should move between these frames";
}

TEST(Render, StartsWhereTheLiveShowStartsAndWorksWithoutADisplay) {
    // Start offset 1: the music starts one second in, at effect time 1000 + 1.
    RenderRun run(rampEntry(0, -1), 1, 1);
    const char* display = std::getenv("DISPLAY");
    const std::string savedDisplay = display ? display : "";
    unsetenv("DISPLAY");
    const ShowResult result = runShow(run.path(), {"--frames", run.out("frames"), "--fps", "10",
                                                   "--to", "1300", "--size", "16x16"});
    if (!savedDisplay.empty())
        setenv("DISPLAY", savedDisplay.c_str(), 1);
    ASSERT_EQ(result.exitStatus, 0) << result.errorOutput;
    EXPECT_EQ(rampAt(run.out("frames/frame-000000.png"), 8, 8).time, 1001u);
    EXPECT_EQ(rampAt(run.out("frames/frame-000001.png"), 8, 8).time, 1101u);
    EXPECT_EQ(rampAt(run.out("frames/frame-000002.png"), 8, 8).time, 1201u);
    EXPECT_FALSE(fs::exists(run.out("frames/frame-000003.png")));
}

TEST(Render, AnEndPastTheMusicIsNamedAndAStopSignalLeavesNoFileBehind) {
    RenderRun run(rampEntry(0, -1), 1, 0, 10.0);
    const ShowResult past = runShow(run.path(), {"--frames", run.out("frames"), "--fps", "1",
                                                 "--to", "99000", "--size", "16x16"});
    ASSERT_EQ(past.exitStatus, 0) << past.errorOutput;
    EXPECT_NE(past.errorOutput.find(
                  "--to 99000 is past the end of the music, which is 10.000 seconds long"),
              std::string::npos)
        << past.errorOutput;
    EXPECT_TRUE(fs::exists(run.out("frames/frame-000009.png")));
    EXPECT_FALSE(fs::exists(run.out("frames/frame-000010.png")));

    ShowProcess render(run.path(),
                       {"--render", run.out("stopped.mp4"), "--fps", "240", "--size", "640x480"});
    ASSERT_TRUE(waitUntil(
        [&] {
            // 2400 frames: this render's progress, not the one before.
            return render.errorOutput().find("/2400") != std::string::npos || !render.running();
        },
        std::chrono::seconds(60)));
    kill(render.pid(), SIGINT);
    EXPECT_EQ(render.wait(), 130) << render.errorOutput();
    EXPECT_TRUE(render.exitedByItself());
    EXPECT_NE(render.errorOutput().find("morveldan: Render interrupted"), std::string::npos)
        << render.errorOutput();
    EXPECT_EQ(run.outputs(), std::vector<std::string>{"frames"});
}

// ShaderSuite3D leaves depth writes off, so no frame's clear reaches the whole window: a shot or
// render later in it finds its warm-up too short and draws again with a longer one, in the same
// process, from a state as fresh as a new run's: the shot is the one that warm-up gives at once.
TEST(Render, ARunDrawnAgainWithALongerWarmUpKeepsTheFoldersItWasGiven) {
    RenderRun run("ShaderSuite3D\n0\n3000\n", 1);
    for (const std::string folder : {"rubber", "suite"})
        shareIntoShow(fs::path(MORVELDAN_BUILD_DIR) / "data" / folder,
                      run.path() / "data" / folder);
    const fs::path outputs = fs::path(run.out(""));
    const std::string relativeShow = fs::relative(run.path(), outputs).string();
    ASSERT_EQ(relativeShow.substr(0, 3), "../");
    const ShowResult shot = runShow(outputs, {relativeShow, "--shot", "2500", "shot.png", "--size",
                                              "32x24", "--warmup", "100"});
    ASSERT_EQ(shot.exitStatus, 0) << shot.errorOutput;
    const size_t again = shot.errorOutput.find("drawing again with --warmup ");
    ASSERT_NE(again, std::string::npos) << shot.errorOutput;
    const std::string warmup = std::to_string(std::stoul(shot.errorOutput.substr(again + 28)));
    const ShowResult direct = runShow(outputs, {relativeShow, "--shot", "2500", "direct.png",
                                                "--size", "32x24", "--warmup", warmup});
    ASSERT_EQ(direct.exitStatus, 0) << direct.errorOutput;
    EXPECT_EQ(direct.errorOutput.find("drawing again"), std::string::npos) << direct.errorOutput;
    int width = 0, height = 0;
    EXPECT_EQ(readImage((outputs / "shot.png").string(), width, height),
              readImage((outputs / "direct.png").string(), width, height));

    fs::create_directory(outputs / "render");
    const ShowResult render =
        runShow(outputs / "render", {run.path().string(), "--render", "r.mp4", "--from", "2000",
                                     "--to", "2200", "--size", "32x24", "--warmup", "100"});
    ASSERT_EQ(render.exitStatus, 0) << render.errorOutput;
    EXPECT_NE(render.errorOutput.find("drawing again with --warmup"), std::string::npos)
        << render.errorOutput;
    EXPECT_TRUE(probeVideo((outputs / "render" / "r.mp4").string()).has_value());
    EXPECT_FALSE(fs::exists(run.path() / "r.mp4"));
    EXPECT_FALSE(fs::exists(run.path() / "shot.png"));
}

TEST(Render, MistakesExitWithOneAndLeaveNoFileBehind) {
    RenderRun run(rampEntry(0, -1), 1);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--render", run.out("a.mp4"), "--fps", "0"}, "--fps needs"},
        {{"--render", run.out("a.mp4"), "--size", "3842x2160"}, "at most 3840x2160"},
        {{"--render", run.out("a.mp4"), "--size", "101x100"}, "even width and height"},
        {{"--render", run.out("a.mp4"), "--from", "500", "--to", "500"}, "--to must be later"},
        {{"--render", run.out("a.mp4"), "--frames", run.out("f")}, "cannot be combined"},
        {{"--fps", "30"}, "go with --render"},
        {{"--render", run.out("a.unknownformat")}, "knows no video format"},
        {{"--render", run.out("a.wav")}, "cannot hold H.264"},
        {{"--render", run.out("missing/a.mp4")}, "Unable to write"},
        {{"--frames", "/proc/version/frames"}, "Unable to write"},
        {{"--contact-sheet", run.out("missing/sheet.png")}, "Unable to write"},
        {{"--profile-csv", run.out("missing/p.csv")}, "Unable to write"},
        // The file exists while the show loads; a span past the music fails after that.
        {{"--render", run.out("a.mp4"), "--from", "5000"}, "Nothing to render"},
        {{"--frames", run.out("f"), "--from", "5000"}, "Nothing to render"},
    };
    for (const auto& [arguments, message] : cases) {
        const ShowResult result = runShow(run.path(), arguments);
        EXPECT_EQ(result.exitStatus, 1) << arguments[1];
        EXPECT_NE(result.errorOutput.find(message), std::string::npos) << result.errorOutput;
    }
    const std::vector<std::string> left = run.outputs();
    // Only the empty folder --frames made may stay.
    EXPECT_TRUE(left.empty() || left == std::vector<std::string>{"f"}) << left.size();
    if (!left.empty()) {
        EXPECT_TRUE(fs::is_empty(run.out("f")));
    }
}

TEST(Profile, CountsEveryEntrysFramesAndSharesInScriptOrder) {
    // Frames at 0, 100, ..., 1900 ms; both bounds of a window are exclusive. The third entry is
    // never reached and still has its row.
    RenderRun run(rampEntry(0, 1000) + rampEntry(500, -1) + rampEntry(5000, 6000), 3);
    const ShowResult result =
        runShow(run.path(), {"--profile-csv", run.out("p.csv"), "--size", "64x48", "--fps", "10",
                             "--from", "0", "--to", "2000", "--warmup", "0"});
    ASSERT_EQ(result.exitStatus, 0) << result.errorOutput;
    std::ifstream csv(run.out("p.csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "entry,frames,cpu_ms_per_frame,wall_ms_per_frame,times_empty_frame,"
                    "share_percent");
    const std::vector<std::pair<std::string, int>> expected = {{"1 Plugin", 9},
                                                               {"2 Plugin", 14},
                                                               {"3 Plugin", 0},
                                                               {"frame clears", 20},
                                                               {"empty frame", 100}};
    double shares = 0;
    for (const auto& [name, frames] : expected) {
        ASSERT_TRUE(std::getline(csv, line));
        std::istringstream fields(line);
        std::vector<std::string> values;
        for (std::string value; std::getline(fields, value, ',');)
            values.push_back(value);
        ASSERT_EQ(values.size(), 6u) << line;
        EXPECT_EQ(values[0], name);
        EXPECT_EQ(std::stoi(values[1]), frames) << line;
        EXPECT_EQ(std::stod(values[2]) > 0, frames > 0) << line;
        if (name != "empty frame")
            shares += std::stod(values[5]);
    }
    EXPECT_NEAR(shares, 100.0, 0.01);
    EXPECT_FALSE(std::getline(csv, line)) << line;
}

TEST(ContactSheet, ThumbnailsFromTheMiddleOfEachEntryInScriptOrder) {
    // Middles at 500, 3500 and 1500 ms (both bounds exclusive); the last entry never ends and is
    // cut at the music's end (its last effect time is 3999): 2001 to 3999 has its middle at 3000.
    RenderRun run(rampEntry(0, 1000) + rampEntry(3000, 4000) + rampEntry(1000, 2001) +
                      rampEntry(2000, -1),
                  4, 0, 4.0);
    const ShowResult result =
        runShow(run.path(), {"--contact-sheet", run.out("sheet.png"), "--warmup", "200"});
    ASSERT_EQ(result.exitStatus, 0) << result.errorOutput;
    int width = 0, height = 0;
    const std::vector<Rgba> sheet = readImage(run.out("sheet.png"), width, height);
    ASSERT_FALSE(sheet.empty());
    // Four thumbnails of 320x240 side by side, 12 pixels apart, with a label under each.
    EXPECT_EQ(width, 12 + 4 * (320 + 12));
    const std::vector<unsigned> middles = {500, 3500, 1500, 3000};
    for (size_t i = 0; i < middles.size(); ++i) {
        const int x = 12 + int(i) * 332 + 160, y = 12 + 120;
        const Rgba colour = sheet[size_t(y) * size_t(width) + size_t(x)];
        EXPECT_EQ(unsigned(colour.r) + 256u * colour.g, middles[i]) << "thumbnail " << i;
        int bright = 0;
        for (int ly = 12 + 240; ly < 12 + 240 + 40; ++ly)
            for (int lx = x - 160; lx < x + 160; ++lx)
                bright += sheet[size_t(ly) * size_t(width) + size_t(lx)].r > 128;
        EXPECT_GT(bright, 30) << "the label of thumbnail " << i;
    }
    EXPECT_EQ(run.outputs(), std::vector<std::string>{"sheet.png"});
}

} // namespace
