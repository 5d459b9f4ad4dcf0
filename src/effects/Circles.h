#pragma once
// Full-screen image layers drawn through fragment shaders: the ring picture (Circles), the beat
// driven face picture with its text (Faces), and the slider that turns into beat flashes (Banger).

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/Shader.h"
#include "render/Texture.h"

namespace Effekter {

class Circles : public Effekt {
public:
    Circles(const EffectContext& context, int32_t start, int32_t end);
    void draw(uint32_t time, float beat) override;

private:
    FragmentProgram program;
    CTextureFreeImage ringImage;
    GLint timeLocation = -1;
};

class Faces : public Effekt {
public:
    Faces(const EffectContext& context, int32_t start, int32_t end);
    void draw(uint32_t time, float beat) override;

private:
    GLint timeLocation = -1;
    GLint beatLocation = -1;
    FragmentProgram program;
    CTextureFreeImage picture;
    CTextureFreeImage textImage;
};

class Banger : public Effekt {
public:
    Banger(const EffectContext& context, int32_t start, int32_t end);
    void draw(uint32_t time, float beat) override;

private:
    FragmentProgram program;
    CTextureFreeImage firstImage;
    CTextureFreeImage secondImage;
    GLint timeLocation = -1;

    void drawSlider(uint32_t elapsed, float lift);
    void drawFlashes(float lift, float beat);
};

} // namespace Effekter
