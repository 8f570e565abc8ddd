// Shared by the importers' files; no other folder includes it.
#pragma once

#include "import/import.h"

#include <array>
#include <cstdlib>
#include <functional>
#include <memory>

inline ImportResult Import_Refuse(std::string message)
{
    ImportResult result;
    result.message = std::move(message);
    return result;
}

inline void Import_PutU32LE(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// A texture resource of `dataBytes` of level data after its header: the
// replaced texture's header when `oldTexture` holds one, else "SYT" and zeros,
// with the four fields set. The level data is left for the caller to fill.
std::vector<uint8_t> Import_TextureShell(std::span<const uint8_t> oldTexture, uint32_t width, uint32_t height,
                                         uint32_t mipCount, uint32_t format, size_t dataBytes);

// The format code of the texture being replaced; false when `oldTexture` holds
// no whole texture header (it is then no texture to keep anything of).
bool Import_OldFormat(std::span<const uint8_t> oldTexture, uint32_t &format);

// Runs work(i) for every i below count on up to `threads` threads (0: one per
// processor), each taking the next index as it finishes one.
void Import_ParallelFor(size_t count, int threads, const std::function<void(size_t)> &work);

// Encodes the 16 RGBA pixels of a block, those whose bit is set in `mask`
// (bit i for pixel i, row by row), into the DXT block at `out`; `flags`
// names libsquish's DXT1, DXT3 or DXT5.
void Import_EncodeBlock(const uint8_t pixels[64], int mask, int flags, bool clusterFit, uint8_t *out);

// ---- image files (import_decode.cpp) ----

enum class ImageForm { Png, Jpeg, Tga, Bmp };

struct ImageHeader {
    ImageForm form = ImageForm::Png;
    uint32_t width = 0, height = 0;
};

// A decoded picture: 8-bit RGBA, rows top-down, in memory of malloc.
struct ImportImage {
    uint32_t width = 0, height = 0;
    std::unique_ptr<uint8_t, decltype(&free)> rgba{nullptr, &free};
    size_t Bytes() const { return static_cast<size_t>(width) * height * 4; }
};

// The form and sides of an image file from its header, with no pixel memory
// taken; false with `why` when it is no PNG, JPEG, TGA or BMP this reads, or
// when the file is too short for the pixels its header declares.
bool Import_ReadImageHeader(std::span<const uint8_t> file, ImageHeader &header, std::string &why);

// The pixels of a file whose header Import_ReadImageHeader took; false with
// `why` (and `image` empty) when they cannot be decoded whole.
bool Import_DecodeImage(std::span<const uint8_t> file, const ImageHeader &header, ImportImage &image,
                        std::string &why);

// The two kinds of texture file.
ImportResult Import_ImageTexture(std::span<const uint8_t> file, std::span<const uint8_t> oldTexture,
                                 const TextureImportOptions &options);
ImportResult Import_DdsTexture(std::span<const uint8_t> file, std::span<const uint8_t> oldTexture);

// ---- model files (import_obj.cpp, import_gltf.cpp, import_model.cpp) ----

// A model file's triangles as the geometry import reads them: pools of
// values and corners that point into them (-1: the corner gives none), in
// parts cut wherever the object, group or material changes.
struct MeshCorner {
    int32_t position = -1, uv = -1, normal = -1;
};

struct MeshPart {
    std::string group;     // an OBJ's last "g" name; empty in glTF
    std::string material;  // an OBJ's usemtl, a glTF primitive's material name
    int64_t triangles = 0; // every triangle of the part, also those past the corner limit
    std::vector<MeshCorner> corners;  // three per triangle, while the file stays within the limit
};

struct MeshFile {
    std::vector<std::array<float, 3>> positions, normals;
    std::vector<std::array<float, 2>> uvs;
    std::vector<MeshPart> parts;
    bool cut = false;  // triangles past the corner limit were counted, not kept
};

// Reads the triangles of an OBJ text; corners past `cornerLimit` are only
// counted. False with the reason (led by the line number) in `error`.
bool Import_ReadObj(std::span<const uint8_t> file, int64_t cornerLimit, MeshFile &out, std::string &error);

// The same of a .gltf (JSON) or .glb file: the triangle primitives of the
// default scene's meshes in node order, moved by their nodes' transforms.
bool Import_ReadGltf(std::span<const uint8_t> file, const std::string &folder, int64_t cornerLimit, MeshFile &out,
                     std::string &error);
