#include "TestFiles.h"

#include <FreeImage.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

TempDir::TempDir() {
    std::random_device device;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate =
            std::filesystem::temp_directory_path() / ("morveldan-test-" + std::to_string(device()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void writeTextFile(const std::string& path, const std::string& text) {
    const auto parent = std::filesystem::path(path).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent);
    std::ofstream file(path, std::ios::binary);
    file << text;
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

std::string readFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

std::string commandOutput(const std::string& command) {
    std::string output;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[65536];
        size_t count;
        while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, count);
        pclose(pipe);
    }
    return output;
}

void writeImage(const std::string& path, int width, int height,
                const std::function<Rgba(int, int)>& pixelAt, bool withAlpha) {
    const auto parent = std::filesystem::path(path).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent);
    const int bpp = withAlpha ? 32 : 24;
    FIBITMAP* bitmap = FreeImage_Allocate(width, height, bpp);
    const int bytes = bpp / 8;
    for (int y = 0; y < height; ++y) {
        BYTE* line = FreeImage_GetScanLine(bitmap, height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const Rgba c = pixelAt(x, y);
            line[x * bytes + FI_RGBA_RED] = c.r;
            line[x * bytes + FI_RGBA_GREEN] = c.g;
            line[x * bytes + FI_RGBA_BLUE] = c.b;
            if (withAlpha)
                line[x * bytes + FI_RGBA_ALPHA] = c.a;
        }
    }
    const FREE_IMAGE_FORMAT format = FreeImage_GetFIFFromFilename(path.c_str());
    const int flags = format == FIF_JPEG ? JPEG_QUALITYSUPERB : 0;
    const bool saved = FreeImage_Save(format, bitmap, path.c_str(), flags);
    FreeImage_Unload(bitmap);
    if (!saved)
        throw std::runtime_error("cannot write image " + path);
}

std::vector<Rgba> readImage(const std::string& path, int& width, int& height) {
    width = height = 0;
    const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
    if (format == FIF_UNKNOWN)
        return {};
    FIBITMAP* loaded = FreeImage_Load(format, path.c_str(), 0);
    if (!loaded)
        return {};
    FIBITMAP* image = FreeImage_ConvertTo32Bits(loaded);
    FreeImage_Unload(loaded);
    width = int(FreeImage_GetWidth(image));
    height = int(FreeImage_GetHeight(image));
    std::vector<Rgba> pixels(size_t(width) * height);
    for (int y = 0; y < height; ++y) {
        const BYTE* line = FreeImage_GetScanLine(image, height - 1 - y);
        for (int x = 0; x < width; ++x)
            pixels[size_t(y) * width + x] = {line[x * 4 + FI_RGBA_RED], line[x * 4 + FI_RGBA_GREEN],
                                             line[x * 4 + FI_RGBA_BLUE],
                                             line[x * 4 + FI_RGBA_ALPHA]};
    }
    FreeImage_Unload(image);
    return pixels;
}

ScopedWorkingDirectory::ScopedWorkingDirectory(const std::filesystem::path& folder)
    : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

void shareIntoShow(const std::filesystem::path& source, const std::filesystem::path& target) {
    namespace fs = std::filesystem;
    if (fs::is_directory(source)) {
        fs::create_directories(target);
        for (const fs::directory_entry& entry : fs::directory_iterator(source))
            shareIntoShow(entry.path(), target / entry.path().filename());
        return;
    }
    std::error_code error;
    fs::create_hard_link(source, target, error);
    if (error)
        fs::copy_file(source, target, fs::copy_options::overwrite_existing);
}

void copySourceData(const std::filesystem::path& runDirectory, const std::string& relativePath) {
    const auto target = runDirectory / relativePath;
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(std::filesystem::path(MORVELDAN_SOURCE_DIR) / relativePath, target,
                               std::filesystem::copy_options::overwrite_existing);
}

size_t countIn(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

namespace {

void appendBigEndian(std::string& bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes += char((value >> shift) & 0xFF);
}

void appendPngChunk(std::string& bytes, const char* type, const std::string& data) {
    appendBigEndian(bytes, uint32_t(data.size()));
    const std::string typed = type + data;
    uint32_t crc = 0xFFFFFFFF;
    for (const char byte : typed) {
        crc ^= uint8_t(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    bytes += typed;
    appendBigEndian(bytes, ~crc);
}

} // namespace

// An empty compressed stream follows the header.
std::string pngClaiming(uint32_t width, uint32_t height) {
    std::string bytes = "\x89PNG\r\n\x1a\n";
    std::string header;
    appendBigEndian(header, width);
    appendBigEndian(header, height);
    header += std::string("\x08\x02\x00\x00\x00", 5);
    appendPngChunk(bytes, "IHDR", header);
    appendPngChunk(bytes, "IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8));
    appendPngChunk(bytes, "IEND", "");
    return bytes;
}
