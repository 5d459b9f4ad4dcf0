#include "effects/PosedObjects.h"

#include "platform/Error.h"
#include "render/GLState.h"
#include "render/Mesh.h"

namespace Effekter {

namespace {

void translate(const Vec3& by) { glTranslatef(by.x, by.y, by.z); }

} // namespace

Quelm3D::Quelm3D(int32_t start, int32_t end) : Effekt(start, end) { name = "Quelm3D"; }

void Quelm3D::registerTweaks(TweakRegistry& tweaks) {
    tweaks.addVariable(tweakBar, "Cam pos", TweakDir3F, &camPos, "label='Cam pos'");
    tweaks.addVariable(tweakBar, "Pole pos", TweakDir3F, &polePos, "label='Pole pos'");
    tweaks.addVariable(tweakBar, "Pole rot", TweakDir3F, &poleRot, "label='Pole rot'");
}

void Quelm3D::draw(uint32_t, float) {
    if (meshList < 0)
        meshList = int32_t(buildQuelmModelList());
    glColor4f(1, 1, 1, 1);
    setupLighting();
    CEnabler depthTest(GL_DEPTH_TEST);
    MatrixPush push;
    translate(camPos);
    translate(polePos);
    rotateByDegrees(poleRot);
    glCallList(GLuint(meshList));
}

FogRotator::FogRotator(const EffectContext& context, int32_t start, int32_t end)
    : Effekt(start, end) {
    poleImage.load(context.files.open("data/mirok/fog/pole1.jpg", ShowFileKind::Picture));
    name = "FogRotator";
    quadric_.reset(gluNewQuadric());
    if (!quadric_)
        raise("Unable to create a quadric");
    gluQuadricTexture(quadric_.get(), GL_TRUE);
}

void FogRotator::registerTweaks(TweakRegistry& tweaks) {
    tweaks.addVariable(tweakBar, "Cam pos", TweakDir3F, &camPos, "label='Cam pos'");
    for (int n = 1; n <= poleCount; ++n) {
        tweaks.addVariable(tweakBar, formatText("Pols pos %i", n), TweakDir3F, &polePos[n - 1],
                           "label='Pole pos'");
        tweaks.addVariable(tweakBar, formatText("Pols rot %i", n), TweakDir3F, &poleRot[n - 1],
                           "label='Pole rot'");
    }
}

void FogRotator::draw(uint32_t, float) {
    MatrixPush push;
    translate(camPos);
    CEnabler depthTest(GL_DEPTH_TEST);
    glColor4f(1, 1, 1, 1);
    for (int pole = 0; pole < poleCount; ++pole) {
        MatrixPush poleMatrix;
        translate(polePos[pole]);
        rotateByDegrees(poleRot[pole]);
        TextureBinding binding(poleImage);
        gluCylinder(quadric_.get(), 0.5, 0.5, 12, 20, 10);
    }
}

} // namespace Effekter
