// The selection's model in the view: the materials and textures its surfaces
// name, found across the open archive and GLOBAL.PAK and uploaded through the
// hook the window gives; its preparation (parse, framing, materials, surface
// list rows), surface hiding, texture scrolling and drawing. The selection's
// preview and the archives are passed in by the window; the model drawing
// reads no window state of its own.
//
// Libraries: quillon_scene (everything but drawing; no GL, so its tests run
// under the sanitizers) and quillon_scene_gl (the model pass of a frame).
#pragma once

#include "lookup/lookup.h"
#include "material/material.h"
#include "model/model.h"
#include "session/archive_edits.h"
#include "session/archive_tree.h"
#include "viewer/viewer_state.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Where the model's lookups search and where the textures they find go,
// built by the window from the session for each call.
struct SceneSources {
    const PakArchive *main = nullptr;       // the open archive; without an index nothing is found
    PakArchive *global = nullptr;           // GLOBAL.PAK beside it, loaded by the first lookup that needs it
    const ArchiveEdits *edits = nullptr;    // `main`'s resources waiting for a save; may be null
    // The folder's archives, searched when neither archive has a resource;
    // null: nowhere else (one archive, or the user did not ask for them).
    ArchiveTree *elsewhere = nullptr;
    // Binds a texture name and loads a texture resource into it with its wrap
    // pair (the GL view's UploadTexture); null: the names are handed out all the same.
    void (*upload)(uint32_t textureName, const uint8_t *resource, int32_t size, TextureWrap wrap) = nullptr;
    bool materials = true;  // surfaces take their materials (View > model materials)
};

// ---- lookups (scene_lookup.cpp): the open archive, then GLOBAL.PAK ----

// A new Material from the text; when an archive is open its textures are
// looked up (a diffuse map falls back to "__missingtexture") and uploaded
// under names 2, 3, ... counted by preview.materialTextureCount. Textures
// that `memo` (may be null) knows to be missing are not searched again.
// Resources found outside the open archive are added to preview.foundElsewhere.
Material *Mat_Parse(PreviewState &preview, const SceneSources &sources, const char *text, size_t length,
                    const char *materialName, LookupMemo *memo = nullptr);

// The material a surface names ("stone.mat" is found as "stone"), from the
// open archive or GLOBAL.PAK; null when there is none. The caller owns it.
// Lookups that find nothing are added to `memo` (may be null), and those it
// holds are not searched again.
Material *Mat_FindByName(PreviewState &preview, const SceneSources &sources, const char *materialName,
                         LookupMemo *memo = nullptr);

// True when GLOBAL.PAK beside the open archive can be searched: loaded on the
// first call that finds it and kept from then on. False while the open
// archive is GLOBAL itself.
bool Pak_OpenGlobal(const SceneSources &sources);

// ---- the model in the view (scene_model.cpp) ----

// Gives each surface its material as the viewer's preparation does: when
// sources.materials, a named surface takes the material of an earlier
// surface of the same name (case ignored) or looks it up with Mat_FindByName.
// A material or texture not found is not searched for again for later surfaces.
void Model_AttachMaterials(PreviewState &preview, const SceneSources &sources, Model &model);

// The selection's model for the OBJ export: the prepared one, or, when no
// frame has prepared it yet, one parsed now from CurrentResource and kept as
// preview.model. Null when the resource holds no readable model.
const Model *Model_ForExport(PreviewState &preview);

// The preparation of the selection's model, once per selection on the first
// frame that draws it: parse (unless an export already did), framing of the
// camera and lights, materials. Returns the surface list's rows "%02i - %s",
// one per surface (none when the parse fails). previewPrepared is set even
// when the parse fails.
std::vector<std::string> Model_Prepare(PreviewState &preview, const SceneSources &sources);

// View > Frame Model: the prepared model shown again as on its selection
// (unturned, framed by its bounds, lights at their starting places); false
// when no model has been prepared.
bool Model_Reframe(PreviewState &preview);

// Copies the surface list's selection (one flag per row; rows past its end
// are not selected) into the surfaces' hidden flags.
void Model_ApplySurfaceHiding(PreviewState &preview, const std::vector<bool> &selectedRows);

constexpr int kClockSlots = 10;
// Milliseconds since the first call for the slot (0..9); that first call
// pauses 2 ms. Slot 0 times the texture scrolling.
uint32_t Clock_Milliseconds(int slot);

// Texture offset after `milliseconds` at `velocity` repeats per second, in
// [0, 1) for a positive velocity and (0, 1] for a negative one.
float Model_ScrollOffset(uint32_t milliseconds, float velocity);

// ---- drawing (scene_draw.cpp, quillon_scene_gl) ----

// The model pass of a frame (the modelview matrix holds the camera): prepares
// the preview's model once (its surface list's rows, on that frame, in
// `surfaceRows`), then draws its visible surfaces under the two lights, with
// the lighting programs for surfaces that have a normal map.
void Model_Draw(PreviewState &preview, const SceneSources &sources, std::vector<std::string> &surfaceRows);
