// Writing a whole buffer to a file descriptor.
#pragma once

#include "base/platform.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>

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
