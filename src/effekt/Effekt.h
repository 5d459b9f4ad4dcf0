#pragma once
// The base of every timed effect, and the owning list of a run's effects.

#include "effekt/Tweaks.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Effekt {
public:
    uint32_t endTime;   // exclusive upper bound of the active window, milliseconds
    uint32_t startTime; // exclusive lower bound
    TweakBar* tweakBar = nullptr;
    std::string name;
    // Pictures it keeps (in render targets of its own) carry from one of its frames to the next.
    bool keepsPictures = false;
    // Set while it is drawn only for the state it leaves behind, none of its pictures ever to be
    // seen (a render's lead-in, for entries that end before it draws in full and for entries that
    // keep no pictures): work whose only product is pixel data of its own may be skipped, as long
    // as every GL call is still made and the next frame drawn in full makes its pixels anew.
    bool picturesUnseen = false;
    // Set while what it draws on the screen in this frame is neither seen nor read by anything
    // drawn after it (a render's lead-in, drawn in full for the pictures entries keep): drawing
    // that only reaches the screen may be left out as long as every GL call is still made (under
    // rasteriser discard); the pictures it keeps are made as always.
    bool screenUnseen = false;

    // Script values are stored bit for bit: -1 becomes 4294967295.
    Effekt(int32_t start, int32_t end)
        : endTime(static_cast<uint32_t>(end)), startTime(static_cast<uint32_t>(start)) {}
    virtual ~Effekt() = default;
    Effekt(const Effekt&) = delete;
    Effekt& operator=(const Effekt&) = delete;

    // Adds its tweakable values to the show's registry under its tweakBar, when the show binds its
    // tracks to the entries.
    virtual void registerTweaks(TweakRegistry& /*tweaks*/) {}
    // The float uniforms its shaders take from the free tracks of the same names.
    virtual std::vector<std::string> trackUniforms() const { return {}; }
    // Called once per frame while startTime < time < endTime.
    virtual void draw(uint32_t time, float beat) = 0;

    bool isActiveAt(uint32_t time) const { return startTime < time && time < endTime; }
};

using EffectList = std::vector<std::unique_ptr<Effekt>>;
