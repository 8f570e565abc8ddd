// Edit > "&Find...": the find bar narrows the entry list to the lines that
// contain its text (or whose entry name matches it as a glob) and whose entry
// is of its kind. The list stays a view of the sorted slots: narrowing walks
// them once and hands the list pointers to the lines, nothing is copied.
#include "app/app_local.h"
#include "app/main_dialog.h"

#include <chrono>
#include <cstring>
#include <string_view>

namespace {

// Classifying reads entries; a slice never keeps the window's thread longer than this.
constexpr auto kKindScanSlice = std::chrono::milliseconds(12);

constexpr int8_t kKindUnknownYet = -1;
constexpr int8_t kKindUnreadable = -2;

bool Listed(int slot, bool glob)
{
    const PakEntry &entry = viewer.mainPak.entries[static_cast<size_t>(slot)];
    if (viewer.findKind >= 0 && viewer.entryKinds[static_cast<size_t>(slot)] != viewer.findKind)
        return false;
    const std::string &text = viewer.findText;
    if (text.empty())
        return true;
    if (glob)
        return Pak_MatchGlob(text, std::string_view(entry.name, strnlen(entry.name, sizeof entry.name)));
    return Pak_ContainsText(std::string_view(entry.displayName, strnlen(entry.displayName, sizeof entry.displayName)),
                            text);
}

bool Narrowed()
{
    return !viewer.findText.empty() || viewer.findKind >= 0;
}

void ShowCount(ViewerWindow &window)
{
    std::string count;
    if (Narrowed()) {
        count = std::to_string(viewer.listedSlots.size()) + " of " + std::to_string(viewer.listOrder.size()) +
                " listed";
        if (viewer.findKind >= 0 && viewer.kindScanNext < viewer.listOrder.size())
            count += " (" + std::to_string(viewer.kindScanNext * 100 / viewer.listOrder.size()) + "% read)";
    }
    window.SetStatusField(1, count);
}

}  // namespace

const std::vector<int> &App_ListedSlots()
{
    return viewer.listedSlots;
}

void App_ApplyFind(ViewerWindow &window)
{
    const bool glob = Pak_IsGlob(viewer.findText);
    std::vector<int> &listed = viewer.listedSlots;
    listed.clear();
    if (viewer.entryKinds.size() != viewer.mainPak.entries.size())
        viewer.entryKinds.assign(viewer.mainPak.entries.size(), kKindUnknownYet);
    for (int slot : viewer.listOrder)
        if (Listed(slot, glob))
            listed.push_back(slot);

    std::vector<const char *> lines;
    lines.reserve(listed.size());
    int selectedLine = -1;
    for (int slot : listed) {
        if (slot == viewer.selectedEntry)
            selectedLine = static_cast<int>(lines.size());
        lines.push_back(viewer.mainPak.entries[static_cast<size_t>(slot)].displayName);
    }
    const bool hadSelection = window.GetEntrySelection() >= 0;
    window.SetEntryLines(std::move(lines));
    ShowCount(window);
    if (selectedLine >= 0)
        window.SetEntrySelection(selectedLine);
    else if (hadSelection)
        OnSelchangeEntryList(window);  // the selected line left the list, and its preview with it
}

void OnFindChanged(ViewerWindow &window, const std::string &text, int kind)
{
    viewer.findText = text;
    viewer.findKind = kind >= 0 && kind < KindCount ? kind : -1;
    App_ApplyFind(window);
}

void OnFindClose(ViewerWindow &window)
{
    viewer.findShown = false;
    viewer.findText.clear();
    viewer.findKind = -1;
    window.ResetFindBar();
    window.ShowControl(IdFindBar, false);
    App_LayoutToClient(window);
    App_ApplyFind(window);
    window.FocusEntryList();
}

void App_ContinueKindScan(ViewerWindow &window)
{
    if (viewer.findKind < 0 || viewer.kindScanNext >= viewer.listOrder.size() || !viewer.mainPak.hasIndex)
        return;
    if (viewer.entryKinds.size() != viewer.mainPak.entries.size())
        viewer.entryKinds.assign(viewer.mainPak.entries.size(), kKindUnknownYet);
    const auto end = std::chrono::steady_clock::now() + kKindScanSlice;
    std::vector<uint8_t> bytes;  // one buffer for the slice
    bool found = false;
    while (viewer.kindScanNext < viewer.listOrder.size() && std::chrono::steady_clock::now() < end) {
        const int slot = viewer.listOrder[viewer.kindScanNext++];
        int8_t &kind = viewer.entryKinds[static_cast<size_t>(slot)];
        if (kind != kKindUnknownYet)
            continue;
        const PakEntry &entry = viewer.mainPak.entries[static_cast<size_t>(slot)];
        // A file that cannot be read leaves its entries out of every kind.
        kind = Pak_LoadEntry(viewer.mainPak, entry, bytes) == PakLoadResult::Ok
                   ? static_cast<int8_t>(ClassifyResource(bytes))
                   : kKindUnreadable;
        found |= kind == viewer.findKind;
    }
    if (found)
        App_ApplyFind(window);
    else
        ShowCount(window);
}
