#include "render/Mesh.h"

#include "render/BuiltinModels.h"

namespace {

void applyMaterial(const ModelMaterial& material) {
    const float* colours[] = {material.ambient, material.diffuse, material.specular,
                              material.emission};
    const GLenum parameters[] = {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_EMISSION};
    for (int i = 0; i < 4; ++i) {
        const float value[4] = {colours[i][0], colours[i][1], colours[i][2], material.alpha};
        glMaterialfv(GL_FRONT_AND_BACK, parameters[i], value);
    }
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material.shininess);
}

} // namespace

GLuint compileModelList(const BuiltinModel& model) {
    const GLuint name = glGenLists(1);
    glNewList(name, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    int32_t trianglesLeftInRun = 0;
    size_t nextRun = 0;
    for (const ModelFace& face : model.faces) {
        if (trianglesLeftInRun == 0 && nextRun < model.runs.size()) {
            const MaterialRun& run = model.runs[nextRun++];
            glEnd();
            applyMaterial(model.materials[static_cast<size_t>(run.material)]);
            glBegin(GL_TRIANGLES);
            trianglesLeftInRun = run.triangles;
        }
        for (int corner = 0; corner < 3; ++corner) {
            glNormal3fv(model.normals[static_cast<size_t>(face.normal[corner])].data());
            glVertex3fv(model.vertices[static_cast<size_t>(face.vertex[corner])].data());
        }
        --trianglesLeftInRun;
    }
    glEnd();
    glEndList();
    return name;
}

GLuint buildQuelmModelList() { return compileModelList(quelmModel()); }

RingModelSet& ringModels() {
    static RingModelSet set;
    return set;
}

void buildRingModels() {
    for (int number = 1; number <= 4; ++number)
        ringModels().ring[number - 1] = compileModelList(ringModel(number));
}

void drawRings(float angle, float offsetX) {
    const GLuint* ring = ringModels().ring;
    // The factors are applied in double precision and rounded once.
    const auto turned = [angle](double factor) { return static_cast<float>(factor * angle); };
    const float angle2 = turned(-0.6), angle3 = turned(1.2), angle4 = turned(-0.8);
    const auto callTurned = [](float z, float turn, GLuint list) {
        glPushMatrix();
        glTranslatef(0, 0, z);
        glRotatef(turn, 0, 0, 1);
        glCallList(list);
        glPopMatrix();
    };

    glPushMatrix();
    glTranslatef(offsetX * 0.25f, 0, -0.45f);
    glRotatef(56, 0, 1, 0);

    glPushMatrix();
    glRotatef(angle, 0, 0, 1);
    glCallList(ring[0]);
    glPopMatrix();

    glPushMatrix();
    glScalef(0.8f, 0.8f, 0.8f);
    callTurned(0.5f, angle2, ring[1]);
    callTurned(0.4f, angle3, ring[2]);
    callTurned(0.3f, angle4, ring[3]);
    glPopMatrix();

    glPushMatrix();
    glScalef(0.8f, 0.8f, 0.8f);
    callTurned(-0.3f, angle2, ring[1]);
    callTurned(-0.5f, angle3, ring[2]);
    callTurned(-0.4f, angle4, ring[3]);
    glPopMatrix();

    glPopMatrix();
}

void disableLighting() {
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
}
