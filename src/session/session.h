// The session: the archive or folder open in the viewer, GLOBAL.PAK, the
// tree, the edits waiting for a save, the selected entry, and the list's
// lines as the find bar narrows them. No wx, GL or SDL: the window asks it,
// runs its operations, and redraws from what they say changed; the session
// never calls the window. Wiped when another archive or folder is opened.
#pragma once

#include "pak/pak.h"
#include "session/archive_edits.h"
#include "session/archive_tree.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct Session {
    // Archives and selection.
    PakArchive mainPak;          // the archive opened; in folder mode the archive of the entry selected last
    PakArchive globalPak;        // GLOBAL.PAK beside it, filled by the cross-archive lookup
    int32_t selectedEntry = -1;  // slot of mainPak, -1 when none
    // The edits until they are saved; while any wait, mainPak shows the
    // archive as a save would leave it.
    ArchiveEdits edits;
    // In folder mode, the edits of the folder's other archives, by path: they
    // wait there while another archive is mainPak, and come back with it.
    std::map<std::string, ArchiveEdits> otherEdits;

    // The list shows listedSlots, which is listOrder narrowed by the find text and kind.
    std::vector<int> listOrder;  // every stored slot of mainPak, in the list's order
    // The lines in listOrder's order, each ended by a NUL, back to back: the
    // list shows them and the find reads them without touching the slots.
    std::string listText;
    std::vector<uint32_t> listTextAt;     // where line i of listOrder starts in listText
    std::vector<uint8_t> listNameLength;  // characters of line i that are the entry's name
    std::vector<int> listedSlots;         // the slots of the lines the list shows now, in order
    std::vector<int8_t> entryKinds;  // per slot: its ResourceKind once classified, -1 before, -2 unreadable
    size_t kindScanNext = 0;         // position in listOrder where classifying for the kind filter goes on
    std::string findText;            // as typed: plain text, or a glob when it holds '*' or '?'
    int32_t findKind = -1;           // the ResourceKind lines are narrowed to; -1 for every kind

    // A folder of archives, and the tree in the list's place.
    bool folderMode = false;  // a folder is open, not one archive
    ArchiveTree tree;         // the folder's archives, or the one archive as a tree
    // The lines the find leaves in folder mode, "ARCHIVE.PAK: line", each
    // ended by a NUL, and the archive and line of each.
    struct FolderHit {
        int32_t archive;
        int32_t line;
    };
    std::vector<FolderHit> folderHits;
    std::string folderHitText;
    std::vector<uint32_t> folderHitAt;
    // The kind choice reads the entries the text finds a slice at a time:
    // where it goes on, and the index of the archive it reads.
    bool folderKindsPending = false;
    size_t folderScanArchive = 0, folderScanLine = 0;
    PakArchive folderScanPak;
};

constexpr int8_t kSessionKindUnknownYet = -1;
constexpr int8_t kSessionKindUnreadable = -2;

// What an operation changed, for the window to show.
struct SessionChange {
    bool lines = false;          // listedSlots is new: the list shows Session_ListedLines afresh
    bool selectionLeft = false;  // the selected entry is no longer listed
    bool edits = false;          // the waiting edits changed (the marks, the title's "*")
};

// Makes `opened` the open archive, its entries the list's lines in their
// order; the find stays as it was (Session_ApplyFind narrows the new lines).
// The window lets go of its lines first.
void Session_OpenArchive(Session &session, PakArchive opened);

// ---- the list and the find ----

// The list's order for mainPak as it stands (Pak_SortedLines), its lines' text
// kept together, every kind unknown. The window must let go of the lines it
// shows first: they point into the text replaced here.
void Session_SetListOrder(Session &session, std::vector<int> order);

// Whether the find text or kind narrows the lines.
bool Session_Narrowed(const Session &session);

// Narrows listedSlots to the lines that contain `text` (a glob of the
// entry's name when it holds '*' or '?') and whose entry is of `kind` (-1
// every kind; kinds not yet read are left out until Session_ScanKinds reads them).
SessionChange Session_Find(Session &session, const std::string &text, int kind);
// Only sets the find (the window narrows a folder's lines itself).
void Session_SetFind(Session &session, const std::string &text, int kind);
// The same with the find as it stands, after the lines changed.
SessionChange Session_ApplyFind(Session &session);

// In folder mode: folderHits and their text become the lines of every
// archive of the tree that the find leaves (an archive's index is read the
// first time); a kind not read yet leaves its line out and folderKindsPending
// set. The lines walked; `kept` is found again at `keptAt` (-1 when it left).
size_t Session_FindInFolder(Session &session, Session::FolderHit kept, int &keptAt);

// The listed lines, pointers into listText, in listedSlots' order.
std::vector<const char *> Session_ListedLines(const Session &session);
// The line of `slot` among the listed ones; -1 when it is not listed.
int Session_ListedLine(const Session &session, int slot);

// Whether the kind filter waits for entries not yet classified.
bool Session_KindsToScan(const Session &session);
// Classifies entries for the kind filter until `deadline`; true when it
// found entries of the find kind that the listed lines do not hold yet.
bool Session_ScanKinds(Session &session, std::chrono::steady_clock::time_point deadline);

// ---- edits ----

// The archive as the edits leave it: mainPak, the list's lines and the kinds
// of edited entries; `select` (a slot, -1 keeps the selection) becomes the
// selected entry. The window lets go of its lines first; Session_ApplyFind follows.
void Session_ShowEdits(Session &session, int select);

// Takes back the last command's edits, or puts back the last one taken
// back: the slot the window selects afterwards (-1 none), or -2 when there
// was nothing to undo or redo. Session_ShowEdits shows the outcome.
constexpr int kSessionNothingDone = -2;
int Session_Undo(Session &session);
int Session_Redo(Session &session);

// Makes `opened` (a folder's archive) mainPak: the edits of the archive
// left wait in otherEdits, and those of `opened` come back into the view.
void Session_SwitchArchive(Session &session, PakArchive opened);

// The edits of the archive at `path`: mainPak's, another's, or null.
const ArchiveEdits *Session_EditsOf(const Session &session, const std::string &path);

// The archives whose edits wait for a save, by path.
std::vector<std::string> Session_EditedArchives(const Session &session);
bool Session_AnyEdits(const Session &session);

// Drops every edit (mainPak's stay in `edits` until Session_ShowEdits shows
// their absence).
void Session_DropOtherEdits(Session &session);

// ---- saving ----

// What a save needs, taken from the session on the window's thread, so that
// the save can run on a worker without reading the session.
struct SessionSave {
    std::string path;    // the archive the edits were made in
    std::string output;  // empty: into the archive itself; otherwise a new set
    int32_t openedCount = 0;
    std::vector<EditedEntry> edited;
};
SessionSave Session_PrepareSave(const Session &session, const std::string &output);
// The same for the archive at `path`, mainPak or another of the folder, into itself.
SessionSave Session_PrepareSaveOf(const Session &session, const std::string &path);

struct SessionSaveOutcome {
    bool saved = false;
    size_t written = 0;  // entries written: the edited ones, or every one of a new set
    std::vector<std::string> notes;
    std::string error;   // why nothing was saved
};
// (done, total, name of the entry or file being written)
using SessionProgress = std::function<void(size_t, size_t, const std::string &)>;

// Opens the archive afresh under its lock, applies the edits and saves, or
// refuses with nothing written: when the archive changed on disk since it
// was opened, an edit fails, or `cancel` is set before the write.
SessionSaveOutcome Session_Save(const SessionSave &save, const SessionProgress &progress,
                                const std::atomic<bool> &cancel);
