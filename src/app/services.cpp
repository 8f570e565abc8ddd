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

    RenderServices &render = viewer.services.render;
    render.Init = GL_Init;
    render.Release = GL_Release;
    render.RunFrame = GL_RunFrame;
    render.UploadTexture = UploadTexture;
    render.ZoomTexture = R_ZoomTexture;
    render.TextureScale = R_TextureScale;
    render.TextureActualSize = R_TextureActualSize;
    render.FitTexture = R_FitTexture;
    render.SetTextureMipLevel = R_SetTextureMipLevel;
    render.WheelZoomModel = R_WheelZoomModel;
    render.CaptureView = R_CaptureView;

    SoundServices &sound = viewer.services.sound;
    sound.Init = InitSound;
    sound.Shutdown = S_Shutdown;
    sound.Update = UpdateSound;
    sound.LoadCurrentAsset = LoadCurrentSound;
    sound.ClearRecord = ForgetSound;
    sound.QueuePlay = S_QueuePlay;
    sound.StopAll = S_StopAll;
    sound.QueuePlayFrom = S_QueuePlayFrom;
    sound.PlayingPosition = S_PlayingPosition;
    sound.HasOutput = [] { return soundState.listener; };

    ModelServices &model = viewer.services.model;
    model.Free = Model_Free;
    model.Draw = DrawModelPass;
    model.ForExport = Model_ForExport;
    model.WriteObj = [](FILE *file) {
        const Model *shown = Model_ForExport(viewer.preview);
        return shown && Model_WriteObj(file, shown);
    };
    model.ApplySurfaceHiding = Model_ApplySurfaceHiding;
    model.Reframe = Model_Reframe;

    R_SetFrameHooks(App_DrawViewFrame, 1);
}
