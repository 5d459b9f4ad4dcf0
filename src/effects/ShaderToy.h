#pragma once
// Shaders written for Shadertoy, played as a show entry: an image pass and the buffer passes its
// channels name, with what the website gives them (iTime, iResolution, iFrame, iChannel0-3, ...),
// the show's music as the sound texture, and the show's beat and tracks (docs/shadertoy.md).

#include "effects/EffectContext.h"
#include "effects/ShaderToySource.h"
#include "effekt/Effekt.h"
#include "media/VideoDecoder.h"
#include "render/RenderTarget.h"
#include "render/Shader.h"
#include "render/ShaderInputs.h"
#include "render/Texture.h"

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

private:
    struct Source {
        shadertoy::ChannelKind kind = shadertoy::ChannelKind::None;
        int index = 0; // into images_, videos_ or passes_ (a buffer, or the pass itself)
        GLint wrap = GL_CLAMP_TO_EDGE;
        GLint minFilter = GL_LINEAR;
        GLint magFilter = GL_LINEAR;

        bool readsPass() const {
            return kind == shadertoy::ChannelKind::Buffer || kind == shadertoy::ChannelKind::Self;
        }
    };
    // What a channel shows in the frame: its texture and its size in pixels.
    struct ChannelPicture {
        GLuint texture = 0;
        float width = 0, height = 0;
    };
    struct VideoChannel {
        std::unique_ptr<VideoDecoder> decoder;
        CTexture texture;
        int shownFrame = -1;
        float seconds = 0; // where the video is in this frame
    };
    struct PassProgram {
        shadertoy::Pass source;
        FragmentProgram program;
        ShaderInputs inputs;
        std::array<Source, shadertoy::channelCount> channels;
        // Two pictures for a pass that is read (the buffers, and the image pass reading "self"):
        // it draws into the back one while its readers see the front one.
        std::unique_ptr<RenderTarget> pictures[2];
        int front = 0;
        struct {
            GLint resolution = -1, time = -1, globalTime = -1, timeDelta = -1, frameRate = -1,
                  frame = -1, channelTime = -1, channelResolution = -1, mouse = -1, date = -1,
                  sampleRate = -1, beat = -1;
            GLint channel[shadertoy::channelCount] = {-1, -1, -1, -1};
        } uniforms;
    };

    FrameInputs& frameInputs_;
    ShowFiles& files_;
    std::vector<std::unique_ptr<PassProgram>> passes_; // [0] is the image pass
    std::vector<int> order_;                           // passes in the order a frame draws them
    std::vector<std::unique_ptr<CTexture>> images_;
    std::vector<std::string> imageKeys_;      // path and sampling settings of each image
    std::vector<PictureCharge> imageCharges_; // the decoded images against the pictures' budget
    std::vector<std::unique_ptr<VideoChannel>> videos_;
    std::vector<std::string> videoPaths_;
    FragmentProgram copyProgram_; // shows the image pass's picture when it keeps one
    GLint copyPicture_ = -1, copySize_ = -1;
    std::vector<std::string> problems_;

    bool started_ = false;
    uint32_t lastTime_ = 0;
    int frame_ = 0;
    float delta_ = 0;       // iTimeDelta: seconds from the frame before
    float dateSeconds_ = 0; // iDate at the entry's start
    float dateYear_ = 0, dateMonth_ = 0, dateDay_ = 0;

    int loadPass(const std::string& path);
    Source sourceOf(PassProgram& pass, int channel);
    int imageIndex(const shadertoy::Channel& channel);
    int videoIndex(const shadertoy::Channel& channel);
    void findOrder(int pass, std::vector<int>& state);
    void findUniforms(PassProgram& pass);
    void restart();
    void showVideos(uint32_t time);
    void drawPass(PassProgram& pass, float seconds, float delta, float beat);
    ChannelPicture pictureOf(const Source& source) const;
    static void bindChannel(const Source& source, const ChannelPicture& picture, int channel);
    float channelSeconds(const Source& source, float seconds) const;
    void showImagePicture(PassProgram& image);
};

} // namespace Effekter
