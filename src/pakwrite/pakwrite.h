// Writing archives: an edit list over an open archive (replace, add, remove,
// rename) saved in place or as a new set, a rebuild without dead space, new
// archives packed from a folder, and the check of every record.
//
// What a save keeps: every byte that belongs to no edited entry stays as it
// was (the header's and records' words of unknown meaning, the order of
// records, skipped records, gaps, and the stored bytes of untouched entries,
// which are never expanded and compressed again). Companions only grow by
// appends, flushed to disk before the entry-point file that points into them
// is written whole under a temporary name, flushed, and renamed over the old
// one: a kill at any moment leaves the archive reading as before or as after,
// and a failure leaves it reading as before.
#pragma once

#include "pak/pak.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

// Every file of a set stays below this, so that every entry starts where a
// signed 32-bit seek reaches it.
constexpr int64_t kPakFileLimit = 0x7FFFFFFF;

// One writer at a time per set: every writer (an edit's save, a rebuild, a
// pack) holds the set's lock, the file NAME.PAK.lock beside the entry point,
// from the moment it reads the set until its save is committed. Another
// writer waits for it at most this long, then refuses and changes nothing.
// Readers take no lock: they read the set as before or as after.
constexpr double kPakLockWaitSeconds = 5;

// The lock file of the set whose entry point is `entryPoint`.
std::string PakWrite_LockPath(const std::string &entryPoint);

// A held lock of a set, released when the last copy goes.
struct PakSetLock;

// Takes the set's lock as every writer takes it (waiting at most
// `waitSeconds`, and removing the temporary files killed saves of the set
// left), for a writer that puts the set's files back without an edit list;
// held while the result lives. Null with `error` set when another writer
// keeps it.
std::shared_ptr<PakSetLock> PakWrite_LockSet(const std::string &entryPoint, double waitSeconds, std::string &error);

// How new and replaced resources are stored.
enum class PakCompress {
    Auto,  // a replaced entry keeps its form; a new one is compressed when that makes it smaller
    None,  // as they are
    Fast,  // LZO1X-1
    Best,  // LZO1X-999
};

// "auto", "none", "fast", "best"; false for anything else.
bool PakWrite_ParseCompress(const std::string &text, PakCompress &mode);

// An archive opened for editing: its header and index as stored, and the
// new stored bytes of edited entries until they are saved.
struct PakWriter {
    PakArchive archive;             // as the reader sees it: paths, names, lines
    bool shaderForm = false;        // 76-byte records; every entry in the entry-point file
    size_t recordSize = kPakRecordSize;
    uint8_t header[kPakHeaderSize] = {};
    std::vector<uint8_t> index;     // every record as stored, back to back
    int32_t originalCount = 0;      // records in the file as opened
    int64_t entryPointLength = 0;   // of the file as opened
    // Records whose stored bytes are new, with those bytes.
    struct Pending {
        int32_t record;
        std::vector<uint8_t> stored;
    };
    std::vector<Pending> pending;
    size_t edits = 0;
    std::shared_ptr<PakSetLock> lock;          // the set's lock, held while the writer lives
    double lockWait = kPakLockWaitSeconds;     // how long a save waits for the lock of another output
};

// Opens an archive for editing: takes the set's lock (waiting at most
// `waitSeconds` for another writer), then the reader's checks and the whole
// index as stored. Refuses (message in `error`) a set another writer holds,
// and an index shorter than its count.
bool PakWrite_Open(const std::string &path, PakWriter &writer, std::string &error,
                   double waitSeconds = kPakLockWaitSeconds);

// Records in the index (as edited).
int32_t PakWrite_Count(const PakWriter &writer);

// The record's name field, up to its first NUL.
std::string PakWrite_Name(const PakWriter &writer, int32_t record);

// Whether the record is an entry (not skipped).
bool PakWrite_IsEntry(const PakWriter &writer, int32_t record);

// Whether an entry may be named so: not empty, at most 64 bytes, no NUL
// (the message in `error` when not).
bool PakWrite_CheckName(const std::string &name, std::string &error);

// The edits. Each refuses (false, message in `error`, nothing changed) a
// record that is no entry, a name that is empty, longer than 64 bytes or
// holds a NUL, and a resource larger than an entry can be.
bool PakWrite_Replace(PakWriter &writer, int32_t record, std::span<const uint8_t> resource, PakCompress mode,
                      std::string &error);
// The new record's number, or -1. New records hold zeros in the words of
// unknown meaning. The entry goes into the file of the entry whose name
// comes just before its own in name order (the one just after when none
// does), or into the entry-point file in an archive with no entries.
int32_t PakWrite_Add(PakWriter &writer, const std::string &name, std::span<const uint8_t> resource, PakCompress mode,
                     std::string &error);
// The record stays, marked skipped: every other record keeps its number.
bool PakWrite_Remove(PakWriter &writer, int32_t record, std::string &error);
bool PakWrite_Rename(PakWriter &writer, int32_t record, const std::string &name, std::string &error);

// The stored form of a resource: the bytes as they are, or an "LZO" block
// whose byte 3 is `keptByte`. Bytes that begin with "LZO" are always stored
// as a block, or the reader would take them for one.
bool PakWrite_StoreResource(std::span<const uint8_t> resource, PakCompress mode, bool compressByDefault,
                            uint8_t keptByte, std::vector<uint8_t> &stored, std::string &error);

struct PakSaveOptions {
    std::string output;   // empty: in place; otherwise a new set NEW.PAK, NEW_%02i.PAK
    bool compact = false; // a rebuild without dead space; skipped records are dropped
    bool overwrite = false;  // an output that exists but is no archive set may be replaced
};

// What a save did, for the command's report.
struct PakSaveReport {
    struct Appended {
        std::string file;  // file name without its folder
        uint64_t bytes = 0;
        bool created = false;  // a new companion
    };
    std::vector<Appended> appended;  // in the order written
    uint64_t written = 0;            // bytes of every file written or appended
    int32_t droppedRecords = 0;      // --compact: skipped records left out (record numbers change)
    std::vector<std::string> notes;  // things the user should know ("... would pass 2 GiB: ...")
};

// Saves the edits. On failure the archive (or the input set, with an output)
// reads exactly as before; `error` says why. An output set that exists is
// replaced as a whole, under its own lock: its entry point is replaced last,
// the new companions take numbers it does not use, and its old companions
// are removed after; a reader sees the old set or the new one. An output that
// exists and is no archive set is refused unless `overwrite`.
bool PakWrite_Save(PakWriter &writer, const PakSaveOptions &options, PakSaveReport &report, std::string &error);

// ---- packing a folder ----

// A regular file under a folder, as an entry would name it.
struct PakFolderFile {
    std::string path;   // on disk
    std::string name;   // relative to the folder, '\' between folders
    uint64_t size = 0;
};

// Every regular file under `folder` (links are not followed), in byte order
// of their names; what is neither a file nor a folder goes into `skipped`,
// and a folder that cannot be listed into `unreadable` when given (else into
// `skipped`).
std::vector<PakFolderFile> PakWrite_ListFolder(const std::string &folder, std::vector<std::string> &skipped,
                                               std::vector<std::string> *unreadable = nullptr);

struct PakPackOptions {
    PakCompress compress = PakCompress::Auto;
    int jobs = 1;              // threads that read and compress
    int64_t partSize = 0;      // 0: entries in the entry-point file; else companions of at most this
    // The entry name a file takes (its `name` when null), asked of every file
    // before names are checked and ordered.
    std::function<std::string(const PakFolderFile &file)> entryName;
    // Turns a file's bytes into the resource stored (an importer), on the
    // workers; null: the bytes as they are. False refuses the whole pack
    // (`error` says why).
    std::function<bool(const PakFolderFile &file, std::vector<uint8_t> &bytes, std::string &error)> convert;
    double lockWait = kPakLockWaitSeconds;  // for the output set's lock
    bool overwrite = false;                 // an output that exists but is no archive set may be replaced
};

struct PakPackReport {
    size_t entries = 0;
    uint64_t inputBytes = 0;
    uint64_t storedBytes = 0;
    size_t compressed = 0;
    std::vector<std::string> files;  // file names written, entry-point first
    std::vector<std::string> skipped;  // paths that are no regular files
};

// A new archive from the regular files under `folder`: one entry per file,
// named by its path relative to the folder with '\' between folders (or as
// `entryName` names it), in byte order of the names. Two files of one entry
// name refuse the pack, and so does a folder under it that cannot be read.
// Refuses the whole pack (listing every such file) when a name is longer than
// 64 bytes. Nothing is left behind on failure. An output set that exists is
// replaced as a save's output is.
bool PakWrite_Pack(const std::string &folder, const std::string &output, const PakPackOptions &options,
                   PakPackReport &report, std::string &error);

// ---- checking an archive ----

struct PakVerifyProblem {
    int32_t record = -1;   // -1: the archive as a whole
    std::string line;      // the entry's list line
    std::string problem;
};

struct PakVerifyReport {
    size_t entries = 0;
    uint64_t storedBytes = 0;
    uint64_t expandedBytes = 0;
    size_t compressed = 0;
    std::vector<PakVerifyProblem> broken;
    std::vector<PakVerifyProblem> overlaps;  // information: archives may share bytes
    std::vector<std::string> leftovers;      // temporary files of a save that was killed, beside the set
};

// Checks every record: its file present and a regular file, its bytes in
// bounds of the file and where a signed 32-bit seek reaches them, every "LZO"
// block expanding completely to its declared length. False when the archive
// does not open (`error` says why).
bool PakWrite_Verify(const std::string &path, PakVerifyReport &report, std::string &error);
