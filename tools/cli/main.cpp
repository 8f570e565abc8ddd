// quillon-cli entry point and the helpers its commands share.
#include "cli.h"

#include "base/platform.h"
#include "gameset/gameset.h"

#include <quillon_version.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

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

int main(int argc, char **argv)
{
#ifdef _WIN32
    // argv there is in the ANSI code page, which cannot name every archive:
    // the arguments are read again as UTF-8, the encoding of every path here.
    Sys_SetUpStandardStreams();
    std::vector<std::string> utf8 = Sys_Arguments(argc, argv);
    std::vector<char *> pointers;
    for (std::string &arg : utf8)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    argc = static_cast<int>(utf8.size());
    argv = pointers.data();
#endif
    CliArgs args;
    std::string error;
    if (!Cli_ParseArgs(argc, argv, args, error)) {
        fprintf(stderr, "quillon-cli: %s\n\n%s", Cli_Escaped(error).c_str(), Cli_Usage(args.command).c_str());
        return kExitUsage;
    }
    if (args.help) {
        Cli_WriteStdout(Cli_Usage(args.command));
        return Cli_FinishStdout(kExitOk);
    }
    if (args.version || args.manPage) {
        Cli_WriteStdout(args.version ? "quillon-cli " QUILLON_VERSION "\n" : Cli_ManPage());
        return Cli_FinishStdout(kExitOk);
    }
    // diff's 1 means "differs", grep's and refs' "nothing found": their own
    // failures are 2, as diff(1)'s and grep(1)'s are.
    const bool statusMeans = args.command == "diff" || args.command == "grep" || args.command == "refs" ||
                             (args.command == "mod" && !args.positional.empty() && args.positional[0] == "conflicts");
    int status = kExitUsage;
    try {
        // list and extract take a folder of archives as well as one archive.
        const bool folder = !args.positional.empty() && Gameset_IsFolder(args.positional[0]);
        if (args.command == "list")
            status = folder ? Cli_ListFolder(args) : Cli_List(args);
        else if (args.command == "show")
            status = Cli_Show(args);
        else if (args.command == "export")
            status = Cli_Export(args);
        else if (args.command == "dump")
            status = Cli_Dump(args);
        else if (args.command == "extract")
            status = folder ? Cli_ExtractFolder(args) : Cli_Extract(args);
        else if (args.command == "sheet")
            status = Cli_Sheet(args);
        else if (args.command == "find")
            status = Cli_Find(args);
        else if (args.command == "grep")
            status = Cli_Grep(args);
        else if (args.command == "refs")
            status = Cli_Refs(args);
        else if (args.command == "diff")
            status = Cli_Diff(args);
        else if (args.command == "replace")
            status = Cli_Replace(args);
        else if (args.command == "add")
            status = Cli_Add(args);
        else if (args.command == "remove")
            status = Cli_Remove(args);
        else if (args.command == "rename")
            status = Cli_Rename(args);
        else if (args.command == "update")
            status = Cli_Update(args);
        else if (args.command == "pack")
            status = Cli_Pack(args);
        else if (args.command == "verify")
            status = Cli_Verify(args);
        else if (args.command == "mod")
            status = Cli_Mod(args);
        else if (args.command == "edit")
            status = Cli_Edit(args);
    } catch (const std::bad_alloc &) {
        // A resource too large for this machine ends the command, not the process.
        Cli_Report("Not enough memory to finish the command.");
        status = statusMeans ? kExitTrouble : kExitFailed;
    }
    const int finished = Cli_FinishStdout(status);
    return statusMeans && finished != status ? kExitTrouble : finished;
}
