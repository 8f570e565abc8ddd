// One entry to one file of the user's choice: the refusals told before a
// file is named, then the form's writer, whole or not at all.
#include "export/export_local.h"

#include "base/platform.h"
#include "export/export_materials.h"
#include "model/model.h"

#include <memory>
#include <set>

namespace {

using ModelPtr = std::unique_ptr<Model, void (*)(Model *)>;

// The model a request writes: its own, or one parsed from its bytes into `parsed`.
const Model *RequestModel(const ExportEntryRequest &request, ModelPtr &parsed)
{
    const ExportForms &forms = request.forms;
    if (request.kind != KindModel || request.dump || !(forms.interpreted || forms.glb || forms.gltf || forms.objMtl))
        return nullptr;
    if (request.model)
        return request.model;
    parsed.reset(Model_Parse(request.resource.data(), request.resource.size()));
    return parsed.get();
}

ExportStatus Check(const ExportEntryRequest &request, const Model *model)
{
    const ExportForms &forms = request.forms;
    if (request.dump)
        return ExportResult::Ok;
    if (forms.png && request.kind != KindTexture)
        return ExportResult::NotTexture;
    if ((forms.glb || forms.gltf || forms.objMtl) && request.kind != KindModel)
        return ExportResult::NotModel;
    if (forms.wav && request.kind != KindOggVorbis)
        return ExportResult::NotSound;
    if (forms.png)
        return Export_CheckPng(request.resource);
    if (forms.interpreted || forms.glb || forms.gltf || forms.objMtl)
        return Export_CheckInterpreted(request.kind, request.resource, model);
    return ExportResult::Ok;
}

// Runs `write` on standard output ("-") or on a file that replaces `path` once complete.
ExportStatus ToPath(const std::string &path, const char *mode, const std::function<ExportStatus(FILE *)> &write)
{
    if (path == "-")
        return write(stdout);
    ExportStatus status;
    const ExportResult result = Export_ToPath(path, mode, [&](FILE *file) {
        status = write(file);
        return status.result;
    });
    if (result != status.result)
        status = ExportStatus(result);
    return status;
}

}  // namespace

ExportStatus Export_WriteGltf(const std::string &path, const Model &model, std::span<const GltfMaterialInput> materials,
                              GltfForm form)
{
    if (form == GltfForm::Binary)
        return ToPath(path, "wb", [&](FILE *file) { return Export_WriteGlb(file, model, materials); });
    ExportTarget target;
    if (const ExportResult opened = ExportFile_OpenTarget(path, target); opened != ExportResult::Ok)
        return opened;
    if (target.kind == SysKind::Other)
        return ExportResult::CannotOpen;  // a device or pipe has no folder for the .bin and images
    std::unique_ptr<ExportGltfFiles> files;
    if (ExportStatus prepared = Export_PrepareGltf(target.dirFd, model, materials, files); !prepared.Ok())
        return prepared;
    // The user chose to replace the .gltf and what it names; its companions
    // only keep clear of it and of each other.
    std::set<std::string> names{target.leaf};
    return Export_PlaceGltf(*files, target.dirFd, target.leaf, true, 0,
                            [&](const std::string &name) { return names.insert(name).second; });
}

ExportStatus Export_CheckEntry(const ExportEntryRequest &request)
{
    ModelPtr parsed(nullptr, Model_Free);
    return Check(request, RequestModel(request, parsed));
}

ExportStatus Export_WriteEntry(const ExportEntryRequest &request, const std::string &path)
{
    ModelPtr parsed(nullptr, Model_Free);
    const Model *model = RequestModel(request, parsed);
    if (ExportStatus refused = Check(request, model); !refused.Ok())
        return refused;
    if (request.dump) {
        return ToPath(path, "w", [&](FILE *file) {
            return Export_WriteDump(file, request.resource, *request.dump) ? ExportResult::Ok
                                                                           : ExportResult::WriteFailed;
        });
    }

    const ExportForm form = Export_FormOf(request.kind, request.forms);
    ExportStatus status;
    if (form == ExportForm::Glb || form == ExportForm::Gltf) {
        if (path == "-")
            return ExportResult::NoStandardOutput;
        ExportMaterialSource source(request.archive, request.global);
        ExportGltfMaterials materials;
        Export_GltfMaterials(Export_ResolveMaterials(*model, source), materials);
        status = Export_WriteGltf(path, *model, materials.inputs,
                                  form == ExportForm::Glb ? GltfForm::Binary : GltfForm::Separate);
        if (!status.Ok())
            return status;
    } else {
        // The material library and textures first: when they fail, no .obj
        // names what is not there.
        if (form == ExportForm::ObjMtl && path != "-") {
            ExportMaterialSource source(request.archive, request.global);
            std::vector<MtlMaterial> mtl;
            ExportPngFiles pngs;
            Export_MtlMaterials(Export_ResolveMaterials(*model, source), mtl, pngs);
            std::string folder = Sys_ParentFolder(path);
            if (folder.empty())
                folder = ".";
            if (ExportStatus companions = Export_WriteMtlBeside(folder, mtl, pngs, request.overwriteTextures);
                !companions.Ok())
                return companions;
        }
        status = ToPath(path, "wb", [&](FILE *file) {
            return Export_WriteForm(file, request.kind, request.resource, request.forms, model);
        });
        if (!status.Ok())
            return status;
    }
    if (model)
        status.surfacesDropped = model->surfacesDropped;
    return status;
}
