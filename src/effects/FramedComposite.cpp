#include "effects/FramedComposite.h"

#include "render/GLState.h"

namespace Effekter {

void showFramedComposite(GLuint compositeTexture, const FragmentProgram& screenProgram,
                         GLint beatLocation, GLint timeLocation, float beat, float time,
                         const CTexture& overlay) {
    OrthoView layer;
    MatrixPush push;
    glTranslatef(0, 0, -2);
    glColor4f(1, 1, 1, 1);
    glUseProgram(screenProgram.program);
    glUniform1f(beatLocation, beat);
    glUniform1f(timeLocation, time);
    glBindTexture(GL_TEXTURE_2D, compositeTexture);
    Quad(1, 1).draw(1, 1);
    glUseProgram(0);

    CTransparency brightnessWeighted(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
    glColor4f(1, 1, 1, 1);
    TextureBinding binding(overlay);
    Quad(1.25f, 1.25f).draw(1, 1);
}

} // namespace Effekter
