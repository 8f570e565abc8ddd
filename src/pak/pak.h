// PAK archives: the entry-point file's header and index, the file that holds
// each entry, reading an entry's bytes and expanding LZO-compressed ones.
// Plain C++ over stdio: no window, GL or audio.
#pragma once

#include <bitset>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Paths are held to what an 8192-byte buffer takes.
constexpr size_t kPathMax = 8191;

constexpr uint32_t kPakSkippedSize = 0xFFFFFFFFu;   // record `size` that marks "not an entry"
constexpr size_t kPakHeaderSize = 16;
constexpr size_t kPakRecordSize = 88;              // standard index record
constexpr size_t kPakShaderRecordSize = 76;        // SHADERS / SHADERSL archives

struct PakHeader {
    char magic[4];      // "PAK_"
    uint32_t word4;     // not used by the viewer
    int32_t count;      // number of index records; 0 or less is an empty index
    uint32_t word12;    // not used by the viewer
};

// One slot per index record, in index order. Skipped records, and records past
// the point where reading stopped, stay cleared so that nothing ever matches them.
struct PakEntry {
    char name[64];      // NUL-padded; 64 characters fill it without a terminator
    uint32_t word64;
    uint32_t word68;
    uint32_t offset;    // of the stored bytes in the file that holds them
    uint32_t size;      // stored bytes; kPakSkippedSize marks a skipped record
    int16_t part;       // companion number; negative = the entry-point file
    uint16_t location;  // 3 = entry-point file whatever `part` says
    uint32_t word84;
    char displayName[256];  // the entry list's line, "%s [%04i]"
    int32_t index;          // record number, skipped records included
};

struct PakArchive {
    PakHeader header{};
    bool hasIndex = false;          // false until an index was read ("entries null")
    std::vector<PakEntry> entries;  // at most header.count slots, never more than the file can hold
    std::string baseName;           // file name without extension, e.g. "GLOBAL"
    std::string path;               // entry-point file as chosen
    std::string pathNoExt;          // path less its last four characters
    std::string directory;          // path up to and including its last separator
};

// Called once per stored record, in index order, while the index is read.
using PakEntrySink = std::function<void(const PakEntry &)>;

// The three refusals of an entry-point file, in the order they are checked.
enum class PakOpenResult { Ok, CannotOpen, BadExtension, NotEntryPoint };

// Message box text for a refusal (empty for Ok).
const char *Pak_OpenMessage(PakOpenResult result);

// True when the path ends in ".pak", case ignored, and is longer than that.
bool Pak_HasPakExtension(const std::string &path);

// The checks of an entry-point file, in order: it opens ("rb"), its name ends
// in ".pak", its 16-byte header starts "PAK_". On Ok `*file` is open just after
// the header (the caller closes it) and `header` holds it; otherwise `*file` is null.
PakOpenResult Pak_CheckEntryPoint(const std::string &path, FILE **file, PakHeader &header);

// The entries the index of `path` stores (its records less the skipped
// ones, no more than the file holds), read from `file` just after the
// header, which Pak_CheckEntryPoint gave. Only the records' sizes are looked
// at; the file is left wherever the reading ended.
int64_t Pak_CountEntries(FILE *file, const std::string &path, const PakHeader &header);

// Opens `path`, checks extension and header, and reads the whole index into
// `archive` (replacing what it held). On a refusal `archive` is untouched.
// `sink` (may be empty) receives each stored entry, as the main archive's list does.
PakOpenResult Pak_OpenArchive(const std::string &path, PakArchive &archive,
                              const PakEntrySink &sink = {});

// Reads the index from `file`, positioned just after the accepted header that
// the caller copied into archive.header. Stops quietly at a short record.
void ReadPakIndex(FILE *file, const std::string &path, PakArchive &archive,
                  const PakEntrySink &sink = {});

// Releases the index and clears the record.
void Pak_Release(PakArchive &archive);

// The file that holds the entry's bytes: the entry-point file, or "%s_%02i.PAK".
std::string GetEntryFilePath(const PakArchive &archive, const PakEntry &entry);

// `directory + name`, or when no such file exists, the file in `directory`
// (ending in its separator; empty for the working folder) whose name equals
// `name` with ASCII case ignored, the first in byte order when several do.
// Archives copied from Windows carry any case ("m02_00.pak", "M02_01.Pak").
// `directory + name` unchanged when nothing matches.
std::string Pak_FindInFolder(const std::string &directory, const std::string &name);

// The number a companion's name carries, as "%02i" writes it: two digits, or
// more without a leading zero, at most 32767; -1 for any other text.
int Pak_PartNumber(std::string_view digits);

// The number of the companion `file` is of the entry-point file `entryPoint`
// (both file names without their folder; ASCII case ignored, as companions are
// found): "STEM_NN.PAK" for "STEM.PAK". -1 when it is none of its companions.
int Pak_CompanionNumber(std::string_view file, std::string_view entryPoint);

// The file that holds the entry as it is named on disk: GetEntryFilePath,
// or the name in its folder that equals it with case ignored (Pak_FindInFolder;
// a companion once found so stays the answer while it exists).
std::string Pak_EntryFileOnDisk(const PakArchive &archive, const PakEntry &entry);

// "%s [%04i]" from the name field (at most 64 characters) and the record number.
void Pak_FormatDisplayName(PakEntry &entry);

// First slot whose displayName equals `line` byte for byte, or -1.
int Pak_FindEntryByLine(const PakArchive &archive, const std::string &line);

// ---- entry loading ----

enum class PakLoadResult {
    Ok,
    CannotOpen,   // the holding file could not be opened, or is no regular file
    Corrupt,      // the record claims more bytes than its file can hold
    ReadFailed,   // reading the holding file failed
    NoMemory,     // the resource (stored or expanded) could not be allocated
};

// Message box text for a failed load of `entry` (empty for Ok).
std::string Pak_LoadMessage(PakLoadResult result, const PakArchive &archive, const PakEntry &entry);

// Reads the entry's stored bytes from the file that holds it and expands an
// LZO block. Bytes missing at the end of a short file read as zero. `out` is
// cleared first (a large buffer it held is released, so that two resources are
// never held at once) and left empty on failure.
PakLoadResult Pak_LoadEntry(const PakArchive &archive, const PakEntry &entry,
                            std::vector<uint8_t> &out, bool *wasCompressed = nullptr);

// The holding file of the last entry loaded through it, kept open so that
// loading many entries in one go (classifying them for the find bar) opens
// each file once, not once per entry. Closed when it is destroyed.
struct PakOpenFile {
    std::string path;
    FILE *file = nullptr;
    int64_t length = -1;
    PakOpenFile() = default;
    PakOpenFile(const PakOpenFile &) = delete;
    PakOpenFile &operator=(const PakOpenFile &) = delete;
    ~PakOpenFile();
};

// Pak_LoadEntry through `open`, which keeps the holding file open for the next call.
PakLoadResult Pak_LoadEntry(const PakArchive &archive, const PakEntry &entry, std::vector<uint8_t> &out,
                            bool *wasCompressed, PakOpenFile &open);

// A reader's buffers for loading many entries in turn (one per thread).
struct PakEntryBuffers {
    std::vector<uint8_t> stored, expanded;
};

// Pak_LoadEntry for a reader of many entries in turn: the stored bytes go
// into `buffers.stored` and an LZO block's expansion into `buffers.expanded`,
// both keeping their memory from one call to the next, so that nothing is
// allocated or zero-filled per entry. The first `have` bytes of `stored`
// already hold the entry's first stored bytes (read with Pak_ReadStored).
// `resource` is the resource Pak_LoadEntry would give, inside one of them,
// valid until the next call.
PakLoadResult Pak_LoadEntryReusing(const PakArchive &archive, const PakEntry &entry, size_t have,
                                   PakEntryBuffers &buffers, PakOpenFile &open, std::span<const uint8_t> &resource);

// Reads `n` of the entry's stored bytes from byte `at` of them (at + n must
// not pass entry.size) through `open`. Unlike Pak_LoadEntry, which reads bytes
// missing at the end of a short file as zero, any byte the file does not hold
// is Corrupt (`out` then zero). Nothing is expanded.
PakLoadResult Pak_ReadStored(const PakArchive &archive, const PakEntry &entry, uint64_t at, uint8_t *out,
                             size_t n, PakOpenFile &open);

// Replaces `bytes` with their expansion when they are a well-formed "LZO"
// block; otherwise leaves them untouched and returns false. The declared
// length is the output's capacity, but never more is reserved than an LZO1X
// stream of the block's length can yield.
bool DecompressLzoEntry(std::vector<uint8_t> &bytes);

// What Pak_CopyStoredEntry did.
enum class PakCopyResult {
    Ok,
    CannotOpen,   // as PakLoadResult::CannotOpen
    Corrupt,      // as PakLoadResult::Corrupt
    Compressed,   // the stored bytes are an "LZO" block: load and expand them instead
    WriteFailed,  // writing to the output failed; it holds a partial copy
    ReadFailed,   // as PakLoadResult::ReadFailed; the output holds a partial copy
};

// Copies an entry's stored bytes, unchanged, to the open descriptor `outFd`
// without passing them through a buffer of ours where the system allows it
// (the bytes the resource would hold: missing bytes at the end of a short
// file are written as zeros). Refuses entries stored LZO-compressed, whose
// resource is their expansion. `copied` receives the bytes written.
PakCopyResult Pak_CopyStoredEntry(const PakArchive &archive, const PakEntry &entry, int outFd,
                                  uint64_t *copied = nullptr);

// ---- entry list ----

// Slot numbers of the stored entries in the order the list shows them:
// by displayName, ASCII case ignored (a fixed order, whatever the locale).
std::vector<int> Pak_SortedLines(const PakArchive &archive);

// The list order of two lines: Ascii_Compare (case folded, separators as they are).
int Pak_CompareLines(const char *a, const char *b);

// Whether an archive of this base name (its file name less ".PAK") holds the
// shader records: SHADERS and SHADERSL, in any case.
bool Pak_IsShaderArchive(std::string_view baseName);

// ---- matching names and lines (pak_match.cpp) ----

// A glob read once, to be matched against many names.
struct PakGlob {
    enum class Op : uint8_t { Byte, Any, Star, Set };
    struct Token {
        Op op;
        uint8_t byte;  // Byte: the folded character
        uint32_t set;  // Set: its index in `sets`
    };
    std::vector<Token> tokens;
    std::vector<std::bitset<256>> sets;  // folded byte values a [set] takes, negation applied
};

// Reads a shell-like glob: '*' any run of characters (separators included),
// '?' one character, [set] and [!set] with ranges; everything else literally
// (a '[' without its ']' too).
PakGlob Pak_CompileGlob(std::string_view glob);

// Whether `text` matches the glob as a whole. ASCII case is ignored and '\'
// is the same as '/', in the glob and in the text.
bool Pak_MatchGlob(const PakGlob &glob, std::string_view text);

// The same for a glob used once.
bool Pak_MatchGlob(std::string_view glob, std::string_view text);

// Whether typed text is read as a glob: it holds '*' or '?'.
bool Pak_IsGlob(std::string_view text);

// Whether `needle` occurs in `text`, with the same folding as Pak_MatchGlob.
bool Pak_ContainsText(std::string_view text, std::string_view needle);

// The find text read once, for the many lines it is tried on.
struct PakFind {
    std::string text;
    bool isGlob = false;
    PakGlob glob;  // compiled when isGlob
};
PakFind Pak_CompileFind(std::string_view text);

// Whether the find text finds a list line: a text with '*' or '?' is a glob
// over the entry's name (the line's first `nameLength` characters), any other
// text is looked for anywhere in the line. An empty text finds every line.
bool Pak_FindMatches(const PakFind &find, std::string_view line, size_t nameLength);
