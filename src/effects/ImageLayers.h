#pragma once
// Full-screen image layers: a moving or fading picture, a white flash, an empty overlay entry and
// the entry that ends the show.

#include "effects/EffectContext.h"
#include "effekt/Effekt.h"
#include "render/Texture.h"

#include <cstdint>
#include <string>

namespace Effekter {

class AlphaBlendImage : public Effekt {
public:
    enum Mode : int32_t {
        UP,
        DOWN,
        LEFT,
        RIGHT,
        UPCENTER,
        BEATUP,
        BEATBACK,
        RANDOM,
        BEATCENTER,
        STATICFADEOUT,
        STATICFADEIN,
    };
    // Any value outside UP..STATICFADEIN draws the image still, centred and opaque.
    static constexpr int32_t stillImage = -1;

    uint32_t lastTrigger = 0; // time at which a beat last re-triggered a beat mode
    CTextureFreeImage image;
    int32_t mode;

    // An unknown mode word selects stillImage and is reported on the debug output.
    AlphaBlendImage(const EffectContext& context, int32_t start, int32_t end,
                    const std::string& imagePath, const std::string& modeWord);

    // The mode a word selects (exact, case-sensitive), or stillImage.
    static int32_t modeFromWord(const std::string& word);

    void registerTweaks(TweakRegistry& tweaks) override;
    void draw(uint32_t time, float beat) override;

private:
    struct Placement {
        float x = 0, y = 0, angle = 0, scale = 1, alpha = 1;
    };
    Placement placementAt(uint32_t time, float beat);
};

// Adds white over the whole picture, fading from full to nothing over the window.
class FlashWhite : public Effekt {
public:
    using Effekt::Effekt;
    void draw(uint32_t time, float beat) override;
};

// A script entry that draws nothing.
class Overlays : public Effekt {
public:
    using Effekt::Effekt;
    void draw(uint32_t, float) override {}
};

// Ends the presentation through the error path with "End of show".
class EndDemo : public Effekt {
public:
    using Effekt::Effekt;
    [[noreturn]] void draw(uint32_t time, float beat) override;
};

// Fraction of the window [startTime, endTime] that has passed at `time`.
float windowProgress(const Effekt& effect, uint32_t time);

} // namespace Effekter
