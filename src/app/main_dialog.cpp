// The main window's start-up and its frame timer: the top of the handlers,
// which hands the command table's refresh down to them.
#include "app/main_dialog.h"
#include "app/app_local.h"
#include "app/app_texts.h"

void InitMainDialog(ViewerWindow &window)
{
    viewer.mainDialog = &window;
    App_SetCommandRefresh(App_RefreshCommandRows);
    window.SetLabel(IdFileLabel, kNoFileLoaded);
    window.SetLabel(IdInfoLine, kNoResourceSelected);

    if (viewer.services.render.Init && window.ControlExists(IdGlView)) {
        ControlRect view = window.GetControlRect(IdGlView);
        viewer.services.render.Init(view.width, view.height);
    }
    if (viewer.services.sound.Init)
        viewer.services.sound.Init();
    window.StartFrameTimer(kFrameTimerMs);

    viewer.viewHidden = true;
    App_HidePanes(window);
    window.SetPlayOnClickChecked(true);
    if (window.ControlExists(IdFindBar))
        window.ShowControl(IdFindBar, viewer.findShown);
    App_CheckChannels(window);

    App_LayoutToClient(window);
    App_RefreshCommands(window);
    RefreshViewChecks(window);
}

void OnFrameTimer()
{
    if (viewer.services.sound.Update)
        viewer.services.sound.Update();
    if (viewer.mainDialog) {
        App_ContinueKindScan(*viewer.mainDialog);
        App_PreviewBarsTick(*viewer.mainDialog);
    }
    // A frame only when the picture can differ from the last one: something
    // changed it, a drag is steering it, or a texture on it scrolls.
    const bool moving = R_Dragging() || viewer.preview.animating;
    if (!viewer.viewHidden && (R_RedrawPending() || moving) && viewer.services.render.RunFrame) {
        R_TakeRedraw();
        viewer.services.render.RunFrame();
    }
    // The frame that prepared a model has looked up its materials and textures.
    PreviewState &preview = viewer.preview;
    if (viewer.mainDialog && preview.foundElsewhere.size() != preview.foundElsewhereShown) {
        preview.foundElsewhereShown = preview.foundElsewhere.size();
        viewer.mainDialog->SetStatusField(0, App_SelectionDetails());
    }
}
