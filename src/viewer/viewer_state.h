// ViewerState: the window's record of the viewer, touched only from the
// window's thread. Each group names the folder that writes it. The GL view,
// the model drawing and the sound player keep their own state in their own
// folders and are handed the preview and the View toggles they need.
#pragma once

#include "resource/resource_kind.h"
#include "session/session.h"
#include "viewer/preview_state.h"

#include <cstdint>
#include <cstdio>
#include <vector>

class ViewerWindow;
struct TextureImage;  // RGBA pixels (src/texture)

// The one way across layers: one small table for each module the window's
// handlers (and the frame and the material lookups) run, handed the preview
// they act on. App_InstallServices fills every step once at start-up; tests
// fill the ones they need. An empty (null) step is skipped, so nothing
// pretends a sound played or a frame was drawn.

// The OpenGL view (src/render).
struct RenderServices {
    // Creates or refreshes the context for a view of the given size; Release
    // drops it at shut-down.
    bool (*Init)(int width, int height) = nullptr;
    void (*Release)() = nullptr;
    // One frame of the view (current context, the frame hook, swap, pause),
    // run by the timer while the view is not hidden.
    void (*RunFrame)() = nullptr;
    // Binds a texture name and loads a texture resource into it with the wrap
    // pair given (UploadTexture).
    void (*UploadTexture)(uint32_t textureName, const uint8_t *resource, int32_t size, TextureWrap wrap) = nullptr;
    // The preview as the View menu and the wheel steer it.
    void (*ZoomTexture)(PreviewState &preview, int steps, float x, float y) = nullptr;  // about a point of the view
    float (*TextureScale)(const PreviewState &preview) = nullptr;  // view pixels per texel
    void (*TextureActualSize)(PreviewState &preview) = nullptr;
    void (*FitTexture)(PreviewState &preview) = nullptr;
    void (*SetTextureMipLevel)(PreviewState &preview, int level) = nullptr;
    void (*WheelZoomModel)(PreviewState &preview, int notches) = nullptr;
    // The view's frame at 1, 2 or 4 times its size; false when it cannot be made.
    bool (*CaptureView)(int scale, bool transparent, TextureImage &out) = nullptr;
};

// The sound player (src/audio).
struct SoundServices {
    void (*Init)() = nullptr;
    void (*Shutdown)() = nullptr;
    void (*Update)() = nullptr;
    SoundRecord *(*LoadCurrentAsset)() = nullptr;  // from preview.CurrentResource, or null
    void (*ClearRecord)(SoundRecord *record) = nullptr;
    void (*QueuePlay)(SoundRecord *record) = nullptr;  // one play request, no position, volume 1, noSteal
    // Stops every channel and drops queued requests; records stay loaded.
    void (*StopAll)() = nullptr;
    // QueuePlay starting `seconds` into the sound.
    void (*QueuePlayFrom)(SoundRecord *record, double seconds) = nullptr;
    // Where a channel playing `record` is, seconds into the sound; false when none plays it.
    bool (*PlayingPosition)(const SoundRecord *record, double &seconds) = nullptr;
    // Whether the player has an audio device to play on.
    bool (*HasOutput)() = nullptr;
};

// The model in the view (src/scene).
struct ModelServices {
    void (*Free)(Model *model) = nullptr;
    // The model pass of a frame: draws the selected model when there is one,
    // from the session's archives, and fills the surface list when it
    // prepared the model.
    void (*Draw)() = nullptr;
    // The model the OBJ export writes: the prepared one, or one parsed now
    // when no frame has prepared it (kept as preview.model); null when the
    // resource holds no readable model.
    const Model *(*ForExport)(PreviewState &preview) = nullptr;
    // Writes the selection's model as WaveFront OBJ; false when a write failed.
    bool (*WriteObj)(FILE *file) = nullptr;
    // Copies the surface list's selection (one flag per row) into the model's hidden flags.
    void (*ApplySurfaceHiding)(PreviewState &preview, const std::vector<bool> &selectedRows) = nullptr;
    // View > Frame Model: the prepared model framed as on its selection.
    bool (*Reframe)(PreviewState &preview) = nullptr;
};

struct ViewerServices {
    RenderServices render;
    SoundServices sound;
    ModelServices model;
};

struct ViewerState {
    // The archives, edits, selection, list and find (src/session): the window
    // runs the session's operations and shows what they say changed.
    Session session;

    // View toggles (src/app). previewEnabled per ResourceKind; every row starts on.
    bool previewEnabled[KindCount] = {true, true, true, true, true, true, true, true, true, true};
    bool modelMaterialsEnabled = true;  // handed to the model drawing (src/scene)
    bool showSurfaceList = false;       // View > "Model &surfaces"
    TextureChannels textureChannels = ChannelsRgba;  // View > Channels, handed to the frame (src/render)

    // The find bar (src/app); what it narrows the list to is the session's.
    bool findShown = false;           // the find bar is open

    // The tree in the list's place (src/app's folder handlers, over the
    // session's tree).
    bool treeView = false;        // the tree stands in the list's place: folder mode, or As Tree
    bool asTree = false;          // View > "As T&ree": one archive as a tree (kept in the settings)
    bool lookEverywhere = false;  // View > "Look in every archive"

    // Main window (src/app).
    ViewerWindow *mainDialog = nullptr;  // set from dialog initialisation to shut-down
    bool viewHidden = true;              // true: no frames are drawn and the mouse does not steer (src/render is told)
    bool noAudioSaid = false;            // the status bar said once that no audio device plays
    // Pixels the sash added to the entry list's width, as wanted (remembered
    // in the settings) and as the controls show it now.
    int32_t listWidening = 0;
    int32_t listWideningShown = 0;
    int32_t viewImageScale = 1;          // Save View As PNG's last choice
    bool viewImageTransparent = false;

    // Per-selection state (src/app clears it and hands it to src/render,
    // src/scene and src/audio, which fill their parts).
    PreviewState preview;

    // The GL view's context, frame hooks, redraw request, camera and mouse
    // drags are its own (src/render's render_local.h); the sound player's
    // state is its own record (src/audio's soundState).

    ViewerServices services;
};

extern ViewerState viewer;

// Back to the state of a fresh start (used between tests and by the window on start-up).
void ViewerState_Reset();
