#include "platform/FileBytes.h"

#include <cstdint>
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
