// glTF 2.0 export of a parsed model: one mesh, one primitive per surface that
// has triangles, its textures as PNG images. Either one .glb file holding
// everything, or a .gltf file with a .bin file and PNG files beside it.
#pragma once

#include "model/model.h"
#include "texture/texture_decode.h"

#include <cstdint>
#include <span>
#include <string>

// What a surface's material contributes: the decoded maps, their wrap modes
// (GL enumerants: GL_CLAMP 0x2900, GL_REPEAT 0x2901, GL_CLAMP_TO_BORDER
// 0x812D; glTF has no border, so both clamps clamp to the edge) and how the
// material treats alpha.
struct GltfMaterialInput {
    std::string name;                          // empty: the surface's materialName
    const TextureImage *baseColour = nullptr;  // the diffuse map, or none
    const TextureImage *normal = nullptr;      // the normal map, or none
    uint32_t wrapS = 0x2900, wrapT = 0x2900;   // the diffuse map's
    uint32_t normalWrapS = 0x2900, normalWrapT = 0x2900;
    float alphaCutoff = 0.0f;                  // alpha-test reference (0..1); 0: no test
    bool blended = false;                      // drawn with blending: alpha mode BLEND
};

enum class GltfForm {
    Binary,    // path.glb: JSON, geometry and PNG images in one file
    Separate,  // path.gltf, plus STEM.bin and STEM_N.png in its folder (STEM: the file name less its extension)
};

// Writes `model` to `path` in `form`. `materials` is empty (every surface gets
// a plain material of its name) or holds one entry per surface; surfaces with
// equal entries share a material, and a TextureImage given more than once is
// stored once.
//
// Geometry as the OBJ export has it: positions, normals and texture
// coordinates as stored (glTF's v runs down the image from its first row, as
// the game's does, so no flip), triangle strips as lists of the OBJ's
// triangles in the OBJ's corner order (degenerate ones kept). Normals are
// scaled to unit length, a zero one becomes (0, 0, 1), and coordinates that
// are not finite become 0. Materials are two-sided: strips leave every second
// triangle wound the other way, and a glTF viewer would otherwise hide them.
//
// Existing files are replaced. False, with a message in `*error` (may be
// null), when `materials` has the wrong size, an index lies outside its
// surface's vertices, a texture cannot be encoded, or a file cannot be
// written (files already written are then left as they are).
bool Gltf_Write(const std::string &path, const Model &model, std::span<const GltfMaterialInput> materials,
                GltfForm form, std::string *error);
