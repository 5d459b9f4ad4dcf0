#include "effekt/Tweaks.h"

int TweakRegistry::defineEnum(const std::string& name, std::vector<TweakEnumValue> values) {
    const int type = firstEnumType + int(enums_.size());
    enums_.push_back({type, name, std::move(values)});
    return type;
}

void TweakRegistry::addVariable(const TweakBar* bar, const std::string& name, int type,
                                void* address, const std::string& definition,
                                const std::string& trackName) {
    variables_.push_back({bar, name, type, address, definition, trackName});
}

void TweakRegistry::terminate() {
    variables_.clear();
    enums_.clear();
}

const TweakVariable* TweakRegistry::find(const std::string& name) const {
    for (const TweakVariable& variable : variables_)
        if (variable.name == name)
            return &variable;
    return nullptr;
}
