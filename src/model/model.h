// Models: the "EIFF"/"MODL" container turned into surfaces by a heuristic
// parse, and the WaveFront OBJ writer. Plain C++; the model in the view
// (materials, preparation, surface list, drawing) is src/scene.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

struct Material;

constexpr int32_t kModelMaxSurfaces = 1024;  // descriptors past this many are ignored
constexpr size_t kModelNameSize = 64;        // materialName, terminator included

// One vertex as drawn and exported: 14 floats, 56 bytes, read with that stride.
struct ModelVertex {
    float u, v;
    float position[3];
    float normal[3];
    float tangent[3];
    float bitangent[3];
};
static_assert(sizeof(ModelVertex) == 56, "ModelVertex is read with a 56-byte stride");

struct ModelSurface {
    char materialName[kModelNameSize] = {};  // from the name pool, cut to 63 characters
    int32_t hidden = 0;                      // non-zero: not drawn (the surface list's selection)
    int32_t elementCount = 0;        // triangles of a list, indices of a strip
    int32_t indicesPerElement = 3;   // 3 triangle list, 1 triangle strip
    std::vector<uint16_t> indices;   // elementCount x indicesPerElement, each below vertexCount
    int32_t vertexCount = 0;
    std::vector<ModelVertex> vertices;
    Material *material = nullptr;    // set when the model is prepared; null after parsing
    bool materialShared = false;     // material belongs to an earlier surface
};

struct Model {
    // Descriptor order; a surface that could not be converted leaves no gap.
    // At most kModelMaxSurfaces; the count is surfaces.size().
    std::vector<ModelSurface> surfaces;
};

// Parses a model resource (the expanded entry bytes). Null when no surface
// could be built. Never reads outside [bytes, bytes + length).
Model *Model_Parse(const uint8_t *bytes, size_t length);

// Releases the model, and each surface's material unless it is shared.
void Model_Free(Model *model);

// Writes the model as WaveFront OBJ text (LF line ends); a null model writes
// nothing. False when a write failed (the text is then incomplete).
bool Model_WriteObj(FILE *file, const Model *model);
