// Cost of one video frame grab as the Video effect makes it at 25 frames per second of show
// time: decode the next frame, scale it to 512 x 512, swap red and blue.
#include "TestFiles.h"

#include "encode/VideoWriter.h"
#include "media/VideoDecoder.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

void writeMovingPicture(const std::string& path, int frames) {
    const int width = 320, height = 240;
    MjpegAviWriter writer(path, width, height, 25);
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (int n = 0; n < frames; ++n) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
                p[0] = uint8_t(128 + 127 * std::sin(x * 0.05 + n * 0.2));
                p[1] = uint8_t(128 + 127 * std::sin(y * 0.07 - n * 0.1));
                p[2] = uint8_t((x ^ y) + n);
            }
        writer.addFrame(rgb.data());
    }
}

void BM_VideoFrameGrab(benchmark::State& state) {
    TempDir temp;
    const std::string path = temp.file("bench.avi");
    writeMovingPicture(path, 200);
    ShowFiles files{FileReach::Anywhere};
    VideoDecoder decoder(files.open(path, ShowFileKind::Video));
    std::vector<uint8_t> rgba(VideoDecoder::frameBytes);
    int n = 0;
    for (auto _ : state) {
        const uint8_t* bgra = decoder.frame(n);
        for (size_t i = 0; i < rgba.size(); i += 4) {
            rgba[i] = bgra[i + 2];
            rgba[i + 1] = bgra[i + 1];
            rgba[i + 2] = bgra[i];
            rgba[i + 3] = bgra[i + 3];
        }
        benchmark::DoNotOptimize(rgba.data());
        n = (n + 1) % decoder.frameCount();
    }
}
BENCHMARK(BM_VideoFrameGrab)->Unit(benchmark::kMillisecond);

} // namespace
