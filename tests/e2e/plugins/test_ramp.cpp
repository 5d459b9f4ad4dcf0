// Test plug-in: Draw fills the frame with a colour that spells the effect time (red = time % 256,
// green = time / 256 % 256) and the beat level (blue = beat * 255), so pictures show when they
// were drawn.
#include "morveldan/plugin.h"

#include <GL/gl.h>

#include <cstdio>

extern "C" MORVELDAN_PLUGIN_EXPORT void Init(FILE*, int, int) {}

extern "C" MORVELDAN_PLUGIN_EXPORT void Draw(int time, float beat) {
    const unsigned t = unsigned(time);
    glPushAttrib(GL_COLOR_BUFFER_BIT);
    glClearColor(float(t % 256) / 255, float(t / 256 % 256) / 255, beat, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
}
