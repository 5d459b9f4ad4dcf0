#include "Video.h"

#include "Canvas.h"
#include "Procedural.h"
#include "encode/VideoWriter.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A seamless height field with its colours: the ground the camera flies over.
class Terrain {
public:
    static constexpr int size = 512;
    Terrain() : heights_(size, size), colours_(size, size) {
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
                float mountains = ridgedNoise(u, v, 4, 6, 1201);
                float hills = fractalNoise(u, v, 8, 4, 1202);
                heights_.at(x, y) = std::max(0.3f, mountains * mountains * 0.95f + hills * 0.2f);
            }
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                float h = heights_.at(x, y);
                float slope = h - heights_.at((x + 1) % size, (y + 1) % size);
                Color ground = h <= 0.3f   ? Color{0.1f, 0.3f, 0.55f}
                               : h < 0.45f ? Color{0.25f, 0.5f, 0.2f}
                               : h < 0.65f ? Color{0.45f, 0.4f, 0.3f}
                                           : Color{0.95f, 0.95f, 1.0f};
                colours_.at(x, y) = ground * std::clamp(0.8f + slope * 25, 0.4f, 1.3f);
            }
    }
    // Bilinear, so the near ground is smooth rather than blocky.
    float height(float x, float z) const {
        return heights_.sample(fraction(x / size), fraction(z / size));
    }
    Color colour(float x, float z) const { return colours_.at(wrap(x), wrap(z)); }

private:
    static int wrap(float v) { return ((int(std::floor(v)) % size) + size) % size; }
    static float fraction(float v) { return v - std::floor(v); }
    Mask heights_;
    Canvas colours_;
};

// One frame: columns of ground drawn front to back (each column's nearest ground hides what lies
// behind it), fading into a sunset sky.
void renderFrame(const Terrain& terrain, int index, Canvas& frame) {
    const float t = float(index) / videoFramesPerSecond;
    const float camX = 100 + t * 18, camZ = 60 + t * 30;
    const float heading = 0.6f + 0.25f * std::sin(t * 0.6f);
    const float sinH = std::sin(heading), cosH = std::cos(heading);
    const float heightScale = 240, projection = 180;
    // Fly above the ground ahead: the nearer a peak, the more it lifts the camera.
    float clearance = 0;
    for (float ahead = 0; ahead <= 60; ahead += 4)
        clearance = std::max(clearance, terrain.height(camX + sinH * ahead, camZ + cosH * ahead) *
                                            heightScale * (1 - ahead / 80));
    const float camHeight = std::max(215 + 25 * std::sin(t * 0.9f), clearance + 60);
    const float horizon = 90 + 10 * std::sin(t * 0.7f);
    const Color fog = {1.0f, 0.6f, 0.45f};
    for (int y = 0; y < videoHeight; ++y) {
        float sky = clamp01((horizon - y) / horizon);
        for (int x = 0; x < videoWidth; ++x) {
            float sun = std::exp(-std::hypot(x - 230.0f, y - horizon + 35) / 18);
            frame.at(x, y) =
                mix(fog, Color{0.2f, 0.25f, 0.6f}, sky) + exposure({1, 0.8f, 0.5f}, sun * 2);
        }
    }
    for (int x = 0; x < videoWidth; ++x) {
        float across = (x - videoWidth / 2.0f) / (videoWidth / 2.0f);
        float dirX = sinH + cosH * across * 0.8f, dirZ = cosH - sinH * across * 0.8f;
        int lowestDrawn = videoHeight;
        for (float distance = 2; distance < 400 && lowestDrawn > 0; distance *= 1.012f) {
            float wx = camX + dirX * distance, wz = camZ + dirZ * distance;
            float h = terrain.height(wx, wz) * heightScale;
            int top = int((camHeight - h) / distance * projection + horizon);
            if (top >= lowestDrawn)
                continue;
            Color ground = mix(terrain.colour(wx, wz), fog, clamp01(distance / 400));
            for (int y = std::max(top, 0); y < lowestDrawn; ++y)
                frame.at(x, y) = ground;
            lowestDrawn = std::max(top, 0);
        }
    }
}

uint8_t toByte(float v) { return uint8_t(std::lround(clamp01(v) * 255)); }

void toRgbBytes(const Canvas& picture, std::vector<uint8_t>& rgb) {
    for (int y = 0; y < videoHeight; ++y)
        for (int x = 0; x < videoWidth; ++x) {
            const Color& c = picture.at(x, y);
            uint8_t* pixel = &rgb[(size_t(y) * videoWidth + x) * 3];
            pixel[0] = toByte(c.r);
            pixel[1] = toByte(c.g);
            pixel[2] = toByte(c.b);
        }
}

} // namespace

void writeVideo(const std::filesystem::path& file) {
    std::filesystem::create_directories(file.parent_path());
    MjpegAviWriter writer(file.string(), videoWidth, videoHeight, videoFramesPerSecond, 3);
    const Terrain terrain;
    Canvas picture(videoWidth, videoHeight);
    std::vector<uint8_t> rgb(size_t(videoWidth) * videoHeight * 3);
    for (int index = 0; index < videoFrameCount; ++index) {
        renderFrame(terrain, index, picture);
        toRgbBytes(picture, rgb);
        writer.addFrame(rgb.data());
    }
    writer.finish();
}
