// File > Save and Save As: the session's edits written through the archive
// writer, on a worker, reading nothing but what Session_PrepareSave took.
#include "session/session.h"
#include "pakwrite/pakwrite.h"

#include <algorithm>

namespace {

std::string FileName(const std::string &path)
{
    const size_t sep = path.find_last_of("\\/");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

// The saved set's entries, for "N entries written".
size_t EntryCount(const PakWriter &writer)
{
    size_t count = 0;
    for (int32_t record = 0; record < PakWrite_Count(writer); ++record)
        count += PakWrite_IsEntry(writer, record);
    return count;
}

}  // namespace

SessionSave Session_PrepareSave(const Session &session, const std::string &output)
{
    SessionSave save;
    save.path = session.mainPak.path;
    save.output = output;
    save.openedCount = Edits_Pending(session.edits) ? session.edits.openedCount : session.mainPak.header.count;
    save.edited = Edits_Final(session.edits);
    return save;
}

SessionSave Session_PrepareSaveOf(const Session &session, const std::string &path)
{
    if (path == session.mainPak.path)
        return Session_PrepareSave(session, "");
    SessionSave save;
    save.path = path;
    if (const ArchiveEdits *edits = Session_EditsOf(session, path)) {
        save.openedCount = edits->openedCount;
        save.edited = Edits_Final(*edits);
    }
    return save;
}

SessionSaveOutcome Session_Save(const SessionSave &save, const SessionProgress &progress,
                                const std::atomic<bool> &cancel)
{
    SessionSaveOutcome outcome;
    PakWriter writer;
    std::string &error = outcome.error;
    const std::string &path = save.path;
    if (!PakWrite_Open(path, writer, error))
        return outcome;
    // Record numbers lead the edits to their entries: an index that another
    // program changed meanwhile would take them to the wrong ones.
    bool same = writer.originalCount == std::max(save.openedCount, 0);
    for (const EditedEntry &entry : save.edited)
        same = same && (entry.added || (PakWrite_IsEntry(writer, entry.slot) &&
                                        PakWrite_Name(writer, entry.slot) == entry.openedName));
    if (!same) {
        error = FileName(path) + " changed on disk since it was opened: nothing was saved. "
                "Open it again and redo the edits.";
        return outcome;
    }
    const size_t total = save.edited.size() + 1;
    for (size_t i = 0; i < save.edited.size(); ++i) {
        const EditedEntry &entry = save.edited[i];
        if (cancel) {
            error = "Saving was cancelled: " + FileName(path) + " is as it was.";
            return outcome;
        }
        const std::string name = entry.name.empty() ? PakWrite_Name(writer, entry.slot) : entry.name;
        bool ok = true;
        if (entry.added)
            ok = PakWrite_Add(writer, entry.name, *entry.resource, PakCompress::Auto, error) >= 0;
        else if (entry.removed)
            ok = PakWrite_Remove(writer, entry.slot, error);
        else {
            if (entry.resource)
                ok = PakWrite_Replace(writer, entry.slot, *entry.resource, PakCompress::Auto, error);
            if (ok && !entry.name.empty())
                ok = PakWrite_Rename(writer, entry.slot, entry.name, error);
        }
        if (!ok) {
            error = name + ": " + error + "\nNothing was saved.";
            return outcome;
        }
        progress(i + 1, total, name);
    }
    PakSaveOptions options;
    options.output = save.output;
    PakSaveReport report;
    outcome.saved = PakWrite_Save(writer, options, report, error);
    progress(total, total, FileName(save.output.empty() ? path : save.output));
    outcome.written = save.output.empty() ? save.edited.size() : EntryCount(writer);
    outcome.notes = std::move(report.notes);
    return outcome;
}
