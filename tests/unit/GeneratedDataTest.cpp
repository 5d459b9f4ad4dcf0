// The binary data the build generates besides its pictures (GeneratedPicturesTest.cpp): the video,
// the music and the models decode with the libraries that read them and are made for the way they
// are played and drawn; the generator refuses music outside the data folder and writes the same
// files again.
#include "GeneratedDataFiles.h"
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
#include <cmath>
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
