// mod.json: writing it, and reading it back with a reader that trusts nothing.
#include "mod/mod_local.h"

#include "base/ascii.h"
#include "base/file_io.h"
#include "base/platform.h"
#include "base/whole_file.h"

#include <cerrno>
#include <cstring>
#include <xxhash.h>

namespace {

struct Parser {
    const std::string &s;
    size_t at = 0;
    int depth = 0;

    void Space()
    {
        while (at < s.size() && (s[at] == ' ' || s[at] == '\n' || s[at] == '\r' || s[at] == '\t'))
            ++at;
    }
    bool Literal(const char *word)
    {
        const std::string w = word;
        if (s.compare(at, w.size(), w) != 0)
            return false;
        at += w.size();
        return true;
    }
    static int Hex(char c)
    {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    }
    bool String(std::string &out)
    {
        if (at >= s.size() || s[at] != '"')
            return false;
        ++at;
        while (at < s.size() && s[at] != '"') {
            if (s[at] != '\\') {
                out += s[at++];
                continue;
            }
            if (++at >= s.size())
                return false;
            const char c = s[at++];
            static const char kFrom[] = "\"\\/bfnrt", kTo[] = "\"\\/\b\f\n\r\t";
            if (c == 'u') {
                if (at + 4 > s.size())
                    return false;
                int code = 0;
                for (int i = 0; i < 4; ++i) {
                    const int h = Hex(s[at++]);
                    if (h < 0)
                        return false;
                    code = code * 16 + h;
                }
                // Only what ModJson_Quote writes: one byte per escape.
                if (code > 0xFF)
                    return false;
                out += static_cast<char>(code);
            } else if (const char *p = strchr(kFrom, c); p && c != '\0') {
                out += kTo[p - kFrom];
            } else {
                return false;
            }
        }
        if (at >= s.size())
            return false;
        ++at;
        return true;
    }
    bool Value(ModJson &v)
    {
        if (++depth > 32)
            return false;
        Space();
        if (at >= s.size())
            return false;
        const char c = s[at];
        bool ok = true;
        if (c == '{') {
            v.type = ModJson::Object;
            ++at;
            Space();
            if (at < s.size() && s[at] == '}') {
                ++at;
            } else {
                for (;;) {
                    std::string key;
                    Space();
                    ModJson item;
                    if (!String(key))
                        return false;
                    Space();
                    if (at >= s.size() || s[at++] != ':' || !Value(item))
                        return false;
                    v.fields[key] = std::move(item);
                    Space();
                    if (at < s.size() && s[at] == ',') {
                        ++at;
                        continue;
                    }
                    if (at >= s.size() || s[at++] != '}')
                        return false;
                    break;
                }
            }
        } else if (c == '[') {
            v.type = ModJson::Array;
            ++at;
            Space();
            if (at < s.size() && s[at] == ']') {
                ++at;
            } else {
                for (;;) {
                    v.items.emplace_back();
                    if (!Value(v.items.back()))
                        return false;
                    Space();
                    if (at < s.size() && s[at] == ',') {
                        ++at;
                        continue;
                    }
                    if (at >= s.size() || s[at++] != ']')
                        return false;
                    break;
                }
            }
        } else if (c == '"') {
            v.type = ModJson::String;
            ok = String(v.text);
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            v.type = ModJson::Number;
            const bool negative = c == '-';
            at += negative;
            size_t digits = 0;
            while (at < s.size() && s[at] >= '0' && s[at] <= '9' && digits < 18)
                v.number = v.number * 10 + (s[at++] - '0'), ++digits;
            ok = digits > 0 && !(at < s.size() && s[at] >= '0' && s[at] <= '9');
            if (negative)
                v.number = -v.number;
        } else if (Literal("true")) {
            v.type = ModJson::Bool;
            v.flag = true;
        } else if (Literal("false")) {
            v.type = ModJson::Bool;
        } else {
            ok = Literal("null");
        }
        --depth;
        return ok;
    }
};

const char kDigits[] = "0123456789abcdef";

}  // namespace

const ModJson &ModJson::operator[](const std::string &key) const
{
    static const ModJson none;
    const auto found = fields.find(key);
    return found == fields.end() ? none : found->second;
}

bool ModJson_Parse(const std::string &text, ModJson &value)
{
    Parser p{text};
    if (!p.Value(value))
        return false;
    p.Space();
    return p.at == text.size();
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

std::string Mod_Hash(const void *data, size_t size)
{
    const XXH128_hash_t h = XXH3_128bits(data, size);
    std::string out;
    for (const uint64_t word : {h.high64, h.low64})
        for (int shift = 60; shift >= 0; shift -= 4)
            out += kDigits[(word >> shift) & 15];
    return out;
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
    case ModChange::Replaced:
        break;
    }
    return "replaced";
}

std::string Mod_ToJson(const Mod &mod)
{
    std::string out = "{\n  \"version\": " + std::to_string(mod.version) + ",\n  \"name\": " +
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
            out += "}";
        }
        out += "\n    ]}";
    }
    return out + "\n  ]\n}\n";
}

bool Mod_FromJson(const std::string &text, Mod &mod, std::string &error)
{
    ModJson root;
    if (!ModJson_Parse(text, root) || root.type != ModJson::Object) {
        error = "it is no well-formed JSON object";
        return false;
    }
    if (root["version"].type != ModJson::Number || root["version"].number < 1) {
        error = "it has no version number";
        return false;
    }
    if (root["version"].number > kModVersion) {
        error = "it is of version " + std::to_string(root["version"].number) + ", newer than this program reads (" +
                std::to_string(kModVersion) + ")";
        return false;
    }
    mod.name = root["name"].text;
    if (root["archives"].type != ModJson::Array) {
        error = "it lists no archives";
        return false;
    }
    for (const ModJson &a : root["archives"].items) {
        ModArchive archive;
        archive.name = a["archive"].text;
        // The backup folder holds copies of entry points that a mod must not edit.
        if (!Mod_SafeRelative(archive.name) || Ascii_Equal(std::string_view(archive.name).substr(0, 8), ".quillon")) {
            error = "the archive name " + ModJson_Quote(archive.name) + " leads outside the game's archives";
            return false;
        }
        for (const ModJson &e : a["entries"].items) {
            ModEntry entry;
            const std::string change = e["change"].text;
            entry.change = change == "added" ? ModChange::Added : change == "removed" ? ModChange::Removed
                                                                                      : ModChange::Replaced;
            entry.name = e["name"].text;
            entry.occurrence = static_cast<int>(e["occurrence"].number);
            entry.hash = e["xxh3_128"].text;
            entry.file = e["file"].text;
            const bool hashed = entry.hash.size() == 32 && entry.hash.find_first_not_of(kDigits) == std::string::npos;
            const bool filed = entry.file.size() > 6 && entry.file.compare(0, 6, "files/") == 0 &&
                               entry.file.find_first_not_of("0123456789", 6) == std::string::npos;
            if ((change != "replaced" && change != "added" && change != "removed") || entry.name.empty() ||
                entry.name.size() > 64 || e["occurrence"].number < 1 || e["occurrence"].number > 1 << 30 ||
                hashed != (entry.change != ModChange::Added) || filed != (entry.change != ModChange::Removed)) {
                error = "an entry of " + ModJson_Quote(archive.name) + " is malformed";
                return false;
            }
            archive.entries.push_back(std::move(entry));
        }
        mod.archives.push_back(std::move(archive));
    }
    return true;
}

bool Mod_Read(const std::string &folder, Mod &mod, std::string &error)
{
    const std::string path = folder + "/mod.json";
    std::vector<uint8_t> bytes;
    const BaseRead read = Base_ReadFile(path, bytes);
    if (read != BaseRead::Ok) {
        error = Base_ReadFailure(read, path);
        return false;
    }
    if (!Mod_FromJson(std::string(bytes.begin(), bytes.end()), mod, error)) {
        error = "'" + path + "' is no mod: " + error + ".";
        return false;
    }
    return true;
}
