// Finding an entry by its name and the kind of its content, for the
// resources that models and materials name.
#include "resource/resource_kind.h"
#include "pak/pak.h"

#include <cstring>
#include <strings.h>

bool Pak_LoadEntryByName(const std::string &name, ResourceKind kind, const PakArchive &archive,
                         std::vector<uint8_t> &out)
{
    out.clear();
    if (name.empty() || name.size() > sizeof(PakEntry::name) || memchr(name.data(), 0, name.size()))
        return false;
    for (const PakEntry &entry : archive.entries) {
        if (entry.size == kPakSkippedSize || strnlen(entry.name, sizeof entry.name) != name.size() ||
            strncasecmp(entry.name, name.data(), name.size()) != 0)
            continue;
        // Loaded as a selection loads it, so that an entry stored compressed
        // is expanded before its kind is judged.
        std::vector<uint8_t> bytes;
        switch (Pak_LoadEntry(archive, entry, bytes)) {
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
