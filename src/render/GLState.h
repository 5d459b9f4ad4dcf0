#pragma once
// Scoped OpenGL state guards, the standard view set-ups, lighting, rotation and the textured quad.

#include "render/GL.h"
#include "render/VecMath.h"

// Enables a capability for the guard's lifetime and disables it at the end. Guards do not save
// earlier values: a guard for a capability that was already on leaves it off.
class CEnabler {
public:
    GLenum capability = 0;

    explicit CEnabler(GLenum capability);
    virtual ~CEnabler();
    CEnabler(const CEnabler&) = delete;
    CEnabler& operator=(const CEnabler&) = delete;

protected:
    CEnabler() = default; // holds no capability and touches no state
};

// Blending on with the given factors; off again at the end (the blend function stays).
class CTransparency : public CEnabler {
public:
    CTransparency(GLenum sourceFactor, GLenum destinationFactor);
};

// Linear black fog between start and end.
class CFog : public CEnabler {
public:
    float colour[4] = {0, 0, 0, 0};

    CFog(float start, float end);
    ~CFog() override;
};

// Whether the driver can discard what it rasterises (GL_RASTERIZER_DISCARD: OpenGL 3.0, or
// EXT_transform_feedback).
bool rasteriserDiscardAvailable();

// True when a drawing in a colour at or below black, added to the picture with blend factors
// (GL_ONE, GL_ONE), changes nothing: the colour reaches the fragments unchanged (no lighting, fog,
// colour sum or shader program; textures modulate) and neither depth nor stencil is written.
bool blackAddsNothing();

void setPerspectiveView(int width, int height);
void setScreenPerspective();
// 2-D layer: x from -1 (left) to 1, y from -1 (top) to 1 (bottom), near 0.1, far 100.
void setOrthoView();
void setupLighting();
void rotateByDegrees(const Vec3& angles);

class OrthoView {
public:
    OrthoView() { setOrthoView(); }
    ~OrthoView() { setScreenPerspective(); }
    OrthoView(const OrthoView&) = delete;
    OrthoView& operator=(const OrthoView&) = delete;
};

class PerspectiveView {
public:
    PerspectiveView(int width, int height) { setPerspectiveView(width, height); }
    ~PerspectiveView() { setScreenPerspective(); }
    PerspectiveView(const PerspectiveView&) = delete;
    PerspectiveView& operator=(const PerspectiveView&) = delete;
};

class MatrixPush {
public:
    MatrixPush() { glPushMatrix(); }
    ~MatrixPush() { glPopMatrix(); }
    MatrixPush(const MatrixPush&) = delete;
    MatrixPush& operator=(const MatrixPush&) = delete;
};

// A textured rectangle in the plane z = centre.z; corner 1 (texture 0, 0) is at centre - halfSize.
class Quad {
public:
    Vec3 halfSize;
    Vec3 centre;

    Quad(float halfWidth, float halfHeight);
    void draw(float repeatS, float repeatT) const { drawOffset(repeatS, repeatT, 0, 0); }
    void drawOffset(float repeatS, float repeatT, float offsetS, float offsetT) const;
    // Sets the normal and texture coordinate that draw leaves current, drawing nothing.
    void leaveAttributesOfDraw(float repeatS, float repeatT) const;
};
