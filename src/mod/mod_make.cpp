// Making a mod: the comparison of two versions, kept as the entries that
// differ, with the original's hash of each touched entry and the new
// resources as files.
#include "mod/mod_local.h"

#include "base/parallel.h"
#include "base/platform.h"
#include "gameset/gameset.h"
#include "pak/pak.h"

#include <cerrno>
#include <cstring>

namespace {

// Removes what a refused make wrote: its files, then its folders.
void RemoveMade(const std::string &output, size_t files)
{
    for (size_t i = 1; i <= files; ++i)
        (void)Sys_RemoveAt(kSysCurrentFolder, output + "/files/" + std::to_string(i));
    std::error_code ignored;
    std::filesystem::remove(Sys_NativePath(output + "/files"), ignored);
    std::filesystem::remove(Sys_NativePath(output), ignored);
}

}  // namespace

bool Mod_Make(const std::string &original, const std::string &modded, const std::string &output,
              const std::string &name, ModMakeReport &report, std::string &error)
{
    const bool folders = Gameset_IsFolder(original);
    if (folders != Gameset_IsFolder(modded)) {
        error = "ORIGINAL and MODDED must be two archives or two folders.";
        return false;
    }
    if (Sys_PathKind(output, false) != SysKind::Missing) {
        error = "'" + output + "' exists already; a mod is written into a new folder.";
        return false;
    }
    if (!Sys_MakeFolders(output + "/files")) {
        error = "Cannot make the folder '" + output + "/files': " + strerror(errno) + ".";
        return false;
    }
    Mod mod;
    mod.name = name;
    size_t files = 0;
    std::vector<std::string> troubles;
    const GamesetDiffSink sink = [&](const GamesetArchiveDiff &diff) {
        if (diff.change == GamesetChange::Unchanged || !troubles.empty())
            return;
        if (diff.change != GamesetChange::Changed) {
            troubles.push_back("the archive '" + diff.name + "' is " +
                               (diff.change == GamesetChange::Added ? "new" : "gone") +
                               " in MODDED; a mod changes entries of archives both versions have");
            return;
        }
        ModArchive archive;
        archive.name = diff.name;
        std::vector<const GamesetEntryDiff *> from;
        for (const GamesetEntryDiff &d : diff.entries) {
            if (d.change == GamesetChange::Unchanged)
                continue;
            ModEntry entry;
            entry.change = d.change == GamesetChange::Added     ? ModChange::Added
                           : d.change == GamesetChange::Removed ? ModChange::Removed
                                                                : ModChange::Replaced;
            entry.name = std::string(d.name);
            entry.occurrence = d.occurrence;
            if (d.newEntry)
                entry.file = "files/" + std::to_string(++files);
            ++(entry.change == ModChange::Added ? report.added
               : entry.change == ModChange::Removed ? report.removed : report.replaced);
            archive.entries.push_back(std::move(entry));
            from.push_back(&d);
        }
        // The originals hashed and the new resources written on the workers,
        // each entry on its own: large entries are read whole.
        std::vector<std::string> why(from.size());
        std::vector<uint64_t> written(from.size());
        Base_ParallelFor(from.size(), Base_WorkerCount(0, from.size()), [&](size_t i) {
            const GamesetEntryDiff &d = *from[i];
            ModEntry &entry = archive.entries[i];
            std::vector<uint8_t> bytes;
            if (d.oldEntry) {
                const PakLoadResult r = Pak_LoadEntry(*diff.oldPak, *d.oldEntry, bytes);
                if (r != PakLoadResult::Ok) {
                    why[i] = Pak_LoadMessage(r, *diff.oldPak, *d.oldEntry);
                    return;
                }
                entry.hash = Mod_Hash(bytes.data(), bytes.size());
            }
            if (d.newEntry) {
                const PakLoadResult r = Pak_LoadEntry(*diff.newPak, *d.newEntry, bytes);
                if (r != PakLoadResult::Ok) {
                    why[i] = Pak_LoadMessage(r, *diff.newPak, *d.newEntry);
                    return;
                }
                if (Mod_WriteWhole(output + "/" + entry.file, bytes.data(), bytes.size(), why[i]))
                    written[i] = bytes.size();
            }
        });
        for (size_t i = 0; i < from.size(); ++i) {
            report.bytes += written[i];
            if (!why[i].empty())
                troubles.push_back(why[i]);
        }
        mod.archives.push_back(std::move(archive));
    };
    const auto trouble = [&](const std::string &message) { troubles.push_back(message); };
    GamesetDiffOptions options;
    if (folders) {
        (void)Gameset_DiffFolders(original, modded, options, sink, trouble);
    } else {
        PakArchive oldPak, newPak;
        const PakOpenResult a = Pak_OpenArchive(original, oldPak);
        const PakOpenResult b = a == PakOpenResult::Ok ? Pak_OpenArchive(modded, newPak) : a;
        if (a != PakOpenResult::Ok || b != PakOpenResult::Ok) {
            troubles.push_back("'" + (a != PakOpenResult::Ok ? original : modded) + "': " + Pak_OpenMessage(b));
        } else {
            const size_t sep = modded.find_last_of(kSysPathSeparators);
            (void)Gameset_DiffArchives(sep == std::string::npos ? modded : modded.substr(sep + 1), oldPak, newPak,
                                       options, sink, trouble);
        }
    }
    std::string why;
    if (troubles.empty()) {
        const std::string json = Mod_ToJson(mod);
        if (Mod_WriteWhole(output + "/mod.json", json.data(), json.size(), why)) {
            report.archives = mod.archives.size();
            return true;
        }
        troubles.push_back(why);
    }
    RemoveMade(output, files);
    error = "No mod was made: " + troubles.front();
    for (size_t i = 1; i < troubles.size(); ++i)
        error += "\n" + troubles[i];
    return false;
}
