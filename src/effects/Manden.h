#pragma once
// A still figure with a greetings image scrolling once across the screen, composed in a render
// target and shown through a fragment shader, with a waving textured double helix in front.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/RenderTarget.h"
#include "render/Shader.h"
#include "render/Texture.h"

#include <array>
#include <optional>

namespace Effekter {

class Manden : public Effekt {
public:
    static constexpr int helixSteps = 100; // quads around each tube and along the helix

    Manden(const EffectContext& context, int32_t start, int32_t end);
    void draw(uint32_t time, float beat) override;

    // Horizontal place of the greetings image: -2 at the start of the window, +2 at its end.
    float greetingsOffset(uint32_t time) const;
    // Horizontal place of the helix s seconds after the start: it slides in from x = 30 to -20
    // during the first half second.
    static float helixSlide(float s);

private:
    void composeLayers(uint32_t time, float beat);
    void drawOnScreen() const;
    void drawHelix(float s);
    void drawStrand(float side, float s);

    CTextureFreeImage figureImage;
    CTextureFreeImage greetingsImage;
    CTextureFreeImage helixImage;
    FragmentProgram screenProgram;
    std::optional<RenderTarget> target;
    // Cosine and sine of the angle around a tube, for every step of the circle.
    std::array<float, helixSteps + 1> aroundCos{};
    std::array<float, helixSteps + 1> aroundSin{};
};

} // namespace Effekter
