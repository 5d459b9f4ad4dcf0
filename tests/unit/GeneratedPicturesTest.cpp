// The pictures the build generates: every one decodes with power-of-two sides, and each is made
// for the way it is drawn (added lights, darkening masks, sprites with alpha, tiles without
// seams).
#include "GeneratedDataFiles.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Picture {
    std::vector<Rgba> pixels;
    int width = 0, height = 0;
    explicit Picture(const std::string& name) {
        pixels = readImage((buildData / name).string(), width, height);
    }
    const Rgba& at(int x, int y) const { return pixels[size_t(y) * width + x]; }
    int brightest(int x, int y) const { return std::max({at(x, y).r, at(x, y).g, at(x, y).b}); }
    int darkest(int x, int y) const { return std::min({at(x, y).r, at(x, y).g, at(x, y).b}); }
    // The four corner pixels, each the brightest of its channels.
    std::vector<int> cornerLevels() const {
        return {brightest(0, 0), brightest(width - 1, 0), brightest(0, height - 1),
                brightest(width - 1, height - 1)};
    }
};

bool isPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

int channelDistance(const Rgba& a, const Rgba& b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

// The colour step across the wrap-around edge against the steps beside it: a picture that tiles
// shows no larger jump where one copy meets the next than just inside its edges.
double edgeJumpRatio(const Picture& p, bool horizontal) {
    double edge = 0, beside = 0;
    const int lines = horizontal ? p.height : p.width;
    const int n = horizontal ? p.width : p.height;
    for (int line = 0; line < lines; ++line) {
        auto step = [&](int i, int j) {
            return horizontal ? channelDistance(p.at(i, line), p.at(j, line))
                              : channelDistance(p.at(line, i), p.at(line, j));
        };
        edge += step(n - 1, 0);
        beside += (step(0, 1) + step(1, 2) + step(n - 3, n - 2) + step(n - 2, n - 1)) / 4.0;
    }
    return edge / (beside + 6.0 * lines); // 6 levels of slack for JPEG noise
}

// Light and dark runs along a row of a chessboard, counted round the wrap-around: a board tiles
// when every square, including the one made where copies meet, has the same width.
std::vector<int> squareWidthsAround(const Picture& p, int row) {
    auto light = [&](int x) { return p.brightest(x, row) > 128; };
    int start = 0;
    while (start < p.width && light(start) == light(0))
        ++start; // the first change of colour
    std::vector<int> widths;
    int width = 0;
    for (int i = 0; i < p.width; ++i) {
        int x = (start + i) % p.width;
        if (i > 0 && light(x) != light((x + p.width - 1) % p.width)) {
            widths.push_back(width);
            width = 0;
        }
        ++width;
    }
    widths.push_back(width);
    return widths;
}

} // namespace

TEST(GeneratedData, EveryImageDecodesWithPowerOfTwoSides) {
    for (const char* name : imageFiles) {
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_FALSE(p.pixels.empty()) << "FreeImage cannot read it";
        EXPECT_TRUE(isPowerOfTwo(p.width) && isPowerOfTwo(p.height))
            << p.width << " x " << p.height;
        EXPECT_GE(std::min(p.width, p.height), 128);
    }
}

TEST(GeneratedData, AddedLightsAreBlackAtTheCornersAndBrightInside) {
    const char* const added[] = {"bravelund/banger/bang.jpg",
                                 "bravelund/banger/bang1.jpg",
                                 "bravelund/nanoball/flare.jpg",
                                 "colorbox/colorbox1.jpg",
                                 "colorbox/colorbox2.jpg",
                                 "colorbox/star.jpg",
                                 "solaris/solaris1.jpg",
                                 "solaris/solaris2.jpg",
                                 "mirok/brum/stjern1.jpg",
                                 "mirok/prikker/prik3.png",
                                 "zoomer/zoomer1.jpg",
                                 "zoomer/zoomer2.jpg",
                                 "zoomer/zoomer2-old.jpg",
                                 "strobo/twist.jpg",
                                 "misc/twist.jpg",
                                 "rubber/background1.jpg",
                                 "sky/clouds.jpg",
                                 "circles/text.jpg",
                                 "misc/pem.jpg",
                                 "misc/mig.jpg",
                                 "misc/bust.jpg",
                                 "misc/quelm.jpg"};
    for (const char* name : added) {
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_FALSE(p.pixels.empty());
        for (int level : p.cornerLevels())
            EXPECT_LE(level, 10);
        int brightest = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                brightest = std::max(brightest, p.brightest(x, y));
        EXPECT_GE(brightest, 200);
    }
    // The zoomers stack dozens of tiles over the whole screen and Solaris flies through its
    // sprites: the nearest are seen magnified and far brighter than 1, so one that is not black
    // inside would wash the picture out to its own colour.
    for (const char* name :
         {"zoomer/zoomer2.jpg", "zoomer/zoomer2-old.jpg", "solaris/solaris1.jpg"}) {
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_FALSE(p.pixels.empty());
        EXPECT_LE(p.brightest(p.width / 2, p.height / 2), 10);
        EXPECT_LE(p.brightest(p.width * 3 / 8, p.height / 2), 10);
    }
    // The tunnel's puffs are seen from inside, mostly their middle: it must hold both gaps and
    // light, not an even fog.
    Picture cloud("sky/clouds.jpg");
    ASSERT_FALSE(cloud.pixels.empty());
    int darkPixels = 0, lightPixels = 0;
    for (int y = cloud.height * 3 / 8; y < cloud.height * 5 / 8; ++y)
        for (int x = cloud.width * 3 / 8; x < cloud.width * 5 / 8; ++x) {
            darkPixels += cloud.brightest(x, y) <= 20;
            lightPixels += cloud.brightest(x, y) >= 120;
        }
    const int middlePixels = (cloud.width / 4) * (cloud.height / 4);
    EXPECT_GT(darkPixels, middlePixels / 5);
    EXPECT_GT(lightPixels, middlePixels / 10);
}

TEST(GeneratedData, DarkeningMasksAreWhiteAtTheEdgesAndBlackInTheMiddle) {
    // Drawn with GL_ZERO, GL_ONE_MINUS_SRC_COLOR (or lightening the border through its colour):
    // white blacks the picture out, black leaves it.
    for (const char* name : {"solaris/it.jpg", "mirok/video/frame.png", "misc/border.jpg"}) {
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_FALSE(p.pixels.empty());
        for (int level : p.cornerLevels())
            EXPECT_GE(level, 200);
        EXPECT_LE(p.brightest(p.width / 2, p.height / 2), 40);
    }
    // The border is drawn a quarter larger than the screen on each side: its frame must start
    // inside the part that lands on screen (4/5 of the way out from the middle).
    Picture border("misc/border.jpg");
    ASSERT_FALSE(border.pixels.empty());
    EXPECT_GE(border.brightest(border.width / 2 + border.width * 2 / 5 - 2, border.height / 2),
              200);
    EXPECT_GE(border.brightest(border.width / 2, border.height / 2 + border.height * 2 / 5 - 2),
              200);

    Picture text("strobo/text.jpg");
    ASSERT_FALSE(text.pixels.empty());
    EXPECT_GE(text.darkest(0, 0), 200);                    // the letterbox bars
    EXPECT_LE(text.brightest(2, text.height * 3 / 8), 40); // the band shows beside the words
}

TEST(GeneratedData, SpritesAndTextCarryAlpha) {
    for (const char* name : {"bravelund/bounce/skygge.png", "bravelund/walk/skygge.png"}) {
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_FALSE(p.pixels.empty());
        const Rgba centre = p.at(p.width / 2, p.height / 2);
        EXPECT_GE(centre.a, 230);
        EXPECT_LE(p.brightest(p.width / 2, p.height / 2), 10); // a shadow is black
        EXPECT_EQ(p.at(0, 0).a, 0);
        // Soft: halfway to the edge it is neither solid nor gone.
        const int halfway = p.at(p.width * 3 / 4, p.height / 2).a;
        EXPECT_GT(halfway, 10);
        EXPECT_LT(halfway, 200);
    }
    for (const char* name : {"mirok/brum/brum.png", "bravelund/mansphere/greets.png",
                             "bravelund/ringe/rotate.png", "mirok/prikker/prik3.png"}) {
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_FALSE(p.pixels.empty());
        EXPECT_EQ(p.at(0, 0).a, 0);
        size_t opaque = std::count_if(p.pixels.begin(), p.pixels.end(),
                                      [](const Rgba& c) { return c.a >= 240; });
        EXPECT_GT(opaque, p.pixels.size() / 200);
        EXPECT_LT(opaque, p.pixels.size() / 2);
    }
}

TEST(GeneratedData, RepeatedPicturesTileWithoutSeams) {
    const char* const tiledBothWays[] = {"__grid.jpg",          "housing.jpg",
                                         "plasma/__water.jpg",  "misc/env.jpg",
                                         "rubber/env.jpg",      "bravelund/mansphere/pole.jpg",
                                         "mirok/fog/pole1.jpg", "bravelund/nanoball/zoomer1.jpg"};
    for (const char* name : tiledBothWays) {
        SCOPED_TRACE(name);
        Picture p(name);
        ASSERT_FALSE(p.pixels.empty());
        EXPECT_LT(edgeJumpRatio(p, true), 3.0);
        EXPECT_LT(edgeJumpRatio(p, false), 3.0);
    }
    Picture band("strobo/bg.jpg"); // repeated side by side only
    ASSERT_FALSE(band.pixels.empty());
    EXPECT_LT(edgeJumpRatio(band, true), 3.0);

    for (const char* name : {"bravelund/bounce/skak.png", "bravelund/walk/skak.png"}) {
        SCOPED_TRACE(name);
        Picture board(name);
        ASSERT_FALSE(board.pixels.empty());
        for (int row : {board.height / 16, board.height / 2}) {
            const std::vector<int> widths = squareWidthsAround(board, row);
            ASSERT_GE(widths.size(), 2u);
            EXPECT_EQ(widths.size() % 2, 0u);
            const auto [narrowest, widest] = std::minmax_element(widths.begin(), widths.end());
            EXPECT_LE(*widest - *narrowest, 2);
        }
    }
}
