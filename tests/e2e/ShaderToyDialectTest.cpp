// ShaderToy files as people share them: the most used editor extension's forms, cube maps, tuned
// values, sound files, iMouse from tracks, and pictures of floats.
#include "ToyShow.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

namespace fs = std::filesystem;

// Draws only in stripe s of eight across the picture.
const char* const stripeSource =
    "void inStripe(int s, vec2 at, vec3 colour, out vec4 outColour) {\n"
    "    if (int(at.x * 8.0 / iResolution.x) != s) discard;\n"
    "    outColour = vec4(colour, 1.0);\n"
    "}\n";

std::string stripePass(int stripe, const std::string& directives, const std::string& colour) {
    return directives +
           "#include \"stripe.glsl\"\n"
           "void mainImage(out vec4 c, in vec2 at) {\n"
           "    inStripe(" +
           std::to_string(stripe) + ", at, " + colour + ", c);\n}\n";
}

// Files written for the most used editor extension draw as written: its channel forms, a cube
// map's faces by {}, a cube map drawn by a pass, tuned values keyed by tracks, a sound file as a
// channel, and iMouse from tracks; the check passes with a warning for each line that changes
// nothing here.
TEST(ShaderToy, TheEditorExtensionsFilesDrawAsWritten) {
    ToyShow show;
    show.file("data/toy/stripe.glsl", stripeSource);
    show.file("data/toy/count.glsl",
              stripePass(0, "#iChannel0 \"file://self\"\n#StrictCompatibility\n",
                         "vec3(texelFetch(iChannel0, ivec2(8, 8), 0).r + 1.0 / 255.0, 0.0, 0.0)"));
    // Red, green, blue, white across: mirrored, -0.375 reads the green texel.
    const Rgba strip[] = {
        {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};
    writeImage((show.path() / "data/toy/pictures/strip.png").string(), 4, 1,
               [&](int x, int) { return strip[x]; });
    show.file("data/toy/mirror.glsl",
              stripePass(1,
                         "#iChannel0 \"pictures/strip.png\"\n#iChannel0::WrapMode \"Mirror\"\n"
                         "#iChannel0::MinFilter \"NearestMipMapNearest\"\n"
                         "#iChannel0::MagFilter \"Nearest\"\n",
                         "texture(iChannel0, vec2(-0.375, 0.5)).rgb"));
    const Rgba faces[] = {{255, 0, 0, 255},   {0, 255, 255, 255}, {0, 255, 0, 255},
                          {255, 0, 255, 255}, {0, 0, 255, 255},   {255, 255, 0, 255}};
    const char* const faceNames[] = {"e", "w", "u", "d", "n", "s"};
    for (int face = 0; face < 6; ++face)
        writeImage(
            (show.path() / "data/toy/cube" / ("sky_" + std::string(faceNames[face]) + ".png"))
                .string(),
            4, 4, [&](int, int) { return faces[face]; });
    show.file("data/toy/cube.glsl",
              "#iChannel0 \"file://cube/sky_{}.png\"\n#iChannel0::Type \"CubeMap\"\n"
              "const vec3 faces[6] = vec3[](vec3(1, 0, 0), vec3(0, 1, 1), vec3(0, 1, 0),\n"
              "                             vec3(1, 0, 1), vec3(0, 0, 1), vec3(1, 1, 0));\n"
              "const vec3 ways[6] = vec3[](vec3(1, 0, 0), vec3(-1, 0, 0), vec3(0, 1, 0),\n"
              "                            vec3(0, -1, 0), vec3(0, 0, 1), vec3(0, 0, -1));\n"
              "float matched() {\n"
              "    float count = 0.0;\n"
              "    for (int i = 0; i < 6; i++)\n"
              "        if (distance(texture(iChannel0, ways[i] + 0.1).rgb, faces[i]) < 0.01)\n"
              "            count += 40.0;\n"
              "    return count / 255.0;\n"
              "}\n" +
                  stripePass(2, "", "vec3(matched(), 0.0, 0.0)"));
    show.file("data/toy/tuned.glsl",
              stripePass(3,
                         "#iUniform float width = 8.0 in { 0.1, 15.0 } step 0.1\n"
                         "#iUniform color3 tint = color3(0.8, 0.4, 0.4)\n"
                         "#iUniform int count = 7\n#iKeyboard\n  #iFirstPersonControls\n",
                         "vec3(width / 255.0, tint.g, float(count + int(isKeyDown(Key_A))) / "
                         "255.0)"));
    // A tone of 1000 Hz as a sound file: loud in its bin (46), quiet where the music's 440 Hz is.
    std::vector<float> tone(size_t(2 * musicSampleRate) * 2);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = float(0.5 * std::sin(2 * M_PI * 1000 * double(i / 2) / musicSampleRate));
    writeAudioFile((show.path() / "data/toy/tune.wav").string(), AudioFileFormat::Wav, tone,
                   musicSampleRate);
    show.file("data/toy/sound.glsl",
              stripePass(4, "#iChannel0 \"./tune.wav\"\n",
                         "vec3(texture(iChannel0, vec2(46.5 / 512.0, 0.25)).x,\n"
                         "     texture(iChannel0, vec2(20.5 / 512.0, 0.25)).x,\n"
                         "     iChannelResolution[0].x / 1024.0)"));
    show.file("data/toy/mouse.glsl", stripePass(5, "", "vec3(iMouse.xy, -iMouse.z) / 255.0"));
    // Locals left uninitialised start at zero, as in the website's browsers.
    show.file("data/toy/unset.glsl", "float unset(float seed) {\n"
                                     "    float sum;\n"
                                     "    vec3 step;\n"
                                     "    for (int i = 0; i < 4; i++) {\n"
                                     "        if (seed > 1e6) sum = seed;\n"
                                     "        step.x += 0.25;\n"
                                     "    }\n"
                                     "    return sum + step.x;\n"
                                     "}\n" +
                                         stripePass(6, "", "vec3(unset(at.x) == 1.0 ? 1.0 : 0.5)"));
    // A pass drawing a cube map: each texel holds the direction it was drawn for, and a count of
    // the frames, read from itself.
    show.file("data/toy/sky.glsl",
              "#iChannel0 \"self\"\n"
              "void mainCubemap(out vec4 c, in vec2 at, in vec3 origin, in vec3 ray) {\n"
              "    c = vec4(ray * 0.5 + 0.5, texture(iChannel0, ray).a + 1.0);\n"
              "}\n");
    show.file(
        "data/toy/sky-read.glsl",
        stripePass(7,
                   "#iChannel0 \"sky.glsl\"\n#iChannel0::Type \"CubeMap\"\n"
                   "float drawnFor() {\n"
                   "    float count = 0.0;\n"
                   "    for (int i = 0; i < 24; i++) {\n"
                   "        float f = float(i);\n"
                   "        vec3 way = vec3(0.0);\n"
                   "        way[i % 3] = i % 6 < 3 ? 1.0 : -1.0;\n"
                   "        way = normalize(way + 0.7 * vec3(sin(f * 1.7), cos(f * 2.3), "
                   "sin(f + 1.0)));\n"
                   "        if (distance(texture(iChannel0, way).rgb * 2.0 - 1.0, way) < 0.01)\n"
                   "            count += 10.0;\n"
                   "    }\n"
                   "    return count;\n"
                   "}\n",
                   "vec3(drawnFor(), texture(iChannel0, vec3(0.3, -1.0, 0.2)).a,\n"
                   "     iChannelResolution[0].x / 4.0) / 255.0"));
    writeTextFile((show.path() / "data/demo.tracks").string(),
                  "track width\n0 3\ntrack tint.g\n0 0.25\ntrack iMouse.x\n0 12\n"
                  "track iMouse.y\n0 34\ntrack iMouse.z\n0 -5\n");
    std::string entries;
    for (const char* pass :
         {"count", "mirror", "cube", "tuned", "sound", "mouse", "unset", "sky-read"})
        entries += std::string("ShaderToy\n0\n3000\ndata/toy/") + pass + ".glsl\n";
    show.script(entries, 8);
    int width = 0, height = 0;
    const std::vector<Rgba> pixels = show.shot("1000", "128x16", width, height);
    ASSERT_EQ(pixels.size(), 128u * 16u);
    const auto stripe = [&](int s) { return pixels[size_t(8 * width + 16 * s + 8)]; };
    EXPECT_EQ(stripe(0), (Rgba{10, 0, 0, 255})) << "file://self counts the frames";
    EXPECT_EQ(stripe(1), strip[1]) << "a bare path, mirrored";
    EXPECT_EQ(stripe(2), (Rgba{240, 0, 0, 255})) << "the cube map's six faces by direction";
    EXPECT_EQ(stripe(3), (Rgba{3, 64, 7, 255})) << "width and tint.g from tracks, count as set";
    EXPECT_GT(stripe(4).r, 230) << "the sound file's tone";
    EXPECT_LT(stripe(4).g, 100) << "the music's tone is not in the sound file";
    EXPECT_EQ(stripe(4).b, 128) << "a sound channel is 512 wide";
    EXPECT_EQ(stripe(5), (Rgba{12, 34, 5, 255})) << "iMouse from tracks";
    EXPECT_EQ(stripe(6), (Rgba{255, 255, 255, 255})) << "uninitialised locals start at zero";
    EXPECT_EQ(stripe(7), (Rgba{240, 10, 128, 255}))
        << "a cube map pass: its texels read back by the directions they were drawn for, ten "
           "frames counted through itself, 512 texels a side";

    ShowProcess check(show.path(), {"--check"});
    EXPECT_EQ(check.wait(), 0) << check.standardOutput();
    const std::string report = check.standardOutput();
    EXPECT_NE(report.find("data/toy/count.glsl:2:1: '#StrictCompatibility' is not read here"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("data/toy/tuned.glsl:5:3: '#iFirstPersonControls' is not read here"),
              std::string::npos)
        << report;
    EXPECT_EQ(report.find("feeds nothing"), std::string::npos) << report;
}

// A picture of one colour of floats, saved through the image library as the type the format takes.
void writeFloatPicture(const std::string& path, FREE_IMAGE_FORMAT format, FREE_IMAGE_TYPE type,
                       const float (&rgba)[4], int flags = 0) {
    FIBITMAP* picture = FreeImage_AllocateT(type, 4, 4);
    for (unsigned y = 0; y < 4; ++y) {
        BYTE* row = FreeImage_GetScanLine(picture, int(y));
        for (unsigned x = 0; x < 4; ++x) {
            if (type == FIT_RGB16) {
                const uint16_t texel[3] = {uint16_t(std::lround(rgba[0] * 65535)),
                                           uint16_t(std::lround(rgba[1] * 65535)),
                                           uint16_t(std::lround(rgba[2] * 65535))};
                std::memcpy(row + x * sizeof texel, texel, sizeof texel);
            } else {
                const size_t count = type == FIT_RGBAF ? 4 : 3;
                std::memcpy(row + x * count * sizeof(float), rgba, count * sizeof(float));
            }
        }
    }
    EXPECT_TRUE(FreeImage_Save(format, picture, path.c_str(), flags)) << path;
    FreeImage_Unload(picture);
}

// A DDS file of 16-bit floats (the old code 113: four halves a texel), 2 x 2 of one colour.
void writeHalfDds(const std::string& path, const uint16_t (&rgba)[4]) {
    uint32_t header[31] = {};
    header[0] = 124;                      // the header's size
    header[1] = 0x1 | 0x2 | 0x4 | 0x1000; // caps, height, width, pixel format
    header[2] = header[3] = 2;            // height, width
    header[18] = 32;                      // the pixel format's size
    header[19] = 0x4;                     // named by a code
    header[20] = 113;
    header[26] = 0x1000; // a texture
    std::string bytes = "DDS ";
    bytes.append(reinterpret_cast<const char*>(header), sizeof header);
    for (int texel = 0; texel < 4; ++texel)
        bytes.append(reinterpret_cast<const char*>(rgba), sizeof rgba);
    writeTextFile(path, bytes);
}

// Pictures of more than 8 bits a channel keep their values in a channel: above 1, below 0 and
// finer than 1/255, each stripe green when its texel holds what its file holds.
TEST(ShaderToy, PicturesOfFloatsAndOf16BitsKeepTheirValuesInAChannel) {
    ToyShow show;
    show.file("data/toy/stripe.glsl", stripeSource);
    const fs::path pictures = show.path() / "data/toy";
    const float exr[4] = {2.5f, -0.75f, 0.001f, 0.5f};
    writeFloatPicture((pictures / "light.exr").string(), FIF_EXR, FIT_RGBAF, exr, EXR_FLOAT);
    const float hdr[4] = {4.0f, 0.5f, 0.25f, 1.0f};
    writeFloatPicture((pictures / "sky.hdr").string(), FIF_HDR, FIT_RGBF, hdr);
    const float deep[4] = {1000.0f / 65535, 0.5f, 1.0f, 1.0f};
    writeFloatPicture((pictures / "deep.png").string(), FIF_PNG, FIT_RGB16, deep);
    writeHalfDds((pictures / "table.dds").string(), {0x4200, 0x2e66, 0xbc00, 0x3c00});
    const struct {
        const char* file;
        const char* expected;
        const char* tolerance;
    } cases[] = {
        {"light.exr", "vec4(2.5, -0.75, 0.001, 0.5)", "1e-6"},
        {"sky.hdr", "vec4(4.0, 0.5, 0.25, 1.0)", "1e-3"},
        {"deep.png", "vec4(1000.0 / 65535.0, 32768.0 / 65535.0, 1.0, 1.0)", "1e-6"},
        {"table.dds", "vec4(3.0, 0.0999756, -1.0, 1.0)", "1e-6"},
    };
    std::string entries;
    for (int stripe = 0; stripe < 4; ++stripe) {
        const std::string name = "data/toy/read" + std::to_string(stripe) + ".glsl";
        show.file(name,
                  stripePass(stripe, std::string("#iChannel0 \"") + cases[stripe].file + "\"\n",
                             std::string("vec3(all(lessThan(abs(texelFetch(iChannel0, "
                                         "ivec2(1), 0) - ") +
                                 cases[stripe].expected + "), vec4(" + cases[stripe].tolerance +
                                 "))) ? 1.0 : 0.0)"));
        entries += "ShaderToy\n0\n3000\n" + name + "\n";
    }
    show.script(entries, 4);
    int width = 0, height = 0;
    const std::vector<Rgba> pixels = show.shot("500", "128x16", width, height);
    ASSERT_EQ(pixels.size(), 128u * 16u);
    for (int stripe = 0; stripe < 4; ++stripe)
        EXPECT_EQ(pixels[size_t(8 * width + 16 * stripe + 8)], (Rgba{255, 255, 255, 255}))
            << cases[stripe].file;
}

} // namespace
