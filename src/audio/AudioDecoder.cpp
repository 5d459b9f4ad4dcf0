#include "audio/AudioDecoder.h"

#include "audio/MusicStream.h"
#include "media/FFmpegHandles.h"
#include "media/MediaInput.h"
#include "platform/Debug.h"
#include "platform/Error.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>

namespace {

// Hands interleaved stereo frames on, up to a limit; mono is doubled on the way.
class FrameSink {
public:
    FrameSink(DecodedFrames& target, uint64_t maxFrames) : target_(target), maxFrames_(maxFrames) {}

    // Appends `frames` frames of `channels` (1 or 2) interleaved channels.
    void append(const float* data, uint64_t frames, int channels) {
        const uint64_t room = maxFrames_ - taken_;
        if (frames > room) {
            frames = room;
            truncated_ = true;
        }
        taken_ += frames;
        if (channels == 2) {
            target_.take(data, frames);
            return;
        }
        for (uint64_t done = 0; done < frames;) {
            const uint64_t run = std::min<uint64_t>(frames - done, doubled_.size() / 2);
            for (uint64_t i = 0; i < run; ++i)
                doubled_[2 * i] = doubled_[2 * i + 1] = data[done + i];
            target_.take(doubled_.data(), run);
            done += run;
        }
    }
    bool full() const { return truncated_ || taken_ >= maxFrames_; }
    bool truncated() const { return truncated_; }
    uint64_t taken() const { return taken_; }
    uint64_t limit() const { return maxFrames_; }

private:
    DecodedFrames& target_;
    uint64_t maxFrames_;
    uint64_t taken_ = 0;
    bool truncated_ = false;
    std::array<float, 2 * 4096> doubled_;
};

// Converts decoded frames of any format, rate and layout to 44.1 kHz float: mono stays mono
// (the sink doubles it at full level), everything else is mixed to stereo. Reconfigures itself
// when a stream changes its parameters midway.
class StereoConverter {
public:
    ~StereoConverter() { av_channel_layout_uninit(&inLayout_); }

    // Returns false when the frame cannot be converted (it is then skipped).
    bool convert(const AVFrame& frame, FrameSink& sink) {
        if (!matches(frame) && !configure(frame, sink))
            return false;
        // Fed in slices, so that a very low source rate cannot blow one frame up into a huge
        // buffer.
        const auto format = AVSampleFormat(frame.format);
        const int channels = frame.ch_layout.nb_channels;
        const bool planar = av_sample_fmt_is_planar(format);
        const size_t bytesPerFrame =
            size_t(av_get_bytes_per_sample(format)) * (planar ? 1 : channels);
        const int slice = int(
            std::max<int64_t>(1, int64_t(maxSliceOutput) * frame.sample_rate / musicSampleRate));
        slicePlanes_.resize(planar ? channels : 1);
        for (int done = 0; done < frame.nb_samples && !sink.full(); done += slice) {
            for (size_t plane = 0; plane < slicePlanes_.size(); ++plane)
                slicePlanes_[plane] = frame.extended_data[plane] + size_t(done) * bytesPerFrame;
            if (!run(slicePlanes_.data(), std::min(slice, frame.nb_samples - done), sink))
                return false;
        }
        return true;
    }

    // Hands over what the resampler still holds.
    void flush(FrameSink& sink) {
        if (!resampler_)
            return;
        while (!sink.full() && swr_get_out_samples(resampler_.get(), 0) > 0)
            if (!run(nullptr, 0, sink) || lastProduced_ == 0)
                break;
    }

private:
    bool matches(const AVFrame& frame) const {
        return resampler_ && frame.format == inFormat_ && frame.sample_rate == inRate_ &&
               av_channel_layout_compare(&frame.ch_layout, &inLayout_) == 0;
    }

    bool configure(const AVFrame& frame, FrameSink& sink) {
        flush(sink);
        resampler_.reset();
        av_channel_layout_uninit(&inLayout_);
        if (frame.sample_rate <= 0 || frame.ch_layout.nb_channels <= 0)
            return false;
        if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&inLayout_, frame.ch_layout.nb_channels);
        else if (av_channel_layout_copy(&inLayout_, &frame.ch_layout) < 0)
            return false;
        outChannels_ = inLayout_.nb_channels == 1 ? 1 : 2;
        AVChannelLayout outLayout;
        av_channel_layout_default(&outLayout, outChannels_);
        SwrContext* raw = nullptr;
        const int status =
            swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_FLT, musicSampleRate, &inLayout_,
                                AVSampleFormat(frame.format), frame.sample_rate, 0, nullptr);
        ffmpeg::ResamplerPtr resampler(raw);
        if (status < 0 || swr_init(resampler.get()) < 0) {
            av_channel_layout_uninit(&inLayout_);
            return false;
        }
        resampler_ = std::move(resampler);
        // Compare against the frame's own description next time, so an unspecified layout
        // does not reconfigure on every frame.
        av_channel_layout_uninit(&inLayout_);
        av_channel_layout_copy(&inLayout_, &frame.ch_layout);
        inFormat_ = frame.format;
        inRate_ = frame.sample_rate;
        return true;
    }

    bool run(const uint8_t** input, int inputFrames, FrameSink& sink) {
        const int capacity = swr_get_out_samples(resampler_.get(), inputFrames);
        if (capacity < 0)
            return false;
        buffer_.resize(size_t(capacity + 1) * size_t(outChannels_));
        uint8_t* output = reinterpret_cast<uint8_t*>(buffer_.data());
        const int produced =
            swr_convert(resampler_.get(), &output, capacity + 1, input, inputFrames);
        if (produced < 0)
            return false;
        lastProduced_ = produced;
        sink.append(buffer_.data(), uint64_t(produced), outChannels_);
        return true;
    }

    ffmpeg::ResamplerPtr resampler_;
    AVChannelLayout inLayout_{};
    int inFormat_ = -1;
    int inRate_ = 0;
    int outChannels_ = 2;
    static constexpr int maxSliceOutput = 16384;

    std::vector<float> buffer_;
    std::vector<const uint8_t*> slicePlanes_;
    int lastProduced_ = 0;
};

// Frames the container announces, as a hint for reserving memory (0 when unknown).
uint64_t announcedFrames(const AVFormatContext& format, const AVStream& stream) {
    double seconds = 0.0;
    if (stream.duration > 0 && stream.time_base.den > 0)
        seconds = double(stream.duration) * av_q2d(stream.time_base);
    else if (format.duration > 0)
        seconds = double(format.duration) / AV_TIME_BASE;
    if (!(seconds > 0.0) || seconds > 1e7)
        return 0;
    return uint64_t(seconds * musicSampleRate) + 4096;
}

// Receives every frame the decoder has ready and converts it into the sink.
void drainDecoder(AVCodecContext& decoder, AVFrame& frame, StereoConverter& converter,
                  FrameSink& sink) {
    while (!sink.full() && avcodec_receive_frame(&decoder, &frame) >= 0) {
        converter.convert(frame, sink);
        av_frame_unref(&frame);
    }
}

} // namespace

struct AudioFileDecoder::Impl {
    Impl(const std::string& path, DecodedFrames& into, uint64_t maxFrames);

    std::string path;
    ffmpeg::InputPtr format;
    int streamIndex = -1;
    ffmpeg::CodecPtr decoder;
    FrameSink sink;
    StereoConverter converter;
    ffmpeg::PacketPtr packet;
    ffmpeg::FramePtr frame;
    bool ended = false;
};

AudioFileDecoder::Impl::Impl(const std::string& path, DecodedFrames& into, uint64_t maxFrames)
    : path(path), sink(into, maxFrames) {
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored))
        raise("Music file %s not found", path.c_str());
    if (!std::filesystem::is_regular_file(path, ignored))
        raise("Music file %s is not a regular file", path.c_str());

    ffmpeg::QuietLog quiet;
    int status = 0;
    format = ffmpeg::openMediaFile(path, status);
    if (!format)
        raise("Music file %s cannot be read: %s", path.c_str(), ffmpeg::errorText(status).c_str());
    // Probing may fail on a damaged file whose streams are still known from its header; the
    // stream lookup below decides.
    avformat_find_stream_info(format.get(), nullptr);

    const AVCodec* codec = nullptr;
    streamIndex = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (streamIndex < 0 || !codec)
        raise("Music file %s has no audio stream that can be decoded", path.c_str());
    const AVStream& stream = *format->streams[streamIndex];

    decoder.reset(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), stream.codecpar) < 0 ||
        avcodec_open2(decoder.get(), codec, nullptr) < 0)
        raise("Music file %s: its audio codec cannot be opened", path.c_str());

    into.expect(std::min(announcedFrames(*format, stream), maxFrames));
    packet.reset(av_packet_alloc());
    frame.reset(av_frame_alloc());
    if (!packet || !frame)
        raise("Music file %s: out of memory", path.c_str());
}

AudioFileDecoder::AudioFileDecoder(const std::string& path, DecodedFrames& into, uint64_t maxFrames)
    : impl_(std::make_unique<Impl>(path, into, maxFrames)) {}

AudioFileDecoder::~AudioFileDecoder() = default;

bool AudioFileDecoder::decodeMore() {
    Impl& d = *impl_;
    if (d.ended)
        return false;
    ffmpeg::QuietLog quiet;
    // Damaged packets are skipped; a read error ends the stream like its end does.
    while (!d.sink.full() && av_read_frame(d.format.get(), d.packet.get()) >= 0) {
        const bool ours = d.packet->stream_index == d.streamIndex;
        if (ours && avcodec_send_packet(d.decoder.get(), d.packet.get()) >= 0)
            drainDecoder(*d.decoder, *d.frame, d.converter, d.sink);
        av_packet_unref(d.packet.get());
        if (ours)
            return true;
    }
    if (!d.sink.full()) {
        avcodec_send_packet(d.decoder.get(), nullptr);
        drainDecoder(*d.decoder, *d.frame, d.converter, d.sink);
        d.converter.flush(d.sink);
    }
    d.ended = true;
    if (d.sink.taken() == 0)
        raise("Music file %s holds no decodable sound", d.path.c_str());
    if (d.sink.truncated())
        debugLine("Music file %s is longer than %.0f minutes; only its start is played",
                  d.path.c_str(), double(d.sink.limit()) / musicSampleRate / 60.0);
    return false;
}

uint64_t AudioFileDecoder::decodedFrames() const { return impl_->sink.taken(); }

void decodeAudio(const std::string& path, DecodedFrames& into, uint64_t maxFrames) {
    AudioFileDecoder decoder(path, into, maxFrames);
    while (decoder.decodeMore()) {
    }
}

MusicSamples decodeAudioFile(const std::string& path, uint64_t maxFrames, bool keepSound) {
    struct Store final : DecodedFrames {
        explicit Store(bool keepSound) : samples(keepSound) {}
        void expect(uint64_t frames) override { samples.reserve(frames); }
        void take(const float* interleavedStereo, uint64_t frames) override {
            samples.append(interleavedStereo, frames);
        }
        MusicSamples samples;
    } store(keepSound);
    const auto started = std::chrono::steady_clock::now();
    decodeAudio(path, store, maxFrames);
    store.samples.shrinkToFit();
    debugLine("Decoded the music %s: %.1f s in %.0f ms", path.c_str(),
              double(store.samples.frames()) / musicSampleRate,
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                  .count());
    return std::move(store.samples);
}
