#pragma once
// Image files decoded into pixels for textures, without OpenGL.

#include <cstdint>
#include <string>
#include <vector>

// Largest side accepted from an image file; larger images are treated as unreadable.
constexpr int maxImageSide = 16384;

// The pictures a show holds at once share this much memory, counted as 4 bytes a pixel from each
// file's header before its pixels are decoded (a picture kept as floats is charged 16 once
// decoded).
constexpr uint64_t pictureBudgetBytes = uint64_t(512) << 20;

// A decoded picture's pixels, counted against the budget while the charge lives: whoever keeps the
// texture keeps the charge.
class PictureCharge {
public:
    PictureCharge() = default;
    explicit PictureCharge(uint64_t bytes);
    ~PictureCharge();
    PictureCharge(PictureCharge&& other) noexcept;
    PictureCharge& operator=(PictureCharge&& other) noexcept;

private:
    uint64_t bytes_ = 0;
};

// The bytes of every picture charged and not yet let go.
uint64_t pictureBytesHeld();

// 8-bit red, green, blue, alpha, or floats for a picture decoded with its depth; the first row is
// the picture's top row.
struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba; // empty when the file could not be used, or `floats` hold it
    std::vector<float> floats;       // a picture of more than 8 bits a channel, kept
    PictureCharge charge;            // the pixels, against the pictures' budget

    bool empty() const { return rgba.empty() && floats.empty(); }
};

// Decodes a file, its format detected from its contents. JPEG pictures are turned upright as
// their EXIF orientation says; 16-bit channels are rounded to 8 bits. A file that cannot be used
// gives an empty image and one load note naming it; a picture the decoder complained about but
// still gave (a JPEG cut short) is kept, with a load note naming the file and the complaint.
// The decoder runs in a child process: one that hangs (10 s), crashes or runs out of memory
// (4 GiB) gets the file refused, and so does an ICO, SGI or OpenEXR header that does not describe
// what its file holds. A stop signal while a picture decodes throws Interrupted.
// A picture with a side over `largestSide` (the driver's largest texture), or whose pixels would
// take the pictures held past their budget, is refused from its header, naming the sizes.
DecodedImage decodeImageFile(const char* path, int largestSide = maxImageSide);

// The same, keeping a picture of more than 8 bits a channel as floats, in the same child: OpenEXR,
// Radiance HDR, DDS of 16- or 32-bit floats, PNG and TIFF of 16 bits (0 to 65535 read as 0 to 1).
// Such a picture is refused above maxFloatImageSide on a side. An 8-bit picture comes as
// decodeImageFile gives it.
constexpr int maxFloatImageSide = 8192;
DecodedImage decodeDeepImageFile(const char* path, int largestSide = maxImageSide);

// Starts the child process that decodes images for the rest of the run. Called early, it is forked
// while the program is small and has no other threads; decodeImageFile starts it otherwise.
void startImageDecoder();
