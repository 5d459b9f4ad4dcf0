#pragma once
// Image files decoded into pixels for textures, without OpenGL.

#include <string>
#include <vector>

// Largest side accepted from an image file; larger images are treated as unreadable.
constexpr int maxImageSide = 16384;

// 8-bit red, green, blue, alpha, or floats for a picture decoded with its depth; the first row is
// the picture's top row.
struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba; // empty when the file could not be used, or `floats` hold it
    std::vector<float> floats;       // a picture of more than 8 bits a channel, kept

    bool empty() const { return rgba.empty() && floats.empty(); }
};

// Decodes a file, its format detected from its contents. JPEG pictures are turned upright as
// their EXIF orientation says; 16-bit channels are rounded to 8 bits. A file that cannot be used
// gives an empty image and one load note naming it; a picture the decoder complained about but
// still gave (a JPEG cut short) is kept, with a load note naming the file and the complaint.
// The decoder runs in a child process: one that hangs (10 s), crashes or runs out of memory
// (4 GiB) gets the file refused, and so does an ICO, SGI or OpenEXR header that does not describe
// what its file holds. A stop signal while a picture decodes throws Interrupted.
DecodedImage decodeImageFile(const char* path);

// The same, keeping a picture of more than 8 bits a channel as floats, in the same child: OpenEXR,
// Radiance HDR, DDS of 16- or 32-bit floats, PNG and TIFF of 16 bits (0 to 65535 read as 0 to 1).
// Such a picture is refused above maxFloatImageSide on a side. An 8-bit picture comes as
// decodeImageFile gives it.
constexpr int maxFloatImageSide = 8192;
DecodedImage decodeDeepImageFile(const char* path);

// Starts the child process that decodes images for the rest of the run. Called early, it is forked
// while the program is small and has no other threads; decodeImageFile starts it otherwise.
void startImageDecoder();
