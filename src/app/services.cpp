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
    R_DrawFrame(viewer.preview, viewer.textureChannels, viewer.services.model.Draw);
}

void App_InstallServices()
{
    // SDL's audio start-up would otherwise take over SIGINT and SIGTERM and turn
    // them into quit events that nobody reads: a running viewer could no longer
    // be interrupted or terminated.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");

    ViewerServices &s = viewer.services;
    s.render.Init = GL_Init;
    s.render.Release = GL_Release;
    s.render.RunFrame = GL_RunFrame;
    s.render.UploadTexture = UploadTexture;

    s.sound.Init = InitSound;
    s.sound.Shutdown = S_Shutdown;
    s.sound.Update = UpdateSound;
    s.sound.LoadCurrentAsset = LoadCurrentSound;
    s.sound.ClearRecord = ForgetSound;
    s.sound.QueuePlay = S_QueuePlay;
    s.sound.StopAll = S_StopAll;
    s.sound.QueuePlayFrom = S_QueuePlayFrom;
    s.sound.PlayingPosition = S_PlayingPosition;
    s.sound.HasOutput = [] { return soundState.listener; };

    s.model.Free = Model_Free;
    s.model.Draw = DrawModelPass;
    s.model.ForExport = Model_ForExport;
    s.model.WriteObj = [](FILE *file) {
        const Model *model = Model_ForExport(viewer.preview);
        return model && Model_WriteObj(file, model);
    };
    s.model.ApplySurfaceHiding = Model_ApplySurfaceHiding;

    s.render.ZoomTexture = R_ZoomTexture;
    s.render.TextureScale = R_TextureScale;
    s.render.TextureActualSize = R_TextureActualSize;
    s.render.FitTexture = R_FitTexture;
    s.render.SetTextureMipLevel = R_SetTextureMipLevel;
    s.render.WheelZoomModel = R_WheelZoomModel;
    s.model.Reframe = Model_Reframe;
    s.render.CaptureView = R_CaptureView;
    R_SetFrameHooks(App_DrawViewFrame, 1);
}
