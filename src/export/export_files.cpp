// Whole-or-nothing files: nothing the user did not choose is lost or left
// half-written, whatever fails (a full disk, a cancelled job, a crash).
#include "export/export_files.h"
#include "base/file_io.h"
#include "base/platform.h"
#include "base/whole_file.h"
#include "export/export.h"

#include <cerrno>
#include <cstdio>

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

ExportTarget::~ExportTarget()
{
    if (dirFd >= 0)
        Sys_Close(dirFd);
}

ExportResult ExportFile_OpenTarget(const std::string &path, ExportTarget &target)
{
    if (path.empty() || path.size() > 8191)
        return ExportResult::CannotOpen;
    target.path = path;
    if (Sys_PathKind(path, false) == SysKind::Link) {
        if (std::string resolved = Sys_ResolvePath(path); !resolved.empty())
            target.path = resolved;
    }
    // A device or pipe chosen as the output (/dev/stdout, a FIFO read by
    // another program) is written into as it is: it cannot be replaced.
    target.kind = Sys_PathKind(target.path, true);
    if (target.kind == SysKind::Folder)
        return ExportResult::CannotOpen;
    if (target.kind == SysKind::Other)
        return ExportResult::Ok;
    const std::string &full = target.path;
    const size_t sep = full.find_last_of(kSysPathSeparators);
    std::string dir = sep == std::string::npos ? "." : sep == 0 ? "/" : full.substr(0, sep);
#ifdef _WIN32
    // "C:" alone names the drive's current folder, not its root.
    if (sep == 2 && full[1] == ':')
        dir = full.substr(0, 3);
#endif
    target.leaf = sep == std::string::npos ? full : full.substr(sep + 1);
    if (target.leaf.empty())
        return ExportResult::CannotOpen;
    target.dirFd = Sys_OpenFolder(dir);
    if (target.dirFd < 0)
        return ExportResult::CannotOpen;
    target.kind = Sys_KindAt(target.dirFd, target.leaf, false);
    if (target.kind == SysKind::File && !Sys_MayWriteAt(target.dirFd, target.leaf))
        return ExportResult::CannotOpen;
    return ExportResult::Ok;
}

ExportResult Export_ToPath(const std::string &path, const char *mode,
                           const std::function<ExportResult(FILE *)> &write)
{
    ExportTarget target;
    if (const ExportResult opened = ExportFile_OpenTarget(path, target); opened != ExportResult::Ok)
        return opened;
    if (target.kind == SysKind::Other) {
        FILE *file = Sys_FOpen(target.path, mode);
        return file ? WriteAndClose(file, write) : ExportResult::CannotOpen;
    }
    const int dirFd = target.dirFd;
    const std::string &leaf = target.leaf;
    const bool exists = target.kind == SysKind::File;
    std::string tempName;
    const int fd = Base_CreateTempIn(dirFd, tempName);
    if (fd < 0 && exists && (errno == EACCES || errno == EPERM))
        return WriteInPlace(dirFd, leaf, mode, write);
    FILE *file = fd >= 0 ? Sys_StreamFromFd(fd, mode) : nullptr;
    if (!file) {
        if (fd >= 0) {
            Sys_Close(fd);
            Sys_RemoveAt(dirFd, tempName);
        }
        return ExportResult::CannotOpen;
    }
    ExportResult result = WriteAndClose(file, write);
    if (result == ExportResult::Ok && !Base_PlaceTemp(dirFd, tempName, dirFd, leaf, true))
        result = ExportResult::CannotOpen;
    // On any failure the target keeps what it held before.
    if (result != ExportResult::Ok)
        Sys_RemoveAt(dirFd, tempName);
    return result;
}
