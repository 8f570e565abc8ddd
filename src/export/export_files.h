// The targets the user chose to write: what a path names, and its folder's
// handle for the whole-or-nothing files of base/whole_file.h. Internal to
// src/export.
#pragma once

#include "base/platform.h"
#include "base/whole_file.h"
#include "export/export.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

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
