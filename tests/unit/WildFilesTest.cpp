// Images and models from Debian packages, as users meet them: the PngSuite against netpbm's own
// PNG decoder, JPEGs with every EXIF orientation or cut short, and 3DS models cut short.
#include "TestFiles.h"
#include "model3ds/L3DS.h"
#include "platform/Debug.h"
#include "platform/LoadNotes.h"
#include "render/ImageFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path pngSuite = "/usr/share/doc/libsixel-examples/examples/images/pngsuite";
const fs::path irrlichtMedia = "/usr/share/doc/libirrlicht-dev/media";
const fs::path exifSamples = "/usr/share/doc/jmagick6-docs/examples/exif_orientation";

// netpbm's decoding of a PNG file as 8-bit RGBA, top row first (16-bit samples rounded).
DecodedImage decodeWithNetpbm(const fs::path& file) {
    const std::string pam = commandOutput("pngtopam -alphapam '" + file.string() + "' 2>/dev/null");
    const size_t headerEnd = pam.find("ENDHDR\n");
    if (pam.rfind("P7\n", 0) != 0 || headerEnd == std::string::npos)
        return {};
    std::istringstream header(pam.substr(3, headerEnd - 3));
    int depth = 0;
    unsigned maxValue = 0;
    DecodedImage image;
    for (std::string key; header >> key;) {
        if (key == "WIDTH")
            header >> image.width;
        else if (key == "HEIGHT")
            header >> image.height;
        else if (key == "DEPTH")
            header >> depth;
        else if (key == "MAXVAL")
            header >> maxValue;
        else
            header >> key; // TUPLTYPE
    }
    const size_t sampleBytes = maxValue > 255 ? 2 : 1;
    const size_t samples = size_t(image.width) * size_t(image.height) * size_t(depth);
    const auto* data = reinterpret_cast<const unsigned char*>(pam.data() + headerEnd + 7);
    if (depth < 1 || depth > 4 || pam.size() - headerEnd - 7 < samples * sampleBytes)
        return {};
    auto sample = [&](size_t index) {
        const unsigned value =
            sampleBytes == 2 ? data[2 * index] << 8 | data[2 * index + 1] : data[index];
        return (unsigned char)((value * 255 + maxValue / 2) / maxValue);
    };
    const bool alpha = depth % 2 == 0;
    const bool colour = depth >= 3;
    for (size_t pixel = 0; pixel < samples / size_t(depth); ++pixel) {
        const size_t first = pixel * size_t(depth);
        for (size_t channel = 0; channel < 3; ++channel)
            image.rgba.push_back(sample(first + (colour ? channel : 0)));
        image.rgba.push_back(alpha ? sample(first + size_t(depth) - 1) : 255);
    }
    return image;
}

// pngtopam leaves out the transparent colour (tRNS) of a truecolour picture; ffmpeg's decoder
// keeps it, so the opacity of such a file is taken from ffmpeg.
void takeColourKeyFromFfmpeg(const fs::path& file, DecodedImage& image) {
    const std::string bytes = readFileBytes(file);
    const bool truecolourWithKey =
        bytes.size() > 25 && bytes[25] == 2 && bytes.find("tRNS") < bytes.find("IDAT");
    if (!truecolourWithKey)
        return;
    const std::string rgba =
        commandOutput("ffmpeg -v error -i '" + file.string() + "' -f rawvideo -pix_fmt rgba -");
    ASSERT_EQ(rgba.size(), image.rgba.size());
    for (size_t i = 3; i < rgba.size(); i += 4)
        image.rgba[i] = (unsigned char)rgba[i];
}

// Samples that differ by more than rounding.
size_t samplesApart(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    size_t apart = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        apart += std::abs(int(a[i]) - int(b[i])) > 1;
    return apart;
}

// Keeps the load notes of one decoding, with the debug output off.
struct QuietNotes {
    QuietNotes() { setDebugOutput(false); }
    ~QuietNotes() { setDebugOutput(true); }
    LoadNoteCollector notes;
};

} // namespace

TEST(WildFiles, PngSuiteDecodesAsNetpbmDoesAndCorruptFilesAreRefusedByName) {
    ASSERT_TRUE(fs::is_directory(pngSuite)) << "libsixel-examples is not installed";
    size_t valid = 0, refused = 0;
    for (const auto& entry : fs::recursive_directory_iterator(pngSuite)) {
        if (entry.path().extension() != ".png")
            continue;
        const std::string path = entry.path().string();
        SCOPED_TRACE(path);
        QuietNotes quiet;
        const DecodedImage ours = decodeImageFile(path.c_str());
        if (entry.path().filename().string()[0] == 'x') {
            EXPECT_TRUE(ours.rgba.empty());
            ASSERT_EQ(quiet.notes.notes().size(), 1u);
            EXPECT_EQ(quiet.notes.notes()[0], "Unable to read image " + path);
            ++refused;
            continue;
        }
        DecodedImage theirs = decodeWithNetpbm(entry.path());
        ASSERT_FALSE(theirs.rgba.empty()) << "pngtopam could not read it";
        takeColourKeyFromFfmpeg(entry.path(), theirs);
        EXPECT_TRUE(quiet.notes.notes().empty()) << quiet.notes.notes()[0];
        ASSERT_EQ(ours.width, theirs.width);
        ASSERT_EQ(ours.height, theirs.height);
        EXPECT_EQ(samplesApart(ours.rgba, theirs.rgba), 0u);
        ++valid;
    }
    std::printf("PngSuite: %zu valid files decoded as pngtopam does, %zu corrupt files refused\n",
                valid, refused);
    EXPECT_EQ(valid + refused, 174u);
    EXPECT_EQ(refused, 14u);
}

TEST(WildFiles, JpegsAreTurnedUprightByTheirExifOrientation) {
    // Every sample stores red, blue / green, white; the tag says how to show it.
    const char* upright[] = {"RB/GW", "RB/GW", "BR/WG", "WG/BR", "GW/RB",
                             "RG/BW", "GR/WB", "WB/GR", "BW/RG"};
    auto colourAt = [](const DecodedImage& image, int x, int y) {
        const unsigned char* p = &image.rgba[(size_t(y) * size_t(image.width) + size_t(x)) * 4];
        const bool r = p[0] > 128, g = p[1] > 128, b = p[2] > 128;
        return r && g && b ? 'W' : r ? 'R' : g ? 'G' : b ? 'B' : '?';
    };
    for (int orientation = 0; orientation <= 8; ++orientation) {
        const std::string path =
            (exifSamples / ("exif_orientation_" + std::to_string(orientation) + ".jpg")).string();
        SCOPED_TRACE(path);
        const DecodedImage image = decodeImageFile(path.c_str());
        ASSERT_EQ(image.width, 50);
        ASSERT_EQ(image.height, 50);
        const std::string seen = {colourAt(image, 12, 12), colourAt(image, 37, 12), '/',
                                  colourAt(image, 12, 37), colourAt(image, 37, 37)};
        EXPECT_EQ(seen, upright[orientation]);
    }
}

TEST(WildFiles, AJpegCutShortIsKeptAndReportedByName) {
    TempDir folder;
    const std::string whole = readFileBytes(irrlichtMedia / "terrain-texture.jpg");
    ASSERT_GT(whole.size(), 100000u);
    const std::string cut = folder.file("terrain-texture.jpg");
    writeTextFile(cut, whole.substr(0, 100000));
    QuietNotes quiet;
    const DecodedImage image = decodeImageFile(cut.c_str());
    EXPECT_EQ(image.width, 1024);
    EXPECT_EQ(image.height, 1024);
    EXPECT_EQ(quiet.notes.notes(), std::vector<std::string>{"Image " + cut +
                                                            " is damaged: Premature end of "
                                                            "JPEG file"});
    const std::string complete = (irrlichtMedia / "terrain-texture.jpg").string();
    EXPECT_FALSE(decodeImageFile(complete.c_str()).rgba.empty());
    EXPECT_EQ(quiet.notes.notes().size(), 1u) << "the whole file was reported";

    // The decoding child, started before, reads a relative name from the folder entered since.
    ScopedWorkingDirectory inFolder(folder.path());
    EXPECT_EQ(decodeImageFile("terrain-texture.jpg").width, 1024);
    EXPECT_EQ(quiet.notes.notes().back(),
              "Image terrain-texture.jpg is damaged: Premature end of JPEG file");
}

TEST(WildFiles, A3dsModelCutShortIsReadAsFarAsItGoesAndReportedByName) {
    TempDir folder;
    const std::string room =
        commandOutput("gzip -dc '" + (irrlichtMedia / "room.3ds.gz").string() + "'");
    ASSERT_GT(room.size(), 700u);
    const struct {
        size_t bytes;
        const char* note; // empty: nothing to report
    } cases[] = {
        {room.size(), ""},
        {300, "chunk 0x4D4D at byte 0 claims to end at byte 5508, but the file holds 300 bytes"},
        {500, "chunk 0x4D4D at byte 0 claims to end at byte 5508, but the file holds 500 bytes"},
        {700, "chunk 0x4D4D at byte 0 claims to end at byte 5508, but the file holds 700 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        const std::string path = folder.file("room" + std::to_string(c.bytes) + ".3ds");
        writeTextFile(path, room.substr(0, c.bytes));
        QuietNotes quiet;
        L3DS model(path);
        if (*c.note == 0) {
            EXPECT_TRUE(quiet.notes.notes().empty()) << quiet.notes.notes()[0];
            continue;
        }
        ASSERT_EQ(quiet.notes.notes().size(), 1u);
        EXPECT_EQ(quiet.notes.notes()[0], "Model " + path + " is cut short: " + c.note);
    }
}
