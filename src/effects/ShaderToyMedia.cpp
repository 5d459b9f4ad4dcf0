#include "effects/ShaderToyMedia.h"

#include "platform/Error.h"
#include "platform/ShowFiles.h"
#include "render/ImageFile.h"
#include "render/Texture.h"

#include <algorithm>
#include <cmath>

namespace {

using shadertoy::ChannelKind;

std::string placeOf(const shadertoy::Channel& channel) {
    return formatText("%s:%d:%d", channel.file.c_str(), channel.line, channel.column);
}

void addProblem(std::vector<std::string>& problems, const shadertoy::Channel& channel,
                const std::string& message) {
    problems.push_back(placeOf(channel) + ": error: " + message);
}

// Turns the rows over: the website's images have their bottom row at texture coordinate 0.
template <class Texel> void turnRowsOver(std::vector<Texel>& texels, int width, int height) {
    const size_t row = size_t(width) * 4;
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(texels.begin() + std::ptrdiff_t(row * size_t(top)),
                         texels.begin() + std::ptrdiff_t(row * size_t(top + 1)),
                         texels.begin() + std::ptrdiff_t(row * size_t(bottom)));
}

// Level 0 of the texture bound to the target's texture (a cube map's face, or a 2-D texture) from
// a picture of floats, kept as 32-bit floats where the driver has them.
void uploadFloats(GLenum target, const DecodedImage& image) {
    glTexImage2D(target, 0, GLEW_ARB_texture_float ? GL_RGBA32F_ARB : GL_RGBA16, image.width,
                 image.height, 0, GL_RGBA, GL_FLOAT, image.floats.data());
}

// A cube map's faces are all of one kind of texel: bytes become floats when any face has floats.
void floatsForAll(std::array<DecodedImage, 6>& faces) {
    if (std::none_of(faces.begin(), faces.end(),
                     [](const auto& face) { return face.rgba.empty(); }))
        return;
    for (DecodedImage& face : faces) {
        if (face.rgba.empty())
            continue;
        face.floats.assign(face.rgba.size(), 0.0f);
        std::transform(face.rgba.begin(), face.rgba.end(), face.floats.begin(),
                       [](unsigned char value) { return float(value) / 255; });
        face.rgba.clear();
    }
}

} // namespace

ShaderToyMedia::~ShaderToyMedia() = default;

int ShaderToyMedia::load(const shadertoy::Channel& channel, std::vector<std::string>& problems) {
    switch (channel.kind) {
    case ChannelKind::Image:
    case ChannelKind::Cube:
        return loadTexture(channel, problems);
    case ChannelKind::Video:
        return loadVideo(channel, problems);
    case ChannelKind::Sound:
        return loadSound(channel, problems);
    default:
        return 0;
    }
}

int ShaderToyMedia::loadTexture(const shadertoy::Channel& channel,
                                std::vector<std::string>& problems) {
    // Sampling settings belong to the texture: channels that sample one file differently have
    // textures of their own.
    const std::string key = formatText("%s|%d|%d|%d", channel.path.c_str(), int(channel.wrap),
                                       int(channel.minFilter), int(channel.magFilter));
    const auto known = std::find_if(textures_.begin(), textures_.end(),
                                    [&](const auto& texture) { return texture->key == key; });
    if (known != textures_.end())
        return int(known - textures_.begin());
    textures_.push_back(std::make_unique<Texture>());
    Texture& texture = *textures_.back();
    texture.key = key;
    if (channel.kind == ChannelKind::Cube)
        loadCube(texture, channel, problems);
    else
        loadImage(texture, channel, problems);
    return int(textures_.size()) - 1;
}

DecodedImage ShaderToyMedia::decodePicture(const std::string& path, std::string& unread) {
    unread = " cannot be read";
    try {
        return decodeDeepImageFile(files_.open(path, ShowFileKind::Picture).c_str(),
                                   largestTextureSide());
    } catch (const FileRefused& refused) {
        unread = " is refused: " + refused.reason();
        return {};
    }
}

void ShaderToyMedia::loadImage(Texture& texture, const shadertoy::Channel& channel,
                               std::vector<std::string>& problems) {
    std::string unread;
    DecodedImage image = decodePicture(channel.path, unread);
    if (image.empty()) {
        addProblem(problems, channel, "the image " + channel.path + unread);
        return;
    }
    texture.charges.push_back(std::move(image.charge));
    texture.width = image.width;
    texture.height = image.height;
    if (image.floats.empty()) {
        turnRowsOver(image.rgba, image.width, image.height);
        texture.name.upload(image.rgba.data(), image.width, image.height, false, GL_RGBA, true);
    } else {
        turnRowsOver(image.floats, image.width, image.height);
        glBindTexture(GL_TEXTURE_2D, texture.name.textureId);
        uploadFloats(GL_TEXTURE_2D, image);
    }
    TextureBinding binding(texture.name);
    glGenerateMipmapEXT(GL_TEXTURE_2D);
}

void ShaderToyMedia::loadCube(Texture& texture, const shadertoy::Channel& channel,
                              std::vector<std::string>& problems) {
    texture.target = GL_TEXTURE_CUBE_MAP;
    std::array<DecodedImage, 6> faces;
    for (size_t face = 0; face < faces.size(); ++face) {
        std::string unread;
        faces[face] = decodePicture(channel.faces[face], unread);
        const DecodedImage& image = faces[face];
        if (image.empty()) {
            addProblem(problems, channel, "the cube map's face " + channel.faces[face] + unread);
            return;
        }
        if (image.width != image.height || image.width != faces[0].width) {
            addProblem(problems, channel,
                       formatText("the cube map's faces are squares of one size: %s is %dx%d, "
                                  "%s %dx%d",
                                  channel.faces[face].c_str(), image.width, image.height,
                                  channel.faces[0].c_str(), faces[0].width, faces[0].height));
            return;
        }
    }
    floatsForAll(faces);
    for (DecodedImage& face : faces)
        texture.charges.push_back(std::move(face.charge));
    texture.width = texture.height = faces[0].width;
    glBindTexture(GL_TEXTURE_CUBE_MAP, texture.name.textureId);
    // A cube map's faces are given top row first, as seen from the cube's centre.
    for (size_t face = 0; face < faces.size(); ++face) {
        const auto target = GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face);
        if (faces[face].floats.empty())
            glTexImage2D(target, 0, GL_RGBA8, texture.width, texture.height, 0, GL_RGBA,
                         GL_UNSIGNED_BYTE, faces[face].rgba.data());
        else
            uploadFloats(target, faces[face]);
    }
    glGenerateMipmapEXT(GL_TEXTURE_CUBE_MAP);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
}

int ShaderToyMedia::loadVideo(const shadertoy::Channel& channel,
                              std::vector<std::string>& problems) {
    const auto known = std::find_if(videos_.begin(), videos_.end(),
                                    [&](const auto& video) { return video->path == channel.path; });
    if (known != videos_.end())
        return int(known - videos_.begin());
    auto video = std::make_unique<Video>();
    video->path = channel.path;
    try {
        video->decoder =
            std::make_unique<VideoDecoder>(files_.open(channel.path, ShowFileKind::Video));
        const std::vector<uint8_t> black(VideoDecoder::frameBytes, 0);
        video->texture.upload(black.data(), VideoDecoder::frameSide, VideoDecoder::frameSide, false,
                              GL_RGBA, true);
    } catch (const ShowError& error) {
        addProblem(problems, channel,
                   "the video " + channel.path + " cannot be played: " + error.what());
    }
    videos_.push_back(std::move(video));
    return int(videos_.size()) - 1;
}

int ShaderToyMedia::loadSound(const shadertoy::Channel& channel,
                              std::vector<std::string>& problems) {
    const auto known = std::find_if(soundChannels_.begin(), soundChannels_.end(),
                                    [&](const auto& sound) { return sound->path == channel.path; });
    if (known != soundChannels_.end())
        return int(known - soundChannels_.begin());
    auto sound = std::make_unique<Sound>();
    sound->path = channel.path;
    try {
        if (!soundFiles_)
            throw ShowError("no sound is decoded in this run");
        sound->track = soundFiles_->open(files_.open(channel.path, ShowFileKind::Music));
        sound->texture.fill(sound->spectrum, sound->waveform);
    } catch (const ShowError& error) {
        addProblem(problems, channel,
                   "the sound " + channel.path + " cannot be played: " + error.what());
    }
    soundChannels_.push_back(std::move(sound));
    return int(soundChannels_.size()) - 1;
}

void ShaderToyMedia::showTime(double seconds, bool picturesUnseen) {
    for (const auto& video : videos_) {
        const int count = video->decoder->frameCount();
        const double rate = video->decoder->framesPerSecond();
        const auto frame = int(int64_t(std::floor(seconds * rate)) % count);
        video->seconds = float(std::fmod(seconds, double(count) / rate));
        if (frame == video->shownFrame)
            continue;
        // A frame whose picture no one sees need not be decoded (the upload stays); the next
        // frame that is seen decodes its own.
        video->shownFrame = picturesUnseen ? -1 : frame;
        static const std::vector<uint8_t> unseen(VideoDecoder::frameBytes, 0);
        const uint8_t* pixels = picturesUnseen ? unseen.data() : video->decoder->frame(frame);
        TextureBinding binding(video->texture);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, VideoDecoder::frameSide, VideoDecoder::frameSide,
                        GL_BGRA, GL_UNSIGNED_BYTE, pixels);
    }
    if (picturesUnseen)
        return;
    for (const auto& sound : soundChannels_) {
        sound->track->analyze(seconds, sound->spectrum, sound->waveform);
        sound->texture.fill(sound->spectrum, sound->waveform);
    }
}

ChannelPicture ShaderToyMedia::picture(ChannelKind kind, int index) const {
    const auto at = size_t(index);
    switch (kind) {
    case ChannelKind::Image:
    case ChannelKind::Cube:
        return {textures_[at]->target, textures_[at]->name.textureId, float(textures_[at]->width),
                float(textures_[at]->height)};
    case ChannelKind::Video:
        return {GL_TEXTURE_2D, videos_[at]->texture.textureId,
                float(videos_[at]->decoder->sourceWidth()),
                float(videos_[at]->decoder->sourceHeight())};
    case ChannelKind::Sound:
        return {GL_TEXTURE_2D, soundChannels_[at]->texture.texture(), soundTextureWidth, 2};
    default:
        return {};
    }
}

float ShaderToyMedia::channelSeconds(ChannelKind kind, int index, float seconds) const {
    return kind == ChannelKind::Video ? videos_[size_t(index)]->seconds : seconds;
}
