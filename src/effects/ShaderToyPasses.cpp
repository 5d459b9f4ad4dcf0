// How a ShaderToy entry's passes are set up to draw: the order of a frame, the pictures the
// passes that are read draw into (cube maps for the passes that draw one), and their uniforms.
#include "effects/ShaderToy.h"

#include "platform/Error.h"
#include "render/GLState.h"
#include "render/Screen.h"

#include <algorithm>

namespace Effekter {

namespace {

using shadertoy::ChannelKind;

// The faces of a cube map pass, each drawn into at this size.
constexpr int cubeFaceSize = 512;

// Each face's axes, +X to -Z: where s and t grow across its texels, and its direction.
constexpr float cubeFaceAxes[6][9] = {
    {0, 0, -1, 0, -1, 0, 1, 0, 0}, {0, 0, 1, 0, -1, 0, -1, 0, 0}, {1, 0, 0, 0, 0, 1, 0, 1, 0},
    {1, 0, 0, 0, 0, -1, 0, -1, 0}, {1, 0, 0, 0, -1, 0, 0, 0, 1},  {-1, 0, 0, 0, -1, 0, 0, 0, -1},
};

} // namespace

void ShaderToy::checkCubePasses() {
    if (passes_[0]->source.cubePass)
        problems_.push_back(passes_[0]->source.file +
                            ": error: the image pass defines mainCubemap, not mainImage; a cube "
                            "map is drawn by a buffer pass read with ::Type \"CubeMap\"");
    for (const auto& pass : passes_)
        for (size_t channel = 0; channel < pass->channels.size(); ++channel) {
            const Source& source = pass->channels[channel];
            const shadertoy::Channel& declared = pass->source.channels[channel];
            if (source.kind != ChannelKind::Buffer ||
                passes_[size_t(source.index)]->source.cubePass == declared.cubeType)
                continue;
            const std::string place = formatText("%s:%d:%d: error: ", declared.file.c_str(),
                                                 declared.line, declared.column);
            problems_.push_back(place + (declared.cubeType
                                             ? "the pass " + declared.path +
                                                   " defines no mainCubemap to draw a cube map"
                                             : "the pass " + declared.path +
                                                   " draws a cube map (mainCubemap): read it "
                                                   "with ::Type \"CubeMap\""));
        }
}

void ShaderToy::makePictures() {
    std::vector<bool> read(passes_.size(), false);
    for (const auto& pass : passes_)
        for (const Source& source : pass->channels)
            if (source.readsPass())
                read[size_t(source.index)] = true;
    const bool floats = GLEW_ARB_texture_float;
    for (size_t index = 0; index < passes_.size(); ++index) {
        PassProgram& pass = *passes_[index];
        if (!read[index])
            continue;
        for (int picture = 0; picture < 2; ++picture)
            if (pass.source.cubePass)
                pass.cubes[picture] =
                    std::make_unique<CubeTarget>(cubeFaceSize, floats ? GL_RGBA16F_ARB : GL_RGBA8);
            else
                pass.pictures[picture] =
                    std::make_unique<RenderTarget>(currentScreen().width, currentScreen().height,
                                                   floats ? GL_RGBA32F_ARB : GL_RGBA8);
    }
}

void ShaderToy::drawCubeFaces(PassProgram& pass) {
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const CubeTarget& cube = *pass.cubes[1 - pass.front];
    glViewport(0, 0, cube.size, cube.size);
    for (size_t face = 0; face < cube.faces.size(); ++face) {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, cube.faces[face]);
        glUniform3fv(pass.uniforms.cubeFace, 3, cubeFaceAxes[face]);
        Quad(1, 1).draw(1, 1);
    }
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
}

void ShaderToy::findOrder() {
    // The buffers in the order the channels first name them: the image pass's channels 0 to 3,
    // then those of the buffers so found, in turn. A buffer drawn later in the frame, or the
    // pass itself, is read as it was in the frame before.
    std::vector<int> named = {0};
    for (size_t at = 0; at < named.size(); ++at)
        for (const Source& source : passes_[size_t(named[at])]->channels)
            if (source.kind == ChannelKind::Buffer &&
                std::find(named.begin(), named.end(), source.index) == named.end())
                named.push_back(source.index);
    order_.assign(named.begin() + 1, named.end());
    order_.push_back(0);
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
    u.keyboard = pass.source.keyboard ? locate("iKeyboard") : -1;
    u.cubeFace = locate("iCubeFace");
    const char* const samplers[] = {"iChannel0", "iChannel1", "iChannel2", "iChannel3"};
    for (int channel = 0; channel < shadertoy::channelCount; ++channel)
        u.channel[channel] = locate(samplers[channel]);
    for (const shadertoy::Uniform& declared : pass.source.uniforms)
        for (const auto& value : tuned_)
            if (value->declared.name == declared.name)
                pass.tuned.emplace_back(locate(declared.name.c_str()), value.get());
    pass.inputs = ShaderInputs(frameInputs_, program, shadertoy::ownFloatUniforms);
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
    for (const auto& pass : passes_)
        for (const auto& cube : pass->cubes)
            for (const GLuint face : cube ? cube->faces : std::array<GLuint, 6>{}) {
                glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, face);
                glClear(GL_COLOR_BUFFER_BIT);
            }
    bindScreenFramebuffer();
    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
}

} // namespace Effekter
