// Files, folders and the console on Linux and other POSIX systems.
#ifndef _WIN32

#include "base/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <regex.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

int AtFolder(int dirFd)
{
    return dirFd == kSysCurrentFolder ? AT_FDCWD : dirFd;
}

SysKind KindOf(const struct stat &st)
{
    if (S_ISREG(st.st_mode))
        return SysKind::File;
    if (S_ISDIR(st.st_mode))
        return SysKind::Folder;
    if (S_ISLNK(st.st_mode))
        return SysKind::Link;
    return SysKind::Other;
}

// The folder holding `path`, for flushing a rename made in it.
std::string FolderOf(const std::string &path)
{
    const size_t sep = path.find_last_of('/');
    return sep == std::string::npos ? "." : sep == 0 ? "/" : path.substr(0, sep);
}

}  // namespace

int Sys_OpenRegularRead(const std::string &path, int64_t *length)
{
    // Not blocking: opening a FIFO for reading would wait for a writer forever.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    const int flags = fcntl(fd, F_GETFL);
    // A folder, FIFO or device has no bytes of a file (a folder even claims
    // an enormous length on some file systems).
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return -1;
    }
    if (length)
        *length = static_cast<int64_t>(st.st_size);
    return fd;
}

int Sys_OpenAppend(const std::string &path)
{
    return open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
}

FILE *Sys_FOpen(const std::string &path, const char *mode)
{
    return fopen(path.c_str(), mode);
}

int Sys_CreateTempBeside(const std::string &path, std::string &tempPath)
{
    std::string temp = path + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd >= 0)
        tempPath = std::move(temp);
    return fd;
}

bool Sys_ReplaceByRename(const std::string &from, const std::string &to)
{
    if (rename(from.c_str(), to.c_str()) != 0)
        return false;
    // The new name lasts a crash once its folder is flushed. Some file systems
    // cannot flush a folder; the rename is made all the same.
    const int saved = errno;
    const int dir = open(FolderOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)fsync(dir);
        close(dir);
    }
    errno = saved;
    return true;
}

SysKind Sys_PathKind(const std::string &path, bool followLinks, int64_t *size)
{
    return Sys_KindAt(kSysCurrentFolder, path, followLinks, size);
}

std::string Sys_ResolvePath(const std::string &path)
{
    std::string out;
    if (char *resolved = realpath(path.c_str(), nullptr)) {
        out = resolved;
        free(resolved);
    }
    return out;
}

bool Sys_MakeFolders(const std::string &path)
{
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return !ec;
}

std::string Sys_ParentFolder(const std::string &path)
{
    return std::filesystem::path(path).parent_path().string();
}

bool Sys_FolderStamp(const std::string &path, SysFolderStamp *stamp)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    stamp->device = static_cast<uint64_t>(st.st_dev);
    stamp->inode = static_cast<uint64_t>(st.st_ino);
    stamp->changedSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
    stamp->changedNanoseconds = static_cast<int64_t>(st.st_mtim.tv_nsec);
    return true;
}

bool Sys_ListFolder(const std::string &path, std::vector<std::string> &names)
{
    DIR *dir = opendir(path.c_str());
    if (!dir)
        return false;
    while (const dirent *d = readdir(dir))
        if (strcmp(d->d_name, ".") != 0 && strcmp(d->d_name, "..") != 0)
            names.emplace_back(d->d_name);
    closedir(dir);
    return true;
}

bool Sys_Close(int fd)
{
    return close(fd) == 0;
}

int64_t Sys_Write(int fd, const void *data, size_t size)
{
    return write(fd, data, size);
}

int64_t Sys_WriteAt(int fd, const void *data, size_t size, int64_t offset)
{
    for (;;) {
        const ssize_t n = pwrite(fd, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        return n;
    }
}

bool Sys_Truncate(int fd, int64_t length)
{
    return ftruncate(fd, static_cast<off_t>(length)) == 0;
}

int64_t Sys_ReadAt(int fd, void *data, size_t size, int64_t offset)
{
    for (;;) {
        const ssize_t n = pread(fd, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        return n;
    }
}

int64_t Sys_FileSize(int fd)
{
    struct stat st;
    return fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

bool Sys_FlushToDisk(int fd)
{
    return fsync(fd) == 0;
}

bool Sys_FileMode(int fd, unsigned *mode)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return false;
    *mode = st.st_mode & 07777;
    return true;
}

bool Sys_SetFileMode(int fd, unsigned mode)
{
    return fchmod(fd, static_cast<mode_t>(mode)) == 0;
}

FILE *Sys_StreamFromFd(int fd, const char *mode)
{
    return fdopen(fd, mode);
}

bool Sys_IsTerminal(int fd)
{
    return isatty(fd) == 1;
}

int Sys_OpenFolder(const std::string &path)
{
    return open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

int Sys_OpenSubfolder(int dirFd, const std::string &name)
{
    return openat(AtFolder(dirFd), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool Sys_MakeSubfolder(int dirFd, const std::string &name)
{
    return mkdirat(AtFolder(dirFd), name.c_str(), 0777) == 0;
}

int Sys_CreateNewAt(int dirFd, const std::string &name)
{
    // 0666 less the umask: the permissions a plainly created file gets.
    return openat(AtFolder(dirFd), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

SysKind Sys_KindAt(int dirFd, const std::string &name, bool followLinks, int64_t *size)
{
    struct stat st;
    if (fstatat(AtFolder(dirFd), name.c_str(), &st, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? SysKind::Missing : SysKind::Failed;
    const SysKind kind = KindOf(st);
    if (size && kind == SysKind::File)
        *size = static_cast<int64_t>(st.st_size);
    return kind;
}

bool Sys_MayWriteAt(int dirFd, const std::string &name)
{
    // Asked of the system, not opened: opening for writing tells file watchers
    // the file was written even when nothing was.
    return faccessat(AtFolder(dirFd), name.c_str(), W_OK, AT_EACCESS) == 0;
}

int Sys_OpenTruncateAt(int dirFd, const std::string &name)
{
    const int fd = openat(AtFolder(dirFd), name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st = {};
    const int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        ftruncate(fd, 0) != 0) {
        const int error = S_ISREG(st.st_mode) ? errno : EINVAL;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

void Sys_CopyOwnerAndModeAt(int fromDirFd, const std::string &from, int toDirFd, const std::string &to)
{
    struct stat old;
    if (fstatat(AtFolder(fromDirFd), from.c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(old.st_mode))
        return;
    const int fd = openat(AtFolder(toDirFd), to.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        // Another owner takes root; the group, any group the user is in.
        if ((st.st_uid != old.st_uid || st.st_gid != old.st_gid) && fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        (void)fchmod(fd, old.st_mode & 01777);
    }
    close(fd);
}

int Sys_LockFileAt(int dirFd, const std::string &name, int64_t waitMilliseconds)
{
    // Not blocking while opening: a FIFO of that name would wait for a writer.
    int fd = openat(AtFolder(dirFd), name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    // A lock file another user made: flock needs no write access.
    if (fd < 0 && errno == EACCES)
        fd = openat(AtFolder(dirFd), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st = {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = EINVAL;
        return -1;
    }
    // flock, not fcntl's locks: those belong to the process, so two threads would both hold one.
    // A bounded wait asks again every few milliseconds.
    const bool bounded = waitMilliseconds >= 0;
    int64_t waited = 0;
    while (flock(fd, bounded ? LOCK_EX | LOCK_NB : LOCK_EX) != 0) {
        if (bounded && errno == EWOULDBLOCK && waited < waitMilliseconds) {
            const int64_t pause = std::min<int64_t>(10, waitMilliseconds - waited);
            const struct timespec nap = {0, static_cast<long>(pause) * 1000000L};
            nanosleep(&nap, nullptr);
            waited += pause;
            continue;
        }
        if (errno != EINTR) {
            const int error = errno;
            close(fd);
            errno = error;
            return -1;
        }
    }
    return fd;
}

bool Sys_RemoveAt(int dirFd, const std::string &name)
{
    return unlinkat(AtFolder(dirFd), name.c_str(), 0) == 0;
}

bool Sys_RenameAt(int fromDirFd, const std::string &from, int toDirFd, const std::string &to, bool replace)
{
    const int fromAt = AtFolder(fromDirFd), toAt = AtFolder(toDirFd);
    if (replace)
        return renameat(fromAt, from.c_str(), toAt, to.c_str()) == 0;
#ifdef RENAME_NOREPLACE
    if (renameat2(fromAt, from.c_str(), toAt, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    // File systems without an exclusive rename: a new link fails on an
    // existing name, so nothing is replaced.
    if (linkat(fromAt, from.c_str(), toAt, to.c_str(), 0) != 0)
        return false;
    unlinkat(fromAt, from.c_str(), 0);
    return true;
}

std::string Sys_FolderPath(int dirFd)
{
    // The handle was opened component by component, never through a link:
    // its /proc name lands exactly there whatever happens to the path since.
    return "/proc/self/fd/" + std::to_string(dirFd);
}

void *Sys_MapLazy(size_t size)
{
    void *data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return data == MAP_FAILED ? nullptr : data;
}

void Sys_UnmapLazy(void *data, size_t size)
{
    if (data)
        munmap(data, size);
}

long Sys_ProcessId()
{
    return static_cast<long>(getpid());
}

std::vector<std::string> Sys_Arguments(int argc, char **argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

void Sys_SetUpStandardStreams() {}

struct SysRegex {
    regex_t compiled;
};

SysRegex *Sys_CompileRegex(const std::string &pattern, bool matchCase, std::string &error)
{
    auto regex = std::make_unique<SysRegex>();
    const int flags = REG_EXTENDED | REG_NOSUB | (matchCase ? 0 : REG_ICASE);
    const int result = regcomp(&regex->compiled, pattern.c_str(), flags);
    if (result != 0) {
        char message[256];
        regerror(result, &regex->compiled, message, sizeof message);
        error = message;
        return nullptr;
    }
    return regex.release();
}

bool Sys_RegexFinds(const SysRegex *regex, const char *text, size_t length)
{
    // REG_STARTEND: the bytes are a range, not a C string (a NUL inside is
    // text). The range is still copied and ended with a NUL: some regexec
    // wrappers (AddressSanitizer's among them) measure the text with strlen.
    thread_local std::string line;
    line.assign(text, length);
    regmatch_t range[1];
    range[0].rm_so = 0;
    range[0].rm_eo = static_cast<regoff_t>(length);
    return regexec(&regex->compiled, line.c_str(), 1, range, REG_STARTEND) == 0;
}

void Sys_FreeRegex(SysRegex *regex)
{
    if (!regex)
        return;
    regfree(&regex->compiled);
    delete regex;
}

#endif  // !_WIN32
