// What the files of mod/ share: a small JSON reader for the files this code
// writes, hex names, and whole-file writes under a temporary name.
#pragma once

#include "mod/mod.h"

#include <nlohmann/json.hpp>
#include <xxhash.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// mod.json and the backup records are read with nlohmann's reader, which
// never throws here: a malformed text is refused, a value of the wrong type
// reads as absent.
using ModJson = nlohmann::json;

// Parses `text`; false on anything but one well-formed value.
bool ModJson_Parse(const std::string &text, ModJson &value);

// The bytes of the string `object[key]` ("" when absent or no string); false
// when it holds a character above U+00FF, which no byte stands for.
bool ModJson_Text(const ModJson &object, const char *key, std::string &bytes);

// The integer `object[key]`, or `absent` when it is missing or no integer.
int64_t ModJson_Integer(const ModJson &object, const char *key, int64_t absent);

// The array `object[key]` (an empty one when absent or no array).
const ModJson &ModJson_Items(const ModJson &object, const char *key);

// `text` as a JSON string literal (the bytes as they are, control bytes and
// those above 0x7F as \u00XX, so any byte string comes back unchanged).
std::string ModJson_Quote(const std::string &text);

// Writes `bytes` to `path` under a temporary name beside it, flushed, then
// renamed over it, with the permissions of the file it replaces (0644 for a
// new one); false with `error` on failure (nothing left behind).
bool Mod_WriteWhole(const std::string &path, const void *bytes, size_t size, std::string &error);

// A hash as Mod_Hash writes it: 32 hex digits, the high half first.
std::string Mod_HashDigits(const XXH128_hash_t &hash);

// Whether `name` is a relative path of plain '/'-separated names (no "..",
// ".", empty parts, or '\\'), so that it stays inside the folder it is joined to.
bool Mod_SafeRelative(const std::string &name);

// Mod_Read from the text of a mod.json.
bool Mod_FromJson(const std::string &text, Mod &mod, std::string &error);
std::string Mod_ToJson(const Mod &mod);

// ---- a mod's files, in a folder or a .zip ----

struct ModZipEntry {
    std::string name;      // with the zip's one top folder, if any, taken off
    uint64_t offset = 0;   // of the stored bytes in the .zip
    uint64_t size = 0;
    uint32_t crc = 0;      // CRC-32 of the bytes
};

struct ModFiles {
    std::string path;
    bool zip = false;
    std::vector<ModZipEntry> entries;  // zip: by name
};

// Opens the mod `path`: a folder as it is (or named by its mod.json), a .zip
// by its central directory.
// A .zip is refused unless every entry is stored (not compressed or
// encrypted), named by a relative path that stays inside the mod, named once,
// and lies whole before the directory without overlapping another.
bool Mod_OpenFiles(const std::string &path, ModFiles &files, std::string &error);

// The bytes of the file `name` ("mod.json", "files/N") of an opened mod; a
// zip entry whose bytes do not match its CRC-32 is refused.
bool Mod_ReadFile(const ModFiles &files, const std::string &name, std::vector<uint8_t> &bytes, std::string &error);

// Writes the files `names` of `folder` as the .zip `output`, stored, under a
// temporary name renamed into place once whole and flushed; refused when
// `output` exists or a file is 4 GiB or more.
bool Mod_WriteZip(const std::string &folder, const std::vector<std::string> &names, const std::string &output,
                  std::string &error);
