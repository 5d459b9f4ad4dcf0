// Test plug-in: Init reads one line "R G B" (0 to 255); Draw fills the frame with that colour.
#include "morveldan/plugin.h"

#include <GL/gl.h>

#include <cstdio>

namespace {

float red = 0, green = 0, blue = 0;

} // namespace

extern "C" MORVELDAN_PLUGIN_EXPORT void Init(FILE* script, int, int) {
    int r = 0, g = 0, b = 0;
    char line[1024];
    if (std::fgets(line, sizeof line, script) && std::sscanf(line, "%d %d %d", &r, &g, &b) == 3) {
        red = float(r) / 255;
        green = float(g) / 255;
        blue = float(b) / 255;
    }
}

extern "C" MORVELDAN_PLUGIN_EXPORT void Draw(int, float) {
    glPushAttrib(GL_COLOR_BUFFER_BIT);
    glClearColor(red, green, blue, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
}
