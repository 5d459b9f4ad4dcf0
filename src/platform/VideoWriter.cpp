#include "platform/VideoWriter.h"

#include "platform/Error.h"
#include "platform/MediaLog.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

struct MjpegAviWriter::Impl {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    int width = 0, height = 0;
    int64_t nextPts = 0;
    bool finished = false;

    ~Impl() {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        if (format) {
            if (format->pb)
                avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    void writePackets() {
        while (avcodec_receive_packet(codec, packet) == 0) {
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            av_interleaved_write_frame(format, packet);
        }
    }
};

MjpegAviWriter::MjpegAviWriter(const std::string& path, int width, int height, int framesPerSecond,
                               int quality)
    : impl_(std::make_unique<Impl>()) {
    quietMediaLog();
    Impl& w = *impl_;
    w.width = width;
    w.height = height;
    if (avformat_alloc_output_context2(&w.format, nullptr, "avi", path.c_str()) < 0)
        raise("Cannot write video %s", path.c_str());
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!encoder)
        raise("No Motion JPEG encoder for %s", path.c_str());
    w.stream = avformat_new_stream(w.format, nullptr);
    w.codec = avcodec_alloc_context3(encoder);
    w.codec->width = width;
    w.codec->height = height;
    w.codec->time_base = {1, framesPerSecond};
    w.codec->framerate = {framesPerSecond, 1};
    w.codec->pix_fmt = AV_PIX_FMT_YUVJ420P;
    w.codec->flags |= AV_CODEC_FLAG_QSCALE;
    w.codec->global_quality = FF_QP2LAMBDA * quality;
    if (avcodec_open2(w.codec, encoder, nullptr) < 0 ||
        avcodec_parameters_from_context(w.stream->codecpar, w.codec) < 0)
        raise("Cannot open the Motion JPEG encoder for %s", path.c_str());
    w.stream->time_base = w.codec->time_base;
    if (avio_open(&w.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(w.format, nullptr) < 0)
        raise("Cannot write video %s", path.c_str());
    w.frame = av_frame_alloc();
    w.packet = av_packet_alloc();
    w.frame->format = w.codec->pix_fmt;
    w.frame->width = width;
    w.frame->height = height;
    if (av_frame_get_buffer(w.frame, 0) < 0)
        raise("Out of memory writing %s", path.c_str());
    w.scaler = sws_getContext(width, height, AV_PIX_FMT_RGB24, width, height, AV_PIX_FMT_YUVJ420P,
                              SWS_BICUBIC, nullptr, nullptr, nullptr);
}

MjpegAviWriter::~MjpegAviWriter() {
    try {
        finish();
    } catch (...) {
    }
}

void MjpegAviWriter::addFrame(const uint8_t* rgb) {
    Impl& w = *impl_;
    av_frame_make_writable(w.frame);
    const uint8_t* source[4] = {rgb, nullptr, nullptr, nullptr};
    const int strides[4] = {w.width * 3, 0, 0, 0};
    sws_scale(w.scaler, source, strides, 0, w.height, w.frame->data, w.frame->linesize);
    w.frame->pts = w.nextPts++;
    avcodec_send_frame(w.codec, w.frame);
    w.writePackets();
}

void MjpegAviWriter::finish() {
    Impl& w = *impl_;
    if (w.finished)
        return;
    w.finished = true;
    avcodec_send_frame(w.codec, nullptr);
    w.writePackets();
    av_write_trailer(w.format);
}
