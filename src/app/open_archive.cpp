// File > Open and File > "Open &Folder...": choose an entry-point archive or a
// folder of them, check it, and, once the waiting edits are saved or dropped,
// make it the open thing with its entry list. A refused file changes nothing.
#include "app/app_local.h"
#include "app/app_texts.h"
#include "app/folder_mode.h"
#include "app/edit_commands.h"
#include "app/exports.h"
#include "app/find.h"
#include "app/open_archive.h"

void OnFileOpen(ViewerWindow &window)
{
    FileDialogRequest request;
    request.filter = FileDialogFilter(kPakFilter);
    request.archive = true;
    std::string path;
    if (!window.AskFileName(request, path))
        return;
    OpenMainArchive(window, path);
}

bool OpenMainArchive(ViewerWindow &window, const std::string &path)
{
    PakArchive opened;
    if (!App_ReadArchive(window, path, opened))
        return false;
    if (!App_MayLeaveArchive(window))
        return false;
    App_ShowArchive(window, path, std::move(opened));
    return true;
}

void OnFileOpenFolder(ViewerWindow &window)
{
    std::string path;
    if (window.AskFolderName(path))
        App_OpenFolder(window, path);
}

bool App_OpenFolder(ViewerWindow &window, const std::string &path)
{
    ArchiveTree tree;
    std::string error;
    if (!ArchiveTree_OpenFolder(path, tree, error)) {
        window.ShowMessage(error);
        return false;
    }
    if (tree.archives.empty()) {
        window.ShowMessage("The folder '" + path + "' holds no entry-point archive (*.pak files that start \"PAK_\").");
        return false;
    }

    // The open archive is replaced from here on: its edits are saved or dropped first.
    if (!App_MayLeaveArchive(window))
        return false;
    App_ClearSelection(window);
    window.SetEntryLines({});
    Pak_Release(viewer.session.mainPak);
    // The folder's own GLOBAL.PAK answers its archives' lookups, not one
    // loaded for another folder.
    Pak_Release(viewer.session.globalPak);
    App_SetListOrder({});
    Session_DropOtherEdits(viewer.session);
    viewer.session.tree = std::move(tree);
    viewer.session.folderMode = true;
    viewer.treeView = true;

    window.ResetEntryTree();
    App_ShowOpened(window, path);
    return true;
}
