// ViewerState: the window's record of the viewer, touched only from the
// window's thread. Each group names the folder that writes it. The GL view,
// the model drawing and the sound player keep their own state in their own
// folders and are handed the preview and the View toggles they need.
#pragma once

#include "resource/resource_kind.h"
#include "pak/pak.h"
#include "session/session.h"

#include <cstdint>
#include <string>
#include <vector>

class ViewerWindow;
struct SoundRecord;  // made by the sound player (src/audio)
struct Model;        // made by the model parser (src/model)
struct TextureImage;  // RGBA pixels (src/texture)

// The per-selection block. Cleared as a whole (`preview = PreviewState{}`) on
// every selection change, every accepted archive and at shut-down.
struct PreviewState {
    // The selected entry's bytes, expanded when stored compressed (src/pak via
    // src/app). Its size is the resource length; Pak_LoadEntry never loads more
    // than INT32_MAX bytes, so the length always fits the i32 the formats use.
    std::vector<uint8_t> CurrentResource;
    ResourceKind resourceKind = KindUnknown;  // src/app
    bool entryCompressed = false;             // src/app: the entry was stored as an LZO block
    bool previewPrepared = false;             // set once per selection by whoever prepares the preview
    bool animating = false;  // src/scene: the last frame drew a scrolling texture, so the next differs
    int32_t materialTextureCount = 0;         // GL texture names 2.. handed out (src/scene)

    SoundRecord *soundRecord = nullptr;  // src/audio; null until played on click
    Model *model = nullptr;              // src/scene; null until a frame or an export parses it

    // View values (src/render): all zero at the start of a selection.
    float textureOffset[2] = {};   // texture slide, pixels (x, y)
    float orbitCentre[3] = {};     // point the camera looks at, world units
    float modelAngles[3] = {};     // degrees, (pitch, yaw, roll)
    float zoomDistance = 0.0f;     // world units from the orbit centre
    float lightAngles[2][3] = {};  // degrees, primary and secondary light
    float lightDistance[2] = {};   // world units
    // Texture zoom: view pixels per texel are 2^textureZoomStep, or
    // textureFitScale while the texture is fitted to the view (0 otherwise).
    int32_t textureZoomStep = 0;
    float textureFitScale = 0.0f;
    uint32_t textureMipLevel = 0;  // the stored level shown, 0 the largest
    // The sound bar (src/app): the selected sound's length and where it is
    // (or where Play starts it), seconds; whether it played at the last tick.
    double soundLength = 0;
    double soundPosition = 0;
    bool soundWasPlaying = false;
    // src/scene: each material or texture the model's lookups found outside
    // the entry's own archive, as "name in ARCHIVE.PAK", for the status bar.
    std::vector<std::string> foundElsewhere;
    size_t foundElsewhereShown = 0;  // src/app: how many of them the status bar shows
    // Everything here must stay zero-initialised.
};

// The GL wrap modes of an uploaded texture, S and T: GL_CLAMP unless a
// material gives others.
struct TextureWrap {
    int32_t s = 0x2900;
    int32_t t = 0x2900;
};

// The one way across layers: the steps of the GL view, the sound player and
// the model in the view that the window's handlers (and the frame and the
// material lookups) run, handed the preview they act on. App_InstallServices
// fills every step once at start-up; tests fill the ones they need. An empty
// (null) step is skipped, so nothing pretends a sound played or a frame was
// drawn.
struct ViewerServices {
    // OpenGL view (src/render): create or refresh the context for a view of
    // the given size; release it at shut-down.
    bool (*GL_Init)(int width, int height) = nullptr;
    void (*GL_Release)() = nullptr;
    // One frame of the view (current context, the frame hook, swap, pause),
    // run by the timer while the view is not hidden.
    void (*GL_RunFrame)() = nullptr;

    // Binds a texture name and loads a texture resource into it with the wrap
    // pair given (src/render's UploadTexture).
    void (*UploadTexture)(uint32_t textureName, const uint8_t *resource, int32_t size, TextureWrap wrap) = nullptr;

    // Sound player (src/audio).
    void (*S_Init)() = nullptr;
    void (*S_Shutdown)() = nullptr;
    void (*S_Update)() = nullptr;
    SoundRecord *(*S_LoadCurrentAsset)() = nullptr;  // from preview.CurrentResource, or null
    void (*S_ClearRecord)(SoundRecord *record) = nullptr;
    void (*S_QueuePlay)(SoundRecord *record) = nullptr;  // one play request, no position, volume 1, noSteal
    // Stops every channel and drops queued requests; records stay loaded.
    void (*S_StopAll)() = nullptr;
    // S_QueuePlay starting `seconds` into the sound.
    void (*S_QueuePlayFrom)(SoundRecord *record, double seconds) = nullptr;
    // Where a channel playing `record` is, seconds into the sound; false when none plays it.
    bool (*S_PlayingPosition)(const SoundRecord *record, double &seconds) = nullptr;
    // Whether the player has an audio device to play on.
    bool (*S_HasOutput)() = nullptr;

    // The model in the view (src/scene).
    void (*Model_Free)(Model *model) = nullptr;
    // The model pass of a frame: draws the selected model when there is one,
    // from the session's archives, and fills the surface list when it
    // prepared the model.
    void (*Model_Draw)() = nullptr;
    // The model the OBJ export writes: the prepared one, or one parsed now
    // when no frame has prepared it (kept as preview.model); null when the
    // resource holds no readable model.
    const Model *(*Model_ForExport)(PreviewState &preview) = nullptr;
    // Writes the selection's model as WaveFront OBJ; false when a write failed.
    bool (*Model_WriteObj)(FILE *file) = nullptr;
    // Copies the surface list's selection (one flag per row) into the model's hidden flags.
    void (*Model_ApplySurfaceHiding)(PreviewState &preview, const std::vector<bool> &selectedRows) = nullptr;

    // The preview as the View menu and the wheel steer it (src/render, src/scene).
    void (*R_ZoomTexture)(PreviewState &preview, int steps, float x, float y) = nullptr;  // about a point of the view
    float (*R_TextureScale)(const PreviewState &preview) = nullptr;  // view pixels per texel
    void (*R_TextureActualSize)(PreviewState &preview) = nullptr;
    void (*R_FitTexture)(PreviewState &preview) = nullptr;
    void (*R_SetTextureMipLevel)(PreviewState &preview, int level) = nullptr;
    void (*R_WheelZoomModel)(PreviewState &preview, int notches) = nullptr;
    bool (*Model_Reframe)(PreviewState &preview) = nullptr;
    // The view's frame at 1, 2 or 4 times its size; false when it cannot be made.
    bool (*R_CaptureView)(int scale, bool transparent, TextureImage &out) = nullptr;
};

// View > Channels: what the texture preview shows of the texture's channels.
enum TextureChannels : int32_t {
    ChannelsRgba = 0,     // the texture as it is, alpha ignored
    ChannelsRed,          // one colour channel in its own colour, the others black
    ChannelsGreen,
    ChannelsBlue,
    ChannelsAlpha,        // alpha as grey
    ChannelsChecker,      // colour over a checkerboard where alpha is transparent
};

// The session (src/session) is the base: its archives, edits, selection, list
// and find are read here under their own names until every reader asks the
// session itself.
struct ViewerState : Session {
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
