#include "audio/AudioEncoder.h"

#include "platform/Error.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <memory>

namespace {

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

// Sends one frame (or nullptr to flush) and writes every packet the encoder has ready.
void encodeAndWrite(AVCodecContext* codec, AVFormatContext* output, AVStream* stream,
                    AVFrame* frame, AVPacket* packet, const std::string& path) {
    if (avcodec_send_frame(codec, frame) < 0)
        raise("Cannot encode the music for %s", path.c_str());
    while (true) {
        int result = avcodec_receive_packet(codec, packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return;
        if (result < 0)
            raise("Cannot encode the music for %s", path.c_str());
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        if (av_interleaved_write_frame(output, packet) < 0)
            raise("Cannot write %s", path.c_str());
    }
}

} // namespace

void encodeOggVorbis(const std::string& path, const std::vector<float>& interleavedStereo,
                     int sampleRate, float quality) {
    AVFormatContext* rawOutput = nullptr;
    if (avformat_alloc_output_context2(&rawOutput, nullptr, "ogg", path.c_str()) < 0)
        raise("Cannot create %s", path.c_str());
    std::unique_ptr<AVFormatContext, OutputDeleter> output(rawOutput);
    output->flags |= AVFMT_FLAG_BITEXACT;

    const AVCodec* encoder = avcodec_find_encoder_by_name("libvorbis");
    if (!encoder)
        raise("No Vorbis encoder for %s", path.c_str());
    std::unique_ptr<AVCodecContext, CodecDeleter> codec(avcodec_alloc_context3(encoder));
    AVStream* stream = avformat_new_stream(output.get(), nullptr);
    if (!codec || !stream)
        raise("Cannot create %s", path.c_str());
    codec->sample_rate = sampleRate;
    codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&codec->ch_layout, 2);
    codec->time_base = AVRational{1, sampleRate};
    codec->flags |= AV_CODEC_FLAG_QSCALE | AV_CODEC_FLAG_BITEXACT;
    codec->global_quality = int(quality * FF_QP2LAMBDA);
    if (output->oformat->flags & AVFMT_GLOBALHEADER)
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(codec.get(), encoder, nullptr) < 0)
        raise("Cannot open the Vorbis encoder for %s", path.c_str());
    if (avcodec_parameters_from_context(stream->codecpar, codec.get()) < 0)
        raise("Cannot create %s", path.c_str());
    stream->time_base = codec->time_base;

    if (avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
        raise("Cannot write %s", path.c_str());
    if (avformat_write_header(output.get(), nullptr) < 0)
        raise("Cannot write %s", path.c_str());

    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    if (!frame || !packet)
        raise("Cannot encode the music for %s", path.c_str());
    const int frameSize = codec->frame_size > 0 ? codec->frame_size : 1024;
    const size_t totalFrames = interleavedStereo.size() / 2;
    for (size_t first = 0; first < totalFrames; first += frameSize) {
        const int count = int(std::min<size_t>(frameSize, totalFrames - first));
        frame->nb_samples = count;
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->sample_rate = sampleRate;
        av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout);
        if (av_frame_get_buffer(frame.get(), 0) < 0)
            raise("Cannot encode the music for %s", path.c_str());
        auto* left = reinterpret_cast<float*>(frame->data[0]);
        auto* right = reinterpret_cast<float*>(frame->data[1]);
        for (int i = 0; i < count; ++i) {
            left[i] = interleavedStereo[(first + i) * 2];
            right[i] = interleavedStereo[(first + i) * 2 + 1];
        }
        frame->pts = int64_t(first);
        encodeAndWrite(codec.get(), output.get(), stream, frame.get(), packet.get(), path);
        av_frame_unref(frame.get());
    }
    encodeAndWrite(codec.get(), output.get(), stream, nullptr, packet.get(), path);
    if (av_write_trailer(output.get()) < 0)
        raise("Cannot write %s", path.c_str());
}
