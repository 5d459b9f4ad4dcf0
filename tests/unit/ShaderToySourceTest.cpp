// Reading a ShaderToy pass from its bytes: the directives, the lines as written, and what a file
// of any content gives (problems, never a throw).
#include "effects/ShaderToySource.h"
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
    EXPECT_EQ(placeOf(pass, "#version 130"), "added");
    EXPECT_EQ(pass.source.find("#version 300"), std::string::npos);
    EXPECT_NE(pass.source.find("mainImage(shadertoyColour, gl_FragCoord.xy)"), std::string::npos);
    EXPECT_EQ(channelKindOfFile("a/b.Frag"), ChannelKind::Buffer);
    EXPECT_EQ(channelKindOfFile("clip.webm"), ChannelKind::Video);
    EXPECT_EQ(channelKindOfFile("noextension"), ChannelKind::Image);
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
        {"#iChannel0 \"sound\"", "unknown channel value \"sound\""},
        {"#iChannel0 \"file://\"", "unknown channel value \"file://\""},
        {"#iChannel0 \"file://nowhere.png\"", "the channel's file nowhere.png is missing"},
        {"#iChannel0::WrapMode \"Mirror\"", "unknown wrap mode \"Mirror\""},
        {"#iChannel0::MagFilter \"Mipmap\"", "a magnifying filter is \"Nearest\" or \"Linear\""},
        {"#iChannel0::MinFilter \"Cubic\"", "unknown filter \"Cubic\""},
        {"#iChannel0::VFlip \"true\"", "unknown channel setting 'VFlip'"},
        {"#iKeyboard", "unsupported directive '#iKeyboard'"},
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
    for (const char* line : {"#if 1", "#ifdef GL_ES", "#define iChannelCount 4", "#include_not"}) {
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
