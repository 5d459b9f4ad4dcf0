// Starburst: coloured rays fanning out from the middle of the screen, turning slowly, their
// length and brightness pulsing with the beat.
//
// Script entry:
//     Plugin
//     <start>
//     <end>
//     plugins/starburst.so
//     <number of rays, 3 to 360 (other values give 48)>
//
// Tracks it reads when the show has them: starburst_spin (radians added to the turn) and
// starburst_size (the rays' length as a share of their own, 1 without the track).
#include "morveldan/plugin.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int defaultRays = 48;
constexpr int fewestRays = 3;
constexpr int mostRays = 360;
constexpr float pi = 3.14159265f;

// What one script entry asked for. Every entry naming this library calls Init on the same
// globals, and Draw is not told which entry it draws for, so it takes the first entry whose
// window holds the time.
struct Entry {
    unsigned startTime;
    unsigned endTime;
    int rayCount;
};
std::vector<Entry> entries;

// The show's track reader, when the show gives one.
MorveldanTrackReader readTrack = nullptr;

float trackValue(const char* name, float fallback) {
    return readTrack ? readTrack(name, fallback) : fallback;
}

const Entry* entryAt(int time) {
    const unsigned t = unsigned(time);
    for (const Entry& entry : entries)
        if (entry.startTime < t && t < entry.endTime)
            return &entry;
    return entries.empty() ? nullptr : &entries.back();
}

// One value line of the script: "#" comment lines are skipped, as the show's own reader does.
bool readValueLine(FILE* script, char* line, int size) {
    while (std::fgets(line, size, script)) {
        if (line[0] == '#') {
            while (!std::strchr(line, '\n') && std::fgets(line, size, script)) {
            }
            continue;
        }
        return true;
    }
    return false;
}

// Hue in [0, 1) to a saturated colour.
void setHue(float hue, float brightness, float alpha) {
    const float r = 0.5f + 0.5f * std::cos(2 * pi * hue);
    const float g = 0.5f + 0.5f * std::cos(2 * pi * (hue - 1.0f / 3));
    const float b = 0.5f + 0.5f * std::cos(2 * pi * (hue - 2.0f / 3));
    glColor4f(r * brightness, g * brightness, b * brightness, alpha);
}

void drawRays(int rayCount, float seconds, float beat) {
    const float turn = seconds * 0.15f + trackValue("starburst_spin", 0);
    const float reach = (1.1f + 0.9f * beat) * trackValue("starburst_size", 1);
    const float halfWidth = pi / float(rayCount) * (0.35f + 0.25f * beat);
    glBegin(GL_TRIANGLES);
    for (int ray = 0; ray < rayCount; ++ray) {
        const float angle = 2 * pi * float(ray) / float(rayCount) + turn;
        const float wobble = 0.75f + 0.25f * std::sin(seconds * 3.0f + float(ray) * 1.7f);
        const float length = reach * wobble;
        const float hue = float(ray) / float(rayCount) + seconds * 0.05f;
        setHue(hue, 0.6f + 0.4f * beat, 1);
        glVertex2f(0, 0);
        setHue(hue + 0.15f, 0.1f, 1);
        glVertex2f(length * std::cos(angle - halfWidth), length * std::sin(angle - halfWidth));
        glVertex2f(length * std::cos(angle + halfWidth), length * std::sin(angle + halfWidth));
    }
    glEnd();
}

void drawCore(float beat) {
    const int segments = 48;
    const float radius = 0.06f + 0.1f * beat;
    glBegin(GL_TRIANGLE_FAN);
    glColor4f(1, 1, 1, 1);
    glVertex2f(0, 0);
    glColor4f(1, 0.8f, 0.4f, 1);
    for (int i = 0; i <= segments; ++i) {
        const float angle = 2 * pi * float(i) / float(segments);
        glVertex2f(radius * std::cos(angle), radius * std::sin(angle));
    }
    glEnd();
}

} // namespace

extern "C" MORVELDAN_PLUGIN_EXPORT void SetTrackReader(MorveldanTrackReader reader) {
    readTrack = reader;
}

extern "C" MORVELDAN_PLUGIN_EXPORT void Init(FILE* script, int start, int end) {
    char line[1024];
    int rayCount = defaultRays;
    if (readValueLine(script, line, sizeof line)) {
        const int wanted = std::atoi(line);
        if (wanted >= fewestRays && wanted <= mostRays)
            rayCount = wanted;
    }
    entries.push_back({unsigned(start), unsigned(end), rayCount});
}

extern "C" MORVELDAN_PLUGIN_EXPORT void Draw(int time, float beat) {
    const Entry* entry = entryAt(time);
    if (!entry)
        return;
    const float seconds = float(unsigned(time) - entry->startTime) / 1000.0f;
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const float aspect = viewport[3] > 0 ? float(viewport[2]) / float(viewport[3]) : 1.0f;

    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-aspect, aspect, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    drawRays(entry->rayCount, seconds, beat);
    drawCore(beat);

    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
}
