#include "render/BuiltinModels.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>

namespace {

constexpr float pi = 3.14159265358979f;

Vec3 add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 scale(const Vec3& v, float s) { return {v.x * s, v.y * s, v.z * s}; }

// Collects vertices, normal slots and triangles, then works out the normals. A slot's normal is
// the normalised area-weighted sum of the faces that use it; a blended slot leans halfway towards
// the smooth normal of its vertex, which rounds the edges between the bands of a surface.
class ModelBuilder {
public:
    int16_t vertex(const Vec3& p) {
        vertices_.push_back(p);
        return static_cast<int16_t>(vertices_.size() - 1);
    }

    int16_t normalSlot(int blendWithVertex = -1) {
        slots_.push_back({Vec3(), blendWithVertex});
        return static_cast<int16_t>(slots_.size() - 1);
    }

    void triangle(int16_t a, int16_t b, int16_t c, int16_t na, int16_t nb, int16_t nc) {
        faces_.push_back({{a, b, c}, {na, nb, nc}});
    }

    void smoothTriangle(int16_t a, int16_t b, int16_t c, const std::vector<int16_t>& slotOfVertex) {
        triangle(a, b, c, slotOfVertex[static_cast<size_t>(a)],
                 slotOfVertex[static_cast<size_t>(b)], slotOfVertex[static_cast<size_t>(c)]);
    }

    size_t vertexCount() const { return vertices_.size(); }

    // The finished tables; the shapes must have made exactly `normalCount` normals.
    BuiltinModel finish(size_t normalCount) const;

private:
    struct Slot {
        Vec3 sum;
        int blendWithVertex;
    };

    Vec3 faceNormal(const ModelFace& face) const {
        const Vec3& a = vertices_[static_cast<size_t>(face.vertex[0])];
        const Vec3& b = vertices_[static_cast<size_t>(face.vertex[1])];
        const Vec3& c = vertices_[static_cast<size_t>(face.vertex[2])];
        return cross(subtract(b, a), subtract(c, a));
    }

    std::vector<Vec3> vertices_;
    std::vector<Slot> slots_;
    std::vector<ModelFace> faces_;
};

BuiltinModel ModelBuilder::finish(size_t normalCount) const {
    if (slots_.size() != normalCount)
        throw std::logic_error(
            "built-in model: its shapes do not make the normals its table holds");
    std::vector<Vec3> vertexSums(vertices_.size());
    std::vector<Slot> slots = slots_;
    for (const ModelFace& face : faces_) {
        const Vec3 normal = faceNormal(face);
        for (int k = 0; k < 3; ++k) {
            Slot& slot = slots[static_cast<size_t>(face.normal[k])];
            slot.sum = add(slot.sum, normal);
            Vec3& vertexSum = vertexSums[static_cast<size_t>(face.vertex[k])];
            vertexSum = add(vertexSum, normal);
        }
    }
    BuiltinModel model;
    model.vertices = vertices_;
    model.faces = faces_;
    for (const Slot& slot : slots) {
        Vec3 normal = normalize(slot.sum);
        if (slot.blendWithVertex >= 0)
            normal = normalize(
                add(normal, normalize(vertexSums[static_cast<size_t>(slot.blendWithVertex)])));
        model.normals.push_back(normal);
    }
    return model;
}

// A grid of columns (closed around) by rows (closed or open across), quads split in two, wound
// counter-clockwise when the column index runs along the first tangent and the row index along
// the second. Every band of quads between two rows has its own normals at its corners, leaning
// towards the vertex normals, so the bands meet in soft creases. Where seam(band, column) holds,
// the quads on either side of that column have their own normals there too: a joint across the
// band.
void addGrid(ModelBuilder& builder, int columns, int rows, bool closedRows,
             const std::function<Vec3(int column, int row)>& position,
             const std::function<bool(int band, int column)>& seam) {
    const size_t base = builder.vertexCount();
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            builder.vertex(position(column, row));
    auto index = [&](int column, int row) {
        return static_cast<int16_t>(base +
                                    static_cast<size_t>((row % rows) * columns + column % columns));
    };
    const int bands = closedRows ? rows : rows - 1;
    for (int band = 0; band < bands; ++band) {
        // Normals at each column for the quad to its right, and for the quad to its left.
        std::vector<int16_t> lower, upper, lowerLeft, upperLeft;
        for (int column = 0; column < columns; ++column) {
            lower.push_back(builder.normalSlot(index(column, band)));
            upper.push_back(builder.normalSlot(index(column, band + 1)));
            const bool joint = seam(band, column);
            lowerLeft.push_back(joint ? builder.normalSlot(index(column, band)) : lower.back());
            upperLeft.push_back(joint ? builder.normalSlot(index(column, band + 1)) : upper.back());
        }
        for (int column = 0; column < columns; ++column) {
            const int next = (column + 1) % columns;
            const int16_t v00 = index(column, band), v10 = index(next, band),
                          v11 = index(next, band + 1), v01 = index(column, band + 1);
            builder.triangle(v00, v10, v11, lower[column], lowerLeft[next], upperLeft[next]);
            builder.triangle(v00, v11, v01, lower[column], upperLeft[next], upper[column]);
        }
    }
}

// A torus wound from one helix: vertex k lies at major angle 2 pi k / count and minor angle
// 2 pi k m / count, with m chosen so that vertex k + perTurn comes back round next to vertex k.
// Any vertex count works, with twice as many triangles, all smooth.
void addHelicalTorus(ModelBuilder& builder, int count, int perTurn,
                     Vec3 (*position)(float major, float minor)) {
    const int m = (count + perTurn / 2) / perTurn;
    const size_t base = builder.vertexCount();
    std::vector<int16_t> slots(base, -1);
    for (int k = 0; k < count; ++k) {
        const float major = 2 * pi * static_cast<float>(k) / static_cast<float>(count);
        const float minor = 2 * pi * static_cast<float>(static_cast<long>(k) * m % count) /
                            static_cast<float>(count);
        builder.vertex(position(major, minor));
        slots.push_back(builder.normalSlot());
    }
    auto at = [&](int k) { return static_cast<int16_t>(base + static_cast<size_t>(k % count)); };
    for (int k = 0; k < count; ++k) {
        builder.smoothTriangle(at(k), at(k + perTurn), at(k + perTurn + 1), slots);
        builder.smoothTriangle(at(k), at(k + perTurn + 1), at(k + 1), slots);
    }
}

// A rounded stone: a hexagonal double pyramid around `axis`, each half shaded smooth, with a crease
// at the girdle.
void addStone(ModelBuilder& builder, const Vec3& centre, const Vec3& axis, float radius,
              float halfHeight) {
    const Vec3 helper = std::fabs(axis.z) < 0.9f ? Vec3(0, 0, 1) : Vec3(1, 0, 0);
    const Vec3 u = normalize(cross(helper, axis));
    const Vec3 w = cross(axis, u);
    std::vector<int16_t> girdle, topNormals, bottomNormals;
    for (int i = 0; i < 6; ++i) {
        const float a = 2 * pi * static_cast<float>(i) / 6;
        girdle.push_back(builder.vertex(
            add(centre, add(scale(u, radius * std::cos(a)), scale(w, radius * std::sin(a))))));
        topNormals.push_back(builder.normalSlot());
        bottomNormals.push_back(builder.normalSlot());
    }
    const int16_t top = builder.vertex(add(centre, scale(axis, halfHeight)));
    const int16_t bottom = builder.vertex(add(centre, scale(axis, -halfHeight)));
    const int16_t topNormal = builder.normalSlot(), bottomNormal = builder.normalSlot();
    for (size_t i = 0; i < 6; ++i) {
        const size_t next = (i + 1) % 6;
        builder.triangle(girdle[i], girdle[next], top, topNormals[i], topNormals[next], topNormal);
        builder.triangle(girdle[next], girdle[i], bottom, bottomNormals[next], bottomNormals[i],
                         bottomNormal);
    }
}

ModelMaterial ringMaterial(const Vec3& diffuse, const Vec3& ambient) {
    return {{ambient.x, ambient.y, ambient.z},
            {diffuse.x, diffuse.y, diffuse.z},
            {0.7f, 0.7f, 0.7f},
            {0, 0, 0},
            1.0f,
            8.0f,
            -1};
}

// Every ring model has one run, of 4666 triangles: material 0 covers the whole ring.
void giveRingMaterial(BuiltinModel& model, const Vec3& diffuse, const Vec3& ambient) {
    model.materials = {ringMaterial(diffuse, ambient)};
    model.runs = {{0, 4666}};
}

// Ring 1: a tall beaded hoop in the xy plane with a thin ribbed wire running inside it.
Vec3 hoopPoint(float major, float minor) {
    const float radius = 0.12f, tube = 0.014f * (1 + 0.3f * std::cos(18 * major));
    const float outward = radius + tube * std::cos(minor);
    return {outward * std::cos(major), outward * std::sin(major), 1.6f * tube * std::sin(minor)};
}

constexpr int wireColumns = 93, wireRows = 11, wireJoints = 5;

Vec3 wirePoint(int column, int row) {
    const float radius = 0.091f, tube = 0.0065f;
    const float major = 2 * pi * static_cast<float>(column) / wireColumns;
    const float minor = 2 * pi * static_cast<float>(row) / wireRows;
    const float outward = radius + tube * std::cos(minor);
    return {outward * std::cos(major), outward * std::sin(major), tube * std::sin(minor)};
}

// Joints across the wire's outer rib, spread evenly round it.
bool wireJoint(int band, int column) {
    for (int joint = 0; joint < wireJoints; ++joint)
        if (band == 0 && column == joint * wireColumns / wireJoints)
            return true;
    return false;
}

// Rings 2 to 4: a band of rectangular section with soft edges and stones set around its outside.
struct StoneRing {
    float radius, halfWidth, halfThickness;
    int columns, stones;
    std::vector<int> seamBands; // bands (0 outer, 1 top, 2 inner, 3 bottom) joined at column 0
};

Vec3 bandPoint(const StoneRing& ring, int column, int row) {
    // Section corners counter-clockwise from outer-bottom: outer, top, inner, bottom faces.
    const float radial[4] = {1, 1, -1, -1}, axial[4] = {-1, 1, 1, -1};
    const float angle = 2 * pi * static_cast<float>(column) / static_cast<float>(ring.columns);
    const float outward = ring.radius + ring.halfWidth * radial[row];
    return {outward * std::cos(angle), outward * std::sin(angle), ring.halfThickness * axial[row]};
}

BuiltinModel buildStoneRing(const StoneRing& ring, size_t normals) {
    ModelBuilder builder;
    addGrid(
        builder, ring.columns, 4, true,
        [&ring](int column, int row) { return bandPoint(ring, column, row); },
        [&ring](int band, int column) {
            return column == 0 && std::find(ring.seamBands.begin(), ring.seamBands.end(), band) !=
                                      ring.seamBands.end();
        });
    for (int s = 0; s < ring.stones; ++s) {
        const float angle =
            2 * pi * (static_cast<float>(s) + 0.5f) / static_cast<float>(ring.stones);
        const Vec3 outward(std::cos(angle), std::sin(angle), 0);
        const float size = ring.halfThickness * 1.3f;
        addStone(builder, scale(outward, ring.radius + ring.halfWidth + size * 0.5f), outward, size,
                 size * 1.1f);
    }
    return builder.finish(normals);
}

// The Quelm model: a fluted goblet standing on the y axis, open at the top and under its foot.
constexpr int gobletColumns = 18, gobletRows = 8;

Vec3 gobletPoint(int column, int row) {
    const float profile[gobletRows][2] = {{0.95f, -1.5f}, {0.4f, -1.3f}, {0.16f, -0.85f},
                                          {0.2f, -0.3f},  {0.6f, 0.1f},  {1.0f, 0.6f},
                                          {1.1f, 1.15f},  {0.92f, 1.5f}};
    const float angle = 2 * pi * static_cast<float>(column) / static_cast<float>(gobletColumns);
    const float flute = 1 + 0.1f * std::cos(6 * angle) * (row >= 4 ? 1.0f : 0.3f);
    const float outward = profile[row][0] * flute;
    return {outward * std::cos(angle), profile[row][1], -outward * std::sin(angle)};
}

BuiltinModel buildQuelmModel() {
    ModelBuilder builder;
    // Mould seams down both sides of the stem and the cup.
    addGrid(builder, gobletColumns, gobletRows, false, gobletPoint, [](int band, int column) {
        return band >= 2 && (column == 0 || column == gobletColumns / 2);
    });
    return builder.finish(272);
}

BuiltinModel buildRing1() {
    ModelBuilder builder;
    addHelicalTorus(builder, 1310, 16, hoopPoint);
    addGrid(builder, wireColumns, wireRows, true, wirePoint, wireJoint);
    BuiltinModel model = builder.finish(3366);
    giveRingMaterial(model, {0.784314f, 0.784314f, 0.784314f}, {0, 0, 0.2f});
    return model;
}

BuiltinModel buildRing(int number) {
    static const StoneRing rings[3] = {{0.13f, 0.012f, 0.016f, 22, 8, {0, 2}},
                                       {0.11f, 0.01f, 0.014f, 20, 7, {0}},
                                       {0.14f, 0.013f, 0.016f, 18, 9, {0}}};
    static const size_t normals[3] = {292, 260, 272};
    static const Vec3 diffuse[3] = {{0.978431f, 0.978431f, 0.0784314f},
                                    {0.978431f, 0.784314f, 0.0784314f},
                                    {0.778431f, 0.784314f, 0.978431f}};
    const size_t i = static_cast<size_t>(number - 2);
    BuiltinModel model = buildStoneRing(rings[i], normals[i]);
    giveRingMaterial(model, diffuse[i], {0, 0, 0});
    return model;
}

} // namespace

const BuiltinModel& quelmModel() {
    static const BuiltinModel model = buildQuelmModel();
    return model;
}

const BuiltinModel& ringModel(int number) {
    static const BuiltinModel models[4] = {buildRing1(), buildRing(2), buildRing(3), buildRing(4)};
    if (number < 1 || number > 4)
        throw std::out_of_range("ring models are numbered 1 to 4");
    return models[number - 1];
}
