#include "platform/FileBytes.h"

#include "platform/Error.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>

FileRead readWholeFile(const std::string& path, size_t limit, std::string& bytes) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return FileRead::Unreadable;
    const std::streamoff size = file.tellg();
    if (size < 0)
        return FileRead::Unreadable;
    if (uint64_t(size) > limit)
        return FileRead::TooLarge;
    bytes.assign(size_t(size), '\0');
    file.seekg(0);
    file.read(bytes.data(), size);
    return file ? FileRead::Read : FileRead::Unreadable;
}

bool fileHolds(const std::string& path, const std::string& bytes) {
    std::string text;
    return readWholeFile(path, bytes.size(), text) == FileRead::Read && text == bytes;
}

void replaceFileBytes(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".saving";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        raise("Unable to save %s: %s", path.c_str(), std::strerror(errno));
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        const int error = errno;
        std::remove(temporary.c_str());
        raise("Unable to save %s: %s", path.c_str(), std::strerror(error));
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        std::remove(temporary.c_str());
        raise("Unable to save %s: %s", path.c_str(), std::strerror(error));
    }
}
