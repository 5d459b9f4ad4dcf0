#pragma once
// A triangle mesh of the 3DS importer, with per-vertex arrays laid out for OpenGL vertex arrays,
// and its post-processing: face and vertex normals (splitting vertices where smoothing groups
// meet) and tangent frames.

#include "model3ds/LObject.h"
#include "render/VecMath.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Three vertex indices, the layout glDrawElements takes with GL_UNSIGNED_SHORT.
struct LTriangle {
    uint16_t a = 0, b = 0, c = 0;
};
static_assert(sizeof(LTriangle) == 6);

struct LFace {
    uint16_t a = 0, b = 0, c = 0;
    uint32_t smoothingGroups = 1;
    Vec3 normal;
    Vec3 tangent;
    Vec3 binormal;
    uint32_t materialId = 0;
};

class LMesh : public LObject {
public:
    static constexpr size_t maxVertices = 0xFFFF;

    LMesh() { clear(); }
    ~LMesh() override = default;

    void clear();

    // New entries are zero.
    void setVertexCount(size_t count);
    void setTriangleCount(size_t count);
    size_t vertexCount() const { return vertices_.size(); }
    size_t triangleCount() const { return triangles_.size(); }

    // Store when the index is below the current count; otherwise do nothing.
    void setVertex(size_t index, const Vec4& vertex);
    void setTexCoord(size_t index, const Vec2& uv);
    void setFace(size_t index, const LFace& face);

    const Vec4& vertex(size_t index) const { return vertices_[index]; }
    const Vec3& normal(size_t index) const { return normals_[index]; }
    const Vec3& binormal(size_t index) const { return binormals_[index]; }
    const Vec3& tangent(size_t index) const { return tangents_[index]; }
    const Vec2& texCoord(size_t index) const { return texCoords_[index]; }
    const LTriangle& triangle(size_t index) const { return triangles_[index]; }
    const LFace& face(size_t index) const { return faces_[index]; }
    LFace& face(size_t index) { return faces_[index]; }

    const Vec4* vertexData() const { return vertices_.data(); }
    const Vec3* normalData() const { return normals_.data(); }
    const Vec3* binormalData() const { return binormals_.data(); }
    const Vec2* texCoordData() const { return texCoords_.data(); }
    const LTriangle* triangleData() const { return triangles_.data(); }

    const Mat4& matrix() const { return matrix_; }
    void setMatrix(const Mat4& matrix) { matrix_ = matrix; }

    // Appends a material id and returns the new entry's index.
    size_t addMaterial(uint32_t id);
    const std::vector<uint32_t>& materialIds() const { return materialIds_; }

    // Removes faces with a corner at or beyond the vertex count; returns how many went.
    size_t removeFacesOutsideVertices();

    // Drops faces with corners beyond the vertices first. Level 0: vertices through the local
    // matrix; 1: normals without smoothing groups; 2: normals with smoothing groups, then tangents
    // and binormals; others: nothing. Returns false, leaving the vertices as they were, when
    // splitting at smoothing groups would pass maxVertices.
    bool process(int level);

private:
    using FaceLists = std::vector<std::vector<uint32_t>>;

    void computeFaceNormals();
    FaceLists faceListsPerVertex() const;
    size_t verticesAfterSplit(const FaceLists& lists) const;
    void splitAtSmoothingGroups(const FaceLists& lists);
    size_t copyVertex(size_t index);
    void computeVertexNormals(const FaceLists& lists);
    void copyFacesToTriangles();
    void computeTangents();

    std::vector<Vec4> vertices_;
    std::vector<Vec3> normals_;
    std::vector<Vec3> binormals_;
    std::vector<Vec3> tangents_;
    std::vector<Vec2> texCoords_;
    std::vector<LTriangle> triangles_;
    std::vector<LFace> faces_;
    Mat4 matrix_;
    std::vector<uint32_t> materialIds_;
};
