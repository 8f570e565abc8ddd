#include "lookup/lookup.h"
#include "base/ascii.h"

#include "model/model.h"

#include <cstring>

bool Lookup_SameName(std::string_view a, std::string_view b)
{
    return Ascii_Equal(a, b);
}

bool Pak_LoadEntryByName(const std::string &name, ResourceKind kind, const PakArchive &archive,
                         std::vector<uint8_t> &out, const LookupPending &pending)
{
    out.clear();
    if (name.empty() || name.size() > sizeof(PakEntry::name) || memchr(name.data(), 0, name.size()))
        return false;
    for (size_t slot = 0; slot < archive.entries.size(); ++slot) {
        const PakEntry &entry = archive.entries[slot];
        if (entry.size == kPakSkippedSize ||
            !Lookup_SameName(std::string_view(entry.name, strnlen(entry.name, sizeof entry.name)), name))
            continue;
        // Loaded as a selection loads it, so that an entry stored compressed
        // is expanded before its kind is judged.
        std::vector<uint8_t> bytes;
        const std::vector<uint8_t> *waiting = pending ? pending(slot) : nullptr;
        if (waiting)
            bytes = *waiting;
        switch (waiting ? PakLoadResult::Ok : Pak_LoadEntry(archive, entry, bytes)) {
        case PakLoadResult::CannotOpen:
        case PakLoadResult::ReadFailed:
            return false;
        case PakLoadResult::Corrupt:
        case PakLoadResult::NoMemory:
            continue;
        case PakLoadResult::Ok:
            break;
        }
        if (ClassifyResource(bytes.data(), bytes.size()) == kind) {
            out.swap(bytes);
            return true;
        }
    }
    return false;
}

bool Lookup_OpenGlobal(const PakArchive &main, PakArchive &global)
{
    if (!main.hasIndex || Ascii_Equal(main.baseName, "GLOBAL"))
        return false;
    if (global.hasIndex)
        return true;
    // A refusal leaves `global` without an index: the next lookup tries again.
    return Pak_OpenArchive(Pak_FindInFolder(main.directory, "GLOBAL.PAK"), global) == PakOpenResult::Ok;
}

static bool GlobalReady(const LookupArchives &archives)
{
    if (!archives.global)
        return false;
    if (!archives.globalLock)
        return Lookup_OpenGlobal(*archives.main, *archives.global);
    // Once loaded the archive is never written again, so readers need the
    // lock only around this check.
    std::lock_guard lock(*archives.globalLock);
    return Lookup_OpenGlobal(*archives.main, *archives.global);
}

bool Lookup_Find(const LookupArchives &archives, const std::string &name, ResourceKind kind,
                 std::vector<uint8_t> &bytes)
{
    bytes.clear();
    if (name.empty() || !archives.main || !archives.main->hasIndex)
        return false;
    std::string key = name;
    for (char &c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    LookupMemo *memo = archives.memo;
    if (memo && memo->notFound.count({key, kind}))
        return false;
    if (Pak_LoadEntryByName(name, kind, *archives.main, bytes, archives.mainPending))
        return true;
    if (GlobalReady(archives) && Pak_LoadEntryByName(name, kind, *archives.global, bytes)) {
        if (archives.foundOutside) {
            const std::string &path = archives.global->path;
            archives.foundOutside(name, path.substr(path.find_last_of("\\/") + 1));
        }
        return true;
    }
    std::string archive;
    if (archives.elsewhere && archives.elsewhere(name, kind, bytes, archive)) {
        if (archives.foundOutside)
            archives.foundOutside(name, archive);
        return true;
    }
    bytes.clear();
    if (memo)
        memo->notFound.insert({std::move(key), kind});
    return false;
}

bool Lookup_MaterialBytes(const LookupArchives &archives, const char *materialName, std::vector<uint8_t> &bytes)
{
    return materialName && Lookup_Find(archives, Mat_EntryName(materialName), KindMaterial, bytes) && !bytes.empty();
}

void Lookup_MaterialTextures(const LookupArchives &archives, const MaterialText &parsed,
                             const LookupTextureSink &sink)
{
    std::vector<uint8_t> bytes;
    const auto maps = Mat_MapLookups(parsed);
    for (size_t i = 0; i < maps.size(); ++i) {
        const MaterialMapLookup &map = maps[i];
        if (Lookup_Find(archives, map.name, KindTexture, bytes))
            sink(static_cast<int>(i), map.name, bytes, map.wrap);
        else if (map.fallback && Lookup_Find(archives, map.fallback, KindTexture, bytes))
            sink(static_cast<int>(i), map.fallback, bytes, map.wrap);
    }
}

int Lookup_SharedSurface(const Model &model, size_t surface)
{
    const char *name = model.surfaces[surface].materialName;
    const size_t size = sizeof model.surfaces[surface].materialName;
    if (name[0] == '\0')
        return -1;
    for (size_t j = 0; j < surface; ++j)
        if (Ascii_Equal(std::string_view(model.surfaces[j].materialName, strnlen(model.surfaces[j].materialName, size)),
                        std::string_view(name, strnlen(name, size))))
            return static_cast<int>(j);
    return -1;
}
