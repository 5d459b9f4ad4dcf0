#include "audio/AudioEncoder.h"

#include "media/FFmpegHandles.h"
#include "platform/Error.h"

#include <algorithm>
#include <filesystem>

namespace {

struct FormatChoice {
    const char* encoderName; // preferred encoder, or nullptr
    AVCodecID codecId;       // otherwise the codec's default encoder
    const char* container;
    int64_t bitRate;
};

FormatChoice choiceFor(AudioFileFormat format) {
    switch (format) {
    case AudioFileFormat::OggVorbis:
        return {"libvorbis", AV_CODEC_ID_VORBIS, "ogg", 192000};
    case AudioFileFormat::Flac:
        return {nullptr, AV_CODEC_ID_FLAC, "flac", 0};
    case AudioFileFormat::Mp3:
        return {"libmp3lame", AV_CODEC_ID_MP3, "mp3", 192000};
    case AudioFileFormat::Wav:
        break;
    }
    return {nullptr, AV_CODEC_ID_PCM_S16LE, "wav", 0};
}

// The encoder's own float format when it has one, else its first.
AVSampleFormat sampleFormatFor(const AVCodec& codec) {
    if (!codec.sample_fmts)
        return AV_SAMPLE_FMT_FLT;
    for (const AVSampleFormat* format = codec.sample_fmts; *format != AV_SAMPLE_FMT_NONE; ++format)
        if (*format == AV_SAMPLE_FMT_FLTP || *format == AV_SAMPLE_FMT_FLT)
            return *format;
    return codec.sample_fmts[0];
}

class Encoder {
public:
    // `opened` turns true once the file exists on disk.
    Encoder(const std::string& path, AudioFileFormat format, int sampleRate, bool& opened)
        : path_(path) {
        const FormatChoice choice = choiceFor(format);
        const AVCodec* codec =
            choice.encoderName ? avcodec_find_encoder_by_name(choice.encoderName) : nullptr;
        if (!codec)
            codec = avcodec_find_encoder(choice.codecId);
        if (!codec)
            fail("no encoder for this format");

        AVFormatContext* rawOutput = nullptr;
        check(avformat_alloc_output_context2(&rawOutput, nullptr, choice.container, path.c_str()));
        output_.reset(rawOutput);
        // Same samples, same bytes: no random stream serials, no version tags.
        output_->flags |= AVFMT_FLAG_BITEXACT;
        stream_ = avformat_new_stream(output_.get(), nullptr);
        codec_.reset(avcodec_alloc_context3(codec));
        if (!stream_ || !codec_)
            fail("out of memory");

        codec_->sample_fmt = sampleFormatFor(*codec);
        codec_->sample_rate = sampleRate;
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        check(av_channel_layout_copy(&codec_->ch_layout, &stereo));
        codec_->time_base = AVRational{1, sampleRate};
        codec_->bit_rate = choice.bitRate;
        codec_->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
        codec_->flags |= AV_CODEC_FLAG_BITEXACT;
        if (output_->oformat->flags & AVFMT_GLOBALHEADER)
            codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        check(avcodec_open2(codec_.get(), codec, nullptr));
        check(avcodec_parameters_from_context(stream_->codecpar, codec_.get()));
        stream_->time_base = codec_->time_base;

        SwrContext* rawResampler = nullptr;
        check(swr_alloc_set_opts2(&rawResampler, &stereo, codec_->sample_fmt, sampleRate, &stereo,
                                  AV_SAMPLE_FMT_FLT, sampleRate, 0, nullptr));
        resampler_.reset(rawResampler);
        check(swr_init(resampler_.get()));

        const bool variable = codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE;
        frameSize_ = codec_->frame_size > 0 && !variable ? codec_->frame_size : 1024;
        padLastFrame_ = !variable && !(codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) &&
                        codec_->frame_size > 0;

        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        if (!frame_ || !packet_)
            fail("out of memory");
        frame_->format = codec_->sample_fmt;
        frame_->sample_rate = sampleRate;
        frame_->nb_samples = frameSize_;
        check(av_channel_layout_copy(&frame_->ch_layout, &stereo));
        check(av_frame_get_buffer(frame_.get(), 0));

        check(avio_open(&output_->pb, path.c_str(), AVIO_FLAG_WRITE));
        opened = true;
        check(avformat_write_header(output_.get(), nullptr));
    }

    void write(const std::vector<float>& samples) {
        const int64_t total = int64_t(samples.size() / 2);
        std::vector<float> padded;
        for (int64_t done = 0; done < total;) {
            const int frames = int(std::min<int64_t>(frameSize_, total - done));
            const float* source = samples.data() + 2 * done;
            int encoded = frames;
            if (frames < frameSize_ && padLastFrame_) {
                padded.assign(size_t(frameSize_) * 2, 0.0f);
                std::copy(source, source + 2 * frames, padded.begin());
                source = padded.data();
                encoded = frameSize_;
            }
            encodeFrame(source, encoded, done);
            done += frames;
        }
        send(nullptr);
        check(av_write_trailer(output_.get()));
    }

private:
    void encodeFrame(const float* interleaved, int frames, int64_t firstFrame) {
        check(av_frame_make_writable(frame_.get()));
        frame_->nb_samples = frames;
        const uint8_t* input = reinterpret_cast<const uint8_t*>(interleaved);
        const int converted = swr_convert(resampler_.get(), frame_->data, frames, &input, frames);
        check(converted);
        frame_->pts = firstFrame;
        send(frame_.get());
    }

    void send(const AVFrame* frame) {
        check(avcodec_send_frame(codec_.get(), frame));
        int status;
        while ((status = avcodec_receive_packet(codec_.get(), packet_.get())) >= 0) {
            av_packet_rescale_ts(packet_.get(), codec_->time_base, stream_->time_base);
            packet_->stream_index = stream_->index;
            check(av_interleaved_write_frame(output_.get(), packet_.get()));
        }
        if (status != AVERROR(EAGAIN) && status != AVERROR_EOF)
            check(status);
    }

    int check(int status) {
        if (status < 0)
            fail(ffmpeg::errorText(status));
        return status;
    }

    [[noreturn]] void fail(const std::string& reason) {
        raise("Unable to write %s: %s", path_.c_str(), reason.c_str());
    }

    std::string path_;
    ffmpeg::OutputPtr output_;
    AVStream* stream_ = nullptr;
    ffmpeg::CodecPtr codec_;
    ffmpeg::ResamplerPtr resampler_;
    ffmpeg::FramePtr frame_;
    ffmpeg::PacketPtr packet_;
    int frameSize_ = 1024;
    bool padLastFrame_ = false;
};

} // namespace

void writeAudioFile(const std::string& path, AudioFileFormat format,
                    const std::vector<float>& interleavedStereo, int sampleRate) {
    if (sampleRate <= 0)
        raise("Unable to write %s: sample rate %d", path.c_str(), sampleRate);
    bool opened = false;
    try {
        ffmpeg::QuietLog quiet;
        Encoder encoder(path, format, sampleRate, opened);
        encoder.write(interleavedStereo);
    } catch (const ShowError&) {
        if (opened) {
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
        }
        throw;
    }
}
