#pragma once
// What an effect is given when it is made, beyond its script values: the frame it draws in (the
// music's spectrum and waveform, the mouse, the show's named values), the show's files, the state
// that the entries of one family share, and a reader of sound files. The show owns them for its
// life; an effect keeps whatever it needs of them.

#include <memory>
#include <typeindex>
#include <unordered_map>

class FrameInputs;
class ShowFile;
class ShowFiles;

// A sound file decoded whole, as the spectrum and waveform that a frame shows of it.
class SoundTrack {
public:
    virtual ~SoundTrack() = default;
    // The spectrumTextureBins magnitudes and the soundTextureWidth mono samples (render/
    // ShaderInputs.h) that end `seconds` into the sound, which loops.
    virtual void analyze(double seconds, float* spectrum, float* waveform) = 0;
};

class SoundFiles {
public:
    virtual ~SoundFiles() = default;
    // Decodes the file; throws ShowError saying why it cannot be played.
    virtual std::unique_ptr<SoundTrack> open(const ShowFile& file) = 0;
};

// One value of each type asked for, made the first time and kept as long as the store: state
// that every entry of a family shares within one show, and that a show loaded afresh starts anew.
class FamilyStates {
public:
    template <class State> State& get() {
        std::shared_ptr<void>& state = states_[std::type_index(typeid(State))];
        if (!state)
            state = std::make_shared<State>();
        return *static_cast<State*>(state.get());
    }

private:
    std::unordered_map<std::type_index, std::shared_ptr<void>> states_;
};

struct EffectContext {
    FrameInputs& frame;
    ShowFiles& files;
    FamilyStates& shared;
    SoundFiles* sounds = nullptr; // none where no sound is decoded (tests of drawing alone)
};
