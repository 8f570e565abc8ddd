// The helpers that quillon-cli's commands share: messages and standard
// output, opening an archive, naming and loading an entry.
#include "cli.h"

#include <cstdio>
#include <string>

namespace {

bool gStdoutFailed = false;

}  // namespace

std::string Cli_Escaped(const std::string &text)
{
    std::string shown;
    shown.reserve(text.size());
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escape[5];
            snprintf(escape, sizeof escape, "\\x%02x", byte);
            shown += escape;
        } else {
            shown += c;
        }
    }
    return shown;
}

void Cli_Report(const std::string &message)
{
    // Names and arguments inside a message reach a terminal: never raw.
    fprintf(stderr, "%s\n", Cli_Escaped(message).c_str());
}

bool Cli_WriteStdout(const void *data, size_t size)
{
    if (size > 0 && !gStdoutFailed && fwrite(data, 1, size, stdout) != size)
        gStdoutFailed = true;
    return !gStdoutFailed;
}

bool Cli_WriteStdout(const std::string &text)
{
    return Cli_WriteStdout(text.data(), text.size());
}

int Cli_FinishStdout(int status)
{
    if (fflush(stdout) != 0 || ferror(stdout))
        gStdoutFailed = true;
    if (gStdoutFailed) {
        Cli_Report("Could not write to standard output.");
        return kExitFailed;
    }
    return status;
}

bool Cli_OpenArchive(const std::string &path, PakArchive &archive)
{
    // The viewer always holds the full path its Open dialog gave; a bare
    // "SHADERS.PAK" typed here must name its folder too, or the archive's base
    // name (and with it the shader record form) would be lost.
    std::string full = path;
    if (full.find_first_of("\\/") == std::string::npos)
        full = "./" + full;
    PakOpenResult result = Pak_OpenArchive(full, archive);
    if (result != PakOpenResult::Ok) {
        Cli_Report(Pak_OpenMessage(result));
        return false;
    }
    return true;
}

int Cli_FindEntry(const PakArchive &archive, const std::string &argument)
{
    // "#N": a record number. A list line always ends in " [NNNN]", so the two
    // forms never overlap.
    if (argument.size() >= 2 && argument[0] == '#' &&
        argument.find_first_not_of("0123456789", 1) == std::string::npos) {
        size_t digits = argument.find_first_not_of('0', 1);
        uint64_t record = 0;
        if (digits != std::string::npos && argument.size() - digits > 10)
            record = UINT64_MAX;
        else if (digits != std::string::npos)
            record = std::stoull(argument.substr(digits));
        if (record < archive.entries.size() && archive.entries[record].displayName[0] != '\0')
            return static_cast<int>(record);
        if (archive.header.count > 0 && record < static_cast<uint64_t>(archive.header.count))
            Cli_Report("Record " + argument.substr(1) + " is not an entry (skipped or unreadable).");
        else
            Cli_Report("Record " + argument.substr(1) + " is not in the index.");
        return -1;
    }
    int slot = Pak_FindEntryByLine(archive, argument);
    if (slot < 0)
        Cli_Report("No entry has the line '" + argument +
                   "'. ENTRY is a line exactly as `list` prints it, or #N for record number N.");
    return slot;
}

bool Cli_LoadEntry(const PakArchive &archive, const PakEntry &entry, std::vector<uint8_t> &bytes,
                   bool *wasCompressed)
{
    PakLoadResult result = Pak_LoadEntry(archive, entry, bytes, wasCompressed);
    if (result != PakLoadResult::Ok) {
        Cli_Report(Pak_LoadMessage(result, archive, entry));
        return false;
    }
    return true;
}
