// Renders in segments, as a render farm runs them: --segment files, --join and its refusals, and
// the resumable --segments render, each compared with a one-pass render of the same span.
#include "ShowProcess.h"
#include "TestFiles.h"
#include "farm/ProgressFile.h"
#include "media/FFmpegHandles.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/imgutils.h>
}

#include <cstdlib>
#include <fstream>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string readTextFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Small and lossless, so that decoded pictures compare exactly.
const std::vector<std::string> smallLossless = {"--size", "64x48", "--fps", "10", "--quality", "0"};

std::vector<std::string> plus(std::vector<std::string> words,
                              const std::vector<std::string>& more) {
    words.insert(words.end(), more.begin(), more.end());
    return words;
}

// A show folder of its own script that uses the default show's files.
class ScriptedShow {
public:
    ScriptedShow(const std::string& entries, int entryCount,
                 const std::string& music = "data/music.ogg") {
        const fs::path data = fs::path(MORVELDAN_BUILD_DIR) / "data";
        fs::create_directories(folder_.path() / "data");
        for (const auto& entry : fs::directory_iterator(data))
            if (entry.path().filename() != "demo.txt")
                shareIntoShow(entry.path(), folder_.path() / "data" / entry.path().filename());
        shareIntoShow(fs::path(MORVELDAN_BUILD_DIR) / "plugins", folder_.path() / "plugins");
        writeTextFile(folder_.file("data/demo.txt"),
                      music + "\n0\n" + std::to_string(entryCount) + "\n" + entries);
    }
    const fs::path& path() const { return folder_.path(); }
    std::string out(const std::string& name) const { return output_.file(name); }
    bool outputExists(const std::string& name) const { return fs::exists(output_.path() / name); }
    // Every name in the output folder.
    std::vector<std::string> outputs() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(output_.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    ShowResult run(std::vector<std::string> arguments) const {
        return runShow(folder_.path(), arguments);
    }
    ShowResult render(const std::string& name, const std::vector<std::string>& options) const {
        return run(plus({"--render", out(name)}, options));
    }
    // Renders segment k of n (lossless, 64x48, 10 fps, to 4500 ms) to `name`.
    void renderSegment(int k, int n, const std::string& name, const std::string& size = "64x48") {
        const ShowResult result =
            render(name, {"--segment", std::to_string(k) + "/" + std::to_string(n), "--size", size,
                          "--fps", "10", "--to", "4500", "--quality", "0"});
        ASSERT_EQ(result.exitStatus, 0) << result.errorOutput;
    }

private:
    TempDir folder_, output_;
};

// Hash of every decoded picture (all planes, as the decoder gives them), the pictures' times,
// and the hash of the sound's packets.
struct MediaDigest {
    std::vector<uint64_t> pictures;
    std::vector<int64_t> times;
    uint64_t sound = 0;
    size_t soundPackets = 0;
};

uint64_t hashBytes(uint64_t hash, const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

std::optional<MediaDigest> digest(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return std::nullopt;
    ffmpeg::InputPtr input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0)
        return std::nullopt;
    const int video = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audio = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (video < 0)
        return std::nullopt;
    const AVCodecParameters* parameters = input->streams[video]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    ffmpeg::CodecPtr codec(avcodec_alloc_context3(decoder));
    avcodec_parameters_to_context(codec.get(), parameters);
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0)
        return std::nullopt;
    MediaDigest result;
    result.sound = 1469598103934665603ull;
    ffmpeg::PacketPtr packet(av_packet_alloc());
    ffmpeg::FramePtr frame(av_frame_alloc());
    std::vector<uint8_t> buffer;
    auto receiveAll = [&] {
        while (avcodec_receive_frame(codec.get(), frame.get()) >= 0) {
            const auto format = AVPixelFormat(frame->format);
            buffer.resize(size_t(av_image_get_buffer_size(format, frame->width, frame->height, 1)));
            av_image_copy_to_buffer(buffer.data(), int(buffer.size()), frame->data, frame->linesize,
                                    format, frame->width, frame->height, 1);
            result.pictures.push_back(
                hashBytes(1469598103934665603ull, buffer.data(), buffer.size()));
            result.times.push_back(frame->pts);
        }
    };
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == video) {
            avcodec_send_packet(codec.get(), packet.get());
            receiveAll();
        } else if (packet->stream_index == audio) {
            result.sound = hashBytes(result.sound, packet->data, size_t(packet->size));
            ++result.soundPackets;
        }
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(codec.get(), nullptr);
    receiveAll();
    return result;
}

// A feedback effect (ChaosZoomer keeps its picture from frame to frame), a plug-in, an effect
// that draws from the shared random sequence without seeding it (Stroboskop), one that leaves
// the depth buffer's writing off for every later frame (ShaderSuite3D) and a video, which later
// segments draw for its state alone, without decoding it.
const std::string madeUpShow = "Stroboskop\n0\n2000\n"
                               "Plugin\n0\n2500\nplugins/starburst.so\n48\n"
                               "ChaosZoomer\n1500\n4500\n"
                               "ShaderSuite3D\n3000\n4500\n"
                               "Video\n0\n1000\n";

TEST(Segments, AJoinedSplitRenderEqualsTheOnePassRender) {
    ScriptedShow show(madeUpShow, 5);
    const ShowResult whole = show.render("whole.mp4", plus(smallLossless, {"--to", "4500"}));
    ASSERT_EQ(whole.exitStatus, 0) << whole.errorOutput;
    // A render in segments names a progress file to a segment's render through the environment.
    const std::string progressFile = show.out("part3.progress");
    for (int k = 1; k <= 4; ++k) {
        if (k == 3)
            setenv(progressFileVariable, progressFile.c_str(), 1);
        show.renderSegment(k, 4, "part" + std::to_string(k) + ".mp4");
        unsetenv(progressFileVariable);
    }
    // The manifest sits beside its segment and says what it holds.
    const std::string manifest = readTextFile(show.out("part3.mp4.manifest"));
    EXPECT_NE(manifest.find("segment=3/4\nframes=22 33\nspan=45\n"), std::string::npos) << manifest;
    const std::optional<SegmentProgress> progress = readProgressFile(progressFile);
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->spanFrames, 45u);
    EXPECT_EQ(progress->keptFrames, 11u);
    // In any order on the command line.
    const ShowResult joined =
        show.run({"--join", show.out("joined.mp4"), show.out("part2.mp4"), show.out("part1.mp4"),
                  show.out("part4.mp4"), show.out("part3.mp4")});
    ASSERT_EQ(joined.exitStatus, 0) << joined.errorOutput;
    const std::optional<MediaDigest> a = digest(show.out("whole.mp4"));
    const std::optional<MediaDigest> b = digest(show.out("joined.mp4"));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->pictures.size(), 45u);
    EXPECT_TRUE(a->pictures == b->pictures) << "decoded pictures differ";
    EXPECT_TRUE(a->times == b->times);
    EXPECT_GT(a->soundPackets, 0u);
    EXPECT_EQ(a->soundPackets, b->soundPackets);
    EXPECT_EQ(a->sound, b->sound) << "the sound differs";
    // A segment file has no sound, and starts with a picture of its own.
    const std::optional<MediaDigest> part = digest(show.out("part3.mp4"));
    ASSERT_TRUE(part);
    EXPECT_EQ(part->soundPackets, 0u);
    ASSERT_EQ(part->pictures.size(), 11u);
    EXPECT_EQ(part->pictures.front(), a->pictures[22]);
}

TEST(Segments, ASilentShowsSegmentsEndWithItsEndOfShowEntry) {
    // Without its music file the show runs on a clock, and only the end-of-show entry ends it.
    ScriptedShow show("Stroboskop\n0\n2000\nChaosZoomer\n1500\n4500\nEndDemo\n4000\n5000\n", 3,
                      "data/none.ogg");
    auto render = [&](const std::string& name, const std::vector<std::string>& more) {
        const ShowResult result = show.render(name, plus(smallLossless, more));
        EXPECT_EQ(result.exitStatus, 0) << result.errorOutput;
    };
    render("whole.mp4", {});
    for (int k = 1; k <= 3; ++k)
        render("part" + std::to_string(k) + ".mp4", {"--segment", std::to_string(k) + "/3"});
    const ShowResult joined = show.run({"--join", show.out("joined.mp4"), show.out("part1.mp4"),
                                        show.out("part2.mp4"), show.out("part3.mp4")});
    ASSERT_EQ(joined.exitStatus, 0) << joined.errorOutput;
    const std::optional<MediaDigest> a = digest(show.out("whole.mp4"));
    const std::optional<MediaDigest> b = digest(show.out("joined.mp4"));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->pictures.size(), 41u); // 0 to 4000 ms; the entry's window starts after 4000
    EXPECT_TRUE(a->pictures == b->pictures) << "decoded pictures differ";
    EXPECT_TRUE(a->times == b->times);

    // In segments on this machine, finishing a farm render whose logs are in the work folder:
    // the progress counts the span the end-of-show entry ends from its first count on, and the
    // farm's logs stay when the segments are cleared away.
    const fs::path work = show.out("local.mp4.segments");
    fs::create_directories(work);
    for (const char* log : {"task-1.log", "join.log"})
        writeTextFile((work / log).string(), "from the farm\n");
    const ShowResult local = show.render("local.mp4", plus(smallLossless, {"--segments", "3"}));
    ASSERT_EQ(local.exitStatus, 0) << local.errorOutput;
    const std::regex count("frame [0-9]+/([0-9]+)");
    std::set<std::string> totals;
    for (std::sregex_iterator at(local.errorOutput.begin(), local.errorOutput.end(), count), end;
         at != end; ++at)
        totals.insert((*at)[1]);
    EXPECT_EQ(totals, std::set<std::string>{"41"}) << local.errorOutput;
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(work))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"join.log", "task-1.log"}));
    const std::optional<MediaDigest> c = digest(show.out("local.mp4"));
    ASSERT_TRUE(c);
    EXPECT_TRUE(a->pictures == c->pictures) << "decoded pictures differ";
}

TEST(Segments, TheJoinRefusesSegmentsThatDoNotMakeOneRender) {
    ScriptedShow show("Plugin\n0\n4500\nplugins/starburst.so\n48\n", 1);
    show.renderSegment(1, 2, "a1.mp4");
    show.renderSegment(2, 2, "a2.mp4");
    show.renderSegment(2, 2, "wide2.mp4", "80x48");
    fs::copy_file(show.out("a1.mp4"), show.out("copy1.mp4"));
    fs::copy_file(show.out("a1.mp4.manifest"), show.out("copy1.mp4.manifest"));
    fs::copy_file(show.out("a2.mp4"), show.out("bad2.mp4"));
    fs::copy_file(show.out("a2.mp4.manifest"), show.out("bad2.mp4.manifest"));
    {
        std::fstream damage(show.out("bad2.mp4"), std::ios::in | std::ios::out | std::ios::binary);
        damage.seekp(200);
        damage.put('\x5a');
    }
    // Its span near 2^63, with the frames that 64-bit products gave once they wrapped.
    fs::copy_file(show.out("a2.mp4"), show.out("huge2.mp4"));
    {
        std::ifstream in(show.out("a2.mp4.manifest"));
        std::ofstream out(show.out("huge2.mp4.manifest"));
        for (std::string line; std::getline(in, line);)
            out << (line.rfind("frames=", 0) == 0 ? "frames=4611686018427387907 6"
                    : line.rfind("span=", 0) == 0 ? "span=9223372036854775814"
                                                  : line)
                << "\n";
    }
    ScriptedShow other("Plugin\n0\n4600\nplugins/starburst.so\n48\n", 1);
    other.renderSegment(2, 2, "b2.mp4");
    fs::copy_file(other.out("b2.mp4"), show.out("other2.mp4"));
    fs::copy_file(other.out("b2.mp4.manifest"), show.out("other2.mp4.manifest"));

    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"a1.mp4"}, "Segment 2/2 is missing"},
        {{"a1.mp4", "copy1.mp4", "a2.mp4"},
         "Segment " + show.out("copy1.mp4") + " doubles segment " + show.out("a1.mp4")},
        {{"a1.mp4", "bad2.mp4"}, "Segment " + show.out("bad2.mp4") + " is damaged"},
        {{"a1.mp4", "wide2.mp4"},
         "Segment " + show.out("wide2.mp4") + " belongs to another render than segment " +
             show.out("a1.mp4") + " (size=80x48"},
        {{"a1.mp4", "other2.mp4"},
         "Segment " + show.out("other2.mp4") + " belongs to another show than segment " +
             show.out("a1.mp4")},
        {{"a1.mp4", "none2.mp4"}, "Segment " + show.out("none2.mp4") + " does not exist"},
        {{"a1.mp4", "huge2.mp4"},
         "Segment " + show.out("huge2.mp4") + " has a damaged manifest (" +
             show.out("huge2.mp4.manifest") +
             "): frames 4611686018427387907 to 6 are not "
             "segment 2 of 2 of a span of 9223372036854775814 frames"},
    };
    const std::vector<std::string> before = show.outputs();
    for (const auto& [segments, message] : cases) {
        std::vector<std::string> arguments = {"--join", show.out("joined.mp4")};
        for (const std::string& segment : segments)
            arguments.push_back(show.out(segment));
        const ShowResult result = show.run(arguments);
        EXPECT_EQ(result.exitStatus, 1) << message;
        EXPECT_NE(result.errorOutput.find("morveldan: " + message), std::string::npos)
            << result.errorOutput;
        EXPECT_EQ(show.outputs(), before) << "something was left behind: " << message;
    }
    // A rate over the first moment of a render means nothing and is not shown.
    const ShowResult oneFrame = show.run(
        {"--render", show.out("one.mp4"), "--size", "64x48", "--fps", "10", "--to", "100"});
    ASSERT_EQ(oneFrame.exitStatus, 0) << oneFrame.errorOutput;
    EXPECT_NE(oneFrame.errorOutput.find("frame 1/1  100%   \n"), std::string::npos)
        << oneFrame.errorOutput;
}

TEST(Segments, ARenderInSegmentsKeepsWhatIsFinishedAndRendersTheRest) {
    ScriptedShow show(madeUpShow, 5);
    auto render = [&](const std::string& name, const std::vector<std::string>& extra) {
        return show.render(name, plus(plus(smallLossless, {"--to", "4500"}), extra));
    };
    // As a render stopped after its first two segments (the second of them damaged since).
    const std::string work = show.out("split.mp4.segments");
    fs::create_directories(work);
    for (int k = 1; k <= 2; ++k) {
        const std::string name = "split.mp4.segments/segment-" + std::to_string(k) + "-of-3.mp4";
        const ShowResult part = render(name, {"--segment", std::to_string(k) + "/3"});
        ASSERT_EQ(part.exitStatus, 0) << part.errorOutput;
    }
    std::ofstream(work + "/segment-2-of-3.mp4", std::ios::app) << "more";

    const ShowResult resumed = render("split.mp4", {"--segments", "3", "--jobs", "2"});
    ASSERT_EQ(resumed.exitStatus, 0) << resumed.errorOutput;
    EXPECT_NE(resumed.errorOutput.find("kept 1; rendering 2, 3"), std::string::npos)
        << resumed.errorOutput;
    EXPECT_NE(resumed.errorOutput.find("segments 3/3  frame 45/45  100%"), std::string::npos)
        << resumed.errorOutput;
    EXPECT_FALSE(fs::exists(work));
    const ShowResult whole = render("whole.mp4", {});
    ASSERT_EQ(whole.exitStatus, 0) << whole.errorOutput;
    const std::optional<MediaDigest> a = digest(show.out("whole.mp4"));
    const std::optional<MediaDigest> b = digest(show.out("split.mp4"));
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(a->pictures == b->pictures);
    EXPECT_EQ(a->sound, b->sound);
}

} // namespace

TEST(Segments, AShaderToyEntryWithFeedbackBuffersRendersInSegmentsAsInOnePass) {
    // Two buffers that read each other and one itself: trails that carry from every frame to the
    // next, and an entry that starts after the show does.
    ScriptedShow show("ShaderToy\n500\n4500\ndata/toy/image.glsl\n", 1);
    const std::string toy = (show.path() / "data/toy/").string();
    writeTextFile(toy + "image.glsl", "#iChannel0 \"file://trail.glsl\"\n"
                                      "void mainImage(out vec4 colour, in vec2 at) {\n"
                                      "    colour = texture(iChannel0, at / iResolution.xy);\n"
                                      "}\n");
    writeTextFile(toy + "trail.glsl",
                  "#iChannel0 \"self\"\n#iChannel1 \"file://mirror.glsl\"\n"
                  "void mainImage(out vec4 colour, in vec2 at) {\n"
                  "    vec2 uv = at / iResolution.xy;\n"
                  "    vec2 spot = 0.5 + 0.3 * vec2(cos(iTime * 3.0), sin(float(iFrame) * 0.2));\n"
                  "    float lit = smoothstep(0.1, 0.0, length(uv - spot));\n"
                  "    colour = max(texture(iChannel0, uv) * 0.93,\n"
                  "                 vec4(lit, texture(iChannel1, uv).r * 0.8, 0.3, 1.0));\n"
                  "}\n");
    writeTextFile(toy + "mirror.glsl",
                  "#iChannel0 \"file://trail.glsl\"\n"
                  "void mainImage(out vec4 colour, in vec2 at) {\n"
                  "    colour = texture(iChannel0, 1.0 - at / iResolution.xy);\n"
                  "}\n");
    const auto render = [&](const std::string& name, const std::vector<std::string>& extra) {
        const ShowResult result =
            show.render(name, plus(plus(smallLossless, {"--to", "4500"}), extra));
        EXPECT_EQ(result.exitStatus, 0) << result.errorOutput;
    };
    render("whole.mp4", {});
    render("split.mp4", {"--segments", "3"});
    const std::optional<MediaDigest> a = digest(show.out("whole.mp4"));
    const std::optional<MediaDigest> b = digest(show.out("split.mp4"));
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->pictures.size(), 45u);
    EXPECT_NE(a->pictures[20], a->pictures[30]) << "nothing moves";
    EXPECT_TRUE(a->pictures == b->pictures) << "decoded pictures differ";
}
