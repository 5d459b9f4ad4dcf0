// Files from elsewhere that hung or fooled the image decoders, and the child process that keeps a
// decoder's hang or fault away from the program.
#include "TestFiles.h"
#include "platform/ChildProcess.h"
#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/LoadNotes.h"
#include "platform/StopSignals.h"
#include "render/ImageFile.h"
#include "render/ImageStructure.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>
#include <vector>

namespace {

std::string littleEndian(std::initializer_list<std::pair<uint32_t, int>> fields) {
    std::string bytes;
    for (const auto& [value, size] : fields)
        for (int i = 0; i < size; ++i)
            bytes += char(value >> (8 * i) & 0xff);
    return bytes;
}

// An icon file of one icon: its directory entry, then a bitmap header claiming width x height
// at 32 bits (the height counts the picture and its mask), then `pixelBytes` bytes.
std::string icon(int32_t width, int32_t height, size_t pixelBytes) {
    const std::string bitmap =
        littleEndian({{40, 4}, {uint32_t(width), 4}, {uint32_t(2 * height), 4}, {1, 2}, {32, 2}}) +
        std::string(24, '\0') + std::string(pixelBytes, '\x7f');
    return littleEndian({{0, 2}, {1, 2}, {1, 2}}) +
           littleEndian({{uint32_t(width), 1},
                         {uint32_t(height), 1},
                         {0, 2},
                         {1, 2},
                         {32, 2},
                         {uint32_t(bitmap.size()), 4},
                         {22, 4}}) +
           bitmap;
}

// An SGI header: run-length or verbatim, one byte a channel, width x height x channels.
std::string sgi(bool runLength, uint16_t width, uint16_t height, uint16_t channels) {
    std::string header = {'\x01', '\xda', char(runLength), '\x01', '\0', '\x03'};
    for (uint16_t value : {width, height, channels})
        header += {char(value >> 8), char(value & 0xff)};
    return header + std::string(500, '\0');
}

std::string repeated(const std::string& part, int times) {
    std::string whole;
    for (int i = 0; i < times; ++i)
        whole += part;
    return whole;
}

} // namespace

TEST(HostileFiles, ImagesThatHungOrFooledTheDecodersAreRefusedByNameWithTheReason) {
    const std::string exrMagic("\x76\x2f\x31\x01\x02\x00\x00\x00", 8);
    const struct {
        const char* name;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"magic.exr", exrMagic, "its header is cut short at byte 8"},
        {"attribute.exr", exrMagic + std::string("channels\0chlist\0", 16),
         "its attribute 'channels' is cut short"},
        {"huge.exr", exrMagic + std::string("channels\0chlist\0\xff\xff\xff\x7f", 20),
         "its attribute 'channels' claims 2147483647 bytes past the file's end"},
        {"empty.exr", exrMagic + std::string(1, '\0'),
         "its header lacks attributes every picture "
         "has"},
        {"repeated.exr",
         exrMagic + repeated(std::string("channels\0chlist\0\0\0\0\0", 20), 8) + '\0',
         "its header lacks attributes every picture has"},
        {"few.ico", std::string("\0\0\1\0\1\0\0\0\0\0\0\0\0\0", 14),
         "its directory of 1 icons is cut short (14 bytes)"},
        {"tall.ico", icon(1, 121, 40), "its 1x121 bitmap needs 524 bytes, the icon holds 80"},
        {"wide.ico", icon(-5, 4, 0), "its bitmap claims an unusable size -5x4"},
        {"past.ico", icon(2, 2, 16).substr(0, 50),
         "its first icon's 56 bytes at byte 22 lie past "
         "the file's end (50 bytes)"},
        {"short.sgi", sgi(true, 4, 4, 3).substr(0, 100),
         "its 512-byte header is cut short (100 bytes)"},
        {"table.sgi", sgi(true, 1000, 1000, 3), "its table of 3000 rows is cut short"},
        {"rows.sgi", sgi(false, 64, 64, 4),
         "its 64x64 picture needs 16896 bytes, the file holds 512"},
        {"channels.sgi", sgi(false, 1, 1, 9),
         "its header claims an unusable size 1x1 with 9 "
         "channels"},
    };
    TempDir folder;
    setDebugOutput(false);
    for (const auto& c : cases) {
        const std::string path = folder.file(c.name);
        SCOPED_TRACE(path);
        writeTextFile(path, c.bytes);
        LoadNoteCollector notes;
        EXPECT_TRUE(decodeImageFile(path.c_str()).rgba.empty());
        EXPECT_EQ(notes.notes(),
                  std::vector<std::string>{"Image " + path + " is refused: " + c.reason});
    }
    setDebugOutput(true);

    // Whole files of these formats pass the checks and decode.
    const std::string sgiFile = folder.file("red.sgi"), icoFile = folder.file("red.ico");
    for (const std::string& command :
         {"-c:v sgi " + sgiFile, "-pix_fmt bgra -c:v bmp -f ico " + icoFile})
        commandOutput("ffmpeg -v error -y -f lavfi -i color=c=red:s=4x2 -frames:v 1 " + command);
    for (const std::string& path : {sgiFile, icoFile}) {
        const DecodedImage red = decodeImageFile(path.c_str());
        ASSERT_EQ(red.width * red.height, 8) << path;
        EXPECT_GT(red.rgba[0], 250);
        EXPECT_EQ(red.rgba[1], 0);
    }
    EXPECT_EQ(icoStructureFault(icon(2, 2, 16)), "");
    for (const int compression : {EXR_NONE, EXR_ZIP, EXR_PIZ}) {
        FIBITMAP* picture = FreeImage_AllocateT(FIT_RGBF, 6, 40);
        const std::string exr = folder.file("grey.exr");
        ASSERT_TRUE(FreeImage_Save(FIF_EXR, picture, exr.c_str(), compression));
        FreeImage_Unload(picture);
        EXPECT_EQ(exrStructureFault(readFileBytes(exr)), "") << compression;
    }
}

TEST(HostileFiles, AChildThatHangsFaultsOrGrowsIsEndedAndTheNextRequestIsAnswered) {
    ChildWorker child(
        [](const std::string& request) {
            if (request == "hang")
                for (volatile bool forever = true; forever;) {
                }
            if (request == "fault")
                std::raise(SIGSEGV);
            if (request == "grow")
                return std::vector<unsigned char>(size_t(1) << 30, 'x');
            const std::string answer = "answer to " + request;
            return std::vector<unsigned char>(answer.begin(), answer.end());
        },
        ChildLimits{0.5, size_t(256) << 20});
    const struct {
        const char* request;
        const char* failure;
    } cases[] = {{"hang", "took longer than 0.5 s"},
                 {"fault", "crashed (Segmentation fault)"},
                 {"grow", "needs more than 256 MiB of memory"}};
    for (const auto& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        const ChildOutcome outcome = child.ask(c.request);
        EXPECT_FALSE(outcome.finished) << c.request;
#ifdef __SANITIZE_ADDRESS__
        // AddressSanitizer reports a fault or a failed allocation itself and exits with 1.
        EXPECT_FALSE(outcome.failure.empty());
#else
        EXPECT_EQ(outcome.failure, c.failure);
#endif
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.request;
        const ChildOutcome next = child.ask("next");
        EXPECT_TRUE(next.finished) << next.failure;
        EXPECT_EQ(std::string(next.answer.begin(), next.answer.end()), "answer to next");
    }
}

TEST(HostileFiles, AStopSignalWhileAChildWorksEndsTheChildAndTheWait) {
    // In a process of its own: the stop signal stays noted for the rest of a process.
    EXPECT_EXIT(
        {
            catchStopSignals();
            ChildWorker child(
                [](const std::string&) {
                    for (volatile bool forever = true; forever;) {
                    }
                    return std::vector<unsigned char>();
                },
                ChildLimits{60, size_t(256) << 20});
            child.start();
            std::thread([] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                kill(getpid(), SIGTERM);
            }).detach();
            try {
                child.ask("hang");
            } catch (const Interrupted& stop) {
                // The child was ended and waited for: it is no longer there to signal.
                _exit(stop.signal() == SIGTERM && waitpid(-1, nullptr, WNOHANG) < 0 ? 43 : 1);
            }
            _exit(2);
        },
        testing::ExitedWithCode(43), "");
}

TEST(PictureBudget, PicturesHeldTogetherAndSidesOverTheTexturesLimitAreRefused) {
    TempDir folder;
    const std::string small = folder.file("small.png"), claimed = folder.file("claimed.png");
    writeImage(small, 8, 8, [](int, int) { return Rgba{1, 2, 3, 255}; });
    writeTextFile(claimed, pngClaiming(8192, 8192));
    const uint64_t heldBefore = pictureBytesHeld();
    setDebugOutput(false);
    LoadNoteCollector notes;
    {
        const PictureCharge nearlyAll(pictureBudgetBytes - heldBefore - 100);
        EXPECT_TRUE(decodeImageFile(small.c_str()).rgba.empty());
    }
    DecodedImage image = decodeImageFile(small.c_str());
    EXPECT_EQ(image.width, 8);
    EXPECT_EQ(pictureBytesHeld(), heldBefore + 256);
    DecodedImage moved = std::move(image);
    EXPECT_EQ(pictureBytesHeld(), heldBefore + 256);
    EXPECT_TRUE(decodeImageFile(small.c_str(), 4).rgba.empty());
    moved = {};
    EXPECT_EQ(pictureBytesHeld(), heldBefore);
    const PictureCharge overHalf(pictureBudgetBytes / 2 - heldBefore + 1);
    EXPECT_TRUE(decodeImageFile(claimed.c_str()).rgba.empty());
    setDebugOutput(true);
    const std::string refused = " is refused: ";
    EXPECT_EQ(notes.notes(),
              (std::vector<std::string>{
                  "Image " + small + refused +
                      "its 8x8 pixels take 256 bytes, and the show's pictures have 100 bytes left "
                      "of the 512.0 MiB they may take together",
                  "Image " + small + refused +
                      "it is 8x8 pixels, and this OpenGL's textures hold at most 4x4",
                  "Image " + claimed + refused +
                      "its 8192x8192 pixels take 256.0 MiB, and the show's pictures have 256.0 MiB "
                      "left of the 512.0 MiB they may take together"}));
}
