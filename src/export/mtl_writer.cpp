#include "export/mtl_writer.h"

#include "base/file_io.h"
#include "base/platform.h"

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

// Whole file into `text`; a missing file is empty. False when it cannot be read.
bool ReadExisting(const std::string &path, std::string &text, bool &exists, unsigned &mode, std::string *error)
{
    exists = false;
    FILE *file = Sys_FOpen(path, "rb");
    if (!file) {
        if (errno == ENOENT)
            return true;
        return Fail(error, "Could not read " + path + ": " + strerror(errno));
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

std::string Mtl_TextureFileName(std::string_view entryName)
{
    if (entryName.empty())
        return {};
    std::string out(entryName);
    for (char &c : out) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                          c == '_' || c == '-';
        if (!keep)
            c = '_';
    }
    return out + ".png";
}

bool Mtl_WriteMerged(const std::string &folder, std::span<const MtlMaterial> materials, std::string *error)
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
        const std::string_view name = Trim(m.name);
        if (name.empty() || m.name.find_first_of("\r\n") != std::string::npos || !names.emplace(name).second)
            continue;
        added += "newmtl " + m.name + "\n";
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

    std::string temp;
    const int fd = Sys_CreateTempBeside(path, temp);
    if (fd < 0)
        return Fail(error, "Could not create a file in " + folder + ": " + strerror(errno));
    bool ok = Sys_SetFileMode(fd, mode) && Base_WriteAll(fd, text.data(), text.size());
    ok = ok && Sys_FlushToDisk(fd);
    const int savedErrno = errno;
    ok = Sys_Close(fd) && ok;
    if (ok && Sys_ReplaceByRename(temp, path))
        return true;
    const std::string reason = strerror(ok ? errno : savedErrno);
    Sys_RemoveAt(kSysCurrentFolder, temp);
    return Fail(error, "Could not write " + path + ": " + reason);
}
