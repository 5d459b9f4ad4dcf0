#pragma once
// Models read from .3ds files through the importer: the first mesh of a file as a display list or
// as buffer objects cut into runs for drawing in narrow strips.

#include "platform/ShowFiles.h"
#include "render/GL.h"
#include "render/VecMath.h"

#include <string>
#include <vector>

// Flags of ModelDisplayList: which of the model's per-vertex arrays the list takes.
enum ModelArrays : unsigned {
    ModelNormals = 1,
    ModelTexCoords = 2,
    ModelBinormalsAsColours = 4,
};

// The first mesh of a .3ds file compiled into a display list of vertex arrays. The list lives as
// long as the GL context. Raises "No mesh in <path>" when the file holds no mesh (or cannot be
// read). No client array is left enabled.
class ModelDisplayList {
public:
    GLuint list = 0;

    ModelDisplayList(const ShowFile& file, unsigned flags);
    void draw() const { glCallList(list); }
};

// The first mesh of a .3ds file, positions and normals, in buffer objects and cut into runs of
// triangles in the file's order, each with a bounding sphere. A drawing confined to a narrow band
// of window columns (a scissor strip) sends only the runs that can reach the band: the triangles
// left out could not have put a fragment in it. Draws what ModelDisplayList draws with
// ModelNormals, in the same order, and like that list leaves the current normal alone. Raises as
// ModelDisplayList does.
class BandedModel {
public:
    explicit BandedModel(const ShowFile& file);
    ~BandedModel();
    BandedModel(const BandedModel&) = delete;
    BandedModel& operator=(const BandedModel&) = delete;

    // Draws the runs that may reach window columns left to right - 1 under the current matrices
    // and viewport.
    void drawColumns(int left, int right) const;

private:
    struct Run {
        Vec3 centre;
        float radius = 0;
        GLsizei firstIndex = 0;
        GLsizei indices = 0;
    };

    std::vector<Run> runs_;
    bool cullable_ = true; // false when a vertex has w other than 1: every run is drawn
    GLuint vertexBuffer_ = 0;
    GLuint indexBuffer_ = 0;
    size_t normalsOffset_ = 0;
};
