#include "effects/EffectFamily.h"

const EffectFamily* findFamily(std::span<const EffectFamily> table, std::string_view keyword) {
    for (const EffectFamily& family : table)
        if (family.keyword == keyword)
            return &family;
    return nullptr;
}

std::string describeExtraLines(const EffectFamily& family) {
    std::string text;
    for (size_t i = 0; i < family.extraLines.size(); ++i) {
        if (i > 0)
            text += " and ";
        text += family.extraLines[i].meaning;
    }
    if (family.readsOwnLines)
        text += ", then the lines its plug-in reads";
    return text;
}
