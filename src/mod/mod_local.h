// What the files of mod/ share: a small JSON reader for the files this code
// writes, hex names, and whole-file writes under a temporary name.
#pragma once

#include "mod/mod.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// A JSON value as mod.json and the backup records use them: objects, arrays,
// strings, integers, true, false and null.
struct ModJson {
    enum Type { Null, Bool, Number, String, Array, Object } type = Null;
    bool flag = false;
    int64_t number = 0;
    std::string text;
    std::vector<ModJson> items;
    std::map<std::string, ModJson> fields;

    const ModJson &operator[](const std::string &key) const;  // a Null value when absent
};

// Parses `text`; false on anything but one well-formed value.
bool ModJson_Parse(const std::string &text, ModJson &value);

// `text` as a JSON string literal (the bytes as they are, control bytes and
// those above 0x7F as \u00XX, so any byte string comes back unchanged).
std::string ModJson_Quote(const std::string &text);

// Writes `bytes` to `path` under a temporary name beside it, flushed, then
// renamed over it, with the permissions of the file it replaces (0644 for a
// new one); false with `error` on failure (nothing left behind).
bool Mod_WriteWhole(const std::string &path, const void *bytes, size_t size, std::string &error);

// Whether `name` is a relative path of plain '/'-separated names (no "..",
// ".", empty parts, or '\\'), so that it stays inside the folder it is joined to.
bool Mod_SafeRelative(const std::string &name);

// Mod_Read from the text of a mod.json.
bool Mod_FromJson(const std::string &text, Mod &mod, std::string &error);
std::string Mod_ToJson(const Mod &mod);
