// Internal to src/export: the choice of a form and the writing of one entry
// in it, shared by the export jobs and the single-entry export.
#pragma once

#include "export/export_files.h"
#include "export/export_jobs.h"
#include "export/gltf_writer.h"
#include "export/mtl_writer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The form a kind is written in under ExportForms.
enum class ExportForm { Raw, Interpreted, Wav, Png, Glb, Gltf, ObjMtl };

ExportForm Export_FormOf(ResourceKind kind, const ExportForms &forms);

// Whether a texture resource can have a PNG form, known before a file is
// made: Ok, NotOffered (empty) or PngTooShort. Whether it decodes is seen
// while writing, before any byte.
ExportResult Export_CheckPng(std::span<const uint8_t> resource);

// Textures of an OBJ's materials: file name in the textures folder, PNG bytes.
using ExportPngFiles = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

// The OBJ+MTL companions in `folder`: the PNGs in textures/ (made when
// missing, never through a link; existing files kept unless `overwrite`),
// then the materials merged into dkexport.mtl. CompanionFailed names the file.
ExportStatus Export_WriteMtlBeside(const std::string &folder, const std::vector<MtlMaterial> &mtl,
                                   const ExportPngFiles &pngs, bool overwrite);

// ---- glTF files (export_gltf.cpp) ----

// The binary form to an open file: WriteFailed when a write failed,
// GltfFailed (detail) when the writer refused the model.
ExportStatus Export_WriteGlb(FILE *file, const Model &model, std::span<const GltfMaterialInput> materials);

// A .gltf's companions written under temporary names, waiting for theirs.
struct ExportGltfFiles {
    explicit ExportGltfFiles(int tempDirFd) : files(tempDirFd) {}
    std::string document;  // the .gltf's JSON before its files are named
    bool hasBin = false;
    size_t pngs = 0;
    BaseFileSet files;  // the .bin (when hasBin), then the PNGs; the .gltf joins them when named
};

// Makes the model's separate form and writes its .bin and PNGs under
// temporary names in `tempDirFd`, so that the big bytes are not held while
// the files wait for their names.
ExportStatus Export_PrepareGltf(int tempDirFd, const Model &model, std::span<const GltfMaterialInput> materials,
                                std::unique_ptr<ExportGltfFiles> &out);

// Names the companions STEM.bin and STEM_N.png beside `leaf` of `dirFd` —
// where such a name is taken (`claim` refuses it: another output of the
// run; or the folder holds what may not be replaced) it gets "_NNNN" from
// the record number `index` — writes the .gltf naming them, and places them
// all, the .gltf last. When a file cannot be written nothing new is left and
// what was there stays.
ExportStatus Export_PlaceGltf(ExportGltfFiles &files, int dirFd, const std::string &leaf, bool replace,
                              int32_t index, const std::function<bool(const std::string &)> &claim);
