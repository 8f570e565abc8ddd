// The selection's model in the viewer, apart from drawing: its materials and
// the hooks through which the window frees and exports it.
#include "app/viewer_state.h"
#include "model/model.h"
#include "texture/material.h"

#include <strings.h>

void Model_AttachMaterials(Model &model)
{
    std::vector<ModelSurface> &surfaces = model.surfaces;
    for (size_t i = 0; i < surfaces.size(); ++i) {
        ModelSurface &s = surfaces[i];
        s.material = nullptr;
        s.materialShared = false;
        if (!viewer.modelMaterialsEnabled || s.materialName[0] == '\0')
            continue;
        // Surfaces that name the same material share one record and one set
        // of textures; only the first of them reads the archive.
        for (size_t j = i; j-- > 0;) {
            if (surfaces[j].material && strcasecmp(surfaces[j].materialName, s.materialName) == 0) {
                s.material = surfaces[j].material;
                s.materialShared = true;
                break;
            }
        }
        if (!s.material)
            s.material = Mat_FindByName(s.materialName);
    }
}

const Model *Model_ForExport()
{
    PreviewState &preview = viewer.preview;
    if (preview.model)
        return preview.model;
    if (preview.resourceKind != KindModel || preview.CurrentResource.empty())
        return nullptr;
    // No frame has prepared the model (its preview is off, or no frame ran
    // yet): the export reads it itself. The frame that prepares it later
    // takes this one over.
    preview.model = Model_Parse(preview.CurrentResource.data(), preview.CurrentResource.size());
    return preview.model;
}

static bool WriteSelectedObj(FILE *file)
{
    return Model_WriteObj(file, Model_ForExport());
}

void Model_InstallServices()
{
    viewer.services.Model_Free = Model_Free;
    viewer.services.Model_ForExport = Model_ForExport;
    viewer.services.Model_WriteObj = WriteSelectedObj;
}
