// ViewerState: the one record that holds everything the viewer knows, touched
// only from the window's thread. Each group names the folder that writes it.
#pragma once

#include "app/resource_kind.h"
#include "pak/pak.h"

#include <cstdint>
#include <vector>

class ViewerWindow;
struct SoundRecord;  // made by the sound module (src/sound)
struct Model;        // made by the model parser (src/model)

// The per-selection block. Cleared as a whole (`preview = PreviewState{}`) on
// every selection change, every accepted archive and at shut-down.
struct PreviewState {
    // The selected entry's bytes, expanded when stored compressed (src/pak via
    // src/app). Its size is the resource length; Pak_LoadEntry never loads more
    // than INT32_MAX bytes, so the length always fits the i32 the formats use.
    std::vector<uint8_t> CurrentResource;
    ResourceKind resourceKind = KindUnknown;  // src/app
    bool previewPrepared = false;             // set once per selection by whoever prepares the preview
    int32_t materialTextureCount = 0;         // GL texture names 2.. handed out (src/texture)

    SoundRecord *soundRecord = nullptr;  // src/sound; null until played on click
    Model *model = nullptr;              // src/model; null until a frame parses it

    // View values (src/render): all zero at the start of a selection.
    float textureOffset[2] = {};   // texture slide, pixels (x, y)
    float orbitCenter[3] = {};     // world units
    float modelAngles[3] = {};     // degrees, (pitch, yaw, roll)
    float zoomDistance = 0.0f;     // world units from the orbit centre
    float lightAngles[2][3] = {};  // degrees, primary and secondary light
    float lightDistance[2] = {};   // world units
    // Room for the camera, light and model groups that the render and model
    // code add; everything here must stay zero-initialised.
};

// Steps of other subsystems that the window's handlers run in their fixed
// order. Each is empty (null) until its subsystem is built; an empty step is
// skipped, so no handler pretends a sound played or a frame was drawn.
struct ViewerServices {
    // OpenGL view (src/render): create or refresh the context for a view of
    // the given size; release it at shut-down.
    bool (*GL_Init)(int width, int height) = nullptr;
    void (*GL_Release)() = nullptr;
    // One frame of the view, run by the timer while the view is not hidden.
    void (*frameCallback)() = nullptr;

    // Sound module (src/sound).
    void (*S_Init)() = nullptr;
    void (*S_Shutdown)() = nullptr;
    void (*S_Update)() = nullptr;
    SoundRecord *(*S_LoadCurrentAsset)() = nullptr;  // from preview.CurrentResource, or null
    void (*S_ClearRecord)(SoundRecord *record) = nullptr;
    void (*S_QueuePlay)(SoundRecord *record) = nullptr;  // one play request, no position, volume 1, noSteal

    // Models (src/model).
    void (*Model_Free)(Model *model) = nullptr;
    // Writes the prepared model as WaveFront OBJ; false when a write failed.
    bool (*Model_WriteObj)(FILE *file) = nullptr;
};

struct ViewerState {
    // Archives and selection (src/app's open and selection handlers, over src/pak).
    PakArchive mainPak;        // the archive opened with File > Open
    PakArchive globalPak;      // GLOBAL.PAK beside it, filled by the cross-archive lookup (src/texture)
    int32_t selectedEntry = -1;  // slot of mainPak, -1 when none

    // View toggles (src/app). previewEnabled per ResourceKind; every row starts on.
    bool previewEnabled[KindCount] = {true, true, true, true, true, true, true, true, true, true};
    bool modelMaterialsEnabled = true;  // read by the model drawing (src/model)
    bool showSurfaceList = false;       // View > "Model &surfaces"

    // Main window (src/app).
    ViewerWindow *mainDialog = nullptr;  // set from dialog initialisation to shut-down
    bool viewHidden = true;              // true: no frames are drawn and the mouse does not steer

    // Per-selection state (src/app clears it; src/pak, src/render, src/texture,
    // src/model and src/sound fill their parts).
    PreviewState preview;

    // GL state (src/render), camera and lights (src/render), the uploader's wrap
    // pair (src/texture) and the sound state (src/sound) join here as those
    // subsystems are built.

    ViewerServices services;
};

extern ViewerState viewer;

// Back to the state of a fresh start (used between tests and by the window on start-up).
void ViewerState_Reset();
