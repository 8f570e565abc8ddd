// Whole-or-nothing files: nothing the user did not choose is lost or left
// half-written, whatever fails (a full disk, a cancelled job, a crash).
#include "export/export_files.h"
#include "base/platform.h"
#include "export/export.h"

#include <atomic>
#include <cerrno>
#include <cstdio>

int ExportFile_CreateTemp(int dirFd, std::string &tempName)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        snprintf(name, sizeof name, ".quillon-%ld-%u.part", Sys_ProcessId(), counter++);
        const int fd = Sys_CreateNewAt(dirFd, name);
        if (fd >= 0) {
            tempName = name;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

bool ExportFile_Place(int fromDirFd, const std::string &tempName, int toDirFd, const std::string &leaf,
                      bool replace)
{
    // Replacing a file the user keeps private must not make it readable to others.
    if (replace)
        Sys_CopyOwnerAndModeAt(toDirFd, leaf, fromDirFd, tempName);
    return Sys_RenameAt(fromDirFd, tempName, toDirFd, leaf, replace);
}

// Runs `write` and closes the file; a failed write, flush or close is a failure.
static ExportResult WriteAndClose(FILE *file, const std::function<ExportResult(FILE *)> &write)
{
    ExportResult result = write(file);
    if ((fflush(file) != 0 || ferror(file)) && result == ExportResult::Ok)
        result = ExportResult::WriteFailed;
    if (fclose(file) != 0 && result == ExportResult::Ok)
        result = ExportResult::WriteFailed;
    return result;
}

// A writable file in a folder that takes no new file (one the user may not
// write into) cannot be replaced whole: it is emptied and written where it is,
// as a plain open would. Only regular files, never through a link.
static ExportResult WriteInPlace(int dirFd, const std::string &leaf, const char *mode,
                                 const std::function<ExportResult(FILE *)> &write)
{
    const int fd = Sys_OpenTruncateAt(dirFd, leaf);
    FILE *file = fd >= 0 ? Sys_StreamFromFd(fd, mode) : nullptr;
    if (!file) {
        if (fd >= 0)
            Sys_Close(fd);
        return ExportResult::CannotOpen;
    }
    return WriteAndClose(file, write);
}

ExportResult Export_ToPath(const std::string &path, const char *mode,
                           const std::function<ExportResult(FILE *)> &write)
{
    if (path.empty() || path.size() > 8191)
        return ExportResult::CannotOpen;
    // A link chosen in the save dialog names the file it points to.
    std::string target = path;
    if (Sys_PathKind(path, false) == SysKind::Link) {
        if (std::string resolved = Sys_ResolvePath(path); !resolved.empty())
            target = resolved;
    }
    // A device or pipe chosen as the output (/dev/stdout, a FIFO read by
    // another program) is written into as it is: it cannot be replaced.
    const SysKind kind = Sys_PathKind(target, true);
    if (kind == SysKind::Folder)
        return ExportResult::CannotOpen;
    if (kind == SysKind::Other) {
        FILE *file = Sys_FOpen(target, mode);
        return file ? WriteAndClose(file, write) : ExportResult::CannotOpen;
    }
    const size_t sep = target.find_last_of(kSysPathSeparators);
    std::string dir = sep == std::string::npos ? "." : sep == 0 ? "/" : target.substr(0, sep);
#ifdef _WIN32
    // "C:" alone names the drive's current folder, not its root.
    if (sep == 2 && target[1] == ':')
        dir = target.substr(0, 3);
#endif
    const std::string leaf = sep == std::string::npos ? target : target.substr(sep + 1);
    if (leaf.empty())
        return ExportResult::CannotOpen;
    const int dirFd = Sys_OpenFolder(dir);
    if (dirFd < 0)
        return ExportResult::CannotOpen;
    // A file the user cannot write (made read-only, owned by another) is
    // refused as opening it for writing would be, not replaced behind its back.
    const bool exists = Sys_KindAt(dirFd, leaf, false) == SysKind::File;
    if (exists && !Sys_MayWriteAt(dirFd, leaf)) {
        Sys_Close(dirFd);
        return ExportResult::CannotOpen;
    }
    std::string tempName;
    const int fd = ExportFile_CreateTemp(dirFd, tempName);
    if (fd < 0 && exists && (errno == EACCES || errno == EPERM)) {
        const ExportResult result = WriteInPlace(dirFd, leaf, mode, write);
        Sys_Close(dirFd);
        return result;
    }
    FILE *file = fd >= 0 ? Sys_StreamFromFd(fd, mode) : nullptr;
    if (!file) {
        if (fd >= 0) {
            Sys_Close(fd);
            Sys_RemoveAt(dirFd, tempName);
        }
        Sys_Close(dirFd);
        return ExportResult::CannotOpen;
    }
    ExportResult result = WriteAndClose(file, write);
    if (result == ExportResult::Ok && !ExportFile_Place(dirFd, tempName, dirFd, leaf, true))
        result = ExportResult::CannotOpen;
    // On any failure the target keeps what it held before.
    if (result != ExportResult::Ok)
        Sys_RemoveAt(dirFd, tempName);
    Sys_Close(dirFd);
    return result;
}
