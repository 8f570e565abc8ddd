// The main window's start-up, command routing, layout, View toggles, frame
// timer and shut-down.
#include "app/main_dialog.h"
#include "app/app_local.h"
#include "app/app_texts.h"

#include <algorithm>

void App_GrayExportItems(ViewerWindow &window)
{
    window.EnableMenuItem(CmdExportRaw, false);
    window.EnableMenuItem(CmdExportDump, false);
    window.EnableMenuItem(CmdExportInterpreted, false);
}

void App_LayoutToClient(ViewerWindow &window)
{
    int cx = 0, cy = 0;
    window.GetClientSize(cx, cy);
    LayoutControls(window, cx, cy);
}

void InitMainDialog(ViewerWindow &window)
{
    viewer.mainDialog = &window;
    window.SetLabel(IdFileLabel, kNoFileLoaded);
    window.SetLabel(IdInfoLine, kNoResourceSelected);

    if (viewer.services.GL_Init && window.ControlExists(IdGlView)) {
        ControlRect view = window.GetControlRect(IdGlView);
        viewer.services.GL_Init(view.width, view.height);
    }
    if (viewer.services.S_Init)
        viewer.services.S_Init();
    window.StartFrameTimer(kFrameTimerMs);

    viewer.viewHidden = true;
    window.ShowControl(IdGlView, false);
    window.ShowControl(IdTextView, false);
    window.ShowControl(IdPlayOnClick, false);
    window.SetPlayOnClickChecked(true);

    App_LayoutToClient(window);
    App_GrayExportItems(window);
    // The batch exports need an open archive.
    window.EnableMenuItem(CmdExportAll, false);
    window.EnableMenuItem(CmdExportListed, false);
    RefreshViewChecks(window);
}

void LayoutControls(ViewerWindow &window, int cx, int cy)
{
    // The first size event can come before the controls exist: each step
    // touches only what is there.
    const bool surfaces = viewer.showSurfaceList && viewer.preview.resourceKind == KindModel;
    if (window.ControlExists(IdSurfaceList))
        window.ShowControl(IdSurfaceList, surfaces);
    if (window.ControlExists(IdSurfaceLabel))
        window.ShowControl(IdSurfaceLabel, surfaces);

    const int paneWidth = std::max(cx - 210, 8);
    const int paneHeight = std::max(cy - 37, 8);
    if (window.ControlExists(IdGlView))
        window.ResizeControl(IdGlView, paneWidth, paneHeight);
    if (window.ControlExists(IdTextView))
        window.ResizeControl(IdTextView, paneWidth, paneHeight);
    if (viewer.services.GL_Init && window.ControlExists(IdGlView)) {
        ControlRect view = window.GetControlRect(IdGlView);
        viewer.services.GL_Init(view.width, view.height);
    }

    int listHeight = cy - 37;
    if (surfaces && window.ControlExists(IdSurfaceList) && window.ControlExists(IdSurfaceLabel)) {
        window.MoveControl(IdSurfaceList, 11, cy - 138);
        window.MoveControl(IdSurfaceLabel, 11, cy - 153);
        listHeight = cy - 181;  // room for the label and the surface list below the entries
    }
    listHeight = std::max(listHeight, 8);
    if (window.ControlExists(IdEntryList))
        window.ResizeControl(IdEntryList, window.GetControlRect(IdEntryList).width, listHeight);
}

void RefreshViewChecks(ViewerWindow &window)
{
    window.CheckMenuItem(CmdViewModels, viewer.previewEnabled[KindModel]);
    window.CheckMenuItem(CmdViewSurfaces, viewer.showSurfaceList);
    window.CheckMenuItem(CmdViewTextures, viewer.previewEnabled[KindTexture]);
    window.CheckMenuItem(CmdViewMaterials, viewer.previewEnabled[KindMaterial]);
    window.CheckMenuItem(CmdViewXml, viewer.previewEnabled[KindXml]);
    window.CheckMenuItem(CmdViewOther, viewer.previewEnabled[KindUnknown]);
    window.CheckMenuItem(CmdViewModelMaterials, viewer.modelMaterialsEnabled);
    // The current line is loaded and shown again under the new toggles.
    OnSelchangeEntryList(window);
}

static void FlipPreview(ResourceKind kind)
{
    viewer.previewEnabled[kind] = !viewer.previewEnabled[kind];
}

void OnFrameTimer()
{
    if (viewer.services.S_Update)
        viewer.services.S_Update();
    if (!viewer.viewHidden && viewer.services.GL_RunFrame)
        viewer.services.GL_RunFrame();
}

void ShutdownViewer(ViewerWindow &window)
{
    ViewerServices &services = viewer.services;
    viewer.mainDialog = nullptr;
    viewer.preview.CurrentResource = {};
    if (viewer.preview.soundRecord && services.S_ClearRecord)
        services.S_ClearRecord(viewer.preview.soundRecord);
    viewer.preview.soundRecord = nullptr;
    if (services.S_Shutdown)
        services.S_Shutdown();
    if (viewer.preview.model) {
        if (services.Model_Free)
            services.Model_Free(viewer.preview.model);
        viewer.preview.model = nullptr;
    }
    window.StopFrameTimer();
    viewer.preview = PreviewState{};

    viewer.selectedEntry = -1;
    // The list shows texts of the index about to be released.
    window.SetEntryLines({});
    Pak_Release(viewer.mainPak);
    Pak_Release(viewer.globalPak);

    window.SetLabel(IdInfoLine, kNoResourceSelected);
    window.SetLabel(IdFileLabel, kNoFileLoaded);
    if (services.GL_Release)
        services.GL_Release();
}

void OnCommand(ViewerWindow &window, int command)
{
    switch (command) {
    case CmdExit:
    case CmdCancel:
        ShutdownViewer(window);
        window.EndMainDialog(command);
        break;
    case CmdFileOpen:
        OnFileOpen(window);
        break;
    case CmdAbout:
        window.RunAboutBox();
        break;
    case CmdExportRaw:
        OnExportRaw(window);
        break;
    case CmdExportInterpreted:
        Export_Interpreted(window);
        break;
    // Accelerators fire even while their menu item is gray: the item's state decides.
    case CmdAccelRaw:
        if (window.IsMenuItemEnabled(CmdExportRaw))
            OnExportRaw(window);
        break;
    case CmdAccelInterpreted:
        if (window.IsMenuItemEnabled(CmdExportInterpreted))
            Export_Interpreted(window);
        break;
    case CmdAccelHelp:
        break;  // F1 is taken so that it opens nothing
    case CmdExportDump:
        window.RunDumpDialog();
        break;
    case CmdExportAll:
    case CmdExportListed:
        OnExportBatch(window, command == CmdExportListed);
        break;
    case CmdViewModels:
        FlipPreview(KindModel);
        RefreshViewChecks(window);
        break;
    case CmdViewSurfaces:
        viewer.showSurfaceList = !viewer.showSurfaceList;
        App_LayoutToClient(window);
        RefreshViewChecks(window);
        break;
    case CmdViewTextures:
        FlipPreview(KindTexture);
        RefreshViewChecks(window);
        break;
    case CmdViewMaterials:
        FlipPreview(KindMaterial);
        RefreshViewChecks(window);
        break;
    case CmdViewXml:
        FlipPreview(KindXml);
        RefreshViewChecks(window);
        break;
    case CmdViewOther:
        // Each row flips by itself, so rows that differ keep differing.
        for (ResourceKind kind : {KindUnknown, KindEffectMedia, KindUnknownMedia, KindText, KindOggVorbis,
                                  KindCharacterData})
            FlipPreview(kind);
        RefreshViewChecks(window);
        break;
    case CmdViewModelMaterials:
        viewer.modelMaterialsEnabled = !viewer.modelMaterialsEnabled;
        RefreshViewChecks(window);
        // The selection has just released the model, so this finds none; the
        // next frame prepares it again with every surface shown.
        if (viewer.services.Model_ApplySurfaceHiding)
            viewer.services.Model_ApplySurfaceHiding();
        break;
    default:
        break;
    }
}
