// The archive writer's file calls (POSIX).
#include "pakwrite/write_files.h"

#include "base/bytes.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

int OpenRegular(const std::string &path, int flags, int64_t *length)
{
    const int fd = open(path.c_str(), flags | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    const int fl = fcntl(fd, F_GETFL);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fl < 0 || fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0) {
        const int saved = S_ISREG(st.st_mode) ? errno : EINVAL;
        close(fd);
        errno = saved;
        return -1;
    }
    if (length)
        *length = static_cast<int64_t>(st.st_size);
    return fd;
}

std::string FolderOf(const std::string &path)
{
    const size_t sep = path.find_last_of('/');
    return sep == std::string::npos ? "." : sep == 0 ? "/" : path.substr(0, sep);
}

}  // namespace

int WF_OpenExisting(const std::string &path, int64_t *length)
{
    const int fd = OpenRegular(path, O_RDWR, length);
    struct stat st;
    // A file marked read-only stays so, even for a user whom the system would let write.
    if (fd >= 0 && fstat(fd, &st) == 0 && (st.st_mode & 0222) == 0) {
        close(fd);
        errno = EACCES;
        return -1;
    }
    return fd;
}

int WF_OpenRead(const std::string &path, int64_t *length)
{
    return OpenRegular(path, O_RDONLY, length);
}

int WF_CreateNew(const std::string &path)
{
    return open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
}

int WF_CreateTemp(const std::string &target, std::string &temp)
{
    static std::atomic<unsigned> serial{0};
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        snprintf(suffix, sizeof suffix, ".tmp-%d-%u-%08x", static_cast<int>(getpid()), serial++, random());
        temp = target + suffix;
        const int fd = WF_CreateNew(temp);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool WF_WriteAt(int fd, const void *data, size_t size, int64_t offset)
{
    const uint8_t *at = static_cast<const uint8_t *>(data);
    while (size > 0) {
        const ssize_t n = pwrite(fd, at, std::min<size_t>(size, 1u << 30), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        at += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

bool WF_ReadAt(int fd, void *data, size_t size, int64_t offset)
{
    uint8_t *at = static_cast<uint8_t *>(data);
    while (size > 0) {
        const ssize_t n = pread(fd, at, std::min<size_t>(size, 1u << 30), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;  // the file ends early
            return false;
        }
        at += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

bool WF_CopyRange(int in, int64_t inOffset, int out, int64_t outOffset, uint64_t length)
{
#ifdef __linux__
    while (length > 0) {
        loff_t from = inOffset, to = outOffset;
        const size_t want = static_cast<size_t>(std::min<uint64_t>(length, 1u << 30));
        const ssize_t n = copy_file_range(in, &from, out, &to, want, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == ENOSPC || errno == EDQUOT || errno == EIO))
            return false;
        if (n <= 0)
            break;  // not offered between these files, or the input ended: reads and writes decide
        inOffset += n;
        outOffset += n;
        length -= static_cast<uint64_t>(n);
    }
#endif
    std::vector<uint8_t> piece(static_cast<size_t>(std::min<uint64_t>(length, 1u << 20)));
    while (length > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(length, piece.size()));
        if (!WF_ReadAt(in, piece.data(), want, inOffset) || !WF_WriteAt(out, piece.data(), want, outOffset))
            return false;
        inOffset += static_cast<int64_t>(want);
        outOffset += static_cast<int64_t>(want);
        length -= want;
    }
    return true;
}

bool WF_Flush(int fd)
{
    return fsync(fd) == 0;
}

bool WF_FlushFolderOf(const std::string &path)
{
    const int fd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Some file systems refuse to flush a folder; the rename itself has happened.
    const bool ok = fsync(fd) == 0 || errno == EINVAL;
    close(fd);
    return ok;
}

bool WF_ReplaceByRename(const std::string &temp, const std::string &target)
{
    return rename(temp.c_str(), target.c_str()) == 0 && WF_FlushFolderOf(target);
}

bool WF_Truncate(int fd, int64_t length)
{
    return ftruncate(fd, length) == 0 && fsync(fd) == 0;
}

void WF_Close(int fd)
{
    if (fd >= 0)
        close(fd);
}

std::string WF_LastError()
{
    return strerror(errno);
}

bool WF_SameFile(const std::string &a, const std::string &b)
{
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool WF_Exists(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

void WF_Step()
{
    static const int64_t stopAt = [] {
        const char *text = getenv("QUILLON_WRITE_STOP_AT");
        return text ? Bytes_ParseInteger(text) : 0;
    }();
    static std::atomic<int64_t> steps{0};
    if (stopAt > 0 && ++steps == stopAt)
        raise(SIGKILL);
}
