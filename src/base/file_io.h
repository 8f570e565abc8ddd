// Writing a whole buffer to a file descriptor, and reading a whole file.
#pragma once

#include "base/platform.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

// Writes all `size` bytes at `data` to `fd`, going on after short writes and
// interrupted calls; false when a write fails or writes nothing.
inline bool Base_WriteAll(int fd, const void *data, size_t size)
{
    const uint8_t *at = static_cast<const uint8_t *>(data);
    while (size > 0) {
        const int64_t n = Sys_Write(fd, at, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;  // a write that takes nothing is a full disk
            return false;
        }
        at += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

enum class BaseRead { Ok, CannotOpen, Failed };

// A regular file's whole contents. CannotOpen: it is missing, unreadable or
// no regular file; Failed: reading failed, memory ran out, or the file
// changed its length while it was read.
inline BaseRead Base_ReadFile(const std::string &path, std::vector<uint8_t> &bytes)
{
    int64_t length = 0;
    const int fd = Sys_OpenRegularRead(path, &length);
    if (fd < 0)
        return BaseRead::CannotOpen;
    bool ok = true;
    try {
        bytes.resize(static_cast<size_t>(length));
    } catch (const std::bad_alloc &) {
        ok = false;
    }
    int64_t done = 0, n = 1;
    while (ok && done < length && (n = Sys_ReadAt(fd, bytes.data() + done, bytes.size() - done, done)) > 0)
        done += n;
    uint8_t more;
    ok = ok && done == length && Sys_ReadAt(fd, &more, 1, length) == 0;
    Sys_Close(fd);
    return ok ? BaseRead::Ok : BaseRead::Failed;
}

// Why Base_ReadFile of `path` gave `result`, for messages.
inline std::string Base_ReadFailure(BaseRead result, const std::string &path)
{
    return result == BaseRead::CannotOpen
               ? "Cannot read '" + path + "': it is missing, unreadable or no regular file."
               : "Cannot read '" + path + "': it changed while it was read, or reading failed.";
}
