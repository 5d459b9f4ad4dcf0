#pragma once
// MD5 checksums of bytes and files, as lower-case hex text.

#include <memory>
#include <string>
#include <string_view>

struct AVMD5;

class Checksum {
public:
    Checksum();
    ~Checksum();
    Checksum(const Checksum&) = delete;
    Checksum& operator=(const Checksum&) = delete;

    void add(std::string_view bytes);
    // The file's bytes. Throws ShowError naming the file when it cannot be read.
    void addFile(const std::string& path);
    // The checksum of everything added (the object is spent afterwards).
    std::string hex();

private:
    struct Freer {
        void operator()(AVMD5* md5) const;
    };
    std::unique_ptr<AVMD5, Freer> md5_;
};

// The checksum of one file's bytes.
std::string fileChecksum(const std::string& path);
