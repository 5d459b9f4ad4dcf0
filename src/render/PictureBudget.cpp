#include "render/PictureBudget.h"

#include "platform/Debug.h"
#include "platform/Error.h"
#include "platform/LoadNotes.h"

#include <string>
#include <utility>

namespace {

// Pictures are loaded on the thread that owns the OpenGL context only.
uint64_t bytesHeld = 0;

bool usableSize(unsigned width, unsigned height) {
    return width > 0 && height > 0 && width <= unsigned(maxImageSide) &&
           height <= unsigned(maxImageSide);
}

std::string memorySize(uint64_t bytes) {
    return bytes < (1 << 20) ? formatText("%llu bytes", static_cast<unsigned long long>(bytes))
                             : formatText("%.1f MiB", double(bytes) / (1 << 20));
}

} // namespace

bool sizeAllowed(const char* path, unsigned w, unsigned h, const PictureAllowance& allowance) {
    if (!usableSize(w, h)) {
        debugLine("Unable to read image %s", path);
        noteLoadProblem("Image %s has an unusable size %ux%u", path, w, h);
        return false;
    }
    const uint64_t bytes = uint64_t(w) * h * 4;
    if (w > allowance.largestSide || h > allowance.largestSide)
        noteLoadProblem("Image %s is refused: it is %ux%u pixels, and this OpenGL's textures hold "
                        "at most %ux%u",
                        path, w, h, allowance.largestSide, allowance.largestSide);
    else if (bytes > allowance.bytesLeft)
        noteLoadProblem("Image %s is refused: its %ux%u pixels take %s, and the show's pictures "
                        "have %s left of the %s they may take together",
                        path, w, h, memorySize(bytes).c_str(),
                        memorySize(allowance.bytesLeft).c_str(),
                        memorySize(pictureBudgetBytes).c_str());
    else
        return true;
    return false;
}

PictureCharge::PictureCharge(uint64_t bytes) : bytes_(bytes) { bytesHeld += bytes; }

PictureCharge::~PictureCharge() { bytesHeld -= bytes_; }

PictureCharge::PictureCharge(PictureCharge&& other) noexcept
    : bytes_(std::exchange(other.bytes_, 0)) {}

PictureCharge& PictureCharge::operator=(PictureCharge&& other) noexcept {
    if (this != &other) {
        bytesHeld -= bytes_;
        bytes_ = std::exchange(other.bytes_, 0);
    }
    return *this;
}

uint64_t pictureBytesHeld() { return bytesHeld; }
