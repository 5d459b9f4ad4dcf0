#pragma once
// The registry of live-tunable variables: effects add their fields (name, type, address and a
// definition string such as "min=0 max=1 step=0.01") and enumerations. An on-screen panel can be
// put on top of it; the show itself only fills and clears it.

#include <string>
#include <utility>
#include <vector>

// A bar groups variables; effects hold a pointer to one (null unless a panel made it).
struct TweakBar {
    std::string title;
};

// Built-in value types, and enumerations defined at run time (ids from firstEnumType on).
enum TweakType : int {
    TweakBool = 1,
    TweakInt32,
    TweakFloat,
    TweakDouble,
    TweakColor3F,
    TweakColor4F,
    TweakDir3F,
    TweakQuat4F,
    TweakVec2F,
    firstEnumType = 100,
};

struct TweakEnumValue {
    int value;
    std::string label;
};

struct TweakVariable {
    const TweakBar* bar;
    std::string name;
    int type;
    void* address;
    std::string definition;
    // The track that drives it, when it is a free name rather than the entry's own value (a
    // shader's uniform that the author declared for tuning).
    std::string trackName = {};
};

struct TweakEnum {
    int type;
    std::string name;
    std::vector<TweakEnumValue> values;
};

// One show's registry: its entries add their values when the show binds its tracks.
class TweakRegistry {
public:
    // Defines an enumeration and returns its type id.
    int defineEnum(const std::string& name, std::vector<TweakEnumValue> values);
    void addVariable(const TweakBar* bar, const std::string& name, int type, void* address,
                     const std::string& definition, const std::string& trackName = {});
    // Forgets every variable and enumeration.
    void terminate();

    const std::vector<TweakVariable>& variables() const { return variables_; }
    const std::vector<TweakEnum>& enums() const { return enums_; }
    const TweakVariable* find(const std::string& name) const;

private:
    std::vector<TweakVariable> variables_;
    std::vector<TweakEnum> enums_;
};
