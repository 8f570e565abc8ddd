// Copying a range of one open file into another.
#include "base/file_io.h"
#include "base/platform.h"

#include <algorithm>
#include <cerrno>
#include <vector>
#ifdef __linux__
#include <unistd.h>
#endif

int64_t Sys_CopyRange(int in, int64_t offset, int out, uint64_t length)
{
    uint64_t done = 0;
#ifdef __linux__
    // In the kernel: no copy through user space.
    while (done < length) {
        loff_t from = offset + static_cast<int64_t>(done);
        size_t want = static_cast<size_t>(std::min<uint64_t>(length - done, 1u << 30));
        ssize_t n = copy_file_range(in, &from, out, nullptr, want, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;  // not offered between these files: go on with reads and writes
        if (n == 0)
            return static_cast<int64_t>(done);  // end of the input
        done += static_cast<uint64_t>(n);
    }
#endif
    std::vector<uint8_t> piece(256 * 1024);
    while (done < length) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(length - done, piece.size()));
        const int64_t n = Sys_ReadAt(in, piece.data(), want, offset + static_cast<int64_t>(done));
        if (n < 0)
            return kSysReadFailed;
        if (n == 0)
            break;
        if (!Base_WriteAll(out, piece.data(), static_cast<size_t>(n)))
            return kSysWriteFailed;
        done += static_cast<uint64_t>(n);
    }
    return static_cast<int64_t>(done);
}
