// Copying an entry's stored bytes straight from its file to an output file,
// for extraction of many or large raw entries.
#include "base/file_io.h"
#include "base/platform.h"
#include "pak/pak.h"
#include "pak/pak_local.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

struct FdCloser {
    int fd;
    ~FdCloser()
    {
        if (fd >= 0)
            Sys_Close(fd);
    }
};

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
    const int64_t got = entry.size > 3 ? Sys_ReadAt(in.fd, head, sizeof head, entry.offset) : 0;
    if (got < 0)
        return PakCopyResult::ReadFailed;
    if (got == 3 && memcmp(head, "LZO", 3) == 0)
        return PakCopyResult::Compressed;

    const int64_t present = Sys_CopyRange(in.fd, entry.offset, outFd, entry.size);
    if (present == kSysWriteFailed)
        return PakCopyResult::WriteFailed;
    if (present == kSysReadFailed)
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
