#include "effects/ShaderToy.h"

#include "platform/Error.h"
#include "platform/ShowFiles.h"
#include "render/GLState.h"
#include "render/ImageFile.h"
#include "render/Screen.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace Effekter {

namespace {

using shadertoy::ChannelKind;
using shadertoy::Filter;
using shadertoy::Wrap;

constexpr float websiteSampleRate = 44100;

const char* const copySource = "#version 110\n"
                               "uniform sampler2D picture;\n"
                               "uniform vec2 size;\n"
                               "void main() { gl_FragColor = texture2D(picture, gl_FragCoord.xy / "
                               "size); }\n";

GLint glWrap(Wrap wrap, GLint fallback) {
    switch (wrap) {
    case Wrap::Repeat:
        return GL_REPEAT;
    case Wrap::Clamp:
        return GL_CLAMP_TO_EDGE;
    default:
        return fallback;
    }
}

GLint glFilter(Filter filter, GLint fallback, bool mipmapsPossible) {
    switch (filter) {
    case Filter::Nearest:
        return GL_NEAREST;
    case Filter::Linear:
        return GL_LINEAR;
    case Filter::Mipmap:
        return mipmapsPossible ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR;
    default:
        return fallback;
    }
}

std::string placeOf(const shadertoy::Channel& channel) {
    return formatText("%s:%d:%d", channel.file.c_str(), channel.line, channel.column);
}

// While it lasts, what a previous entry may have left on and would change a pass's pixels
// (blending, depth, alpha test, face culling) is off; the end restores it.
class PlainDrawing {
public:
    PlainDrawing() {
        for (size_t i = 0; i < std::size(capabilities); ++i) {
            wasOn[i] = glIsEnabled(capabilities[i]);
            glDisable(capabilities[i]);
        }
    }
    ~PlainDrawing() {
        for (size_t i = 0; i < std::size(capabilities); ++i)
            if (wasOn[i])
                glEnable(capabilities[i]);
    }
    PlainDrawing(const PlainDrawing&) = delete;
    PlainDrawing& operator=(const PlainDrawing&) = delete;

private:
    static constexpr GLenum capabilities[] = {GL_BLEND, GL_DEPTH_TEST, GL_ALPHA_TEST, GL_CULL_FACE};
    GLboolean wasOn[std::size(capabilities)] = {};
};

} // namespace

ShaderToy::ShaderToy(const EffectContext& context, int32_t start, int32_t end,
                     const std::string& imagePassPath)
    : Effekt(start, end), frameInputs_(context.frame), files_(context.files) {
    name = "ShaderToy";
    loadPass(std::filesystem::path(imagePassPath).lexically_normal().string());
    if (!problems_.empty())
        throw ShaderErrors(problems_);
    std::vector<int> state(passes_.size(), 0);
    findOrder(0, state);
    std::vector<bool> read(passes_.size(), false);
    for (const auto& pass : passes_)
        for (const Source& source : pass->channels)
            if (source.readsPass())
                read[size_t(source.index)] = true;
    const GLenum format = GLEW_ARB_texture_float ? GL_RGBA32F_ARB : GL_RGBA8;
    for (size_t index = 0; index < passes_.size(); ++index)
        if (read[index])
            for (auto& picture : passes_[index]->pictures)
                picture = std::make_unique<RenderTarget>(currentScreen().width,
                                                         currentScreen().height, format);
    if (passes_[0]->pictures[0]) {
        copyProgram_.buildFromSource(copySource);
        copyPicture_ = glGetUniformLocation(copyProgram_.program, "picture");
        copySize_ = glGetUniformLocation(copyProgram_.program, "size");
    }
    for (const auto& pass : passes_)
        findUniforms(*pass);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    dateYear_ = float(local.tm_year + 1900);
    dateMonth_ = float(local.tm_mon);
    dateDay_ = float(local.tm_mday);
    dateSeconds_ = float(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec);
}

ShaderToy::~ShaderToy() = default;

int ShaderToy::loadPass(const std::string& path) {
    for (size_t index = 0; index < passes_.size(); ++index)
        if (passes_[index]->source.file == path)
            return int(index);
    const int index = int(passes_.size());
    passes_.push_back(std::make_unique<PassProgram>());
    PassProgram& pass = *passes_.back();
    const auto read = [this](const std::string& file) {
        return files_.open(file, ShowFileKind::Shader).bytes();
    };
    std::optional<std::string> bytes;
    std::string unread = "the shader file cannot be read";
    try {
        bytes = read(path);
    } catch (const FileRefused& refused) {
        unread = "the shader file is refused: " + refused.reason();
    }
    if (!bytes) {
        pass.source.file = path;
        problems_.push_back(path + ": error: " + unread);
        return index;
    }
    pass.source = shadertoy::readShaderToyPass(path, *bytes, read);
    problems_.insert(problems_.end(), pass.source.problems.begin(), pass.source.problems.end());
    for (int channel = 0; channel < shadertoy::channelCount; ++channel)
        pass.channels[size_t(channel)] = sourceOf(pass, channel);
    try {
        pass.program.buildMapped(pass.source.source, pass.source.lines);
    } catch (const ShaderErrors& errors) {
        problems_.insert(problems_.end(), errors.messages().begin(), errors.messages().end());
    }
    return index;
}

ShaderToy::Source ShaderToy::sourceOf(PassProgram& pass, int channel) {
    const shadertoy::Channel& declared = pass.source.channels[size_t(channel)];
    Source source;
    bool mipmapsPossible = false;
    switch (declared.kind) {
    case ChannelKind::None:
        return source;
    case ChannelKind::Image:
        source = {ChannelKind::Image, imageIndex(declared), GL_REPEAT, GL_LINEAR_MIPMAP_LINEAR,
                  GL_LINEAR};
        mipmapsPossible = true;
        break;
    case ChannelKind::Video:
        source = {ChannelKind::Video, videoIndex(declared)};
        break;
    case ChannelKind::Music:
        source = {ChannelKind::Music};
        break;
    case ChannelKind::Buffer:
        source = {ChannelKind::Buffer, loadPass(declared.path)};
        mipmapsPossible = true;
        break;
    case ChannelKind::Self: {
        const auto own = std::find_if(passes_.begin(), passes_.end(), [&](const auto& candidate) {
            return candidate.get() == &pass;
        });
        source = {ChannelKind::Self, int(own - passes_.begin())};
        mipmapsPossible = true;
        break;
    }
    }
    source.wrap = glWrap(declared.wrap, source.wrap);
    source.minFilter = glFilter(declared.minFilter, source.minFilter, mipmapsPossible);
    source.magFilter = glFilter(declared.magFilter, source.magFilter, false);
    return source;
}

int ShaderToy::imageIndex(const shadertoy::Channel& channel) {
    // Sampling settings belong to the texture: channels that sample one image differently
    // have textures of their own.
    const std::string key = formatText("%s|%d|%d|%d", channel.path.c_str(), int(channel.wrap),
                                       int(channel.minFilter), int(channel.magFilter));
    const auto known = std::find(imageKeys_.begin(), imageKeys_.end(), key);
    if (known != imageKeys_.end())
        return int(known - imageKeys_.begin());
    DecodedImage image;
    std::string unread = " cannot be read";
    try {
        image = decodeImageFile(files_.open(channel.path, ShowFileKind::Picture).c_str(),
                                largestTextureSide());
    } catch (const FileRefused& refused) {
        unread = " is refused: " + refused.reason();
    }
    auto texture = std::make_unique<CTexture>();
    if (image.rgba.empty()) {
        problems_.push_back(placeOf(channel) + ": error: the image " + channel.path + unread);
    } else {
        // The website's images have their bottom row at texture coordinate 0.
        const size_t row = size_t(image.width) * 4;
        for (int top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom)
            std::swap_ranges(image.rgba.begin() + std::ptrdiff_t(row * size_t(top)),
                             image.rgba.begin() + std::ptrdiff_t(row * size_t(top + 1)),
                             image.rgba.begin() + std::ptrdiff_t(row * size_t(bottom)));
        texture->upload(image.rgba.data(), image.width, image.height, false, GL_RGBA, true);
        TextureBinding binding(*texture);
        glGenerateMipmapEXT(GL_TEXTURE_2D);
        imageCharges_.push_back(std::move(image.charge));
    }
    images_.push_back(std::move(texture));
    imageKeys_.push_back(key);
    return int(images_.size()) - 1;
}

int ShaderToy::videoIndex(const shadertoy::Channel& channel) {
    const auto known = std::find(videoPaths_.begin(), videoPaths_.end(), channel.path);
    if (known != videoPaths_.end())
        return int(known - videoPaths_.begin());
    auto video = std::make_unique<VideoChannel>();
    try {
        video->decoder =
            std::make_unique<VideoDecoder>(files_.open(channel.path, ShowFileKind::Video));
        const std::vector<uint8_t> black(VideoDecoder::frameBytes, 0);
        video->texture.upload(black.data(), VideoDecoder::frameSide, VideoDecoder::frameSide, false,
                              GL_RGBA, true);
    } catch (const ShowError& error) {
        problems_.push_back(placeOf(channel) + ": error: the video " + channel.path +
                            " cannot be played: " + error.what());
    }
    videos_.push_back(std::move(video));
    videoPaths_.push_back(channel.path);
    return int(videos_.size()) - 1;
}

void ShaderToy::findOrder(int pass, std::vector<int>& state) {
    // Depth first: a pass comes after the passes it reads, except those it reaches again while
    // they wait for it (a cycle), which it reads as they were in the previous frame.
    state[size_t(pass)] = 1;
    for (const Source& source : passes_[size_t(pass)]->channels)
        if (source.readsPass() && state[size_t(source.index)] == 0)
            findOrder(source.index, state);
    state[size_t(pass)] = 2;
    order_.push_back(pass);
}

void ShaderToy::findUniforms(PassProgram& pass) {
    const GLuint program = pass.program.program;
    auto& u = pass.uniforms;
    const auto locate = [&](const char* uniform) { return glGetUniformLocation(program, uniform); };
    u.resolution = locate("iResolution");
    u.time = locate("iTime");
    u.globalTime = locate("iGlobalTime");
    u.timeDelta = locate("iTimeDelta");
    u.frameRate = locate("iFrameRate");
    u.frame = locate("iFrame");
    u.channelTime = locate("iChannelTime");
    u.channelResolution = locate("iChannelResolution");
    u.mouse = locate("iMouse");
    u.date = locate("iDate");
    u.sampleRate = locate("iSampleRate");
    u.beat = locate("beat");
    const char* const samplers[] = {"iChannel0", "iChannel1", "iChannel2", "iChannel3"};
    for (int channel = 0; channel < shadertoy::channelCount; ++channel)
        u.channel[channel] = locate(samplers[channel]);
    pass.inputs =
        ShaderInputs(frameInputs_, program,
                     {"iTime", "iGlobalTime", "iTimeDelta", "iFrameRate", "iSampleRate", "beat"});
}

void ShaderToy::restart() {
    frame_ = 0;
    GLfloat clearColour[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    glClearColor(0, 0, 0, 0);
    for (const auto& pass : passes_)
        for (const auto& picture : pass->pictures)
            if (picture) {
                glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, picture->framebuffer);
                glClear(GL_COLOR_BUFFER_BIT);
            }
    bindScreenFramebuffer();
    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
}

void ShaderToy::showVideos(uint32_t time) {
    const double seconds = double(time - startTime) / 1000;
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
}

float ShaderToy::channelSeconds(const Source& source, float seconds) const {
    return source.kind == ChannelKind::Video ? videos_[size_t(source.index)]->seconds : seconds;
}

ShaderToy::ChannelPicture ShaderToy::pictureOf(const Source& source) const {
    const auto index = size_t(source.index);
    switch (source.kind) {
    case ChannelKind::None:
        return {};
    case ChannelKind::Image:
        return {images_[index]->textureId, float(images_[index]->width()),
                float(images_[index]->height())};
    case ChannelKind::Video:
        return {videos_[index]->texture.textureId, float(videos_[index]->decoder->sourceWidth()),
                float(videos_[index]->decoder->sourceHeight())};
    case ChannelKind::Music:
        return {frameInputs_.soundTexture(), soundTextureWidth, 2};
    case ChannelKind::Buffer:
    case ChannelKind::Self: {
        const PassProgram& read = *passes_[index];
        return {read.pictures[read.front]->colourTexture, float(currentScreen().width),
                float(currentScreen().height)};
    }
    }
    return {};
}

void ShaderToy::bindChannel(const Source& source, const ChannelPicture& picture, int channel) {
    glActiveTexture(GLenum(GL_TEXTURE0 + channel));
    glBindTexture(GL_TEXTURE_2D, picture.texture);
    if (picture.texture == 0)
        return;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, source.wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, source.wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, source.minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, source.magFilter);
    if (source.readsPass() && source.minFilter == GL_LINEAR_MIPMAP_LINEAR)
        glGenerateMipmapEXT(GL_TEXTURE_2D);
}

void ShaderToy::drawPass(PassProgram& pass, float seconds, float delta, float beat) {
    if (pass.pictures[0])
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, pass.pictures[1 - pass.front]->framebuffer);
    else
        bindScreenFramebuffer();
    glUseProgram(pass.program.program);
    const auto& u = pass.uniforms;
    glUniform3f(u.resolution, float(currentScreen().width), float(currentScreen().height), 1);
    glUniform1f(u.time, seconds);
    glUniform1f(u.globalTime, seconds);
    glUniform1f(u.timeDelta, delta);
    glUniform1f(u.frameRate, delta > 0 ? 1 / delta : 60);
    glUniform1i(u.frame, frame_);
    glUniform4fv(u.mouse, 1, frameInputs_.mouse());
    glUniform4f(u.date, dateYear_, dateMonth_, dateDay_, dateSeconds_ + seconds);
    glUniform1f(u.sampleRate, websiteSampleRate);
    glUniform1f(u.beat, beat);
    float channelTimes[shadertoy::channelCount];
    float channelSizes[shadertoy::channelCount * 3];
    ChannelPicture pictures[shadertoy::channelCount];
    for (int channel = 0; channel < shadertoy::channelCount; ++channel) {
        const Source& source = pass.channels[size_t(channel)];
        pictures[channel] = pictureOf(source);
        channelTimes[channel] = channelSeconds(source, seconds);
        channelSizes[channel * 3] = pictures[channel].width;
        channelSizes[channel * 3 + 1] = pictures[channel].height;
        channelSizes[channel * 3 + 2] = source.kind == ChannelKind::None ? 0 : 1;
    }
    glUniform1fv(u.channelTime, shadertoy::channelCount, channelTimes);
    glUniform3fv(u.channelResolution, shadertoy::channelCount, channelSizes);
    pass.inputs.apply();
    for (int channel = 0; channel < shadertoy::channelCount; ++channel) {
        glUniform1i(u.channel[channel], channel);
        bindChannel(pass.channels[size_t(channel)], pictures[channel], channel);
    }
    glActiveTexture(GL_TEXTURE0);
    Quad(1, 1).draw(1, 1);
    pass.inputs.release();
    if (pass.pictures[0])
        pass.front = 1 - pass.front;
}

void ShaderToy::showImagePicture(PassProgram& image) {
    bindScreenFramebuffer();
    glUseProgram(copyProgram_.program);
    glUniform1i(copyPicture_, 0);
    glUniform2f(copySize_, float(currentScreen().width), float(currentScreen().height));
    glBindTexture(GL_TEXTURE_2D, image.pictures[image.front]->colourTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    Quad(1, 1).draw(1, 1);
}

void ShaderToy::draw(uint32_t time, float beat) {
    // A frame drawn again at the same time (a paused author mode) shows the same frame: the
    // buffers and iFrame stay where they are.
    const bool timeStands = started_ && time == lastTime_;
    if (!started_ || time < lastTime_) {
        restart();
        lastTime_ = startTime;
        started_ = true;
    } else if (!timeStands) {
        ++frame_;
    }
    const float seconds = float(time - startTime) / 1000;
    if (!timeStands)
        delta_ = float(time - lastTime_) / 1000;
    lastTime_ = time;
    showVideos(time);
    PlainDrawing plain;
    OrthoView ortho;
    MatrixPush layer;
    glTranslatef(0, 0, -1);
    for (const int index : order_)
        if (!(timeStands && passes_[size_t(index)]->pictures[0]))
            drawPass(*passes_[size_t(index)], seconds, delta_, beat);
    if (passes_[0]->pictures[0])
        showImagePicture(*passes_[0]);
    bindScreenFramebuffer();
    for (int channel = shadertoy::channelCount - 1; channel >= 0; --channel) {
        glActiveTexture(GLenum(GL_TEXTURE0 + channel));
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    glUseProgram(0);
}

} // namespace Effekter
