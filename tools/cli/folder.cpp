// quillon-cli on a folder of archives: find across them, and list and
// extract each of them in turn, one index held at a time.
#include "cli.h"

#include "base/platform.h"
#include "export/json_text.h"
#include "gameset/gameset.h"

#include <algorithm>

namespace {

void Trouble(bool &failed, const std::string &message)
{
    failed = true;
    Cli_Report(message);
}

}  // namespace

bool Cli_ArchivesOf(const CliArgs &args, std::vector<GamesetArchive> &archives, bool &failed)
{
    const std::string &path = args.positional[0];
    if (!Gameset_IsFolder(path)) {
        const size_t sep = path.find_last_of(kSysPathSeparators);
        // A bare name keeps its folder, as Cli_OpenArchive gives it one.
        archives = {{path.find_first_of("\\/") == std::string::npos ? "./" + path : path,
                     sep == std::string::npos ? path : path.substr(sep + 1)}};
        return true;
    }
    std::string error;
    if (!Gameset_ListArchives(path, args.recursive, archives, error,
                              [&](const std::string &message) { Trouble(failed, message); })) {
        Cli_Report(error);
        return false;
    }
    // A folder of no archives is most likely the wrong folder: say so.
    if (archives.empty() && !failed)
        Cli_Report("The folder '" + path + "' holds no entry-point archive (" +
                   (args.recursive ? "" : "without its subfolders; ") + "*.pak files that start \"PAK_\").");
    return !archives.empty();
}

int Cli_Find(const CliArgs &args)
{
    std::vector<GamesetArchive> archives;
    bool failed = false;
    if (!Cli_ArchivesOf(args, archives, failed))
        return kExitFailed;
    const bool terminal = Sys_IsTerminal(fileno(stdout));
    std::string out;
    Gameset_Find(
        archives, args.positional[1], args.kinds,
        [&](const GamesetHit &hit) {
            if (args.json) {
                out += "{\"archive\":" + Json_Quote(hit.archive.name) + ",\"line\":" +
                       Json_Quote(hit.entry.displayName) + ",\"record\":" + std::to_string(hit.entry.index);
                if (hit.kind != KindCount)
                    out += std::string(",\"kind\":\"") + ResourceKind_CliName(hit.kind) + "\"";
                out += "}\n";
            } else if (terminal) {
                out += Cli_Escaped(hit.archive.name) + "\t" + Cli_Escaped(hit.entry.displayName) + "\n";
            } else {
                out += hit.archive.name + "\t" + hit.entry.displayName + "\n";
            }
            if (out.size() >= 65536) {
                Cli_WriteStdout(out);
                out.clear();
            }
        },
        [&](const std::string &message) { Trouble(failed, message); });
    Cli_WriteStdout(out);
    return failed ? kExitFailed : kExitOk;
}

int Cli_ListFolder(const CliArgs &args)
{
    std::vector<GamesetArchive> archives;
    bool failed = false;
    if (!Cli_ArchivesOf(args, archives, failed))
        return kExitFailed;
    for (const GamesetArchive &archive : archives) {
        PakArchive pak;
        const PakOpenResult result = Pak_OpenArchive(archive.path, pak);
        if (result != PakOpenResult::Ok)
            Trouble(failed, archive.name + ": " + Pak_OpenMessage(result));
        else if (Cli_ListArchive(args, pak, archive.name) != kExitOk)
            failed = true;
    }
    return failed ? kExitFailed : kExitOk;
}

int Cli_ExtractFolder(const CliArgs &args)
{
    std::vector<GamesetArchive> archives;
    bool failed = false;
    if (!Cli_ArchivesOf(args, archives, failed))
        return kExitFailed;
    ExportJobSummary totals;
    const std::vector<std::string> folders = Gameset_ExtractFolders(archives);
    for (size_t i = 0; i < archives.size(); ++i) {
        const GamesetArchive &archive = archives[i];
        const std::string &sub = folders[i];
        PakArchive pak;
        const PakOpenResult result = Pak_OpenArchive(archive.path, pak);
        if (result != PakOpenResult::Ok)
            Trouble(failed, archive.name + ": " + Pak_OpenMessage(result));
        else if (!Cli_ExtractArchive(args, pak, args.output + "/" + sub, archive.name, totals))
            failed = true;
    }
    Cli_WriteStdout(std::to_string(archives.size()) + " archives: " + Cli_ExtractTotals(totals));
    return failed || totals.failed > 0 ? kExitFailed : kExitOk;
}
