#include "app/command_table.h"

#include <wx/accel.h>
#include <wx/menu.h>

#include <vector>

namespace {

using K = CommandKind;
using M = AppMenu;

constexpr CommandRow kCommands[] = {
    {0, "&File", K::Submenu, "", M::Bar, M::File},
    {0, "E&dit", K::Submenu, "", M::Bar, M::Edit},
    {0, "&Export", K::Submenu, "", M::Bar, M::Export},
    {0, "&View", K::Submenu, "", M::Bar, M::View},
    {0, "&Sound", K::Submenu, "", M::Bar, M::Sound},
    {0, "&Help", K::Submenu, "", M::Bar, M::Help},

    {CmdFileOpen, "&Open", K::Item, "Ctrl+O", M::File},
    {CmdFileOpenFolder, "Open &Folder...", K::Item, "Ctrl+Shift+O", M::File},
    {0, "Open &Recent", K::Submenu, "", M::File, M::Recent},
    {0, "", K::Separator, "", M::File},
    {CmdFileSave, "&Save", K::Item, "Ctrl+S", M::File},
    {CmdFileSaveAs, "Save &As...", K::Item, "", M::File},
    {0, "", K::Separator, "", M::File},
    {CmdExit, "E&xit", K::Item, "", M::File},

    {CmdEditFind, "&Find...", K::Item, "Ctrl+F", M::Edit},
    // Edits of the archive, waiting for File > Save.
    {0, "", K::Separator, "", M::Edit},
    {CmdEditReplace, "&Replace...", K::Item, "", M::Edit},
    {CmdEditAddFiles, "&Add Files...", K::Item, "", M::Edit},
    {CmdEditRemove, "Re&move", K::Item, "", M::Edit},
    {CmdEditRename, "Re&name...", K::Item, "", M::Edit},
    {0, "", K::Separator, "", M::Edit},
    {CmdEditUndo, "&Undo", K::Item, "Ctrl+Z", M::Edit},
    {CmdEditRedo, "Re&do", K::Item, "Ctrl+Y", M::Edit},

    {CmdExportRaw, "&Raw (F2)", K::Item, "", M::Export},
    {CmdExportInterpreted, "&Interpreted (F3)", K::Item, "", M::Export},
    {CmdExportDump, "&Binary-Text Dump", K::Item, "", M::Export},
    {CmdExportPng, "As &PNG...", K::Item, "", M::Export},
    {CmdExportGltf, "As gl&TF...", K::Item, "", M::Export},
    {CmdExportObjMtl, "As OBJ with &materials...", K::Item, "", M::Export},
    {CmdExportWav, "As &WAV...", K::Item, "", M::Export},
    {0, "", K::Separator, "", M::Export},
    {CmdExportAll, "Export &All...", K::Item, "", M::Export},
    {CmdExportListed, "Export &Listed...", K::Item, "", M::Export},

    {CmdViewModels, "&Models", K::Check, "", M::View},
    {CmdViewModelMaterials, "Mod&el materials", K::Check, "", M::View},
    {CmdViewSurfaces, "Model &surfaces", K::Check, "", M::View},
    {0, "", K::Separator, "", M::View},
    {CmdViewTextures, "&Textures", K::Check, "", M::View},
    {CmdViewMaterials, "M&aterials", K::Check, "", M::View},
    {CmdViewXml, "&XML", K::Check, "", M::View},
    {CmdViewOther, "&Other", K::Check, "", M::View},
    {0, "", K::Separator, "", M::View},
    {0, "&Channels", K::Submenu, "", M::View, M::Channels},
    {0, "", K::Separator, "", M::View},
    {CmdViewZoomIn, "Zoom &In", K::Item, "Ctrl++", M::View},
    {CmdViewZoomOut, "Zoom O&ut", K::Item, "Ctrl+-", M::View},
    {CmdViewActualSize, "Actual Si&ze", K::Item, "Ctrl+0", M::View},
    {CmdViewFit, "&Fit", K::Item, "Ctrl+9", M::View},
    // Plain keys, read by the window's key hook where they type nothing.
    {CmdViewMipLarger, "&Larger Mip Level ([)", K::Item, "", M::View},
    {CmdViewMipSmaller, "Smaller Mip Le&vel (])", K::Item, "", M::View},
    {CmdViewFrameModel, "Frame Mo&del (F in the view)", K::Item, "", M::View},
    {0, "", K::Separator, "", M::View},
    {CmdViewSaveImage, "Save View As &PNG...", K::Item, "", M::View},
    {0, "", K::Separator, "", M::View},
    {CmdViewAsTree, "As T&ree", K::Check, "", M::View},
    {CmdViewLookEverywhere, "Loo&k in every archive", K::Check, "", M::View},
    {CmdViewAsGallery, "As &Gallery", K::Check, "Ctrl+G", M::View},
    {0, "T&humbnail Size", K::Submenu, "", M::View, M::Thumbs},

    {CmdViewThumbs64, "&64 Pixels", K::Radio, "", M::Thumbs},
    {CmdViewThumbs128, "&128 Pixels", K::Radio, "", M::Thumbs},
    {CmdViewThumbs256, "&256 Pixels", K::Radio, "", M::Thumbs},

    {CmdChannelsRgba, "RGB&A", K::Radio, "", M::Channels},
    {CmdChannelsRed, "&R", K::Radio, "", M::Channels},
    {CmdChannelsGreen, "&G", K::Radio, "", M::Channels},
    {CmdChannelsBlue, "&B", K::Radio, "", M::Channels},
    {CmdChannelsAlpha, "A&lpha as grey", K::Radio, "", M::Channels},
    {CmdChannelsChecker, "RGB over &checkerboard", K::Radio, "", M::Channels},

    // Plain keys, read by the window's key hook where a space types nothing.
    {CmdSoundReplay, "&Play Again (Space)", K::Item, "", M::Sound},
    {CmdSoundStopAll, "&Stop All Sounds (Shift+Space)", K::Item, "", M::Sound},

    {CmdAbout, "&About... (F1)", K::Item, "", M::Help},

    // F2 and F3 act only while their menu item is not gray; F1 does nothing.
    {CmdAccelRaw, "", K::Accel, "F2", M::None},
    {CmdAccelInterpreted, "", K::Accel, "F3", M::None},
    {CmdAccelHelp, "", K::Accel, "F1", M::None},
    {CmdAccelRedo, "", K::Accel, "Ctrl+Shift+Z", M::None},
    // Read by the window's key hook: the find bar takes Escape while it is shown.
    {CmdCancel, "", K::WindowKey, "Escape", M::None},
};

// Below wx's limit of 0x7FFF and clear of its stock ids.
constexpr int kFirstWxId = wxID_HIGHEST + 1;

bool IsCommand(const CommandRow &row)
{
    return row.id != 0;
}

}  // namespace

std::span<const CommandRow> App_CommandTable()
{
    return kCommands;
}

int Command_ToWxId(int command)
{
    int wxId = kFirstWxId;
    for (const CommandRow &row : kCommands)
        if (IsCommand(row)) {
            if (row.id == command)
                return wxId;
            ++wxId;
        }
    return wxID_NONE;
}

int Command_FromWxId(int wxId)
{
    int at = kFirstWxId;
    for (const CommandRow &row : kCommands)
        if (IsCommand(row) && at++ == wxId)
            return row.id;
    return 0;
}

int App_FirstCommandWxId()
{
    return kFirstWxId;
}

int App_LastCommandWxId()
{
    int count = 0;
    for (const CommandRow &row : kCommands)
        count += IsCommand(row);
    return kFirstWxId + count - 1;
}

wxMenuBar *App_MakeMenuBar(wxMenu *recent, wxMenuItem *&recentItem)
{
    std::vector<wxMenu *> menus(static_cast<size_t>(AppMenu::Help) + 1, nullptr);
    auto menu = [&](AppMenu which) -> wxMenu *& { return menus[static_cast<size_t>(which)]; };
    menu(AppMenu::Recent) = recent;
    for (const CommandRow &row : kCommands)
        if (row.kind == CommandKind::Submenu && !menu(row.opens))
            menu(row.opens) = new wxMenu;

    auto *bar = new wxMenuBar;
    for (const CommandRow &row : kCommands) {
        if (row.menu == AppMenu::None)
            continue;
        if (row.menu == AppMenu::Bar) {
            bar->Append(menu(row.opens), row.label);
            continue;
        }
        wxMenu *into = menu(row.menu);
        wxString label = row.label;
        if (*row.key)
            label << '\t' << row.key;
        switch (row.kind) {
        case CommandKind::Separator: into->AppendSeparator(); break;
        case CommandKind::Submenu: {
            wxMenuItem *item = into->AppendSubMenu(menu(row.opens), label);
            if (row.opens == AppMenu::Recent)
                recentItem = item;
            break;
        }
        case CommandKind::Check: into->AppendCheckItem(Command_ToWxId(row.id), label); break;
        case CommandKind::Radio: into->AppendRadioItem(Command_ToWxId(row.id), label); break;
        default: into->Append(Command_ToWxId(row.id), label); break;
        }
    }
    return bar;
}

wxAcceleratorTable App_MakeAccelerators()
{
    std::vector<wxAcceleratorEntry> keys;
    for (const CommandRow &row : kCommands) {
        wxAcceleratorEntry key;
        if (row.kind == CommandKind::Accel && key.FromString(row.key)) {
            key.Set(key.GetFlags(), key.GetKeyCode(), Command_ToWxId(row.id));
            keys.push_back(key);
        }
    }
    return wxAcceleratorTable(static_cast<int>(keys.size()), keys.data());
}
