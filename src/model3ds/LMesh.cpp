#include "model3ds/LMesh.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

void LMesh::clear() {
    vertices_.clear();
    normals_.clear();
    binormals_.clear();
    tangents_.clear();
    texCoords_.clear();
    triangles_.clear();
    faces_.clear();
    materialIds_.clear();
    setIdentity(matrix_);
}

void LMesh::setVertexCount(size_t count) {
    vertices_.resize(count);
    normals_.resize(count);
    texCoords_.resize(count);
    tangents_.resize(count);
    binormals_.resize(count);
}

void LMesh::setTriangleCount(size_t count) {
    triangles_.resize(count);
    faces_.resize(count);
}

void LMesh::setVertex(size_t index, const Vec4& vertex) {
    if (index < vertices_.size())
        vertices_[index] = vertex;
}

void LMesh::setTexCoord(size_t index, const Vec2& uv) {
    if (index < texCoords_.size())
        texCoords_[index] = uv;
}

void LMesh::setFace(size_t index, const LFace& face) {
    if (index < faces_.size())
        faces_[index] = face;
}

size_t LMesh::addMaterial(uint32_t id) {
    materialIds_.push_back(id);
    return materialIds_.size() - 1;
}

size_t LMesh::removeFacesOutsideVertices() {
    const size_t count = vertices_.size();
    const size_t before = faces_.size();
    std::erase_if(faces_,
                  [count](const LFace& f) { return f.a >= count || f.b >= count || f.c >= count; });
    triangles_.resize(faces_.size());
    return before - faces_.size();
}

bool LMesh::process(int level) {
    removeFacesOutsideVertices();
    switch (level) {
    case 0:
        for (Vec4& v : vertices_)
            v = transform(matrix_, v);
        return true;
    case 1: {
        computeFaceNormals();
        computeVertexNormals(faceListsPerVertex());
        copyFacesToTriangles();
        return true;
    }
    case 2: {
        computeFaceNormals();
        const FaceLists before = faceListsPerVertex();
        if (verticesAfterSplit(before) > maxVertices)
            return false;
        splitAtSmoothingGroups(before);
        const FaceLists lists = faceListsPerVertex();
        computeVertexNormals(lists);
        copyFacesToTriangles();
        computeTangents();
        return true;
    }
    default:
        return true;
    }
}

namespace {

Vec3 position(const Vec4& v) { return {v.x, v.y, v.z}; }

Vec3 add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

} // namespace

void LMesh::computeFaceNormals() {
    for (LFace& f : faces_) {
        const Vec3 a = position(vertices_[f.a]), b = position(vertices_[f.b]),
                   c = position(vertices_[f.c]);
        f.normal = normalize(cross(subtract(b, c), subtract(b, a)));
    }
}

// For each vertex, the faces that use it in face order; a face using a vertex twice is listed
// twice.
LMesh::FaceLists LMesh::faceListsPerVertex() const {
    FaceLists lists(vertices_.size());
    for (size_t i = 0; i < faces_.size(); ++i) {
        const LFace& f = faces_[i];
        for (uint16_t corner : {f.a, f.b, f.c})
            lists[corner].push_back(static_cast<uint32_t>(i));
    }
    return lists;
}

size_t LMesh::verticesAfterSplit(const FaceLists& lists) const {
    size_t total = 0;
    std::unordered_set<uint32_t> groups;
    for (const auto& list : lists) {
        groups.clear();
        for (uint32_t face : list)
            groups.insert(faces_[face].smoothingGroups);
        total += std::max<size_t>(groups.size(), 1);
    }
    return total;
}

// Gives every smoothing-group value (compared whole, not by shared bits) its own copy of each
// vertex where faces of different values meet; the first value met keeps the vertex.
void LMesh::splitAtSmoothingGroups(const FaceLists& lists) {
    std::unordered_map<uint32_t, size_t> copies;
    for (size_t vertex = 0; vertex < lists.size(); ++vertex) {
        const auto& list = lists[vertex];
        if (list.empty())
            continue;
        const uint32_t firstGroup = faces_[list.front()].smoothingGroups;
        copies.clear();
        for (uint32_t faceIndex : list) {
            LFace& face = faces_[faceIndex];
            if (face.smoothingGroups == firstGroup)
                continue;
            auto [it, added] = copies.try_emplace(face.smoothingGroups, 0);
            if (added)
                it->second = copyVertex(vertex);
            const auto replacement = static_cast<uint16_t>(it->second);
            for (uint16_t* corner : {&face.a, &face.b, &face.c})
                if (*corner == vertex)
                    *corner = replacement;
        }
    }
}

size_t LMesh::copyVertex(size_t index) {
    vertices_.push_back(vertices_[index]);
    normals_.push_back(normals_[index]);
    texCoords_.push_back(texCoords_[index]);
    tangents_.push_back(tangents_[index]);
    binormals_.push_back(binormals_[index]);
    return vertices_.size() - 1;
}

void LMesh::computeVertexNormals(const FaceLists& lists) {
    for (size_t vertex = 0; vertex < lists.size(); ++vertex) {
        Vec3 sum;
        for (uint32_t face : lists[vertex])
            sum = add(sum, faces_[face].normal);
        normals_[vertex] = normalize(sum);
    }
}

void LMesh::copyFacesToTriangles() {
    triangles_.resize(faces_.size());
    for (size_t i = 0; i < faces_.size(); ++i)
        triangles_[i] = {faces_[i].a, faces_[i].b, faces_[i].c};
}

// Face tangents and binormals from the texture mapping, axis by axis; a face whose mapping has no
// area has no direction to give and contributes zero vectors. Vertex tangents are the normalised
// sums of their faces' tangents; vertex binormals complete the frame with the vertex normal.
void LMesh::computeTangents() {
    for (LFace& f : faces_) {
        const Vec4 &pa = vertices_[f.a], &pb = vertices_[f.b], &pc = vertices_[f.c];
        const Vec2 &ta = texCoords_[f.a], &tb = texCoords_[f.b], &tc = texCoords_[f.c];
        float tangent[3] = {}, binormal[3] = {};
        const float pd1[3] = {pb.x - pa.x, pb.y - pa.y, pb.z - pa.z};
        const float pd2[3] = {pc.x - pa.x, pc.y - pa.y, pc.z - pa.z};
        for (int k = 0; k < 3; ++k) {
            const Vec3 e1(pd1[k], tb.u - ta.u, tb.v - ta.v);
            const Vec3 e2(pd2[k], tc.u - ta.u, tc.v - ta.v);
            const Vec3 n = cross(e1, e2);
            if (n.x != 0) {
                tangent[k] = -n.y / n.x;
                binormal[k] = -n.z / n.x;
            }
        }
        f.tangent = {tangent[0], tangent[1], tangent[2]};
        f.binormal = {binormal[0], binormal[1], binormal[2]};
    }
    const FaceLists lists = faceListsPerVertex();
    for (size_t vertex = 0; vertex < lists.size(); ++vertex) {
        Vec3 tangentSum;
        for (uint32_t face : lists[vertex])
            tangentSum = add(tangentSum, faces_[face].tangent);
        tangents_[vertex] = normalize(tangentSum);
        binormals_[vertex] = normalize(cross(tangents_[vertex], normals_[vertex]));
    }
}
