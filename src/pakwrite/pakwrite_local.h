// Record fields as stored, shared by the files of pakwrite/ only.
#pragma once

#include "base/bytes.h"
#include "base/whole_file.h"
#include "pakwrite/pakwrite.h"

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The file that holds a record's bytes: -1 for the entry-point file, else the companion's number.
constexpr int kEntryPointFile = -1;

inline void PW_PutU32(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

inline void PW_PutU16(uint8_t *p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void PW_PutU32BE(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// One record of the index, in either form.
struct PW_Record {
    uint8_t *p;
    bool shader;
    uint32_t Offset() const { return Bytes_ReadU32LE(p + (shader ? 64 : 72)); }
    uint32_t Size() const { return Bytes_ReadU32LE(p + (shader ? 68 : 76)); }
    int16_t Part() const { return shader ? -1 : static_cast<int16_t>(Bytes_ReadU16LE(p + 80)); }
    uint16_t Location() const { return shader ? 0 : Bytes_ReadU16LE(p + 82); }
    void SetOffset(uint32_t v) { PW_PutU32(p + (shader ? 64 : 72), v); }
    void SetSize(uint32_t v) { PW_PutU32(p + (shader ? 68 : 76), v); }
    void SetPlace(int16_t part, uint16_t location)
    {
        if (shader)
            return;
        PW_PutU16(p + 80, static_cast<uint16_t>(part));
        PW_PutU16(p + 82, location);
    }
    bool IsEntry() const { return Size() != kPakSkippedSize; }
    // The same rule as the reader's: a negative part or location 3 is the entry-point file.
    int File() const { return (Part() < 0 || Location() == 3) ? kEntryPointFile : Part(); }
};

inline PW_Record PW_At(PakWriter &w, int32_t record)
{
    return {w.index.data() + static_cast<size_t>(record) * w.recordSize, w.shaderForm};
}

inline PW_Record PW_At(const PakWriter &w, int32_t record)
{
    return {const_cast<uint8_t *>(w.index.data()) + static_cast<size_t>(record) * w.recordSize, w.shaderForm};
}

// The path of a file of the set: the entry-point path, or "%s_%02i.PAK" from
// the entry-point path less its extension.
std::string PW_FilePath(const std::string &entryPoint, int file);

// The file of the set as it is named on disk (its case may differ).
std::string PW_FileOnDisk(const PakArchive &archive, int file);

// The file name without its folder.
std::string PW_BaseName(const std::string &path);

// Compresses into an "LZO" block with the given byte 3; false when the result
// could not be made (memory).
bool PW_LzoBlock(std::span<const uint8_t> data, bool best, uint8_t byte3, std::vector<uint8_t> &block);

// Whether a stored block expands completely to its declared length; the
// declared and produced lengths in `expanded`.
bool PW_LzoExpands(std::span<const uint8_t> stored, uint64_t *expanded, std::string &why);

// A new set written from scratch (a packed folder, a rebuild without dead
// space): every file under a temporary name beside its place until Finish
// flushes them all and renames the companions, then the entry-point file,
// into place. Destroyed unfinished, it removes what it wrote.
class PW_SetBuilder {
public:
    // `count` records of `recordSize` bytes; companions of at most `partSize`
    // bytes (0: the limit of any file); new companion numbers from `firstSpill`,
    // past every number whose file exists. The files take the owner and mode
    // of `reference` when it is given.
    PW_SetBuilder(std::string outPath, size_t recordSize, int32_t count, int64_t partSize, int firstSpill,
                  std::string reference = "");

    // The file and offset for `size` bytes that belong in `file`
    // (kEntryPointFile, a companion number, or kSpill: the current companion
    // of the row). Bytes that would carry a file past its limit go into the
    // next companion of the row. False when no number is left.
    static constexpr int kSpill = -2;
    bool Reserve(int &file, uint64_t size, int64_t &offset, std::string &error);

    // The bytes of the range reserved last in `file`: files are written one
    // entry after another, in the order their ranges were reserved.
    bool Write(int file, const uint8_t *data, size_t size, std::string &error);
    bool Copy(int file, int from, int64_t fromOffset, uint64_t size, std::string &error);

    // Writes the header and index, flushes every file and renames them into place.
    bool Finish(const uint8_t *header, const std::vector<uint8_t> &index, std::string &error);

    // File names written (entry-point first) and their total bytes, after Finish.
    std::vector<std::string> Files() const;
    uint64_t Bytes() const;

private:
    int Fd(int file, std::string &error);

    struct File {
        std::string path;
        int fd = -1;  // the set's
        int64_t end = 0;
    };
    std::string outPath_, reference_;
    int64_t partSize_;
    int spill_ = -1, nextSpill_;
    int64_t indexEnd_;  // where the entry-point file's entries begin
    std::map<int, File> files_;
    BaseWholeSet set_;
};

// Takes the lock of the set at `entryPoint`, waiting at most `waitSeconds`
// for another writer, and removes what killed saves of it left; null (and
// `error` naming the lock and its holder) when another writer keeps it.
std::shared_ptr<PakSetLock> PW_LockSet(const std::string &entryPoint, double waitSeconds, std::string &error);

// Temporary files beside the set that a killed save of it left.
std::vector<std::string> PW_Leftovers(const std::string &entryPoint);

// An output that exists before a save or pack replaces it.
struct PW_OldOutput {
    bool exists = false;
    std::string reference;                // its entry point: the new files take its owner and mode
    std::vector<std::string> companions;  // the companions its entries are in, removed once the new set is in place
};

// Checks an output taken under its lock: missing, or an archive set none of
// whose files is one of `inputs`, or (with `overwrite`) a file that is no
// archive. False with `error` otherwise.
bool PW_CheckOldOutput(const std::string &output, bool overwrite, const std::vector<std::string> &inputs,
                       PW_OldOutput &old, std::string &error);

// Removes the old output's companions that are none of the files `written`.
void PW_RemoveOldCompanions(const PW_OldOutput &old, const std::vector<std::string> &written);

// Gives the file `path` the owner, group and permission bits of the file
// `reference` (nothing when it is empty).
void PW_TakeOwnerAndMode(const std::string &reference, const std::string &path);

// PakWrite_Open without taking the lock: the writer keeps the one it holds.
bool PW_OpenIndex(const std::string &path, PakWriter &writer, std::string &error);
