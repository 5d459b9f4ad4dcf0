#pragma once
// How a show's beat level follows its music, set by the tracks file's `beat` lines: `beat auto`
// scales the low-band sum so that the music's own loud moments reach 1, `beat gain G` multiplies
// it. Without either the sum is taken as it is.

struct BeatSetting {
    bool automatic = false;
    float gain = 1.0f;

    bool operator==(const BeatSetting&) const = default;
};
