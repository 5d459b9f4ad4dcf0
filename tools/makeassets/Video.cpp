#include "Video.h"

#include "Canvas.h"
#include "Procedural.h"
#include "platform/Error.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

// A seamless height field with its colours: the ground the camera flies over.
class Terrain {
public:
    static constexpr int size = 512;
    Terrain() : heights_(size, size), colours_(size, size) {
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
                float mountains = ridgedNoise(u, v, 4, 6, 1201);
                float hills = fractalNoise(u, v, 8, 4, 1202);
                heights_.at(x, y) = std::max(0.3f, mountains * mountains * 0.95f + hills * 0.2f);
            }
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                float h = heights_.at(x, y);
                float slope = h - heights_.at((x + 1) % size, (y + 1) % size);
                Color ground = h <= 0.3f   ? Color{0.1f, 0.3f, 0.55f}
                               : h < 0.45f ? Color{0.25f, 0.5f, 0.2f}
                               : h < 0.65f ? Color{0.45f, 0.4f, 0.3f}
                                           : Color{0.95f, 0.95f, 1.0f};
                colours_.at(x, y) = ground * std::clamp(0.8f + slope * 25, 0.4f, 1.3f);
            }
    }
    // Bilinear, so the near ground is smooth rather than blocky.
    float height(float x, float z) const {
        return heights_.sample(fraction(x / size), fraction(z / size));
    }
    Color colour(float x, float z) const { return colours_.at(wrap(x), wrap(z)); }

private:
    static int wrap(float v) { return ((int(std::floor(v)) % size) + size) % size; }
    static float fraction(float v) { return v - std::floor(v); }
    Mask heights_;
    Canvas colours_;
};

// One frame: columns of ground drawn front to back (each column's nearest ground hides what lies
// behind it), fading into a sunset sky.
void renderFrame(const Terrain& terrain, int index, Canvas& frame) {
    const float t = float(index) / videoFramesPerSecond;
    const float camX = 100 + t * 18, camZ = 60 + t * 30;
    const float heading = 0.6f + 0.25f * std::sin(t * 0.6f);
    const float sinH = std::sin(heading), cosH = std::cos(heading);
    const float heightScale = 240, projection = 180;
    // Fly above the ground ahead: the nearer a peak, the more it lifts the camera.
    float clearance = 0;
    for (float ahead = 0; ahead <= 60; ahead += 4)
        clearance = std::max(clearance, terrain.height(camX + sinH * ahead, camZ + cosH * ahead) *
                                            heightScale * (1 - ahead / 80));
    const float camHeight = std::max(215 + 25 * std::sin(t * 0.9f), clearance + 60);
    const float horizon = 90 + 10 * std::sin(t * 0.7f);
    const Color fog = {1.0f, 0.6f, 0.45f};
    for (int y = 0; y < videoHeight; ++y) {
        float sky = clamp01((horizon - y) / horizon);
        for (int x = 0; x < videoWidth; ++x) {
            float sun = std::exp(-std::hypot(x - 230.0f, y - horizon + 35) / 18);
            frame.at(x, y) =
                mix(fog, Color{0.2f, 0.25f, 0.6f}, sky) + exposure({1, 0.8f, 0.5f}, sun * 2);
        }
    }
    for (int x = 0; x < videoWidth; ++x) {
        float across = (x - videoWidth / 2.0f) / (videoWidth / 2.0f);
        float dirX = sinH + cosH * across * 0.8f, dirZ = cosH - sinH * across * 0.8f;
        int lowestDrawn = videoHeight;
        for (float distance = 2; distance < 400 && lowestDrawn > 0; distance *= 1.012f) {
            float wx = camX + dirX * distance, wz = camZ + dirZ * distance;
            float h = terrain.height(wx, wz) * heightScale;
            int top = int((camHeight - h) / distance * projection + horizon);
            if (top >= lowestDrawn)
                continue;
            Color ground = mix(terrain.colour(wx, wz), fog, clamp01(distance / 400));
            for (int y = std::max(top, 0); y < lowestDrawn; ++y)
                frame.at(x, y) = ground;
            lowestDrawn = std::max(top, 0);
        }
    }
}

uint8_t toByte(float v) { return uint8_t(std::lround(clamp01(v) * 255)); }

// Full-range BT.601 4:2:0, as MJPEG stores it.
void toYuv420(const Canvas& rgb, AVFrame* frame) {
    for (int y = 0; y < videoHeight; ++y)
        for (int x = 0; x < videoWidth; ++x) {
            const Color& c = rgb.at(x, y);
            frame->data[0][y * frame->linesize[0] + x] =
                toByte(0.299f * c.r + 0.587f * c.g + 0.114f * c.b);
        }
    for (int y = 0; y < videoHeight / 2; ++y)
        for (int x = 0; x < videoWidth / 2; ++x) {
            Color sum{0, 0, 0, 0};
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx)
                    sum = sum + rgb.at(x * 2 + dx, y * 2 + dy) * 0.25f;
            float cb = 0.5f - 0.168736f * sum.r - 0.331264f * sum.g + 0.5f * sum.b;
            float cr = 0.5f + 0.5f * sum.r - 0.418688f * sum.g - 0.081312f * sum.b;
            frame->data[1][y * frame->linesize[1] + x] = toByte(cb);
            frame->data[2][y * frame->linesize[2] + x] = toByte(cr);
        }
}

struct OutputDeleter {
    void operator()(AVFormatContext* context) const {
        if (context->pb)
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
struct CodecDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

void sendFrame(AVCodecContext* codec, AVFormatContext* output, AVStream* stream, AVFrame* frame,
               AVPacket* packet, const std::string& path) {
    if (avcodec_send_frame(codec, frame) < 0)
        raise("Cannot encode the video for %s", path.c_str());
    while (avcodec_receive_packet(codec, packet) == 0) {
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        if (av_interleaved_write_frame(output, packet) < 0)
            raise("Cannot write %s", path.c_str());
    }
}

} // namespace

void writeVideo(const std::filesystem::path& file) {
    const std::string path = file.string();
    std::filesystem::create_directories(file.parent_path());
    AVFormatContext* rawOutput = nullptr;
    if (avformat_alloc_output_context2(&rawOutput, nullptr, "avi", path.c_str()) < 0)
        raise("Cannot create %s", path.c_str());
    std::unique_ptr<AVFormatContext, OutputDeleter> output(rawOutput);
    output->flags |= AVFMT_FLAG_BITEXACT;
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!encoder)
        raise("No MJPEG encoder for %s", path.c_str());
    std::unique_ptr<AVCodecContext, CodecDeleter> codec(avcodec_alloc_context3(encoder));
    AVStream* stream = avformat_new_stream(output.get(), nullptr);
    if (!codec || !stream)
        raise("Cannot create %s", path.c_str());
    codec->width = videoWidth;
    codec->height = videoHeight;
    codec->pix_fmt = AV_PIX_FMT_YUVJ420P;
    codec->time_base = AVRational{1, videoFramesPerSecond};
    codec->framerate = AVRational{videoFramesPerSecond, 1};
    codec->flags |= AV_CODEC_FLAG_QSCALE | AV_CODEC_FLAG_BITEXACT;
    codec->global_quality = 3 * FF_QP2LAMBDA;
    if (output->oformat->flags & AVFMT_GLOBALHEADER)
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(codec.get(), encoder, nullptr) < 0)
        raise("Cannot open the MJPEG encoder for %s", path.c_str());
    avcodec_parameters_from_context(stream->codecpar, codec.get());
    stream->time_base = codec->time_base;
    stream->avg_frame_rate = codec->framerate;
    if (avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(output.get(), nullptr) < 0)
        raise("Cannot write %s", path.c_str());

    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    frame->format = AV_PIX_FMT_YUVJ420P;
    frame->width = videoWidth;
    frame->height = videoHeight;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        raise("Cannot encode the video for %s", path.c_str());
    const Terrain terrain;
    Canvas picture(videoWidth, videoHeight);
    for (int index = 0; index < videoFrameCount; ++index) {
        renderFrame(terrain, index, picture);
        if (av_frame_make_writable(frame.get()) < 0)
            raise("Cannot encode the video for %s", path.c_str());
        toYuv420(picture, frame.get());
        frame->pts = index;
        sendFrame(codec.get(), output.get(), stream, frame.get(), packet.get(), path);
    }
    sendFrame(codec.get(), output.get(), stream, nullptr, packet.get(), path);
    if (av_write_trailer(output.get()) < 0)
        raise("Cannot write %s", path.c_str());
}
