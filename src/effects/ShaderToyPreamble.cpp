#include "effects/ShaderToyPreamble.h"

#include "effects/ShaderToyText.h"

#include <span>
#include <string_view>

namespace shadertoy {

namespace {

// What the website declares before the author's code, the channels' samplers aside. Each line is
// a line of the source that maps to no line of the author's files.
constexpr std::string_view websiteUniforms[] = {
    "uniform vec3 iResolution;",      "uniform float iTime;",
    "uniform float iGlobalTime;",     "uniform float iTimeDelta;",
    "uniform float iFrameRate;",      "uniform int iFrame;",
    "uniform float iChannelTime[4];", "uniform vec3 iChannelResolution[4];",
    "uniform vec4 iMouse;",           "uniform vec4 iDate;",
    "uniform float iSampleRate;",
};

// The website's language, with its precision lines. The old texture functions, which WebGL 1
// shaders call, read as their new names.
constexpr std::string_view es300Lines[] = {
    "precision highp float;",          "precision highp int;",
    "#define HW_PERFORMANCE 1",        "#define texture2D texture",
    "#define texture2DLod textureLod", "#define texture2DProj textureProj",
    "#define textureCube texture",     "#define textureCubeLod textureLod",
};

// The output of a pass in the website's language, which its main, or the file's own main that
// writes gl_FragColor, writes.
constexpr std::string_view es300Output[] = {
    "out vec4 shadertoyColour;",
    "#define gl_FragColor shadertoyColour",
};

// Where the driver has no GLSL ES 3.00: texture() and texture2D() both, integer loops, constant
// arrays and gl_FragColor.
constexpr std::string_view glsl130Lines[] = {"#define HW_PERFORMANCE 1"};

constexpr std::string_view mainCallingMainImage[] = {
    "void main() {",
    "    vec4 colour = vec4(0.0, 0.0, 0.0, 1.0);",
    "    mainImage(colour, gl_FragCoord.xy);",
    "    gl_FragColor = colour;",
    "}",
};

// A cube map pass is drawn face by face: iCubeFace holds the face's axes in the cube map's
// convention (s to the right, t up, and the face's direction), so that each pixel's ray leaves the
// cube's centre through that pixel's texel.
constexpr std::string_view mainCallingMainCubemap[] = {
    "uniform vec3 iCubeFace[3];",
    "void main() {",
    "    vec2 st = gl_FragCoord.xy / iResolution.xy * 2.0 - 1.0;",
    "    vec3 ray = normalize(iCubeFace[2] + st.x * iCubeFace[0] + st.y * iCubeFace[1]);",
    "    vec4 colour = vec4(0.0, 0.0, 0.0, 1.0);",
    "    mainCubemap(colour, gl_FragCoord.xy, vec3(0.0), ray);",
    "    gl_FragColor = colour;",
    "}",
};

// `#iKeyboard`: the keys by the codes the website's keyboard texture uses, and the keyboard's
// rows (held, pressed in this frame, toggled, released in this frame) as functions.
constexpr std::string_view keyboardLines[] = {
    "uniform sampler2D iKeyboard;",
    "const int Key_Backspace = 8, Key_Tab = 9, Key_Enter = 13, Key_Shift = 16, Key_Ctrl = 17, "
    "Key_Alt = 18, Key_Pause = 19, Key_CapsLock = 20, Key_Escape = 27, Key_Space = 32, "
    "Key_PageUp = 33, Key_PageDown = 34, Key_End = 35, Key_Home = 36, Key_LeftArrow = 37, "
    "Key_UpArrow = 38, Key_RightArrow = 39, Key_DownArrow = 40, Key_Insert = 45, "
    "Key_Delete = 46;",
    "const int Key_0 = 48, Key_1 = 49, Key_2 = 50, Key_3 = 51, Key_4 = 52, Key_5 = 53, "
    "Key_6 = 54, Key_7 = 55, Key_8 = 56, Key_9 = 57;",
    "const int Key_A = 65, Key_B = 66, Key_C = 67, Key_D = 68, Key_E = 69, Key_F = 70, "
    "Key_G = 71, Key_H = 72, Key_I = 73, Key_J = 74, Key_K = 75, Key_L = 76, Key_M = 77, "
    "Key_N = 78, Key_O = 79, Key_P = 80, Key_Q = 81, Key_R = 82, Key_S = 83, Key_T = 84, "
    "Key_U = 85, Key_V = 86, Key_W = 87, Key_X = 88, Key_Y = 89, Key_Z = 90;",
    "const int Key_Numpad0 = 96, Key_Numpad1 = 97, Key_Numpad2 = 98, Key_Numpad3 = 99, "
    "Key_Numpad4 = 100, Key_Numpad5 = 101, Key_Numpad6 = 102, Key_Numpad7 = 103, "
    "Key_Numpad8 = 104, Key_Numpad9 = 105;",
    "const int Key_F1 = 112, Key_F2 = 113, Key_F3 = 114, Key_F4 = 115, Key_F5 = 116, "
    "Key_F6 = 117, Key_F7 = 118, Key_F8 = 119, Key_F9 = 120, Key_F10 = 121, Key_F11 = 122, "
    "Key_F12 = 123;",
    "bool isKeyDown(int key) { return texelFetch(iKeyboard, ivec2(key, 0), 0).x > 0.5; }",
    "bool isKeyPressed(int key) { return texelFetch(iKeyboard, ivec2(key, 1), 0).x > 0.5; }",
    "bool isKeyToggled(int key) { return texelFetch(iKeyboard, ivec2(key, 2), 0).x > 0.5; }",
    "bool isKeyReleased(int key) { return texelFetch(iKeyboard, ivec2(key, 3), 0).x > 0.5; }",
};

// Whether the text, comments left out, defines a void function of that name.
bool definesFunction(std::string_view text, std::string_view name) {
    std::string code;
    code.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        if (startsWith(text.substr(at), "//")) {
            at = text.find('\n', at);
            if (at == std::string_view::npos)
                break;
        } else if (startsWith(text.substr(at), "/*")) {
            const size_t end = text.find("*/", at + 2);
            at = end == std::string_view::npos ? text.size() : end + 2;
            code += ' ';
        } else {
            code += text[at++];
        }
    }
    for (size_t at = code.find(name); at != std::string::npos; at = code.find(name, at + 1)) {
        if ((at > 0 && isNameCharacter(code[at - 1])) ||
            (at + name.size() < code.size() && isNameCharacter(code[at + name.size()])))
            continue;
        size_t next = at + name.size();
        while (next < code.size() && std::isspace(static_cast<unsigned char>(code[next])))
            ++next;
        if (next >= code.size() || code[next] != '(')
            continue;
        size_t before = at;
        while (before > 0 && std::isspace(static_cast<unsigned char>(code[before - 1])))
            --before;
        if (before >= 4 && code.compare(before - 4, 4, "void") == 0 &&
            (before == 4 || !isNameCharacter(code[before - 5])))
            return true;
    }
    return false;
}

// The name a declaration declares ("uniform vec3 iChannelResolution[4];" -> iChannelResolution).
std::string_view uniformName(std::string_view declaration) {
    const size_t start = declaration.rfind(' ') + 1;
    return declaration.substr(start, declaration.find_first_of("[;", start) - start);
}

// Whether a line of the text declares a uniform of that name itself (files made for other players
// declare the website's uniforms; the file's own declaration then stands alone).
bool declaresUniform(std::string_view text, std::string_view name) {
    for (size_t at = text.find(name); at != std::string_view::npos; at = text.find(name, at + 1)) {
        if ((at > 0 && isNameCharacter(text[at - 1])) ||
            (at + name.size() < text.size() && isNameCharacter(text[at + name.size()])))
            continue;
        const size_t lineStart = text.rfind('\n', at) + 1; // npos + 1 is 0
        const std::string_view before = withoutLeadingSpace(text.substr(lineStart, at - lineStart));
        if (startsWith(before, "uniform") && before.size() > 7 && isSpace(before[7]))
            return true;
    }
    return false;
}

void addLine(Pass& pass, std::string_view line) {
    pass.source += line;
    pass.source += '\n';
    pass.lines.lines.push_back({});
}

// Adds the declaration unless the body declares the uniform itself.
void addUniform(Pass& pass, const PassBody& body, std::string_view declaration) {
    if (!declaresUniform(body.text, uniformName(declaration)))
        addLine(pass, declaration);
}

} // namespace

void assembleSource(Pass& pass, const PassBody& body, Language language) {
    pass.ownMain = definesFunction(body.text, "main");
    pass.cubePass = !pass.ownMain && definesFunction(body.text, "mainCubemap") &&
                    !definesFunction(body.text, "mainImage");
    pass.source.clear();
    pass.lines.lines.clear();
    const bool es300 = language == Language::Es300;
    addLine(pass, es300 ? "#version 300 es" : "#version 130");
    for (const std::string& extension : body.extensions)
        addLine(pass, extension);
    for (std::string_view line : es300 ? std::span<const std::string_view>(es300Lines)
                                       : std::span<const std::string_view>(glsl130Lines))
        addLine(pass, line);
    // A file with a main of its own that declares its output itself keeps it alone.
    if (es300 && (!pass.ownMain || body.text.find("gl_FragColor") != std::string::npos))
        for (std::string_view line : es300Output)
            addLine(pass, line);
    for (std::string_view line : websiteUniforms)
        addUniform(pass, body, line);
    for (size_t channel = 0; channel < pass.channels.size(); ++channel) {
        const Channel& read = pass.channels[channel];
        const char* sampler = read.kind == ChannelKind::Cube || read.cubeType ||
                                      (read.kind == ChannelKind::Self && pass.cubePass)
                                  ? "samplerCube"
                                  : "sampler2D";
        addUniform(pass, body,
                   "uniform " + std::string(sampler) + " iChannel" + std::to_string(channel) + ";");
    }
    if (pass.keyboard)
        for (std::string_view line : keyboardLines)
            addLine(pass, line);
    pass.source += body.text;
    pass.lines.lines.insert(pass.lines.lines.end(), body.lines.begin(), body.lines.end());
    if (!pass.ownMain)
        for (std::string_view line : pass.cubePass
                                         ? std::span<const std::string_view>(mainCallingMainCubemap)
                                         : std::span<const std::string_view>(mainCallingMainImage))
            addLine(pass, line);
}

} // namespace shadertoy
