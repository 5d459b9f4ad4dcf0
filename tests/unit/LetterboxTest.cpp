#include "player/Letterbox.h"

#include <gtest/gtest.h>

TEST(Letterbox, ThePictureIsCentredAsLargeAsItFitsWithItsAspectKept) {
    struct Case {
        int showWidth, showHeight, windowWidth, windowHeight;
        LetterboxRect expected;
    };
    const Case cases[] = {
        {1024, 768, 1024, 768, {0, 0, 1024, 768}},     // unchanged
        {1024, 768, 1920, 1080, {240, 0, 1440, 1080}}, // wider: bars left and right
        {1024, 768, 800, 1000, {0, 200, 800, 600}},    // taller: bars above and below
        {640, 480, 333, 100, {100, 0, 133, 100}},      // 133.3 rounds to 133, centred
        {1280, 720, 1, 1, {0, 0, 1, 1}},               // never less than a pixel
    };
    for (const Case& c : cases)
        EXPECT_EQ(letterboxRect(c.showWidth, c.showHeight, c.windowWidth, c.windowHeight),
                  c.expected)
            << c.showWidth << "x" << c.showHeight << " in " << c.windowWidth << "x"
            << c.windowHeight;
}
