#pragma once
// Shaders written for Shadertoy, played as a show entry: an image pass and the buffer passes its
// channels name, with what the website gives them (iTime, iResolution, iFrame, iChannel0-3, ...),
// the show's music as the sound texture, the values the author declared for tuning, and the
// show's beat and tracks (docs/shadertoy.md).

#include "effects/EffectContext.h"
#include "effects/ShaderToyMedia.h"
#include "effects/ShaderToySource.h"
#include "effekt/Effekt.h"
#include "render/CubeTarget.h"
#include "render/RenderTarget.h"
#include "render/Shader.h"
#include "render/ShaderInputs.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace Effekter {

class ShaderToy : public Effekt {
public:
    // Reads and compiles every pass; throws ShaderErrors naming every problem of every file
    // (directives, compile errors) in the author's form.
    ShaderToy(const EffectContext& context, int32_t start, int32_t end,
              const std::string& imagePassPath);
    ~ShaderToy() override;
    void draw(uint32_t time, float beat) override;

    // Frames drawn since the entry (re)started, as its shaders see them in iFrame.
    int frameNumber() const { return frame_; }
    // Every pass read, the image pass first, as compiled: included files in place.
    std::vector<const shadertoy::Pass*> passSources() const;
    // The language its passes compile as.
    shadertoy::Language language() const { return language_; }
    std::vector<std::string> trackUniforms() const override;
    // The values declared with #iUniform, each driven by the track of its own name.
    void registerTweaks(TweakRegistry& tweaks) override;
    // The tracks it reads beside its passes' float uniforms: iMouse.x to iMouse.w, and one for
    // each number of a vector or colour declared with #iUniform ("tint.r").
    std::vector<std::string> componentTracks() const;

private:
    struct Source {
        shadertoy::ChannelKind kind = shadertoy::ChannelKind::None;
        int index = 0; // into the media's files of its kind, or passes_ (a buffer, the pass itself)
        GLint wrap = GL_CLAMP_TO_EDGE;
        GLint minFilter = GL_LINEAR;
        GLint magFilter = GL_LINEAR;

        bool readsPass() const {
            return kind == shadertoy::ChannelKind::Buffer || kind == shadertoy::ChannelKind::Self;
        }
    };
    // A value declared with #iUniform, shared by the passes that declare it.
    struct TunedValue {
        shadertoy::Uniform declared;
        float numbers[4] = {};
        int32_t whole = 0; // an int's value
    };
    struct PassProgram {
        shadertoy::Pass source;
        FragmentProgram program;
        ShaderInputs inputs;
        std::array<Source, shadertoy::channelCount> channels;
        // Two pictures for a pass that is read (the buffers, and the image pass reading "self"):
        // it draws into the back one while its readers see the front one.
        std::unique_ptr<RenderTarget> pictures[2];
        std::unique_ptr<CubeTarget> cubes[2]; // instead, for a pass drawing a cube map
        int front = 0;
        struct {
            GLint resolution = -1, time = -1, globalTime = -1, timeDelta = -1, frameRate = -1,
                  frame = -1, channelTime = -1, channelResolution = -1, mouse = -1, date = -1,
                  sampleRate = -1, beat = -1, keyboard = -1, cubeFace = -1;
            GLint channel[shadertoy::channelCount] = {-1, -1, -1, -1};
        } uniforms;
        std::vector<std::pair<GLint, const TunedValue*>> tuned;

        bool drawsPictures() const { return pictures[0] || cubes[0]; }
    };

    FrameInputs& frameInputs_;
    ShowFiles& files_;
    shadertoy::Language language_;
    ShaderToyMedia media_;
    std::vector<std::unique_ptr<PassProgram>> passes_; // [0] is the image pass
    std::vector<int> order_;                           // passes in the order a frame draws them
    std::vector<std::unique_ptr<TunedValue>> tuned_;
    FragmentProgram copyProgram_; // shows the image pass's picture when it keeps one
    GLint copyPicture_ = -1, copySize_ = -1;
    std::vector<std::string> problems_;

    bool started_ = false;
    uint32_t lastTime_ = 0;
    int frame_ = 0;
    float delta_ = 0;       // iTimeDelta: seconds from the frame before
    float mouse_[4] = {};   // iMouse in this frame
    float dateSeconds_ = 0; // iDate at the entry's start
    float dateYear_ = 0, dateMonth_ = 0, dateDay_ = 0;

    int loadPass(const std::string& path);
    Source sourceOf(PassProgram& pass, int channel);
    void addTunedValues(PassProgram& pass);
    static void setTunedUniform(GLint location, const TunedValue& value);
    void findOrder();
    void findUniforms(PassProgram& pass);
    void restart();
    void findMouse();
    void makePictures();
    void checkCubePasses();
    void drawPass(PassProgram& pass, float seconds, float delta, float beat);
    static void drawCubeFaces(PassProgram& pass);
    ChannelPicture pictureOf(const Source& source);
    static void bindChannel(const Source& source, const ChannelPicture& picture, int channel);
    void showImagePicture(PassProgram& image);
};

} // namespace Effekter
