// The archive writer's file calls, over the platform layer.
#include "pakwrite/write_files.h"

#include "base/bytes.h"
#include "base/file_io.h"
#include "base/platform.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

int WF_OpenRead(const std::string &path, int64_t *length)
{
    return Sys_OpenRegularRead(path, length);
}

int WF_OpenAppend(const std::string &path, int64_t *length)
{
    const SysKind kind = Sys_PathKind(path, false);
    if (kind != SysKind::File) {
        errno = kind == SysKind::Missing ? ENOENT : kind == SysKind::Link ? ELOOP : EINVAL;
        return -1;
    }
    const int fd = Sys_OpenAppend(path);
    if (fd < 0)
        return -1;
    unsigned mode = 0;
    const int64_t size = Sys_FileSize(fd);
    if (size < 0 || (Sys_FileMode(fd, &mode) && (mode & 0222) == 0)) {
        const int error = size < 0 ? errno : EACCES;
        Sys_Close(fd);
        errno = error;
        return -1;
    }
    if (length)
        *length = size;
    return fd;
}

bool WF_CheckWritable(const std::string &path)
{
    const int fd = WF_OpenAppend(path, nullptr);
    if (fd < 0)
        return false;
    Sys_Close(fd);
    return true;
}

bool WF_Append(int fd, const void *data, size_t size)
{
    return Base_WriteAll(fd, data, size);
}

bool WF_WriteAt(int fd, const void *data, size_t size, int64_t offset)
{
    const uint8_t *at = static_cast<const uint8_t *>(data);
    while (size > 0) {
        const int64_t n = Sys_WriteAt(fd, at, size, offset);
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
        const int64_t n = Sys_ReadAt(fd, at, size, offset);
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

bool WF_CopyTo(int in, int64_t offset, int out, uint64_t length)
{
    const int64_t copied = Sys_CopyRange(in, offset, out, length);
    if (copied >= 0 && static_cast<uint64_t>(copied) != length)
        errno = EIO;
    return copied >= 0 && static_cast<uint64_t>(copied) == length;
}

bool WF_Truncate(int fd, int64_t length)
{
    return Sys_Truncate(fd, length) && Sys_FlushToDisk(fd);
}

void WF_Remove(const std::string &path)
{
    (void)Sys_RemoveAt(kSysCurrentFolder, path);
}

void WF_Close(int fd)
{
    if (fd >= 0)
        (void)Sys_Close(fd);
}

std::string WF_LastError()
{
    return strerror(errno);
}

bool WF_SameFile(const std::string &a, const std::string &b)
{
    const std::string ra = Sys_ResolvePath(a);
    return !ra.empty() && ra == Sys_ResolvePath(b);
}

bool WF_Exists(const std::string &path)
{
    return Sys_PathKind(path, false) != SysKind::Missing;
}

void WF_Step()
{
    static const int64_t stopAt = [] {
        const char *text = getenv("QUILLON_WRITE_STOP_AT");
        return text ? Bytes_ParseInteger(text) : 0;
    }();
    static std::atomic<int64_t> steps{0};
    if (stopAt > 0 && ++steps == stopAt) {
#ifdef SIGKILL
        raise(SIGKILL);
#endif
        std::_Exit(137);  // no cleanup at all, as a kill
    }
}
