// A folder's entry-point archives: which of its files are archives the user
// could open, and which only hold the bytes of another one.
#include "gameset/gameset.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace {

// The stem of the entry point whose companion a file of stem `stem` would be:
// the part before "_NN", where NN is a part number as the companion rule writes
// it ("%02i": two digits, or more without a leading zero, at most 32767).
// Empty when the stem names no companion.
std::string CompanionOwner(const std::string &stem)
{
    const size_t sep = stem.find_last_of('_');
    if (sep == std::string::npos || sep == 0)
        return "";
    const std::string digits = stem.substr(sep + 1);
    if (digits.size() < 2 || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
        return "";
    if (digits.size() > 2 && (digits[0] == '0' || std::stol(digits) > 32767))
        return "";
    return stem.substr(0, sep);
}

struct Listing {
    std::vector<std::string> files;    // names of regular files (links followed)
    std::vector<std::string> folders;  // names of folders that are not links
};

bool ListFolder(const std::string &folder, Listing &listing)
{
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return false;
    while (const dirent *d = readdir(dir)) {
        if (strcmp(d->d_name, ".") == 0 || strcmp(d->d_name, "..") == 0)
            continue;
        const std::string path = folder + "/" + d->d_name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            listing.folders.emplace_back(d->d_name);
            continue;
        }
        // A link to a file counts as the file, as opening it does.
        if (S_ISLNK(st.st_mode) && stat(path.c_str(), &st) != 0)
            continue;
        if (S_ISREG(st.st_mode))
            listing.files.emplace_back(d->d_name);
    }
    closedir(dir);
    return true;
}

// The archives of one folder, then of its subfolders when `recursive`.
// `prefix` is the folder's name relative to the top ("" or "dlc/").
bool ListArchivesIn(const std::string &folder, const std::string &prefix, bool recursive,
                    std::vector<GamesetArchive> &archives)
{
    Listing listing;
    if (!ListFolder(folder, listing))
        return false;

    // Files that are entry points by name and header, with their stems.
    std::vector<std::pair<std::string, std::string>> candidates;  // name, stem
    for (const std::string &name : listing.files) {
        if (!Pak_HasPakExtension(name))
            continue;
        FILE *file = nullptr;
        PakHeader header{};
        if (Pak_CheckEntryPoint(folder + "/" + name, &file, header) != PakOpenResult::Ok)
            continue;
        fclose(file);
        candidates.emplace_back(name, name.substr(0, name.size() - 4));
    }
    for (const auto &[name, stem] : candidates) {
        const std::string owner = CompanionOwner(stem);
        // Case ignored, as the companion search ignores it.
        const bool companion =
            !owner.empty() && std::any_of(candidates.begin(), candidates.end(), [&](const auto &c) {
                return Pak_CompareLines(c.second.c_str(), owner.c_str()) == 0;
            });
        if (!companion)
            archives.push_back({folder + "/" + name, prefix + name});
    }
    if (recursive)
        for (const std::string &sub : listing.folders)
            (void)ListArchivesIn(folder + "/" + sub, prefix + sub + "/", true, archives);
    return true;
}

}  // namespace

bool Gameset_IsFolder(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Gameset_ListArchives(const std::string &folder, bool recursive, std::vector<GamesetArchive> &archives,
                          std::string &error)
{
    archives.clear();
    std::string top = folder;
    while (top.size() > 1 && top.back() == '/')
        top.pop_back();
    if (!ListArchivesIn(top, "", recursive, archives)) {
        error = "Could not read the folder '" + folder + "': " + strerror(errno);
        return false;
    }
    std::sort(archives.begin(), archives.end(), [](const GamesetArchive &a, const GamesetArchive &b) {
        const int c = Pak_CompareLines(a.name.c_str(), b.name.c_str());
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return true;
}
