// The materials of a model being exported, found the way the view finds them:
// the material named by each surface ("stone.mat" looked up as "stone"), then
// its diffuse, normal and specular textures, each first in the model's own
// archive and then in GLOBAL.PAK beside it; a missing diffuse map falls back
// to "__missingtexture". Nothing here is shown: the bytes found are handed to
// the glTF and OBJ+MTL writers.
#pragma once

#include "export/gltf_writer.h"
#include "export/mtl_writer.h"
#include "lookup/lookup.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct Model;

// One texture a material names: the entry name it was found under (empty:
// none found) and its resource bytes.
struct ExportMaterialMap {
    std::string name;
    std::vector<uint8_t> bytes;
    uint32_t wrap[2] = {kGlClamp, kGlClamp};  // s, t
};

struct ExportSurfaceMaterial {
    std::string materialName;  // as the surface gives it
    bool found = false;        // the material itself was found
    Material material;         // its record (defaults when not found)
    ExportMaterialMap diffuse, normal, specular;
};

// Lookups by the view's rule: in an archive, then in GLOBAL.PAK of its
// folder. Not shared between threads (several sources may share `global`).
class ExportMaterialSource {
public:
    // `archive` may be null (no lookups succeed) and must outlive the source.
    // `global` (may be null: the source keeps its own) is the GLOBAL.PAK to
    // search, loaded on first need with `globalLock` (may be null) held.
    explicit ExportMaterialSource(const PakArchive *archive, PakArchive *global = nullptr,
                                  std::mutex *globalLock = nullptr);
    ExportMaterialSource(const ExportMaterialSource &) = delete;
    ExportMaterialSource &operator=(const ExportMaterialSource &) = delete;

    // The material `materialName` names, with its maps.
    ExportSurfaceMaterial Resolve(const char *materialName);

private:
    PakArchive ownGlobal_;
    LookupArchives archives_;
};

// One entry per surface of `model`; surfaces that share a material share its lookup.
std::vector<ExportSurfaceMaterial> Export_ResolveMaterials(const Model &model, ExportMaterialSource &source);

// The glTF writer's inputs for `materials`, which they keep (and point into):
// every distinct texture (by entry name) given once, still undecoded.
struct ExportGltfMaterials {
    std::vector<ExportSurfaceMaterial> materials;
    std::vector<GltfMaterialInput> inputs;
};
void Export_GltfMaterials(std::vector<ExportSurfaceMaterial> materials, ExportGltfMaterials &out);

// The MTL entries for `materials` and the PNG files they name (file name in
// the textures folder, PNG bytes), each texture once. A map that does not
// decode is named in no material and written as no file.
void Export_MtlMaterials(const std::vector<ExportSurfaceMaterial> &materials, std::vector<MtlMaterial> &mtl,
                         std::vector<std::pair<std::string, std::vector<uint8_t>>> &pngs);
