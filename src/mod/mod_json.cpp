// mod.json: writing it, and reading it back with a reader that trusts nothing.
#include "mod/mod_local.h"

#include "base/ascii.h"
#include "base/file_io.h"
#include "base/platform.h"
#include "base/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <xxhash.h>

namespace {

const char kDigits[] = "0123456789abcdef";

}  // namespace

bool ModJson_Parse(const std::string &text, ModJson &value)
{
    // No exceptions: a malformed text is a discarded value.
    value = ModJson::parse(text, nullptr, false);
    return !value.is_discarded();
}

bool ModJson_Text(const ModJson &object, const char *key, std::string &bytes)
{
    bytes.clear();
    const auto found = object.is_object() ? object.find(key) : object.end();
    if (found == object.end() || !found->is_string())
        return true;
    // The text is UTF-8 once read; each character stands for one byte, as
    // ModJson_Quote writes bytes above 0x7F as \u00XX.
    const std::string &utf8 = found->get_ref<const std::string &>();
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
            bytes += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else {
            return false;
        }
    }
    return true;
}

int64_t ModJson_Integer(const ModJson &object, const char *key, int64_t absent)
{
    const auto found = object.is_object() ? object.find(key) : object.end();
    if (found == object.end() || !found->is_number_integer())
        return absent;
    // A count past what int64 holds reads as absent rather than wrapping.
    if (found->is_number_unsigned() && found->get<uint64_t>() > static_cast<uint64_t>(INT64_MAX))
        return absent;
    return found->get<int64_t>();
}

const ModJson &ModJson_Items(const ModJson &object, const char *key)
{
    static const ModJson none = ModJson::array();
    const auto found = object.is_object() ? object.find(key) : object.end();
    return found == object.end() || !found->is_array() ? none : *found;
}

std::string ModJson_Quote(const std::string &text)
{
    std::string out = "\"";
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\')
            out += std::string("\\") + ch;
        else if (c >= 0x20 && c < 0x7F)
            out += ch;
        else
            out += std::string("\\u00") + kDigits[c >> 4] + kDigits[c & 15];
    }
    return out + "\"";
}

std::string Mod_HashDigits(const XXH128_hash_t &h)
{
    std::string out;
    for (const uint64_t word : {h.high64, h.low64})
        for (int shift = 60; shift >= 0; shift -= 4)
            out += kDigits[(word >> shift) & 15];
    return out;
}

std::string Mod_Hash(const void *data, size_t size)
{
    return Mod_HashDigits(XXH3_128bits(data, size));
}

bool Mod_WriteWhole(const std::string &path, const void *bytes, size_t size, std::string &error)
{
    // A file put back keeps the permissions of the one it replaces; a new one
    // is readable by all, as a mod is made to be shared.
    unsigned mode = 0644;
    int64_t length = 0;
    const int old = Sys_OpenRegularRead(path, &length);
    if (old >= 0 && !Sys_FileMode(old, &mode))
        mode = 0644;
    if (old >= 0)
        (void)Sys_Close(old);
    bool created = false;
    if (Base_WriteWhole(path, bytes, size, mode & 0777, &created))
        return true;
    error = (created ? "Cannot write '" : "Cannot write beside '") + path + "': " + strerror(errno) + ".";
    return false;
}

bool Mod_SafeRelative(const std::string &name)
{
    if (name.empty() || name.find('\\') != std::string::npos || name.find('\0') != std::string::npos ||
        name.find(':') != std::string::npos)
        return false;
    size_t start = 0;
    for (;;) {
        const size_t slash = name.find('/', start);
        const std::string part = name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (slash == std::string::npos)
            return true;
        start = slash + 1;
    }
}

const char *Mod_ChangeName(ModChange change)
{
    switch (change) {
    case ModChange::Added:
        return "added";
    case ModChange::Removed:
        return "removed";
    case ModChange::Renamed:
        return "renamed";
    case ModChange::Replaced:
        break;
    }
    return "replaced";
}

std::string Mod_ToJson(const Mod &mod)
{
    bool renames = false;
    for (const ModArchive &archive : mod.archives)
        for (const ModEntry &entry : archive.entries)
            renames |= entry.change == ModChange::Renamed;
    std::string out = "{\n  \"version\": " + std::to_string(renames ? kModVersion : 1) + ",\n  \"name\": " +
                      ModJson_Quote(mod.name) + ",\n  \"archives\": [";
    for (size_t a = 0; a < mod.archives.size(); ++a) {
        const ModArchive &archive = mod.archives[a];
        out += std::string(a ? "," : "") + "\n    {\"archive\": " + ModJson_Quote(archive.name) + ", \"entries\": [";
        for (size_t e = 0; e < archive.entries.size(); ++e) {
            const ModEntry &entry = archive.entries[e];
            out += std::string(e ? "," : "") + "\n      {\"change\": \"" + Mod_ChangeName(entry.change) +
                   "\", \"name\": " + ModJson_Quote(entry.name) +
                   ", \"occurrence\": " + std::to_string(entry.occurrence);
            if (!entry.hash.empty())
                out += ", \"xxh3_128\": \"" + entry.hash + "\"";
            if (!entry.file.empty())
                out += ", \"file\": " + ModJson_Quote(entry.file);
            if (entry.change == ModChange::Renamed)
                out += ", \"to\": " + ModJson_Quote(entry.to) +
                       ", \"toOccurrence\": " + std::to_string(entry.toOccurrence);
            out += "}";
        }
        out += "\n    ]}";
    }
    return out + "\n  ]\n}\n";
}

bool Mod_FromJson(const std::string &text, Mod &mod, std::string &error)
{
    ModJson root;
    if (!ModJson_Parse(text, root) || !root.is_object()) {
        error = "it is no well-formed JSON object";
        return false;
    }
    const int64_t version = ModJson_Integer(root, "version", 0);
    if (version < 1) {
        error = "it has no version number";
        return false;
    }
    if (version > kModVersion) {
        error = "it is of version " + std::to_string(version) + ", newer than this program reads (" +
                std::to_string(kModVersion) + ")";
        return false;
    }
    mod.version = static_cast<int>(version);
    if (!ModJson_Text(root, "name", mod.name)) {
        error = "its name holds characters above U+00FF";
        return false;
    }
    if (!root.contains("archives") || !root["archives"].is_array()) {
        error = "it lists no archives";
        return false;
    }
    for (const ModJson &a : root["archives"]) {
        ModArchive archive;
        // The backup folder holds copies of entry points that a mod must not edit.
        if (!ModJson_Text(a, "archive", archive.name) || !Mod_SafeRelative(archive.name) ||
            Ascii_Equal(std::string_view(archive.name).substr(0, 8), ".quillon")) {
            error = "the archive name " + ModJson_Quote(archive.name) + " leads outside the game's archives";
            return false;
        }
        for (const ModJson &e : ModJson_Items(a, "entries")) {
            ModEntry entry;
            std::string change;
            const bool texts = ModJson_Text(e, "change", change) && ModJson_Text(e, "name", entry.name) &&
                               ModJson_Text(e, "xxh3_128", entry.hash) && ModJson_Text(e, "file", entry.file) &&
                               ModJson_Text(e, "to", entry.to);
            entry.change = change == "added"     ? ModChange::Added
                           : change == "removed" ? ModChange::Removed
                           : change == "renamed" ? ModChange::Renamed
                                                 : ModChange::Replaced;
            const int64_t occurrence = ModJson_Integer(e, "occurrence", 0);
            const int64_t toOccurrence = ModJson_Integer(e, "toOccurrence", entry.change == ModChange::Renamed ? 0 : 1);
            entry.occurrence = static_cast<int>(std::clamp<int64_t>(occurrence, 0, 1 << 30));
            entry.toOccurrence = static_cast<int>(std::clamp<int64_t>(toOccurrence, 0, 1 << 30));
            const bool hashed = entry.hash.size() == 32 && entry.hash.find_first_not_of(kDigits) == std::string::npos;
            const bool filed = entry.file.size() > 6 && entry.file.compare(0, 6, "files/") == 0 &&
                               entry.file.find_first_not_of("0123456789", 6) == std::string::npos;
            const bool renamed = entry.change == ModChange::Renamed;
            const bool known = change == "replaced" || change == "added" || change == "removed" ||
                               (change == "renamed" && version >= 2);
            if (!texts || !known || entry.name.empty() || entry.name.size() > 64 || occurrence < 1 ||
                occurrence > 1 << 30 || hashed != (entry.change != ModChange::Added) ||
                filed != (entry.change == ModChange::Added || entry.change == ModChange::Replaced) ||
                renamed != !entry.to.empty() || entry.to.size() > 64 || toOccurrence < 1 || toOccurrence > 1 << 30) {
                error = "an entry of " + ModJson_Quote(archive.name) + " is malformed";
                return false;
            }
            archive.entries.push_back(std::move(entry));
        }
        mod.archives.push_back(std::move(archive));
    }
    return true;
}

bool Mod_Read(const std::string &path, Mod &mod, std::string &error)
{
    ModFiles files;
    std::vector<uint8_t> bytes;
    if (!Mod_OpenFiles(path, files, error) || !Mod_ReadFile(files, "mod.json", bytes, error))
        return false;
    if (!Mod_FromJson(std::string(bytes.begin(), bytes.end()), mod, error)) {
        error = "'" + (files.zip ? path : path + "/mod.json") + "' is no mod: " + error + ".";
        return false;
    }
    return true;
}
