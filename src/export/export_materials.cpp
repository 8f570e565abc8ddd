// The materials of an exported model by the view's lookup rule, so that an
// export shows the textures the viewer draws.
#include "export/export_materials.h"

#include "export/png_writer.h"
#include "model/model.h"
#include "texture/texture_decode.h"

#include <cstring>
#include <map>

ExportMaterialSource::ExportMaterialSource(const PakArchive *archive, PakArchive *global, std::mutex *globalLock)
{
    archives_.main = archive;
    archives_.global = global ? global : &ownGlobal_;
    archives_.globalLock = global ? globalLock : nullptr;
}

ExportSurfaceMaterial ExportMaterialSource::Resolve(const char *materialName)
{
    ExportSurfaceMaterial out;
    out.materialName = materialName ? materialName : "";
    std::vector<uint8_t> bytes;
    if (!Lookup_MaterialBytes(archives_, materialName, bytes))
        return out;
    out.found = true;
    const MaterialText parsed =
        Mat_ParseText(reinterpret_cast<const char *>(bytes.data()), bytes.size(), out.materialName.c_str());
    out.material = parsed.material;
    ExportMaterialMap *maps[] = {&out.diffuse, &out.normal, &out.specular};
    Lookup_MaterialTextures(archives_, parsed,
                            [&](int index, const std::string &name, std::vector<uint8_t> &found, const uint32_t wrap[2]) {
                                ExportMaterialMap &map = *maps[index];
                                map.name = name;
                                map.bytes.swap(found);
                                map.wrap[0] = wrap[0];
                                map.wrap[1] = wrap[1];
                            });
    return out;
}

std::vector<ExportSurfaceMaterial> Export_ResolveMaterials(const Model &model, ExportMaterialSource &source)
{
    std::vector<ExportSurfaceMaterial> out;
    out.reserve(model.surfaces.size());
    for (size_t i = 0; i < model.surfaces.size(); ++i) {
        const ModelSurface &surface = model.surfaces[i];
        const std::string name(surface.materialName, strnlen(surface.materialName, sizeof surface.materialName));
        if (const int shared = Lookup_SharedSurface(model, i); shared >= 0) {
            out.push_back(out[static_cast<size_t>(shared)]);
            out.back().materialName = name;  // the OBJ's usemtl names it as the surface does
            continue;
        }
        out.push_back(source.Resolve(name.c_str()));
    }
    return out;
}

void Export_GltfMaterials(std::vector<ExportSurfaceMaterial> materials, ExportGltfMaterials &out)
{
    out.materials = std::move(materials);
    std::map<std::string, const std::vector<uint8_t> *> given;  // by entry name
    auto texture = [&](const ExportMaterialMap &map) -> const std::vector<uint8_t> * {
        if (map.name.empty())
            return nullptr;
        return given.emplace(map.name, &map.bytes).first->second;
    };
    out.inputs.clear();
    for (const ExportSurfaceMaterial &m : out.materials) {
        GltfMaterialInput input;
        input.name = m.materialName;
        input.baseColour = texture(m.diffuse);
        input.normal = texture(m.normal);
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
