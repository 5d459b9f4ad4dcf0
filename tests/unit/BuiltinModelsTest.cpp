#include "render/BuiltinModels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

struct Expected {
    const char* name;
    const BuiltinModel& model;
    size_t triangles, vertices, normals;
};

float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

} // namespace

TEST(BuiltinModels, TablesHaveTheirExactSizesAndConsistentContents) {
    const Expected models[] = {{"Quelm", quelmModel(), 252, 144, 272},
                               {"ring 1", ringModel(1), 4666, 2333, 3366},
                               {"ring 2", ringModel(2), 272, 152, 292},
                               {"ring 3", ringModel(3), 244, 136, 260},
                               {"ring 4", ringModel(4), 252, 144, 272}};
    for (const Expected& e : models) {
        SCOPED_TRACE(e.name);
        const BuiltinModel& m = e.model;
        ASSERT_EQ(m.faces.size(), e.triangles);
        ASSERT_EQ(m.vertices.size(), e.vertices);
        ASSERT_EQ(m.normals.size(), e.normals);
        std::vector<bool> vertexUsed(m.vertices.size()), normalUsed(m.normals.size());
        size_t backwards = 0;
        for (const ModelFace& f : m.faces) {
            for (int k = 0; k < 3; ++k) {
                ASSERT_GE(f.vertex[k], 0);
                ASSERT_LT(static_cast<size_t>(f.vertex[k]), m.vertices.size());
                ASSERT_GE(f.normal[k], 0);
                ASSERT_LT(static_cast<size_t>(f.normal[k]), m.normals.size());
                vertexUsed[static_cast<size_t>(f.vertex[k])] = true;
                normalUsed[static_cast<size_t>(f.normal[k])] = true;
            }
            // Lighting on both sides needs the winding and the normals to agree.
            const Vec3& a = m.vertices[static_cast<size_t>(f.vertex[0])];
            const Vec3 faceNormal =
                cross(subtract(m.vertices[static_cast<size_t>(f.vertex[1])], a),
                      subtract(m.vertices[static_cast<size_t>(f.vertex[2])], a));
            ASSERT_GT(length(faceNormal), 0.0f) << "degenerate triangle";
            for (int k = 0; k < 3; ++k)
                if (dot(faceNormal, m.normals[static_cast<size_t>(f.normal[k])]) <= 0)
                    ++backwards;
        }
        EXPECT_EQ(backwards, 0u);
        EXPECT_EQ(std::count(vertexUsed.begin(), vertexUsed.end(), false), 0);
        EXPECT_EQ(std::count(normalUsed.begin(), normalUsed.end(), false), 0);
        for (const Vec3& n : m.normals)
            ASSERT_NEAR(length(n), 1.0f, 1e-4f);
    }
}

TEST(BuiltinModels, RingsAreOpenRingsAroundTheirAxisWithOneMaterialRun) {
    const float diffuse[4][3] = {{0.784314f, 0.784314f, 0.784314f},
                                 {0.978431f, 0.978431f, 0.0784314f},
                                 {0.978431f, 0.784314f, 0.0784314f},
                                 {0.778431f, 0.784314f, 0.978431f}};
    for (int number = 1; number <= 4; ++number) {
        SCOPED_TRACE("ring " + std::to_string(number));
        const BuiltinModel& ring = ringModel(number);
        ASSERT_EQ(ring.runs.size(), 1u);
        EXPECT_EQ(ring.runs[0].material, 0);
        EXPECT_EQ(ring.runs[0].triangles, 4666);
        ASSERT_EQ(ring.materials.size(), 1u);
        const ModelMaterial& material = ring.materials[0];
        for (int c = 0; c < 3; ++c) {
            EXPECT_FLOAT_EQ(material.diffuse[c], diffuse[number - 1][c]);
            EXPECT_FLOAT_EQ(material.ambient[c], number == 1 && c == 2 ? 0.2f : 0.0f);
            EXPECT_FLOAT_EQ(material.specular[c], 0.7f);
            EXPECT_FLOAT_EQ(material.emission[c], 0.0f);
        }
        EXPECT_EQ(material.alpha, 1.0f);
        EXPECT_EQ(material.shininess, 8.0f);
        EXPECT_EQ(material.texture, -1);

        // Every vertex lies well away from the axis and close to the ring's plane, all the way
        // round.
        float nearest = 1e9f, farthest = 0, thickest = 0;
        int quadrants[4] = {};
        for (const Vec3& v : ring.vertices) {
            const float radial = std::hypot(v.x, v.y);
            nearest = std::min(nearest, radial);
            farthest = std::max(farthest, radial);
            thickest = std::max(thickest, std::fabs(v.z));
            ++quadrants[(v.x >= 0 ? 0 : 1) + (v.y >= 0 ? 0 : 2)];
        }
        EXPECT_GT(nearest, 0.6f * farthest);
        EXPECT_LT(thickest, 0.3f * farthest);
        for (int q : quadrants)
            EXPECT_GT(q, static_cast<int>(ring.vertices.size() / 8));
    }
    EXPECT_TRUE(quelmModel().materials.empty());
    EXPECT_TRUE(quelmModel().runs.empty());
}
