// Resources that models and materials name, found by name and kind: first in
// the archive the model came from, then in GLOBAL.PAK of that archive's
// folder. One rule for the view (which uploads what it finds) and the exports
// (which write it). Plain C++: no window, GL or audio.
#pragma once

#include "material/material.h"
#include "pak/pak.h"
#include "resource/resource_kind.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct Model;

// The first entry named `name` (case ignored; the 64-character name field)
// whose resource, expanded when stored LZO-compressed, classifies as `kind`:
// its bytes in `out`. Entries of that name and another kind are passed over;
// a holding file that cannot be opened ends the search. False when none.
// `pending`, when given, gives the resource of an entry (by slot) that waits
// to be saved, to be taken instead of its stored bytes; null for the others.
// Whether two names are one entry's name as the lookups read names: equal
// with ASCII case ignored.
bool Lookup_SameName(std::string_view a, std::string_view b);

using LookupPending = std::function<const std::vector<uint8_t> *(size_t slot)>;
bool Pak_LoadEntryByName(const std::string &name, ResourceKind kind, const PakArchive &archive,
                         std::vector<uint8_t> &out, const LookupPending &pending = {});

// Loads GLOBAL.PAK of `main`'s folder (any case) into `global` unless it
// already holds an index: once loaded it is kept, also after `main` becomes an
// archive of another folder. False while `main` has no index or is GLOBAL
// itself, and when the file is missing or refused; `global` then stays
// unloaded and the next call tries again.
bool Lookup_OpenGlobal(const PakArchive &main, PakArchive &global);

// Lookups that found nothing, by name (case ignored) and kind. The archives
// do not change while a model is prepared, so such a lookup would find
// nothing again: its search, through every entry of that name, is not repeated.
struct LookupMemo {
    std::set<std::pair<std::string, int>> notFound;
};

// Where lookups search.
struct LookupArchives {
    const PakArchive *main = nullptr;  // without an index nothing is found
    PakArchive *global = nullptr;      // GLOBAL.PAK (Lookup_OpenGlobal); null: `main` only
    std::mutex *globalLock = nullptr;  // held while `global` is loaded, when threads share it
    LookupMemo *memo = nullptr;        // may be null
    LookupPending mainPending;         // resources of `main` waiting for a save; may be empty
    // Asked when neither `main` nor `global` has the resource (the folder's
    // other archives, when the window looks in every archive): its bytes and
    // the file name of the archive that had it. Empty: nowhere else.
    std::function<bool(const std::string &name, ResourceKind kind, std::vector<uint8_t> &bytes,
                       std::string &archive)>
        elsewhere;
    // Told of each resource found outside `main`: its name and the file name
    // of the archive that had it. May be empty.
    std::function<void(const std::string &name, const std::string &archive)> foundOutside;
};

// `name` of `kind` in `main`, else in `global`, else `elsewhere`: its bytes. Names the memo
// holds as not found are not searched for; those not found are added to it.
bool Lookup_Find(const LookupArchives &archives, const std::string &name, ResourceKind kind,
                 std::vector<uint8_t> &bytes);

// The bytes of the material a surface names ("stone.mat" is kept under
// "stone"); false when it is not found or empty.
bool Lookup_MaterialBytes(const LookupArchives &archives, const char *materialName, std::vector<uint8_t> &bytes);

// Called for each map of a material that was found, one at a time: the map
// (0 diffuse, 1 normal, 2 specular), the entry name that answered (the
// stand-in's for a missing diffuse map), its bytes and its wrap pair (s, t).
using LookupTextureSink =
    std::function<void(int map, const std::string &name, std::vector<uint8_t> &bytes, const uint32_t wrap[2])>;

// Looks up the maps of `parsed` in order; a diffuse map that is missing (or
// unnamed) falls back to "__missingtexture", the others have no stand-in.
void Lookup_MaterialTextures(const LookupArchives &archives, const MaterialText &parsed,
                             const LookupTextureSink &sink);

// Surfaces that name one material (ASCII case ignored) share it: the first
// surface before `surface` with the same non-empty name, or -1.
int Lookup_SharedSurface(const Model &model, size_t surface);
