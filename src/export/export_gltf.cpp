// The files of a model's glTF as an export writes them: the .glb as every
// single file, the .gltf with its .bin and PNGs as one set, whole or not at
// all, every companion under a name that nothing else holds.
#include "export/export_local.h"

#include "export/export_files.h"

#include <cerrno>
#include <cstring>

namespace {

// Companions named as the .gltf may be renamed this many times before the export gives up.
constexpr int kNameRounds = 100;

// `wanted` as it is, or, where that name is taken (`claim` refuses it, or
// the folder holds something there that may not be replaced: with
// `replace`, a file this user may write; without, nothing), with "_NNNN"
// (record number `index`, then rounds) before its extension. "" when no name is free.
std::string CompanionName(int dirFd, const std::string &wanted, bool replace, int32_t index,
                          const std::function<bool(const std::string &)> &claim)
{
    for (int round = -1; round < kNameRounds; ++round) {
        std::vector<std::string> name{wanted};
        if (round >= 0)
            Export_AddRecordSuffix(name, index, round);
        const SysKind kind = Sys_KindAt(dirFd, name[0], false);
        const bool mayWrite =
            kind == SysKind::Missing || (replace && kind == SysKind::File && Sys_MayWriteAt(dirFd, name[0]));
        if (mayWrite && claim(name[0]))
            return name[0];
    }
    return {};
}

}  // namespace

ExportStatus Export_WriteGlb(FILE *file, const Model &model, std::span<const GltfMaterialInput> materials)
{
    std::string error;
    if (Gltf_WriteBinary(file, model, materials, &error))
        return ExportResult::Ok;
    if (ferror(file))
        return ExportResult::WriteFailed;
    return {ExportResult::GltfFailed, error};
}

ExportStatus Export_PrepareGltf(int tempDirFd, const Model &model, std::span<const GltfMaterialInput> materials,
                                std::unique_ptr<ExportGltfFiles> &out)
{
    GltfSeparate separate;
    std::string error;
    if (!Gltf_MakeSeparate(model, materials, separate, &error))
        return {ExportResult::GltfFailed, error};
    out = std::make_unique<ExportGltfFiles>(tempDirFd);
    out->document = std::move(separate.document);
    out->hasBin = !separate.bin.empty();
    out->pngs = separate.pngs.size();
    if (out->hasBin && !out->files.Add(separate.bin))
        return ExportResult::WriteFailed;
    for (const std::vector<uint8_t> &png : separate.pngs)
        if (!out->files.Add(png))
            return ExportResult::WriteFailed;
    return ExportResult::Ok;
}

ExportStatus Export_PlaceGltf(ExportGltfFiles &files, int dirFd, const std::string &leaf, bool replace,
                              int32_t index, const std::function<bool(const std::string &)> &claim)
{
    std::string stem = leaf;
    if (const size_t dot = stem.find_last_of('.'); dot != std::string::npos && dot > 0)
        stem.resize(dot);
    std::vector<std::string> leaves;
    for (size_t i = 0; i < (files.hasBin ? 1 : 0) + files.pngs; ++i) {
        const bool bin = files.hasBin && i == 0;
        const std::string wanted = stem + (bin ? ".bin" : "_" + std::to_string(i - (files.hasBin ? 1 : 0)) + ".png");
        leaves.push_back(CompanionName(dirFd, wanted, replace, index, claim));
        if (leaves.back().empty())
            return {ExportResult::GltfFailed, "No free name for " + wanted + "."};
    }
    const std::vector<std::string> pngNames(leaves.begin() + (files.hasBin ? 1 : 0), leaves.end());
    const std::string text = Gltf_SeparateText(files.document, files.hasBin ? leaves[0] : "", pngNames);
    if (!files.files.Add(std::span(reinterpret_cast<const uint8_t *>(text.data()), text.size())))
        return ExportResult::WriteFailed;
    leaves.push_back(leaf);
    std::string failed;
    if (!files.files.Place(dirFd, leaves, replace, failed))
        return {ExportResult::GltfFailed, "Could not write " + failed + ": " + strerror(errno)};
    return ExportResult::Ok;
}
