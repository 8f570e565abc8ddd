// quillon-cli: the viewer's archive reading, classification and export
// writers driven from the command line. Thin: every format decision is the
// core's; this tool only parses arguments, picks entries and reports.
#pragma once

#include "app/resource_kind.h"
#include "pak/pak.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
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
    bool interpreted = false;        // export / extract --interpreted
    bool wav = false;                // export / extract --wav
    bool overwrite = false;          // extract --overwrite
    bool hasMatch = false;
    std::string match;               // extract --match GLOB
    std::vector<ResourceKind> kinds; // extract --kind (empty: every kind)
    int32_t dumpFormat = 1;          // dump --format, Unsigned Byte by default
    bool bigEndian = false;          // dump --big-endian
    bool decimal = false;            // dump --decimal
    std::string offsetText = "0";    // dump --offset, as typed into the offset box
};

// ---- args.cpp ----

// Parses argv. On a usage error returns false with `error` set (the caller
// prints it with the command's usage and exits 2).
bool Cli_ParseArgs(int argc, char **argv, CliArgs &args, std::string &error);

// The usage text of one command, or of the whole tool when `command` is empty
// or unknown.
std::string Cli_Usage(const std::string &command);

// ---- man_page.cpp ----

// quillon-cli(1) in roff, made from the usage texts so the two never disagree.
std::string Cli_ManPage();

// ---- main.cpp: helpers shared by the commands ----

// Opens ARCHIVE the way File > Open does; on a refusal prints its message.
bool Cli_OpenArchive(const std::string &path, PakArchive &archive);

// The slot an ENTRY argument names: a list line exactly as `list` prints it,
// or "#N" for record number N. Prints a message and returns -1 when none.
int Cli_FindEntry(const PakArchive &archive, const std::string &argument);

// Loads an entry's resource (expanded when compressed); on failure prints the
// viewer's message and returns false.
bool Cli_LoadEntry(const PakArchive &archive, const PakEntry &entry, std::vector<uint8_t> &bytes,
                   bool *wasCompressed = nullptr);

// Prints a message on stderr, one line.
void Cli_Report(const std::string &message);

// Writes bytes to stdout; false once a write has failed.
bool Cli_WriteStdout(const void *data, size_t size);
bool Cli_WriteStdout(const std::string &text);

// Flushes stdout and reports a failed write; the exit status to use.
int Cli_FinishStdout(int status);

// ---- wav.cpp ----

// A sound resource decoded for a .wav file: interleaved 16-bit PCM at the
// stream's own rate and channel count.
struct CliSound {
    std::vector<uint8_t> pcm;
    int32_t rate = 0;
    int32_t channels = 0;
};

// Decodes a KindOggVorbis resource; false with `message` set when it has no
// .wav form.
bool Cli_DecodeSound(std::span<const uint8_t> resource, CliSound &sound, std::string &message);

// Bytes of the header in front of the samples.
constexpr size_t kWavHeaderBytes = 44;

// Writes the sound as a 16-bit PCM WAV file; false when a write failed.
bool Cli_WriteWav(FILE *file, const CliSound &sound);

// ---- the commands ----
int Cli_List(const CliArgs &args);
int Cli_Show(const CliArgs &args);
int Cli_Export(const CliArgs &args);
int Cli_Dump(const CliArgs &args);
int Cli_Extract(const CliArgs &args);

// ---- extract_names.cpp ----

// The relative path, as folder components with the file name last, that an
// entry is extracted to: only the name's safe components survive, and an
// empty result becomes "entry_%04i" from the record number.
std::vector<std::string> Extract_SafeComponents(const PakEntry &entry);

// Appends "." + extension to the file name unless it already ends with it
// (case ignored).
void Extract_AddExtension(std::vector<std::string> &components, const char *extension);

// Puts "." + to in place of a final "." + from (case ignored), or appends it
// when the file name does not end so.
void Extract_ReplaceExtension(std::vector<std::string> &components, const char *from, const char *to);

// Puts "_%04i" (the record number) before the file name's extension, or at
// its end when it has none.
void Extract_AddRecordSuffix(std::vector<std::string> &components, int32_t index, int round);

// Components joined with '/'.
std::string Extract_JoinPath(const std::vector<std::string> &components, size_t count);
