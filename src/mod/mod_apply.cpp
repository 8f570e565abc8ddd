// Applying a mod to a game folder with a backup, taking it off again, what
// is applied, and which mods touch the same entries.
#include "mod/mod_local.h"

#include "base/ascii.h"
#include "base/file_io.h"
#include "base/platform.h"
#include "pak/pak.h"
#include "pakwrite/pakwrite.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

namespace {

const char kBackupFolder[] = ".quillon";

std::string Join(const std::string &folder, const std::string &name)
{
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string LeafOf(const std::string &path)
{
    const size_t sep = path.find_last_of(kSysPathSeparators);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

// The companions of the set whose entry point is `entryPoint` as they are on
// disk: "STEM_NN.PAK" beside it, case ignored as the companion search ignores it.
std::vector<std::string> CompanionsOf(const std::string &entryPoint)
{
    const std::string folder = Sys_ParentFolder(entryPoint);
    const std::string leaf = LeafOf(entryPoint);
    std::vector<std::string> names, found;
    if (!Sys_ListFolder(folder.empty() ? "." : folder, names))
        return found;
    for (const std::string &name : names)
        if (Pak_CompanionNumber(name, leaf) >= 0)
            found.push_back(name);
    std::sort(found.begin(), found.end());
    return found;
}

bool HashFile(const std::string &path, std::string &hash)
{
    std::vector<uint8_t> bytes;
    if (Base_ReadFile(path, bytes) != BaseRead::Ok)
        return false;
    hash = Mod_Hash(bytes.data(), bytes.size());
    return true;
}

// One touched set as the backup records it.
struct BackupSet {
    std::string archive;                                  // as the mod names it
    std::string backup;                                   // N.K.pak in the backup folder
    std::vector<std::pair<std::string, int64_t>> companions;  // name beside the entry point, length
    std::string after;                                    // hash of the entry point as the apply left it
};

struct Backup {
    int record = 0;
    std::string name;
    bool complete = false;
    std::vector<BackupSet> sets;
};

std::string BackupJson(const Backup &b)
{
    std::string out = "{\n  \"version\": 1,\n  \"name\": " + ModJson_Quote(b.name) +
                      ",\n  \"complete\": " + (b.complete ? "true" : "false") + ",\n  \"sets\": [";
    for (size_t i = 0; i < b.sets.size(); ++i) {
        const BackupSet &s = b.sets[i];
        out += std::string(i ? "," : "") + "\n    {\"archive\": " + ModJson_Quote(s.archive) +
               ", \"entryPoint\": " + ModJson_Quote(s.backup) + ", \"after\": " + ModJson_Quote(s.after) +
               ", \"companions\": [";
        for (size_t c = 0; c < s.companions.size(); ++c)
            out += std::string(c ? ", " : "") + "{\"file\": " + ModJson_Quote(s.companions[c].first) +
                   ", \"length\": " + std::to_string(s.companions[c].second) + "}";
        out += "]}";
    }
    return out + "\n  ]\n}\n";
}

bool ReadBackup(const std::string &path, Backup &b)
{
    std::vector<uint8_t> bytes;
    ModJson root;
    if (Base_ReadFile(path, bytes) != BaseRead::Ok ||
        !ModJson_Parse(std::string(bytes.begin(), bytes.end()), root) || !root.is_object() ||
        !ModJson_Text(root, "name", b.name))
        return false;
    b.complete = root.contains("complete") && root["complete"].is_boolean() && root["complete"].get<bool>();
    for (const ModJson &s : ModJson_Items(root, "sets")) {
        BackupSet set;
        if (!ModJson_Text(s, "archive", set.archive) || !ModJson_Text(s, "entryPoint", set.backup) ||
            !ModJson_Text(s, "after", set.after) || !Mod_SafeRelative(set.archive) ||
            !Mod_SafeRelative(set.backup) || set.backup.find('/') != std::string::npos)
            return false;
        for (const ModJson &c : ModJson_Items(s, "companions")) {
            std::string file;
            const int64_t length = ModJson_Integer(c, "length", -1);
            if (!ModJson_Text(c, "file", file) || !Mod_SafeRelative(file) || file.find('/') != std::string::npos ||
                length < 0)
                return false;
            set.companions.emplace_back(file, length);
        }
        b.sets.push_back(std::move(set));
    }
    return true;
}

// The numbers of the backups in `gameFolder`, in order.
std::vector<int> BackupNumbers(const std::string &gameFolder)
{
    std::vector<std::string> names;
    std::vector<int> numbers;
    (void)Sys_ListFolder(Join(gameFolder, kBackupFolder), names);
    for (const std::string &name : names)
        if (name.size() > 5 && name.size() < 15 && name.compare(name.size() - 5, 5, ".json") == 0 &&
            name.find_first_not_of("0123456789") == name.size() - 5)
            numbers.push_back(std::stoi(name.substr(0, name.size() - 5)));
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

std::string BackupPath(const std::string &gameFolder, const std::string &leaf)
{
    return Join(Join(gameFolder, kBackupFolder), leaf);
}

// Puts one set back as the backup holds it: the entry point first (so that
// no index points past a cut), then the companions cut, then the new ones removed.
bool PutBack(const std::string &gameFolder, const BackupSet &set, std::string &error)
{
    const std::string entryPoint = Join(gameFolder, set.archive);
    std::vector<uint8_t> bytes;
    const std::string backup = BackupPath(gameFolder, set.backup);
    const BaseRead read = Base_ReadFile(backup, bytes);
    if (read != BaseRead::Ok) {
        error = Base_ReadFailure(read, backup);
        return false;
    }
    if (!Mod_WriteWhole(entryPoint, bytes.data(), bytes.size(), error))
        return false;
    const std::string folder = Sys_ParentFolder(entryPoint);
    for (const auto &[name, length] : set.companions) {
        const std::string path = Join(folder, name);
        const int fd = Sys_OpenAppend(path);
        const bool ok = fd >= 0 && Sys_Truncate(fd, length) && Sys_FlushToDisk(fd);
        if (fd >= 0 && !Sys_Close(fd) && ok) {
            error = "Cannot cut '" + path + "' back: " + strerror(errno) + ".";
            return false;
        }
        if (!ok) {
            error = "Cannot cut '" + path + "' back to " + std::to_string(length) + " bytes: " + strerror(errno) + ".";
            return false;
        }
    }
    for (const std::string &name : CompanionsOf(entryPoint)) {
        const bool recorded = std::any_of(set.companions.begin(), set.companions.end(),
                                          [&](const auto &c) { return c.first == name; });
        if (!recorded && !Sys_RemoveAt(kSysCurrentFolder, Join(folder, name)) && errno != ENOENT) {
            error = "Cannot remove '" + Join(folder, name) + "': " + strerror(errno) + ".";
            return false;
        }
    }
    return true;
}

void DropBackup(const std::string &gameFolder, const Backup &b)
{
    // The record first: without it the copies are only leftovers.
    (void)Sys_RemoveAt(kSysCurrentFolder, BackupPath(gameFolder, std::to_string(b.record) + ".json"));
    for (const BackupSet &s : b.sets)
        (void)Sys_RemoveAt(kSysCurrentFolder, BackupPath(gameFolder, s.backup));
}

bool WriteBackup(const std::string &gameFolder, const Backup &b, std::string &error)
{
    const std::string json = BackupJson(b);
    return Mod_WriteWhole(BackupPath(gameFolder, std::to_string(b.record) + ".json"), json.data(), json.size(), error);
}

// The live records of each name, in index order.
std::map<std::string, std::vector<int32_t>> RecordsByName(const PakWriter &writer)
{
    std::map<std::string, std::vector<int32_t>> named;
    for (int32_t r = 0; r < PakWrite_Count(writer); ++r)
        if (PakWrite_IsEntry(writer, r))
            named[PakWrite_Name(writer, r)].push_back(r);
    return named;
}

std::string EntryText(const ModArchive &archive, const ModEntry &entry)
{
    return archive.name + "\t" + entry.name + " #" + std::to_string(entry.occurrence);
}

}  // namespace

bool Mod_Apply(const std::string &modPath, const std::string &gameFolder, const ModApplyOptions &options,
               ModApplyReport &report, std::string &error)
{
    Mod mod;
    ModFiles files;
    if (!Mod_Read(modPath, mod, error) || !Mod_OpenFiles(modPath, files, error))
        return false;
    const std::vector<int> numbers = BackupNumbers(gameFolder);
    Backup last;
    if (!numbers.empty() &&
        (!ReadBackup(BackupPath(gameFolder, std::to_string(numbers.back()) + ".json"), last) || !last.complete)) {
        error = "The last mod applied to '" + gameFolder + "' was not applied whole; `mod restore` takes it off first.";
        return false;
    }
    // Every set locked and opened, every touched entry resolved and checked, before anything changes.
    std::vector<std::unique_ptr<PakWriter>> writers;
    struct Edit {
        size_t archive;
        const ModEntry *entry;
        int32_t record;
    };
    std::vector<Edit> edits;
    std::vector<uint8_t> bytes;
    for (size_t a = 0; a < mod.archives.size(); ++a) {
        const ModArchive &archive = mod.archives[a];
        writers.push_back(std::make_unique<PakWriter>());
        PakWriter &writer = *writers.back();
        if (!PakWrite_Open(Join(gameFolder, archive.name), writer, error, options.waitSeconds))
            return false;
        const auto named = RecordsByName(writer);
        for (const ModEntry &entry : archive.entries) {
            const auto found = named.find(entry.name);
            const size_t have = found == named.end() ? 0 : found->second.size();
            const size_t at = static_cast<size_t>(entry.occurrence - 1);
            int32_t record = -1;
            if (entry.change == ModChange::Renamed) {
                const auto taken = named.find(entry.to);
                if (taken != named.end() && static_cast<size_t>(entry.toOccurrence - 1) < taken->second.size())
                    report.differs.push_back(EntryText(archive, entry) + "\t" + entry.to + " #" +
                                             std::to_string(entry.toOccurrence) + " is there already");
            }
            if (entry.change == ModChange::Added) {
                if (at < have)
                    report.differs.push_back(EntryText(archive, entry) + "\tis there already");
            } else if (at >= have) {
                report.differs.push_back(EntryText(archive, entry) + "\tis missing");
                continue;
            } else {
                record = found->second[at];
                const PakEntry &held = writer.archive.entries[static_cast<size_t>(record)];
                const PakLoadResult r = Pak_LoadEntry(writer.archive, held, bytes);
                if (r != PakLoadResult::Ok)
                    report.differs.push_back(EntryText(archive, entry) + "\tcannot be read: " +
                                             Pak_LoadMessage(r, writer.archive, held));
                else if (Mod_Hash(bytes.data(), bytes.size()) != entry.hash)
                    report.differs.push_back(EntryText(archive, entry) + "\tholds other bytes");
            }
            edits.push_back({a, &entry, record});
        }
    }
    // A missing entry cannot be edited whatever --force says.
    const bool missing = std::any_of(report.differs.begin(), report.differs.end(), [](const std::string &d) {
        return d.size() > 10 && d.compare(d.size() - 10, 10, "is missing") == 0;
    });
    if (!report.differs.empty() && (!options.force || missing)) {
        error = std::to_string(report.differs.size()) + " of the entries the mod touches " +
                (missing && options.force ? "are missing" : "do not hold what the mod was made against") +
                "; nothing was changed" + (missing ? "." : " (--force applies it all the same).");
        return false;
    }
    for (const Edit &e : edits)
        report.lines.push_back(std::string(e.entry->change == ModChange::Added     ? "add"
                                           : e.entry->change == ModChange::Removed ? "remove"
                                           : e.entry->change == ModChange::Renamed ? "rename"
                                                                                   : "replace") +
                               "\t" + EntryText(mod.archives[e.archive], *e.entry) +
                               (e.entry->change == ModChange::Renamed ? "\t" + e.entry->to : ""));
    if (options.dryRun)
        return true;

    // The backup, flushed before the first save.
    Backup backup;
    backup.record = numbers.empty() ? 1 : numbers.back() + 1;
    backup.name = mod.name;
    report.record = backup.record;
    const std::string backupFolder = Join(gameFolder, kBackupFolder);
    if (!Sys_MakeFolders(backupFolder)) {
        error = "Cannot make the folder '" + backupFolder + "': " + strerror(errno) + ". Nothing was changed.";
        return false;
    }
    for (size_t a = 0; a < mod.archives.size(); ++a) {
        BackupSet set;
        set.archive = mod.archives[a].name;
        set.backup = std::to_string(backup.record) + "." + std::to_string(a) + ".pak";
        const std::string entryPoint = Join(gameFolder, set.archive);
        const BaseRead read = Base_ReadFile(entryPoint, bytes);
        if (read != BaseRead::Ok || !Mod_WriteWhole(BackupPath(gameFolder, set.backup), bytes.data(), bytes.size(), error)) {
            if (read != BaseRead::Ok)
                error = Base_ReadFailure(read, entryPoint);
            DropBackup(gameFolder, backup);
            error += " Nothing was changed.";
            return false;
        }
        for (const std::string &name : CompanionsOf(entryPoint)) {
            int64_t length = 0;
            if (Sys_PathKind(Join(Sys_ParentFolder(entryPoint), name), true, &length) == SysKind::File)
                set.companions.emplace_back(name, length);
        }
        backup.sets.push_back(std::move(set));
    }
    if (!WriteBackup(gameFolder, backup, error)) {
        DropBackup(gameFolder, backup);
        error += " Nothing was changed.";
        return false;
    }

    // The edits, archive by archive; a failure puts back what was saved.
    std::string failure;
    for (size_t a = 0; a < mod.archives.size() && failure.empty(); ++a) {
        PakWriter &writer = *writers[a];
        for (const Edit &e : edits) {
            if (e.archive != a || !failure.empty())
                continue;
            bool ok = true;
            if (e.entry->change == ModChange::Removed) {
                ok = PakWrite_Remove(writer, e.record, failure);
            } else if (e.entry->change == ModChange::Renamed) {
                ok = PakWrite_Rename(writer, e.record, e.entry->to, failure);
            } else {
                if (!Mod_ReadFile(files, e.entry->file, bytes, failure)) {
                    ok = false;
                } else if (e.entry->change == ModChange::Replaced) {
                    ok = PakWrite_Replace(writer, e.record, bytes, PakCompress::Auto, failure);
                } else {
                    ok = PakWrite_Add(writer, e.entry->name, bytes, PakCompress::Auto, failure) >= 0;
                }
            }
            if (!ok && failure.empty())
                failure = "an edit of '" + mod.archives[a].name + "' failed";
        }
        PakSaveReport saved;
        if (failure.empty() && !PakWrite_Save(writer, {}, saved, failure) && failure.empty())
            failure = "the save of '" + mod.archives[a].name + "' failed";
    }
    if (failure.empty()) {
        for (BackupSet &set : backup.sets)
            if (!HashFile(Join(gameFolder, set.archive), set.after))
                failure = "Cannot read '" + Join(gameFolder, set.archive) + "' back";
    }
    backup.complete = failure.empty();
    if (failure.empty() && WriteBackup(gameFolder, backup, failure))
        return true;
    // Put every set back while their locks are still held.
    std::string why;
    for (const BackupSet &set : backup.sets)
        if (!PutBack(gameFolder, set, why)) {
            error = failure + " Putting the archives back failed too (" + why + "); `mod restore` tries again.";
            return false;
        }
    DropBackup(gameFolder, backup);
    error = failure + " Every archive was put back as it was.";
    return false;
}

bool Mod_Restore(const std::string &gameFolder, double waitSeconds, std::string &name, std::string &error)
{
    const std::vector<int> numbers = BackupNumbers(gameFolder);
    if (numbers.empty()) {
        error = "No mod is applied to '" + gameFolder + "'.";
        return false;
    }
    Backup backup;
    backup.record = numbers.back();
    const std::string record = BackupPath(gameFolder, std::to_string(backup.record) + ".json");
    if (!ReadBackup(record, backup)) {
        error = "The backup record '" + record + "' cannot be read; nothing was changed.";
        return false;
    }
    name = backup.name;
    std::vector<std::shared_ptr<PakSetLock>> locks;
    for (size_t i = 0; i < backup.sets.size(); ++i) {
        const BackupSet &set = backup.sets[i];
        const std::string entryPoint = Join(gameFolder, set.archive);
        locks.push_back(PakWrite_LockSet(entryPoint, waitSeconds, error));
        if (!locks.back())
            return false;
        // Something else that wrote the set since replaced its entry point or cut a companion.
        std::string hash;
        if (backup.complete && (!HashFile(entryPoint, hash) || hash != set.after)) {
            error = "'" + entryPoint + "' was changed since the mod was applied; nothing was changed.";
            return false;
        }
        for (const auto &[companion, length] : set.companions) {
            int64_t size = -1;
            const std::string path = Join(Sys_ParentFolder(entryPoint), companion);
            if (Sys_PathKind(path, false, &size) != SysKind::File || size < length) {
                error = "'" + path + "' was changed since the mod was applied; nothing was changed.";
                return false;
            }
        }
    }
    for (const BackupSet &set : backup.sets)
        if (!PutBack(gameFolder, set, error))
            return false;
    DropBackup(gameFolder, backup);
    return true;
}

bool Mod_Status(const std::string &gameFolder, std::vector<ModApplied> &applied, std::string &error)
{
    for (const int number : BackupNumbers(gameFolder)) {
        Backup b;
        const std::string path = BackupPath(gameFolder, std::to_string(number) + ".json");
        if (!ReadBackup(path, b)) {
            error = "The backup record '" + path + "' cannot be read.";
            return false;
        }
        ModApplied a;
        a.record = number;
        a.name = b.name;
        a.complete = b.complete;
        for (const BackupSet &s : b.sets)
            a.archives.push_back(s.archive);
        applied.push_back(std::move(a));
    }
    return true;
}

std::vector<ModConflict> Mod_Conflicts(const std::vector<Mod> &mods)
{
    struct Key {
        std::string archive, name;
        int occurrence;
        bool operator<(const Key &o) const
        {
            const int c = Ascii_Compare(archive, o.archive);
            return c != 0 ? c < 0 : name != o.name ? name < o.name : occurrence < o.occurrence;
        }
    };
    std::map<Key, ModConflict> touched;
    for (const Mod &mod : mods)
        for (const ModArchive &archive : mod.archives)
            for (const ModEntry &entry : archive.entries) {
                // A rename touches the entry it takes and the name it gives.
                const std::pair<std::string, int> keys[] = {{entry.name, entry.occurrence},
                                                            {entry.to, entry.toOccurrence}};
                for (const auto &[name, occurrence] : keys) {
                    if (name.empty())
                        continue;
                    ModConflict &c = touched[{archive.name, name, occurrence}];
                    c.archive = archive.name, c.name = name, c.occurrence = occurrence;
                    if (c.mods.empty() || c.mods.back() != mod.name)
                        c.mods.push_back(mod.name);
                }
            }
    std::vector<ModConflict> conflicts;
    for (auto &[key, c] : touched)
        if (c.mods.size() > 1)
            conflicts.push_back(std::move(c));
    return conflicts;
}
