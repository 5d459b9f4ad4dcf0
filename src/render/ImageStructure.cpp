#include "render/ImageStructure.h"

#include "platform/Error.h"
#include "render/ImageFile.h"

#include <cstdint>
#include <iterator>
#include <vector>

namespace {

uint32_t littleEndian(std::string_view bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | uint8_t(bytes[at + size_t(i)]);
    return value;
}

uint32_t bigEndian(std::string_view bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = 0; i < size; ++i)
        value = value << 8 | uint8_t(bytes[at + size_t(i)]);
    return value;
}

bool usableSide(int64_t side) { return side >= 1 && side <= maxImageSide; }

// Bytes of one row of `bits`-bit pixels, padded to four bytes as BMP rows are.
uint64_t bmpRowBytes(uint64_t width, uint64_t bits) { return (width * bits + 31) / 32 * 4; }

// The bitmap of an icon: a BITMAPINFOHEADER whose height counts the picture and its mask, a
// palette for up to 8 bits, then the rows.
std::string iconBitmapFault(std::string_view icon) {
    if (icon.size() < 40)
        return formatText("its bitmap header is cut short (%zu bytes of 40)", icon.size());
    const uint32_t headerSize = littleEndian(icon, 0, 4);
    const auto width = int32_t(littleEndian(icon, 4, 4));
    const auto doubleHeight = int32_t(littleEndian(icon, 8, 4));
    const uint32_t bits = littleEndian(icon, 14, 2);
    const uint32_t coloursUsed = littleEndian(icon, 32, 4);
    if (headerSize < 40 || headerSize > icon.size())
        return formatText("its bitmap header claims %u bytes", headerSize);
    if (!usableSide(width) || !usableSide(doubleHeight / 2))
        return formatText("its bitmap claims an unusable size %dx%d", width, doubleHeight / 2);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return formatText("its bitmap claims %u bits a pixel", bits);
    const uint64_t paletteBytes =
        bits <= 8 ? uint64_t(coloursUsed ? coloursUsed : 1u << bits) * 4 : 0;
    const uint64_t needed =
        headerSize + paletteBytes + bmpRowBytes(uint64_t(width), bits) * uint64_t(doubleHeight / 2);
    if (needed > icon.size())
        return formatText("its %dx%d bitmap needs %llu bytes, the icon holds %zu", width,
                          doubleHeight / 2, (unsigned long long)needed, icon.size());
    return {};
}

// The lines of one block of scan lines, by compression; 0 for a compression that is unknown.
int linesPerBlock(uint8_t compression) {
    switch (compression) {
    case 0:
    case 1:
    case 2:
        return 1; // none, RLE, ZIPS
    case 3:
    case 5:
        return 16; // ZIP, PXR24
    case 4:
    case 6:
    case 7:
    case 8:
        return 32; // PIZ, B44, B44A, DWAA
    case 9:
        return 256; // DWAB
    default:
        return 0;
    }
}

// One header of an OpenEXR file: attributes (name, type, size, value) up to an empty name.
struct ExrHeader {
    unsigned requiredSeen = 0; // a bit for each of requiredExrAttributes
    int64_t width = 0, height = 0;
    int compression = -1;
    uint32_t tileWidth = 0, tileHeight = 0;
    int tileLevels = -1;     // 0: one level (the only one whose table is checked)
    int64_t chunkCount = -1; // the parts of a multi-part file say how many blocks they hold
};

const char* const requiredExrAttributes[] = {
    "channels",  "compression",      "dataWindow",         "displayWindow",
    "lineOrder", "pixelAspectRatio", "screenWindowCenter", "screenWindowWidth"};
constexpr unsigned allRequiredExrAttributes = (1u << std::size(requiredExrAttributes)) - 1;

void noteExrAttribute(std::string_view name, std::string_view value, ExrHeader& header) {
    for (size_t i = 0; i < std::size(requiredExrAttributes); ++i)
        if (name == requiredExrAttributes[i])
            header.requiredSeen |= 1u << i;
    if (name == "dataWindow" && value.size() == 16) {
        const auto xMin = int32_t(littleEndian(value, 0, 4));
        const auto yMin = int32_t(littleEndian(value, 4, 4));
        const auto xMax = int32_t(littleEndian(value, 8, 4));
        const auto yMax = int32_t(littleEndian(value, 12, 4));
        header.width = int64_t(xMax) - xMin + 1;
        header.height = int64_t(yMax) - yMin + 1;
    } else if (name == "compression" && value.size() == 1) {
        header.compression = uint8_t(value[0]);
    } else if (name == "tiles" && value.size() == 9) {
        header.tileWidth = littleEndian(value, 0, 4);
        header.tileHeight = littleEndian(value, 4, 4);
        header.tileLevels = uint8_t(value[8]) & 0x0f;
    } else if (name == "chunkCount" && value.size() == 4) {
        header.chunkCount = int32_t(littleEndian(value, 0, 4));
    }
}

std::string readExrHeader(std::string_view bytes, size_t& at, ExrHeader& header) {
    auto text = [&](std::string_view& word) {
        const size_t end = bytes.find('\0', at);
        if (end == std::string_view::npos || end - at > 255)
            return false;
        word = bytes.substr(at, end - at);
        at = end + 1;
        return true;
    };
    for (;;) {
        std::string_view name, type;
        if (!text(name))
            return formatText("its header is cut short at byte %zu", at);
        if (name.empty())
            return {};
        if (!text(type) || at + 4 > bytes.size())
            return formatText("its attribute '%s' is cut short", std::string(name).c_str());
        const uint32_t size = littleEndian(bytes, at, 4);
        at += 4;
        if (size > bytes.size() - at)
            return formatText("its attribute '%s' claims %u bytes past the file's end",
                              std::string(name).c_str(), size);
        noteExrAttribute(name, bytes.substr(at, size), header);
        at += size;
    }
}

// The blocks a part's table of offsets lists, where the header tells; -1 where it does not.
int64_t exrBlocks(const ExrHeader& header, bool tiled) {
    if (header.chunkCount >= 0)
        return header.chunkCount;
    if (!tiled) {
        const int lines = linesPerBlock(uint8_t(header.compression));
        return lines > 0 ? (header.height + lines - 1) / lines : -1;
    }
    if (header.tileLevels != 0 || header.tileWidth == 0 || header.tileHeight == 0)
        return -1;
    return (header.width + header.tileWidth - 1) / header.tileWidth *
           ((header.height + header.tileHeight - 1) / header.tileHeight);
}

} // namespace

std::string icoStructureFault(std::string_view bytes) {
    if (bytes.size() < 6)
        return formatText("its 6-byte header is cut short (%zu bytes)", bytes.size());
    const uint32_t icons = littleEndian(bytes, 4, 2);
    if (icons == 0)
        return "it holds no icons";
    if (6 + 16 * uint64_t(icons) > bytes.size())
        return formatText("its directory of %u icons is cut short (%zu bytes)", icons,
                          bytes.size());
    // The first icon is the one decoded.
    const uint64_t size = littleEndian(bytes, 6 + 8, 4);
    const uint64_t offset = littleEndian(bytes, 6 + 12, 4);
    if (offset + size > bytes.size())
        return formatText("its first icon's %llu bytes at byte %llu lie past the file's end (%zu "
                          "bytes)",
                          (unsigned long long)size, (unsigned long long)offset, bytes.size());
    const std::string_view icon = bytes.substr(offset, size);
    if (icon.substr(0, 8) == "\x89PNG\r\n\x1a\n")
        return {}; // a PNG file of its own, for the PNG decoder
    return iconBitmapFault(icon);
}

std::string sgiStructureFault(std::string_view bytes) {
    if (bytes.size() < 512)
        return formatText("its 512-byte header is cut short (%zu bytes)", bytes.size());
    const uint32_t storage = uint8_t(bytes[2]), bytesPerChannel = uint8_t(bytes[3]);
    const uint32_t dimensions = bigEndian(bytes, 4, 2);
    const uint32_t width = bigEndian(bytes, 6, 2);
    const uint32_t height = dimensions >= 2 ? bigEndian(bytes, 8, 2) : 1;
    const uint32_t channels = dimensions == 3 ? bigEndian(bytes, 10, 2) : 1;
    if (storage > 1 || bytesPerChannel < 1 || bytesPerChannel > 2 || dimensions < 1 ||
        dimensions > 3)
        return formatText("its header claims storage %u, %u bytes a channel, %u dimensions",
                          storage, bytesPerChannel, dimensions);
    if (!usableSide(width) || !usableSide(height) || channels < 1 || channels > 4)
        return formatText("its header claims an unusable size %ux%u with %u channels", width,
                          height, channels);
    const uint64_t rows = uint64_t(height) * channels;
    if (storage == 0) {
        const uint64_t needed = 512 + rows * width * bytesPerChannel;
        if (needed > bytes.size())
            return formatText("its %ux%u picture needs %llu bytes, the file holds %zu", width,
                              height, (unsigned long long)needed, bytes.size());
        return {};
    }
    // Run-length rows: a table of each row's start, then one of each row's length.
    if (512 + rows * 8 > bytes.size())
        return formatText("its table of %llu rows is cut short", (unsigned long long)rows);
    for (uint64_t row = 0; row < rows; ++row) {
        const uint64_t start = bigEndian(bytes, size_t(512 + row * 4), 4);
        const uint64_t length = bigEndian(bytes, size_t(512 + (rows + row) * 4), 4);
        if (start + length > bytes.size())
            return formatText("its row %llu lies past the file's end", (unsigned long long)row);
    }
    return {};
}

std::string exrStructureFault(std::string_view bytes) {
    if (bytes.size() < 8)
        return formatText("its 8-byte header is cut short (%zu bytes)", bytes.size());
    const uint32_t flags = littleEndian(bytes, 4, 4) >> 8;
    const bool tiled = flags & 0x02, multipart = flags & 0x10;
    size_t at = 8;
    std::vector<ExrHeader> parts;
    do {
        ExrHeader& part = parts.emplace_back();
        if (std::string fault = readExrHeader(bytes, at, part); !fault.empty())
            return fault;
        if (part.requiredSeen != allRequiredExrAttributes)
            return "its header lacks attributes every picture has";
        if (!usableSide(part.width) || !usableSide(part.height))
            return formatText("its data window claims an unusable size %lldx%lld",
                              (long long)part.width, (long long)part.height);
        // The headers of a multi-part file end with an empty one.
        if (multipart && at >= bytes.size())
            return formatText("its header is cut short at byte %zu", at);
    } while (multipart && bytes[at] != '\0');
    at += multipart;
    uint64_t blocks = 0;
    for (const ExrHeader& part : parts)
        if (const int64_t count = exrBlocks(part, tiled); count > 0)
            blocks += uint64_t(count);
    if (at + blocks * 8 > bytes.size())
        return formatText("its table of %llu blocks is cut short", (unsigned long long)blocks);
    return {};
}
