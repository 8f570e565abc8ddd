// Models: the "EIFF"/"MODL" container turned into surfaces by a heuristic
// parse, their materials and surface list in the viewer, their drawing, and
// the WaveFront OBJ writer.
//
// Libraries: quillon_model (parse, free, OBJ; core only), quillon_model_view
// (materials, preparation, surface list and the viewer's hooks; no GL) and
// quillon_model_gl (drawing; the viewer build only).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

struct Material;

constexpr int32_t kModelMaxSurfaces = 1024;  // descriptors past this many are ignored
constexpr size_t kModelNameSize = 64;        // materialName, terminator included

// One vertex as drawn and exported: 14 floats, 56 bytes, read with that stride.
struct ModelVertex {
    float u, v;
    float position[3];
    float normal[3];
    float tangent[3];
    float bitangent[3];
};
static_assert(sizeof(ModelVertex) == 56, "ModelVertex is read with a 56-byte stride");

struct ModelSurface {
    char materialName[kModelNameSize] = {};  // from the name pool, cut to 63 characters
    int32_t hidden = 0;                      // non-zero: not drawn (the surface list's selection)
    int32_t elementCount = 0;        // triangles of a list, indices of a strip
    int32_t indicesPerElement = 3;   // 3 triangle list, 1 triangle strip
    std::vector<uint16_t> indices;   // elementCount x indicesPerElement, each below vertexCount
    int32_t vertexCount = 0;
    std::vector<ModelVertex> vertices;
    Material *material = nullptr;    // set when the model is prepared; null after parsing
    bool materialShared = false;     // material belongs to an earlier surface
};

struct Model {
    // Descriptor order; a surface that could not be converted leaves no gap.
    // At most kModelMaxSurfaces; the count is surfaces.size().
    std::vector<ModelSurface> surfaces;
};

// ---- quillon_model ----

// Parses a model resource (the expanded entry bytes). Null when no surface
// could be built. Never reads outside [bytes, bytes + length).
Model *Model_Parse(const uint8_t *bytes, size_t length);

// Releases the model, and each surface's material unless it is shared.
void Model_Free(Model *model);

// Writes the model as WaveFront OBJ text (LF line ends); a null model writes
// nothing. False when a write failed (the text is then incomplete).
bool Model_WriteObj(FILE *file, const Model *model);

// ---- quillon_model_view ----

// Gives each surface its material as the viewer's preparation does: when
// modelMaterialsEnabled, a named surface takes the material of an earlier
// surface of the same name (case ignored) or looks it up with Mat_FindByName.
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

// Copies the surface list's selection into the surfaces' hidden flags.
void Model_ApplySurfaceHiding();

constexpr int kClockSlots = 10;
// Milliseconds since the first call for the slot (0..9); that first call
// pauses 2 ms. Slot 0 times the texture scrolling.
uint32_t Clock_Milliseconds(int slot);

// Texture offset after `milliseconds` at `velocity` repeats per second, in
// [0, 1) for a positive velocity and (0, 1] for a negative one.
float Model_ScrollOffset(uint32_t milliseconds, float velocity);

// Sets the viewer's model hooks: Model_Free, Model_ForExport, Model_WriteObj
// and Model_ApplySurfaceHiding.
void Model_InstallServices();

// ---- quillon_model_gl ----

// The model pass of a frame (the modelview matrix holds the camera): prepares
// the selected model once, then draws its visible surfaces under the two
// lights, with the lighting programs for surfaces that have a normal map.
void Model_Draw();

// Model_InstallServices, plus the drawing hook and the material textures'
// uploader.
void Model_InstallDrawing();
