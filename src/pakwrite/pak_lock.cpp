// The lock that lets one writer at a time change a set, what a writer does
// with an existing output set it replaces, and the temporary files a killed
// save leaves beside a set.
#include "pakwrite/pakwrite.h"
#include "pakwrite/pakwrite_local.h"
#include "pakwrite/write_files.h"

#include "base/platform.h"
#include "pak/pak.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <set>

struct PakSetLock {
    int fd = -1;
    ~PakSetLock()
    {
        if (fd >= 0)
            (void)Sys_Close(fd);
    }
};

std::shared_ptr<PakSetLock> PakWrite_LockSet(const std::string &entryPoint, double waitSeconds, std::string &error)
{
    return PW_LockSet(entryPoint, waitSeconds, error);
}

std::string PakWrite_LockPath(const std::string &entryPoint)
{
    return entryPoint + ".lock";
}

namespace {

// The process id the holder wrote into the lock file, or "" (on Windows the
// locked bytes cannot be read).
std::string HolderOf(const std::string &lockPath)
{
    int64_t length = 0;
    const int fd = Sys_OpenRegularRead(lockPath, &length);
    if (fd < 0)
        return "";
    char text[24] = {};
    const int64_t n = length > 0 ? Sys_ReadAt(fd, text, std::min<int64_t>(length, sizeof text - 1), 0) : 0;
    (void)Sys_Close(fd);
    std::string holder;
    for (int64_t i = 0; i < n && text[i] >= '0' && text[i] <= '9'; ++i)
        holder += text[i];
    return holder;
}

bool IsTempSuffix(const std::string &name, size_t at)
{
    if (name.size() != at + 7 || name[at] != '.')
        return false;
    for (size_t i = at + 1; i < name.size(); ++i)
        if (!isalnum(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

// Whether `name` is what a save of the set `base` (the entry point's file
// name) names a temporary file: "BASE.XXXXXX", and with `companions` also
// "STEM_NN.PAK.XXXXXX".
bool IsTempOf(const std::string &name, const std::string &base, bool companions)
{
    if (name.size() == base.size() + 7 && name.compare(0, base.size(), base) == 0)
        return IsTempSuffix(name, base.size());
    if (!companions || name.size() < 7)
        return false;
    const size_t file = name.size() - 7;
    return Pak_CompanionNumber(std::string_view(name).substr(0, file), base) >= 0 && IsTempSuffix(name, file);
}

std::vector<std::string> TempsOf(const std::string &entryPoint, bool companions)
{
    const std::string folder = Sys_ParentFolder(entryPoint);
    const std::string base = PW_BaseName(entryPoint);
    std::vector<std::string> names, found;
    if (!Sys_ListFolder(folder.empty() ? "." : folder, names))
        return found;
    for (const std::string &name : names)
        if (IsTempOf(name, base, companions))
            found.push_back(folder.empty() ? name : folder + "/" + name);
    return found;
}

}  // namespace

std::shared_ptr<PakSetLock> PW_LockSet(const std::string &entryPoint, double waitSeconds, std::string &error)
{
    const std::string folder = Sys_ParentFolder(entryPoint);
    const std::string lockPath = PakWrite_LockPath(entryPoint);
    const int dir = Sys_OpenFolder(folder.empty() ? "." : folder);
    if (dir < 0) {
        error = "Cannot open the folder of '" + entryPoint + "': " + WF_LastError() + ". Nothing was changed.";
        return nullptr;
    }
    const int64_t wait = waitSeconds <= 0 ? 0 : static_cast<int64_t>(std::ceil(std::min(waitSeconds, 1e6) * 1000));
    auto lock = std::make_shared<PakSetLock>();
    lock->fd = Sys_LockFileAt(dir, PW_BaseName(lockPath), wait);
    const int failure = errno;
    (void)Sys_Close(dir);
    if (lock->fd < 0) {
        // A set in a folder this user cannot write is only read (a new set is
        // made of it elsewhere): no lock file can be made there, and no save
        // can change it in place.
        if (failure == EACCES || failure == EROFS || failure == EPERM)
            return lock;
        if (failure == EWOULDBLOCK) {
            const std::string holder = HolderOf(lockPath);
            char waited[32];
            snprintf(waited, sizeof waited, "%g", std::max(waitSeconds, 0.0));
            error = "Another program is writing '" + entryPoint + "': its lock '" + lockPath + "' is held" +
                    (holder.empty() ? "" : " by process " + holder) + " (waited " + waited +
                    " s). Nothing was changed; try again when it is done.";
        } else {
            errno = failure;
            error = "Cannot take the lock '" + lockPath + "': " + WF_LastError() + ". Nothing was changed.";
        }
        return nullptr;
    }
    // Who holds it, for the message of a writer that waits in vain.
    const std::string pid = std::to_string(Sys_ProcessId()) + "\n";
    if (Sys_Truncate(lock->fd, 0))
        (void)Sys_WriteAt(lock->fd, pid.data(), pid.size(), 0);
    // Under the lock no other save of this set runs: an entry-point temporary
    // beside it is what a killed save left.
    for (const std::string &temp : TempsOf(entryPoint, false))
        WF_Remove(temp);
    return lock;
}

std::vector<std::string> PW_Leftovers(const std::string &entryPoint)
{
    return TempsOf(entryPoint, true);
}

bool PW_CheckOldOutput(const std::string &output, bool overwrite, const std::vector<std::string> &inputs,
                       PW_OldOutput &old, std::string &error)
{
    old = PW_OldOutput{};
    const SysKind kind = Sys_PathKind(output, false);
    if (kind == SysKind::Missing)
        return true;
    if (kind == SysKind::Link) {
        error = "The output '" + output + "' is a link; Quillon does not write through links.";
        return false;
    }
    for (const std::string &in : inputs)
        if (WF_SameFile(output, in)) {
            error = "The output '" + output + "' is a file of the archive itself; give another name.";
            return false;
        }
    PakArchive archive;
    if (kind != SysKind::File || Pak_OpenArchive(output, archive) != PakOpenResult::Ok) {
        if (overwrite && kind == SysKind::File) {
            old.exists = true;
            old.reference = output;
            return true;
        }
        error = "The output '" + output + "' exists and is no archive; give another name" +
                (kind == SysKind::File ? std::string(", or --overwrite to replace it.") : std::string(".")) +
                " Nothing was changed.";
        return false;
    }
    old.exists = true;
    old.reference = output;
    std::set<int> files;
    for (const PakEntry &e : archive.entries) {
        const int file = (e.part < 0 || e.location == 3) ? kEntryPointFile : e.part;
        if (e.size == kPakSkippedSize || file == kEntryPointFile || !files.insert(file).second)
            continue;
        const std::string path = PW_FileOnDisk(archive, file);
        if (Sys_PathKind(path, false) != SysKind::File)
            continue;
        for (const std::string &in : inputs)
            if (WF_SameFile(path, in)) {
                error = "The output set '" + output + "' holds '" + path +
                        "', a file of the archive itself; give another name. Nothing was changed.";
                return false;
            }
        old.companions.push_back(path);
    }
    return true;
}

void PW_RemoveOldCompanions(const PW_OldOutput &old, const std::vector<std::string> &written)
{
    for (const std::string &path : old.companions) {
        bool keep = false;
        for (const std::string &w : written)
            keep = keep || WF_SameFile(path, w);
        if (!keep)
            WF_Remove(path);
    }
}

void PW_TakeOwnerAndMode(const std::string &reference, const std::string &path)
{
    if (!reference.empty())
        Sys_CopyOwnerAndModeAt(kSysCurrentFolder, reference, kSysCurrentFolder, path);
}
