#include "effects/ShaderToy.h"

#include "platform/Error.h"
#include "platform/LoadNotes.h"
#include "platform/ShowFiles.h"
#include "render/GLState.h"
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
    case Wrap::Mirror:
        return GL_MIRRORED_REPEAT;
    default:
        return fallback;
    }
}

// A filter's GL value; without mipmaps a mipmapped filter reads its level 0 alike.
GLint glFilter(Filter filter, GLint fallback, bool mipmapsPossible) {
    switch (filter) {
    case Filter::Nearest:
        return GL_NEAREST;
    case Filter::Linear:
        return GL_LINEAR;
    case Filter::NearestMipmapNearest:
        return mipmapsPossible ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST;
    case Filter::LinearMipmapNearest:
        return mipmapsPossible ? GL_LINEAR_MIPMAP_NEAREST : GL_LINEAR;
    case Filter::NearestMipmapLinear:
        return mipmapsPossible ? GL_NEAREST_MIPMAP_LINEAR : GL_NEAREST;
    case Filter::Mipmap:
        return mipmapsPossible ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR;
    default:
        return fallback;
    }
}

bool mipmapped(GLint filter) { return filter != GL_NEAREST && filter != GL_LINEAR; }

// The texture unit of the keyboard that `#iKeyboard` declares, after the channels' units.
constexpr int keyboardUnit = shadertoy::channelCount;

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

// Rasteriser discard for the block when `on` holds and the driver has it: the calls are made,
// nothing reaches a buffer.
void discardWhen(bool on, std::optional<CEnabler>& discard) {
    if (on && rasteriserDiscardAvailable())
        discard.emplace(GL_RASTERIZER_DISCARD);
}

// The language of a show's ShaderToy passes, found once: the website's GLSL ES 3.00 where the
// driver compiles it and links a program of a fragment shader alone, GLSL 1.30 otherwise.
struct PassLanguage {
    std::optional<shadertoy::Language> found;
};

shadertoy::Language passLanguage(FamilyStates& shared) {
    PassLanguage& language = shared.get<PassLanguage>();
    if (!language.found) {
        FragmentProgram probe;
        try {
            probe.buildMapped("#version 300 es\nprecision highp float;\nout vec4 colour;\n"
                              "void main() { colour = vec4(uintBitsToFloat(1u)); }\n",
                              {{"the GLSL ES 3.00 probe"}, {}});
            language.found = shadertoy::Language::Es300;
        } catch (const ShaderErrors&) {
            language.found = shadertoy::Language::Glsl130;
        }
    }
    return *language.found;
}

} // namespace

ShaderToy::ShaderToy(const EffectContext& context, int32_t start, int32_t end,
                     const std::string& imagePassPath)
    : Effekt(start, end), frameInputs_(context.frame), files_(context.files),
      language_(passLanguage(context.shared)), media_(context.files, context.sounds) {
    name = "ShaderToy";
    loadPass(std::filesystem::path(imagePassPath).lexically_normal().string());
    checkCubePasses();
    if (!problems_.empty())
        throw ShaderErrors(problems_);
    for (const auto& pass : passes_)
        for (const std::string& warning : pass->source.warnings)
            noteLoadWarning("%s", warning.c_str());
    findOrder();
    makePictures();
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

std::vector<const shadertoy::Pass*> ShaderToy::passSources() const {
    std::vector<const shadertoy::Pass*> sources;
    for (const auto& pass : passes_)
        sources.push_back(&pass->source);
    return sources;
}

std::vector<std::string> ShaderToy::trackUniforms() const {
    std::vector<std::string> names;
    for (const auto& pass : passes_)
        for (std::string& name : pass->inputs.trackUniforms())
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(std::move(name));
    return names;
}

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
    pass.source = shadertoy::readShaderToyPass(path, *bytes, read, language_);
    problems_.insert(problems_.end(), pass.source.problems.begin(), pass.source.problems.end());
    for (int channel = 0; channel < shadertoy::channelCount; ++channel)
        pass.channels[size_t(channel)] = sourceOf(pass, channel);
    addTunedValues(pass);
    try {
        pass.program.buildMapped(pass.source.source, pass.source.lines);
    } catch (const ShaderErrors& errors) {
        problems_.insert(problems_.end(), errors.messages().begin(), errors.messages().end());
    }
    return index;
}

ShaderToy::Source ShaderToy::sourceOf(PassProgram& pass, int channel) {
    const shadertoy::Channel& declared = pass.source.channels[size_t(channel)];
    Source source{declared.kind};
    bool mipmapsPossible = false;
    switch (declared.kind) {
    case ChannelKind::Image:
    case ChannelKind::Cube:
        source = {declared.kind, media_.load(declared, problems_), GL_REPEAT,
                  GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR};
        mipmapsPossible = true;
        break;
    case ChannelKind::Video:
    case ChannelKind::Sound:
        source.index = media_.load(declared, problems_);
        break;
    case ChannelKind::Keyboard:
        source.minFilter = source.magFilter = GL_NEAREST;
        break;
    case ChannelKind::Music:
        break;
    case ChannelKind::Buffer:
        source.index = loadPass(declared.path);
        mipmapsPossible = true;
        break;
    case ChannelKind::Self: {
        const auto own = std::find_if(passes_.begin(), passes_.end(), [&](const auto& candidate) {
            return candidate.get() == &pass;
        });
        source.index = int(own - passes_.begin());
        mipmapsPossible = true;
        break;
    }
    default:
        return source;
    }
    source.wrap = glWrap(declared.wrap, source.wrap);
    source.minFilter = glFilter(declared.minFilter, source.minFilter, mipmapsPossible);
    source.magFilter = glFilter(declared.magFilter, source.magFilter, false);
    return source;
}

ChannelPicture ShaderToy::pictureOf(const Source& source) {
    switch (source.kind) {
    case ChannelKind::Music:
        return {GL_TEXTURE_2D, frameInputs_.soundTexture(), soundTextureWidth, 2};
    case ChannelKind::Keyboard:
        return {GL_TEXTURE_2D, frameInputs_.keyboardTexture(KeyReleased), keyboardCodes,
                KeyReleased};
    case ChannelKind::Buffer:
    case ChannelKind::Self: {
        const PassProgram& read = *passes_[size_t(source.index)];
        if (read.cubes[0])
            return {GL_TEXTURE_CUBE_MAP, read.cubes[read.front]->texture,
                    float(read.cubes[0]->size), float(read.cubes[0]->size)};
        return {GL_TEXTURE_2D, read.pictures[read.front]->colourTexture,
                float(currentScreen().width), float(currentScreen().height)};
    }
    default:
        return media_.picture(source.kind, source.index);
    }
}

void ShaderToy::bindChannel(const Source& source, const ChannelPicture& picture, int channel) {
    glActiveTexture(GLenum(GL_TEXTURE0 + channel));
    const GLenum other =
        picture.target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_2D : GL_TEXTURE_CUBE_MAP;
    glBindTexture(other, 0);
    glBindTexture(picture.target, picture.texture);
    if (picture.texture == 0)
        return;
    glTexParameteri(picture.target, GL_TEXTURE_WRAP_S, source.wrap);
    glTexParameteri(picture.target, GL_TEXTURE_WRAP_T, source.wrap);
    glTexParameteri(picture.target, GL_TEXTURE_MIN_FILTER, source.minFilter);
    glTexParameteri(picture.target, GL_TEXTURE_MAG_FILTER, source.magFilter);
    if (source.readsPass() && mipmapped(source.minFilter))
        glGenerateMipmapEXT(picture.target);
}

void ShaderToy::drawPass(PassProgram& pass, float seconds, float delta, float beat) {
    if (pass.pictures[0])
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, pass.pictures[1 - pass.front]->framebuffer);
    else if (!pass.cubes[0])
        bindScreenFramebuffer();
    glUseProgram(pass.program.program);
    const auto& u = pass.uniforms;
    if (pass.cubes[0])
        glUniform3f(u.resolution, float(pass.cubes[0]->size), float(pass.cubes[0]->size), 1);
    else
        glUniform3f(u.resolution, float(currentScreen().width), float(currentScreen().height), 1);
    glUniform1f(u.time, seconds);
    glUniform1f(u.globalTime, seconds);
    glUniform1f(u.timeDelta, delta);
    glUniform1f(u.frameRate, delta > 0 ? 1 / delta : 60);
    glUniform1i(u.frame, frame_);
    glUniform4fv(u.mouse, 1, mouse_);
    glUniform4f(u.date, dateYear_, dateMonth_, dateDay_, dateSeconds_ + seconds);
    glUniform1f(u.sampleRate, websiteSampleRate);
    glUniform1f(u.beat, beat);
    float channelTimes[shadertoy::channelCount];
    float channelSizes[shadertoy::channelCount * 3];
    ChannelPicture pictures[shadertoy::channelCount];
    for (int channel = 0; channel < shadertoy::channelCount; ++channel) {
        const Source& source = pass.channels[size_t(channel)];
        pictures[channel] = pictureOf(source);
        channelTimes[channel] = media_.channelSeconds(source.kind, source.index, seconds);
        channelSizes[channel * 3] = pictures[channel].width;
        channelSizes[channel * 3 + 1] = pictures[channel].height;
        channelSizes[channel * 3 + 2] = source.kind == ChannelKind::None ? 0 : 1;
    }
    glUniform1fv(u.channelTime, shadertoy::channelCount, channelTimes);
    glUniform3fv(u.channelResolution, shadertoy::channelCount, channelSizes);
    pass.inputs.apply();
    for (const auto& [location, value] : pass.tuned)
        setTunedUniform(location, *value);
    for (int channel = 0; channel < shadertoy::channelCount; ++channel) {
        glUniform1i(u.channel[channel], channel);
        bindChannel(pass.channels[size_t(channel)], pictures[channel], channel);
    }
    if (u.keyboard >= 0) {
        glUniform1i(u.keyboard, keyboardUnit);
        glActiveTexture(GL_TEXTURE0 + keyboardUnit);
        glBindTexture(GL_TEXTURE_2D, frameInputs_.keyboardTexture(keyboardRows));
    }
    glActiveTexture(GL_TEXTURE0);
    if (pass.cubes[0])
        drawCubeFaces(pass);
    else
        Quad(1, 1).draw(1, 1);
    pass.inputs.release();
    if (pass.drawsPictures())
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
    media_.showTime(double(time - startTime) / 1000, picturesUnseen);
    findMouse();
    PlainDrawing plain;
    OrthoView ortho;
    MatrixPush layer;
    glTranslatef(0, 0, -1);
    PassProgram& image = *passes_[0];
    for (const int index : order_) {
        PassProgram& pass = *passes_[size_t(index)];
        if (timeStands && pass.drawsPictures())
            continue;
        // An image pass that draws only on a screen no one sees is not shaded.
        std::optional<CEnabler> unseen;
        discardWhen(screenUnseen && &pass == &image && !image.pictures[0], unseen);
        drawPass(pass, seconds, delta_, beat);
    }
    if (image.pictures[0]) {
        std::optional<CEnabler> unseen;
        discardWhen(screenUnseen, unseen);
        showImagePicture(image);
    }
    bindScreenFramebuffer();
    for (int unit = keyboardUnit; unit >= 0; --unit) {
        glActiveTexture(GLenum(GL_TEXTURE0 + unit));
        glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    glUseProgram(0);
}

} // namespace Effekter
