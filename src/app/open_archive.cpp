// File > Open: choose an entry-point archive, check it, and make it the open
// archive with its entry list. A refused file changes nothing.
#include "app/app_local.h"
#include "app/app_texts.h"
#include "app/main_dialog.h"

void OnFileOpen(ViewerWindow &window)
{
    FileDialogRequest request;
    request.filter = FileDialogFilter(kPakFilter);
    std::string path;
    if (!window.AskFileName(request, path))
        return;
    OpenMainArchive(window, path);
}

bool OpenMainArchive(ViewerWindow &window, const std::string &path)
{
    PakArchive opened;
    const PakOpenResult result = Pak_OpenArchive(path, opened);
    if (result != PakOpenResult::Ok) {
        window.ShowMessage(Pak_OpenMessage(result));
        return false;
    }

    viewer.selectedEntry = -1;
    window.SetLabel(IdInfoLine, kNoResourceSelected);

    App_ReleasePreview();
    viewer.viewHidden = true;
    window.ShowControl(IdGlView, false);
    window.ShowControl(IdTextView, false);
    window.ShowControl(IdPlayOnClick, false);
    App_GrayExportItems(window);
    App_LayoutToClient(window);

    const size_t sep = path.find_last_of("\\/");
    window.SetLabel(IdFileLabel, sep == std::string::npos ? path : path.substr(sep + 1));

    // The list points into the index: empty it before the index is replaced.
    window.SetEntryLines({});
    viewer.mainPak = std::move(opened);

    std::vector<const char *> lines;
    const std::vector<int> order = Pak_SortedLines(viewer.mainPak);
    lines.reserve(order.size());
    for (int slot : order)
        lines.push_back(viewer.mainPak.entries[static_cast<size_t>(slot)].displayName);
    window.SetEntryLines(std::move(lines));
    window.EnableMenuItem(CmdExportAll, true);
    window.EnableMenuItem(CmdExportListed, true);
    return true;
}
