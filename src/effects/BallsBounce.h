#pragma once
// A scrolling chequered floor in perspective with 500 balls travelling across it in a column,
// hopping with the beat, each with a soft shadow; the hops die away over the window.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/DisplayList.h"
#include "render/Shader.h"
#include "render/Texture.h"

namespace Effekter {

class BallsBounce : public Effekt {
public:
    BallsBounce(const EffectContext& context, int32_t start, int32_t end);
    void draw(uint32_t time, float beat) override;

private:
    FragmentProgram floorProgram;
    CTextureFreeImage boardImage;
    CTextureFreeImage shadowImage;
    DisplayList ballModel; // a textured sphere of radius 2
    ShaderProgram ballProgram;

    struct Ball {
        float x, y;
        float bounce; // |sin(phase)|, 0 on the floor to 1 at the top of a hop
        float amplitude;
    };
    struct Frame {
        float t, elapsed, remain, beat;
    };

    void drawFloor(float t);
    void drawShadows(const Frame& frame);
    void drawBalls(const Frame& frame);
    template <class BallAction> void forEachBall(const Frame& frame, BallAction action);
};

} // namespace Effekter
