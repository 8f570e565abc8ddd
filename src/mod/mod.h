// Mods: what changed between an original and a modded version of a game's
// archives (entries replaced, added and removed, known by name and occurrence
// as a comparison knows them), packaged with the new resources; applied to a
// game folder after a backup of every set it touches, and taken off again so
// that every file of those sets holds its bytes from before.
//
// A mod is a folder, or a .zip of one (stored entries): mod.json and
// files/N, the new resources as they are when expanded. The backup of a game folder lives in GAMEFOLDER/.quillon:
// per applied mod, N.json (what was applied, each touched set's companions
// with their lengths, and the hash of each entry-point file as the apply left
// it) and N.K.pak, the entry-point file of the Kth set from before. A save
// only appends to companions and replaces the entry-point file whole, so those
// two are all it takes to put a set back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Version 2 brought renames; a mod without them is written as version 1, so
// that programs that read only that take it.
constexpr int kModVersion = 2;

enum class ModChange { Replaced, Added, Removed, Renamed };

struct ModEntry {
    ModChange change = ModChange::Replaced;
    std::string name;      // the name field's bytes
    int occurrence = 1;    // among the entries of that name, in index order
    std::string hash;      // XXH3-128 of the original's expanded resource (32 hex digits); none when added
    std::string file;      // "files/N" in the mod, the new resource; none when removed or renamed
    std::string to;        // renamed: the new name, the same bytes under it
    int toOccurrence = 1;  // renamed: its occurrence among the entries of the new name
};

struct ModArchive {
    std::string name;  // relative to the game folder, '/' between folders
    std::vector<ModEntry> entries;
};

struct Mod {
    int version = kModVersion;
    std::string name;
    std::vector<ModArchive> archives;
};

// The name of a mod's change ("replaced", "added", "removed", "renamed").
const char *Mod_ChangeName(ModChange change);

// Reads the mod.json of the mod `path` (a folder, its mod.json, or a .zip); refuses (false,
// `error`) a newer version, names that would lead outside the game folder,
// files outside the mod, and a .zip that is not sound (see Mod_OpenFiles).
bool Mod_Read(const std::string &path, Mod &mod, std::string &error);

// ---- making ----

struct ModMakeReport {
    size_t archives = 0;
    size_t replaced = 0, added = 0, removed = 0, renamed = 0;
    uint64_t bytes = 0;  // of the new resources written
};

// A mod of what differs between `original` and `modded` (two archives or two
// folders), written into the new folder `output`, or with `zip` as the .zip
// file `output` whole or not at all (refused when it exists). An entry gone
// from an archive and one new in it with the same resource are a rename. An
// archive present on one side only, or an entry that could not be read,
// refuses the whole mod and leaves nothing behind.
bool Mod_Make(const std::string &original, const std::string &modded, const std::string &output,
              const std::string &name, bool zip, ModMakeReport &report, std::string &error);

// ---- applying and taking off ----

struct ModApplyOptions {
    bool dryRun = false;
    bool force = false;        // applies over entries that hold other bytes than the mod was made against
    double waitSeconds = 5;    // for each set's lock
};

struct ModApplyReport {
    std::vector<std::string> lines;     // "replace\tGLOBAL.PAK\tname #1", one per edit ("\tnew name" after a rename)
    std::vector<std::string> differs;   // entries that do not hold what the mod was made against
    int record = 0;                     // the number of the applied mod in the backup
};

// Applies the mod `modPath` (a folder or a .zip) to the archives of `gameFolder`. Every set is
// locked and every touched entry checked before anything changes; then the
// backup is written and flushed, then each archive saved in turn. When a
// save fails, the sets already saved are put back and the backup dropped.
// False with `error` (and `differs` when that is why).
bool Mod_Apply(const std::string &modPath, const std::string &gameFolder, const ModApplyOptions &options,
               ModApplyReport &report, std::string &error);

// Takes the last applied mod off: each touched set's entry point put back,
// its companions cut to their lengths before the apply, companions the apply
// made removed. Refuses, naming the file, when a set's entry point no longer
// holds what the apply wrote (something changed the set since). A mod whose
// apply was killed part-way is taken off without that check. The name of
// the mod taken off in `name`.
bool Mod_Restore(const std::string &gameFolder, double waitSeconds, std::string &name, std::string &error);

struct ModApplied {
    int record = 0;
    std::string name;
    bool complete = true;                // false: its apply was killed part-way
    std::vector<std::string> archives;
};

// The mods applied to `gameFolder`, first applied first.
bool Mod_Status(const std::string &gameFolder, std::vector<ModApplied> &applied, std::string &error);

struct ModConflict {
    std::string archive, name;
    int occurrence = 1;
    std::vector<std::string> mods;  // the names of the mods that touch it, in the order given
};

// The entries that two or more of `mods` touch (archives by name, case ignored).
std::vector<ModConflict> Mod_Conflicts(const std::vector<Mod> &mods);

// The XXH3-128 of `size` bytes as 32 hex digits.
std::string Mod_Hash(const void *data, size_t size);
