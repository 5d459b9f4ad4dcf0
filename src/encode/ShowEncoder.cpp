#include "encode/ShowEncoder.h"

#include "audio/MusicStream.h"
#include "media/FFmpegHandles.h"
#include "platform/Error.h"
#include "platform/StopSignals.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace {

using ffmpeg::ScalerPtr;

constexpr int audioBitRate = 192000;
// Frames x264 looks ahead for its rate control. Every one of them is held in memory (about 3 MB
// at 1280x720): 10 instead of the preset's 30 keeps 60 MB less at that size, for a file within
// 1 % of the same size.
constexpr int encoderLookAhead = 10;
// x264's own choice on two cores is three frame threads, each holding frames of its own. Two
// encode 1280x720 at about 60 frames per second on this kind of machine, well ahead of drawing,
// and keep 10 MB less.
constexpr int encoderThreads = 2;
// With frame threads x264 also runs its look-ahead on a thread of its own, which buffers frames
// beyond the look-ahead; without that thread it makes the same decisions and writes the same
// file, and holds 10 MB less at 1280x720.
constexpr const char* encoderParameters = "sync-lookahead=0";

} // namespace

std::string temporaryNameFor(const std::string& path) {
    const std::filesystem::path target(path);
    std::string name = ".";
    name += target.stem().string();
    name += ".partial-" + std::to_string(getpid());
    name += target.extension().string();
    return (target.parent_path() / name).string();
}

struct ShowEncoder::Impl {
    std::string path;
    std::string temporary;
    std::unique_ptr<PartialFile> partial; // until it is renamed into place
    VideoFormat format;
    bool fileCreated = false;
    bool headerWritten = false;
    bool finished = false;

    ffmpeg::OutputPtr output;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    ffmpeg::CodecPtr video;
    ffmpeg::CodecPtr audio;
    ScalerPtr scaler;
    ffmpeg::FramePtr picture;
    ffmpeg::FramePtr sound;
    ffmpeg::PacketPtr packet;

    MusicStretch music; // owned by the caller
    std::vector<float> interleaved;
    uint64_t samplesWritten = 0;
    int64_t framesWritten = 0;
    bool padLastAudioFrame = false;

    [[noreturn]] void fail(const std::string& reason) const {
        raise("Unable to write %s: %s", path.c_str(), reason.c_str());
    }
    int check(int status) const {
        if (status < 0)
            fail(ffmpeg::errorText(status));
        return status;
    }

    void open();
    void writeHeader();
    void openVideo();
    void copyVideoStream(const AVStream& from, const std::string& segment);
    void encodeSoundUntilFrames();
    void openAudio();
    void encodeAudioUntil(uint64_t sampleEnd, bool atEnd);
    void send(AVCodecContext& codec, AVStream& stream, const AVFrame* frame);
};

void ShowEncoder::Impl::open() {
    const AVOutputFormat* container = av_guess_format(nullptr, path.c_str(), nullptr);
    if (!container)
        raise("Unable to write %s: FFmpeg knows no video format by this file name (use .mp4, .mkv "
              "or .mov)",
              path.c_str());
    if (avformat_query_codec(container, AV_CODEC_ID_H264, FF_COMPLIANCE_NORMAL) != 1 ||
        (format.sound &&
         avformat_query_codec(container, AV_CODEC_ID_AAC, FF_COMPLIANCE_NORMAL) != 1))
        raise("Unable to write %s: the %s format cannot hold H.264 video with AAC sound (use .mp4, "
              ".mkv or .mov)",
              path.c_str(), container->name);
    AVFormatContext* raw = nullptr;
    check(avformat_alloc_output_context2(&raw, container, nullptr, temporary.c_str()));
    output.reset(raw);
    output->flags |= AVFMT_FLAG_BITEXACT;
    packet.reset(av_packet_alloc());
    if (!packet)
        fail("out of memory");
    if (format.copiedVideo) {
        // Its parameters come with the first segment.
        videoStream = avformat_new_stream(output.get(), nullptr);
        if (!videoStream)
            fail("out of memory");
    } else
        openVideo();
    if (format.sound)
        openAudio();
    check(avio_open(&output->pb, temporary.c_str(), AVIO_FLAG_WRITE));
    fileCreated = true;
    if (!format.copiedVideo)
        writeHeader();
}

void ShowEncoder::Impl::writeHeader() {
    headerWritten = true;
    AVDictionary* options = nullptr;
    // Index at the front of MP4 and MOV files, so players can start before the whole file is read.
    av_dict_set(&options, "movflags", "+faststart", 0);
    const int status = avformat_write_header(output.get(), &options);
    av_dict_free(&options);
    check(status);
}

void ShowEncoder::Impl::openVideo() {
    // Lossless pictures stay in RGB: any conversion to YUV would round them.
    const bool lossless = format.quality == 0;
    const char* encoderName = lossless ? "libx264rgb" : "libx264";
    const AVPixelFormat pixels = lossless ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_YUV420P;
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName);
    if (!codec)
        raise("Unable to write %s: this FFmpeg has no H.264 encoder (%s)", path.c_str(),
              encoderName);
    videoStream = avformat_new_stream(output.get(), nullptr);
    video.reset(avcodec_alloc_context3(codec));
    if (!videoStream || !video)
        fail("out of memory");
    video->width = format.width;
    video->height = format.height;
    video->pix_fmt = pixels;
    video->time_base = AVRational{1, format.fps};
    video->framerate = AVRational{format.fps, 1};
    video->gop_size = format.fps * 2;
    if (!lossless) {
        video->colorspace = AVCOL_SPC_SMPTE170M;
        video->color_range = AVCOL_RANGE_MPEG;
    }
    video->flags |= AV_CODEC_FLAG_BITEXACT;
    if (output->oformat->flags & AVFMT_GLOBALHEADER)
        video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", format.preset.c_str(), 0);
    if (lossless)
        av_dict_set_int(&options, "qp", 0, 0);
    else
        av_dict_set_int(&options, "crf", format.quality, 0);
    av_dict_set_int(&options, "rc-lookahead", encoderLookAhead, 0);
    av_dict_set(&options, "x264-params", encoderParameters, 0);
    video->thread_count = encoderThreads;
    const int status = avcodec_open2(video.get(), codec, &options);
    av_dict_free(&options);
    check(status);
    check(avcodec_parameters_from_context(videoStream->codecpar, video.get()));
    videoStream->time_base = video->time_base;
    videoStream->avg_frame_rate = video->framerate;

    picture.reset(av_frame_alloc());
    if (!picture)
        fail("out of memory");
    picture->format = video->pix_fmt;
    picture->width = format.width;
    picture->height = format.height;
    check(av_frame_get_buffer(picture.get(), 0));
    scaler.reset(sws_getContext(
        format.width, format.height, AV_PIX_FMT_RGBA, format.width, format.height, pixels,
        SWS_BICUBIC | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr, nullptr));
    if (!scaler)
        fail(std::string("no colour conversion to ") + av_get_pix_fmt_name(pixels));
}

void ShowEncoder::Impl::openAudio() {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!codec)
        raise("Unable to write %s: this FFmpeg has no AAC encoder", path.c_str());
    audioStream = avformat_new_stream(output.get(), nullptr);
    audio.reset(avcodec_alloc_context3(codec));
    if (!audioStream || !audio)
        fail("out of memory");
    audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
    audio->sample_rate = musicSampleRate;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    check(av_channel_layout_copy(&audio->ch_layout, &stereo));
    audio->time_base = AVRational{1, musicSampleRate};
    audio->bit_rate = audioBitRate;
    audio->flags |= AV_CODEC_FLAG_BITEXACT;
    if (output->oformat->flags & AVFMT_GLOBALHEADER)
        audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    check(avcodec_open2(audio.get(), codec, nullptr));
    check(avcodec_parameters_from_context(audioStream->codecpar, audio.get()));
    audioStream->time_base = audio->time_base;
    padLastAudioFrame = !(codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);

    sound.reset(av_frame_alloc());
    if (!sound)
        fail("out of memory");
    sound->format = audio->sample_fmt;
    sound->sample_rate = musicSampleRate;
    sound->nb_samples = audio->frame_size > 0 ? audio->frame_size : 1024;
    check(av_channel_layout_copy(&sound->ch_layout, &stereo));
    check(av_frame_get_buffer(sound.get(), 0));
}

void ShowEncoder::Impl::send(AVCodecContext& codec, AVStream& stream, const AVFrame* frame) {
    check(avcodec_send_frame(&codec, frame));
    int status;
    while ((status = avcodec_receive_packet(&codec, packet.get())) >= 0) {
        av_packet_rescale_ts(packet.get(), codec.time_base, stream.time_base);
        packet->stream_index = stream.index;
        check(av_interleaved_write_frame(output.get(), packet.get()));
    }
    if (status != AVERROR(EAGAIN) && status != AVERROR_EOF)
        check(status);
}

// Encodes the sound up to `sampleEnd`: whole audio frames only, unless this is the end.
void ShowEncoder::Impl::encodeAudioUntil(uint64_t sampleEnd, bool atEnd) {
    const int frameSize = audio->frame_size > 0 ? audio->frame_size : 1024;
    while (samplesWritten < sampleEnd) {
        const int count = int(std::min<uint64_t>(frameSize, sampleEnd - samplesWritten));
        if (count < frameSize && !atEnd)
            return;
        check(av_frame_make_writable(sound.get()));
        const int encoded = padLastAudioFrame ? frameSize : count;
        sound->nb_samples = encoded;
        const uint64_t have =
            std::min<uint64_t>(count, music.frames - std::min(music.frames, samplesWritten));
        interleaved.assign(size_t(encoded) * 2, 0.0f);
        if (have > 0)
            music.music->readStereo(music.first + samplesWritten, have, interleaved.data());
        auto* leftChannel = reinterpret_cast<float*>(sound->data[0]);
        auto* rightChannel = reinterpret_cast<float*>(sound->data[1]);
        for (int i = 0; i < encoded; ++i) {
            leftChannel[i] = interleaved[2 * size_t(i)];
            rightChannel[i] = interleaved[2 * size_t(i) + 1];
        }
        sound->pts = int64_t(samplesWritten);
        send(*audio, *audioStream, sound.get());
        samplesWritten += uint64_t(count);
    }
}

ShowEncoder::ShowEncoder(const std::string& path, const VideoFormat& format)
    : impl_(std::make_unique<Impl>()) {
    impl_->path = path;
    impl_->temporary = temporaryNameFor(path);
    impl_->partial = std::make_unique<PartialFile>(impl_->temporary);
    impl_->format = format;
    ffmpeg::QuietLog quiet;
    try {
        impl_->open();
    } catch (...) {
        impl_.reset(); // the destructor would not run: clean up here
        std::error_code ignored;
        std::filesystem::remove(temporaryNameFor(path), ignored);
        throw;
    }
}

ShowEncoder::~ShowEncoder() {
    if (!impl_ || impl_->finished)
        return;
    const std::string temporary = impl_->temporary;
    const bool created = impl_->fileCreated;
    impl_.reset();
    if (created) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
    }
}

void ShowEncoder::setAudio(const MusicStretch& sound) { impl_->music = sound; }

void ShowEncoder::writeFrame(const uint8_t* rgbaBottomUp) {
    Impl& e = *impl_;
    e.check(av_frame_make_writable(e.picture.get()));
    // OpenGL rows run bottom up: start at the last row and step backwards.
    const int stride = e.format.width * 4;
    const uint8_t* source[1] = {rgbaBottomUp + size_t(stride) * size_t(e.format.height - 1)};
    const int sourceStride[1] = {-stride};
    sws_scale(e.scaler.get(), source, sourceStride, 0, e.format.height, e.picture->data,
              e.picture->linesize);
    e.picture->pts = e.framesWritten++;
    e.send(*e.video, *e.videoStream, e.picture.get());
    e.encodeSoundUntilFrames();
}

void ShowEncoder::Impl::encodeSoundUntilFrames() {
    if (format.sound)
        encodeAudioUntil(uint64_t(framesWritten) * musicSampleRate / uint64_t(format.fps), false);
}

void ShowEncoder::Impl::copyVideoStream(const AVStream& from, const std::string& segment) {
    const AVCodecParameters& given = *from.codecpar;
    if (!headerWritten) {
        check(avcodec_parameters_copy(videoStream->codecpar, &given));
        videoStream->codecpar->codec_tag = 0;
        videoStream->time_base = AVRational{1, format.fps};
        videoStream->avg_frame_rate = AVRational{format.fps, 1};
        writeHeader();
        return;
    }
    const AVCodecParameters& first = *videoStream->codecpar;
    const bool same =
        given.codec_id == first.codec_id && given.width == first.width &&
        given.height == first.height && given.format == first.format &&
        given.extradata_size == first.extradata_size &&
        (given.extradata_size == 0 ||
         std::equal(given.extradata, given.extradata + given.extradata_size, first.extradata));
    if (!same)
        raise("Segment %s was encoded differently from the first segment", segment.c_str());
}

int64_t ShowEncoder::appendVideoOf(const std::string& segmentFile) {
    Impl& e = *impl_;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, segmentFile.c_str(), nullptr, nullptr) < 0)
        raise("Segment %s cannot be read as a video file", segmentFile.c_str());
    ffmpeg::InputPtr input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0 || input->nb_streams != 1 ||
        input->streams[0]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
        raise("Segment %s is not a video-only segment file", segmentFile.c_str());
    const AVStream& from = *input->streams[0];
    e.copyVideoStream(from, segmentFile);
    const AVRational frameTime{1, e.format.fps};
    int64_t frames = 0;
    int status;
    while ((status = av_read_frame(input.get(), e.packet.get())) >= 0) {
        throwIfStopped("The join was stopped: its video is not written, the segments are kept");
        AVPacket& packet = *e.packet;
        // Times in frames, moved on by the frames before this segment.
        packet.pts = av_rescale_q(packet.pts, from.time_base, frameTime) + e.framesWritten;
        packet.dts = av_rescale_q(packet.dts, from.time_base, frameTime) + e.framesWritten;
        packet.duration = 1;
        const int64_t decodedBy = packet.dts + 1;
        av_packet_rescale_ts(&packet, frameTime, e.videoStream->time_base);
        packet.stream_index = e.videoStream->index;
        packet.pos = -1;
        e.check(av_interleaved_write_frame(e.output.get(), &packet));
        ++frames;
        // The sound goes along with the pictures, so the muxer holds little of either.
        if (e.format.sound && decodedBy > 0)
            e.encodeAudioUntil(uint64_t(decodedBy) * musicSampleRate / uint64_t(e.format.fps),
                               false);
    }
    if (status != AVERROR_EOF)
        raise("Segment %s cannot be read to its end: %s", segmentFile.c_str(),
              ffmpeg::errorText(status).c_str());
    e.framesWritten += frames;
    e.encodeSoundUntilFrames();
    return frames;
}

void ShowEncoder::finish() {
    Impl& e = *impl_;
    const uint64_t fps = uint64_t(e.format.fps);
    if (!e.headerWritten)
        e.fail("no video to write");
    if (e.format.sound)
        e.encodeAudioUntil((uint64_t(e.framesWritten) * musicSampleRate + fps / 2) / fps, true);
    if (!e.format.copiedVideo)
        e.send(*e.video, *e.videoStream, nullptr);
    if (e.format.sound)
        e.send(*e.audio, *e.audioStream, nullptr);
    e.check(av_write_trailer(e.output.get()));
    if (avio_closep(&e.output->pb) < 0)
        e.fail("the file could not be completed");
    std::error_code error;
    std::filesystem::rename(e.temporary, e.path, error);
    if (error)
        e.fail(error.message());
    e.partial.reset();
    e.finished = true;
}

const std::string& ShowEncoder::temporaryPath() const { return impl_->temporary; }
