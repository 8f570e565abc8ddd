// Export jobs: a pool of threads reads, expands and converts entries into
// temporary files in the output folder (export_prepare.cpp); the caller's
// thread then names and places them in record order (export_place.cpp), so
// names, duplicates and reports come out the same whatever the number of
// threads.
#include "export/export_job_parts.h"

#include "base/parallel.h"
#include "base/platform.h"

#include <cerrno>
#include <cstring>

std::vector<int> Export_SelectSlots(const PakArchive &archive, const ExportSelection &selection)
{
    std::vector<int> slots;
    const PakGlob match = Pak_CompileGlob(selection.match);
    auto take = [&](int slot) {
        if (slot < 0 || static_cast<size_t>(slot) >= archive.entries.size())
            return;
        const PakEntry &entry = archive.entries[static_cast<size_t>(slot)];
        if (entry.displayName[0] == '\0')
            return;
        if (selection.hasMatch &&
            !Pak_MatchGlob(match, std::string_view(entry.name, strnlen(entry.name, sizeof entry.name))))
            return;
        slots.push_back(slot);
    };
    if (selection.useSlots) {
        for (int slot : selection.slots)
            take(slot);
    } else {
        for (size_t i = 0; i < archive.entries.size(); ++i)
            take(static_cast<int>(i));
    }
    return slots;
}

ExportJobSummary Export_RunJob(const PakArchive &archive, const std::string &folder, const ExportJobOptions &options,
                               const ExportReport &report, const std::atomic<bool> *cancel)
{
    ExportJobSummary summary;
    const std::vector<int> slots = Export_SelectSlots(archive, options.selection);

    (void)Sys_MakeFolders(folder);  // an error shows when the folder is opened
    const int rootFd = Sys_OpenFolder(folder);
    if (rootFd < 0) {
        summary.folderFailed = true;
        summary.folderMessage = "Could not create the folder '" + folder + "': " + strerror(errno);
        return summary;
    }

    ExportProgress progress;
    progress.total = slots.size();
    for (int slot : slots)
        progress.totalBytes += archive.entries[static_cast<size_t>(slot)].size;

    {
        const int workers = Base_WorkerCount(options.workers, slots.size());
        ExportPreparer preparer(archive, options, slots, rootFd, workers);
        ExportPlacer placer(rootFd,
                            folder.size() > 1 && folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder);
        // Only a few entries ahead of the naming stage, so temporary files and
        // memory stay bounded.
        std::vector<Prepared> ring(Base_OrderedWindow(workers));
        const auto prepare = [&](int worker, size_t i) { preparer.Prepare(worker, i, ring[i % ring.size()]); };
        const auto place = [&](size_t i) {
            Prepared &p = ring[i % ring.size()];
            const PakEntry &entry = archive.entries[static_cast<size_t>(slots[i])];
            const ExportEntryResult result = ExportJob_Place(entry, p, options, placer);
            if (!p.tempName.empty())
                Sys_RemoveAt(rootFd, p.tempName);
            p = Prepared{};
            switch (result.outcome) {
            case ExportOutcome::Written:
                ++summary.written;
                summary.bytesWritten += result.bytes;
                break;
            case ExportOutcome::Skipped: ++summary.skipped; break;
            case ExportOutcome::Failed: ++summary.failed; break;
            case ExportOutcome::Filtered: break;
            }
            ++progress.done;
            progress.doneBytes += entry.size;
            if (report)
                report(entry, result, progress);
        };
        summary.cancelled = !Base_RunOrdered(slots.size(), workers, cancel, prepare, place);
        // Entries made ahead of a cancel: their temporary files go.
        for (const Prepared &p : ring)
            if (!p.tempName.empty())
                Sys_RemoveAt(rootFd, p.tempName);
    }
    Sys_Close(rootFd);
    return summary;
}
