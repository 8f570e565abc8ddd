// A mod's files in a folder or in a .zip: the .zip written stored (a mod's
// new resources are read back byte for byte, and most of them are compressed
// formats already), and read by a reader that trusts none of its numbers.
#include "base/ascii.h"
#include "mod/mod_local.h"

#include "base/file_io.h"
#include "base/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr uint32_t kLocalSig = 0x04034b50, kCentralSig = 0x02014b50, kEndSig = 0x06054b50;
constexpr size_t kLocalSize = 30, kCentralSize = 46, kEndSize = 22;
// 1980-01-01 00:00, the earliest a zip can say: the same mod makes the same bytes.
constexpr uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;
constexpr size_t kChunk = 1u << 20;

struct CrcTable {
    uint32_t t[256];
    CrcTable()
    {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
    }
};

uint32_t Crc32(uint32_t crc, const uint8_t *p, size_t n)
{
    static const CrcTable table;
    crc = ~crc;
    while (n--)
        crc = table.t[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void Put16(std::vector<uint8_t> &out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t> &out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

uint32_t Get16(const uint8_t *p)
{
    return p[0] | (p[1] << 8);
}

uint32_t Get32(const uint8_t *p)
{
    return Get16(p) | (Get16(p + 2) << 16);
}

// One header of a stored entry: the local one (no attributes, no offset) or the central one.
std::vector<uint8_t> Header(bool central, const std::string &name, uint32_t crc, uint32_t size, uint32_t offset)
{
    std::vector<uint8_t> h;
    Put32(h, central ? kCentralSig : kLocalSig);
    if (central)
        Put16(h, (3 << 8) | 20);  // made on Unix, so that the mode below is read
    Put16(h, 10);                 // needs 1.0: stored, no folders of its own
    Put16(h, 0);                  // no flags
    Put16(h, 0);                  // stored
    Put16(h, 0);
    Put16(h, kDosDate);
    Put32(h, crc);
    Put32(h, size);
    Put32(h, size);
    Put16(h, static_cast<uint32_t>(name.size()));
    Put16(h, 0);  // no extra field
    if (central) {
        Put16(h, 0);  // no comment
        Put16(h, 0);  // disk 0
        Put16(h, 0);
        Put32(h, 0100644u << 16);
        Put32(h, offset);
    }
    h.insert(h.end(), name.begin(), name.end());
    return h;
}

bool ReadAt(int fd, uint8_t *data, size_t size, uint64_t offset)
{
    size_t done = 0;
    while (done < size) {
        const int64_t n = Sys_ReadAt(fd, data + done, size - done, static_cast<int64_t>(offset + done));
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Positional writes only: on some systems a positional write moves the file position.
bool WriteAt(int fd, const uint8_t *data, size_t size, uint64_t offset)
{
    size_t done = 0;
    while (done < size) {
        const int64_t n = Sys_WriteAt(fd, data + done, size - done, static_cast<int64_t>(offset + done));
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The entries of the .zip open as `fd`, `length` bytes long; false with `why`.
bool ReadDirectory(int fd, uint64_t length, std::vector<ModZipEntry> &entries, std::string &why)
{
    // The end record is the last thing in the file, followed only by its comment.
    const size_t tailSize = static_cast<size_t>(std::min<uint64_t>(length, kEndSize + 0xFFFF));
    std::vector<uint8_t> tail(tailSize);
    if (!ReadAt(fd, tail.data(), tailSize, length - tailSize)) {
        why = "it cannot be read";
        return false;
    }
    size_t end = tailSize;
    for (size_t i = tailSize >= kEndSize ? tailSize - kEndSize + 1 : 0; i-- > 0;)
        if (Get32(&tail[i]) == kEndSig && i + kEndSize + Get16(&tail[i + 20]) == tailSize) {
            end = i;
            break;
        }
    if (end == tailSize) {
        why = "it has no zip directory";
        return false;
    }
    const uint8_t *e = &tail[end];
    const uint64_t endAt = length - tailSize + end;
    const uint32_t count = Get16(e + 10), dirSize = Get32(e + 12), dirAt = Get32(e + 16);
    if (Get16(e + 4) != 0 || Get16(e + 6) != 0 || Get16(e + 8) != count) {
        why = "it is a zip of several parts";
        return false;
    }
    if (count == 0xFFFF || dirSize == 0xFFFFFFFF || dirAt == 0xFFFFFFFF) {
        why = "it is a zip64 archive, which is not read";
        return false;
    }
    if (uint64_t(dirAt) + dirSize > endAt || count > dirSize / kCentralSize) {
        why = "its directory lies outside the file";
        return false;
    }
    std::vector<uint8_t> dir(dirSize);
    if (!ReadAt(fd, dir.data(), dirSize, dirAt)) {
        why = "its directory cannot be read";
        return false;
    }
    struct Span {
        uint64_t from, to;
        size_t entry;
    };
    std::vector<Span> spans;
    size_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (dirSize - at < kCentralSize || Get32(&dir[at]) != kCentralSig) {
            why = "its directory is damaged";
            return false;
        }
        const uint8_t *c = &dir[at];
        const uint32_t flags = Get16(c + 8), method = Get16(c + 10), crc = Get32(c + 16);
        const uint32_t packed = Get32(c + 20), size = Get32(c + 24);
        const size_t nameLength = Get16(c + 28), skip = size_t(Get16(c + 30)) + Get16(c + 32);
        const uint64_t local = Get32(c + 42);
        if (dirSize - at - kCentralSize < nameLength + skip) {
            why = "its directory is damaged";
            return false;
        }
        std::string name(reinterpret_cast<const char *>(c + kCentralSize), nameLength);
        at += kCentralSize + nameLength + skip;
        const bool folder = !name.empty() && name.back() == '/';
        const std::string bare = folder ? name.substr(0, name.size() - 1) : name;
        if (!Mod_SafeRelative(bare)) {
            why = "the entry " + ModJson_Quote(name) + " would lead outside the mod";
            return false;
        }
        if (flags & 1) {
            why = "the entry " + ModJson_Quote(name) + " is encrypted";
            return false;
        }
        if (method != 0 || packed != size) {
            why = "the entry " + ModJson_Quote(name) +
                  " is compressed; a mod's .zip holds its files stored (zip -0)";
            return false;
        }
        if (packed == 0xFFFFFFFF || local == 0xFFFFFFFF) {
            why = "it is a zip64 archive, which is not read";
            return false;
        }
        // The local header must name the same entry, and the bytes lie whole before the directory.
        uint8_t h[kLocalSize];
        if (local + kLocalSize > dirAt || !ReadAt(fd, h, kLocalSize, local) || Get32(h) != kLocalSig ||
            Get16(h + 8) != 0) {
            why = "the entry " + ModJson_Quote(name) + " has no sound local header";
            return false;
        }
        const uint64_t data = local + kLocalSize + Get16(h + 26) + Get16(h + 28);
        std::string localName(Get16(h + 26), '\0');
        if (Get16(h + 26) != nameLength || data > dirAt ||
            !ReadAt(fd, reinterpret_cast<uint8_t *>(localName.data()), nameLength, local + kLocalSize) ||
            localName != name) {
            why = "the entry " + ModJson_Quote(name) + " has no sound local header";
            return false;
        }
        if (size > dirAt - data) {
            why = "the entry " + ModJson_Quote(name) + " says it is longer than the file holds";
            return false;
        }
        spans.push_back({local, data + size, entries.size()});
        if (folder) {
            if (size != 0) {
                why = "the folder entry " + ModJson_Quote(name) + " holds bytes";
                return false;
            }
            entries.push_back({});  // kept in place so that spans count it, dropped below
            continue;
        }
        entries.push_back({bare, data, size, crc});
    }
    std::sort(spans.begin(), spans.end(), [](const Span &a, const Span &b) { return a.from < b.from; });
    for (size_t i = 1; i < spans.size(); ++i)
        if (spans[i].from < spans[i - 1].to) {
            why = "its entries overlap";
            return false;
        }
    entries.erase(std::remove_if(entries.begin(), entries.end(), [](const ModZipEntry &z) { return z.name.empty(); }),
                  entries.end());
    std::sort(entries.begin(), entries.end(),
              [](const ModZipEntry &a, const ModZipEntry &b) { return a.name < b.name; });
    for (size_t i = 1; i < entries.size(); ++i)
        if (entries[i].name == entries[i - 1].name) {
            why = "the entry " + ModJson_Quote(entries[i].name) + " is in it twice";
            return false;
        }
    return true;
}

// A mod zipped with its folder ("MOD/mod.json", "MOD/files/1"): the folder taken off.
void TakeOffTopFolder(std::vector<ModZipEntry> &entries)
{
    const auto isJson = [](const ModZipEntry &z) { return z.name == "mod.json"; };
    if (entries.empty() || std::any_of(entries.begin(), entries.end(), isJson))
        return;
    const size_t slash = entries.front().name.find('/');
    if (slash == std::string::npos)
        return;
    const std::string top = entries.front().name.substr(0, slash + 1);
    for (const ModZipEntry &z : entries)
        if (z.name.compare(0, top.size(), top) != 0)
            return;
    for (ModZipEntry &z : entries)
        z.name.erase(0, top.size());
}

}  // namespace

bool Mod_OpenFiles(const std::string &path, ModFiles &files, std::string &error)
{
    files = {};
    files.path = path;
    const SysKind kind = Sys_PathKind(path, true);
    if (kind == SysKind::Folder)
        return true;
    // A mod folder named by its mod.json, as a file dialog chooses it.
    const size_t sep = path.find_last_of(kSysPathSeparators);
    if (kind == SysKind::File && Ascii_Equal(std::string_view(path).substr(sep == std::string::npos ? 0 : sep + 1), "mod.json")) {
        files.path = sep == std::string::npos ? "." : path.substr(0, sep);
        return true;
    }
    int64_t length = 0;
    const int fd = kind == SysKind::File ? Sys_OpenRegularRead(path, &length) : -1;
    if (fd < 0) {
        error = "Cannot read the mod '" + path + "': it is missing, unreadable, or no folder or .zip.";
        return false;
    }
    files.zip = true;
    std::string why;
    const bool ok = ReadDirectory(fd, static_cast<uint64_t>(length), files.entries, why);
    (void)Sys_Close(fd);
    if (!ok) {
        error = "'" + path + "' is no mod: " + why + ".";
        return false;
    }
    TakeOffTopFolder(files.entries);
    return true;
}

bool Mod_ReadFile(const ModFiles &files, const std::string &name, std::vector<uint8_t> &bytes, std::string &error)
{
    if (!files.zip) {
        const std::string path = files.path + "/" + name;
        const BaseRead read = Base_ReadFile(path, bytes);
        if (read != BaseRead::Ok)
            error = Base_ReadFailure(read, path);
        return read == BaseRead::Ok;
    }
    const auto found = std::lower_bound(files.entries.begin(), files.entries.end(), name,
                                        [](const ModZipEntry &z, const std::string &n) { return z.name < n; });
    if (found == files.entries.end() || found->name != name) {
        error = "'" + files.path + "' holds no " + name + ".";
        return false;
    }
    int64_t length = 0;
    const int fd = Sys_OpenRegularRead(files.path, &length);
    bool ok = fd >= 0 && found->offset + found->size <= static_cast<uint64_t>(length);
    try {
        bytes.resize(ok ? static_cast<size_t>(found->size) : 0);
    } catch (const std::bad_alloc &) {
        ok = false;
    }
    ok = ok && ReadAt(fd, bytes.data(), bytes.size(), found->offset);
    if (fd >= 0)
        (void)Sys_Close(fd);
    if (!ok) {
        error = "Cannot read " + name + " from '" + files.path + "'.";
        return false;
    }
    if (Crc32(0, bytes.data(), bytes.size()) != found->crc) {
        error = "'" + files.path + "' is damaged: " + name + " does not hold the bytes its CRC-32 says.";
        return false;
    }
    return true;
}

bool Mod_WriteZip(const std::string &folder, const std::vector<std::string> &names, const std::string &output,
                  std::string &error)
{
    if (Sys_PathKind(output, false) != SysKind::Missing) {
        error = "'" + output + "' exists already.";
        return false;
    }
    if (names.size() >= 0xFFFF) {
        error = "A .zip mod holds fewer than 65535 files; this one is made as a folder only.";
        return false;
    }
    std::string temp;
    const int out = Sys_CreateTempBeside(output, temp);
    if (out < 0) {
        error = "Cannot write beside '" + output + "': " + strerror(errno) + ".";
        return false;
    }
    std::vector<uint8_t> directory, buffer(kChunk);
    uint64_t at = 0;
    bool ok = Sys_SetFileMode(out, 0644);
    for (const std::string &name : names) {
        if (!ok)
            break;
        const std::string path = folder + "/" + name;
        int64_t length = 0;
        const int in = Sys_OpenRegularRead(path, &length);
        if (in < 0 || length >= 0xFFFFFFFF || at + kLocalSize + name.size() + uint64_t(length) >= 0xFFFFFFFF) {
            error = in < 0 ? "Cannot read '" + path + "'." : "A .zip mod holds less than 4 GiB; make a folder instead.";
            if (in >= 0)
                (void)Sys_Close(in);
            ok = false;
            break;
        }
        // The header written with no CRC yet, then the bytes, then the CRC put in.
        const uint64_t local = at;
        std::vector<uint8_t> header = Header(false, name, 0, static_cast<uint32_t>(length), 0);
        ok = WriteAt(out, header.data(), header.size(), local);
        uint32_t crc = 0;
        for (int64_t done = 0; ok && done < length;) {
            const size_t n = static_cast<size_t>(std::min<int64_t>(kChunk, length - done));
            ok = ReadAt(in, buffer.data(), n, static_cast<uint64_t>(done)) &&
                 WriteAt(out, buffer.data(), n, local + header.size() + static_cast<uint64_t>(done));
            crc = Crc32(crc, buffer.data(), n);
            done += static_cast<int64_t>(n);
        }
        (void)Sys_Close(in);
        uint8_t crcBytes[4] = {uint8_t(crc), uint8_t(crc >> 8), uint8_t(crc >> 16), uint8_t(crc >> 24)};
        ok = ok && WriteAt(out, crcBytes, 4, local + 14);
        at += header.size() + static_cast<uint64_t>(length);
        const std::vector<uint8_t> central =
            Header(true, name, crc, static_cast<uint32_t>(length), static_cast<uint32_t>(local));
        directory.insert(directory.end(), central.begin(), central.end());
        if (!ok)
            error = "Cannot write '" + temp + "': " + strerror(errno) + ".";
    }
    if (ok && at + directory.size() >= 0xFFFFFFFF) {
        error = "A .zip mod holds less than 4 GiB; make a folder instead.";
        ok = false;
    }
    if (ok) {
        Put32(directory, kEndSig);
        Put32(directory, 0);  // this disk, and the directory's
        Put16(directory, static_cast<uint32_t>(names.size()));
        Put16(directory, static_cast<uint32_t>(names.size()));
        Put32(directory, static_cast<uint32_t>(directory.size() - 12));
        Put32(directory, static_cast<uint32_t>(at));
        Put16(directory, 0);
        ok = WriteAt(out, directory.data(), directory.size(), at) && Sys_FlushToDisk(out);
        if (!ok)
            error = "Cannot write '" + temp + "': " + strerror(errno) + ".";
    }
    ok = Sys_Close(out) && ok;
    if (ok && Sys_ReplaceByRename(temp, output))
        return true;
    if (error.empty())
        error = "Cannot write '" + output + "': " + strerror(errno) + ".";
    (void)Sys_RemoveAt(kSysCurrentFolder, temp);
    return false;
}
