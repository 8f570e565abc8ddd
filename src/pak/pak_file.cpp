// Opening the files of an archive: only regular files, without ever blocking,
// and companion names found whatever their case.
#include "base/ascii.h"
#include "base/platform.h"
#include "pak/pak.h"
#include "pak/pak_local.h"

#include <algorithm>
#include <ctime>
#include <mutex>
#include <unordered_map>

namespace {

// The names of the last folder searched, kept while the folder is unchanged:
// an extraction asks for the same few companions once per entry.
struct FolderListing {
    std::string folder;
    SysFolderStamp stamp;  // the folder's identity and modification time when listed
    time_t listedAt = 0;
    std::vector<std::string> names;  // in byte order
};

std::mutex gListingLock;
FolderListing gListing;

// The companions found in another case, by folder and name asked for.
// Writing beside the archive (an extraction into its own folder) changes the
// folder's time with every file, so a listing kept by that time would be read
// again for every entry; a companion once found stays the answer for as long
// as it exists.
std::unordered_map<std::string, std::string> gFound;
constexpr size_t kFoundKept = 256;  // far more companions than an archive has

// A folder's time stamp is coarse (a clock tick here, seconds elsewhere): a
// change made in the same tick as the listing would leave it as it was, so a
// listing is trusted only once the folder has been still for a while before it.
bool ListingStillHolds(const FolderListing &listing, const std::string &folder, const SysFolderStamp &st)
{
    constexpr time_t kStillSeconds = 2;
    return listing.folder == folder && listing.stamp.device == st.device && listing.stamp.inode == st.inode &&
           listing.stamp.changedSeconds == st.changedSeconds &&
           listing.stamp.changedNanoseconds == st.changedNanoseconds &&
           listing.listedAt - st.changedSeconds >= kStillSeconds;
}

void ListFolder(FolderListing &listing, const std::string &folder, const SysFolderStamp &st)
{
    listing.folder = folder;
    listing.stamp = st;
    listing.listedAt = time(nullptr);
    listing.names.clear();
    (void)Sys_ListFolder(folder, listing.names);
    std::sort(listing.names.begin(), listing.names.end());
}

}  // namespace

// Pak_FindInFolder; with `remember` a name found in another case is kept.
static std::string FindInFolder(const std::string &directory, const std::string &name, bool remember)
{
    const std::string exact = directory + name;
    if (name.empty() || exact.size() > kPathMax || Sys_PathKind(exact, false) != SysKind::Missing)
        return exact;
    const std::string folder = directory.empty() ? "." : directory;
    SysFolderStamp st;
    if (!Sys_FolderStamp(folder, &st))
        return exact;

    std::lock_guard<std::mutex> lock(gListingLock);
    const std::string key = folder + '/' + name;
    if (const auto known = gFound.find(key); remember && known != gFound.end()) {
        const std::string found = directory + known->second;
        const SysKind kind = Sys_PathKind(found, false);
        if (kind != SysKind::Missing && kind != SysKind::Failed)
            return found;
        gFound.erase(known);
    }
    if (!ListingStillHolds(gListing, folder, st))
        ListFolder(gListing, folder, st);
    for (const std::string &candidate : gListing.names) {
        if (Ascii_Equal(candidate, name)) {
            if (remember) {
                if (gFound.size() >= kFoundKept)
                    gFound.clear();
                gFound.insert_or_assign(key, candidate);
            }
            return directory + candidate;
        }
    }
    return exact;
}

std::string Pak_FindInFolder(const std::string &directory, const std::string &name)
{
    return FindInFolder(directory, name, false);
}

int Pak_PartNumber(std::string_view digits)
{
    if (digits.size() < 2 || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string_view::npos ||
        (digits.size() > 2 && digits[0] == '0'))
        return -1;
    int number = 0;
    for (char c : digits)
        number = number * 10 + (c - '0');
    return number <= 32767 ? number : -1;
}

int Pak_CompanionNumber(std::string_view file, std::string_view entryPoint)
{
    if (entryPoint.size() < 5 || file.size() < entryPoint.size() + 3)
        return -1;
    const std::string_view stem = entryPoint.substr(0, entryPoint.size() - 4);
    const size_t digits = stem.size() + 1;
    if (!Ascii_Equal(file.substr(0, stem.size()), stem) || file[stem.size()] != '_' ||
        !Ascii_Equal(file.substr(file.size() - 4), ".PAK"))
        return -1;
    return Pak_PartNumber(file.substr(digits, file.size() - 4 - digits));
}

std::string Pak_EntryFileOnDisk(const PakArchive &archive, const PakEntry &entry)
{
    const std::string path = GetEntryFilePath(archive, entry);
    const size_t sep = path.find_last_of(kSysPathSeparators);
    if (sep == std::string::npos)
        return FindInFolder("", path, true);
    return FindInFolder(path.substr(0, sep + 1), path.substr(sep + 1), true);
}

int Pak_OpenRegularFile(const std::string &path, int64_t *length)
{
    if (path.empty() || path.size() > kPathMax)
        return -1;
    return Sys_OpenRegularRead(path, length);
}

FILE *Pak_OpenRegularStream(const std::string &path, int64_t *length)
{
    const int fd = Pak_OpenRegularFile(path, length);
    if (fd < 0)
        return nullptr;
    FILE *file = Sys_StreamFromFd(fd, "rb");
    if (!file)
        Sys_Close(fd);
    return file;
}
