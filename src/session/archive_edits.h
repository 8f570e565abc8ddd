// Edits of the open archive that wait for File > Save: the log the Edit menu
// writes (and Undo shortens), the archive as the window shows it meanwhile,
// and each edited entry as a save leaves it. Plain data over src/pak.
#pragma once

#include "pak/pak.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class EditKind : uint8_t { Replace, Add, Remove, Rename };

// How a line of the list differs from the archive on disk.
enum class EntryMark : uint8_t { None, Replaced, Added, Renamed };

using EditResource = std::shared_ptr<const std::vector<uint8_t>>;

struct PendingEdit {
    EditKind kind = EditKind::Replace;
    // The entry edited: its slot in the archive as opened (slot = record), or
    // for an entry this log added, the slot after them all that its Add gave
    // it (`opened.size()` plus the count of Adds before it).
    int32_t slot = -1;
    std::string name;       // Add, Rename: the entry's new name
    std::string source;     // Replace, Add: the file the resource was made from
    EditResource resource;  // Replace, Add: the resource, converted
    // Edits of one command (the files of one Add Files) share it, so that
    // Undo takes them back together; 0 makes the edit a command of its own.
    int32_t command = 0;
};

// One entry a save writes, as the whole log leaves it.
struct EditedEntry {
    int32_t slot = -1;
    bool added = false;
    bool removed = false;
    std::string name;       // empty: the entry keeps its name
    EditResource resource;  // null: the entry keeps its bytes
    std::string openedName;  // an entry of the archive as opened: its name then
};

struct ArchiveEdits {
    std::vector<PendingEdit> log;  // in the order made; Undo drops the last
    // The entries of the archive as opened, kept from the first edit until the
    // log is empty again, so that the view can be built afresh from them.
    std::vector<PakEntry> opened;
    int32_t openedCount = 0;        // the header's count as opened
    std::vector<EntryMark> marks;   // per slot of the view
    // Commands Undo took back, the last one taken on top, for Redo; a new
    // edit forgets them.
    std::vector<std::vector<PendingEdit>> undone;
};

// Whether anything waits for a save.
inline bool Edits_Pending(const ArchiveEdits &edits)
{
    return !edits.log.empty();
}

// Appends an edit, keeping the archive's entries as they are now when it is
// the first one, and forgets what Redo could put back. Returns the edit's
// slot (an Add's new slot).
int32_t Edits_Push(ArchiveEdits &edits, const PakArchive &view, PendingEdit edit);

// A number for the edits of the next command (PendingEdit::command).
int32_t Edits_NextCommand(const ArchiveEdits &edits);

// Takes back the last command's edits; the slot of the first of them, or -1
// when nothing waited. Edits_ApplyToView shows the outcome.
int32_t Edits_Undo(ArchiveEdits &edits);

// Puts back the last command Undo took back; the slot of the first of its
// edits, or -1 when there is none. `view` is the archive as shown now.
int32_t Edits_Redo(ArchiveEdits &edits, const PakArchive &view);

// Makes `view` (the window's archive) the archive as opened with the log
// applied: renamed entries carry their new names and lines, removed ones are
// cleared as skipped records are, and added ones follow every record under
// the record numbers a save gives them (their bytes are not on disk: they
// come from the log). Fills `marks`. With an empty log, puts the archive as
// opened back and forgets it.
void Edits_ApplyToView(ArchiveEdits &edits, PakArchive &view);

// The slot's resource waiting for a save (the last Replace or its Add), or null.
const std::vector<uint8_t> *Edits_Resource(const ArchiveEdits &edits, int32_t slot);

// The slot's mark in the view.
EntryMark Edits_Mark(const ArchiveEdits &edits, int32_t slot);

// The word the status bar gives a mark: "replaced", "added", "renamed", "".
const char *Edits_MarkWord(EntryMark mark);

// Every entry the log touches, as a save writes it: entries of the archive as
// opened in record order, then the added ones in the order added (an added
// entry removed again is left out).
std::vector<EditedEntry> Edits_Final(const ArchiveEdits &edits);
