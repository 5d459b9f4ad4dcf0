#pragma once
// Named scene objects of the 3DS importer: the common base, materials and lights. Meshes are in
// LMesh.h.

#include "render/VecMath.h"

#include <array>
#include <cstdint>
#include <string>

class LObject {
public:
    virtual ~LObject() = default;
    virtual const std::string& getName() const { return name_; }
    virtual void setName(const std::string& name) { name_ = name; }

private:
    std::string name_;
};

struct LMap {
    float strength = 0;
    std::string fileName;
    float uScale = 1, vScale = 1;
    float uOffset = 0, vOffset = 0;
    float angle = 0;
};

// The six texture maps of a material, in file-format order.
enum class LMapKind { Texture1, Texture2, Opacity, Reflection, Bump, Specular };

class LMaterial : public LObject {
public:
    ~LMaterial() override = default;

    uint32_t getID() const { return id_; }
    void setID(uint32_t id) { id_ = id; }

    LMap& map(LMapKind kind) { return maps_[static_cast<size_t>(kind)]; }
    const LMap& map(LMapKind kind) const { return maps_[static_cast<size_t>(kind)]; }

    const Vec3& getAmbientColor() const { return ambient_; }
    const Vec3& getDiffuseColor() const { return diffuse_; }
    const Vec3& getSpecularColor() const { return specular_; }
    void setAmbientColor(const Vec3& colour) { ambient_ = colour; }
    void setDiffuseColor(const Vec3& colour) { diffuse_ = colour; }
    void setSpecularColor(const Vec3& colour) { specular_ = colour; }

    float getShininess() const { return shininess_; }
    float getTransparency() const { return transparency_; }
    // Both clamp to [0, 1]; a value that is not a number becomes 0.
    void setShininess(float value) { shininess_ = clampUnit(value); }
    void setTransparency(float value) { transparency_ = clampUnit(value); }

    // 0 wire frame, 1 flat, 2 Gouraud, 3 Phong, 4 metal.
    uint32_t getShadingType() const { return shading_; }
    void setShadingType(uint32_t shading) { shading_ = shading; }

private:
    static float clampUnit(float value) { return value > 1 ? 1.0f : (value > 0 ? value : 0.0f); }

    uint32_t id_ = 0;
    std::array<LMap, 6> maps_;
    Vec3 ambient_, diffuse_, specular_;
    float shininess_ = 0, transparency_ = 0;
    uint32_t shading_ = 2;
};

class LLight : public LObject {
public:
    ~LLight() override = default;

    Vec3 position;
    Vec3 colour;
    bool spotlight = false;
    Vec3 target;
    float hotspot = 0;
    float falloff = 0;
};
