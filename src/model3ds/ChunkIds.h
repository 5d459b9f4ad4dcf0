#pragma once
// Chunk identifiers of the 3D Studio file format, shared by the reader and the writer.

#include <cstdint>

namespace chunk3ds {

constexpr uint16_t ColourFloat = 0x0010;
constexpr uint16_t Colour24 = 0x0011;
constexpr uint16_t Colour24Gamma = 0x0012;
constexpr uint16_t ColourFloatGamma = 0x0013;
constexpr uint16_t PercentInt = 0x0030;
constexpr uint16_t PercentFloat = 0x0031;

constexpr uint16_t Main = 0x4D4D;
constexpr uint16_t Version = 0x0002;
constexpr uint16_t Editor = 0x3D3D;
constexpr uint16_t MeshVersion = 0x3D3E;
constexpr uint16_t Keyframer = 0xB000;

constexpr uint16_t Object = 0x4000;
constexpr uint16_t TriangleMesh = 0x4100;
constexpr uint16_t VertexList = 0x4110;
constexpr uint16_t FaceList = 0x4120;
constexpr uint16_t FaceMaterial = 0x4130;
constexpr uint16_t TexCoordList = 0x4140;
constexpr uint16_t SmoothingGroups = 0x4150;
constexpr uint16_t LocalAxes = 0x4160;
constexpr uint16_t Light = 0x4600;
constexpr uint16_t Spotlight = 0x4610;
constexpr uint16_t Camera = 0x4700;

constexpr uint16_t Material = 0xAFFF;
constexpr uint16_t MaterialName = 0xA000;
constexpr uint16_t MaterialAmbient = 0xA010;
constexpr uint16_t MaterialDiffuse = 0xA020;
constexpr uint16_t MaterialSpecular = 0xA030;
constexpr uint16_t MaterialShininess = 0xA040;
constexpr uint16_t MaterialTransparency = 0xA050;
constexpr uint16_t MaterialWireFrame = 0xA085;
constexpr uint16_t MaterialShading = 0xA100;
constexpr uint16_t TextureMap1 = 0xA200;
constexpr uint16_t SpecularMap = 0xA204;
constexpr uint16_t OpacityMap = 0xA210;
constexpr uint16_t ReflectionMap = 0xA220;
constexpr uint16_t BumpMap = 0xA230;
constexpr uint16_t TextureMap2 = 0xA33A;
constexpr uint16_t MapFileName = 0xA300;
constexpr uint16_t MapUScale = 0xA354;
constexpr uint16_t MapVScale = 0xA356;
constexpr uint16_t MapUOffset = 0xA358;
constexpr uint16_t MapVOffset = 0xA35A;
constexpr uint16_t MapAngle = 0xA35C;

} // namespace chunk3ds
