#pragma once
// What a frame offers the GLSL programs that script entries name, beyond `time` and `beat`: the
// picture's size (`uniform vec2 resolution`, pixels), the music's spectrum as a texture
// (`uniform sampler2D spectrum`, 1024 x 1, bin 0 on the left, the values the beat level is made
// of) and the show's named values (`uniform float NAME` for a track NAME). A program that declares
// none of them is not touched.

#include "render/GL.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int spectrumTextureBins = 1024;
// The texture unit the spectrum is bound to while a program draws (unit 0 keeps its own texture).
inline constexpr int spectrumTextureUnit = 1;

// The sound texture of ShaderToy entries (their "music" channel): soundTextureWidth x 2 texels,
// row 0 the spectrum's lowest soundTextureWidth bins (0 to 11 kHz) as soundLevel() maps them,
// row 1 the last soundTextureWidth mono samples before the frame's time, 0.5 + sample / 2.
inline constexpr int soundTextureWidth = 512;

// A spectrum magnitude as a level from 0 to 1: its decibels, 20 log10(magnitude), mapped linearly
// from -100 dB (0) to -30 dB (1) and clamped.
float soundLevel(float magnitude);
// A sample from -1 to 1 as a level from 0 to 1 (0.5 is silence), clamped.
float waveLevel(float sample);

// A sound texture (soundTextureWidth x 2, one channel of floats) made from a spectrum and a
// waveform: the music's, or a sound file's.
class SoundTexture {
public:
    SoundTexture() = default;
    ~SoundTexture();
    SoundTexture(const SoundTexture&) = delete;
    SoundTexture& operator=(const SoundTexture&) = delete;

    // Fills it (made on first use) from spectrumTextureBins magnitudes and soundTextureWidth
    // samples, leaving the binding of the active unit as it was.
    void fill(const float* spectrum, const float* waveform);
    GLuint texture() const { return texture_; }

private:
    float texels_[soundTextureWidth * 2] = {};
    GLuint texture_ = 0;
};

// The website's keyboard texture: 256 texels a row, one for each key code (the codes of web
// pages: 65 is A, 37 to 40 the arrows), 1 where the row's state holds and 0 elsewhere.
inline constexpr int keyboardCodes = 256;
enum KeyboardRow { KeyHeld, KeyPressed, KeyToggled, KeyReleased, keyboardRows };

// The show's named values (its tracks) at the frame's time.
class NamedValues {
public:
    virtual ~NamedValues() = default;
    // The named value, or null; the pointer stays valid while revision() stays the same.
    virtual const float* find(std::string_view name) const = 0;
    virtual uint64_t revision() const = 0;
};

// The inputs of the frame being drawn, one object for a show's life, filled by the frame function
// before the entries draw. Its spectrum texture is made the first time a program wants it and
// refreshed at most once per frame.
class FrameInputs {
public:
    FrameInputs() = default;
    ~FrameInputs();
    FrameInputs(const FrameInputs&) = delete;
    FrameInputs& operator=(const FrameInputs&) = delete;

    // A new frame: copies the spectrum (spectrumTextureBins values).
    void setSpectrum(const float* spectrum);
    // The same frame's waveform: soundTextureWidth mono samples ending at its time.
    void setWaveform(const float* samples);
    // The named values the frames draw with (null for none); the caller keeps them alive.
    void setValues(const NamedValues* values) { values_ = values; }
    const NamedValues* values() const { return values_; }

    // The spectrum texture, up to date for this frame.
    GLuint spectrumTexture();
    // The sound texture (see soundTextureWidth), up to date for this frame.
    GLuint soundTexture();

    // The mouse over the picture as ShaderToy entries read it (iMouse), in pixels of the picture
    // with the bottom row at 0: xy where the button is held (kept after release), z the x of the
    // press (negative once released), w its y (negative after the frame of the press); all 0
    // until the first press. Only the author mode presses it.
    void pressMouse(float x, float y);
    void moveMouse(float x, float y); // while pressed
    void releaseMouse();
    // A frame was drawn: a press is no longer new.
    void endMouseFrame();
    const float* mouse() const { return mouse_; }

    // The keys of the live window by their codes on web pages (keyboardCodes): a key went down
    // (auto-repeats are not new presses) or up. Other runs press none.
    void pressKey(int code);
    void releaseKey(int code);
    // A frame was drawn: presses and releases are no longer new.
    void endKeyFrame();
    // The keyboard texture of `rows` rows (KeyHeld ...: 3 as the website's, 4 with the releases),
    // up to date for this frame.
    GLuint keyboardTexture(int rows);

private:
    float spectrum_[spectrumTextureBins] = {};
    float waveform_[soundTextureWidth] = {};
    bool textureStale_ = true;
    bool soundStale_ = true;
    GLuint texture_ = 0;
    SoundTexture sound_;
    float mouse_[4] = {};
    bool mousePressed_ = false;
    uint8_t keys_[keyboardRows][keyboardCodes] = {};
    // The keyboard textures of 3 and of 4 rows, and whether each is behind the keys.
    GLuint keyboard_[2] = {};
    bool keyboardStale_[2] = {true, true};
    const NamedValues* values_ = nullptr;
};

// What a script entry's shader is given by the entry itself: no track overrides these.
inline constexpr std::string_view ownUniformsOfShaders[] = {"time", "beat"};

// The inputs one linked program declares, found once.
class ShaderInputs {
public:
    ShaderInputs() = default;
    // Looks the program's active uniforms up (program 0 declares nothing). `own` names uniforms the
    // effect sets itself (time, beat), which no track overrides.
    ShaderInputs(FrameInputs& inputs, GLuint program,
                 std::span<const std::string_view> own = ownUniformsOfShaders);

    // With the program in use: sets every declared input from the frame inputs and binds the
    // spectrum texture to its unit. Allocates nothing unless the named values changed.
    void apply();
    // Unbinds the spectrum texture again (after drawing).
    void release() const;
    // The float uniforms that tracks of the same name feed.
    std::vector<std::string> trackUniforms() const;

private:
    struct NamedUniform {
        std::string name;
        GLint location;
        const float* value = nullptr;
    };
    FrameInputs* inputs_ = nullptr;
    GLint resolution_ = -1;
    GLint spectrum_ = -1;
    std::vector<NamedUniform> named_;
    const NamedValues* values_ = nullptr;
    uint64_t valuesRevision_ = 0;

    void findValues(const NamedValues* values);
};
