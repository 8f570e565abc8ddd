// The right-hand pane emptied: the selection's resources released, the
// panes hidden and the info line back to "no resource". Below every handler
// that lets a selection go.
#include "app/preview_pane.h"
#include "app/app_local.h"
#include "app/app_texts.h"
#include "app/command_refresh.h"
#include "viewer/viewer_state.h"

void App_ReleasePreview()
{
    PreviewState &preview = viewer.preview;
    ViewerServices &services = viewer.services;
    preview.CurrentResource = {};
    if (preview.soundRecord) {
        if (services.sound.ClearRecord)
            services.sound.ClearRecord(preview.soundRecord);
        preview.soundRecord = nullptr;
        // Restarting the module silences whatever is still playing.
        if (services.sound.Shutdown)
            services.sound.Shutdown();
        if (services.sound.Init)
            services.sound.Init();
    }
    if (preview.model) {
        if (services.model.Free)
            services.model.Free(preview.model);
        preview.model = nullptr;
    }
    preview = PreviewState{};
}

void App_ShowNoResource(ViewerWindow &window)
{
    window.SetLabel(IdInfoLine, kNoResourceSelected);
    window.SetStatusField(0, "");
}

void App_HidePanes(ViewerWindow &window)
{
    window.ShowControl(IdGlView, false);
    window.ShowControl(IdTextView, false);
    if (window.ControlExists(IdHexView)) {
        window.ShowControl(IdHexView, false);
        window.SetHexBytes(nullptr);
    }
    window.ShowControl(IdPlayOnClick, false);
    if (window.ControlExists(IdSoundBar))
        window.ShowControl(IdSoundBar, false);
}

void App_ClearSelection(ViewerWindow &window)
{
    viewer.session.selectedEntry = -1;
    App_ShowNoResource(window);
    App_ReleasePreview();
    viewer.viewHidden = true;
    App_HidePanes(window);
    App_RefreshCommands(window);
    App_LayoutToClient(window);
}
