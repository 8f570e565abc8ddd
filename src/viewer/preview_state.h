// The selected entry as the preview shows it: its bytes, kind, and the view
// values the GL view, the model drawing and the sound player read and set.
// The window owns one (ViewerState's `preview`) and hands it to them.
#pragma once

#include "resource/resource_kind.h"

#include <cstdint>
#include <string>
#include <vector>

struct SoundRecord;  // made by the sound player (src/audio)
struct Model;        // made by the model parser (src/model)

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

// View > Channels: what the texture preview shows of the texture's channels.
enum TextureChannels : int32_t {
    ChannelsRgba = 0,     // the texture as it is, alpha ignored
    ChannelsRed,          // one colour channel in its own colour, the others black
    ChannelsGreen,
    ChannelsBlue,
    ChannelsAlpha,        // alpha as grey
    ChannelsChecker,      // colour over a checkerboard where alpha is transparent
};
