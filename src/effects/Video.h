#pragma once
// The video effect: frames of data/mirok/video/Video.avi on a texture, filtered, framed and run
// through a slowly turning feedback loop of two render targets.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "media/VideoDecoder.h"
#include "render/RenderTarget.h"
#include "render/Shader.h"
#include "render/Texture.h"

#include <memory>
#include <vector>

namespace Effekter {

class Video : public Effekt {
public:
    Video(const EffectContext& context, int32_t start, int32_t end);

    void registerTweaks(TweakRegistry& tweaks) override;
    void draw(uint32_t time, float beat) override;

    // Chooses the filter of the video program ("idx"); tweakable.
    int filterEffect = 0;
    // How often the composite was refreshed (a new video frame went in).
    int refreshCount() const { return refreshes; }

private:
    void grabFrame(int frameNumber);
    void videoPass(float tf, float beat);
    void framePass();
    void refreshComposite(float tf, float beat);
    void drawTargetTexture(RenderTarget& into, GLuint texture, float halfSize,
                           float turnDegrees) const;
    void drawOnScreen(float tf, float beat);

    CTexture videoTexture;
    CTextureFreeImage frameImage;
    FragmentProgram videoProgram;
    GLint videoTime = -1, videoBeat = -1, videoIdx = -1;
    FragmentProgram distortProgram;
    GLint distortTime = -1, distortBeat = -1;
    std::unique_ptr<RenderTarget> composite;
    std::unique_ptr<RenderTarget> feedback;
    std::unique_ptr<VideoDecoder> decoder;
    std::vector<uint8_t> pixels; // the grabbed frame, red and blue swapped for upload
    uint32_t lastUpdate = 0;
    int refreshes = 0;
};

} // namespace Effekter
