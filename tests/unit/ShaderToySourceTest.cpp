// Reading a ShaderToy pass from its bytes: the directives, the lines as written, and what a file
// of any content gives (problems, never a throw).
#include "effects/ShaderToySource.h"
#include "TestFiles.h"
#include "render/ShaderInputs.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace shadertoy;

// Files the reader finds, by path; any other is missing.
FileReader filesOf(std::map<std::string, std::string> files) {
    return [files = std::move(files)](const std::string& path) -> std::optional<std::string> {
        const auto found = files.find(path);
        return found == files.end() ? std::nullopt : std::optional<std::string>(found->second);
    };
}

// The author's place of the source line that holds `text`.
std::string placeOf(const Pass& pass, const std::string& text) {
    size_t begin = 0;
    for (int line = 1; begin < pass.source.size(); ++line) {
        const size_t end = pass.source.find('\n', begin);
        if (pass.source.compare(begin, end - begin, text) == 0) {
            const SourceLineMap::Place place = pass.lines.place(line);
            return place.file < 0
                       ? "added"
                       : pass.lines.files[size_t(place.file)] + ":" + std::to_string(place.line);
        }
        begin = end + 1;
    }
    return "not found";
}

TEST(ShaderToySource, DirectivesBecomeChannelsAndLinesKeepTheirPlaceInTheAuthorsFiles) {
    const std::string image = "#iChannel0 \"music\"\r\n"
                              "  #iChannel1 \"file://../pictures/a.PNG\"\n"
                              "#iChannel1::WrapMode \"clamp\"\n"
                              "#iChannel1::MinFilter \"Nearest\"\n"
                              "#iChannel2 \"self\"\n"
                              "#include \"lib/common.glsl\"\n"
                              "#extension GL_OES_standard_derivatives : enable\n"
                              "#version 300 es\n"
                              "void mainImage(out vec4 c, in vec2 p) { c = vec4(shade()); }\n";
    const Pass pass = readShaderToyPass(
        "show/toy/image.glsl", image,
        filesOf({{"show/toy/lib/common.glsl", "// shared\nfloat shade() { return 1.0; }\n"}}));
    ASSERT_EQ(pass.problems.size(), 1u);
    EXPECT_EQ(pass.problems[0],
              "show/toy/image.glsl:2:3: error: the channel's file show/pictures/a.PNG is missing");
    EXPECT_EQ(pass.channels[0].kind, ChannelKind::Music);
    EXPECT_EQ(pass.channels[1].kind, ChannelKind::None) << "the picture is missing";
    EXPECT_EQ(pass.channels[1].wrap, Wrap::Clamp);
    EXPECT_EQ(pass.channels[1].minFilter, Filter::Nearest);
    EXPECT_EQ(pass.channels[2].kind, ChannelKind::Self);
    EXPECT_EQ(pass.channels[3].kind, ChannelKind::None);
    EXPECT_FALSE(pass.ownMain);
    EXPECT_EQ(placeOf(pass, "float shade() { return 1.0; }"), "show/toy/lib/common.glsl:2");
    EXPECT_EQ(placeOf(pass, "void mainImage(out vec4 c, in vec2 p) { c = vec4(shade()); }"),
              "show/toy/image.glsl:9");
    EXPECT_EQ(placeOf(pass, "#extension GL_OES_standard_derivatives : enable"), "added");
    EXPECT_EQ(placeOf(pass, "#version 300 es"), "added");
    EXPECT_EQ(pass.source.find("#version 300 es"), 0u) << "the file's own version line is left out";
    EXPECT_NE(pass.source.find("mainImage(colour, gl_FragCoord.xy)"), std::string::npos);
    const Pass old = readShaderToyPass("toy.glsl", "void main() { gl_FragColor = vec4(1.0); }",
                                       filesOf({}), Language::Glsl130);
    EXPECT_EQ(old.source.find("#version 130\n"), 0u);
    EXPECT_TRUE(old.ownMain);
    EXPECT_EQ(channelKindOfFile("a/b.Frag"), ChannelKind::Buffer);
    EXPECT_EQ(channelKindOfFile("clip.webm"), ChannelKind::Video);
    EXPECT_EQ(channelKindOfFile("noextension"), ChannelKind::Image);
}

// A file as the most used editor extension writes it loads as written.
TEST(ShaderToySource, TheEditorExtensionsFormsReadAsWritten) {
    TempDir folder;
    const std::string toy = folder.file("toy/image.glsl");
    for (const char* name :
         {"toy/a.png", "toy/sound/tune.mp3", "toy/buf.glsl", "toy/sky_px.jpg", "toy/sky_nx.jpg",
          "toy/sky_py.jpg", "toy/sky_ny.jpg", "toy/sky_pz.jpg", "toy/sky_nz.jpg"})
        writeTextFile(folder.file(name), "");
    const std::string image = "#iChannel0 \"file://self\"\n"
                              "#iChannel1 \"./sound/tune.mp3\"\n"
                              "#iChannel2 \"file://sky_{}.jpg\"\n"
                              "#iChannel2::Type \"CubeMap\"\n"
                              "#iChannel2::MinFilter \"LinearMipMapNearest\"\n"
                              "#iChannel2::WrapMode \"Mirror\"\n"
                              "#iChannel3 \"a.png\"\n"
                              "#iUniform float width = 8.0 in { 0.1, 15.0 } step 0.1\n"
                              "#iUniform color3 tint = color3(0.8, 0.4, 0.4)\n"
                              "#iUniform vec2 offset = vec2(-1.5e1f)\n"
                              "#iUniform int count = +3 // three\n"
                              "#iKeyboard\n"
                              "#StrictCompatibility\n"
                              "  #iFirstPersonControls\n"
                              "void mainImage(out vec4 c, in vec2 p) { c = vec4(tint, width); }\n";
    const Pass pass = readShaderToyPass(toy, image, filesOf({}));
    EXPECT_TRUE(pass.problems.empty()) << pass.problems.front();
    EXPECT_EQ(pass.channels[0].kind, ChannelKind::Self);
    EXPECT_EQ(pass.channels[1].kind, ChannelKind::Sound);
    EXPECT_EQ(pass.channels[1].path, folder.file("toy/sound/tune.mp3"));
    EXPECT_EQ(pass.channels[2].kind, ChannelKind::Cube);
    EXPECT_EQ(pass.channels[2].faces[0], folder.file("toy/sky_px.jpg"));
    EXPECT_EQ(pass.channels[2].faces[5], folder.file("toy/sky_nz.jpg"));
    EXPECT_EQ(pass.channels[2].minFilter, Filter::LinearMipmapNearest);
    EXPECT_EQ(pass.channels[2].wrap, Wrap::Mirror);
    EXPECT_NE(pass.source.find("uniform samplerCube iChannel2;"), std::string::npos);
    EXPECT_EQ(pass.channels[3].kind, ChannelKind::Image);
    ASSERT_EQ(pass.uniforms.size(), 4u);
    const Uniform& width = pass.uniforms[0];
    EXPECT_EQ(width.value[0], 8.0f);
    EXPECT_EQ(width.min, 0.1f);
    EXPECT_EQ(width.max, 15.0f);
    EXPECT_EQ(width.step, 0.1f);
    EXPECT_EQ(pass.uniforms[1].type, UniformType::Color3);
    EXPECT_EQ(pass.uniforms[1].value, (std::array<float, 4>{0.8f, 0.4f, 0.4f, 0.0f}));
    EXPECT_EQ(pass.uniforms[2].value, (std::array<float, 4>{-15.0f, -15.0f, 0.0f, 0.0f}));
    EXPECT_EQ(pass.uniforms[3].value[0], 3.0f);
    EXPECT_EQ(placeOf(pass, "uniform vec3 tint;"), toy + ":9") << "declared in place";
    EXPECT_EQ(placeOf(pass, "uniform int count;"), toy + ":11");
    EXPECT_TRUE(pass.keyboard);
    EXPECT_NE(pass.source.find("bool isKeyDown(int key)"), std::string::npos);
    ASSERT_EQ(pass.warnings.size(), 2u);
    EXPECT_EQ(pass.warnings[0],
              toy + ":13:1: '#StrictCompatibility' is not read here; the line is left out");
    EXPECT_EQ(pass.warnings[1].rfind(toy + ":14:3: '#iFirstPersonControls'", 0), 0u);

    const Pass twice = readShaderToyPass(toy, "#iUniform float a\n#iUniform int a\n", filesOf({}));
    ASSERT_EQ(twice.problems.size(), 1u);
    EXPECT_EQ(twice.problems[0],
              toy + ":2:1: error: the uniform 'a' was declared before, at " + toy + ":1");
}

TEST(ShaderToySource, EveryDirectiveProblemIsReportedAtItsFileLineAndColumn) {
    const struct {
        const char* line;
        const char* problem; // after "toy.glsl:1:COLUMN: error: "
    } cases[] = {
        {"#iChannel4 \"music\"", "channel 4 is out of range: channels are 0 to 3"},
        {"#iChannel12 \"music\"", "channel 12 is out of range"},
        {"#iChannel \"music\"", "a channel number from 0 to 3 must follow '#iChannel'"},
        {"#iChannel0 music", "the value must follow in double quotes"},
        {"#iChannel0 \"music", "the value must follow in double quotes"},
        {"#iChannel0 \"https://example.org/a.png\"", "the channel names a web address"},
        {"#iChannel0 \"sound\"", "the channel's file sound is missing"},
        {"#iChannel0 \"file://\"", "unknown channel value \"file://\""},
        {"#iChannel0 \"file://nowhere.png\"", "the channel's file nowhere.png is missing"},
        {"#iChannel0::WrapMode \"Wobble\"", "unknown wrap mode \"Wobble\""},
        {"#iChannel0::Type \"Volume\"", "unknown channel type \"Volume\""},
        {"#iChannel0 \"music\"\n#iChannel0::Type \"CubeMap\"", "only images and buffer passes"},
        {"#iChannel0 \"file://sky_{}.png\"", "the six faces of sky_{}.png are missing"},
        {"#iChannel0::MagFilter \"Mipmap\"", "a magnifying filter is \"Nearest\" or \"Linear\""},
        {"#iChannel0::MinFilter \"Cubic\"", "unknown filter \"Cubic\""},
        {"#iChannel0::VFlip \"true\"", "unknown channel setting 'VFlip'"},
        {"#iUniform vec9 size = 1.0", "#iUniform needs a type"},
        {"#iUniform float = 1.0", "#iUniform needs a name"},
        {"#iUniform vec3 tint = vec3(1.0, 2.0)", "the value of a vec3 has 3 numbers"},
        {"#iUniform float size = 1.0 in { 2.0, 1.0 }", "the range's first number must be below"},
        {"#iUniform float size = 1.0 in { 1.0 }", "a range is 'in { MIN, MAX }'"},
        {"#iUniform float size = 1.0 step 0", "a step is a number above 0"},
        {"#iUniform int count = 3 wide", "unexpected 'wide'"},
        {"#include", "#include needs a path in double quotes"},
        {"#include \"gone.glsl\"", "the included file gone.glsl is missing"},
        {"#include \"toy.glsl\"", "include cycle: toy.glsl -> toy.glsl"},
        {"   #iChannel9 \"self\"", "channel 9 is out of range"},
    };
    for (const auto& test : cases) {
        const std::string text = std::string(test.line) + "\nvoid main() {}\n";
        const Pass pass = readShaderToyPass("toy.glsl", text, filesOf({{"toy.glsl", text}}));
        ASSERT_EQ(pass.problems.size(), 1u) << test.line;
        const int column = test.line[0] == ' ' ? 4 : 1;
        EXPECT_EQ(pass.problems[0].rfind(
                      "toy.glsl:1:" + std::to_string(column) + ": error: " + test.problem, 0),
                  0u)
            << pass.problems[0];
        EXPECT_TRUE(pass.ownMain);
    }
    // Not directives of ours: left to the compiler.
    for (const char* line : {"#if 1", "#ifdef GL_ES", "#define iChannelCount 4", "#"}) {
        const Pass pass = readShaderToyPass("toy.glsl", line, filesOf({}));
        EXPECT_TRUE(pass.problems.empty()) << line;
        EXPECT_NE(pass.source.find(line), std::string::npos) << line;
    }
}

TEST(ShaderToySource, AnyBytesGiveAPassOrProblemsAndNeverThrow) {
    const std::string nul("void mainImage() {}\0#iChannel0", 30);
    EXPECT_EQ(readShaderToyPass("toy.glsl", nul, filesOf({})).problems.front(),
              "toy.glsl:1:1: error: the file holds a NUL byte; a shader is text");
    std::string deep = "#include \"deep.glsl\"\n";
    const Pass nested = readShaderToyPass("deep.glsl", "#include \"a/../deep.glsl\"\n",
                                          filesOf({{"deep.glsl", deep}}));
    ASSERT_EQ(nested.problems.size(), 1u);
    EXPECT_NE(nested.problems[0].find("include cycle"), std::string::npos);
    // Every file includes two more: the work stays bounded.
    const Pass tree = readShaderToyPass("t.glsl", "#include \"a/t.glsl\"\n#include \"b/t.glsl\"\n",
                                        [](const std::string&) -> std::optional<std::string> {
                                            return "#include \"a/t.glsl\"\n#include \"b/t.glsl\"\n";
                                        });
    EXPECT_EQ(tree.lines.files.size(), 256u);
    ASSERT_FALSE(tree.problems.empty());
    EXPECT_NE(tree.problems.back().find("at most 255 files"), std::string::npos);
    for (const char* odd :
         {"", "#", "#i", "#iChannel0::", "#iChannel0::WrapMode", "\n\n\n", "#iChannel0 \"\"",
          "#iChannel3::MinFilter \"\"\"", "/* void main( */"}) {
        const Pass pass = readShaderToyPass("toy.glsl", odd, filesOf({}));
        EXPECT_FALSE(pass.ownMain) << odd;
        EXPECT_EQ(pass.lines.lines.size(),
                  size_t(std::count(pass.source.begin(), pass.source.end(), '\n')))
            << odd;
    }
}

TEST(ShaderToyMouse, PressDragAndReleaseAreEncodedAsTheWebsiteDoes) {
    FrameInputs inputs;
    const auto mouse = [&] {
        const float* m = inputs.mouse();
        return std::vector<float>(m, m + 4);
    };
    EXPECT_EQ(mouse(), (std::vector<float>{0, 0, 0, 0}));
    inputs.moveMouse(5, 5);
    EXPECT_EQ(mouse(), (std::vector<float>{0, 0, 0, 0})) << "a move without the button";
    inputs.pressMouse(100, 225);
    EXPECT_EQ(mouse(), (std::vector<float>{100, 225, 100, 225})) << "the frame of the press";
    inputs.endMouseFrame();
    inputs.moveMouse(300, 100);
    EXPECT_EQ(mouse(), (std::vector<float>{300, 100, 100, -225})) << "held and dragged";
    inputs.releaseMouse();
    inputs.endMouseFrame();
    inputs.moveMouse(1, 1);
    EXPECT_EQ(mouse(), (std::vector<float>{300, 100, -100, -225})) << "released";
}

} // namespace
