// A folder's entry-point archives: which of its files are archives the user
// could open, and which only hold the bytes of another one.
#include "base/platform.h"
#include "base/ascii.h"
#include "gameset/gameset.h"

#include "export/export_jobs.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

namespace {

// The stem of the entry point whose companion a file of stem `stem` would be:
// the part before "_NN", where NN is a part number as the companion rule writes
// it (Pak_PartNumber). Empty when the stem names no companion.
std::string CompanionOwner(const std::string &stem)
{
    const size_t sep = stem.find_last_of('_');
    if (sep == std::string::npos || sep == 0)
        return "";
    return Pak_PartNumber(std::string_view(stem).substr(sep + 1)) < 0 ? "" : stem.substr(0, sep);
}

struct Listing {
    std::vector<std::string> files;    // names of regular files (links followed)
    std::vector<std::string> folders;  // names of folders that are not links
};

bool ListFolder(const std::string &folder, Listing &listing)
{
    std::vector<std::string> names;
    if (!Sys_ListFolder(folder, names))
        return false;
    for (std::string &name : names) {
        const std::string path = folder + "/" + name;
        SysKind kind = Sys_PathKind(path, false);
        if (kind == SysKind::Folder) {
            listing.folders.push_back(std::move(name));
            continue;
        }
        // A link to a file counts as the file, as opening it does.
        if (kind == SysKind::Link)
            kind = Sys_PathKind(path, true);
        if (kind == SysKind::File)
            listing.files.push_back(std::move(name));
    }
    return true;
}

// The archives of one folder, then of its subfolders when `recursive`.
// `prefix` is the folder's name relative to the top ("" or "dlc/").
bool ListArchivesIn(const std::string &folder, const std::string &prefix, bool recursive,
                    std::vector<GamesetArchive> &archives, const GamesetTrouble &trouble)
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
        const PakOpenResult opened = Pak_CheckEntryPoint(folder + "/" + name, &file, header);
        if (opened == PakOpenResult::CannotOpen && trouble)
            trouble("Could not read '" + folder + "/" + name + "': " + strerror(errno));
        if (opened != PakOpenResult::Ok)
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
            if (!ListArchivesIn(folder + "/" + sub, prefix + sub + "/", true, archives, trouble) && trouble)
                trouble("Could not read the folder '" + folder + "/" + sub + "': " + strerror(errno));
    return true;
}

}  // namespace

bool Gameset_IsFolder(const std::string &path)
{
    return Sys_PathKind(path, true) == SysKind::Folder;
}

bool Gameset_ListArchives(const std::string &folder, bool recursive, std::vector<GamesetArchive> &archives,
                          std::string &error, const GamesetTrouble &trouble)
{
    archives.clear();
    std::string top = folder;
    while (top.size() > 1 && strchr(kSysPathSeparators, top.back()))
        top.pop_back();
    if (!ListArchivesIn(top, "", recursive, archives, trouble)) {
        error = "Could not read the folder '" + folder + "': " + strerror(errno);
        return false;
    }
    std::sort(archives.begin(), archives.end(), [](const GamesetArchive &a, const GamesetArchive &b) {
        const int c = Pak_CompareLines(a.name.c_str(), b.name.c_str());
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return true;
}

std::vector<std::string> Gameset_ExtractFolders(const std::vector<GamesetArchive> &archives)
{
    // One part of a name made safe as an entry's name is; a '\' in it (a
    // file name may hold one) leaves it one part. Empty for "..", "." and "".
    auto safePart = [](const std::string &part) {
        std::string safe;
        for (const std::string &piece : Export_SafePathComponents(part))
            safe += (safe.empty() ? "" : "_") + piece;
        return safe;
    };
    // Where each archive lies below the top, made safe (so no part of it
    // climbs out), case folded as the folder may fold it.
    std::vector<std::string> places(archives.size()), files(archives.size());
    std::set<std::string> taken;  // folders that hold archives' folders: never one archive's own
    for (size_t i = 0; i < archives.size(); ++i) {
        const std::string &name = archives[i].name;
        size_t start = 0;
        for (size_t sep; (sep = name.find('/', start)) != std::string::npos; start = sep + 1) {
            const std::string part = safePart(name.substr(start, sep - start));
            if (part.empty())
                continue;
            places[i] += part + "/";
            taken.insert(Ascii_Folded(places[i]));
        }
        files[i] = name.substr(start);
    }
    std::vector<std::string> folders;
    for (size_t i = 0; i < archives.size(); ++i) {
        const std::string &file = files[i];
        // The name without its extension; the whole name when that is taken
        // (by an archive of the name in another case or extension, or by a
        // folder of archives), then the whole name numbered.
        std::string folder;
        for (int round = 0; folder.empty(); ++round) {
            const std::string name = round == 0   ? file.substr(0, file.size() > 4 ? file.size() - 4 : 0)
                                     : round == 1 ? file
                                                  : file + "_" + std::to_string(round);
            std::string path = safePart(name);
            if (path.empty())
                continue;
            path = places[i] + path;
            if (taken.insert(Ascii_Folded(path + "/")).second)
                folder = path;
        }
        folders.push_back(std::move(folder));
    }
    return folders;
}
