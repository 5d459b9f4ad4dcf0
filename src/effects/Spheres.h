#pragma once
// A lit sphere with a stream of 6000 small cubes flowing through it and swelling out with the
// beat, painted over a turning background into a render target shown through a fragment shader.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/QuadricObject.h"
#include "render/RenderTarget.h"
#include "render/Shader.h"
#include "render/Texture.h"

#include <optional>

namespace Effekter {

class Spheres : public Effekt {
public:
    static constexpr int cubeCount = 6000;

    Spheres(const EffectContext& context, int32_t start, int32_t end);
    void draw(uint32_t time, float beat) override;

    // Where cube i of the stream sits along x at a time since the start: from 10 to about 40 at
    // the start, flowing towards negative x at 2 units per second.
    static float streamPosition(int i, uint32_t elapsed);

private:
    // A spot light at the centre of the scene, with a shiny grey material.
    struct Light {
        float savedColour[4] = {1, 1, 1, 1};
        float ambient[4] = {0, 0, 0, 0};
        float diffuse[4] = {1, 1, 1, 1};
        float position[4] = {0, 0, 0, 10};
        float specular[4] = {1, 1, 1, 1};
        GLenum shadeModel = GL_SMOOTH;
        GLenum light = GL_LIGHT0;

        void switchOn();
        void switchOff() const;
    };

    void drawBackground(float tf) const;
    void drawScene(float tf, uint32_t elapsed, float beat);
    void drawSphere(float tf, float beat) const;
    void drawCubeStream(float tf, uint32_t elapsed, float beat) const;
    void drawOnScreen() const;

    FragmentProgram screenProgram;
    CTextureFreeImage backgroundImage;
    CTextureFreeImage environmentImage; // loaded, not drawn
    CTextureFreeImage sphereImage;
    Light light;
    std::optional<RenderTarget> target;
    QuadricObject sphere;
};

} // namespace Effekter
