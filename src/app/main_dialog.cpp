// The main window's start-up, the commands of the window and the View menu, layout, View toggles, frame
// timer and shut-down.
#include "app/main_dialog.h"
#include "app/app_local.h"
#include "app/app_texts.h"
#include "app/find_contents.h"
#include "app/folder_mode.h"
#include "app/layout.h"

#include <algorithm>

constexpr int kFindBarGap = 2;  // pixels between the find bar and the list below it

void App_LayoutToClient(ViewerWindow &window)
{
    int cx = 0, cy = 0;
    window.GetClientSize(cx, cy);
    LayoutControls(window, cx, cy);
}

// The radio mark of View > Channels.
static void CheckChannels(ViewerWindow &window)
{
    window.CheckMenuItem(static_cast<Command>(static_cast<int>(CmdChannelsRgba) + viewer.textureChannels), true);
}

void InitMainDialog(ViewerWindow &window)
{
    viewer.mainDialog = &window;
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
    CheckChannels(window);

    App_LayoutToClient(window);
    App_RefreshCommands(window);
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
    const WindowLayout layout =
        Layout_Compute(cx, cy, surfaces && window.ControlExists(IdSurfaceList) && window.ControlExists(IdSurfaceLabel),
                       viewer.listWidening);

    // The sash's widening comes out of the pane's width.
    App_WidenList(window, layout.widening);
    if (window.ControlExists(IdGlView))
        window.ResizeControl(IdGlView, layout.paneWidth, layout.paneHeight);
    if (window.ControlExists(IdTextView))
        window.ResizeControl(IdTextView, layout.paneWidth, layout.paneHeight);
    if (window.ControlExists(IdHexView))
        window.ResizeControl(IdHexView, layout.paneWidth, layout.paneHeight);
    if (window.ControlExists(IdSoundBar))
        window.ResizeControl(IdSoundBar, layout.paneWidth, window.GetControlRect(IdSoundBar).height);
    if (viewer.services.render.Init && window.ControlExists(IdGlView)) {
        ControlRect view = window.GetControlRect(IdGlView);
        viewer.services.render.Init(view.width, view.height);
    }

    int listHeight = layout.listHeight;
    if (layout.surfaces) {
        window.MoveControl(IdSurfaceList, 11, layout.surfaceListY);
        window.MoveControl(IdSurfaceLabel, 11, layout.surfaceLabelY);
    }
    // The find bar sits where the list's first lines were; the list gives up
    // that row while the bar is open and takes it back when it closes.
    if (window.ControlExists(IdFindBar) && window.ControlExists(IdEntryList)) {
        const ControlRect bar = window.GetControlRect(IdFindBar);
        const ControlRect list = window.GetControlRect(IdEntryList);
        const int top = viewer.findShown ? bar.y + bar.height + kFindBarGap : bar.y;
        if (list.y != top)
            window.MoveControl(IdEntryList, list.x, top);
        listHeight = std::max(listHeight - (top - bar.y), 8);
    }
    if (window.ControlExists(IdEntryList))
        window.ResizeControl(IdEntryList, window.GetControlRect(IdEntryList).width, listHeight);
    App_PlaceListSash(window, layout.paneHeight);
}

void RefreshViewChecks(ViewerWindow &window)
{
    // A View item shows the toggle of the first row it belongs to.
    for (int kind = 0; kind < KindCount; ++kind)
        if (*kResourceKinds[kind].viewLabel)
            window.CheckMenuItem(static_cast<Command>(kResourceKinds[kind].viewCommand), viewer.previewEnabled[kind]);
    window.CheckMenuItem(CmdViewSurfaces, viewer.showSurfaceList);
    window.CheckMenuItem(CmdViewModelMaterials, viewer.modelMaterialsEnabled);
    window.CheckMenuItem(CmdViewAsTree, viewer.asTree);
    window.CheckMenuItem(CmdViewLookEverywhere, viewer.lookEverywhere);
    // The current line is loaded and shown again under the new toggles.
    OnSelchangeEntryList(window);
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

void ShutdownViewer(ViewerWindow &window)
{
    ViewerServices &services = viewer.services;
    viewer.mainDialog = nullptr;
    viewer.preview.CurrentResource = {};
    if (viewer.preview.soundRecord && services.sound.ClearRecord)
        services.sound.ClearRecord(viewer.preview.soundRecord);
    viewer.preview.soundRecord = nullptr;
    if (services.sound.Shutdown)
        services.sound.Shutdown();
    if (viewer.preview.model) {
        if (services.model.Free)
            services.model.Free(viewer.preview.model);
        viewer.preview.model = nullptr;
    }
    window.StopFrameTimer();
    viewer.preview = PreviewState{};

    viewer.session.selectedEntry = -1;
    // The list and the hex view show what is about to be released.
    window.SetEntryLines({});
    window.SetHexBytes(nullptr);
    Pak_Release(viewer.session.mainPak);
    Pak_Release(viewer.session.globalPak);
    App_SetListOrder({});
    viewer.session.listedSlots.clear();

    App_ShowNoResource(window);
    window.SetStatusField(1, "");
    window.SetLabel(IdFileLabel, kNoFileLoaded);
    if (services.render.Release)
        services.render.Release();
}

void OnLeaveViewer(ViewerWindow &window, int command)
{
    if (!App_MayLeaveArchive(window))
        return;
    ShutdownViewer(window);
    window.EndMainDialog(command);
}

void OnEditFind(ViewerWindow &window)
{
    if (!viewer.findShown) {
        viewer.findShown = true;
        window.ShowControl(IdFindBar, true);
        App_LayoutToClient(window);
    }
    window.FocusFindBar();
}

void OnViewPreviewToggle(ViewerWindow &window, int command)
{
    // Each row of the item flips by itself, so rows that differ keep differing.
    bool flipped = false;
    for (int kind = 0; kind < KindCount; ++kind)
        if (kResourceKinds[kind].viewCommand == command) {
            viewer.previewEnabled[kind] = !viewer.previewEnabled[kind];
            flipped = true;
        }
    if (flipped)
        RefreshViewChecks(window);
}

void OnViewSurfaces(ViewerWindow &window)
{
    viewer.showSurfaceList = !viewer.showSurfaceList;
    App_LayoutToClient(window);
    RefreshViewChecks(window);
}

SceneSources App_SceneSources()
{
    SceneSources sources;
    sources.main = &viewer.session.mainPak;
    sources.global = &viewer.session.globalPak;
    sources.edits = &viewer.session.edits;
    if (viewer.session.folderMode && viewer.lookEverywhere)
        sources.elsewhere = &viewer.session.tree;
    sources.upload = viewer.services.render.UploadTexture;
    sources.materials = viewer.modelMaterialsEnabled;
    return sources;
}

std::vector<bool> App_SelectedSurfaceRows(const ViewerWindow &window)
{
    std::vector<bool> selected;
    if (const Model *model = viewer.preview.model)
        for (size_t i = 0; i < model->surfaces.size(); ++i)
            selected.push_back(window.IsSurfaceRowSelected(static_cast<int>(i)));
    return selected;
}

void App_ShowSurfaceRows(const std::vector<std::string> &rows)
{
    if (!viewer.mainDialog || !viewer.showSurfaceList)
        return;
    for (const std::string &row : rows)
        viewer.mainDialog->AddSurfaceRow(row);
}

void OnViewModelMaterials(ViewerWindow &window)
{
    viewer.modelMaterialsEnabled = !viewer.modelMaterialsEnabled;
    RefreshViewChecks(window);
    // The selection has just released the model, so this finds none; the
    // next frame prepares it again with every surface shown.
    if (viewer.services.model.ApplySurfaceHiding)
        viewer.services.model.ApplySurfaceHiding(viewer.preview, App_SelectedSurfaceRows(window));
}

void OnViewChannels(ViewerWindow &window, int command)
{
    // Only the drawing changes: the slide and the loaded texture stay.
    viewer.textureChannels = static_cast<TextureChannels>(command - CmdChannelsRgba);
    CheckChannels(window);
    R_RequestRedraw();
}

void App_ViewCommand(int command)
{
    const ViewerServices &s = viewer.services;
    PreviewState &preview = viewer.preview;
    // Nothing to steer while the view is hidden or shows something else.
    if (viewer.viewHidden)
        return;
    if (preview.resourceKind == KindModel) {
        if (command == CmdViewFrameModel && s.model.Reframe)
            s.model.Reframe(preview);
        return;
    }
    if (preview.resourceKind != KindTexture)
        return;
    int32_t viewWidth = 1, viewHeight = 1;
    R_ViewSize(viewWidth, viewHeight);
    const float cx = viewWidth * 0.5f, cy = viewHeight * 0.5f;
    const int level = static_cast<int>(preview.textureMipLevel);
    switch (command) {
    case CmdViewZoomIn:
    case CmdViewZoomOut:
        if (s.render.ZoomTexture)
            s.render.ZoomTexture(preview, command == CmdViewZoomIn ? 1 : -1, cx, cy);
        break;
    case CmdViewActualSize:
        if (s.render.TextureActualSize)
            s.render.TextureActualSize(preview);
        break;
    case CmdViewFit:
        if (s.render.FitTexture)
            s.render.FitTexture(preview);
        break;
    case CmdViewMipLarger:
    case CmdViewMipSmaller:
        if (s.render.SetTextureMipLevel)
            s.render.SetTextureMipLevel(preview, command == CmdViewMipLarger ? level - 1 : level + 1);
        break;
    default:
        break;
    }
}

void App_OnViewWheel(int notches, int x, int y)
{
    const ViewerServices &s = viewer.services;
    if (viewer.viewHidden || notches == 0)
        return;
    if (viewer.preview.resourceKind == KindTexture && s.render.ZoomTexture)
        s.render.ZoomTexture(viewer.preview, notches, static_cast<float>(x), static_cast<float>(y));
    else if (viewer.preview.resourceKind == KindModel && s.render.WheelZoomModel)
        s.render.WheelZoomModel(viewer.preview, notches);
}
