#pragma once
// What an effect is given when it is made, beyond its script values: the frame it draws in (the
// music's spectrum and waveform, the mouse, the show's named values), the show's files, and the
// state that the entries of one family share. The show owns all three for its life; an effect
// keeps whatever it needs of them.

#include <memory>
#include <typeindex>
#include <unordered_map>

class FrameInputs;
class ShowFiles;

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
};
