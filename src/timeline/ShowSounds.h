#pragma once
// The sound files that a show's entries read as pictures (a ShaderToy channel naming a sound
// file): each decoded whole when it loads, its spectrum and waveform taken as the music's are.

#include "effects/EffectContext.h"

class ShowSounds final : public SoundFiles {
public:
    std::unique_ptr<SoundTrack> open(const ShowFile& file) override;
};
