// glTF 2.0 export of a parsed model: one mesh, one primitive per surface that
// has triangles, its textures as PNG images. Either one .glb file holding
// everything, or a .gltf file with a .bin file and PNG files beside it.
#pragma once

#include "model/model.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

// What a surface's material contributes: its maps as texture resources
// (decoded, largest level, only while their PNG is made, so that a model of
// many large textures holds one decoded picture at a time), their wrap modes
// (GL enumerants: GL_CLAMP 0x2900, GL_REPEAT 0x2901, GL_CLAMP_TO_BORDER
// 0x812D; glTF has no border, so both clamps clamp to the edge) and how the
// material treats alpha. A map that does not decode is left out.
struct GltfMaterialInput {
    std::string name;                                  // empty: the surface's materialName
    const std::vector<uint8_t> *baseColour = nullptr;  // the diffuse map, or none
    const std::vector<uint8_t> *normal = nullptr;      // the normal map, or none
    uint32_t wrapS = 0x2900, wrapT = 0x2900;           // the diffuse map's
    uint32_t normalWrapS = 0x2900, normalWrapT = 0x2900;
    float alphaCutoff = 0.0f;                          // alpha-test reference (0..1); 0: no test
    bool blended = false;                              // drawn with blending: alpha mode BLEND
};

enum class GltfForm {
    Binary,    // path.glb: JSON, geometry and PNG images in one file
    Separate,  // path.gltf, plus STEM.bin and STEM_N.png in its folder (STEM: the file name less its extension)
};

// The glTF document of `model`. `materials` is empty (every surface gets a
// plain material of its name) or holds one entry per surface; surfaces with
// equal entries share a material, and a texture given more than once is
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
// Both writers fail, with a message in `*error` (may be null), when
// `materials` has the wrong size, an index lies outside its surface's
// vertices or a texture cannot be encoded.

// Writes the binary form to the open `file`; also false when a write failed
// (ferror tells it apart; the file then holds part of the document).
bool Gltf_WriteBinary(FILE *file, const Model &model, std::span<const GltfMaterialInput> materials,
                      std::string *error);

// The separate form before its files are named: the bytes of the buffer and
// of each image, and the document that will name them.
struct GltfSeparate {
    std::vector<uint8_t> bin;                // the buffer; empty when the model has no triangles
    std::vector<std::vector<uint8_t>> pngs;  // image N
    std::string document;                    // JSON whose buffer and images have no URI yet
};
bool Gltf_MakeSeparate(const Model &model, std::span<const GltfMaterialInput> materials, GltfSeparate &out,
                       std::string *error);

// The .gltf text of `document`, naming the buffer `binName` and image N
// `pngNames[N]` (file names in the .gltf's folder).
std::string Gltf_SeparateText(const std::string &document, const std::string &binName,
                              const std::vector<std::string> &pngNames);
