// Shows made of files from Debian packages, checked and run as a user would: damaged files are
// named in the run and in --check, and a show without music renders to its end-of-show entry.
#include "ShowProcess.h"
#include "TestFiles.h"
#include "audio/AudioEncoder.h"
#include "audio/MusicStream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path irrlichtMedia = "/usr/share/doc/libirrlicht-dev/media";
const fs::path sfmlShaders = "/usr/share/doc/libsfml-dev/examples/shader/resources";

void expectHolds(const std::string& text, const std::string& part) {
    EXPECT_NE(text.find(part), std::string::npos) << "missing: " << part << "\nin:\n" << text;
}

} // namespace

TEST(WildFiles, DamagedFilesAreNamedAtLoadAndInTheCheck) {
    TempDir run;
    const fs::path data = run.path() / "data";
    fs::create_directories(data);
    fs::copy(fs::path(MORVELDAN_BUILD_DIR) / "data/rubber", data / "rubber");
    writeTextFile(data / "terrain-texture.jpg",
                  readFileBytes(irrlichtMedia / "terrain-texture.jpg").substr(0, 100000));
    writeTextFile(data / "rubber/simple.3ds",
                  commandOutput("gzip -dc '" + (irrlichtMedia / "room.3ds.gz").string() + "'")
                      .substr(0, 500));
    fs::copy(sfmlShaders / "pixelate.frag", data / "pixelate.frag");
    fs::copy(sfmlShaders / "blur.frag", data / "blur.frag");
    writeImage((data / "white.png").string(), 4, 4, [](int, int) {
        return Rgba{255, 255, 255, 255};
    });
    writeAudioFile((data / "music.wav").string(), AudioFileFormat::Wav,
                   std::vector<float>(size_t(musicSampleRate) * 2 * 2, 0.0f), musicSampleRate);
    // No data/overlay/loader.jpg. The first end-of-show entry ends long after the two-second
    // music, the second starts after it.
    writeTextFile((data / "demo.txt").string(), "data/music.wav\n0\n6\n"
                                                "AlphaBlendImage\n0\n1000\n"
                                                "data/terrain-texture.jpg\nBEATCENTER\n"
                                                "Rubber3d\n1000\n1900\n"
                                                "ShaderShow\n0\n1000\ndata/pixelate.frag\n"
                                                "data/white.png\n"
                                                "ShaderShow\n0\n1000\ndata/blur.frag\n"
                                                "data/white.png\n"
                                                "EndDemo\n1500\n60000\n"
                                                "EndDemo\n5000\n-1\n");

    ShowProcess check(run.path(), {"--check"});
    EXPECT_EQ(check.wait(), 1);
    EXPECT_EQ(check.standardOutput(),
              "beat level over the music: median 0.00, 95th percentile 0.00, max 0.00\n"
              "warning: Unable to read image data/overlay/loader.jpg (the loading picture)\n"
              "data/demo.txt:4: the entry 'AlphaBlendImage': Image data/terrain-texture.jpg is "
              "damaged: Premature end of JPEG file\n"
              "data/demo.txt:9: the entry 'Rubber3d': Model data/rubber/simple.3ds is cut short: "
              "chunk 0x4D4D at byte 0 claims to end at byte 5508, but the file holds 500 bytes\n"
              "data/demo.txt:25: the entry 'EndDemo' starts at 5000 ms, after the music, which "
              "ends at 2000 ms: the show never reaches it\n"
              "data/demo.txt: 6 entries checked, 3 problems found\n");

    const ShowResult shot = runShow(
        run.path(), {"--shot", "500", run.file("shot.png"), "--size", "32x32", "--warmup", "0"});
    EXPECT_EQ(shot.exitStatus, 0) << shot.errorOutput;
    for (const char* line :
         {"Unable to read image data/overlay/loader.jpg\n",
          "Image data/terrain-texture.jpg is damaged: Premature end of JPEG file\n",
          "Model data/rubber/simple.3ds is cut short: chunk 0x4D4D at byte 0 claims to end at "
          "byte 5508, but the file holds 500 bytes\n",
          "Unable to locate shader handle for: time (in data/pixelate.frag)\n",
          "Unable to locate shader handle for: beat (in data/pixelate.frag)\n",
          "Unable to locate shader handle for: time (in data/blur.frag)\n",
          "Unable to locate shader handle for: beat (in data/blur.frag)\n"})
        expectHolds(shot.errorOutput, line);
}

TEST(WildFiles, AShowWithoutMusicRendersToItsEndOfShowEntry) {
    TempDir run, output;
    const fs::path data = run.path() / "data";
    fs::create_directories(data);
    // An MPEG stream with pictures only: the show runs silently.
    fs::copy("/usr/share/doc/python-pygame-doc/examples/data/blue.mpg", data / "blue.mpg");
    const fs::path grey16 =
        "/usr/share/doc/libsixel-examples/examples/images/pngsuite/basic/basn0g16.png";
    fs::copy(grey16, data / "grey16.png");
    writeTextFile((data / "demo.txt").string(), "data/blue.mpg\n0\n2\n"
                                                "AlphaBlendImage\n0\n-1\ndata/grey16.png\n"
                                                "BEATCENTER\n"
                                                "EndDemo\n3000\n-1\n");
    const std::vector<std::string> common = {"--size", "32x32", "--fps", "10"};
    std::vector<std::string> frames = {"--frames", output.file("frames")};
    frames.insert(frames.end(), common.begin(), common.end());
    const ShowResult pictures = runShow(run.path(), frames);
    EXPECT_EQ(pictures.exitStatus, 0) << pictures.errorOutput;
    // Effect times 0, 100, ... 3000; the frame at 3100 is inside EndDemo's window.
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(output.file("frames")))
        count += entry.path().extension() == ".png";
    EXPECT_EQ(count, 31u);

    // The 16-bit grey picture fills the frame (from 100 ms on) as netpbm decodes it.
    int width = 0, height = 0;
    const std::vector<Rgba> frame =
        readImage(output.file("frames/frame-000001.png"), width, height);
    ASSERT_EQ(width, 32);
    ASSERT_EQ(height, 32);
    const std::string grey =
        commandOutput("pngtopam '" + grey16.string() + "' | pamdepth 255 | pamtopnm -plain");
    std::istringstream values(grey);
    std::string magic;
    int columns = 0, rows = 0, maxValue = 0;
    values >> magic >> columns >> rows >> maxValue;
    ASSERT_EQ(magic + std::to_string(columns * rows * maxValue),
              "P2" + std::to_string(32 * 32 * 255));
    int worst = 0;
    for (const Rgba& pixel : frame) {
        int expected = 0;
        values >> expected;
        worst = std::max({worst, std::abs(pixel.r - expected), std::abs(pixel.g - expected)});
    }
    EXPECT_LE(worst, 2);

    std::vector<std::string> video = {"--render", output.file("show.mp4")};
    video.insert(video.end(), common.begin(), common.end());
    const ShowResult rendered = runShow(run.path(), video);
    EXPECT_EQ(rendered.exitStatus, 0) << rendered.errorOutput;
    EXPECT_GT(fs::exists(output.file("show.mp4")) ? fs::file_size(output.file("show.mp4")) : 0, 0u);
}
