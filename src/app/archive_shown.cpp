// An archive read and made the open one, its list shown through the find:
// the low steps of File > Open that the save's read-back shares.
#include "app/app_local.h"
#include "app/command_refresh.h"
#include "app/find.h"
#include "app/folder_mode.h"
#include "app/preview_pane.h"

bool App_ReadArchive(ViewerWindow &window, const std::string &path, PakArchive &opened)
{
    const PakOpenResult result = Pak_OpenArchive(path, opened);
    if (result != PakOpenResult::Ok) {
        window.ShowMessage(Pak_OpenMessage(result));
        return false;
    }
    return true;
}

void App_ShowArchive(ViewerWindow &window, const std::string &path, PakArchive opened)
{
    App_ClearSelection(window);

    // The list points into the index: empty it before the index is replaced.
    window.SetEntryLines({});
    Session_OpenArchive(viewer.session, std::move(opened));
    App_NoteArchiveOpened(window);
    App_ShowOpened(window, path);
}

void App_ShowOpened(ViewerWindow &window, const std::string &path)
{
    std::string shown = path;
    while (shown.size() > 1 && (shown.back() == '/' || shown.back() == '\\'))
        shown.pop_back();  // a folder's name may end in its separator
    const size_t sep = shown.find_last_of("\\/");
    window.SetLabel(IdFileLabel, sep == std::string::npos ? shown : shown.substr(sep + 1));
    // The find bar, when it narrows the list, narrows the new one too.
    App_ApplyFind(window);
    window.NoteOpenedArchive(path);
    App_RefreshCommands(window);
}
