#include "encode/VideoWriter.h"

#include "media/FFmpegHandles.h"
#include "media/MediaLog.h"
#include "platform/Error.h"

struct MjpegAviWriter::Impl {
    std::string path;
    ffmpeg::OutputPtr format;
    ffmpeg::CodecPtr codec;
    AVStream* stream = nullptr;
    ffmpeg::FramePtr frame{av_frame_alloc()};
    ffmpeg::PacketPtr packet{av_packet_alloc()};
    ffmpeg::ScalerPtr scaler;
    int width = 0, height = 0;
    int64_t nextPts = 0;
    bool finished = false;

    // Sends a frame (null: flush) and writes the packets the encoder has ready.
    void encode(const AVFrame* picture) {
        if (avcodec_send_frame(codec.get(), picture) < 0)
            raise("Cannot encode the video for %s", path.c_str());
        while (avcodec_receive_packet(codec.get(), packet.get()) == 0) {
            av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(format.get(), packet.get()) < 0)
                raise("Cannot write %s", path.c_str());
        }
    }
};

MjpegAviWriter::MjpegAviWriter(const std::string& path, int width, int height, int framesPerSecond,
                               int quality)
    : impl_(std::make_unique<Impl>()) {
    quietMediaLog();
    Impl& w = *impl_;
    w.path = path;
    w.width = width;
    w.height = height;
    AVFormatContext* rawFormat = nullptr;
    if (avformat_alloc_output_context2(&rawFormat, nullptr, "avi", path.c_str()) < 0)
        raise("Cannot write video %s", path.c_str());
    w.format.reset(rawFormat);
    // The same frames always give the same bytes.
    w.format->flags |= AVFMT_FLAG_BITEXACT;
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!encoder)
        raise("No Motion JPEG encoder for %s", path.c_str());
    w.codec.reset(avcodec_alloc_context3(encoder));
    w.stream = avformat_new_stream(w.format.get(), nullptr);
    if (!w.codec || !w.stream || !w.frame || !w.packet)
        raise("Cannot write video %s", path.c_str());
    w.codec->width = width;
    w.codec->height = height;
    w.codec->time_base = {1, framesPerSecond};
    w.codec->framerate = {framesPerSecond, 1};
    w.codec->pix_fmt = AV_PIX_FMT_YUVJ420P;
    w.codec->flags |= AV_CODEC_FLAG_QSCALE | AV_CODEC_FLAG_BITEXACT;
    w.codec->global_quality = FF_QP2LAMBDA * quality;
    if (w.format->oformat->flags & AVFMT_GLOBALHEADER)
        w.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(w.codec.get(), encoder, nullptr) < 0 ||
        avcodec_parameters_from_context(w.stream->codecpar, w.codec.get()) < 0)
        raise("Cannot open the Motion JPEG encoder for %s", path.c_str());
    w.stream->time_base = w.codec->time_base;
    w.stream->avg_frame_rate = w.codec->framerate;
    if (avio_open(&w.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(w.format.get(), nullptr) < 0)
        raise("Cannot write video %s", path.c_str());
    w.frame->format = w.codec->pix_fmt;
    w.frame->width = width;
    w.frame->height = height;
    if (av_frame_get_buffer(w.frame.get(), 0) < 0)
        raise("Out of memory writing %s", path.c_str());
    w.scaler.reset(sws_getContext(width, height, AV_PIX_FMT_RGB24, width, height,
                                  AV_PIX_FMT_YUVJ420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!w.scaler)
        raise("Cannot write video %s", path.c_str());
}

MjpegAviWriter::~MjpegAviWriter() {
    try {
        finish();
    } catch (...) {
    }
}

void MjpegAviWriter::addFrame(const uint8_t* rgb) {
    Impl& w = *impl_;
    if (av_frame_make_writable(w.frame.get()) < 0)
        raise("Cannot encode the video for %s", w.path.c_str());
    const uint8_t* source[4] = {rgb, nullptr, nullptr, nullptr};
    const int strides[4] = {w.width * 3, 0, 0, 0};
    sws_scale(w.scaler.get(), source, strides, 0, w.height, w.frame->data, w.frame->linesize);
    w.frame->pts = w.nextPts++;
    w.encode(w.frame.get());
}

void MjpegAviWriter::finish() {
    Impl& w = *impl_;
    if (w.finished)
        return;
    w.finished = true;
    w.encode(nullptr);
    if (av_write_trailer(w.format.get()) < 0)
        raise("Cannot write %s", w.path.c_str());
}
