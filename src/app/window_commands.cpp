// The window's own commands: File > "E&xit" with the shut-down, Edit >
// "&Find...", the View menu's toggles and channels, and steering the view.
#include "app/window_commands.h"
#include "app/app_local.h"
#include "app/app_texts.h"
#include "app/edit_commands.h"
#include "app/find.h"
#include "app/folder_mode.h"
#include "app/list_width.h"
#include "app/selection.h"
#include "render/render.h"

void App_CheckChannels(ViewerWindow &window)
{
    window.CheckMenuItem(static_cast<Command>(static_cast<int>(CmdChannelsRgba) + viewer.textureChannels), true);
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
    App_CheckChannels(window);
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

void OnViewAsTree(ViewerWindow &window)
{
    viewer.asTree = !viewer.asTree;
    window.CheckMenuItem(CmdViewAsTree, viewer.asTree);
    // A folder is always a tree; the choice is for one archive.
    if (viewer.session.folderMode || !viewer.session.mainPak.hasIndex)
        return;
    // The preview stays; the list keeps its line selected.
    App_NoteArchiveOpened(window);
    App_ApplyFind(window);
}

void OnViewLookEverywhere(ViewerWindow &window)
{
    viewer.lookEverywhere = !viewer.lookEverywhere;
    window.CheckMenuItem(CmdViewLookEverywhere, viewer.lookEverywhere);
    // The selected model finds its materials again under the new rule.
    if (viewer.session.folderMode && viewer.preview.resourceKind == KindModel)
        OnSelchangeEntryList(window);
}
