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

int BaseWholeSet::Add(const std::string &target, unsigned mode, const std::string &reference)
{
    File f;
    f.target = target;
    f.fd = Sys_CreateTempBeside(target, f.temp);
    if (f.fd < 0)
        return -1;
    // A file system without permission bits still takes the bytes.
    (void)Sys_SetFileMode(f.fd, mode);
    if (!reference.empty())
        Sys_CopyOwnerAndModeAt(kSysCurrentFolder, reference, kSysCurrentFolder, f.temp);
    files_.push_back(f);
    return f.fd;
}

BaseWholeSet::File *BaseWholeSet::Find(int fd)
{
    for (File &f : files_)
        if (f.fd == fd && !f.placed)
            return &f;
    return nullptr;
}

const std::string &BaseWholeSet::Temp(int fd) const
{
    for (const File &f : files_)
        if (f.fd == fd)
            return f.temp;
    static const std::string none;
    return none;
}

bool BaseWholeSet::Commit(const std::vector<int> &order, Failure &failed)
{
    auto fail = [&](const std::string &path, const std::string &target, bool rename) {
        failed = {path, target, rename};
        Abandon();
        return false;
    };
    // Every byte is on the disk before any name changes.
    for (const auto &[path, fd] : appended_) {
        if (!Sys_FlushToDisk(fd))
            return fail(path, "", false);
        if (step_)
            step_();
    }
    std::vector<File *> files;
    for (int fd : order) {
        File *f = Find(fd);
        if (!f) {
            errno = EBADF;
            return fail("", "", false);
        }
        if (!Sys_FlushToDisk(f->fd))
            return fail(f->temp, f->target, false);
        if (step_)
            step_();
        files.push_back(f);
    }
    // Closed before they take their names: a close may report a late write
    // failure, and Windows may refuse to rename a file that is open.
    for (File *f : files) {
        const int fd = f->fd;
        f->fd = -1;
        if (!Sys_Close(fd))
            return fail(f->temp, f->target, false);
    }
    for (File *f : files) {
        f->wasFree = Sys_PathKind(f->target, false) == SysKind::Missing;
        if (!Sys_ReplaceByRename(f->temp, f->target))
            return fail(f->temp, f->target, true);
        f->placed = true;
        if (step_)
            step_();
    }
    committed_ = true;
    Abandon();
    return true;
}

void BaseWholeSet::Abandon()
{
    const int error = errno;  // the failure's, for the caller's message
    for (File &f : files_) {
        if (f.fd >= 0)
            (void)Sys_Close(f.fd);
        if (!committed_ && !f.placed)
            (void)Sys_RemoveAt(kSysCurrentFolder, f.temp);
        else if (!committed_ && f.wasFree)
            (void)Sys_RemoveAt(kSysCurrentFolder, f.target);
    }
    files_.clear();
    appended_.clear();
    errno = error;
}

bool Base_WriteWhole(const std::string &path, const void *data, size_t size, unsigned mode, bool *created)
{
    BaseWholeSet set;
    const int fd = set.Add(path, mode);
    if (created)
        *created = fd >= 0;
    if (fd < 0)
        return false;
    // The bits asked for are part of what is written.
    BaseWholeSet::Failure failed;
    return Sys_SetFileMode(fd, mode) && Base_WriteAll(fd, data, size) && set.Commit({fd}, failed);
}
