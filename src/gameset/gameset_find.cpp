// Finding entries across a folder's archives: "which archive holds this file".
#include "gameset/gameset.h"

#include <algorithm>
#include <cstring>
#include <set>

size_t Gameset_FindInArchive(const GamesetArchive &archive, const PakArchive &pak, std::string_view text,
                             const std::vector<ResourceKind> &kinds, const GamesetHitSink &hit,
                             const GamesetTrouble &trouble)
{
    size_t hits = 0;
    std::vector<uint8_t> bytes;
    PakOpenFile open;  // entries of one file are read through one open file
    std::set<std::string> told;
    // The lines found are few beside the whole list: they are put in list
    // order after the text has found them, not before.
    std::vector<int> found;
    const PakFind find = Pak_CompileFind(text);
    for (size_t slot = 0; slot < pak.entries.size(); ++slot) {
        const PakEntry &entry = pak.entries[slot];
        const std::string_view line(entry.displayName, strnlen(entry.displayName, sizeof entry.displayName));
        if (!line.empty() && Pak_FindMatches(find, line, strnlen(entry.name, sizeof entry.name)))
            found.push_back(static_cast<int>(slot));
    }
    std::sort(found.begin(), found.end(), [&pak](int a, int b) {
        const int c = Pak_CompareLines(pak.entries[static_cast<size_t>(a)].displayName,
                                       pak.entries[static_cast<size_t>(b)].displayName);
        return c != 0 ? c < 0 : a < b;
    });
    for (int slot : found) {
        const PakEntry &entry = pak.entries[static_cast<size_t>(slot)];
        ResourceKind kind = KindCount;
        if (!kinds.empty()) {
            // Only the entries the text found are read: their kind is in their bytes.
            const PakLoadResult result = Pak_LoadEntry(pak, entry, bytes, nullptr, open);
            if (result != PakLoadResult::Ok) {
                const std::string message = archive.name + ": " + Pak_LoadMessage(result, pak, entry);
                if (trouble && told.insert(message).second)
                    trouble(message);
                continue;
            }
            kind = ClassifyResource(bytes.data(), bytes.size());
            if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end())
                continue;
        }
        ++hits;
        hit(GamesetHit{archive, pak, entry, kind});
    }
    return hits;
}

size_t Gameset_Find(const std::vector<GamesetArchive> &archives, std::string_view text,
                    const std::vector<ResourceKind> &kinds, const GamesetHitSink &hit,
                    const GamesetTrouble &trouble)
{
    size_t hits = 0;
    for (const GamesetArchive &archive : archives) {
        PakArchive pak;
        const PakOpenResult result = Pak_OpenArchive(archive.path, pak);
        if (result != PakOpenResult::Ok) {
            if (trouble)
                trouble(archive.name + ": " + Pak_OpenMessage(result));
            continue;
        }
        hits += Gameset_FindInArchive(archive, pak, text, kinds, hit, trouble);
    }
    return hits;
}
