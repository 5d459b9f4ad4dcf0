#include "render/ImageFile.h"

#include "platform/ChildProcess.h"
#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/FileBytes.h"
#include "platform/LoadNotes.h"
#include "render/DeepPictures.h"
#include "render/ImageStructure.h"
#include "render/PictureBudget.h"

#include <FreeImage.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

namespace {

struct BitmapDeleter {
    void operator()(FIBITMAP* bitmap) const { FreeImage_Unload(bitmap); }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

// What FreeImage's decoders say while this thread decodes a file (one collector at a time).
thread_local std::vector<std::string>* decoderMessages = nullptr;

void keepDecoderMessage(FREE_IMAGE_FORMAT, const char* message) {
    if (decoderMessages && message)
        decoderMessages->emplace_back(message);
}

// Keeps the decoders' messages for its lifetime.
class DecoderMessages {
public:
    DecoderMessages() {
        static const bool installed = (FreeImage_SetOutputMessage(keepDecoderMessage), true);
        (void)installed;
        decoderMessages = &messages_;
    }
    ~DecoderMessages() { decoderMessages = nullptr; }
    DecoderMessages(const DecoderMessages&) = delete;
    DecoderMessages& operator=(const DecoderMessages&) = delete;

    // "first; second", without repeats.
    std::string joined() const {
        std::string text;
        for (const std::string& message : messages_)
            if (text.find(message) == std::string::npos)
                text += (text.empty() ? "" : "; ") + message;
        return text;
    }
    bool empty() const { return messages_.empty(); }

private:
    std::vector<std::string> messages_;
};

// Reads only the header, where the format allows it, so that a file claiming a huge picture is
// refused before its pixels are allocated and decoded. False (and reported) when the size is
// not allowed; true when it is or only decoding can tell.
bool headerSizeAllowed(FREE_IMAGE_FORMAT format, const char* path,
                       const PictureAllowance& allowance) {
    if (!FreeImage_FIFSupportsNoPixels(format))
        return true;
    const Bitmap header(FreeImage_Load(format, path, FIF_LOAD_NOPIXELS));
    if (!header)
        return true; // the full load fails and says so
    return sizeAllowed(path, FreeImage_GetWidth(header.get()), FreeImage_GetHeight(header.get()),
                       allowance);
}

// 16-bit grey as an 8-bit palette picture of greys, each value rounded to the nearest level.
Bitmap greyTo8Bits(FIBITMAP* grey16) {
    const unsigned w = FreeImage_GetWidth(grey16);
    const unsigned h = FreeImage_GetHeight(grey16);
    Bitmap grey8(FreeImage_Allocate(int(w), int(h), 8));
    if (!grey8)
        return nullptr;
    RGBQUAD* palette = FreeImage_GetPalette(grey8.get());
    for (unsigned level = 0; level < 256; ++level)
        palette[level] = {BYTE(level), BYTE(level), BYTE(level), 0};
    for (unsigned row = 0; row < h; ++row) {
        const auto* source =
            reinterpret_cast<const uint16_t*>(FreeImage_GetScanLine(grey16, int(row)));
        BYTE* target = FreeImage_GetScanLine(grey8.get(), int(row));
        for (unsigned x = 0; x < w; ++x)
            target[x] = BYTE((uint32_t(source[x]) * 255 + 32767) / 65535);
    }
    return grey8;
}

// The picture as 32-bit BGRA; null when FreeImage cannot convert it.
Bitmap to32Bits(FIBITMAP* image) {
    if (FreeImage_GetImageType(image) == FIT_UINT16) {
        const Bitmap grey8 = greyTo8Bits(image);
        return Bitmap(grey8 ? FreeImage_ConvertTo32Bits(grey8.get()) : nullptr);
    }
    return Bitmap(FreeImage_ConvertTo32Bits(image));
}

// FreeImage keeps the bottom row first and pixels as blue, green, red, alpha.
// Room left after the pixels for what a decoding child sends with them.
constexpr size_t roomAfterPixels = 4096;

std::vector<unsigned char> topRowFirstRgba(FIBITMAP* pixels32, unsigned w, unsigned h) {
    const size_t rowBytes = size_t(w) * 4;
    std::vector<unsigned char> rgba;
    rgba.reserve(rowBytes * h + roomAfterPixels);
    rgba.resize(rowBytes * h);
    for (unsigned row = 0; row < h; ++row) {
        const unsigned char* source = FreeImage_GetScanLine(pixels32, int(h - 1 - row));
        unsigned char* target = &rgba[row * rowBytes];
        for (size_t x = 0; x < rowBytes; x += 4) {
            target[x] = source[x + 2];
            target[x + 1] = source[x + 1];
            target[x + 2] = source[x];
            target[x + 3] = source[x + 3];
        }
    }
    return rgba;
}

// The bit depth and the transparent grey level (tRNS) of a greyscale PNG file, when it has one.
struct GreyKey {
    int bitDepth = 0;
    unsigned level = 0;
};

std::optional<GreyKey> pngGreyKey(const char* path) {
    std::ifstream file(path, std::ios::binary);
    unsigned char header[33];
    if (!file.read(reinterpret_cast<char*>(header), sizeof header) || header[25] != 0)
        return std::nullopt; // not greyscale
    const int bitDepth = header[24];
    file.seekg(33);
    unsigned char chunk[8];
    while (file.read(reinterpret_cast<char*>(chunk), sizeof chunk)) {
        const uint32_t length =
            uint32_t(chunk[0]) << 24 | chunk[1] << 16 | chunk[2] << 8 | chunk[3];
        const std::string type(reinterpret_cast<const char*>(chunk + 4), 4);
        if (type == "IDAT" || type == "IEND")
            break;
        if (type == "tRNS" && length == 2) {
            unsigned char level[2];
            if (!file.read(reinterpret_cast<char*>(level), 2))
                break;
            return GreyKey{bitDepth, unsigned(level[0]) << 8 | level[1]};
        }
        file.seekg(std::streamoff(length) + 4, std::ios::cur); // the data and its CRC
    }
    return std::nullopt;
}

// Greys of 1, 2 or 4 bits with a transparent level come from FreeImage as 8-bit levels (the
// stored value times 255, 85 or 17), but with the unscaled level marked transparent: the mark
// moves to the scaled level.
void markScaledGreyKey(FIBITMAP* image, const char* path) {
    if (FreeImage_GetBPP(image) != 8 || FreeImage_GetTransparencyCount(image) != 256)
        return;
    const std::optional<GreyKey> key = pngGreyKey(path);
    const bool lowDepth = key && (key->bitDepth == 1 || key->bitDepth == 2 || key->bitDepth == 4);
    if (!lowDepth || key->level >= (1u << key->bitDepth))
        return;
    BYTE opacity[256];
    std::fill(opacity, opacity + 256, BYTE(255));
    opacity[key->level * 255 / ((1u << key->bitDepth) - 1)] = 0;
    FreeImage_SetTransparencyTable(image, opacity, 256);
}

// JPEG pictures are turned upright; PNG samples are taken as stored, without gamma correction.
int loadFlags(FREE_IMAGE_FORMAT format) {
    return format == FIF_JPEG ? JPEG_EXIFROTATE : format == FIF_PNG ? PNG_IGNOREGAMMA : 0;
}

// Files of the formats whose decoders were seen to hang or to make up a picture are read whole
// (up to this size) and their headers checked before any decoder sees them.
constexpr size_t largestCheckedFile = size_t(256) << 20;

// Decodes the file with FreeImage in this process (a DDS of floats with our own reader, when the
// depth is kept); its problems go to the load notes.
DecodedImage decodeHere(FREE_IMAGE_FORMAT format, const char* path, bool keepDepth,
                        const PictureAllowance& allowance) {
    if (keepDepth && format == FIF_DDS)
        if (std::optional<DecodedImage> picture = floatDds(path, largestCheckedFile)) {
            if (!picture->empty() &&
                !sizeAllowed(path, unsigned(picture->width), unsigned(picture->height), allowance))
                return {};
            return std::move(*picture);
        }
    if (!headerSizeAllowed(format, path, allowance))
        return {};
    DecoderMessages messages;
    const Bitmap image(FreeImage_Load(format, path, loadFlags(format)));
    if (!image) {
        noteLoadProblem("Unable to read image %s", path);
        return {};
    }
    const unsigned w = FreeImage_GetWidth(image.get());
    const unsigned h = FreeImage_GetHeight(image.get());
    if (!sizeAllowed(path, w, h, allowance))
        return {};
    if (keepDepth)
        if (std::optional<DecodedImage> picture = floatPicture(image.get(), path, roomAfterPixels))
            return std::move(*picture);
    if (format == FIF_PNG)
        markScaledGreyKey(image.get(), path);
    Bitmap converted;
    FIBITMAP* pixels32 = image.get();
    if (FreeImage_GetBPP(image.get()) != 32 || FreeImage_GetImageType(image.get()) != FIT_BITMAP) {
        converted = to32Bits(image.get());
        if (!converted) {
            noteLoadProblem("Unable to convert image %s", path);
            return {};
        }
        pixels32 = converted.get();
    }
    if (!messages.empty())
        noteLoadProblem("Image %s is damaged: %s", path, messages.joined().c_str());
    return {int(w), int(h), topRowFirstRgba(pixels32, w, h), {}, {}};
}

// Why the file's header cannot describe a picture the file holds; empty when it can, or when its
// format has no check.
std::string structureFault(FREE_IMAGE_FORMAT format, const char* path) {
    using Check = std::string (*)(std::string_view);
    const Check check = format == FIF_ICO   ? icoStructureFault
                        : format == FIF_SGI ? sgiStructureFault
                        : format == FIF_EXR ? exrStructureFault
                                            : nullptr;
    if (!check)
        return {};
    std::string bytes;
    switch (readWholeFile(path, largestCheckedFile, bytes)) {
    case FileRead::Read:
        return check(bytes);
    case FileRead::TooLarge:
        return formatText("it is larger than %zu MiB", largestCheckedFile >> 20);
    case FileRead::Unreadable:
        break;
    }
    return "it cannot be read";
}

// What a child's decoding sends back: the pixels, then texts (each its length and its bytes:
// the debug output the decoding wrote, then its load notes), their count, the width, the height
// and the bytes a pixel (4, or 16 for floats). The 8-bit pixels come first so that neither side
// copies them to make or take the answer.
using Answer = std::vector<unsigned char>;

void appendWord(Answer& bytes, uint32_t word) {
    const auto* first = reinterpret_cast<const unsigned char*>(&word);
    bytes.insert(bytes.end(), first, first + sizeof word);
}

uint32_t wordAt(const Answer& bytes, size_t at) {
    uint32_t word = 0;
    std::memcpy(&word, bytes.data() + at, sizeof word);
    return word;
}

Answer encodeResult(DecodedImage image, const std::vector<std::string>& texts) {
    Answer bytes = std::move(image.rgba);
    const bool floats = !image.floats.empty();
    if (floats) {
        bytes.reserve(image.floats.size() * sizeof(float) + roomAfterPixels);
        bytes.resize(image.floats.size() * sizeof(float));
        std::memcpy(bytes.data(), image.floats.data(), bytes.size());
    }
    for (const std::string& text : texts) {
        appendWord(bytes, uint32_t(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
    }
    appendWord(bytes, uint32_t(texts.size()));
    appendWord(bytes, uint32_t(image.width));
    appendWord(bytes, uint32_t(image.height));
    appendWord(bytes, floats ? 16 : 4);
    return bytes;
}

// The picture encodeResult sent, with its debug output written and its notes passed on to this
// process's collector; false when the bytes are not what encodeResult makes.
bool decodeResult(Answer bytes, DecodedImage& image) {
    constexpr size_t word = sizeof(uint32_t);
    if (bytes.size() < 4 * word)
        return false;
    const size_t end = bytes.size() - 4 * word;
    const uint32_t notes = wordAt(bytes, end);
    const uint32_t width = wordAt(bytes, end + word), height = wordAt(bytes, end + 2 * word);
    const uint32_t pixelBytes = wordAt(bytes, end + 3 * word);
    const size_t pixels = size_t(width) * height * pixelBytes;
    if ((pixelBytes != 4 && pixelBytes != 16) || pixels > end)
        return false;
    std::vector<std::string> texts;
    size_t at = pixels;
    for (uint32_t i = 0; i < notes; ++i) {
        if (end - at < word || wordAt(bytes, at) > end - at - word)
            return false;
        const size_t length = wordAt(bytes, at);
        texts.emplace_back(reinterpret_cast<const char*>(bytes.data() + at + word), length);
        at += word + length;
    }
    if (at != end || texts.empty())
        return false;
    debugWrite(texts[0]);
    for (size_t i = 1; i < texts.size(); ++i)
        keepLoadNote(std::move(texts[i]));
    bytes.resize(pixels);
    image.width = int(width);
    image.height = int(height);
    if (pixelBytes == 16) {
        image.floats.resize(pixels / sizeof(float));
        std::memcpy(image.floats.data(), bytes.data(), pixels);
    } else {
        image.rgba = std::move(bytes);
    }
    return true;
}

// A decoding request: the format's number, whether to keep the depth and the allowance, then the
// asking process's folder (the child outlives folder changes, and relative paths name files from
// there), a zero byte and the path.
struct RequestHead {
    uint32_t format = 0;
    uint32_t keepDepth = 0;
    PictureAllowance allowance;
};

// What the decoding child does with a request.
Answer decodeRequest(const std::string& request) {
    RequestHead head;
    std::memcpy(&head, request.data(), sizeof head);
    const size_t folderStart = sizeof head;
    const size_t folderEnd = request.find('\0', folderStart);
    const std::string folder = request.substr(folderStart, folderEnd - folderStart);
    const std::string path = request.substr(folderEnd + 1);
    if (chdir(folder.c_str()) != 0)
        debugLine("The image decoder cannot enter %s", folder.c_str());
    std::vector<std::string> texts(1); // the debug output first
    divertDebugOutput(&texts[0]);
    LoadNoteCollector notes;
    DecodedImage image = decodeHere(FREE_IMAGE_FORMAT(head.format), path.c_str(),
                                    head.keepDepth != 0, head.allowance);
    divertDebugOutput(nullptr);
    texts.insert(texts.end(), notes.notes().begin(), notes.notes().end());
    return encodeResult(std::move(image), texts);
}

// The decoders run in a child process, so that a file that makes one hang or fault cannot reach
// the program. The memory leaves room for the largest picture (16384x16384: 1 GiB of pixels, held
// about three times while it is converted).
ChildWorker& decodingChild() {
    static ChildWorker child(decodeRequest, ChildLimits{10, size_t(4) << 30});
    return child;
}

// Decodes the file in the decoding child.
DecodedImage decodeInChild(const char* path, bool keepDepth, int largestSide) {
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path, 0);
    if (format == FIF_UNKNOWN) {
        noteLoadProblem("Unable to read image %s", path);
        return {};
    }
    if (const std::string fault = structureFault(format, path); !fault.empty()) {
        noteLoadProblem("Image %s is refused: %s", path, fault.c_str());
        return {};
    }
    RequestHead head;
    head.format = uint32_t(format);
    head.keepDepth = keepDepth ? 1 : 0;
    head.allowance.largestSide = uint32_t(std::clamp(largestSide, 1, maxImageSide));
    head.allowance.bytesLeft =
        pictureBudgetBytes - std::min(pictureBudgetBytes, pictureBytesHeld());
    std::string request(sizeof head, '\0');
    std::memcpy(request.data(), &head, sizeof head);
    std::error_code noFolder;
    request += std::filesystem::current_path(noFolder).string();
    request += '\0';
    request += path;
    ChildOutcome outcome = decodingChild().ask(request);
    if (!outcome.finished) {
        noteLoadProblem("Image %s is refused: its decoder %s", path, outcome.failure.c_str());
        return {};
    }
    DecodedImage image;
    if (!decodeResult(std::move(outcome.answer), image)) {
        noteLoadProblem("Image %s is refused: its decoder gave no picture", path);
        return {};
    }
    const uint64_t bytesAPixel = image.floats.empty() ? 4 : 4 * sizeof(float);
    image.charge = PictureCharge(uint64_t(image.width) * uint64_t(image.height) * bytesAPixel);
    return image;
}

} // namespace

DecodedImage decodeImageFile(const char* path, int largestSide) {
    return decodeInChild(path, false, largestSide);
}

DecodedImage decodeDeepImageFile(const char* path, int largestSide) {
    return decodeInChild(path, true, largestSide);
}

void startImageDecoder() { decodingChild().start(); }
