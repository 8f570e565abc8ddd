// Files written whole or not at all: a temporary file beside the target,
// renamed into place once everything was written and closed. Internal to
// src/export.
#pragma once

#include "base/platform.h"
#include "export/export.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Creates a new file for writing in the folder `dirFd` under a temporary
// name (returned in `tempName`), with the permissions a new file gets. -1
// with errno set on failure.
int ExportFile_CreateTemp(int dirFd, std::string &tempName);

// Moves the temporary file `tempName` of `fromDirFd` to `leaf` of `toDirFd`.
// With `replace` an existing file of that name is replaced (its inode is
// never written to, so a hard link to it elsewhere keeps its bytes) and the
// new one takes on its permissions, and its owner and group where allowed;
// without, an existing one is kept and false returned with errno EEXIST.
bool ExportFile_Place(int fromDirFd, const std::string &tempName, int toDirFd, const std::string &leaf,
                      bool replace);

// The files of one output (a .gltf with its .bin and images) written whole or
// not at all together: each under a temporary name in one folder, moved into
// place only once all were written. Files not placed are removed when the
// set ends.
class ExportFileSet {
public:
    explicit ExportFileSet(int tempDirFd) : dirFd_(tempDirFd) {}
    ~ExportFileSet();
    ExportFileSet(const ExportFileSet &) = delete;
    ExportFileSet &operator=(const ExportFileSet &) = delete;

    // Writes `bytes` as the set's next file; false with errno set (nothing of it is left).
    bool Add(std::span<const uint8_t> bytes);
    // The bytes of every file added.
    uint64_t Bytes() const { return bytes_; }
    // Moves file N to `leaves[N]` of `toDirFd` in their order (the file that
    // names the others last), as ExportFile_Place does. When one fails (errno
    // set, `failed` its name), those placed before it under names that were
    // free are removed again, so nothing new is left.
    bool Place(int toDirFd, const std::vector<std::string> &leaves, bool replace, std::string &failed);

private:
    int dirFd_;
    std::vector<std::string> temps_;  // empty once placed
    uint64_t bytes_ = 0;
};

// A path the user chose to write: the file it names (a link chosen in a save
// dialog names the file it points to) and what that is now; for a file or a
// new name, its folder's handle (closed with the target) and its name there.
struct ExportTarget {
    std::string path;
    SysKind kind = SysKind::Missing;
    int dirFd = -1;
    std::string leaf;
    ExportTarget() = default;
    ExportTarget(const ExportTarget &) = delete;
    ExportTarget &operator=(const ExportTarget &) = delete;
    ~ExportTarget();
};
// Fills `target` for `path`. CannotOpen for a folder, a name that is too
// long or empty, a folder that cannot be opened, and an existing file the
// user may not write (refused as opening it for writing would be, not
// replaced behind its back). A device or pipe (kind Other) is Ok, with no folder.
ExportResult ExportFile_OpenTarget(const std::string &path, ExportTarget &target);
