// Whole-or-nothing files: nothing the user did not choose is lost or left
// half-written, whatever fails (a full disk, a cancelled job, a crash).
#include "base/whole_file.h"

#include "base/file_io.h"

#include <atomic>
#include <cerrno>
#include <cstdio>

int Base_CreateTempIn(int dirFd, std::string &tempName)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        snprintf(name, sizeof name, ".quillon-%ld-%u.part", Sys_ProcessId(), counter++);
        const int fd = Sys_CreateNewAt(dirFd, name);
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

bool Base_PlaceTemp(int fromDirFd, const std::string &tempName, int toDirFd, const std::string &leaf,
                      bool replace)
{
    // Replacing a file the user keeps private must not make it readable to others.
    if (replace)
        Sys_CopyOwnerAndModeAt(toDirFd, leaf, fromDirFd, tempName);
    return Sys_RenameAt(fromDirFd, tempName, toDirFd, leaf, replace);
}

BaseFileSet::~BaseFileSet()
{
    for (const std::string &temp : temps_)
        if (!temp.empty())
            Sys_RemoveAt(dirFd_, temp);
}

bool BaseFileSet::Add(std::span<const uint8_t> bytes)
{
    std::string temp;
    const int fd = Base_CreateTempIn(dirFd_, temp);
    if (fd < 0)
        return false;
    const bool written = Base_WriteAll(fd, bytes.data(), bytes.size());
    const int error = errno;
    if (!(Sys_Close(fd) && written)) {
        Sys_RemoveAt(dirFd_, temp);
        errno = written ? errno : error;
        return false;
    }
    temps_.push_back(std::move(temp));
    bytes_ += bytes.size();
    return true;
}

bool BaseFileSet::Place(int toDirFd, const std::vector<std::string> &leaves, bool replace, std::string &failed)
{
    std::vector<size_t> made;  // placed where nothing was
    for (size_t i = 0; i < temps_.size() && i < leaves.size(); ++i) {
        const bool free = Sys_KindAt(toDirFd, leaves[i], false) == SysKind::Missing;
        if (!Base_PlaceTemp(dirFd_, temps_[i], toDirFd, leaves[i], replace)) {
            const int error = errno;
            for (size_t m : made)
                Sys_RemoveAt(toDirFd, leaves[m]);
            failed = leaves[i];
            errno = error;
            return false;
        }
        temps_[i].clear();
        if (free)
            made.push_back(i);
    }
    return true;
}

bool Base_WriteWhole(const std::string &path, const void *data, size_t size, unsigned mode, bool *created)
{
    std::string temp;
    const int fd = Sys_CreateTempBeside(path, temp);
    if (created)
        *created = fd >= 0;
    if (fd < 0)
        return false;
    bool ok = Sys_SetFileMode(fd, mode) && Base_WriteAll(fd, data, size) && Sys_FlushToDisk(fd);
    int error = errno;
    if (!Sys_Close(fd) && ok) {
        ok = false;
        error = errno;
    }
    if (ok && Sys_ReplaceByRename(temp, path))
        return true;
    error = ok ? errno : error;
    (void)Sys_RemoveAt(kSysCurrentFolder, temp);
    errno = error;
    return false;
}
