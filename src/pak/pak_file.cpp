// Opening the files of an archive: only regular files, without ever blocking,
// and companion names found whatever their case.
#include "pak/pak.h"
#include "pak/pak_local.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

// The names of the last folder searched, kept while the folder is unchanged:
// an extraction asks for the same few companions once per entry.
struct FolderListing {
    std::string folder;
    dev_t device = 0;
    ino_t inode = 0;
    struct timespec changed = {};  // the folder's modification time when listed
    time_t listedAt = 0;
    std::vector<std::string> names;  // in byte order
};

std::mutex gListingLock;
FolderListing gListing;

// The names found in another case, by folder and name asked for. Writing
// beside the archive (an extraction into its own folder) changes the folder's
// time with every file, so a listing kept by that time would be read again for
// every entry; a name once found stays the answer for as long as it exists.
std::unordered_map<std::string, std::string> gFound;
constexpr size_t kFoundKept = 256;  // far more companions than an archive has

// A folder's time stamp is coarse (a clock tick here, seconds elsewhere): a
// change made in the same tick as the listing would leave it as it was, so a
// listing is trusted only once the folder has been still for a while before it.
bool ListingStillHolds(const FolderListing &listing, const std::string &folder, const struct stat &st)
{
    constexpr time_t kStillSeconds = 2;
    return listing.folder == folder && listing.device == st.st_dev && listing.inode == st.st_ino &&
           listing.changed.tv_sec == st.st_mtim.tv_sec && listing.changed.tv_nsec == st.st_mtim.tv_nsec &&
           listing.listedAt - st.st_mtim.tv_sec >= kStillSeconds;
}

void ListFolder(FolderListing &listing, const std::string &folder, const struct stat &st)
{
    listing.folder = folder;
    listing.device = st.st_dev;
    listing.inode = st.st_ino;
    listing.changed = st.st_mtim;
    listing.listedAt = time(nullptr);
    listing.names.clear();
    if (DIR *dir = opendir(folder.c_str())) {
        while (const dirent *d = readdir(dir))
            if (strcmp(d->d_name, ".") != 0 && strcmp(d->d_name, "..") != 0)
                listing.names.emplace_back(d->d_name);
        closedir(dir);
    }
    std::sort(listing.names.begin(), listing.names.end());
}

// Equal with ASCII letters folded, whatever the locale says about others.
bool EqualIgnoringAsciiCase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x + ('a' - 'A'));
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y + ('a' - 'A'));
        if (x != y)
            return false;
    }
    return true;
}

}  // namespace

std::string Pak_FindInFolder(const std::string &directory, const std::string &name)
{
    const std::string exact = directory + name;
    struct stat st;
    if (name.empty() || exact.size() > kPathMax || lstat(exact.c_str(), &st) == 0 || errno != ENOENT)
        return exact;
    const std::string folder = directory.empty() ? "." : directory;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return exact;

    std::lock_guard<std::mutex> lock(gListingLock);
    const std::string key = folder + '/' + name;
    if (const auto known = gFound.find(key); known != gFound.end()) {
        const std::string found = directory + known->second;
        struct stat still;
        if (lstat(found.c_str(), &still) == 0)
            return found;
        gFound.erase(known);
    }
    if (!ListingStillHolds(gListing, folder, st))
        ListFolder(gListing, folder, st);
    for (const std::string &candidate : gListing.names) {
        if (EqualIgnoringAsciiCase(candidate, name)) {
            if (gFound.size() >= kFoundKept)
                gFound.clear();
            gFound.emplace(key, candidate);
            return directory + candidate;
        }
    }
    return exact;
}

std::string Pak_EntryFileOnDisk(const PakArchive &archive, const PakEntry &entry)
{
    const std::string path = GetEntryFilePath(archive, entry);
    const size_t sep = path.find_last_of('/');
    if (sep == std::string::npos)
        return Pak_FindInFolder("", path);
    return Pak_FindInFolder(path.substr(0, sep + 1), path.substr(sep + 1));
}

int Pak_OpenRegularFile(const std::string &path, int64_t *length)
{
    if (path.empty() || path.size() > kPathMax)
        return -1;
    // Not blocking: opening a FIFO for reading would wait for a writer forever.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    const int flags = fcntl(fd, F_GETFL);
    // A folder, FIFO or device has no bytes of an archive (a folder even
    // claims an enormous length on some file systems).
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return -1;
    }
    if (length)
        *length = static_cast<int64_t>(st.st_size);
    return fd;
}

FILE *Pak_OpenRegularStream(const std::string &path, int64_t *length)
{
    const int fd = Pak_OpenRegularFile(path, length);
    if (fd < 0)
        return nullptr;
    FILE *file = fdopen(fd, "rb");
    if (!file)
        close(fd);
    return file;
}
