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

bool ExportFile_Place(int fromDirFd, const std::string &tempName, int toDirFd, const std::string &leaf,
                      bool replace)
{
    if (replace)
        return renameat(fromDirFd, tempName.c_str(), toDirFd, leaf.c_str()) == 0;
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
    std::string tempName;
    const int fd = ExportFile_CreateTemp(dirFd, tempName);
    FILE *file = fd >= 0 ? fdopen(fd, mode) : nullptr;
    if (!file) {
        if (fd >= 0) {
            close(fd);
            unlinkat(dirFd, tempName.c_str(), 0);
        }
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
