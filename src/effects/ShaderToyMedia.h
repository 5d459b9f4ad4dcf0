#pragma once
// The files that a ShaderToy entry's channels show: images, cube maps of six images, videos and
// sound files. Each is loaded once for all the channels that sample it alike, and a frame shows
// each at the entry's time.

#include "effects/EffectContext.h"
#include "effects/ShaderToySource.h"
#include "media/VideoDecoder.h"
#include "render/ImageFile.h"
#include "render/ShaderInputs.h"
#include "render/Texture.h"

#include <memory>
#include <string>
#include <vector>

// What a channel shows in the frame: its texture, the texture's kind, and its size in pixels.
struct ChannelPicture {
    GLenum target = GL_TEXTURE_2D;
    GLuint texture = 0;
    float width = 0, height = 0;
};

class ShaderToyMedia {
public:
    ShaderToyMedia(ShowFiles& files, SoundFiles* sounds) : files_(files), soundFiles_(sounds) {}
    ~ShaderToyMedia();
    ShaderToyMedia(const ShaderToyMedia&) = delete;
    ShaderToyMedia& operator=(const ShaderToyMedia&) = delete;

    // Loads the image, cube map, video or sound file that the channel names, unless it was loaded
    // for a channel that samples it alike; returns its index among the files of its kind. What
    // cannot be loaded adds a message at the channel's place to `problems` and shows nothing.
    int load(const shadertoy::Channel& channel, std::vector<std::string>& problems);

    // Brings the videos and the sounds to the time, seconds into the entry. Nothing is decoded or
    // analysed for pictures that no one sees.
    void showTime(double seconds, bool picturesUnseen);

    ChannelPicture picture(shadertoy::ChannelKind kind, int index) const;
    // Where a video channel is in its video, seconds; the entry's `seconds` for other channels.
    float channelSeconds(shadertoy::ChannelKind kind, int index, float seconds) const;

private:
    struct Texture {
        std::string key; // the file and how it is sampled
        CTexture name;
        GLenum target = GL_TEXTURE_2D;
        int width = 0, height = 0;
        std::vector<PictureCharge> charges; // its pictures against the show's budget
    };
    struct Video {
        std::string path;
        std::unique_ptr<VideoDecoder> decoder;
        CTexture texture;
        int shownFrame = -1;
        float seconds = 0; // where the video is in this frame
    };
    struct Sound {
        std::string path;
        std::unique_ptr<SoundTrack> track;
        SoundTexture texture;
        float spectrum[spectrumTextureBins] = {};
        float waveform[soundTextureWidth] = {};
    };

    ShowFiles& files_;
    SoundFiles* soundFiles_;
    std::vector<std::unique_ptr<Texture>> textures_; // images and cube maps
    std::vector<std::unique_ptr<Video>> videos_;
    std::vector<std::unique_ptr<Sound>> soundChannels_;

    int loadTexture(const shadertoy::Channel& channel, std::vector<std::string>& problems);
    // The picture, deep or not, opened through the show's files; `unread` says why there is none.
    DecodedImage decodePicture(const std::string& path, std::string& unread);
    void loadImage(Texture& texture, const shadertoy::Channel& channel,
                   std::vector<std::string>& problems);
    void loadCube(Texture& texture, const shadertoy::Channel& channel,
                  std::vector<std::string>& problems);
    int loadVideo(const shadertoy::Channel& channel, std::vector<std::string>& problems);
    int loadSound(const shadertoy::Channel& channel, std::vector<std::string>& problems);
};
