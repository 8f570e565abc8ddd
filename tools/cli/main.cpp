// quillon-cli entry point: the command line read, the command run from its row.
#include "cli.h"

#include "base/platform.h"
#include "gameset/gameset.h"

#include <quillon_version.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

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
    const CliCommand *command = Cli_FindCommand(args.command);
    const bool statusMeans = (command && command->grepStatus) ||
                             (args.command == "mod" && !args.positional.empty() && args.positional[0] == "conflicts");
    int status = kExitUsage;
    try {
        // list and extract take a folder of archives as well as one archive.
        const bool folder = !args.positional.empty() && Gameset_IsFolder(args.positional[0]);
        if (command)
            status = folder && command->runFolder ? command->runFolder(args) : command->run(args);
    } catch (const std::bad_alloc &) {
        // A resource too large for this machine ends the command, not the process.
        Cli_Report("Not enough memory to finish the command.");
        status = statusMeans ? kExitTrouble : kExitFailed;
    }
    const int finished = Cli_FinishStdout(status);
    return statusMeans && finished != status ? kExitTrouble : finished;
}
