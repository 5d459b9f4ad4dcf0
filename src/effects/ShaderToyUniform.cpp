#include "effects/ShaderToyUniform.h"

#include "effects/ShaderToyText.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace shadertoy {

namespace {

struct TypeName {
    std::string_view name;
    UniformType type;
};

constexpr TypeName typeNames[] = {
    {"float", UniformType::Float},   {"int", UniformType::Int},   {"vec2", UniformType::Vec2},
    {"vec3", UniformType::Vec3},     {"vec4", UniformType::Vec4}, {"color3", UniformType::Color3},
    {"color4", UniformType::Color4},
};

std::string_view nameOf(UniformType type) {
    for (const TypeName& known : typeNames)
        if (known.type == type)
            return known.name;
    return "float";
}

// Reads the words from left to right; each read takes what it read off the front.
class Words {
public:
    explicit Words(std::string_view text) : text_(withoutLeadingSpace(text)) {}

    bool empty() const { return text_.empty(); }
    std::string_view rest() const { return text_; }

    std::string_view name() {
        const std::string_view found = leadingName(text_);
        skip(found.size());
        return found;
    }
    bool take(std::string_view word) {
        if (!startsWith(text_, word))
            return false;
        skip(word.size());
        return true;
    }
    std::optional<float> number() {
        const bool plus = startsWith(text_, "+");
        const char* begin = text_.data() + (plus ? 1 : 0);
        float value = 0;
        const auto [end, error] = std::from_chars(begin, text_.data() + text_.size(), value);
        if (error != std::errc() || !std::isfinite(value))
            return std::nullopt;
        skip(size_t(end - text_.data()));
        take("f") || take("F");
        return value;
    }

private:
    std::string_view text_;

    void skip(size_t count) { text_ = withoutLeadingSpace(text_.substr(count)); }
};

// `NUMBER` or `TYPE(NUMBER, ...)` with one number or one for each component.
std::optional<std::string> readValue(Words& words, Uniform& uniform) {
    const int count = componentCount(uniform.type);
    std::vector<float> numbers;
    if (const std::optional<float> single = words.number()) {
        numbers.push_back(*single);
    } else {
        const std::string_view constructor = words.name();
        if (constructor.empty() || !words.take("("))
            return "the value is a number or " + std::string(nameOf(uniform.type)) + "(...)";
        do {
            const std::optional<float> number = words.number();
            if (!number)
                return "a number is missing in " + std::string(constructor) + "(...)";
            numbers.push_back(*number);
        } while (words.take(","));
        if (!words.take(")"))
            return "')' is missing after the numbers of " + std::string(constructor) + "(...)";
    }
    if (numbers.size() != 1 && int(numbers.size()) != count)
        return "the value of a " + std::string(nameOf(uniform.type)) + " has " +
               std::to_string(count) + " numbers";
    for (int i = 0; i < count; ++i)
        uniform.value[size_t(i)] = numbers.size() == 1 ? numbers[0] : numbers[size_t(i)];
    if (uniform.type == UniformType::Int)
        uniform.value[0] = std::round(uniform.value[0]);
    return std::nullopt;
}

std::optional<std::string> readRange(Words& words, Uniform& uniform) {
    if (!words.take("{"))
        return "a range is 'in { MIN, MAX }'";
    const std::optional<float> low = words.number();
    const bool comma = words.take(",");
    const std::optional<float> high = words.number();
    if (!low || !comma || !high || !words.take("}"))
        return "a range is 'in { MIN, MAX }'";
    if (!(*low < *high))
        return "the range's first number must be below its second";
    uniform.min = low;
    uniform.max = high;
    return std::nullopt;
}

} // namespace

int componentCount(UniformType type) {
    switch (type) {
    case UniformType::Vec2:
        return 2;
    case UniformType::Vec3:
    case UniformType::Color3:
        return 3;
    case UniformType::Vec4:
    case UniformType::Color4:
        return 4;
    default:
        return 1;
    }
}

std::string_view glslTypeOf(UniformType type) {
    switch (type) {
    case UniformType::Color3:
        return "vec3";
    case UniformType::Color4:
        return "vec4";
    default:
        return nameOf(type);
    }
}

std::variant<Uniform, std::string> readUniformDirective(std::string_view text) {
    Words words(text);
    Uniform uniform;
    const std::string_view type = words.name();
    const auto known = std::find_if(std::begin(typeNames), std::end(typeNames),
                                    [&](const TypeName& name) { return name.name == type; });
    if (known == std::end(typeNames))
        return "#iUniform needs a type: float, int, vec2, vec3, vec4, color3 or color4";
    uniform.type = known->type;
    uniform.name = std::string(words.name());
    if (uniform.name.empty() || std::isdigit(static_cast<unsigned char>(uniform.name[0])) ||
        startsWith(uniform.name, "gl_"))
        return "#iUniform needs a name after its type";
    std::optional<std::string> fault;
    if (words.take("="))
        fault = readValue(words, uniform);
    if (!fault && words.take("in") && !words.rest().empty() && words.rest()[0] == '{')
        fault = readRange(words, uniform);
    if (!fault && words.take("step")) {
        uniform.step = words.number();
        if (!uniform.step || !(*uniform.step > 0))
            fault = "a step is a number above 0";
    }
    if (!fault && !words.empty() && !startsWith(words.rest(), "//"))
        fault = "unexpected '" + std::string(words.rest()) +
                "': a line is '#iUniform TYPE NAME = VALUE in { MIN, MAX } step STEP'";
    if (fault)
        return *fault;
    return uniform;
}

} // namespace shadertoy
