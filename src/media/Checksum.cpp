#include "media/Checksum.h"

#include "platform/Error.h"

extern "C" {
#include <libavutil/md5.h>
#include <libavutil/mem.h>
}

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

void Checksum::Freer::operator()(AVMD5* md5) const { av_free(md5); }

Checksum::Checksum() : md5_(av_md5_alloc()) {
    if (!md5_)
        raise("Out of memory for a checksum");
    av_md5_init(md5_.get());
}

Checksum::~Checksum() = default;

void Checksum::add(std::string_view bytes) {
    av_md5_update(md5_.get(), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void Checksum::addFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        raise("Unable to read %s: %s", path.c_str(), std::strerror(errno));
    std::vector<char> block(1 << 16);
    size_t count;
    while ((count = std::fread(block.data(), 1, block.size(), file)) > 0)
        add({block.data(), count});
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        raise("Unable to read %s", path.c_str());
}

std::string Checksum::hex() {
    uint8_t digest[16];
    av_md5_final(md5_.get(), digest);
    std::string text;
    for (uint8_t byte : digest)
        text += formatText("%02x", byte);
    return text;
}

std::string fileChecksum(const std::string& path) {
    Checksum checksum;
    checksum.addFile(path);
    return checksum.hex();
}
