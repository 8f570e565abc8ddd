// The whole game at once: the entry-point archives of a folder, finding
// entries across all of them, and what changed between two versions of an
// archive or of a folder. Only indexes are held, one or two at a time; the
// archives' files are opened per read, as everywhere else.
#pragma once

#include "pak/pak.h"
#include "resource/resource_kind.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One entry-point archive of a folder.
struct GamesetArchive {
    std::string path;  // the file, as the folder's path and its name make it
    std::string name;  // relative to the folder, '/'-separated ("dlc/M09_CRYPT.PAK")
};

using GamesetTrouble = std::function<void(const std::string &message)>;

// Whether `path` is a folder (links followed).
bool Gameset_IsFolder(const std::string &path);

// The archives of `folder`: its regular files named *.pak (any case) whose
// header starts "PAK_" and that are not a numbered companion ("NAME_NN.PAK",
// case ignored) of another such file beside them. Subfolders are read only
// when `recursive` (links to folders are not followed). By name, case
// ignored. False with `error` set when `folder` cannot be read; a subfolder
// or a *.pak file that cannot be read is left out and named to `trouble`.
bool Gameset_ListArchives(const std::string &folder, bool recursive, std::vector<GamesetArchive> &archives,
                          std::string &error, const GamesetTrouble &trouble = {});

// The folder of each archive when a folder's archives are extracted together
// ("dlc/M09_CRYPT.PAK" into "dlc/M09_CRYPT"), made of the archive's name as
// an entry's path is made of its name, so that none leads outside the output
// folder. No two archives share a folder, nor does one lie inside another's
// (case ignored): an archive whose folder would be taken, by an earlier
// archive or by a folder holding archives, keeps its whole name, and then
// that numbered ("NAME.PAK_2").
std::vector<std::string> Gameset_ExtractFolders(const std::vector<GamesetArchive> &archives);

// ---- finding across archives ----

// One entry found; `kind` is learned only when the find asked for kinds
// (KindCount otherwise).
struct GamesetHit {
    const GamesetArchive &archive;
    const PakArchive &pak;
    const PakEntry &entry;
    ResourceKind kind;
};

using GamesetHitSink = std::function<void(const GamesetHit &hit)>;

// Every entry of `pak`, in list order, that the find text finds as the find
// bar does (Pak_FindMatches) and, when `kinds` is not empty, whose resource
// is of one of them. Only those entries are read, each holding file opened
// once; an entry that cannot be read is of no kind (its file's failure goes
// to `trouble`, once per message). The number of hits.
size_t Gameset_FindInArchive(const GamesetArchive &archive, const PakArchive &pak, std::string_view text,
                             const std::vector<ResourceKind> &kinds, const GamesetHitSink &hit,
                             const GamesetTrouble &trouble);

// The same over each of `archives` in turn, one index held at a time; an
// archive that cannot be opened goes to `trouble`. The number of hits.
size_t Gameset_Find(const std::vector<GamesetArchive> &archives, std::string_view text,
                    const std::vector<ResourceKind> &kinds, const GamesetHitSink &hit,
                    const GamesetTrouble &trouble);

// ---- searching inside entries, and what names an entry ----

// One line of an entry's text that a search found, or one place that names
// an entry: a line of a text, or a surface of a model naming it as its material.
struct GamesetTextHit {
    const GamesetArchive &archive;
    const PakArchive &pak;
    const PakEntry &entry;
    ResourceKind kind;
    size_t line = 0;        // the line, counted from 1; 0 for a surface
    size_t surface = 0;     // the model's surface, counted from 1, when `line` is 0
    std::string_view text;  // the line without its end-of-line bytes, cut at 400 bytes
};

using GamesetTextSink = std::function<void(const GamesetTextHit &hit)>;

// The longest text a hit carries of its line.
constexpr size_t kGamesetLineCut = 400;

struct GamesetSearchOptions {
    std::string text;                 // a fixed string, or with `regex` an extended regular expression
    bool regex = false;
    bool matchCase = false;           // false: ASCII case ignored
    std::vector<ResourceKind> kinds;  // empty: the kinds shown as text
    bool allKinds = false;            // every entry, whatever its kind
    int workers = 0;                  // threads that read entries; 0: one per core, at most 4
    const std::atomic<bool> *stop = nullptr;  // when set, the search ends before the next entry
    bool firstLineOnly = false;       // each entry's first matching line only (which entries hold it)
};

struct GamesetSearchSummary {
    size_t hits = 0;
    size_t troubles = 0;      // archives or entries that could not be read
    bool stopped = false;     // `stop` ended it
    std::string badPattern;   // why the regular expression does not compile; nothing was searched
};

// Every line of the text of the chosen entries of `pak` that holds the text,
// entries in list order and their lines in order. An entry's text is its
// resource, expanded when stored LZO-compressed, in lines ended by LF (a CR
// before it is no part of the line); an effect container's is its dependency
// listing. Each entry is read once, on the option's threads; a plain entry
// whose first bytes show it is of no chosen kind is read no further. An entry
// that cannot be read goes to `trouble` (each message once) and is counted.
// A regular expression is matched as Sys_RegexFinds matches it.
GamesetSearchSummary Gameset_SearchArchive(const GamesetArchive &archive, const PakArchive &pak,
                                           const GamesetSearchOptions &options, const GamesetTextSink &hit,
                                           const GamesetTrouble &trouble);

// The same over each of `archives` in turn, one index held at a time; an
// archive that cannot be opened goes to `trouble`.
GamesetSearchSummary Gameset_Search(const std::vector<GamesetArchive> &archives,
                                    const GamesetSearchOptions &options, const GamesetTextSink &hit,
                                    const GamesetTrouble &trouble);

// What names `name` ("used by"): every line of a text-like entry's text that
// holds it as a whole name, and every surface of a model whose material it
// names. Names are read as the lookups read them (ASCII case ignored), '/'
// and '\' alike, with or without an extension: "stone" is named by "Stone",
// "stone.dds" and "STONE.mat", "stone.mat" by "stone" and "stone.mat" only,
// "tex/stone" by "tex\stone.dds"; a whole name is not part of a longer one
// ("stones", "old_stone", "tex/stone" for "stone"). Only `workers` and `stop`
// of the options are used. Entries and troubles as Gameset_SearchArchive.
GamesetSearchSummary Gameset_RefsArchive(const GamesetArchive &archive, const PakArchive &pak, std::string_view name,
                                         const GamesetSearchOptions &options, const GamesetTextSink &hit,
                                         const GamesetTrouble &trouble);
GamesetSearchSummary Gameset_Refs(const std::vector<GamesetArchive> &archives, std::string_view name,
                                  const GamesetSearchOptions &options, const GamesetTextSink &hit,
                                  const GamesetTrouble &trouble);

// ---- comparing two versions ----

enum class GamesetChange { Unchanged, Added, Removed, Changed };

// An entry is known by its name and its occurrence among the entries of that
// name (1 for the first in index order), in both versions.
struct GamesetEntryDiff {
    GamesetChange change = GamesetChange::Unchanged;
    std::string_view name;                 // the name field's bytes (at most 64)
    int occurrence = 1;
    const PakEntry *oldEntry = nullptr;    // absent when added
    const PakEntry *newEntry = nullptr;    // absent when removed
    // With GamesetDiffOptions::hashOld, a changed entry whose old resource the
    // comparison read whole: its length and XXH3-128 (high half first).
    bool oldHashed = false;
    uint64_t oldLength = 0;
    uint64_t oldHash[2] = {};
};

// One archive of the comparison. An archive present on one side only is
// Added or Removed as a whole, its entries listed on that side; otherwise it
// is Changed when any of its entries differ.
struct GamesetArchiveDiff {
    std::string name;
    GamesetChange change = GamesetChange::Unchanged;
    const PakArchive *oldPak = nullptr;
    const PakArchive *newPak = nullptr;
    std::vector<GamesetEntryDiff> entries;  // every entry, by name (case ignored) then occurrence
};

struct GamesetDiffOptions {
    bool recursive = false;  // folders: read subfolders too
    int workers = 0;         // threads that compare entries; 0: one per core, at most 4
    // Changed entries whose old side the comparison reads anyway are hashed
    // as they are read (read to their end where the bytes part early), so
    // that a caller that needs those hashes does not read them again.
    bool hashOld = false;
};

struct GamesetDiffSummary {
    bool differs = false;
    size_t troubles = 0;     // archives or entries that could not be read
};

// Told of each archive in name order; the records it points at live only
// during the call.
using GamesetDiffSink = std::function<void(const GamesetArchiveDiff &diff)>;

// Compares two versions of an archive, known in the report as `name`. An
// entry of both is unchanged when its stored bytes are equal (nothing is
// expanded), otherwise when its resources, expanded where stored
// LZO-compressed, have the same length and XXH3-128 hash: how the bytes are
// stored never makes a change. An entry that cannot be read whole in either
// version (its file cut short included) is left unchanged and goes to
// `trouble`, counted in the summary.
GamesetDiffSummary Gameset_DiffArchives(const std::string &name, const PakArchive &oldPak,
                                        const PakArchive &newPak, const GamesetDiffOptions &options,
                                        const GamesetDiffSink &sink, const GamesetTrouble &trouble);

// The same over the archives of two folders, paired by name (case ignored,
// the same bytes first where several names differ only in case); an archive
// of one folder only is Added or Removed. An archive or subfolder of either
// that cannot be read goes to `trouble`. Two indexes at a time.
GamesetDiffSummary Gameset_DiffFolders(const std::string &oldFolder, const std::string &newFolder,
                                       const GamesetDiffOptions &options, const GamesetDiffSink &sink,
                                       const GamesetTrouble &trouble);
