// Fuzz target of the image loader as the program uses it: any file is decoded (by the decoding
// child) or refused without a crash, a hang or unbounded memory. A refused file leaves one note
// naming it; a picture has a usable size and all its pixels.

#include "platform/Debug.h"
#include "platform/LoadNotes.h"
#include "render/ImageFile.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

const std::string path = "/tmp/fuzz-image-" + std::to_string(getpid());

// The input file goes with the run (in this process only: the decoding child shares the object).
struct InputFileRemovedAtExit {
    pid_t owner = getpid();
    ~InputFileRemovedAtExit() {
        if (getpid() == owner)
            std::remove(path.c_str());
    }
} inputFileRemovedAtExit;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setDebugOutput(false);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    check(file && std::fwrite(data, 1, size, file) == size);
    std::fclose(file);

    LoadNoteCollector notes;
    const DecodedImage image = decodeImageFile(path.c_str());
    for (const std::string& note : notes.notes())
        check(note.find(path) != std::string::npos);
    if (image.rgba.empty()) {
        check(notes.notes().size() == 1);
        return 0;
    }
    check(image.width >= 1 && image.width <= maxImageSide);
    check(image.height >= 1 && image.height <= maxImageSide);
    check(image.rgba.size() == size_t(image.width) * size_t(image.height) * 4);
    check(notes.notes().size() <= 1); // a picture the decoder complained about
    return 0;
}
