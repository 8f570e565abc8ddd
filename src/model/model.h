// Models: the "EIFF"/"MODL" container turned into surfaces by a heuristic
// parse, and the WaveFront OBJ writer. Plain C++; the model in the view
// (materials, preparation, surface list, drawing) is src/scene.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
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

// A surface's vertices: size() of them from data() on, read with the 56-byte
// stride. Surfaces that read the same vertex stream of the resource hold one
// decoded copy of it between them, each its own stretch of it.
class ModelVertexArray {
public:
    ModelVertexArray() = default;
    // Vertices of its own.
    explicit ModelVertexArray(std::vector<ModelVertex> vertices)
        : stream_(std::make_shared<const std::vector<ModelVertex>>(std::move(vertices))), count_(stream_->size())
    {
    }
    // `count` vertices of a shared stream from `first` on.
    ModelVertexArray(std::shared_ptr<const std::vector<ModelVertex>> stream, size_t first, size_t count)
        : stream_(std::move(stream)), first_(first), count_(count)
    {
    }

    const ModelVertex *data() const { return stream_ ? stream_->data() + first_ : nullptr; }
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    const ModelVertex *begin() const { return data(); }
    const ModelVertex *end() const { return data() + count_; }
    const ModelVertex &operator[](size_t k) const { return data()[k]; }
    const ModelVertex &front() const { return data()[0]; }
    const ModelVertex &back() const { return data()[count_ - 1]; }

private:
    std::shared_ptr<const std::vector<ModelVertex>> stream_;
    size_t first_ = 0, count_ = 0;
};

struct ModelSurface {
    char materialName[kModelNameSize] = {};  // from the name pool, cut to 63 characters
    int32_t hidden = 0;                      // non-zero: not drawn (the surface list's selection)
    int32_t elementCount = 0;        // triangles of a list, indices of a strip
    int32_t indicesPerElement = 3;   // 3 triangle list, 1 triangle strip
    std::vector<uint16_t> indices;   // elementCount x indicesPerElement, each below vertexCount
    int32_t vertexCount = 0;
    ModelVertexArray vertices;       // vertexCount of them
    Material *material = nullptr;    // set when the model is prepared; null after parsing
    bool materialShared = false;     // material belongs to an earlier surface
};

struct Model {
    // Descriptor order; a surface that could not be converted leaves no gap.
    // At most kModelMaxSurfaces; the count is surfaces.size().
    std::vector<ModelSurface> surfaces;
    // Surfaces of the resource left out because reading them would have
    // taken more memory than a resource of its size can need: only a corrupt
    // or hostile model has any. The exports say so.
    int32_t surfacesDropped = 0;
};

// Where the parse read one surface's vertices, for a writer that puts new
// values back in their place: vertex k's position (three f32, the decoded
// position divided by positionScale) at resource offset positions + 24 k, its
// normal (three direction bytes) 12 bytes after it, and its texture
// coordinates (u and v, f32) at texCoords + texCoordStride x k.
constexpr int64_t kModelPositionStride = 24;
constexpr int64_t kModelNormalOffset = 12;
struct ModelSurfaceLayout {
    int64_t positions = 0;
    int64_t texCoords = 0;
    int64_t texCoordStride = 0;
    float positionScale = 1.0f;  // 100 for surfaces read plain, 1 for rebased ones
};

// Parses a model resource (the expanded entry bytes). Null when no surface
// could be built. Never reads outside [bytes, bytes + length). With `layout`,
// also where each of the model's surfaces (in the same order) read its vertices.
Model *Model_Parse(const uint8_t *bytes, size_t length, std::vector<ModelSurfaceLayout> *layout = nullptr);

// Releases the model, and each surface's material unless it is shared.
void Model_Free(Model *model);

// A surface's triangles as corner indices: a list as stored (a last partial
// triangle dropped), a strip as its triangles (j-2, j-1, j) in that corner
// order, degenerate ones kept. The one rule of every model writer.
std::vector<uint32_t> Model_SurfaceCorners(const ModelSurface &surface);
