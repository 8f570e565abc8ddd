#include "export/mtl_writer.h"

#include "base/file_io.h"
#include "base/platform.h"
#include "base/whole_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

namespace {

constexpr size_t kMaxExistingSize = 64u << 20;  // a library of a hundred thousand materials is far smaller

bool Fail(std::string *error, std::string message)
{
    if (error)
        *error = std::move(message);
    return false;
}

std::string_view Trim(std::string_view s)
{
    const char *blanks = " \t\r\f\v";
    const size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

// The names after "newmtl" in a material library's text, as readers take
// them: the rest of the line, blanks around it removed.
std::set<std::string, std::less<>> DefinedNames(std::string_view text)
{
    std::set<std::string, std::less<>> names;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = Trim(text.substr(at, end - at));
        if (line.size() > 6 && line.substr(0, 6) == "newmtl" && (line[6] == ' ' || line[6] == '\t'))
            names.emplace(Trim(line.substr(7)));
        at = end + 1;
    }
    return names;
}

void AppendMap(std::string &out, const char *keyword, const std::string &entry)
{
    const std::string file = Mtl_TextureFileName(entry);
    if (!file.empty())
        out.append(keyword).append(" ").append(kMtlTextureFolder).append("/").append(file).append("\n");
}

// Whole file into `text`; a missing file is empty. False when it cannot be
// read: also when it is a link (what it points to may lie outside the
// folder) or no regular file (a FIFO would block the export for ever).
bool ReadExisting(const std::string &path, std::string &text, bool &exists, unsigned &mode, std::string *error)
{
    exists = false;
    const SysKind kind = Sys_PathKind(path, false);
    if (kind == SysKind::Missing)
        return true;
    if (kind == SysKind::Link)
        return Fail(error, "Could not read " + path + ": a symbolic link is in the way");
    int64_t length = 0;
    const int fd = Sys_OpenRegularRead(path, &length);
    FILE *file = fd >= 0 ? Sys_StreamFromFd(fd, "rb") : nullptr;
    if (!file) {
        if (fd >= 0)
            Sys_Close(fd);
        return Fail(error, "Could not read " + path + ": it is not a regular file that can be read");
    }
    exists = true;
    (void)Sys_FileMode(fileno(file), &mode);
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() <= kMaxExistingSize)
        text.append(buffer, n);
    const bool ok = !ferror(file) && text.size() <= kMaxExistingSize;
    fclose(file);
    if (!ok)
        return Fail(error, "Could not read " + path + (text.size() > kMaxExistingSize ? ": it is too large." : "."));
    return true;
}

}  // namespace

std::string Mtl_LineSafeName(std::string_view name)
{
    std::string out(name);
    for (char &c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '_';
    return out;
}

std::string Mtl_TextureFileName(std::string_view entryName)
{
    if (entryName.empty())
        return {};
    std::string out(entryName);
    bool replaced = false;
    for (char &c : out) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                          c == '_' || c == '-';
        if (!keep) {
            c = '_';
            replaced = true;
        }
    }
    if (replaced) {
        uint32_t hash = 2166136261u;  // FNV-1a: the same name gives the same file in every export
        for (unsigned char c : entryName)
            hash = (hash ^ c) * 16777619u;
        char suffix[16];
        snprintf(suffix, sizeof suffix, "-%08x", hash);
        out += suffix;
    }
    return out + ".png";
}

namespace {

bool WriteMerged(const std::string &folder, std::span<const MtlMaterial> materials, std::string *error);

// Holds the lock of the folder's material library while it lives.
class LibraryLock {
public:
    explicit LibraryLock(const std::string &folder)
    {
        const int dir = Sys_OpenFolder(folder);
        if (dir >= 0) {
            fd_ = Sys_LockFileAt(dir, kMtlLockName);
            const int error = errno;
            Sys_Close(dir);
            errno = error;
        }
    }
    ~LibraryLock()
    {
        if (fd_ >= 0)
            Sys_Close(fd_);
    }
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace

bool Mtl_WriteMerged(const std::string &folder, std::span<const MtlMaterial> materials, std::string *error)
{
    // Other exports into the folder, in this process or another, merge in
    // turn: each reads what the one before it renamed into place.
    const LibraryLock lock(folder);
    if (!lock.Held())
        return Fail(error, "Could not lock " + folder + "/" + kMtlLockName + ": " + strerror(errno));
    return WriteMerged(folder, materials, error);
}

namespace {

bool WriteMerged(const std::string &folder, std::span<const MtlMaterial> materials, std::string *error)
{
    const std::string path = folder + "/" + kMtlFileName;
    std::string text;
    bool exists;
    unsigned mode = 0644;
    if (!ReadExisting(path, text, exists, mode, error))
        return false;

    std::set<std::string, std::less<>> names = DefinedNames(text);
    std::string added;
    for (const MtlMaterial &m : materials) {
        const std::string safe = Mtl_LineSafeName(m.name);
        const std::string_view name = Trim(safe);
        if (name.empty() || !names.emplace(name).second)
            continue;
        added += "newmtl " + safe + "\n";
        AppendMap(added, "map_Kd", m.diffuse);
        AppendMap(added, "map_Bump", m.normal);
        AppendMap(added, "bump", m.normal);
        AppendMap(added, "map_Ks", m.specular);
        added += "\n";
    }
    if (exists && added.empty())
        return true;
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    text += added;

    bool created = false;
    if (Base_WriteWhole(path, text.data(), text.size(), mode, &created))
        return true;
    if (!created)
        return Fail(error, "Could not create a file in " + folder + ": " + strerror(errno));
    return Fail(error, "Could not write " + path + ": " + strerror(errno));
}

}  // namespace
