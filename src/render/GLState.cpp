#include "render/GLState.h"

#include "render/Screen.h"

#include <initializer_list>

CEnabler::CEnabler(GLenum capability_) : capability(capability_) { glEnable(capability); }

CEnabler::~CEnabler() {
    if (capability != 0)
        glDisable(capability);
}

CTransparency::CTransparency(GLenum sourceFactor, GLenum destinationFactor) : CEnabler(GL_BLEND) {
    glBlendFunc(sourceFactor, destinationFactor);
}

CFog::CFog(float start, float end) {
    glEnable(GL_FOG);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glHint(GL_FOG_HINT, GL_NICEST);
    glFogf(GL_FOG_START, start);
    glFogf(GL_FOG_END, end);
    glFogfv(GL_FOG_COLOR, colour);
}

CFog::~CFog() { glDisable(GL_FOG); }

void setPerspectiveView(int width, int height) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(40.0, double(width) / double(height), double(0.1f), 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void setScreenPerspective() { setPerspectiveView(currentScreen().width, currentScreen().height); }

void setOrthoView() {
    glViewport(0, 0, currentScreen().width, currentScreen().height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, 1, -1, double(0.1f), 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void setupLighting() {
    const GLfloat ambient[] = {0.1f, 0.1f, 0.1f, 1.0f};
    const GLfloat diffuse[] = {1.2f, 1.2f, 1.2f, 1.0f};
    const GLfloat specular[] = {0.9f, 0.9f, 0.9f, 1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
}

void rotateByDegrees(const Vec3& angles) {
    glRotatef(angles.x, 1, 0, 0);
    glRotatef(angles.y, 0, 1, 0);
    glRotatef(angles.z, 0, 0, 1);
}

Quad::Quad(float halfWidth, float halfHeight) : halfSize(halfWidth, halfHeight, 0) {}

bool blackAddsNothing() {
    GLint program = 0, environment = 0;
    GLboolean depthWrites = GL_FALSE;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &environment);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    for (GLenum capability : {GL_LIGHTING, GL_FOG, GL_COLOR_SUM, GL_STENCIL_TEST})
        if (glIsEnabled(capability))
            return false;
    return program == 0 && environment == GL_MODULATE &&
           !(glIsEnabled(GL_DEPTH_TEST) && depthWrites);
}

void Quad::leaveAttributesOfDraw(float, float repeatT) const {
    glNormal3f(0, 0, 1);
    glTexCoord2f(0, repeatT);
}

void Quad::drawOffset(float repeatS, float repeatT, float offsetS, float offsetT) const {
    const float left = centre.x - halfSize.x, right = centre.x + halfSize.x;
    const float top = centre.y - halfSize.y, bottom = centre.y + halfSize.y;
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    glTexCoord2f(offsetS, offsetT);
    glVertex3f(left, top, centre.z);
    glTexCoord2f(offsetS + repeatS, offsetT);
    glVertex3f(right, top, centre.z);
    glTexCoord2f(offsetS + repeatS, offsetT + repeatT);
    glVertex3f(right, bottom, centre.z);
    glTexCoord2f(offsetS, offsetT + repeatT);
    glVertex3f(left, bottom, centre.z);
    glEnd();
}

bool rasteriserDiscardAvailable() { return GLEW_VERSION_3_0 || GLEW_EXT_transform_feedback; }
