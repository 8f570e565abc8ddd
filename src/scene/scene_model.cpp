// The selection's model in the viewer, apart from drawing: its preparation
// (parse, framing, materials, surface list rows), the surface hiding, the
// clock of the texture scrolling, and the model the OBJ export writes.
#include "scene/scene.h"

#include "render/render.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

void Model_AttachMaterials(PreviewState &preview, const SceneSources &sources, Model &model)
{
    std::vector<ModelSurface> &surfaces = model.surfaces;
    LookupMemo memo;  // for this preparation only: the next one reads the archives afresh
    for (size_t i = 0; i < surfaces.size(); ++i) {
        ModelSurface &s = surfaces[i];
        s.material = nullptr;
        s.materialShared = false;
        if (!sources.materials || s.materialName[0] == '\0')
            continue;
        // Surfaces that name the same material share one record and one set
        // of textures; only the first of them reads the archive.
        const int shared = Lookup_SharedSurface(model, i);
        if (shared >= 0 && surfaces[static_cast<size_t>(shared)].material) {
            s.material = surfaces[static_cast<size_t>(shared)].material;
            s.materialShared = true;
        } else {
            s.material = Mat_FindByName(preview, sources, s.materialName, &memo);
        }
    }
}

const Model *Model_ForExport(PreviewState &preview)
{
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

namespace {

void FrameByBounds(PreviewState &preview, const Model &model)
{
    float mins[3], maxs[3];
    const float *first = model.surfaces.front().vertices.front().position;
    for (int k = 0; k < 3; ++k)
        mins[k] = maxs[k] = first[k];
    for (const ModelSurface &s : model.surfaces)
        for (const ModelVertex &v : s.vertices)
            Math_AddPointToBounds(v.position, mins, maxs);
    R_FrameModelBounds(preview, mins, maxs);
}

}  // namespace

bool Model_Reframe(PreviewState &preview)
{
    if (!preview.model || !preview.previewPrepared)
        return false;
    // As a fresh selection shows it: unturned, centred, its lights in place.
    for (float &angle : preview.modelAngles)
        angle = 0;
    for (float &c : preview.orbitCentre)
        c = 0;
    R_FrameModel(preview);
    FrameByBounds(preview, *preview.model);
    R_PlaceEye(preview);
    R_RequestRedraw();
    return true;
}

std::vector<std::string> Model_Prepare(PreviewState &preview, const SceneSources &sources)
{
    preview.previewPrepared = true;
    // An export may already have read the model; it is taken over, not read twice.
    if (!preview.model)
        preview.model = Model_Parse(preview.CurrentResource.data(), preview.CurrentResource.size());
    R_FrameModel(preview);
    Model *model = preview.model;
    if (!model)
        return {};
    Model_AttachMaterials(preview, sources, *model);

    FrameByBounds(preview, *model);

    std::vector<std::string> rows;
    char row[16 + kModelNameSize];
    for (size_t i = 0; i < model->surfaces.size(); ++i) {
        snprintf(row, sizeof row, "%02i - %s", static_cast<int>(i), model->surfaces[i].materialName);
        rows.push_back(row);
    }
    return rows;
}

void Model_ApplySurfaceHiding(PreviewState &preview, const std::vector<bool> &selectedRows)
{
    Model *model = preview.model;
    if (!model)
        return;
    R_RequestRedraw();
    for (size_t i = 0; i < model->surfaces.size(); ++i)
        model->surfaces[i].hidden = i < selectedRows.size() && selectedRows[i] ? 1 : 0;
}

uint32_t Clock_Milliseconds(int slot)
{
    using Clock = std::chrono::steady_clock;
    static Clock::time_point start[kClockSlots];
    static bool started[kClockSlots];
    if (slot < 0 || slot >= kClockSlots)
        slot = 0;
    if (!started[slot]) {
        started[slot] = true;
        start[slot] = Clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start[slot]);
    return static_cast<uint32_t>(static_cast<uint64_t>(elapsed.count()));
}

float Model_ScrollOffset(uint32_t milliseconds, float velocity)
{
    const float seconds = static_cast<float>(milliseconds) * 0.001f;
    float offset = std::fmod(seconds * velocity, 1.0f);
    if (velocity < 0)
        offset = 1 + offset;
    return offset;
}
