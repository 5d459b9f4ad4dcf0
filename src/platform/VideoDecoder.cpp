#include "platform/VideoDecoder.h"

#include "platform/DataFiles.h"
#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/MediaLog.h"

#include "platform/FFmpegHandles.h"

#include <algorithm>

namespace {

const char* const readError = "Error reading AVI";
const char* const codecError =
    "Error opening AVIStreamGetFrameOpen - your video codec might be out dated!";

// Frames further ahead than this are reached by seeking rather than decoding forward.
constexpr int forwardDecodeLimit = 50;

struct IndexedFrame {
    int64_t pts;
    bool key;
};

} // namespace

struct VideoDecoder::Impl {
    ffmpeg::InputPtr format;
    ffmpeg::CodecPtr codec;
    ffmpeg::FramePtr decoded{av_frame_alloc()};
    ffmpeg::PacketPtr packet{av_packet_alloc()};
    ffmpeg::ScalerPtr scaler;
    int streamIndex = -1;
    std::vector<IndexedFrame> frames; // presentation order
    std::vector<uint8_t> pixels = std::vector<uint8_t>(frameBytes, 0);
    int current = -1; // frame whose pixels are held, -1 before the first
    int64_t lastDecodedPts = INT64_MIN;
    bool decoderDrained = false;
    uint64_t decodedCount = 0;

    void open(const std::string& path);
    void buildIndex();
    void seekTo(int n);
    bool decodeUntil(int64_t targetPts);
    bool receiveFrame();
    void convert();
    int keyFrameAtOrBefore(int n) const;
};

void VideoDecoder::Impl::open(const std::string& path) {
    noteDataFileRead(path);
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        throw ShowError(readError);
    format.reset(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        throw ShowError(readError);
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            streamIndex = int(i);
            break;
        }
    if (streamIndex < 0)
        throw ShowError(readError);
    const AVCodecParameters* parameters = format->streams[streamIndex]->codecpar;
    if (parameters->width <= 0 || parameters->height <= 0)
        throw ShowError(readError);
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    if (!decoder)
        throw ShowError(codecError);
    codec.reset(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), parameters) < 0 ||
        avcodec_open2(codec.get(), decoder, nullptr) < 0)
        throw ShowError(codecError);
    if (!decoded || !packet)
        throw ShowError(readError);
}

// Reads every packet once (no decoding) to learn the frames' timestamps and key frames.
void VideoDecoder::Impl::buildIndex() {
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == streamIndex) {
            const int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            const int64_t order = pts != AV_NOPTS_VALUE ? pts : int64_t(frames.size());
            frames.push_back({order, (packet->flags & AV_PKT_FLAG_KEY) != 0});
        }
        av_packet_unref(packet.get());
    }
    if (frames.empty())
        throw ShowError(readError);
    std::stable_sort(frames.begin(), frames.end(),
                     [](const IndexedFrame& a, const IndexedFrame& b) { return a.pts < b.pts; });
    frames.front().key = true; // decoding always starts somewhere
    seekTo(0);
}

int VideoDecoder::Impl::keyFrameAtOrBefore(int n) const {
    while (n > 0 && !frames[size_t(n)].key)
        --n;
    return n;
}

void VideoDecoder::Impl::seekTo(int n) {
    const int key = keyFrameAtOrBefore(n);
    av_seek_frame(format.get(), streamIndex, frames[size_t(key)].pts, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(codec.get());
    lastDecodedPts = INT64_MIN;
    decoderDrained = false;
}

// Takes the next decoded frame, feeding packets as the decoder asks; false at the end.
bool VideoDecoder::Impl::receiveFrame() {
    for (;;) {
        const int received = avcodec_receive_frame(codec.get(), decoded.get());
        if (received == 0) {
            ++decodedCount;
            lastDecodedPts = decoded->best_effort_timestamp != AV_NOPTS_VALUE
                                 ? decoded->best_effort_timestamp
                                 : lastDecodedPts + 1;
            return true;
        }
        if (received != AVERROR(EAGAIN) || decoderDrained)
            return false;
        int read;
        while ((read = av_read_frame(format.get(), packet.get())) >= 0 &&
               packet->stream_index != streamIndex)
            av_packet_unref(packet.get());
        if (read < 0) {
            avcodec_send_packet(codec.get(), nullptr);
            decoderDrained = true;
            continue;
        }
        avcodec_send_packet(codec.get(), packet.get()); // a damaged packet is skipped
        av_packet_unref(packet.get());
    }
}

bool VideoDecoder::Impl::decodeUntil(int64_t targetPts) {
    while (receiveFrame())
        if (lastDecodedPts >= targetPts)
            return true;
    return false;
}

void VideoDecoder::Impl::convert() {
    scaler.reset(sws_getCachedContext(scaler.release(), decoded->width, decoded->height,
                                      AVPixelFormat(decoded->format), frameSide, frameSide,
                                      AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler)
        return;
    // Bottom row first: start at the last row and step backwards.
    const int stride = frameSide * 4;
    uint8_t* target[4] = {pixels.data() + size_t(frameSide - 1) * stride, nullptr, nullptr,
                          nullptr};
    const int strides[4] = {-stride, 0, 0, 0};
    sws_scale(scaler.get(), decoded->data, decoded->linesize, 0, decoded->height, target, strides);
    for (size_t i = 3; i < pixels.size(); i += 4)
        pixels[i] = 255;
}

VideoDecoder::VideoDecoder(const std::string& path) : impl_(std::make_unique<Impl>()) {
    quietMediaLog();
    try {
        impl_->open(path);
        impl_->buildIndex();
    } catch (const ShowError&) {
        // The error's own text does not name the file.
        debugLine("Unable to read video %s", path.c_str());
        throw;
    }
}

VideoDecoder::~VideoDecoder() = default;

int VideoDecoder::frameCount() const { return int(impl_->frames.size()); }
int VideoDecoder::sourceWidth() const { return impl_->codec->width; }
int VideoDecoder::sourceHeight() const { return impl_->codec->height; }
uint64_t VideoDecoder::decodedFrames() const { return impl_->decodedCount; }

const uint8_t* VideoDecoder::frame(int n) {
    Impl& d = *impl_;
    n = std::clamp(n, 0, frameCount() - 1);
    if (n == d.current)
        return d.pixels.data();
    const int64_t target = d.frames[size_t(n)].pts;
    const bool behind = d.lastDecodedPts != INT64_MIN && target <= d.lastDecodedPts;
    const bool farAhead = n - d.current > forwardDecodeLimit;
    // A key frame between here and n is a shorter way there than decoding forward.
    if (behind || farAhead || d.keyFrameAtOrBefore(n) > d.current)
        d.seekTo(n);
    if (d.decodeUntil(target))
        d.convert();
    d.current = n;
    return d.pixels.data();
}
