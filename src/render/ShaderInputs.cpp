#include "render/ShaderInputs.h"

#include "render/GLState.h"
#include "render/Screen.h"

#include <algorithm>
#include <cmath>
#include <cstring>

float soundLevel(float magnitude) {
    if (!(magnitude > 0))
        return 0;
    const float decibels = 20 * std::log10(magnitude);
    return std::clamp((decibels + 100) / 70, 0.0f, 1.0f);
}

float waveLevel(float sample) { return std::clamp(0.5f + sample / 2, 0.0f, 1.0f); }

FrameInputs::~FrameInputs() {
    if (texture_)
        glDeleteTextures(1, &texture_);
    for (GLuint keyboard : keyboard_)
        if (keyboard)
            glDeleteTextures(1, &keyboard);
}

SoundTexture::~SoundTexture() {
    if (texture_)
        glDeleteTextures(1, &texture_);
}

void FrameInputs::setSpectrum(const float* spectrum) {
    std::memcpy(spectrum_, spectrum, sizeof spectrum_);
    textureStale_ = true;
    soundStale_ = true;
}

void FrameInputs::setWaveform(const float* samples) {
    std::memcpy(waveform_, samples, sizeof waveform_);
    soundStale_ = true;
}

namespace {

// Fills a one-channel texture of the given size (made on first use, with nearest sampling and
// clamped edges) from texels of the type, leaving the binding of the active unit as it was.
// Float texels are kept as floats where the driver has them (magnitudes above 1 stay), bytes as
// bytes.
void fillLuminanceTexture(GLuint& texture, int width, int height, GLenum type, const void* texels) {
    GLint bound = 0, alignment = 4;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (!texture) {
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        const GLint format =
            type == GL_FLOAT && GLEW_ARB_texture_float ? GL_LUMINANCE32F_ARB : GL_LUMINANCE;
        glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, GL_LUMINANCE, type, texels);
    } else {
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_LUMINANCE, type, texels);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
}

} // namespace

void SoundTexture::fill(const float* spectrum, const float* waveform) {
    for (int i = 0; i < soundTextureWidth; ++i) {
        texels_[i] = soundLevel(spectrum[i]);
        texels_[soundTextureWidth + i] = waveLevel(waveform[i]);
    }
    fillLuminanceTexture(texture_, soundTextureWidth, 2, GL_FLOAT, texels_);
}

GLuint FrameInputs::soundTexture() {
    if (soundStale_)
        sound_.fill(spectrum_, waveform_);
    soundStale_ = false;
    return sound_.texture();
}

void FrameInputs::pressKey(int code) {
    if (code < 0 || code >= keyboardCodes || keys_[KeyHeld][code])
        return;
    keys_[KeyHeld][code] = keys_[KeyPressed][code] = 255;
    keys_[KeyToggled][code] = 255 - keys_[KeyToggled][code];
    keyboardStale_[0] = keyboardStale_[1] = true;
}

void FrameInputs::releaseKey(int code) {
    if (code < 0 || code >= keyboardCodes || !keys_[KeyHeld][code])
        return;
    keys_[KeyHeld][code] = 0;
    keys_[KeyReleased][code] = 255;
    keyboardStale_[0] = keyboardStale_[1] = true;
}

void FrameInputs::endKeyFrame() {
    for (const int row : {KeyPressed, KeyReleased})
        for (uint8_t& key : keys_[row])
            if (key) {
                key = 0;
                keyboardStale_[0] = keyboardStale_[1] = true;
            }
}

GLuint FrameInputs::keyboardTexture(int rows) {
    const size_t which = rows > KeyReleased ? 1 : 0;
    if (keyboardStale_[which])
        fillLuminanceTexture(keyboard_[which], keyboardCodes, which ? keyboardRows : KeyReleased,
                             GL_UNSIGNED_BYTE, keys_);
    keyboardStale_[which] = false;
    return keyboard_[which];
}

void FrameInputs::pressMouse(float x, float y) {
    mouse_[0] = mouse_[2] = x;
    mouse_[1] = mouse_[3] = y;
    mousePressed_ = true;
}

void FrameInputs::moveMouse(float x, float y) {
    if (!mousePressed_)
        return;
    mouse_[0] = x;
    mouse_[1] = y;
}

void FrameInputs::releaseMouse() {
    mouse_[2] = -std::abs(mouse_[2]);
    mousePressed_ = false;
}

void FrameInputs::endMouseFrame() { mouse_[3] = -std::abs(mouse_[3]); }

GLuint FrameInputs::spectrumTexture() {
    if (!textureStale_)
        return texture_;
    fillLuminanceTexture(texture_, spectrumTextureBins, 1, GL_FLOAT, spectrum_);
    textureStale_ = false;
    return texture_;
}

ShaderInputs::ShaderInputs(FrameInputs& inputs, GLuint program,
                           std::span<const std::string_view> own)
    : inputs_(&inputs) {
    if (program == 0)
        return;
    GLint count = 0, longest = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    glGetProgramiv(program, GL_ACTIVE_UNIFORM_MAX_LENGTH, &longest);
    std::string name(size_t(std::max(longest, 1)), '\0');
    for (GLint index = 0; index < count; ++index) {
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, GLuint(index), GLsizei(name.size()), &length, &size, &type,
                           name.data());
        const std::string uniform(name.data(), size_t(length));
        const GLint location = glGetUniformLocation(program, uniform.c_str());
        if (uniform == "resolution" && type == GL_FLOAT_VEC2)
            resolution_ = location;
        else if (uniform == "spectrum" && type == GL_SAMPLER_2D)
            spectrum_ = location;
        else if (type == GL_FLOAT && size == 1 &&
                 std::find(own.begin(), own.end(), uniform) == own.end())
            named_.push_back({uniform, location});
    }
}

std::vector<std::string> ShaderInputs::trackUniforms() const {
    std::vector<std::string> names;
    for (const NamedUniform& uniform : named_)
        names.push_back(uniform.name);
    return names;
}

void ShaderInputs::findValues(const NamedValues* values) {
    for (NamedUniform& uniform : named_)
        uniform.value = values ? values->find(uniform.name) : nullptr;
    values_ = values;
    valuesRevision_ = values ? values->revision() : 0;
}

void ShaderInputs::apply() {
    if (resolution_ >= 0)
        glUniform2f(resolution_, float(currentScreen().width), float(currentScreen().height));
    if (!inputs_)
        return;
    if (spectrum_ >= 0) {
        const GLuint texture = inputs_->spectrumTexture();
        glActiveTexture(GL_TEXTURE0 + spectrumTextureUnit);
        glBindTexture(GL_TEXTURE_2D, texture);
        glActiveTexture(GL_TEXTURE0);
        glUniform1i(spectrum_, spectrumTextureUnit);
    }
    if (named_.empty())
        return;
    const NamedValues* values = inputs_->values();
    if (values != values_ || (values && values->revision() != valuesRevision_))
        findValues(values);
    for (const NamedUniform& uniform : named_)
        if (uniform.value)
            glUniform1f(uniform.location, *uniform.value);
}

void ShaderInputs::release() const {
    if (spectrum_ < 0)
        return;
    glActiveTexture(GL_TEXTURE0 + spectrumTextureUnit);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTexture(GL_TEXTURE0);
}
