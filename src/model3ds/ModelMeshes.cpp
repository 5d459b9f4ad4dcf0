#include "model3ds/ModelMeshes.h"

#include "model3ds/L3DS.h"
#include "platform/Error.h"

#include <algorithm>
#include <cmath>

namespace {

const LMesh& firstMesh(const L3DS& importer, const std::string& path) {
    if (const auto& leftOut = importer.firstMeshLeftOut())
        raise("Unable to load model %s: its mesh \"%s\" has more vertices than a model can hold",
              path.c_str(), leftOut->c_str());
    if (importer.meshCount() == 0)
        raise("No mesh in %s", path.c_str());
    return importer.mesh(0);
}

} // namespace

ModelDisplayList::ModelDisplayList(const ShowFile& file, unsigned flags) {
    const std::string& path = file.path();
    // The importer is gone at the end of the constructor; the list keeps its own copy.
    const L3DS importer(path);
    const LMesh& mesh = firstMesh(importer, path);

    list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glEnableClientState(GL_VERTEX_ARRAY);
    if (flags & ModelNormals) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 0, mesh.normalData());
    }
    if (flags & ModelBinormalsAsColours) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(3, GL_FLOAT, 0, mesh.binormalData());
    }
    if (flags & ModelTexCoords) {
        glTexCoordPointer(2, GL_FLOAT, 0, mesh.texCoordData());
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glVertexPointer(4, GL_FLOAT, 0, mesh.vertexData());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(3 * mesh.triangleCount()), GL_UNSIGNED_SHORT,
                   mesh.triangleData());
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glEndList();
}

// --- Banded model -----------------------------------------------------------------------------

namespace {

// Small enough that a run's sphere stays close to its triangles, large enough that the spheres
// cost nothing next to the vertices they spare.
constexpr size_t trianglesPerRun = 32;

struct ClipPlane {
    double a = 0, b = 0, c = 0, d = 0;

    // Largest value of the plane's function over the sphere: below 0, the sphere lies wholly
    // outside.
    double highestOver(const Vec3& centre, float radius) const {
        return a * centre.x + b * centre.y + c * centre.z + d +
               double(radius) * std::sqrt(a * a + b * b + c * c);
    }
};

// The planes of clip space x = left * w and x = right * w, facing the columns between them, for
// object coordinates under the current matrices. Left and right are window columns.
std::pair<ClipPlane, ClipPlane> columnPlanes(int left, int right) {
    GLfloat projection[16], modelView[16];
    GLint viewport[4];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    glGetIntegerv(GL_VIEWPORT, viewport);
    // Rows x and w of projection * model view (column-major matrices).
    double rowX[4] = {}, rowW[4] = {};
    for (int column = 0; column < 4; ++column)
        for (int k = 0; k < 4; ++k) {
            rowX[column] += double(projection[4 * k]) * double(modelView[4 * column + k]);
            rowW[column] += double(projection[4 * k + 3]) * double(modelView[4 * column + k]);
        }
    const auto normalised = [&viewport](int windowX) {
        return 2.0 * double(windowX - viewport[0]) / double(std::max(viewport[2], 1)) - 1.0;
    };
    // A column's width of margin on each side keeps rounding out of the decision.
    const double l = normalised(left - 1), r = normalised(right + 1);
    const ClipPlane leftPlane{rowX[0] - l * rowW[0], rowX[1] - l * rowW[1], rowX[2] - l * rowW[2],
                              rowX[3] - l * rowW[3]};
    const ClipPlane rightPlane{r * rowW[0] - rowX[0], r * rowW[1] - rowX[1], r * rowW[2] - rowX[2],
                               r * rowW[3] - rowX[3]};
    return {leftPlane, rightPlane};
}

} // namespace

BandedModel::BandedModel(const ShowFile& file) {
    const std::string& path = file.path();
    const L3DS importer(path);
    const LMesh& mesh = firstMesh(importer, path);
    const Vec4* vertices = mesh.vertexData();
    const Vec3* normals = mesh.normalData();
    const LTriangle* triangles = mesh.triangleData();
    const size_t vertexCount = mesh.vertexCount(), triangleCount = mesh.triangleCount();
    for (size_t i = 0; i < vertexCount; ++i)
        if (vertices[i].w != 1)
            cullable_ = false;
    for (size_t first = 0; first < triangleCount; first += trianglesPerRun) {
        const size_t last = std::min(triangleCount, first + trianglesPerRun);
        Vec3 low(INFINITY, INFINITY, INFINITY), high(-INFINITY, -INFINITY, -INFINITY);
        const auto corners = [&](auto visit) {
            for (size_t t = first; t < last; ++t)
                for (uint16_t index : {triangles[t].a, triangles[t].b, triangles[t].c})
                    visit(vertices[index]);
        };
        corners([&](const Vec4& v) {
            low.set(std::min(low.x, v.x), std::min(low.y, v.y), std::min(low.z, v.z));
            high.set(std::max(high.x, v.x), std::max(high.y, v.y), std::max(high.z, v.z));
        });
        Run run;
        run.centre.set((low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2);
        corners([&](const Vec4& v) {
            run.radius = std::max(run.radius, length(subtract({v.x, v.y, v.z}, run.centre)));
        });
        run.radius = run.radius * 1.001f + 1e-4f; // float rounding of the distances
        run.firstIndex = GLsizei(3 * first);
        run.indices = GLsizei(3 * (last - first));
        runs_.push_back(run);
    }

    normalsOffset_ = vertexCount * sizeof(Vec4);
    glGenBuffers(1, &vertexBuffer_);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(normalsOffset_ + vertexCount * sizeof(Vec3)), nullptr,
                 GL_STATIC_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(normalsOffset_), vertices);
    glBufferSubData(GL_ARRAY_BUFFER, GLintptr(normalsOffset_),
                    GLsizeiptr(vertexCount * sizeof(Vec3)), normals);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glGenBuffers(1, &indexBuffer_);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(triangleCount * sizeof(LTriangle)), triangles,
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

BandedModel::~BandedModel() {
    glDeleteBuffers(1, &indexBuffer_);
    glDeleteBuffers(1, &vertexBuffer_);
}

void BandedModel::drawColumns(int left, int right) const {
    const auto [leftPlane, rightPlane] = columnPlanes(left, right);
    const auto reaches = [&](const Run& run) {
        return !cullable_ || (leftPlane.highestOver(run.centre, run.radius) >= 0 &&
                              rightPlane.highestOver(run.centre, run.radius) >= 0);
    };
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(4, GL_FLOAT, 0, nullptr);
    glNormalPointer(GL_FLOAT, 0, reinterpret_cast<const void*>(normalsOffset_));
    // Neighbouring runs that reach the band go in one call.
    for (size_t first = 0; first < runs_.size();) {
        if (!reaches(runs_[first])) {
            ++first;
            continue;
        }
        size_t end = first + 1;
        while (end < runs_.size() && reaches(runs_[end]))
            ++end;
        const GLsizei count =
            runs_[end - 1].firstIndex + runs_[end - 1].indices - runs_[first].firstIndex;
        glDrawElements(
            GL_TRIANGLES, count, GL_UNSIGNED_SHORT,
            reinterpret_cast<const void*>(size_t(runs_[first].firstIndex) * sizeof(uint16_t)));
        first = end;
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}
