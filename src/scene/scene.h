// The selection's model in the view: the materials and textures its surfaces
// name, found across the open archive and GLOBAL.PAK and uploaded through the
// window's services; its preparation (parse, framing, materials, surface
// list), surface hiding, texture scrolling and drawing.
//
// Libraries: quillon_scene (everything but drawing; no GL, so its tests run
// under the sanitizers) and quillon_scene_gl (the model pass of a frame).
#pragma once

#include "lookup/lookup.h"
#include "material/material.h"
#include "model/model.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

// ---- lookups (scene_lookup.cpp): the open archive, then viewer.session.globalPak ----

// A new Material from the text; when an archive is open its textures are
// looked up (a diffuse map falls back to "__missingtexture") and uploaded
// under names 2, 3, ... counted by preview.materialTextureCount. Textures
// that `memo` (may be null) knows to be missing are not searched again.
Material *Mat_Parse(const char *text, size_t length, const char *materialName, LookupMemo *memo = nullptr);

// The material a surface names ("stone.mat" is found as "stone"), from the
// open archive or GLOBAL.PAK; null when there is none. The caller owns it.
// Lookups that find nothing are added to `memo` (may be null), and those it
// holds are not searched again.
Material *Mat_FindByName(const char *materialName, LookupMemo *memo = nullptr);

// True when GLOBAL.PAK beside the open archive can be searched: loaded on the
// first call that finds it and kept from then on. False while the open
// archive is GLOBAL itself.
bool Pak_OpenGlobal();

// ---- the model in the view (scene_model.cpp) ----

// Gives each surface its material as the viewer's preparation does: when
// modelMaterialsEnabled, a named surface takes the material of an earlier
// surface of the same name (case ignored) or looks it up with Mat_FindByName.
// A material or texture not found is not searched for again for later surfaces.
void Model_AttachMaterials(Model &model);

// The selection's model for the OBJ export: the prepared one, or, when no
// frame has prepared it yet, one parsed now from CurrentResource and kept as
// preview.model. Null when the resource holds no readable model.
const Model *Model_ForExport();

// The preparation of the selection's model, once per selection on the first
// frame that draws it: parse (unless an export already did), framing of the
// camera and lights, materials, and the surface list's rows "%02i - %s" when
// the list is shown. previewPrepared is set even when the parse fails.
void Model_Prepare();

// View > Frame Model: the prepared model shown again as on its selection
// (unturned, framed by its bounds, lights at their starting places); false
// when no model has been prepared.
bool Model_Reframe();

// Copies the surface list's selection into the surfaces' hidden flags.
void Model_ApplySurfaceHiding();

constexpr int kClockSlots = 10;
// Milliseconds since the first call for the slot (0..9); that first call
// pauses 2 ms. Slot 0 times the texture scrolling.
uint32_t Clock_Milliseconds(int slot);

// Texture offset after `milliseconds` at `velocity` repeats per second, in
// [0, 1) for a positive velocity and (0, 1] for a negative one.
float Model_ScrollOffset(uint32_t milliseconds, float velocity);

// ---- drawing (scene_draw.cpp, quillon_scene_gl) ----

// The model pass of a frame (the modelview matrix holds the camera): prepares
// the selected model once, then draws its visible surfaces under the two
// lights, with the lighting programs for surfaces that have a normal map.
void Model_Draw();
