#include "timeline/ShowFrame.h"

#include "audio/MusicStream.h"
#include "render/GL.h"
#include "render/ShaderInputs.h"
#include "timeline/EntryTimer.h"
#include "timeline/Show.h"

#include <cstdio>

uint32_t effectTimeAt(double seconds, uint32_t startOffset) {
    const auto milliseconds = static_cast<int64_t>(seconds * 1000.0);
    return static_cast<uint32_t>(milliseconds) + startOffset;
}

float lowBandSum(const float* spectrum) {
    float sum = 0;
    for (int bin = 0; bin < beatBins; ++bin)
        sum += spectrum[bin];
    return sum;
}

float beatLevelOfSum(float sum) {
    const float level = sum * sum * sum * sum * sum * sum;
    return level > 1.0f ? 1.0f : level;
}

float beatLevel(const float* spectrum, float scale) {
    return beatLevelOfSum(lowBandSum(spectrum) * scale);
}

void drawActiveEffects(EffectList& effects, uint32_t time, float beat) {
    for (const auto& effect : effects)
        if (effect->isActiveAt(time))
            effect->draw(time, beat);
}

void clearFrame() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

uint32_t prepareMusicFrame(const MusicStream& music, Show& show, float& beat) {
    const uint32_t time = effectTimeAt(music.positionSeconds(), show.startOffset());
    float spectrum[spectrumSize];
    music.spectrum(spectrum);
    beat = beatLevel(spectrum, show.tracks().beatScale());
    static_assert(spectrumSize == spectrumTextureBins);
    FrameInputs& inputs = show.frame();
    inputs.setSpectrum(spectrum);
    float waveform[soundTextureWidth];
    music.waveform(waveform, soundTextureWidth);
    inputs.setWaveform(waveform);
    show.tracks().apply(time);
    return time;
}

uint32_t drawMusicFrame(const MusicStream& music, Show& show, EntryTimer* timer, float* beat) {
    float level = 0;
    const uint32_t time = prepareMusicFrame(music, show, level);
    if (timer)
        timer->drawActive(show.effects(), time, level);
    else
        drawActiveEffects(show.effects(), time, level);
    if (beat)
        *beat = level;
    return time;
}

void describeActiveEntries(const Show& show, uint32_t time, char* text, size_t size) {
    int written = std::snprintf(text, size, "the entries active at %u ms:", time);
    const EffectList& effects = show.effects();
    for (size_t i = 0; i < effects.size() && written > 0 && size_t(written) < size; ++i)
        if (effects[i]->startTime < time && time < effects[i]->endTime)
            written += std::snprintf(text + written, size - size_t(written), " %s:%d %.*s",
                                     showScriptPath, show.entries()[i].lines.keyword,
                                     int(show.entries()[i].family->keyword.size()),
                                     show.entries()[i].family->keyword.data());
}
