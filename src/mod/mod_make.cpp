// Making a mod: the comparison of two versions, kept as the entries that
// differ, with the original's hash of each touched entry and the new
// resources as files.
#include "mod/mod_local.h"

#include "base/file_io.h"
#include "base/parallel.h"
#include "base/platform.h"
#include "gameset/gameset.h"
#include "pak/pak.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <xxhash.h>

namespace {

// Stored bytes are hashed this much at a time.
constexpr size_t kChunk = 1u << 20;

// Removes what a refused make wrote: its files, then its folders.
void RemoveMade(const std::string &folder, size_t files)
{
    for (size_t i = 1; i <= files; ++i)
        (void)Sys_RemoveAt(kSysCurrentFolder, folder + "/files/" + std::to_string(i));
    (void)Sys_RemoveAt(kSysCurrentFolder, folder + "/mod.json");
    std::error_code ignored;
    std::filesystem::remove(Sys_NativePath(folder + "/files"), ignored);
    std::filesystem::remove(Sys_NativePath(folder), ignored);
}

// The length and XXH3-128 of an entry's resource: a plain entry streamed
// from its file a chunk at a time (nothing the size of the entry is
// allocated), one stored "LZO" block expanded as the loader expands it.
struct Print {
    uint64_t length = 0;
    std::string hash;
};

bool PrintOf(const PakArchive &pak, const PakEntry &entry, Print &print, std::string &why)
{
    PakOpenFile open;
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(kChunk, std::max<uint64_t>(entry.size, 3))));
    PakLoadResult r = entry.size > 3 ? Pak_ReadStored(pak, entry, 0, chunk.data(), 3, open) : PakLoadResult::Ok;
    if (r == PakLoadResult::Ok && entry.size > 3 && memcmp(chunk.data(), "LZO", 3) == 0) {
        r = Pak_LoadEntry(pak, entry, chunk, nullptr, open);
        if (r == PakLoadResult::Ok)
            print = {chunk.size(), Mod_Hash(chunk.data(), chunk.size())};
    } else if (r == PakLoadResult::Ok) {
        XXH3_state_t *state = XXH3_createState();
        if (!state) {
            why = "out of memory";
            return false;
        }
        XXH3_128bits_reset(state);
        for (uint64_t at = 0; at < entry.size && r == PakLoadResult::Ok; at += kChunk) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, entry.size - at));
            r = Pak_ReadStored(pak, entry, at, chunk.data(), n, open);
            XXH3_128bits_update(state, chunk.data(), n);
        }
        print = {entry.size, Mod_HashDigits(XXH3_128bits_digest(state))};
        XXH3_freeState(state);
    }
    if (r != PakLoadResult::Ok)
        why = Pak_LoadMessage(r, pak, entry);
    return r == PakLoadResult::Ok;
}

// Writes an entry's resource as the new file `path`: a plain entry copied
// from its file, a compressed one expanded. The byte count in `written`.
bool WriteResource(const PakArchive &pak, const PakEntry &entry, const std::string &path, uint64_t &written,
                   std::string &why)
{
    std::string temp;
    const int fd = Sys_CreateTempBeside(path, temp);
    if (fd < 0) {
        why = "Cannot write beside '" + path + "': " + strerror(errno) + ".";
        return false;
    }
    bool ok = Sys_SetFileMode(fd, 0644);
    const PakCopyResult copied = ok ? Pak_CopyStoredEntry(pak, entry, fd, &written) : PakCopyResult::WriteFailed;
    if (copied == PakCopyResult::Compressed) {
        std::vector<uint8_t> bytes;
        const PakLoadResult r = Pak_LoadEntry(pak, entry, bytes);
        if (r != PakLoadResult::Ok) {
            why = Pak_LoadMessage(r, pak, entry);
            ok = false;
        } else {
            ok = Base_WriteAll(fd, bytes.data(), bytes.size());
            written = bytes.size();
        }
    } else if (copied != PakCopyResult::Ok) {
        ok = false;
        if (copied != PakCopyResult::WriteFailed)
            why = Pak_LoadMessage(copied == PakCopyResult::CannotOpen ? PakLoadResult::CannotOpen
                                  : copied == PakCopyResult::Corrupt  ? PakLoadResult::Corrupt
                                                                      : PakLoadResult::ReadFailed,
                                  pak, entry);
    }
    ok = ok && Sys_FlushToDisk(fd);
    ok = Sys_Close(fd) && ok;
    if (ok && Sys_ReplaceByRename(temp, path))
        return true;
    if (why.empty())
        why = "Cannot write '" + path + "': " + strerror(errno) + ".";
    (void)Sys_RemoveAt(kSysCurrentFolder, temp);
    return false;
}

// The entries of one archive's comparison that the mod holds: the originals
// hashed, entries gone and new with the same resource made renames, then
// the new resources written as files/N from `files` on.
void MakeArchive(const GamesetArchiveDiff &diff, const std::string &folder, size_t &files, Mod &mod,
                 ModMakeReport &report, std::vector<std::string> &troubles)
{
    ModArchive archive;
    archive.name = diff.name;
    std::vector<const GamesetEntryDiff *> from;
    bool removes = false;
    for (const GamesetEntryDiff &d : diff.entries) {
        if (d.change == GamesetChange::Unchanged)
            continue;
        ModEntry entry;
        entry.change = d.change == GamesetChange::Added     ? ModChange::Added
                       : d.change == GamesetChange::Removed ? ModChange::Removed
                                                            : ModChange::Replaced;
        entry.name = std::string(d.name);
        entry.occurrence = d.occurrence;
        removes |= entry.change == ModChange::Removed;
        archive.entries.push_back(std::move(entry));
        from.push_back(&d);
    }
    // The originals hashed on the workers, unless the comparison hashed them
    // as it read them; a new entry too where one is gone that it may be the
    // same resource of.
    std::vector<std::string> why(from.size());
    std::vector<Print> olds(from.size()), news(from.size());
    Base_ParallelFor(from.size(), Base_WorkerCount(0, from.size()), [&](size_t i) {
        const GamesetEntryDiff &d = *from[i];
        if (d.oldHashed) {
            XXH128_hash_t h;
            h.high64 = d.oldHash[0];
            h.low64 = d.oldHash[1];
            olds[i] = {d.oldLength, Mod_HashDigits(h)};
        } else if (d.oldEntry) {
            (void)PrintOf(*diff.oldPak, *d.oldEntry, olds[i], why[i]);
        }
        else if (removes)
            (void)PrintOf(*diff.newPak, *d.newEntry, news[i], why[i]);
    });
    for (size_t i = 0; i < from.size(); ++i) {
        if (!why[i].empty()) {
            troubles.push_back(why[i]);
            return;
        }
        archive.entries[i].hash = olds[i].hash;
    }
    // Each new entry takes the first gone one with its resource; the pair is
    // one rename where the gone entry was.
    std::vector<bool> drop(from.size());
    for (size_t a = 0; a < from.size() && removes; ++a) {
        if (archive.entries[a].change != ModChange::Added)
            continue;
        for (size_t r = 0; r < from.size(); ++r) {
            ModEntry &gone = archive.entries[r];
            if (gone.change == ModChange::Removed && olds[r].length == news[a].length && olds[r].hash == news[a].hash) {
                gone.change = ModChange::Renamed;
                gone.to = archive.entries[a].name;
                gone.toOccurrence = archive.entries[a].occurrence;
                drop[a] = true;
                break;
            }
        }
    }
    std::vector<ModEntry> kept;
    std::vector<const GamesetEntryDiff *> keptFrom;
    for (size_t i = 0; i < from.size(); ++i)
        if (!drop[i]) {
            ModEntry &entry = archive.entries[i];
            ++(entry.change == ModChange::Added     ? report.added
               : entry.change == ModChange::Removed ? report.removed
               : entry.change == ModChange::Renamed ? report.renamed
                                                    : report.replaced);
            if (entry.change == ModChange::Added || entry.change == ModChange::Replaced)
                entry.file = "files/" + std::to_string(++files);
            kept.push_back(std::move(entry));
            keptFrom.push_back(from[i]);
        }
    archive.entries = std::move(kept);

    // The new resources written on the workers, each straight from its file.
    why.assign(keptFrom.size(), {});
    std::vector<uint64_t> written(keptFrom.size());
    Base_ParallelFor(keptFrom.size(), Base_WorkerCount(0, keptFrom.size()), [&](size_t i) {
        const ModEntry &entry = archive.entries[i];
        if (!entry.file.empty())
            (void)WriteResource(*diff.newPak, *keptFrom[i]->newEntry, folder + "/" + entry.file, written[i], why[i]);
    });
    for (size_t i = 0; i < keptFrom.size(); ++i) {
        report.bytes += written[i];
        if (!why[i].empty())
            troubles.push_back(why[i]);
    }
    mod.archives.push_back(std::move(archive));
}

}  // namespace

bool Mod_Make(const std::string &original, const std::string &modded, const std::string &output,
              const std::string &name, bool zip, ModMakeReport &report, std::string &error)
{
    const bool folders = Gameset_IsFolder(original);
    if (folders != Gameset_IsFolder(modded)) {
        error = "ORIGINAL and MODDED must be two archives or two folders.";
        return false;
    }
    if (Sys_PathKind(output, false) != SysKind::Missing) {
        error = "'" + output + "' exists already; a mod is written " + (zip ? "as a new file." : "into a new folder.");
        return false;
    }
    // A .zip is made of a folder beside it, which goes once the .zip is whole.
    const std::string folder = zip ? output + ".making-" + std::to_string(Sys_ProcessId()) : output;
    if (Sys_PathKind(folder, false) != SysKind::Missing || !Sys_MakeFolders(folder + "/files")) {
        error = "Cannot make the folder '" + folder + "/files': " + strerror(errno) + ".";
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
        MakeArchive(diff, folder, files, mod, report, troubles);
    };
    const auto trouble = [&](const std::string &message) { troubles.push_back(message); };
    GamesetDiffOptions options;
    options.hashOld = true;
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
        std::vector<std::string> names{"mod.json"};
        for (size_t i = 1; i <= files; ++i)
            names.push_back("files/" + std::to_string(i));
        if (Mod_WriteWhole(folder + "/mod.json", json.data(), json.size(), why) &&
            (!zip || Mod_WriteZip(folder, names, output, why))) {
            if (zip)
                RemoveMade(folder, files);
            report.archives = mod.archives.size();
            return true;
        }
        troubles.push_back(why);
    }
    RemoveMade(folder, files);
    error = "No mod was made: " + troubles.front();
    for (size_t i = 1; i < troubles.size(); ++i)
        error += "\n" + troubles[i];
    return false;
}
