#include "session/archive_edits.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace {

void SetName(PakEntry &entry, const std::string &name)
{
    memset(entry.name, 0, sizeof entry.name);
    memcpy(entry.name, name.data(), std::min(name.size(), sizeof entry.name));
}

// As the reader leaves a skipped record: nothing lists or finds it.
void Clear(PakEntry &entry)
{
    memset(entry.name, 0, sizeof entry.name);
    memset(entry.displayName, 0, sizeof entry.displayName);
    entry.size = kPakSkippedSize;
}

}  // namespace

// The archive as opened is kept from the first edit on.
static void KeepOpened(ArchiveEdits &edits, const PakArchive &view)
{
    if (edits.log.empty()) {
        edits.opened = view.entries;
        edits.openedCount = view.header.count;
    }
}

int32_t Edits_Push(ArchiveEdits &edits, const PakArchive &view, PendingEdit edit)
{
    KeepOpened(edits, view);
    edits.undone.clear();
    if (edit.kind == EditKind::Add) {
        const auto adds = std::count_if(edits.log.begin(), edits.log.end(),
                                        [](const PendingEdit &e) { return e.kind == EditKind::Add; });
        edit.slot = static_cast<int32_t>(edits.opened.size() + static_cast<size_t>(adds));
    }
    if (edit.command == 0)
        edit.command = Edits_NextCommand(edits);
    edits.log.push_back(std::move(edit));
    return edits.log.back().slot;
}

int32_t Edits_NextCommand(const ArchiveEdits &edits)
{
    return edits.log.empty() ? 1 : edits.log.back().command + 1;
}

int32_t Edits_Undo(ArchiveEdits &edits)
{
    int32_t slot = -1;
    const int32_t command = edits.log.empty() ? 0 : edits.log.back().command;
    std::vector<PendingEdit> taken;
    while (!edits.log.empty() && edits.log.back().command == command) {
        slot = edits.log.back().slot;
        taken.insert(taken.begin(), std::move(edits.log.back()));
        edits.log.pop_back();
    }
    if (!taken.empty())
        edits.undone.push_back(std::move(taken));
    return slot;
}

int32_t Edits_Redo(ArchiveEdits &edits, const PakArchive &view)
{
    if (edits.undone.empty())
        return -1;
    KeepOpened(edits, view);
    // The log stands as it did when the command was taken back, so its
    // edits' slots (an Add's included) are theirs again.
    std::vector<PendingEdit> command = std::move(edits.undone.back());
    edits.undone.pop_back();
    const int32_t slot = command.front().slot;
    for (PendingEdit &edit : command)
        edits.log.push_back(std::move(edit));
    return slot;
}

void Edits_ApplyToView(ArchiveEdits &edits, PakArchive &view)
{
    if (edits.log.empty()) {
        if (!edits.marks.empty() || !edits.opened.empty()) {
            view.entries = std::move(edits.opened);
            view.header.count = edits.openedCount;
        }
        std::vector<std::vector<PendingEdit>> undone = std::move(edits.undone);
        edits = ArchiveEdits{};
        edits.undone = std::move(undone);
        return;
    }
    view.entries = edits.opened;
    edits.marks.assign(edits.opened.size(), EntryMark::None);
    std::vector<bool> named(edits.opened.size(), false);
    for (const PendingEdit &edit : edits.log) {
        if (edit.kind == EditKind::Add) {
            PakEntry entry{};
            entry.part = -1;
            entry.location = 3;  // no bytes on disk yet: it loads as nothing, the log holds them
            view.entries.push_back(entry);
            edits.marks.push_back(EntryMark::Added);
            named.push_back(true);
        }
        if (edit.slot < 0 || static_cast<size_t>(edit.slot) >= view.entries.size())
            continue;
        const size_t slot = static_cast<size_t>(edit.slot);
        PakEntry &entry = view.entries[slot];
        EntryMark &mark = edits.marks[slot];
        switch (edit.kind) {
        case EditKind::Add:
        case EditKind::Rename:
            SetName(entry, edit.name);
            named[slot] = true;
            if (mark == EntryMark::None)
                mark = EntryMark::Renamed;
            break;
        case EditKind::Replace:
            if (mark != EntryMark::Added)
                mark = EntryMark::Replaced;
            break;
        case EditKind::Remove:
            Clear(entry);
            named[slot] = false;
            break;
        }
    }
    // Added records follow the index as opened, in the order they were added.
    int32_t record = std::max(edits.openedCount, 0);
    for (size_t slot = edits.opened.size(); slot < view.entries.size(); ++slot)
        if (view.entries[slot].size != kPakSkippedSize)
            view.entries[slot].index = record++;
    for (size_t slot = 0; slot < view.entries.size(); ++slot)
        if (named[slot])
            Pak_FormatDisplayName(view.entries[slot]);
    view.header.count = static_cast<int32_t>(view.entries.size());
}

const std::vector<uint8_t> *Edits_Resource(const ArchiveEdits &edits, int32_t slot)
{
    for (auto it = edits.log.rbegin(); it != edits.log.rend(); ++it)
        if (it->slot == slot && it->resource)
            return it->resource.get();
    return nullptr;
}

EntryMark Edits_Mark(const ArchiveEdits &edits, int32_t slot)
{
    return slot >= 0 && static_cast<size_t>(slot) < edits.marks.size() ? edits.marks[static_cast<size_t>(slot)]
                                                                        : EntryMark::None;
}

const char *Edits_MarkWord(EntryMark mark)
{
    switch (mark) {
    case EntryMark::Replaced: return "replaced";
    case EntryMark::Added: return "added";
    case EntryMark::Renamed: return "renamed";
    default: return "";
    }
}

std::vector<EditedEntry> Edits_Final(const ArchiveEdits &edits)
{
    std::map<int32_t, EditedEntry> touched;  // by slot: records as opened first, then the added ones
    for (const PendingEdit &edit : edits.log) {
        EditedEntry &entry = touched[edit.slot];
        entry.slot = edit.slot;
        if (static_cast<size_t>(edit.slot) < edits.opened.size()) {
            const PakEntry &opened = edits.opened[static_cast<size_t>(edit.slot)];
            entry.openedName.assign(opened.name, strnlen(opened.name, sizeof opened.name));
        }
        switch (edit.kind) {
        case EditKind::Add:
            entry.added = true;
            entry.name = edit.name;
            entry.resource = edit.resource;
            break;
        case EditKind::Rename: entry.name = edit.name; break;
        case EditKind::Replace: entry.resource = edit.resource; break;
        case EditKind::Remove: entry.removed = true; break;
        }
    }
    std::vector<EditedEntry> final;
    for (auto &[slot, entry] : touched)
        if (!(entry.added && entry.removed))
            final.push_back(std::move(entry));
    return final;
}
