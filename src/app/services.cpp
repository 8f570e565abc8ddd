// The one place where the window's services are bound to the GL view, the
// sound player and the model in the view.
#include "app/services.h"
#include "app/main_dialog.h"

#include "audio/audio.h"
#include "export/export.h"
#include "render/render.h"
#include "scene/scene.h"
#include "viewer/viewer_state.h"

#include <SDL.h>

namespace {

void InitSound()
{
    // A failed start (no audio device) leaves a module that stays silent; the
    // viewer goes on without sound.
    S_Init();
}

void UpdateSound()
{
    // The viewer's listener never moves: the origin, zero angles.
    const float position[3] = {0.0f, 0.0f, 0.0f};
    const float angles[3] = {0.0f, 0.0f, 0.0f};
    S_Update(position, angles);
}

SoundRecord *LoadCurrentSound()
{
    return S_LoadCurrentAsset(viewer.preview.CurrentResource);
}

void ForgetSound(SoundRecord *)
{
    // The record belongs to the module's slot 0; the handler forgets its
    // pointer and the S_Shutdown that follows releases the record itself.
}

// The model pass of the view's frame: the selection's model from the
// session's archives; the frame that prepares it fills the surface list.
void DrawModelPass()
{
    std::vector<std::string> rows;
    Model_Draw(viewer.preview, App_SceneSources(), rows);
    App_ShowSurfaceRows(rows);
}

}  // namespace

void App_DrawViewFrame()
{
    R_DrawFrame(viewer.preview, viewer.textureChannels, viewer.services.Model_Draw);
}

void App_InstallServices()
{
    // SDL's audio start-up would otherwise take over SIGINT and SIGTERM and turn
    // them into quit events that nobody reads: a running viewer could no longer
    // be interrupted or terminated.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");

    ViewerServices &s = viewer.services;
    s.GL_Init = GL_Init;
    s.GL_Release = GL_Release;
    s.GL_RunFrame = GL_RunFrame;
    s.UploadTexture = UploadTexture;

    s.S_Init = InitSound;
    s.S_Shutdown = S_Shutdown;
    s.S_Update = UpdateSound;
    s.S_LoadCurrentAsset = LoadCurrentSound;
    s.S_ClearRecord = ForgetSound;
    s.S_QueuePlay = S_QueuePlay;
    s.S_StopAll = S_StopAll;
    s.S_QueuePlayFrom = S_QueuePlayFrom;
    s.S_PlayingPosition = S_PlayingPosition;
    s.S_HasOutput = [] { return soundState.listener; };

    s.Model_Free = Model_Free;
    s.Model_Draw = DrawModelPass;
    s.Model_ForExport = Model_ForExport;
    s.Model_WriteObj = [](FILE *file) {
        const Model *model = Model_ForExport(viewer.preview);
        return model && Model_WriteObj(file, model);
    };
    s.Model_ApplySurfaceHiding = Model_ApplySurfaceHiding;

    s.R_ZoomTexture = R_ZoomTexture;
    s.R_TextureScale = R_TextureScale;
    s.R_TextureActualSize = R_TextureActualSize;
    s.R_FitTexture = R_FitTexture;
    s.R_SetTextureMipLevel = R_SetTextureMipLevel;
    s.R_WheelZoomModel = R_WheelZoomModel;
    s.Model_Reframe = Model_Reframe;
    s.R_CaptureView = R_CaptureView;
    R_SetFrameHooks(App_DrawViewFrame, 1);
}
