#include "media/VideoDecoder.h"

#include "media/MediaInput.h"
#include "media/MediaLog.h"
#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/LoadNotes.h"

#include "media/FFmpegHandles.h"

#include <algorithm>
#include <optional>

namespace {

const char* const readError = "Error reading AVI";
const char* const codecError =
    "Error opening AVIStreamGetFrameOpen - your video codec might be out dated!";

// How many frames from a key frame on must decode cleanly, from a fresh decoder, before decoding
// may start there.
constexpr int keyFrameTrialFrames = 8;

struct IndexedFrame {
    int64_t pts; // presentation order; the frame's number when the stream has no timestamps
    bool key;    // decoding may start here
};

// A frame the decoder filled in by concealment, or from reference frames it never saw.
bool isDamaged(const AVFrame& frame) {
    return frame.decode_error_flags != 0 || (frame.flags & AV_FRAME_FLAG_CORRUPT) != 0;
}

ffmpeg::CodecPtr openCodec(const AVCodecParameters* parameters) {
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    if (!decoder)
        throw ShowError(codecError);
    ffmpeg::CodecPtr codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), parameters) < 0 ||
        avcodec_open2(codec.get(), decoder, nullptr) < 0)
        throw ShowError(codecError);
    return codec;
}

// Sends a packet (null: the end of the stream) and hands every frame it releases to `take`.
// False when the decoder refused the packet as damaged.
template <class Take>
bool feedDecoder(AVCodecContext* codec, const AVPacket* packet, AVFrame* frame, Take take) {
    const int sent = avcodec_send_packet(codec, packet);
    while (avcodec_receive_frame(codec, frame) == 0) {
        take(*frame);
        av_frame_unref(frame);
    }
    return sent >= 0 || sent == AVERROR_EOF;
}

int64_t timestampOf(const AVFrame& frame) {
    return frame.best_effort_timestamp != AV_NOPTS_VALUE ? frame.best_effort_timestamp : frame.pts;
}

// Tries each key frame the container marks with a fresh decoder of its own. Formats mark frames
// as key frames that cannot be decoded without the frames before them (an H.264 I-frame that is
// no IDR frame): decoding after a seek to one of those gives damaged pictures, so it loses its key.
class KeyFrameTrial {
public:
    explicit KeyFrameTrial(const AVCodecParameters* parameters) : codec_(openCodec(parameters)) {}

    // The packet of frame `index` (in decoding order) is a key frame: a new trial starts there.
    void startAt(size_t index, int64_t pts, std::vector<IndexedFrame>& frames) {
        finish(frames);
        avcodec_flush_buffers(codec_.get());
        key_ = int64_t(index);
        keyPts_ = pts;
        framesLeft_ = keyFrameTrialFrames;
        damaged_ = false;
    }

    void feed(const AVPacket* packet, std::vector<IndexedFrame>& frames) {
        if (key_ < 0)
            return;
        const bool accepted =
            feedDecoder(codec_.get(), packet, frame_.get(), [&](const AVFrame& f) {
                if (timestampOf(f) < keyPts_ || framesLeft_ <= 0)
                    return; // frames shown before the key frame come from before it
                damaged_ = damaged_ || isDamaged(f);
                --framesLeft_;
            });
        if (!accepted || damaged_ || framesLeft_ <= 0)
            finish(frames);
    }

    // Ends the trial under way: the key frame keeps its mark when all its frames came out whole.
    void finish(std::vector<IndexedFrame>& frames) {
        if (key_ < 0)
            return;
        if (!damaged_ && framesLeft_ > 0) {
            feedDecoder(codec_.get(), nullptr, frame_.get(), [&](const AVFrame& f) {
                if (timestampOf(f) >= keyPts_ && framesLeft_-- > 0)
                    damaged_ = damaged_ || isDamaged(f);
            });
        }
        if (damaged_ || framesLeft_ == keyFrameTrialFrames)
            frames[size_t(key_)].key = false;
        key_ = -1;
    }

private:
    ffmpeg::CodecPtr codec_;
    ffmpeg::FramePtr frame_{av_frame_alloc()};
    int64_t key_ = -1;
    int64_t keyPts_ = 0;
    int framesLeft_ = 0;
    bool damaged_ = false;
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
    bool counted = false; // no timestamps: frames are counted from the start of the file
    uint64_t decodedCount = 0;
    int damagedCount = 0;

    void open(const std::string& path);
    void buildIndex();
    void readAndTryEveryFrame();
    void seekTo(int n);
    bool decodeUntil(int64_t targetPts);
    bool receiveFrame();
    void convert();
    int keyFrameAtOrBefore(int n) const;
};

void VideoDecoder::Impl::open(const std::string& path) {
    int status = 0;
    format = ffmpeg::openMediaFile(path, status);
    if (!format)
        throw ShowError(readError);
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
    codec = openCodec(parameters);
    if (!decoded || !packet)
        throw ShowError(readError);
}

// Reads and decodes every packet once: the frames' timestamps and key frames, the frames that do
// not decode cleanly, and the key frames decoding cannot start from.
void VideoDecoder::Impl::readAndTryEveryFrame() {
    const AVCodecParameters* parameters = format->streams[streamIndex]->codecpar;
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(parameters->codec_id);
    std::optional<KeyFrameTrial> trial;
    if (!descriptor || !(descriptor->props & AV_CODEC_PROP_INTRA_ONLY))
        trial.emplace(parameters);
    const auto countDamage = [&](const AVFrame& frame) { damagedCount += isDamaged(frame); };
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == streamIndex) {
            const int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            counted = counted || pts == AV_NOPTS_VALUE;
            const bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            frames.push_back({pts, key});
            if (trial && key && frames.size() > 1)
                trial->startAt(frames.size() - 1, pts, frames);
            if (trial)
                trial->feed(packet.get(), frames);
            if (!feedDecoder(codec.get(), packet.get(), decoded.get(), countDamage))
                ++damagedCount;
        }
        av_packet_unref(packet.get());
    }
    feedDecoder(codec.get(), nullptr, decoded.get(), countDamage);
    if (trial)
        trial->finish(frames);
}

void VideoDecoder::Impl::buildIndex() {
    {
        ffmpeg::QuietLog quiet; // damage is counted and reported here, in one line
        readAndTryEveryFrame();
    }
    if (frames.empty())
        throw ShowError(readError);
    if (counted) {
        // Only the start of the file is a known place; the frames are numbered as decoded.
        for (size_t i = 0; i < frames.size(); ++i)
            frames[i] = {int64_t(i), i == 0};
    }
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
    if (counted)
        av_seek_frame(format.get(), streamIndex, 0, AVSEEK_FLAG_BYTE);
    else
        av_seek_frame(format.get(), streamIndex, frames[size_t(key)].pts, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(codec.get());
    lastDecodedPts = counted ? -1 : INT64_MIN;
    decoderDrained = false;
}

// Takes the next decoded frame, feeding packets as the decoder asks; false at the end.
bool VideoDecoder::Impl::receiveFrame() {
    for (;;) {
        const int received = avcodec_receive_frame(codec.get(), decoded.get());
        if (received == 0) {
            ++decodedCount;
            lastDecodedPts = decoded->best_effort_timestamp != AV_NOPTS_VALUE && !counted
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

VideoDecoder::VideoDecoder(const ShowFile& file) : impl_(std::make_unique<Impl>()) {
    const std::string& path = file.path();
    quietMediaLog();
    try {
        impl_->open(path);
        impl_->buildIndex();
    } catch (const ShowError&) {
        // The error's own text does not name the file.
        debugLine("Unable to read video %s", path.c_str());
        throw;
    }
    if (impl_->damagedCount > 0)
        noteLoadProblem("The video %s does not decode cleanly (damaged frames: %d of %d); the "
                        "last whole frame is shown in their place",
                        path.c_str(), impl_->damagedCount, frameCount());
}

VideoDecoder::~VideoDecoder() = default;

int VideoDecoder::frameCount() const { return int(impl_->frames.size()); }

double VideoDecoder::framesPerSecond() const {
    AVStream* stream = impl_->format->streams[impl_->streamIndex];
    const AVRational rate = av_guess_frame_rate(impl_->format.get(), stream, nullptr);
    return rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 25.0;
}
int VideoDecoder::sourceWidth() const { return impl_->codec->width; }
int VideoDecoder::sourceHeight() const { return impl_->codec->height; }
uint64_t VideoDecoder::decodedFrames() const { return impl_->decodedCount; }

int VideoDecoder::damagedFrames() const { return impl_->damagedCount; }

const uint8_t* VideoDecoder::frame(int n) {
    Impl& d = *impl_;
    n = std::clamp(n, 0, frameCount() - 1);
    if (n == d.current)
        return d.pixels.data();
    ffmpeg::QuietLog quiet; // damaged frames were reported at load
    const int64_t target = d.frames[size_t(n)].pts;
    const bool behind = d.lastDecodedPts != INT64_MIN && target <= d.lastDecodedPts;
    // Decoding forward is the way there unless a key frame lies beyond the next frame.
    if (behind || d.decoderDrained || d.keyFrameAtOrBefore(n) > d.current + 1)
        d.seekTo(n);
    if (d.decodeUntil(target) && !isDamaged(*d.decoded))
        d.convert();
    d.current = n;
    return d.pixels.data();
}
