// The binary data the build generates: every file the effects open exists in the build tree's
// data folder, decodes with the library that reads it, and is made for the way it is drawn.
#include "TestFiles.h"
#include "audio/MusicSamples.h"
#include "audio/MusicStream.h"
#include "model3ds/L3DS.h"
#include "timeline/ScriptReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path buildData = fs::path(MORVELDAN_BUILD_DIR) / "data";

const char* const imageFiles[] = {
    "__grid.jpg",
    "bravelund/banger/bang.jpg",
    "bravelund/banger/bang1.jpg",
    "bravelund/bounce/skak.png",
    "bravelund/bounce/skygge.png",
    "bravelund/mansphere/greets.png",
    "bravelund/mansphere/manden.png",
    "bravelund/mansphere/pole.jpg",
    "bravelund/nanoball/bg.jpg",
    "bravelund/nanoball/flare.jpg",
    "bravelund/nanoball/zoomer1.jpg",
    "bravelund/ringe/bg.png",
    "bravelund/ringe/rotate.png",
    "bravelund/spheres/towerenv.png",
    "bravelund/spheres/towers.png",
    "bravelund/spheres/white.png",
    "bravelund/tolvik/boks.jpg",
    "bravelund/walk/skak.png",
    "bravelund/walk/skygge.png",
    "circles/__ring.jpg",
    "circles/circles.jpg",
    "circles/text.jpg",
    "colorbox/colorbox1.jpg",
    "colorbox/colorbox2.jpg",
    "colorbox/star.jpg",
    "housing.jpg",
    "mirok/brum/brum.png",
    "mirok/brum/pastelmand.jpg",
    "mirok/brum/stjern1.jpg",
    "mirok/fog/pole1.jpg",
    "mirok/prikker/prik1.png",
    "mirok/prikker/prik2.png",
    "mirok/prikker/prik3.png",
    "mirok/prikker/prik4.png",
    "mirok/video/frame.png",
    "misc/blomster.jpg",
    "misc/border.jpg",
    "misc/bust.jpg",
    "misc/env.jpg",
    "misc/mig.jpg",
    "misc/pem.jpg",
    "misc/quelm.jpg",
    "misc/twist.jpg",
    "overlay/loader.jpg",
    "plasma/__water.jpg",
    "rubber/background.jpg",
    "rubber/background1.jpg",
    "rubber/env.jpg",
    "sky/clouds.jpg",
    "sky/landskab1.jpg",
    "sky/landskab1_add.jpg",
    "solaris/it.jpg",
    "solaris/solaris1.jpg",
    "solaris/solaris2.jpg",
    "strobo/bg.jpg",
    "strobo/text.jpg",
    "strobo/twist.jpg",
    "zoomer/bg.jpg",
    "zoomer/bg1.jpg",
    "zoomer/zoomer1.jpg",
    "zoomer/zoomer2-old.jpg",
    "zoomer/zoomer2.jpg",
};
const char* const otherFiles[] = {"mirok/video/Video.avi", "rubber/simple.3ds", "misc/simple.3ds"};

struct Picture {
    std::vector<Rgba> pixels;
    int width = 0, height = 0;
    explicit Picture(const std::string& name) {
        pixels = readImage((buildData / name).string(), width, height);
    }
    const Rgba& at(int x, int y) const { return pixels[size_t(y) * width + x]; }
    int brightest(int x, int y) const { return std::max({at(x, y).r, at(x, y).g, at(x, y).b}); }
    int darkest(int x, int y) const { return std::min({at(x, y).r, at(x, y).g, at(x, y).b}); }
    // The four corner pixels, each the brightest of its channels.
    std::vector<int> cornerLevels() const {
        return {brightest(0, 0), brightest(width - 1, 0), brightest(0, height - 1),
                brightest(width - 1, height - 1)};
    }
};

bool isPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

int channelDistance(const Rgba& a, const Rgba& b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

// The colour step across the wrap-around edge against the steps beside it: a picture that tiles
// shows no larger jump where one copy meets the next than just inside its edges.
double edgeJumpRatio(const Picture& p, bool horizontal) {
    double edge = 0, beside = 0;
    const int lines = horizontal ? p.height : p.width;
    const int n = horizontal ? p.width : p.height;
    for (int line = 0; line < lines; ++line) {
        auto step = [&](int i, int j) {
            return horizontal ? channelDistance(p.at(i, line), p.at(j, line))
                              : channelDistance(p.at(line, i), p.at(line, j));
        };
        edge += step(n - 1, 0);
        beside += (step(0, 1) + step(1, 2) + step(n - 3, n - 2) + step(n - 2, n - 1)) / 4.0;
    }
    return edge / (beside + 6.0 * lines); // 6 levels of slack for JPEG noise
}

// Light and dark runs along a row of a chessboard, counted round the wrap-around: a board tiles
// when every square, including the one made where copies meet, has the same width.
std::vector<int> squareWidthsAround(const Picture& p, int row) {
    auto light = [&](int x) { return p.brightest(x, row) > 128; };
    int start = 0;
    while (start < p.width && light(start) == light(0))
        ++start; // the first change of colour
    std::vector<int> widths;
    int width = 0;
    for (int i = 0; i < p.width; ++i) {
        int x = (start + i) % p.width;
        if (i > 0 && light(x) != light((x + p.width - 1) % p.width)) {
            widths.push_back(width);
            width = 0;
        }
        ++width;
    }
    widths.push_back(width);
    return widths;
}

std::string musicNameInScript() {
    FILE* script = std::fopen((buildData / "demo.txt").c_str(), "r");
    if (!script)
        return "";
    std::string name = readScriptLine(script);
    std::fclose(script);
    return name;
}

std::vector<char> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct InputDeleter {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};

// The generator run on a data folder with a show script.
int runGenerator(const fs::path& dataDir, const std::string& script) {
    const std::string command = std::string("\"") + MORVELDAN_BUILD_DIR +
                                "/tools/makeassets/makeassets\" \"" + dataDir.string() + "\" \"" +
                                script + "\" > /dev/null 2>&1";
    return std::system(command.c_str());
}

} // namespace

TEST(GeneratedData, EveryImageDecodesWithPowerOfTwoSides) {
    for (const char* name : imageFiles) {
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_FALSE(p.pixels.empty()) << "FreeImage cannot read it";
        EXPECT_TRUE(isPowerOfTwo(p.width) && isPowerOfTwo(p.height))
            << p.width << " x " << p.height;
        EXPECT_GE(std::min(p.width, p.height), 128);
    }
}

TEST(GeneratedData, AddedLightsAreBlackAtTheCornersAndBrightInside) {
    const char* const added[] = {"bravelund/banger/bang.jpg",
                                 "bravelund/banger/bang1.jpg",
                                 "bravelund/nanoball/flare.jpg",
                                 "colorbox/colorbox1.jpg",
                                 "colorbox/colorbox2.jpg",
                                 "colorbox/star.jpg",
                                 "solaris/solaris1.jpg",
                                 "solaris/solaris2.jpg",
                                 "mirok/brum/stjern1.jpg",
                                 "mirok/prikker/prik3.png",
                                 "zoomer/zoomer1.jpg",
                                 "zoomer/zoomer2.jpg",
                                 "zoomer/zoomer2-old.jpg",
                                 "strobo/twist.jpg",
                                 "misc/twist.jpg",
                                 "rubber/background1.jpg",
                                 "sky/clouds.jpg",
                                 "circles/text.jpg",
                                 "misc/pem.jpg",
                                 "misc/mig.jpg",
                                 "misc/bust.jpg",
                                 "misc/quelm.jpg"};
    for (const char* name : added) {
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_FALSE(p.pixels.empty());
        for (int level : p.cornerLevels())
            EXPECT_LE(level, 10);
        int brightest = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                brightest = std::max(brightest, p.brightest(x, y));
        EXPECT_GE(brightest, 200);
    }
    // The zoomers stack dozens of tiles over the whole screen and Solaris flies through its
    // sprites: the nearest are seen magnified and far brighter than 1, so one that is not black
    // inside would wash the picture out to its own colour.
    for (const char* name :
         {"zoomer/zoomer2.jpg", "zoomer/zoomer2-old.jpg", "solaris/solaris1.jpg"}) {
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_FALSE(p.pixels.empty());
        EXPECT_LE(p.brightest(p.width / 2, p.height / 2), 10);
        EXPECT_LE(p.brightest(p.width * 3 / 8, p.height / 2), 10);
    }
    // The tunnel's puffs are seen from inside, mostly their middle: it must hold both gaps and
    // light, not an even fog.
    Picture cloud("sky/clouds.jpg");
    ASSERT_FALSE(cloud.pixels.empty());
    int darkPixels = 0, lightPixels = 0;
    for (int y = cloud.height * 3 / 8; y < cloud.height * 5 / 8; ++y)
        for (int x = cloud.width * 3 / 8; x < cloud.width * 5 / 8; ++x) {
            darkPixels += cloud.brightest(x, y) <= 20;
            lightPixels += cloud.brightest(x, y) >= 120;
        }
    const int middlePixels = (cloud.width / 4) * (cloud.height / 4);
    EXPECT_GT(darkPixels, middlePixels / 5);
    EXPECT_GT(lightPixels, middlePixels / 10);
}

TEST(GeneratedData, DarkeningMasksAreWhiteAtTheEdgesAndBlackInTheMiddle) {
    // Drawn with GL_ZERO, GL_ONE_MINUS_SRC_COLOR (or lightening the border through its colour):
    // white blacks the picture out, black leaves it.
    for (const char* name : {"solaris/it.jpg", "mirok/video/frame.png", "misc/border.jpg"}) {
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_FALSE(p.pixels.empty());
        for (int level : p.cornerLevels())
            EXPECT_GE(level, 200);
        EXPECT_LE(p.brightest(p.width / 2, p.height / 2), 40);
    }
    // The border is drawn a quarter larger than the screen on each side: its frame must start
    // inside the part that lands on screen (4/5 of the way out from the middle).
    Picture border("misc/border.jpg");
    ASSERT_FALSE(border.pixels.empty());
    EXPECT_GE(border.brightest(border.width / 2 + border.width * 2 / 5 - 2, border.height / 2),
              200);
    EXPECT_GE(border.brightest(border.width / 2, border.height / 2 + border.height * 2 / 5 - 2),
              200);

    Picture text("strobo/text.jpg");
    ASSERT_FALSE(text.pixels.empty());
    EXPECT_GE(text.darkest(0, 0), 200);                    // the letterbox bars
    EXPECT_LE(text.brightest(2, text.height * 3 / 8), 40); // the band shows beside the words
}

TEST(GeneratedData, SpritesAndTextCarryAlpha) {
    for (const char* name : {"bravelund/bounce/skygge.png", "bravelund/walk/skygge.png"}) {
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_FALSE(p.pixels.empty());
        const Rgba centre = p.at(p.width / 2, p.height / 2);
        EXPECT_GE(centre.a, 230);
        EXPECT_LE(p.brightest(p.width / 2, p.height / 2), 10); // a shadow is black
        EXPECT_EQ(p.at(0, 0).a, 0);
        // Soft: halfway to the edge it is neither solid nor gone.
        const int halfway = p.at(p.width * 3 / 4, p.height / 2).a;
        EXPECT_GT(halfway, 10);
        EXPECT_LT(halfway, 200);
    }
    for (const char* name : {"mirok/brum/brum.png", "bravelund/mansphere/greets.png",
                             "bravelund/ringe/rotate.png", "mirok/prikker/prik3.png"}) {
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_FALSE(p.pixels.empty());
        EXPECT_EQ(p.at(0, 0).a, 0);
        size_t opaque = std::count_if(p.pixels.begin(), p.pixels.end(),
                                      [](const Rgba& c) { return c.a >= 240; });
        EXPECT_GT(opaque, p.pixels.size() / 200);
        EXPECT_LT(opaque, p.pixels.size() / 2);
    }
}

TEST(GeneratedData, RepeatedPicturesTileWithoutSeams) {
    const char* const tiledBothWays[] = {"__grid.jpg",          "housing.jpg",
                                         "plasma/__water.jpg",  "misc/env.jpg",
                                         "rubber/env.jpg",      "bravelund/mansphere/pole.jpg",
                                         "mirok/fog/pole1.jpg", "bravelund/nanoball/zoomer1.jpg"};
    for (const char* name : tiledBothWays) {
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_FALSE(p.pixels.empty());
        EXPECT_LT(edgeJumpRatio(p, true), 3.0);
        EXPECT_LT(edgeJumpRatio(p, false), 3.0);
    }
    Picture band("strobo/bg.jpg"); // repeated side by side only
    ASSERT_FALSE(band.pixels.empty());
    EXPECT_LT(edgeJumpRatio(band, true), 3.0);

    for (const char* name : {"bravelund/bounce/skak.png", "bravelund/walk/skak.png"}) {
        SCOPED_TRACE(name);
        Picture board(name);
        ASSERT_FALSE(board.pixels.empty());
        for (int row : {board.height / 16, board.height / 2}) {
            const std::vector<int> widths = squareWidthsAround(board, row);
            ASSERT_GE(widths.size(), 2u);
            EXPECT_EQ(widths.size() % 2, 0u);
            const auto [narrowest, widest] = std::minmax_element(widths.begin(), widths.end());
            EXPECT_LE(*widest - *narrowest, 2);
        }
    }
}

TEST(GeneratedData, VideoIsAnimatedMjpegInAvi) {
    AVFormatContext* raw = nullptr;
    const std::string path = (buildData / "mirok/video/Video.avi").string();
    ASSERT_EQ(avformat_open_input(&raw, path.c_str(), nullptr, nullptr), 0);
    std::unique_ptr<AVFormatContext, InputDeleter> input(raw);
    ASSERT_GE(avformat_find_stream_info(input.get(), nullptr), 0);
    EXPECT_STREQ(input->iformat->name, "avi");
    const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    ASSERT_GE(index, 0);
    const AVStream* stream = input->streams[index];
    EXPECT_EQ(stream->codecpar->codec_id, AV_CODEC_ID_MJPEG);
    EXPECT_NEAR(stream->codecpar->width, 320, 32);
    EXPECT_NEAR(stream->codecpar->height, 240, 24);
    EXPECT_EQ(av_q2d(stream->avg_frame_rate), 25.0);

    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    std::unique_ptr<AVCodecContext, CodecDeleter> codec(avcodec_alloc_context3(decoder));
    avcodec_parameters_to_context(codec.get(), stream->codecpar);
    ASSERT_EQ(avcodec_open2(codec.get(), decoder, nullptr), 0);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int frames = 0;
    std::set<uint64_t> distinctRows; // a checksum of the middle row of every 25th frame
    while (av_read_frame(input.get(), packet) >= 0) {
        if (packet->stream_index == index && avcodec_send_packet(codec.get(), packet) == 0)
            while (avcodec_receive_frame(codec.get(), frame) == 0) {
                if (frames % 25 == 0) {
                    const uint8_t* row = frame->data[0] + frame->height / 2 * frame->linesize[0];
                    uint64_t checksum = 1469598103934665603u;
                    for (int x = 0; x < frame->width; ++x)
                        checksum = (checksum ^ row[x]) * 1099511628211u;
                    distinctRows.insert(checksum);
                }
                ++frames;
            }
        av_packet_unref(packet);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    EXPECT_GE(frames, 200);
    EXPECT_EQ(distinctRows.size(), size_t((frames + 24) / 25)); // every sampled frame differs
}

TEST(GeneratedData, MusicNamedByTheScriptIsThreeMinutesOfVorbis) {
    const std::string name = musicNameInScript();
    ASSERT_EQ(name.rfind("data/", 0), 0u) << name;
    const std::string path = (fs::path(MORVELDAN_BUILD_DIR) / name).string();

    AVFormatContext* raw = nullptr;
    ASSERT_EQ(avformat_open_input(&raw, path.c_str(), nullptr, nullptr), 0) << path;
    std::unique_ptr<AVFormatContext, InputDeleter> input(raw);
    ASSERT_GE(avformat_find_stream_info(input.get(), nullptr), 0);
    EXPECT_STREQ(input->iformat->name, "ogg");
    const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    ASSERT_GE(index, 0);
    EXPECT_EQ(input->streams[index]->codecpar->codec_id, AV_CODEC_ID_VORBIS);

    MusicStream music(path, MusicOutput::Manual);
    ASSERT_TRUE(music.hasMusic());
    const double seconds = music.framesToSeconds(music.lengthFrames());
    EXPECT_GT(seconds, 170);
    EXPECT_LT(seconds, 190);
    std::vector<float> stereo(music.lengthFrames() * 2);
    music.samples().readStereo(0, music.lengthFrames(), stereo.data());
    float peak = 0;
    for (float sample : stereo)
        peak = std::max(peak, std::abs(sample));
    EXPECT_GT(peak, 0.5f);
    EXPECT_LE(peak, 1.0f);
}

TEST(GeneratedData, ModelsAreClosedSmoothTexturedMeshes) {
    for (const char* name : {"rubber/simple.3ds", "misc/simple.3ds"}) {
        SCOPED_TRACE(name);
        L3DS model((buildData / name).string());
        ASSERT_GE(model.meshCount(), 1u);
        const LMesh& mesh = model.mesh(0);
        EXPECT_GE(mesh.triangleCount(), 2000u);
        EXPECT_LE(mesh.triangleCount(), 10000u);
        auto position = [&](size_t i) {
            const Vec4& v = mesh.vertex(i);
            return Vec3(v.x, v.y, v.z);
        };
        // Closed and wound counter-clockwise seen from outside (the effects cull back faces):
        // the signed volume is positive. Big enough to be seen 500 units away.
        double volume = 0, radius = 0;
        for (size_t i = 0; i < mesh.vertexCount(); ++i)
            radius = std::max(radius, double(length(position(i))));
        float lowestU = 1e9f, highestU = -1e9f;
        for (size_t t = 0; t < mesh.triangleCount(); ++t) {
            const LFace& face = mesh.face(t);
            const Vec3 a = position(face.a), b = position(face.b), c = position(face.c);
            const Vec3 bc = cross(b, c);
            volume += (a.x * bc.x + a.y * bc.y + a.z * bc.z) / 6.0;
            // Smooth: the normals at the three corners lie within 35 degrees of each other.
            const Vec3 na = mesh.normal(face.a), nb = mesh.normal(face.b), nc = mesh.normal(face.c);
            auto dot = [](const Vec3& p, const Vec3& q) {
                return p.x * q.x + p.y * q.y + p.z * q.z;
            };
            ASSERT_GT(std::min({dot(na, nb), dot(nb, nc), dot(nc, na)}), 0.819f)
                << "triangle " << t;
            ASSERT_GT(dot(face.normal, na), 0.5f) << "triangle " << t;
            for (uint16_t corner : {face.a, face.b, face.c}) {
                lowestU = std::min(lowestU, mesh.texCoord(corner).u);
                highestU = std::max(highestU, mesh.texCoord(corner).u);
            }
        }
        // One smooth surface: every vertex is shared by about six triangles (the normals are
        // averaged over them), none was split off by a change of smoothing group.
        EXPECT_LE(mesh.vertexCount() * 2, mesh.triangleCount() + 4);
        EXPECT_GT(volume, 0);
        EXPECT_GT(radius, 50);
        EXPECT_LT(radius, 150);
        EXPECT_GE(highestU - lowestU, 0.9f); // texture coordinates spread over the picture
    }
}

TEST(GeneratedData, GeneratorRefusesAMusicFileOutsideTheDataFolder) {
    TempDir run;
    for (const char* name : {"data/../escaped.ogg", "music.ogg", "data/"}) {
        SCOPED_TRACE(name);
        writeTextFile(run.file("demo.txt"), std::string(name) + "\n0\n0\n");
        EXPECT_NE(runGenerator(run.path() / "data", run.file("demo.txt")), 0);
        EXPECT_FALSE(fs::exists(run.path() / "escaped.ogg"));
        EXPECT_FALSE(fs::exists(run.path() / "data" / "music.ogg"));
    }
}

TEST(GeneratedData, AnotherRunWritesIdenticalFiles) {
    TempDir again;
    ASSERT_EQ(runGenerator(again.path(), MORVELDAN_SOURCE_DIR "/data/demo.txt"), 0);

    std::set<std::string> expected;
    for (const char* name : imageFiles)
        expected.insert(name);
    for (const char* name : otherFiles)
        expected.insert(name);
    expected.insert(musicNameInScript().substr(5)); // without "data/"
    std::set<std::string> written;
    for (const auto& entry : fs::recursive_directory_iterator(again.path()))
        if (entry.is_regular_file())
            written.insert(fs::relative(entry.path(), again.path()).generic_string());
    EXPECT_EQ(written, expected);
    for (const std::string& name : written) {
        SCOPED_TRACE(name);
        const std::vector<char> first = fileBytes(buildData / name);
        ASSERT_FALSE(first.empty()) << "missing from the build's data folder";
        EXPECT_TRUE(first == fileBytes(again.path() / name));
    }
}
