#include "Models.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

namespace {

constexpr float twoPi = 6.2831853f;

Vec3 add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 scale(const Vec3& v, float k) { return {v.x * k, v.y * k, v.z * k}; }

// A texture coordinate that runs 0 -> 1 -> 0 around a closed loop: the picture is mirrored on
// the way back, so the first and last rows meet without a seam and no vertex is doubled (a
// doubled vertex would split the smooth normals there).
float mirroredLoop(float t) { return 1 - std::fabs(2 * t - 1); }

Vec3 knotPoint(float phi) {
    const float p = 2, q = 3, size = 28;
    float r = std::cos(q * phi) + 2;
    return scale({r * std::cos(p * phi), r * std::sin(p * phi), -std::sin(q * phi)}, size);
}

void addQuad(SceneMesh& mesh, int a, int b, int c, int d) {
    mesh.faces.push_back({uint16_t(a), uint16_t(b), uint16_t(c), 1});
    mesh.faces.push_back({uint16_t(a), uint16_t(c), uint16_t(d), 1});
}

void useOneMaterial(SceneMesh& mesh, const std::string& material) {
    SceneMaterialGroup group{material, {}};
    for (size_t i = 0; i < mesh.faces.size(); ++i)
        group.faces.push_back(uint16_t(i));
    mesh.materialGroups.push_back(group);
}

SceneMaterial shinyMaterial(const std::string& name, Vec3 colour, const std::string& texture) {
    SceneMaterial material;
    material.name = name;
    material.ambient = scale(colour, 0.2f);
    material.diffuse = colour;
    material.specular = {1, 1, 1};
    material.shininess = 0.6f;
    material.shading = 3;
    material.textureMap = SceneTextureMap{texture};
    return material;
}

} // namespace

namespace {

float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// v turned by `angle` radians about the unit axis.
Vec3 rotateAbout(const Vec3& v, const Vec3& axis, float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    return add(add(scale(v, c), scale(cross(axis, v), s)), scale(axis, dot(axis, v) * (1 - c)));
}

Vec3 perpendicularPart(const Vec3& v, const Vec3& axis) {
    return normalize(subtract(v, scale(axis, dot(axis, v))));
}

// Normals along a closed curve that turn as little as possible about its tangents (parallel
// transport), with the mismatch left where the loop closes spread evenly over the whole loop, so
// the tube's rings meet without a twist and its quads stay square.
std::vector<Vec3> loopFrameNormals(const std::vector<Vec3>& tangents) {
    const size_t n = tangents.size();
    std::vector<Vec3> normals(n);
    Vec3 seed = std::fabs(tangents[0].z) < 0.9f ? Vec3(0, 0, 1) : Vec3(1, 0, 0);
    normals[0] = perpendicularPart(seed, tangents[0]);
    for (size_t i = 1; i < n; ++i)
        normals[i] = perpendicularPart(normals[i - 1], tangents[i]);
    const Vec3 closing = perpendicularPart(normals[n - 1], tangents[0]);
    const float mismatch =
        std::atan2(dot(cross(closing, normals[0]), tangents[0]), dot(closing, normals[0]));
    for (size_t i = 0; i < n; ++i)
        normals[i] = rotateAbout(normals[i], tangents[i], mismatch * float(i) / float(n));
    return normals;
}

} // namespace

SceneMesh torusKnotMesh() {
    const int along = 192, around = 16;
    const float tubeRadius = 12;
    SceneMesh mesh;
    mesh.name = "Knot";
    std::vector<Vec3> centres, tangents;
    for (int i = 0; i < along; ++i) {
        float phi = twoPi * i / along, step = twoPi / along;
        centres.push_back(knotPoint(phi));
        tangents.push_back(normalize(subtract(knotPoint(phi + step), knotPoint(phi - step))));
    }
    const std::vector<Vec3> normals = loopFrameNormals(tangents);
    for (int i = 0; i < along; ++i) {
        Vec3 binormal = cross(tangents[i], normals[i]);
        for (int j = 0; j < around; ++j) {
            float theta = twoPi * j / around;
            Vec3 offset = add(scale(normals[i], std::cos(theta) * tubeRadius),
                              scale(binormal, std::sin(theta) * tubeRadius));
            mesh.vertices.push_back(add(centres[i], offset));
            mesh.texCoords.push_back(
                {mirroredLoop(float(i) / along) * 8, mirroredLoop(float(j) / around)});
        }
    }
    for (int i = 0; i < along; ++i)
        for (int j = 0; j < around; ++j) {
            int next = (i + 1) % along, up = (j + 1) % around;
            // Counter-clockwise seen from outside the tube: the effects cull back faces.
            addQuad(mesh, i * around + j, i * around + up, next * around + up, next * around + j);
        }
    useOneMaterial(mesh, "Chrome");
    return mesh;
}

namespace {

// An icosahedron subdivided `levels` times and pushed onto the unit sphere.
void icosphere(int levels, std::vector<Vec3>& points, std::vector<SceneFace>& faces) {
    const float t = (1 + std::sqrt(5.0f)) / 2;
    points = {{-1, t, 0},  {1, t, 0},  {-1, -t, 0}, {1, -t, 0}, {0, -1, t},  {0, 1, t},
              {0, -1, -t}, {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
    for (Vec3& p : points)
        p = normalize(p);
    const int corners[20][3] = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    faces.clear();
    for (const auto& c : corners)
        faces.push_back({uint16_t(c[0]), uint16_t(c[1]), uint16_t(c[2]), 1});
    for (int level = 0; level < levels; ++level) {
        std::map<std::pair<int, int>, int> middles;
        auto middle = [&](int a, int b) {
            auto key = std::minmax(a, b);
            auto found = middles.find(key);
            if (found != middles.end())
                return found->second;
            points.push_back(normalize(scale(add(points[a], points[b]), 0.5f)));
            return middles[key] = int(points.size() - 1);
        };
        std::vector<SceneFace> finer;
        for (const SceneFace& f : faces) {
            const int ab = middle(f.a, f.b), bc = middle(f.b, f.c), ca = middle(f.c, f.a);
            const int corners[4][3] = {{f.a, ab, ca}, {f.b, bc, ab}, {f.c, ca, bc}, {ab, bc, ca}};
            for (const auto& c : corners)
                finer.push_back({uint16_t(c[0]), uint16_t(c[1]), uint16_t(c[2]), 1});
        }
        faces = std::move(finer);
    }
}

} // namespace

SceneMesh blobMesh() {
    std::vector<Vec3> directions;
    SceneMesh mesh;
    mesh.name = "Blob";
    icosphere(4, directions, mesh.faces);
    const float radius = 60;
    for (const Vec3& d : directions) {
        float lumps = 0.22f * std::sin(3 * d.x + 1) * std::sin(2 * d.y + 0.5f) +
                      0.12f * std::sin(5 * d.z + 2 * d.x) + 0.08f * std::sin(7 * d.y - 3 * d.z);
        mesh.vertices.push_back(scale(d, radius * (1 + lumps)));
        // Longitude mirrored at the back, latitude from pole to pole: continuous everywhere.
        mesh.texCoords.push_back({std::fabs(std::atan2(d.z, d.x)) / 3.14159265f,
                                  std::acos(std::fmax(-1.0f, std::fmin(1.0f, d.y))) / 3.14159265f});
    }
    useOneMaterial(mesh, "Rubber");
    return mesh;
}

void writeModels(const std::filesystem::path& data) {
    Scene3ds knot;
    knot.meshes.push_back(torusKnotMesh());
    knot.materials.push_back(shinyMaterial("Chrome", {0.8f, 0.85f, 0.9f}, "env.jpg"));
    std::filesystem::create_directories(data / "rubber");
    write3ds((data / "rubber/simple.3ds").string(), knot);

    Scene3ds blob;
    blob.meshes.push_back(blobMesh());
    blob.materials.push_back(shinyMaterial("Rubber", {0.9f, 0.5f, 0.3f}, "env.jpg"));
    std::filesystem::create_directories(data / "misc");
    write3ds((data / "misc/simple.3ds").string(), blob);
}
