// Internal to src/export: the choice of a form and the writing of one entry
// in it, shared by the export jobs and the single-entry export.
#pragma once

#include "export/export_jobs.h"
#include "export/mtl_writer.h"

#include <cstdint>
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
