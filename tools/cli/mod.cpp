// quillon-cli mod: make a mod of what changed, apply it to a game folder with
// a backup, take it off again, what is applied, and which mods collide.
#include "base/ascii.h"
#include "cli.h"

#include "base/platform.h"
#include "mod/mod.h"


namespace {

// A line of tab-separated fields, each field's control bytes escaped.
std::string Fields(const std::string &line)
{
    std::string out;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        out += Cli_Escaped(line.substr(start, tab - start)) + "\t";
    return out + Cli_Escaped(line.substr(start)) + "\n";
}

int Make(const CliArgs &args, const std::vector<std::string> &rest)
{
    if (rest.size() != 2 || !args.hasOutput) {
        Cli_Report("usage: quillon-cli mod make ORIGINAL MODDED -o MOD [--name NAME] [--zip]");
        return kExitUsage;
    }
    std::string name = args.modName;
    if (name.empty()) {
        const size_t sep = args.output.find_last_of(kSysPathSeparators);
        name = sep == std::string::npos ? args.output : args.output.substr(sep + 1);
        if (args.modZip && name.size() > 4 && Ascii_Equal(std::string_view(name).substr(name.size() - 4), ".zip"))
            name.resize(name.size() - 4);
    }
    ModMakeReport report;
    std::string error;
    if (!Mod_Make(rest[0], rest[1], args.output, name, args.modZip, report, error)) {
        Cli_Report(error);
        return kExitFailed;
    }
    Cli_WriteStdout(Cli_Escaped(name) + ": " + Cli_Count(report.replaced, "entry", "entries") + " replaced, " +
                    Cli_Count(report.added, "entry", "entries") + " added, " +
                    Cli_Count(report.removed, "entry", "entries") + " removed, " +
                    Cli_Count(report.renamed, "entry", "entries") + " renamed in " +
                    Cli_Count(report.archives, "archive", "archives") + "; " + std::to_string(report.bytes) +
                    " bytes of new resources\n");
    return kExitOk;
}

int Apply(const CliArgs &args, const std::vector<std::string> &rest)
{
    if (rest.size() != 2) {
        Cli_Report("usage: quillon-cli mod apply MOD GAMEDIR [--dry-run] [--force]");
        return kExitUsage;
    }
    ModApplyOptions options;
    options.dryRun = args.dryRun;
    options.force = args.force;
    options.waitSeconds = args.waitSeconds;
    ModApplyReport report;
    std::string error;
    const bool ok = Mod_Apply(rest[0], rest[1], options, report, error);
    for (const std::string &line : report.differs)
        fprintf(stderr, "differs: %s", Fields(line).c_str());
    if (!ok) {
        Cli_Report(error);
        return kExitFailed;
    }
    std::string out;
    if (args.dryRun)
        for (const std::string &line : report.lines)
            out += Fields(line);
    out += Cli_Count(report.lines.size(), "edit", "edits") +
           (args.dryRun ? " (dry run: nothing changed)\n" : " applied as mod " + std::to_string(report.record) + "\n");
    Cli_WriteStdout(out);
    return kExitOk;
}

}  // namespace

int Cli_Mod(const CliArgs &args)
{
    const std::string &verb = args.positional[0];
    const std::vector<std::string> rest(args.positional.begin() + 1, args.positional.end());
    std::string error;
    if (verb == "make")
        return Make(args, rest);
    if (verb == "apply")
        return Apply(args, rest);
    if (verb == "restore" && rest.size() == 1) {
        // --to N: every mod from N on, the last first, each as a restore of its own.
        for (bool tookOff = false;; tookOff = true) {
            std::vector<ModApplied> applied;
            if (!Mod_Status(rest[0], applied, error)) {
                Cli_Report(error);
                return kExitFailed;
            }
            if (args.restoreTo > 0 && (applied.empty() || applied.back().record < args.restoreTo)) {
                if (!tookOff) {
                    Cli_Report("No mod number " + std::to_string(args.restoreTo) + " is applied.");
                    return kExitFailed;
                }
                return kExitOk;
            }
            std::string name;
            if (!Mod_Restore(rest[0], args.waitSeconds, name, error)) {
                Cli_Report(error);
                return kExitFailed;
            }
            Cli_WriteStdout("took off " + Cli_Escaped(name) + "\n");
            if (args.restoreTo == 0)
                return kExitOk;
        }
    }
    if (verb == "status" && rest.size() == 1) {
        std::vector<ModApplied> applied;
        if (!Mod_Status(rest[0], applied, error)) {
            Cli_Report(error);
            return kExitFailed;
        }
        std::string out;
        for (const ModApplied &a : applied) {
            std::string archives;
            for (const std::string &archive : a.archives)
                archives += (archives.empty() ? "" : " ") + archive;
            out += Fields(std::to_string(a.record) + "\t" + a.name + (a.complete ? "" : " (not applied whole)") +
                          "\t" + archives);
        }
        Cli_WriteStdout(out.empty() ? "no mod applied\n" : out);
        return kExitOk;
    }
    if (verb == "conflicts" && !rest.empty()) {
        std::vector<Mod> mods(rest.size());
        for (size_t i = 0; i < rest.size(); ++i)
            if (!Mod_Read(rest[i], mods[i], error)) {
                Cli_Report(error);
                return kExitTrouble;
            }
        std::string out;
        for (const ModConflict &c : Mod_Conflicts(mods)) {
            std::string names;
            for (const std::string &m : c.mods)
                names += (names.empty() ? "" : ", ") + m;
            out += Fields(c.archive + "\t" + c.name + " #" + std::to_string(c.occurrence) + "\t" + names);
        }
        Cli_WriteStdout(out);
        return out.empty() ? kExitOk : kExitDiffers;
    }
    Cli_Report("usage: quillon-cli mod make|apply|restore|status|conflicts ... (quillon-cli mod --help)");
    return kExitUsage;
}
