// The window's command rows: menu, keys, handler and when each is offered.
#include "app/command_table.h"
#include "app/app_local.h"
#include "app/folder_mode.h"
#include "app/find_contents.h"
#include "app/batch_export.h"
#include "app/edit_commands.h"
#include "app/exports.h"
#include "app/open_archive.h"
#include "app/preview_bars.h"
#include "app/window_commands.h"
#include "app/outside_edits.h"

namespace {

using K = CommandKind;
using M = AppMenu;
using A = KeyArea;

// A handler that needs only the window.
template <void (*Handler)(ViewerWindow &)>
void Run(ViewerWindow &window, int)
{
    Handler(window);
}

// ---- when a row is offered ----

bool Loaded()
{
    return !viewer.preview.CurrentResource.empty();
}

bool InterpretedOffered()
{
    return Loaded() && Export_InterpretedOffered(viewer.preview.resourceKind);
}

template <ResourceKind Kind>
bool LoadedKind()
{
    return Loaded() && viewer.preview.resourceKind == Kind;
}

// In folder mode the archive of the entry selected last: its edits wait
// beside the other archives' while another is selected.
bool EditableArchive()
{
    return viewer.session.mainPak.hasIndex;
}

bool EditableEntry()
{
    return EditableArchive() && viewer.session.selectedEntry >= 0 &&
           static_cast<size_t>(viewer.session.selectedEntry) < viewer.session.mainPak.entries.size();
}

bool CanUndo()
{
    return Edits_Pending(viewer.session.edits);
}

bool CanRedo()
{
    return !viewer.session.edits.undone.empty();
}

bool CanSave()
{
    return Session_AnyEdits(viewer.session);
}

// The batch exports read the archive on disk, which the edits have not reached yet.
bool CanExportBatch()
{
    return (viewer.session.mainPak.hasIndex || viewer.session.folderMode) && !Session_AnyEdits(viewer.session);
}

// ---- handlers that only adapt ----

void RunExportForm(ViewerWindow &window, int command)
{
    Export_AsForm(window, static_cast<Command>(command));
}

void RunExportBatch(ViewerWindow &window, int command)
{
    OnExportBatch(window, command == CmdExportListed);
}

void RunDump(ViewerWindow &window, int)
{
    window.RunDumpDialog();
}

void RunAbout(ViewerWindow &window, int)
{
    window.RunAboutBox();
}

void RunViewCommand(ViewerWindow &, int command)
{
    App_ViewCommand(command);
}

void RunSoundReplay(ViewerWindow &, int)
{
    App_ReplaySound();
}

void RunStopAllSounds(ViewerWindow &, int)
{
    App_StopAllSounds();
}

// F1 is taken so that it opens nothing.
void RunNothing(ViewerWindow &, int) {}

void RunWindowOwn(ViewerWindow &window, int command)
{
    window.RunWindowCommand(command);
}

constexpr CommandRow Menu(const char *label, AppMenu in, AppMenu opens)
{
    return {0, label, K::Submenu, "", in, opens};
}

constexpr CommandRow Separator(AppMenu in)
{
    return {0, "", K::Separator, "", in};
}

// The View item that toggles the preview of `kind`, and of the kinds that share its item.
constexpr CommandRow PreviewToggle(ResourceKind kind)
{
    const ResourceKindInfo &row = kResourceKinds[kind];
    return {row.viewCommand, row.viewLabel, K::Check, "", M::View, {}, OnViewPreviewToggle};
}

static_assert(PreviewToggle(KindModel).id == CmdViewModels && PreviewToggle(KindTexture).id == CmdViewTextures &&
                  PreviewToggle(KindMaterial).id == CmdViewMaterials && PreviewToggle(KindXml).id == CmdViewXml &&
                  PreviewToggle(KindUnknown).id == CmdViewOther,
              "the kind rows name the View items by the window's ids");

constexpr CommandRow kCommands[] = {
    Menu("&File", M::Bar, M::File),
    Menu("E&dit", M::Bar, M::Edit),
    Menu("&Export", M::Bar, M::Export),
    Menu("&View", M::Bar, M::View),
    Menu("&Sound", M::Bar, M::Sound),
    Menu("&Help", M::Bar, M::Help),

    {CmdFileOpen, "&Open", K::Item, "Ctrl+O", M::File, {}, Run<OnFileOpen>},
    {CmdFileOpenFolder, "Open &Folder...", K::Item, "Ctrl+Shift+O", M::File, {}, Run<OnFileOpenFolder>},
    Menu("Open &Recent", M::File, M::Recent),
    Separator(M::File),
    {CmdFileSave, "&Save", K::Item, "Ctrl+S", M::File, {}, Run<OnFileSave>, CanSave},
    {CmdFileSaveAs, "Save &As...", K::Item, "", M::File, {}, Run<OnFileSaveAs>, EditableArchive},
    {CmdFileMods, "&Mods...", K::Item, "", M::File, {}, RunWindowOwn},
    Separator(M::File),
    {CmdExit, "E&xit", K::Item, "", M::File, {}, OnLeaveViewer},

    {CmdEditFind, "&Find...", K::Item, "Ctrl+F", M::Edit, {}, Run<OnEditFind>},
    {CmdEditUsedBy, "Used &By...", K::Item, "Ctrl+U", M::Edit, {}, Run<App_UsedBy>},
    // Edits of the archive, waiting for File > Save.
    Separator(M::Edit),
    {CmdEditReplace, "&Replace...", K::Item, "", M::Edit, {}, Run<OnEditReplace>, EditableEntry},
    {CmdEditAddFiles, "&Add Files...", K::Item, "", M::Edit, {}, Run<OnEditAddFiles>, EditableArchive},
    {CmdEditRemove, "Re&move", K::Item, "", M::Edit, {}, Run<OnEditRemove>, EditableEntry},
    {CmdEditRename, "Re&name...", K::Item, "", M::Edit, {}, Run<OnEditRename>, EditableEntry},
    Separator(M::Edit),
    {CmdEditUndo, "&Undo", K::Item, "Ctrl+Z", M::Edit, {}, Run<OnEditUndo>, CanUndo},
    {CmdEditRedo, "Re&do", K::Item, "Ctrl+Y", M::Edit, {}, Run<OnEditRedo>, CanRedo},
    Separator(M::Edit),
    {CmdEditCopy, "&Copy", K::Item, "Ctrl+C", M::Edit, {}, RunWindowOwn, App_OutsideOffered},
    {CmdEditPaste, "&Paste", K::Item, "Ctrl+V", M::Edit, {}, RunWindowOwn, App_PasteOffered},
    {CmdEditExternally, "Edit E&xternally", K::Item, "Ctrl+E", M::Edit, {}, RunWindowOwn, App_OutsideOffered},
    Separator(M::Edit),
    {CmdEditPreferences, "Pr&eferences...", K::Item, "", M::Edit, {}, RunWindowOwn},

    {CmdExportRaw, "&Raw (F2)", K::Item, "", M::Export, {}, Run<OnExportRaw>, Loaded},
    {CmdExportInterpreted, "&Interpreted (F3)", K::Item, "", M::Export, {}, Run<Export_Interpreted>,
     InterpretedOffered},
    {CmdExportDump, "&Binary-Text Dump", K::Item, "", M::Export, {}, RunDump, Loaded},
    {CmdExportPng, "As &PNG...", K::Item, "", M::Export, {}, RunExportForm, LoadedKind<KindTexture>},
    {CmdExportGltf, "As gl&TF...", K::Item, "", M::Export, {}, RunExportForm, LoadedKind<KindModel>},
    {CmdExportObjMtl, "As OBJ with &materials...", K::Item, "", M::Export, {}, RunExportForm, LoadedKind<KindModel>},
    {CmdExportWav, "As &WAV...", K::Item, "", M::Export, {}, RunExportForm, LoadedKind<KindOggVorbis>},
    Separator(M::Export),
    {CmdExportAll, "Export &All...", K::Item, "", M::Export, {}, RunExportBatch, CanExportBatch},
    {CmdExportListed, "Export &Listed...", K::Item, "", M::Export, {}, RunExportBatch, CanExportBatch},

    PreviewToggle(KindModel),
    {CmdViewModelMaterials, "Mod&el materials", K::Check, "", M::View, {}, Run<OnViewModelMaterials>},
    {CmdViewSurfaces, "Model &surfaces", K::Check, "", M::View, {}, Run<OnViewSurfaces>},
    Separator(M::View),
    PreviewToggle(KindTexture),
    PreviewToggle(KindMaterial),
    PreviewToggle(KindXml),
    PreviewToggle(KindUnknown),
    Separator(M::View),
    Menu("&Channels", M::View, M::Channels),
    Separator(M::View),
    {CmdViewZoomIn, "Zoom &In", K::Item, "Ctrl++", M::View, {}, RunViewCommand},
    {CmdViewZoomOut, "Zoom O&ut", K::Item, "Ctrl+-", M::View, {}, RunViewCommand},
    {CmdViewActualSize, "Actual Si&ze", K::Item, "Ctrl+0", M::View, {}, RunViewCommand},
    {CmdViewFit, "&Fit", K::Item, "Ctrl+9", M::View, {}, RunViewCommand},
    // Plain keys where they type nothing; letters are the lines' type-ahead,
    // so F frames the model only from the view itself.
    {CmdViewMipLarger, "&Larger Mip Level ([)", K::Item, "", M::View, {}, RunViewCommand, nullptr, "[", A::Lines},
    {CmdViewMipSmaller, "Smaller Mip Le&vel (])", K::Item, "", M::View, {}, RunViewCommand, nullptr, "]", A::Lines},
    {CmdViewFrameModel, "Frame Mo&del (F in the view)", K::Item, "", M::View, {}, RunViewCommand, nullptr, "F",
     A::View},
    Separator(M::View),
    {CmdViewSaveImage, "Save View As &PNG...", K::Item, "", M::View, {}, Run<App_SaveViewImage>},
    Separator(M::View),
    {CmdViewAsTree, "As T&ree", K::Check, "", M::View, {}, Run<OnViewAsTree>},
    {CmdViewLookEverywhere, "Loo&k in every archive", K::Check, "", M::View, {}, Run<OnViewLookEverywhere>},
    {CmdViewAsGallery, "As &Gallery", K::Check, "Ctrl+G", M::View, {}, RunWindowOwn},
    Menu("T&humbnail Size", M::View, M::Thumbs),

    {CmdViewThumbs64, "&64 Pixels", K::Radio, "", M::Thumbs, {}, RunWindowOwn},
    {CmdViewThumbs128, "&128 Pixels", K::Radio, "", M::Thumbs, {}, RunWindowOwn},
    {CmdViewThumbs256, "&256 Pixels", K::Radio, "", M::Thumbs, {}, RunWindowOwn},

    {CmdChannelsRgba, "RGB&A", K::Radio, "", M::Channels, {}, OnViewChannels},
    {CmdChannelsRed, "&R", K::Radio, "", M::Channels, {}, OnViewChannels},
    {CmdChannelsGreen, "&G", K::Radio, "", M::Channels, {}, OnViewChannels},
    {CmdChannelsBlue, "&B", K::Radio, "", M::Channels, {}, OnViewChannels},
    {CmdChannelsAlpha, "A&lpha as grey", K::Radio, "", M::Channels, {}, OnViewChannels},
    {CmdChannelsChecker, "RGB over &checkerboard", K::Radio, "", M::Channels, {}, OnViewChannels},

    // Plain keys where a space types nothing.
    {CmdSoundReplay, "&Play Again (Space)", K::Item, "", M::Sound, {}, RunSoundReplay, nullptr, "Space", A::Lines},
    {CmdSoundStopAll, "&Stop All Sounds (Shift+Space)", K::Item, "", M::Sound, {}, RunStopAllSounds, nullptr,
     "Shift+Space", A::Lines},

    {CmdAbout, "&About... (F1)", K::Item, "", M::Help, {}, RunAbout},

    // F2 and F3 act only while their menu item is not gray; F1 does nothing.
    {CmdAccelRaw, "", K::Accel, "F2", M::None, {}, Run<OnExportRaw>, Loaded},
    {CmdAccelInterpreted, "", K::Accel, "F3", M::None, {}, Run<Export_Interpreted>, InterpretedOffered},
    {CmdAccelHelp, "", K::Accel, "F1", M::None, {}, RunNothing},
    {CmdAccelRedo, "", K::Accel, "Ctrl+Shift+Z", M::None, {}, Run<OnEditRedo>, CanRedo},
    // The find bar takes Escape while it is shown (the window's key hook closes it first).
    {CmdCancel, "", K::WindowKey, "Escape", M::None, {}, OnLeaveViewer, nullptr, "Escape", A::Anywhere},
};

}  // namespace

std::span<const CommandRow> App_CommandTable()
{
    return kCommands;
}

const CommandRow *App_CommandRow(int id)
{
    for (const CommandRow &row : kCommands)
        if (id != 0 && row.id == id)
            return &row;
    return nullptr;
}

void OnCommand(ViewerWindow &window, int command)
{
    const CommandRow *row = App_CommandRow(command);
    if (!row || !row->run || (row->enabled && !row->enabled()))
        return;
    row->run(window, command);
    // Not after the window has ended.
    if (viewer.mainDialog == &window)
        App_RefreshCommandRows(window);
}

void App_RefreshCommandRows(ViewerWindow &window)
{
    for (const CommandRow &row : kCommands)
        if (row.enabled && row.menu != AppMenu::None)
            window.EnableMenuItem(static_cast<Command>(row.id), row.enabled());
}
