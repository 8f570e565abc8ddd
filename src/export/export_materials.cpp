// The view's lookup rule for materials and textures, without the view: the
// model's archive first, then GLOBAL.PAK beside it (never GLOBAL.PAK for
// itself), so an export shows the textures the viewer draws.
#include "export/export_materials.h"

#include "export/png_writer.h"
#include "model/model.h"
#include "texture/texture_decode.h"

#include <cstring>
#include <map>
#include <strings.h>

bool ExportMaterialSource::Find(const std::string &name, ResourceKind kind, std::vector<uint8_t> &bytes)
{
    if (name.empty() || !archive_ || !archive_->hasIndex)
        return false;
    if (Pak_LoadEntryByName(name, kind, *archive_, bytes))
        return true;
    if (strcasecmp(archive_->baseName.c_str(), "GLOBAL") == 0)
        return false;
    if (!globalTried_) {
        globalTried_ = true;
        auto global = std::make_unique<PakArchive>();
        if (Pak_OpenArchive(Pak_FindInFolder(archive_->directory, "GLOBAL.PAK"), *global) == PakOpenResult::Ok)
            global_ = std::move(global);
    }
    return global_ && Pak_LoadEntryByName(name, kind, *global_, bytes);
}

ExportSurfaceMaterial ExportMaterialSource::Resolve(const char *materialName)
{
    ExportSurfaceMaterial out;
    out.materialName = materialName ? materialName : "";
    std::vector<uint8_t> bytes;
    if (!Find(Mat_EntryName(materialName), KindMaterial, bytes) || bytes.empty())
        return out;
    out.found = true;
    const MaterialText parsed =
        Mat_ParseText(reinterpret_cast<const char *>(bytes.data()), bytes.size(), out.materialName.c_str());
    out.material = parsed.material;
    ExportMaterialMap *maps[] = {&out.diffuse, &out.normal, &out.specular};
    const auto lookups = Mat_MapLookups(parsed);
    for (size_t i = 0; i < lookups.size(); ++i) {
        const MaterialMapLookup &lookup = lookups[i];
        ExportMaterialMap &map = *maps[i];
        if (Find(lookup.name, KindTexture, map.bytes))
            map.name = lookup.name;
        else if (lookup.fallback && Find(lookup.fallback, KindTexture, map.bytes))
            map.name = lookup.fallback;
        else
            continue;
        map.wrap[0] = lookup.wrap[0];
        map.wrap[1] = lookup.wrap[1];
    }
    return out;
}

std::vector<ExportSurfaceMaterial> Export_ResolveMaterials(const Model &model, const PakArchive *archive)
{
    ExportMaterialSource source(archive);
    return Export_ResolveMaterials(model, source);
}

std::vector<ExportSurfaceMaterial> Export_ResolveMaterials(const Model &model, ExportMaterialSource &source)
{
    std::vector<ExportSurfaceMaterial> out;
    std::map<std::string, size_t> seen;  // surfaces naming one material share its lookup
    out.reserve(model.surfaces.size());
    for (const ModelSurface &surface : model.surfaces) {
        const std::string name(surface.materialName, strnlen(surface.materialName, sizeof surface.materialName));
        if (auto it = seen.find(name); it != seen.end()) {
            out.push_back(out[it->second]);
            continue;
        }
        seen.emplace(name, out.size());
        out.push_back(source.Resolve(name.c_str()));
    }
    return out;
}

void Export_GltfMaterials(const std::vector<ExportSurfaceMaterial> &materials, ExportGltfMaterials &out)
{
    std::map<std::string, const TextureImage *> decoded;  // by entry name; null: does not decode
    auto image = [&](const ExportMaterialMap &map) -> const TextureImage * {
        if (map.name.empty())
            return nullptr;
        if (auto it = decoded.find(map.name); it != decoded.end())
            return it->second;
        auto picture = std::make_unique<TextureImage>();
        const TextureImage *result = nullptr;
        if (Texture_DecodeLevel(map.bytes, 0, *picture, nullptr)) {
            result = picture.get();
            out.images.push_back(std::move(picture));
        }
        decoded.emplace(map.name, result);
        return result;
    };
    out.inputs.clear();
    for (const ExportSurfaceMaterial &m : materials) {
        GltfMaterialInput input;
        input.name = m.materialName;
        input.baseColour = image(m.diffuse);
        input.normal = image(m.normal);
        input.wrapS = m.diffuse.wrap[0];
        input.wrapT = m.diffuse.wrap[1];
        input.normalWrapS = m.normal.wrap[0];
        input.normalWrapT = m.normal.wrap[1];
        if (m.found) {
            input.blended = m.material.blendSrc != 0;
            if (!input.blended && m.material.alphaRef > 0.0f && m.material.alphaRef < 1.0f)
                input.alphaCutoff = m.material.alphaRef;
        }
        out.inputs.push_back(input);
    }
}

void Export_MtlMaterials(const std::vector<ExportSurfaceMaterial> &materials, std::vector<MtlMaterial> &mtl,
                         std::vector<std::pair<std::string, std::vector<uint8_t>>> &pngs)
{
    std::map<std::string, bool> files;  // PNG file name: whether it was encoded
    auto file = [&](const ExportMaterialMap &map) -> std::string {
        if (map.name.empty())
            return "";
        const std::string fileName = Mtl_TextureFileName(map.name);
        if (fileName.empty())
            return "";
        if (auto it = files.find(fileName); it != files.end())
            return it->second ? map.name : "";
        TextureImage picture;
        std::vector<uint8_t> png;
        const bool ok = Texture_DecodeLevel(map.bytes, 0, picture, nullptr) && Png_Encode(picture, png);
        files.emplace(fileName, ok);
        if (!ok)
            return "";
        pngs.emplace_back(fileName, std::move(png));
        return map.name;
    };
    for (const ExportSurfaceMaterial &m : materials) {
        MtlMaterial entry;
        entry.name = m.materialName;
        entry.diffuse = file(m.diffuse);
        entry.normal = file(m.normal);
        entry.specular = file(m.specular);
        mtl.push_back(std::move(entry));
    }
}
