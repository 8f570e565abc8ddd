// quillon-cli: the viewer's archive reading, classification and export
// writers driven from the command line. Thin: every format decision is the
// core's; this tool only parses arguments, picks entries and reports.
#pragma once

#include "resource/resource_kind.h"
#include "export/export_jobs.h"
#include "gameset/gameset.h"
#include "import/import.h"
#include "pak/pak.h"
#include "pakwrite/pakwrite.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Exit statuses: a refusal or failure the viewer would show is 1, a command
// line that cannot be understood is 2.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct CliArgs {
    std::string command;
    std::vector<std::string> positional;
    bool help = false;
    bool version = false;            // --version
    bool manPage = false;            // --help-man: the manual page in roff, for the build
    bool hasOutput = false;
    std::string output;              // -o FILE / DIR; "-" is standard output for export and dump
    bool longList = false;           // list --long
    bool json = false;               // list / show --json
    ExportForms forms;               // export / extract --interpreted, --wav, --png, --gltf, --glb, --obj-mtl
    bool overwrite = false;          // extract --overwrite; -o over a file that is no archive
    int jobs = 0;                    // extract / diff --jobs N: threads that read (0: one per core)
    bool recursive = false;          // list / extract / find / diff --recursive: subfolders too
    bool stat = false;               // diff --stat
    bool hasMatch = false;
    std::string match;               // extract --match GLOB
    std::vector<ResourceKind> kinds; // extract --kind (empty: every kind)
    bool allKinds = false;           // grep --all-kinds
    bool regex = false;              // grep --regex
    bool matchCase = false;          // grep --case
    int32_t dumpFormat = 1;          // dump --format, Unsigned Byte by default
    bool bigEndian = false;          // dump --big-endian
    bool decimal = false;            // dump --decimal
    std::string offsetText = "0";    // dump --offset, as typed into the offset box
    PakCompress compress = PakCompress::Auto;  // --compress of the commands that write archives
    bool compact = false;            // --compact
    double waitSeconds = kPakLockWaitSeconds;  // --wait: for another writer of the set
    bool addNew = false;             // update --add
    bool dryRun = false;             // update --dry-run
    int64_t partSize = 0;            // pack --part-size (0: entries in the entry-point file)
    bool hasAs = false;              // --as given: what every file becomes
    ImportAs as = ImportAs::Raw;
    float quality = 0.5f;            // --quality of sounds made from WAV files
    TextureChoice textureFormat = TextureChoice::Keep;  // --format of textures made from images
    bool clusterFit = false;         // --cluster-fit
    uint32_t thumbSize = 128;        // sheet --size
    uint32_t columns = 0;            // sheet --columns (0: a square sheet)
    std::string modName;             // mod make --name
    bool modZip = false;             // mod make --zip
    bool force = false;              // mod apply --force
    int restoreTo = 0;               // mod restore --to N (0: the last mod only)
    bool hasWith = false;
    std::string with;                // edit --with PROGRAM
};

// ---- args.cpp ----

// One command: its name, what runs it, and its usage.
struct CliCommand {
    const char *name;
    int (*run)(const CliArgs &args);
    int (*runFolder)(const CliArgs &args);  // when the first argument is a folder; null: `run` takes it
    bool grepStatus;     // 1 means "differs" or "nothing found", and its failures are 2 (as diff(1), grep(1))
    int positionals;     // ARCHIVE, or ARCHIVE ENTRY
    bool needsOutput;    // -o is required
    const char *synopsis;
    const char *details;
    bool imports = false;  // takes --as and --quality (kImportOptions)
};

// The row of a command; null when there is none of that name.
const CliCommand *Cli_FindCommand(const std::string &name);

// Parses argv. On a usage error returns false with `error` set (the caller
// prints it with the command's usage and exits 2).
bool Cli_ParseArgs(int argc, char **argv, CliArgs &args, std::string &error);

// The usage text of one command, or of the whole tool when `command` is empty
// or unknown.
std::string Cli_Usage(const std::string &command);

// ---- man_page.cpp ----

// quillon-cli(1) in roff, made from the usage texts so the two never disagree.
std::string Cli_ManPage();

// ---- common.cpp: helpers shared by the commands ----

// Opens ARCHIVE the way File > Open does; on a refusal prints its message.
bool Cli_OpenArchive(const std::string &path, PakArchive &archive);

// The slot an ENTRY argument names: a list line exactly as `list` prints it,
// or "#N" for record number N. Prints a message and returns -1 when none.
int Cli_FindEntry(const PakArchive &archive, const std::string &argument);

// Loads an entry's resource (expanded when compressed); on failure prints the
// viewer's message and returns false.
bool Cli_LoadEntry(const PakArchive &archive, const PakEntry &entry, std::vector<uint8_t> &bytes,
                   bool *wasCompressed = nullptr);

// Prints a message on stderr, one line, its control bytes escaped.
void Cli_Report(const std::string &message);

// The text with every control byte (below 0x20, and 0x7F) written as "\x1b"
// and the like, so that names cannot drive a terminal.
std::string Cli_Escaped(const std::string &text);

// Bytes in lowercase hexadecimal, for JSON beside a text that shows bytes
// that are not UTF-8 as Latin-1 (which two different byte strings can share).
std::string Cli_HexBytes(std::string_view bytes);

// Writes bytes to stdout; false once a write has failed.
bool Cli_WriteStdout(const void *data, size_t size);
bool Cli_WriteStdout(const std::string &text);

// Flushes stdout and reports a failed write; the exit status to use.
int Cli_FinishStdout(int status);

// ---- the commands ----
int Cli_List(const CliArgs &args);
// The lines of one archive as `list` prints them, each led by `label` and a
// tab (and JSON objects with "archive") when it is not empty.
int Cli_ListArchive(const CliArgs &args, const PakArchive &archive, const std::string &label);
int Cli_Show(const CliArgs &args);
int Cli_Export(const CliArgs &args);
int Cli_Dump(const CliArgs &args);
int Cli_Extract(const CliArgs &args);
// Extracts `archive` into `folder` as `extract` does, its messages led by
// `label` (when not empty); adds its counts to `totals`. False when the
// folder cannot be made.
bool Cli_ExtractArchive(const CliArgs &args, const PakArchive &archive, const std::string &folder,
                        const std::string &label, ExportJobSummary &totals);
// The closing line of `extract`: counts and bytes.
std::string Cli_ExtractTotals(const ExportJobSummary &summary);

// ---- folder.cpp: the archives of a folder ----
struct GamesetArchive;
int Cli_Find(const CliArgs &args);
int Cli_ListFolder(const CliArgs &args);
int Cli_ExtractFolder(const CliArgs &args);

// The archives of the first argument, a FOLDER or one ARCHIVE (named by its
// file name); prints why not and returns false when there are none to read.
// What could not be read in a folder is named and sets `failed`.
bool Cli_ArchivesOf(const CliArgs &args, std::vector<GamesetArchive> &archives, bool &failed);

// ---- search.cpp: inside the entries; statuses as grep(1)'s ----
int Cli_Grep(const CliArgs &args);
int Cli_Refs(const CliArgs &args);
// ---- sheet.cpp ----
int Cli_Sheet(const CliArgs &args);

// ---- diff.cpp ----
// Exit statuses of diff, as diff(1) gives them.
constexpr int kExitDiffers = 1;
constexpr int kExitTrouble = 2;
int Cli_Diff(const CliArgs &args);

// ---- put_back.cpp, pack_verify.cpp: the commands that write archives ----

// A byte count with an optional K, M or G suffix (1024s), from 1 to 2^31 - 1.
bool Cli_ParseSize(const std::string &text, int64_t &bytes);

// Opens ARCHIVE (the first argument) for editing; false (reported) when it does not open.
bool Cli_OpenWriter(const CliArgs &args, PakWriter &writer);

// A file's whole contents; false (reported) when it is no readable regular file.
bool Cli_ReadFile(const std::string &path, std::vector<uint8_t> &bytes);

// "1 entry", "3 entries".
std::string Cli_Count(size_t n, const char *one, const char *many);

// Saves the edits (in place, or as -o's new set) and prints `done` with what
// the save appended or rebuilt; the exit status.
int Cli_SaveAndReport(const CliArgs &args, PakWriter &writer, const std::string &done);

int Cli_Replace(const CliArgs &args);
int Cli_Add(const CliArgs &args);
int Cli_Remove(const CliArgs &args);
int Cli_Rename(const CliArgs &args);
int Cli_Update(const CliArgs &args);
int Cli_Pack(const CliArgs &args);
int Cli_Verify(const CliArgs &args);

// ---- edit.cpp: the entry edited in the user's own program ----
int Cli_Edit(const CliArgs &args);

// ---- mod.cpp: mod make, apply, restore, status, conflicts (its own argument count) ----
int Cli_Mod(const CliArgs &args);

// ---- import_file.cpp: files converted as they go into an archive ----

// Why a model's file is refused where it replaces no model.
constexpr const char *kCliModelsNotImported =
    "models are not made from files (their container holds fields whose meaning nobody knows); a model file "
    "only gives new vertex data to an entry that holds a model. --as raw stores the file's bytes as they are.";

// What the file at `path` becomes: --as, else by its extension and the kind
// of the entry it replaces. A model's file (.obj, .gltf, .glb) gives new
// vertex data to a model; elsewhere it is refused unless --as says what it is.
bool Cli_ChooseImport(const CliArgs &args, const std::string &path, ImportAs &as, std::string &error,
                      ResourceKind replacing = KindUnknown);

// The conversion as messages name it: "" for the bytes as they are, "image to
// texture", ".dds to texture", "WAV to Ogg Vorbis", "Ogg Vorbis as it is",
// "new model vertex data".
std::string Cli_ConversionName(ImportAs as, std::span<const uint8_t> file);

// The resource `as` makes of `file` (in place); `old` is the resource it
// replaces (a texture keeps its header, a model all but its vertex data),
// empty for a new entry. A refusal
// leaves its reason, led by `path`, in `error`; a converter's note is reported.
bool Cli_Import(const CliArgs &args, ImportAs as, const std::string &path, std::vector<uint8_t> &file,
                std::span<const uint8_t> old, std::string &error);
