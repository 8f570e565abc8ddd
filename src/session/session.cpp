// The session's list, find, kind scan and edits. The list stays a view of
// the sorted slots: narrowing walks them once and the window is handed
// pointers to the lines, nothing is copied.
#include "session/session.h"
#include "resource/resource_kind.h"

#include <algorithm>
#include <string_view>

namespace {

// Line `i` of listOrder, tried with the find text read once.
bool Listed(const Session &s, size_t i, const PakFind &find)
{
    const int slot = s.listOrder[i];
    if (s.findKind >= 0 && s.entryKinds[static_cast<size_t>(slot)] != s.findKind)
        return false;
    const char *line = s.listText.data() + s.listTextAt[i];
    return Pak_FindMatches(find, std::string_view(line, s.listTextAt[i + 1] - s.listTextAt[i] - 1),
                           s.listNameLength[i]);
}

// Line `i` of a folder's archive, tried as Listed tries the list's.
bool FolderListed(Session &s, TreeArchive &archive, size_t i, const PakFind &find)
{
    if (!Pak_FindMatches(find, archive.lines.Line(i), archive.lines.nameLength[i]))
        return false;
    if (s.findKind < 0)
        return true;
    if (archive.kinds.size() != archive.lines.size())
        archive.kinds.assign(archive.lines.size(), kSessionKindUnknownYet);
    s.folderKindsPending |= archive.kinds[i] == kSessionKindUnknownYet;
    return archive.kinds[i] == s.findKind;
}

void KnowEveryEntry(Session &s)
{
    if (s.entryKinds.size() != s.mainPak.entries.size())
        s.entryKinds.assign(s.mainPak.entries.size(), kSessionKindUnknownYet);
}

}  // namespace

void Session_OpenArchive(Session &session, PakArchive opened)
{
    session.mainPak = std::move(opened);
    session.edits.undone.clear();  // Redo belongs to the archive it was done in
    session.otherEdits.clear();
    Session_SetListOrder(session, Pak_SortedLines(session.mainPak));
}

void Session_SetListOrder(Session &session, std::vector<int> order)
{
    EntryLines lines = Viewer_MakeLines(session.mainPak, std::move(order));
    session.listOrder = std::move(lines.slots);
    session.listText = std::move(lines.text);
    session.listTextAt = std::move(lines.at);
    session.listNameLength = std::move(lines.nameLength);
    session.entryKinds.assign(session.mainPak.entries.size(), kSessionKindUnknownYet);
    session.kindScanNext = 0;
}

bool Session_Narrowed(const Session &session)
{
    return !session.findText.empty() || session.findKind >= 0;
}

void Session_SetFind(Session &session, const std::string &text, int kind)
{
    session.findText = text;
    session.findKind = kind >= 0 && kind < KindCount ? kind : -1;
}

SessionChange Session_Find(Session &session, const std::string &text, int kind)
{
    Session_SetFind(session, text, kind);
    return Session_ApplyFind(session);
}

SessionChange Session_ApplyFind(Session &session)
{
    const PakFind find = Pak_CompileFind(session.findText);
    KnowEveryEntry(session);
    session.listedSlots.clear();
    bool selectedListed = false;
    for (size_t i = 0; i < session.listOrder.size(); ++i)
        if (Listed(session, i, find)) {
            session.listedSlots.push_back(session.listOrder[i]);
            selectedListed |= session.listOrder[i] == session.selectedEntry;
        }
    SessionChange change;
    change.lines = true;
    change.selectionLeft = !selectedListed;
    return change;
}

size_t Session_FindInFolder(Session &session, Session::FolderHit kept, int &keptAt)
{
    session.folderHits.clear();
    session.folderHitText.clear();
    session.folderHitAt.clear();
    session.folderKindsPending = false;
    session.folderScanArchive = session.folderScanLine = 0;
    keptAt = -1;
    size_t total = 0;
    if (!Session_Narrowed(session))
        return total;
    // The first find reads every archive's index once for its lines; later
    // ones only walk the lines.
    const PakFind find = Pak_CompileFind(session.findText);
    for (size_t a = 0; a < session.tree.archives.size(); ++a) {
        TreeArchive &archive = session.tree.archives[a];
        ArchiveTree_ReadLines(archive);
        total += archive.lines.size();
        for (size_t i = 0; i < archive.lines.size(); ++i) {
            if (!FolderListed(session, archive, i, find))
                continue;
            if (kept.archive == static_cast<int32_t>(a) && kept.line == static_cast<int32_t>(i))
                keptAt = static_cast<int>(session.folderHits.size());
            session.folderHits.push_back({static_cast<int32_t>(a), static_cast<int32_t>(i)});
            session.folderHitAt.push_back(static_cast<uint32_t>(session.folderHitText.size()));
            session.folderHitText += archive.file.name;
            session.folderHitText += ": ";
            session.folderHitText += archive.lines.Line(i);
            session.folderHitText += '\0';
        }
    }
    return total;
}

std::vector<const char *> Session_ListedLines(const Session &session)
{
    // listedSlots follows listOrder, so one walk pairs them.
    std::vector<const char *> lines;
    lines.reserve(session.listedSlots.size());
    size_t next = 0;
    for (size_t i = 0; i < session.listOrder.size() && next < session.listedSlots.size(); ++i)
        if (session.listOrder[i] == session.listedSlots[next]) {
            lines.push_back(session.listText.data() + session.listTextAt[i]);
            ++next;
        }
    return lines;
}

int Session_ListedLine(const Session &session, int slot)
{
    for (size_t i = 0; i < session.listedSlots.size(); ++i)
        if (session.listedSlots[i] == slot)
            return static_cast<int>(i);
    return -1;
}

bool Session_KindsToScan(const Session &session)
{
    return session.findKind >= 0 && session.kindScanNext < session.listOrder.size() && session.mainPak.hasIndex;
}

bool Session_ScanKinds(Session &session, std::chrono::steady_clock::time_point deadline)
{
    if (!Session_KindsToScan(session))
        return false;
    KnowEveryEntry(session);
    bool found = false;
    std::vector<uint8_t> bytes;  // one buffer and one open file at a time for the slice
    PakOpenFile open;
    while (session.kindScanNext < session.listOrder.size() && std::chrono::steady_clock::now() < deadline) {
        const int slot = session.listOrder[session.kindScanNext++];
        int8_t &kind = session.entryKinds[static_cast<size_t>(slot)];
        if (kind != kSessionKindUnknownYet)
            continue;
        const PakEntry &entry = session.mainPak.entries[static_cast<size_t>(slot)];
        // A file that cannot be read leaves its entries out of every kind.
        kind = Pak_LoadEntry(session.mainPak, entry, bytes, nullptr, open) == PakLoadResult::Ok
                   ? static_cast<int8_t>(ClassifyResource(bytes))
                   : kSessionKindUnreadable;
        found |= kind == session.findKind;
    }
    return found;
}

void Session_ShowEdits(Session &session, int select)
{
    session.selectedEntry = select >= 0 ? select : session.selectedEntry;
    Edits_ApplyToView(session.edits, session.mainPak);
    // A folder's lines are the tree's; the list order is one archive's.
    if (session.folderMode) {
        session.entryKinds.assign(session.mainPak.entries.size(), kSessionKindUnknownYet);
        return;
    }
    Session_SetListOrder(session, Pak_SortedLines(session.mainPak));
    // The kind filter reads entries from disk; new resources are known already.
    for (const PendingEdit &edit : session.edits.log)
        if (edit.resource && static_cast<size_t>(edit.slot) < session.entryKinds.size())
            session.entryKinds[static_cast<size_t>(edit.slot)] = static_cast<int8_t>(ClassifyResource(*edit.resource));
}

int Session_Undo(Session &session)
{
    const bool added = Edits_Pending(session.edits) && session.edits.log.back().kind == EditKind::Add;
    const int32_t slot = Edits_Undo(session.edits);
    // The entry the edit touched comes back into view, unless it goes away with it.
    return slot < 0 ? kSessionNothingDone : added ? -1 : slot;
}

int Session_Redo(Session &session)
{
    const bool removed =
        !session.edits.undone.empty() && session.edits.undone.back().front().kind == EditKind::Remove;
    const int32_t slot = Edits_Redo(session.edits, session.mainPak);
    // The entry comes into view again, unless the edit takes it away.
    return slot < 0 ? kSessionNothingDone : removed ? -1 : slot;
}

void Session_SwitchArchive(Session &session, PakArchive opened)
{
    if (session.mainPak.path == opened.path && session.mainPak.hasIndex)
        return;
    if (session.mainPak.hasIndex && (Edits_Pending(session.edits) || !session.edits.undone.empty()))
        session.otherEdits[session.mainPak.path] = std::move(session.edits);
    session.edits = ArchiveEdits{};
    session.mainPak = std::move(opened);
    const auto waiting = session.otherEdits.find(session.mainPak.path);
    if (waiting != session.otherEdits.end()) {
        session.edits = std::move(waiting->second);
        session.otherEdits.erase(waiting);
        // The archive as the edits leave it, as it was shown when it was left.
        if (Edits_Pending(session.edits))
            Edits_ApplyToView(session.edits, session.mainPak);
    }
    session.entryKinds.assign(session.mainPak.entries.size(), kSessionKindUnknownYet);
}

const ArchiveEdits *Session_EditsOf(const Session &session, const std::string &path)
{
    if (session.mainPak.hasIndex && session.mainPak.path == path)
        return &session.edits;
    const auto found = session.otherEdits.find(path);
    return found == session.otherEdits.end() ? nullptr : &found->second;
}

std::vector<std::string> Session_EditedArchives(const Session &session)
{
    std::vector<std::string> paths;
    if (Edits_Pending(session.edits))
        paths.push_back(session.mainPak.path);
    for (const auto &[path, edits] : session.otherEdits)
        if (Edits_Pending(edits) && path != session.mainPak.path)
            paths.push_back(path);
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool Session_AnyEdits(const Session &session)
{
    return !Session_EditedArchives(session).empty();
}

void Session_DropOtherEdits(Session &session)
{
    session.otherEdits.clear();
}
