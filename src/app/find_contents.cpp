// The find bar's "In contents": the find text looked for inside the entries
// by the gameset's search (the one quillon-cli grep runs) on a worker thread.
// The list shows the entries found so far, each with its first line that
// holds the text, and takes in more every so often until the search ends or
// is stopped. The window's thread never waits on the search but to stop it.
#include "app/find_contents.h"
#include "app/app_local.h"
#include "app/folder_mode.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// While results arrive, the list takes them in at most this often.
constexpr auto kShowEvery = std::chrono::milliseconds(250);
// Bytes of a found line shown beside its entry.
constexpr size_t kShownLine = 160;

struct FoundEntry {
    int32_t archive;  // its place in viewer.session.tree; -1 for the open archive
    int32_t slot;     // in that archive's index
    size_t line;      // the first line that holds the text, from 1
    std::string text;
};

// What the worker hands over, under the mutex; it outlives neither side.
struct Handover {
    std::mutex mutex;
    std::vector<FoundEntry> arrived;
    bool done = false;
    GamesetSearchSummary summary;
    std::atomic<bool> stop{false};
};

// What a search looked for and where: a change of any starts it again.
struct SearchKey {
    std::string text;
    int kind = -1;
    bool folder = false;
    std::string path;             // the open archive's file, or the folder
    const void *held = nullptr;   // its index (the folder's archives) as the viewer holds it now
    size_t count = 0;
    bool operator==(const SearchKey &) const = default;
};

// The toggle and the one search; lives as long as the program.
struct ContentsSearch {
    bool on = false;
    bool active = false;  // the list shows the search's entries
    SearchKey key;
    std::shared_ptr<Handover> handover;
    std::thread worker;
    bool running = false;  // started, and not yet said to be done
    GamesetSearchSummary summary;
    std::vector<FoundEntry> found;  // in list order of their archives, then entries
    bool unshown = false;           // found or ended since the list last took it in
    std::chrono::steady_clock::time_point lastShown;
    // One archive's lines: each found entry's line and its found text.
    std::string lineText;
    std::vector<uint32_t> lineAt;
    // Per archive of a folder, the line of each slot; empty until needed.
    std::vector<std::vector<int32_t>> lineOfSlot;

    ~ContentsSearch() { Join(); }
    void Join()
    {
        if (handover)
            handover->stop = true;
        if (worker.joinable())
            worker.join();
    }
};

ContentsSearch search;

SearchKey CurrentKey()
{
    SearchKey key;
    key.text = viewer.session.findText;
    key.kind = viewer.session.findKind;
    key.folder = viewer.session.folderMode;
    if (viewer.session.folderMode) {
        key.path = viewer.session.tree.folder;
        key.held = viewer.session.tree.archives.data();
        key.count = viewer.session.tree.archives.size();
    } else {
        key.path = viewer.session.mainPak.path;
        key.held = viewer.session.mainPak.entries.data();
        key.count = viewer.session.mainPak.entries.size();
    }
    return key;
}

// Ends the search (waiting for its worker) and forgets what it found.
void Forget()
{
    search.Join();
    search.handover.reset();
    search.running = false;
    search.found.clear();
    search.lineOfSlot.clear();
    search.summary = {};
    search.key = {};
}

void Start()
{
    Forget();
    search.key = CurrentKey();
    auto handover = std::make_shared<Handover>();
    search.handover = handover;
    search.unshown = true;

    GamesetSearchOptions options;
    options.text = viewer.session.findText;
    if (viewer.session.findKind >= 0)
        options.kinds = {static_cast<ResourceKind>(viewer.session.findKind)};
    options.firstLineOnly = true;
    // The window keeps a core to itself on a small machine.
    options.workers = std::max(1, std::min(4, static_cast<int>(std::thread::hardware_concurrency()) - 1));
    const bool folder = viewer.session.folderMode;
    std::vector<GamesetArchive> archives;
    PakArchive pak;  // one archive: its index as the list shows it, edits waiting included
    if (folder) {
        for (const TreeArchive &archive : viewer.session.tree.archives)
            archives.push_back(archive.file);
    } else {
        pak = viewer.session.mainPak;
        archives.push_back({viewer.session.mainPak.path, viewer.session.mainPak.baseName});
    }
    auto work = [handover, options, folder, archives = std::move(archives), pak = std::move(pak)]() mutable {
        options.stop = &handover->stop;
        auto hit = [&](const GamesetTextHit &h) {
            FoundEntry found{folder ? static_cast<int32_t>(&h.archive - archives.data()) : -1,
                             static_cast<int32_t>(&h.entry - h.pak.entries.data()), h.line, std::string(h.text)};
            std::lock_guard lock(handover->mutex);
            handover->arrived.push_back(std::move(found));
        };
        // Entries that cannot be read are counted in the summary; the list is no place for their messages.
        const GamesetSearchSummary summary = folder ? Gameset_Search(archives, options, hit, {})
                                                    : Gameset_SearchArchive(archives[0], pak, options, hit, {});
        std::lock_guard lock(handover->mutex);
        handover->summary = summary;
        handover->done = true;
    };
    try {
        search.worker = std::thread(std::move(work));
        search.running = true;
    } catch (const std::system_error &) {
        search.summary.troubles = 1;  // no thread to search on: said as trouble, nothing found
    }
}

// Takes in what the worker found and whether it ended.
void TakeIn()
{
    if (!search.handover)
        return;
    std::vector<FoundEntry> arrived;
    bool done = false;
    {
        std::lock_guard lock(search.handover->mutex);
        arrived.swap(search.handover->arrived);
        done = search.handover->done;
        if (done)
            search.summary = search.handover->summary;
    }
    if (!arrived.empty()) {
        search.unshown = true;
        for (FoundEntry &f : arrived)
            search.found.push_back(std::move(f));
    }
    if (done && search.running) {
        search.running = false;
        search.unshown = true;
        if (search.worker.joinable())
            search.worker.join();
    }
}

// The line of `slot` in the folder's archive `a`, reading its lines once; -1 when it has none.
int32_t LineOfSlot(size_t a, int32_t slot)
{
    if (a >= viewer.session.tree.archives.size() || slot < 0)
        return -1;
    if (search.lineOfSlot.size() != viewer.session.tree.archives.size())
        search.lineOfSlot.assign(viewer.session.tree.archives.size(), {});
    std::vector<int32_t> &lines = search.lineOfSlot[a];
    TreeArchive &archive = viewer.session.tree.archives[a];
    if (lines.empty() && ArchiveTree_ReadLines(archive)) {
        int top = 0;
        for (int s : archive.lines.slots)
            top = std::max(top, s + 1);
        lines.assign(static_cast<size_t>(top), -1);
        for (size_t i = 0; i < archive.lines.size(); ++i)
            lines[static_cast<size_t>(archive.lines.slots[i])] = static_cast<int32_t>(i);
    }
    return static_cast<size_t>(slot) < lines.size() ? lines[static_cast<size_t>(slot)] : -1;
}

// The found line beside its entry: control bytes as spaces, cut.
void AppendShown(std::string &text, std::string_view line)
{
    const size_t start = line.find_first_not_of(" \t");
    line = start == std::string_view::npos ? std::string_view() : line.substr(start);
    for (size_t i = 0; i < line.size() && i < kShownLine; ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        text += c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c);
    }
    if (line.size() > kShownLine)
        text += "...";
}

std::string StatusText(size_t listed)
{
    std::string text = listed == 0 ? std::string(search.running ? "searching the contents" : "no entry holds it")
                                   : std::to_string(listed) + (listed == 1 ? " entry holds it" : " entries hold it");
    if (search.running)
        text += listed == 0 ? "..." : " (searching...)";
    else if (search.summary.stopped)
        text += " (stopped)";
    if (search.summary.troubles > 0)
        text += "; " + std::to_string(search.summary.troubles) + " could not be read";
    return text;
}

void ShowStop(ViewerWindow &window)
{
    if (window.ControlExists(IdFindStop) && window.IsControlShown(IdFindStop) != search.running)
        window.ShowControl(IdFindStop, search.running);
}

// The list shows the entries found, keeping the selected one selected.
void Show(ViewerWindow &window)
{
    const bool folder = viewer.session.folderMode;
    const int previous = window.GetEntrySelection();
    int32_t keptArchive = -1, keptSlot = -1;
    bool hadSelection = false;
    if (folder && previous >= 0 && static_cast<size_t>(previous) < viewer.session.folderHits.size()) {
        const Session::FolderHit hit = viewer.session.folderHits[static_cast<size_t>(previous)];
        const TreeArchive &archive = viewer.session.tree.archives[static_cast<size_t>(hit.archive)];
        keptArchive = hit.archive;
        keptSlot = archive.lines.slots[static_cast<size_t>(hit.line)];
        hadSelection = true;
    } else if (!folder && previous >= 0 && static_cast<size_t>(previous) < viewer.session.listedSlots.size()) {
        keptSlot = viewer.session.listedSlots[static_cast<size_t>(previous)];
        hadSelection = true;
    }

    std::string &text = folder ? viewer.session.folderHitText : search.lineText;
    std::vector<uint32_t> &at = folder ? viewer.session.folderHitAt : search.lineAt;
    text.clear();
    at.clear();
    viewer.session.folderHits.clear();
    if (!folder)
        viewer.session.listedSlots.clear();
    int selectedLine = -1;
    for (const FoundEntry &f : search.found) {
        std::string_view name;
        int32_t line = -1;
        if (folder) {
            line = LineOfSlot(static_cast<size_t>(f.archive), f.slot);
            if (line < 0)
                continue;
            name = viewer.session.tree.archives[static_cast<size_t>(f.archive)].lines.Line(static_cast<size_t>(line));
        } else {
            if (static_cast<size_t>(f.slot) >= viewer.session.mainPak.entries.size())
                continue;
            name = viewer.session.mainPak.entries[static_cast<size_t>(f.slot)].displayName;
        }
        if (f.archive == keptArchive && f.slot == keptSlot)
            selectedLine = static_cast<int>(at.size());
        at.push_back(static_cast<uint32_t>(text.size()));
        if (folder) {
            viewer.session.folderHits.push_back({f.archive, line});
            text += viewer.session.tree.archives[static_cast<size_t>(f.archive)].file.name;
            text += ": ";
        } else {
            viewer.session.listedSlots.push_back(f.slot);
        }
        text += name;
        text += "    " + std::to_string(f.line) + ": ";
        AppendShown(text, f.text);
        text += '\0';
    }
    std::vector<const char *> lines;
    lines.reserve(at.size());
    for (uint32_t a : at)
        lines.push_back(text.data() + a);
    window.SetEntryLines(std::move(lines));
    window.SetStatusField(1, StatusText(at.size()));
    App_ShowTreeOrList(window);
    ShowStop(window);
    if (selectedLine >= 0)
        window.SetEntrySelection(selectedLine);
    else if (hadSelection)
        App_ClearSelection(window);  // the selected line left the list, and its preview goes with it
    search.unshown = false;
    search.lastShown = std::chrono::steady_clock::now();
}

bool Wanted()
{
    return search.on && !viewer.session.findText.empty() && (viewer.session.folderMode || viewer.session.mainPak.hasIndex);
}

}  // namespace

void App_SwitchContents(bool on, bool forget)
{
    search.on = on;
    if (forget)
        Forget();
}

bool App_ContentsFind(ViewerWindow &window)
{
    if (!Wanted()) {
        if (search.active || search.handover) {
            Forget();
            search.active = false;
            ShowStop(window);
        }
        return false;
    }
    if (!search.handover || !(CurrentKey() == search.key))
        Start();
    search.active = true;
    TakeIn();
    Show(window);
    return true;
}

ContentsTick App_ContinueContents(ViewerWindow &window)
{
    if (!search.active)
        return ContentsTick::Off;
    if (!Wanted())  // the archive or the folder went away
        return ContentsTick::Ended;
    TakeIn();
    if (search.unshown && std::chrono::steady_clock::now() - search.lastShown >= kShowEvery)
        Show(window);
    else if (search.unshown && !search.running)
        Show(window);  // the end is shown at once
    return ContentsTick::Listed;
}

void App_StopContents(ViewerWindow &window)
{
    if (!search.running)
        return;
    search.Join();
    TakeIn();
    if (search.active)
        Show(window);
    else
        ShowStop(window);
}

bool App_ContentsSelection(ViewerWindow &window, int &slot)
{
    if (!search.active || viewer.session.folderMode)
        return false;
    const int line = window.GetEntrySelection();
    slot = line >= 0 && static_cast<size_t>(line) < viewer.session.listedSlots.size()
               ? viewer.session.listedSlots[static_cast<size_t>(line)]
               : -1;
    return true;
}
