// Whole-or-nothing files: nothing the user did not choose is lost or left
// half-written, whatever fails (a full disk, a cancelled job, a crash).
#include "export/export_files.h"
#include "export/export.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int ExportFile_CreateTemp(int dirFd, std::string &tempName)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        snprintf(name, sizeof name, ".quillon-%ld-%u.part", static_cast<long>(getpid()), counter++);
        // 0666 less the umask: the permissions a plainly created file gets.
        const int fd = openat(dirFd, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
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

// The temporary file takes on the permissions of the file it replaces, and
// its owner and group where the system lets us give them: replacing a file the
// user keeps private must not make it readable to others. The set-id bits are
// not carried over, as writing into the old file would have cleared them.
static void KeepAttributes(int dirFd, const std::string &tempName, const struct stat &old)
{
    const int fd = openat(dirFd, tempName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        if ((st.st_uid != old.st_uid || st.st_gid != old.st_gid) && fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        (void)fchmod(fd, old.st_mode & 01777);
    }
    close(fd);
}

bool ExportFile_Place(int fromDirFd, const std::string &tempName, int toDirFd, const std::string &leaf,
                      bool replace)
{
    if (replace) {
        struct stat old;
        if (fstatat(toDirFd, leaf.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode))
            KeepAttributes(fromDirFd, tempName, old);
        return renameat(fromDirFd, tempName.c_str(), toDirFd, leaf.c_str()) == 0;
    }
#ifdef RENAME_NOREPLACE
    if (renameat2(fromDirFd, tempName.c_str(), toDirFd, leaf.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    // File systems without an exclusive rename: a new link fails on an
    // existing name, so nothing is replaced.
    if (linkat(fromDirFd, tempName.c_str(), toDirFd, leaf.c_str(), 0) != 0)
        return false;
    unlinkat(fromDirFd, tempName.c_str(), 0);
    return true;
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
    const int fd = openat(dirFd, leaf.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return ExportResult::CannotOpen;
    struct stat st;
    FILE *file = nullptr;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ftruncate(fd, 0) == 0)
        file = fdopen(fd, mode);
    if (!file) {
        close(fd);
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
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char *resolved = realpath(path.c_str(), nullptr)) {
            target = resolved;
            free(resolved);
        }
    }
    // A device or pipe chosen as the output (/dev/stdout, a FIFO read by
    // another program) is written into as it is: it cannot be replaced.
    if (stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode))
            return ExportResult::CannotOpen;
        FILE *file = fopen(target.c_str(), mode);
        return file ? WriteAndClose(file, write) : ExportResult::CannotOpen;
    }
    const size_t sep = target.find_last_of('/');
    const std::string dir = sep == std::string::npos ? "." : sep == 0 ? "/" : target.substr(0, sep);
    const std::string leaf = sep == std::string::npos ? target : target.substr(sep + 1);
    if (leaf.empty())
        return ExportResult::CannotOpen;
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return ExportResult::CannotOpen;
    // A file the user cannot write (made read-only, owned by another) is
    // refused as opening it for writing would be, not replaced behind its back.
    struct stat old;
    const bool exists = fstatat(dirFd, leaf.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode);
    if (exists && faccessat(dirFd, leaf.c_str(), W_OK, AT_EACCESS) != 0) {
        close(dirFd);
        return ExportResult::CannotOpen;
    }
    std::string tempName;
    const int fd = ExportFile_CreateTemp(dirFd, tempName);
    if (fd < 0) {
        const bool folderRefused = errno == EACCES || errno == EPERM;
        ExportResult result = ExportResult::CannotOpen;
        if (exists && folderRefused)
            result = WriteInPlace(dirFd, leaf, mode, write);
        close(dirFd);
        return result;
    }
    FILE *file = fdopen(fd, mode);
    if (!file) {
        close(fd);
        unlinkat(dirFd, tempName.c_str(), 0);
        close(dirFd);
        return ExportResult::CannotOpen;
    }
    ExportResult result = WriteAndClose(file, write);
    if (result == ExportResult::Ok && !ExportFile_Place(dirFd, tempName, dirFd, leaf, true))
        result = ExportResult::CannotOpen;
    // On any failure the target keeps what it held before.
    if (result != ExportResult::Ok)
        unlinkat(dirFd, tempName.c_str(), 0);
    close(dirFd);
    return result;
}
