// The values of a ShaderToy entry that tracks drive: those its passes declare for tuning
// (`#iUniform`), one value a name for the whole entry, shown in the overlay among the entry's
// values, and iMouse.
#include "effects/ShaderToy.h"

#include "effects/ShaderToyUniform.h"
#include "platform/Error.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace Effekter {

namespace {

using shadertoy::UniformType;

int tweakTypeOf(UniformType type) {
    switch (type) {
    case UniformType::Int:
        return TweakInt32;
    case UniformType::Vec2:
        return TweakVec2F;
    case UniformType::Vec3:
        return TweakDir3F;
    case UniformType::Vec4:
        return TweakQuat4F;
    case UniformType::Color3:
        return TweakColor3F;
    case UniformType::Color4:
        return TweakColor4F;
    default:
        return TweakFloat;
    }
}

// The tweak definition of its range and step ("min=0.1 max=15 step=0.1").
std::string definitionOf(const shadertoy::Uniform& uniform) {
    std::string definition;
    const auto add = [&](const char* key, const std::optional<float>& number) {
        if (number)
            definition += formatText("%s%s=%g", definition.empty() ? "" : " ", key, *number);
    };
    add("min", uniform.min);
    add("max", uniform.max);
    add("step", uniform.step);
    return definition;
}

} // namespace

void ShaderToy::addTunedValues(PassProgram& pass) {
    for (const shadertoy::Uniform& declared : pass.source.uniforms) {
        const auto known = std::find_if(tuned_.begin(), tuned_.end(), [&](const auto& value) {
            return value->declared.name == declared.name;
        });
        if (known == tuned_.end()) {
            auto value = std::make_unique<TunedValue>();
            value->declared = declared;
            std::copy(declared.value.begin(), declared.value.end(), value->numbers);
            value->whole = int32_t(std::clamp(std::lround(double(declared.value[0])),
                                              long(INT32_MIN), long(INT32_MAX)));
            tuned_.push_back(std::move(value));
        } else if ((*known)->declared.type != declared.type) {
            const shadertoy::Uniform& first = (*known)->declared;
            problems_.push_back(
                formatText("%s:%d:1: error: the uniform '%s' is a %s here and a %s at %s:%d",
                           declared.file.c_str(), declared.line, declared.name.c_str(),
                           std::string(shadertoy::glslTypeOf(declared.type)).c_str(),
                           std::string(shadertoy::glslTypeOf(first.type)).c_str(),
                           first.file.c_str(), first.line));
        }
    }
}

void ShaderToy::setTunedUniform(GLint location, const TunedValue& value) {
    switch (shadertoy::componentCount(value.declared.type)) {
    case 2:
        glUniform2fv(location, 1, value.numbers);
        break;
    case 3:
        glUniform3fv(location, 1, value.numbers);
        break;
    case 4:
        glUniform4fv(location, 1, value.numbers);
        break;
    default:
        if (value.declared.type == UniformType::Int)
            glUniform1i(location, value.whole);
        else
            glUniform1f(location, value.numbers[0]);
        break;
    }
}

std::vector<std::string> ShaderToy::componentTracks() const {
    std::vector<std::string> names = {"iMouse.x", "iMouse.y", "iMouse.z", "iMouse.w"};
    for (const auto& value : tuned_) {
        const shadertoy::Uniform& declared = value->declared;
        const bool colour =
            declared.type == UniformType::Color3 || declared.type == UniformType::Color4;
        const int count = shadertoy::componentCount(declared.type);
        for (int i = 0; count > 1 && i < count; ++i)
            names.push_back(declared.name + '.' + (colour ? "rgba" : "xyzw")[i]);
    }
    return names;
}

void ShaderToy::findMouse() {
    // Tracks of these names drive iMouse where the show has them; the author's mouse elsewhere.
    static constexpr std::string_view tracks[] = {"iMouse.x", "iMouse.y", "iMouse.z", "iMouse.w"};
    const NamedValues* values = frameInputs_.values();
    for (size_t i = 0; i < std::size(tracks); ++i) {
        const float* tracked = values ? values->find(tracks[i]) : nullptr;
        mouse_[i] = tracked ? *tracked : frameInputs_.mouse()[i];
    }
}

void ShaderToy::registerTweaks(TweakRegistry& tweaks) {
    for (const auto& value : tuned_) {
        const shadertoy::Uniform& declared = value->declared;
        void* address = declared.type == UniformType::Int ? static_cast<void*>(&value->whole)
                                                          : static_cast<void*>(value->numbers);
        tweaks.addVariable(tweakBar, declared.name, tweakTypeOf(declared.type), address,
                           definitionOf(declared), declared.name);
    }
}

} // namespace Effekter
