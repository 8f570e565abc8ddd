// Files written whole or not at all: made under a temporary name in the
// target's folder, written, and renamed over the target only once every byte
// is there; on any failure the temporary goes and the target keeps what it
// held. The one primitive of every writer: exports, material libraries, mods
// and the archive writer's sets.
#pragma once

#include "base/platform.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Creates a new file for writing in the folder `dirFd` under a temporary
// name (returned in `tempName`), with the permissions a new file gets. -1
// with errno set on failure.
int Base_CreateTempIn(int dirFd, std::string &tempName);

// Moves the temporary file `tempName` of `fromDirFd` to `leaf` of `toDirFd`.
// With `replace` an existing file of that name is replaced (its inode is
// never written to, so a hard link to it elsewhere keeps its bytes) and the
// new one takes on its permissions, and its owner and group where allowed;
// without, an existing one is kept and false returned with errno EEXIST.
bool Base_PlaceTemp(int fromDirFd, const std::string &tempName, int toDirFd, const std::string &leaf,
                    bool replace);

// The files of one output (a .gltf with its .bin and images) written whole or
// not at all together: each under a temporary name in one folder, moved into
// place only once all were written. Files not placed are removed when the
// set ends.
class BaseFileSet {
public:
    explicit BaseFileSet(int tempDirFd) : dirFd_(tempDirFd) {}
    ~BaseFileSet();
    BaseFileSet(const BaseFileSet &) = delete;
    BaseFileSet &operator=(const BaseFileSet &) = delete;

    // Writes `bytes` as the set's next file; false with errno set (nothing of it is left).
    bool Add(std::span<const uint8_t> bytes);
    // The bytes of every file added.
    uint64_t Bytes() const { return bytes_; }
    // Moves file N to `leaves[N]` of `toDirFd` in their order (the file that
    // names the others last), as Base_PlaceTemp does. When one fails (errno
    // set, `failed` its name), those placed before it under names that were
    // free are removed again, so nothing new is left.
    bool Place(int toDirFd, const std::vector<std::string> &leaves, bool replace, std::string &failed);

private:
    int dirFd_;
    std::vector<std::string> temps_;  // empty once placed
    uint64_t bytes_ = 0;
};

// Files written whole or not at all together, each beside its own target (an
// archive set's companions and the entry-point file that points into them;
// Base_WriteWhole's one file): made under temporary names, written through
// their descriptors by their owner, then all flushed and renamed over their
// targets in a stated order (the file that points into the others last).
// Until the last rename, a failure or the end of the set removes every
// temporary and every file placed under a name that was free, so the targets
// hold what they held.
class BaseWholeSet {
public:
    // `step`, when given, is called after each flush and each rename: the
    // points where a test may stop the writer dead.
    explicit BaseWholeSet(void (*step)() = nullptr) : step_(step) {}
    ~BaseWholeSet() { Abandon(); }
    BaseWholeSet(const BaseWholeSet &) = delete;
    BaseWholeSet &operator=(const BaseWholeSet &) = delete;

    // Makes a file of the set: a temporary beside `target` with the
    // permission bits `mode`, then the owner, group and permissions of the
    // file `reference` when one is named. Its descriptor, which the set
    // keeps and closes; -1 with errno set.
    int Add(const std::string &target, unsigned mode, const std::string &reference = "");
    // The temporary name of the set's file `fd`, for messages.
    const std::string &Temp(int fd) const;

    // A file grown by appends in place that the set's files point into:
    // flushed before any of them is renamed. It stays its owner's.
    void FlushFirst(int fd, const std::string &path) { appended_.push_back({path, fd}); }

    // Flushes the appended files, then the set's files in `order` (every
    // descriptor Add returned), closes them, and renames them over their
    // targets in that order. False with errno set and `failed` telling
    // where; the set is then abandoned.
    struct Failure {
        std::string path;    // the file that failed: an appended one or a temporary
        std::string target;  // where that temporary was to go ("" for an appended file)
        bool renaming = false;
    };
    bool Commit(const std::vector<int> &order, Failure &failed);
    bool Committed() const { return committed_; }

    // Removes what an uncommitted set made; closes its files either way.
    void Abandon();

private:
    struct File {
        std::string target, temp;
        int fd = -1;
        bool placed = false, wasFree = false;
    };
    File *Find(int fd);
    void (*step_)();
    std::vector<File> files_;
    std::vector<std::pair<std::string, int>> appended_;
    bool committed_ = false;
};

// Writes `size` bytes at `data` as the file `path` whole: a temporary file
// beside it with the permission bits `mode`, flushed to disk, renamed over
// `path`. False with errno set on failure (`path` then holds what it held and
// no temporary is left); `*created` (may be null) tells whether the temporary
// file could be made at all.
bool Base_WriteWhole(const std::string &path, const void *data, size_t size, unsigned mode,
                     bool *created = nullptr);
