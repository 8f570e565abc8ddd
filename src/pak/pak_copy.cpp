// Copying an entry's stored bytes straight from its file to an output file,
// for extraction of many or large raw entries.
#include "base/file_io.h"
#include "pak/pak.h"
#include "pak/pak_local.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct FdCloser {
    int fd;
    ~FdCloser()
    {
        if (fd >= 0)
            close(fd);
    }
};

constexpr int64_t kWriteFailed = -1;
constexpr int64_t kReadFailed = -2;

// Copies `length` bytes from `in` at `offset` to `out`; returns the bytes the
// input held (fewer at its end), kWriteFailed or kReadFailed.
int64_t CopyRange(int in, int64_t offset, int out, uint64_t length)
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
        ssize_t n = pread(in, piece.data(), want, offset + static_cast<int64_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return kReadFailed;
        if (n == 0)
            break;
        if (!Base_WriteAll(out, piece.data(), static_cast<size_t>(n)))
            return kWriteFailed;
        done += static_cast<uint64_t>(n);
    }
    return static_cast<int64_t>(done);
}

}  // namespace

PakCopyResult Pak_CopyStoredEntry(const PakArchive &archive, const PakEntry &entry, int outFd, uint64_t *copied)
{
    if (copied)
        *copied = 0;
    int64_t fileLength = -1;
    FdCloser in{Pak_OpenRegularFile(Pak_EntryFileOnDisk(archive, entry), &fileLength)};
    if (in.fd < 0)
        return PakCopyResult::CannotOpen;
    // The same limits as loading the entry.
    if (entry.size > INT32_MAX || entry.size > static_cast<uint64_t>(fileLength))
        return PakCopyResult::Corrupt;

    uint8_t head[3] = {};
    const ssize_t got = entry.size > 3 ? pread(in.fd, head, sizeof head, entry.offset) : 0;
    if (got < 0)
        return PakCopyResult::ReadFailed;
    if (got == 3 && memcmp(head, "LZO", 3) == 0)
        return PakCopyResult::Compressed;

    const int64_t present = CopyRange(in.fd, entry.offset, outFd, entry.size);
    if (present == kWriteFailed)
        return PakCopyResult::WriteFailed;
    if (present == kReadFailed)
        return PakCopyResult::ReadFailed;
    // The tail that the file does not hold reads as zeros.
    static const uint8_t zeros[4096] = {};
    uint64_t missing = entry.size - static_cast<uint64_t>(present);
    while (missing > 0) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(missing, sizeof zeros));
        if (!Base_WriteAll(outFd, zeros, n))
            return PakCopyResult::WriteFailed;
        missing -= n;
    }
    if (copied)
        *copied = entry.size;
    return PakCopyResult::Ok;
}
