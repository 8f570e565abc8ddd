// The edit list: opening an archive's index as stored, and the four edits.
#include "pakwrite/pakwrite.h"
#include "pakwrite/pakwrite_local.h"
#include "pakwrite/write_files.h"

#include "base/ascii.h"
#include "base/platform.h"

#include <algorithm>
#include <climits>
#include <lzo/lzo1x.h>

namespace {

constexpr size_t kLzoHeader = 12;


bool CheckEntry(const PakWriter &w, int32_t record, std::string &error)
{
    if (record >= 0 && record < PakWrite_Count(w) && PW_At(w, record).IsEntry())
        return true;
    error = "Record " + std::to_string(record) + " is not an entry.";
    return false;
}

void SetName(PW_Record r, const std::string &name)
{
    memset(r.p, 0, 64);
    memcpy(r.p, name.data(), name.size());
}

void SetPending(PakWriter &w, int32_t record, std::vector<uint8_t> stored)
{
    for (PakWriter::Pending &p : w.pending)
        if (p.record == record) {
            p.stored = std::move(stored);
            return;
        }
    w.pending.push_back({record, std::move(stored)});
}

}  // namespace

std::string PW_FilePath(const std::string &entryPoint, int file)
{
    if (file == kEntryPointFile)
        return entryPoint;
    char suffix[16];
    snprintf(suffix, sizeof suffix, "_%02i.PAK", file);
    return entryPoint.substr(0, entryPoint.size() - 4) + suffix;
}

std::string PW_FileOnDisk(const PakArchive &archive, int file)
{
    const std::string path = PW_FilePath(archive.path, file);
    if (file == kEntryPointFile)
        return path;
    const size_t sep = path.find_last_of('/');
    return sep == std::string::npos ? Pak_FindInFolder("", path)
                                    : Pak_FindInFolder(path.substr(0, sep + 1), path.substr(sep + 1));
}

std::string PW_BaseName(const std::string &path)
{
    const size_t sep = path.find_last_of('/');
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

bool PakWrite_CheckName(const std::string &name, std::string &error)
{
    if (name.empty())
        error = "An entry's name cannot be empty.";
    else if (name.size() > 64)
        error = "The name '" + name + "' is " + std::to_string(name.size()) + " bytes long; a name holds at most 64.";
    else if (name.find('\0') != std::string::npos)
        error = "An entry's name cannot hold a NUL byte.";
    else
        return true;
    return false;
}

bool PakWrite_ParseCompress(const std::string &text, PakCompress &mode)
{
    static const struct {
        const char *name;
        PakCompress mode;
    } kModes[] = {{"auto", PakCompress::Auto}, {"none", PakCompress::None}, {"fast", PakCompress::Fast},
                  {"best", PakCompress::Best}};
    for (const auto &m : kModes)
        if (text == m.name) {
            mode = m.mode;
            return true;
        }
    return false;
}

bool PW_LzoBlock(std::span<const uint8_t> data, bool best, uint8_t byte3, std::vector<uint8_t> &block)
{
    if (lzo_init() != LZO_E_OK)
        return false;
    try {
        // Per thread and kept: packing compresses thousands of files on a few threads.
        thread_local std::vector<uint8_t> work;
        work.resize(best ? LZO1X_999_MEM_COMPRESS : LZO1X_1_MEM_COMPRESS);
        block.resize(kLzoHeader + data.size() + data.size() / 16 + 64 + 3);
        lzo_uint packed = 0;
        static const uint8_t kNothing = 0;
        const uint8_t *in = data.empty() ? &kNothing : data.data();
        const int rc = best ? lzo1x_999_compress(in, data.size(), block.data() + kLzoHeader, &packed, work.data())
                            : lzo1x_1_compress(in, data.size(), block.data() + kLzoHeader, &packed, work.data());
        if (rc != LZO_E_OK)
            return false;
        memcpy(block.data(), "LZO", 3);
        block[3] = byte3;
        PW_PutU32BE(block.data() + 4, static_cast<uint32_t>(data.size()));
        PW_PutU32BE(block.data() + 8, static_cast<uint32_t>(packed));
        block.resize(kLzoHeader + packed);
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

bool PW_LzoExpands(std::span<const uint8_t> stored, uint64_t *expanded, std::string &why)
{
    if (stored.size() < kLzoHeader) {
        why = "begins with \"LZO\" but is shorter than a compressed block's 12-byte header";
        return false;
    }
    const uint64_t declared = Bytes_ReadU32BE(stored.data() + 4), packed = Bytes_ReadU32BE(stored.data() + 8);
    if (expanded)
        *expanded = declared;
    if (packed > stored.size() - kLzoHeader) {
        why = "its compressed stream (" + std::to_string(packed) + " bytes) is longer than the entry";
        return false;
    }
    if (declared > INT32_MAX) {
        why = "its declared length (" + std::to_string(declared) + " bytes) is more than an entry can hold";
        return false;
    }
    if (lzo_init() != LZO_E_OK) {
        why = "the LZO library does not work";
        return false;
    }
    std::vector<uint8_t> out;
    try {
        out.resize(static_cast<size_t>(std::max<uint64_t>(declared, 1)));
    } catch (const std::bad_alloc &) {
        why = "not enough memory to expand it";
        return false;
    }
    lzo_uint produced = static_cast<lzo_uint>(declared);
    const int rc = lzo1x_decompress_safe(stored.data() + kLzoHeader, static_cast<lzo_uint>(packed), out.data(),
                                         &produced, nullptr);
    if (rc != LZO_E_OK) {
        why = "its compressed stream does not expand (LZO error " + std::to_string(rc) + ")";
        return false;
    }
    if (produced != declared) {
        why = "it expands to " + std::to_string(produced) + " bytes, not the " + std::to_string(declared) +
              " it declares";
        return false;
    }
    return true;
}

bool PakWrite_StoreResource(std::span<const uint8_t> resource, PakCompress mode, bool compressByDefault,
                            uint8_t keptByte, std::vector<uint8_t> &stored, std::string &error)
{
    if (resource.size() > INT32_MAX) {
        error = "The resource is " + std::to_string(resource.size()) + " bytes; an entry holds at most 2147483647.";
        return false;
    }
    // Stored as they are, bytes that begin with "LZO" would be read back as a block.
    const bool looksCompressed = resource.size() > 3 && memcmp(resource.data(), "LZO", 3) == 0;
    const bool compress = mode == PakCompress::Fast || mode == PakCompress::Best || looksCompressed ||
                          (mode == PakCompress::Auto && compressByDefault);
    if (!compress) {
        stored.assign(resource.begin(), resource.end());
        return true;
    }
    if (!PW_LzoBlock(resource, mode == PakCompress::Best, keptByte, stored)) {
        error = "The resource could not be compressed (not enough memory).";
        return false;
    }
    if (stored.size() > INT32_MAX) {
        error = "The compressed resource is larger than an entry can hold.";
        return false;
    }
    return true;
}

bool PakWrite_Open(const std::string &path, PakWriter &w, std::string &error, double waitSeconds)
{
    w = PakWriter{};
    w.lockWait = waitSeconds;
    // Taken before the index is read: every length and offset planned from
    // here on is the set's as it is while no other writer can change it.
    if (Sys_PathKind(path, true) == SysKind::File) {
        w.lock = PW_LockSet(path, waitSeconds, error);
        if (!w.lock)
            return false;
    }
    return PW_OpenIndex(path, w, error);
}

bool PW_OpenIndex(const std::string &path, PakWriter &w, std::string &error)
{
    std::shared_ptr<PakSetLock> lock = std::move(w.lock);
    const double wait = w.lockWait;
    w = PakWriter{};
    w.lock = std::move(lock);
    w.lockWait = wait;
    const PakOpenResult opened = Pak_OpenArchive(path, w.archive);
    if (opened != PakOpenResult::Ok) {
        error = std::string(Pak_OpenMessage(opened)) + " (" + path + ")";
        return false;
    }
    const std::string base = w.archive.baseName;
    w.shaderForm = Pak_IsShaderArchive(base);
    w.recordSize = w.shaderForm ? kPakShaderRecordSize : kPakRecordSize;

    const int fd = WF_OpenRead(path, &w.entryPointLength);
    if (fd < 0) {
        error = "Cannot open '" + path + "': " + WF_LastError();
        return false;
    }
    const int32_t count = std::max<int32_t>(w.archive.header.count, 0);
    const uint64_t indexBytes = static_cast<uint64_t>(count) * w.recordSize;
    bool ok = WF_ReadAt(fd, w.header, kPakHeaderSize, 0);
    if (ok && kPakHeaderSize + indexBytes > static_cast<uint64_t>(w.entryPointLength)) {
        error = "The index of '" + path + "' is shorter than the " + std::to_string(count) +
                " records its header counts: the archive is damaged and is not edited.";
        WF_Close(fd);
        return false;
    }
    try {
        w.index.resize(static_cast<size_t>(indexBytes));
    } catch (const std::bad_alloc &) {
        ok = false;
    }
    ok = ok && WF_ReadAt(fd, w.index.data(), w.index.size(), kPakHeaderSize);
    WF_Close(fd);
    if (!ok) {
        error = "Cannot read the index of '" + path + "'.";
        return false;
    }
    w.originalCount = count;
    return true;
}

int32_t PakWrite_Count(const PakWriter &w)
{
    return static_cast<int32_t>(w.index.size() / w.recordSize);
}

std::string PakWrite_Name(const PakWriter &w, int32_t record)
{
    const PW_Record r = PW_At(w, record);
    return std::string(reinterpret_cast<const char *>(r.p), strnlen(reinterpret_cast<const char *>(r.p), 64));
}

bool PakWrite_IsEntry(const PakWriter &w, int32_t record)
{
    return record >= 0 && record < PakWrite_Count(w) && PW_At(w, record).IsEntry();
}

bool PakWrite_Replace(PakWriter &w, int32_t record, std::span<const uint8_t> resource, PakCompress mode,
                      std::string &error)
{
    if (!CheckEntry(w, record, error))
        return false;
    // A replaced entry keeps the form it had: the first bytes of what it holds now.
    uint8_t head[4] = {};
    bool wasCompressed = false;
    for (const PakWriter::Pending &p : w.pending)
        if (p.record == record && p.stored.size() > 3) {
            memcpy(head, p.stored.data(), 4);
            wasCompressed = true;
        }
    if (!wasCompressed) {
        const PW_Record r = PW_At(w, record);
        int64_t length = 0;
        const int fd = WF_OpenRead(PW_FileOnDisk(w.archive, r.File()), &length);
        if (fd >= 0 && r.Size() > 3 && r.Offset() + 4ull <= static_cast<uint64_t>(length))
            (void)WF_ReadAt(fd, head, 4, r.Offset());
        WF_Close(fd);
        wasCompressed = r.Size() > 3;
    }
    wasCompressed = wasCompressed && memcmp(head, "LZO", 3) == 0;

    std::vector<uint8_t> stored;
    if (!PakWrite_StoreResource(resource, mode, wasCompressed, wasCompressed ? head[3] : 0, stored, error))
        return false;
    PW_At(w, record).SetSize(static_cast<uint32_t>(stored.size()));
    SetPending(w, record, std::move(stored));
    ++w.edits;
    return true;
}

int32_t PakWrite_Add(PakWriter &w, const std::string &name, std::span<const uint8_t> resource, PakCompress mode,
                     std::string &error)
{
    if (!PakWrite_CheckName(name, error))
        return -1;
    const int32_t count = PakWrite_Count(w);
    if (count == INT32_MAX) {
        error = "The index holds as many records as it can.";
        return -1;
    }
    std::vector<uint8_t> stored;
    if (!PakWrite_StoreResource(resource, mode, true, 0, stored, error))
        return -1;
    // The neighbours in the list's order: the entry just before the new name, else just after.
    int32_t before = -1, after = -1;
    std::string beforeName, afterName;
    for (int32_t i = 0; i < count; ++i) {
        if (!PW_At(w, i).IsEntry())
            continue;
        const std::string other = PakWrite_Name(w, i);
        const int c = Ascii_Compare(other, name);
        if (c <= 0 && (before < 0 || Ascii_Compare(other, beforeName) > 0)) {
            before = i;
            beforeName = other;
        } else if (c > 0 && (after < 0 || Ascii_Compare(other, afterName) < 0)) {
            after = i;
            afterName = other;
        }
    }
    const int32_t neighbour = before >= 0 ? before : after;
    int16_t part = -1;
    uint16_t location = 0;
    if (neighbour >= 0) {
        part = PW_At(w, neighbour).Part();
        location = PW_At(w, neighbour).Location();
    }
    try {
        w.index.resize(w.index.size() + w.recordSize, 0);
    } catch (const std::bad_alloc &) {
        error = "Not enough memory for the index.";
        return -1;
    }
    PW_Record r = PW_At(w, count);
    SetName(r, name);
    r.SetPlace(part, location);
    r.SetSize(static_cast<uint32_t>(stored.size()));
    SetPending(w, count, std::move(stored));
    ++w.edits;
    return count;
}

bool PakWrite_Remove(PakWriter &w, int32_t record, std::string &error)
{
    if (!CheckEntry(w, record, error))
        return false;
    PW_At(w, record).SetSize(kPakSkippedSize);
    w.pending.erase(std::remove_if(w.pending.begin(), w.pending.end(),
                                   [&](const PakWriter::Pending &p) { return p.record == record; }),
                    w.pending.end());
    ++w.edits;
    return true;
}

bool PakWrite_Rename(PakWriter &w, int32_t record, const std::string &name, std::string &error)
{
    if (!CheckEntry(w, record, error) || !PakWrite_CheckName(name, error))
        return false;
    SetName(PW_At(w, record), name);
    ++w.edits;
    return true;
}
