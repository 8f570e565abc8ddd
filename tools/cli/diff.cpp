// quillon-cli diff: what a patch changed, entry by entry or as counts.
#include "cli.h"

#include "base/platform.h"
#include "export/json_text.h"
#include "gameset/gameset.h"


namespace {

const char *ChangeName(GamesetChange change)
{
    switch (change) {
    case GamesetChange::Added:
        return "added";
    case GamesetChange::Removed:
        return "removed";
    case GamesetChange::Changed:
        return "changed";
    case GamesetChange::Unchanged:
        break;
    }
    return "unchanged";
}

std::string JsonSide(const PakEntry *entry)
{
    if (!entry)
        return "null";
    return "{\"line\":" + Json_Quote(entry->displayName) + ",\"record\":" + std::to_string(entry->index) +
           ",\"storedSize\":" + std::to_string(entry->size) + "}";
}

// Counts and stored bytes of one archive's entries.
struct Tally {
    uint64_t count[4] = {};  // by GamesetChange
    uint64_t bytes[4] = {};  // stored bytes: NEW's, OLD's for removed entries

    void Add(const GamesetEntryDiff &d)
    {
        const int c = static_cast<int>(d.change);
        ++count[c];
        bytes[c] += (d.newEntry ? d.newEntry : d.oldEntry)->size;
    }
    void Add(const Tally &t)
    {
        for (int c = 0; c < 4; ++c)
            count[c] += t.count[c], bytes[c] += t.bytes[c];
    }
};

std::string StatText(const std::string &name, const char *whole, const Tally &t)
{
    auto n = [&](GamesetChange c) { return std::to_string(t.count[static_cast<int>(c)]); };
    auto b = [&](GamesetChange c) { return std::to_string(t.bytes[static_cast<int>(c)]); };
    return name + whole + ": " + n(GamesetChange::Added) + " added, " + n(GamesetChange::Removed) + " removed, " +
           n(GamesetChange::Changed) + " changed, " + n(GamesetChange::Unchanged) + " unchanged; bytes " +
           b(GamesetChange::Added) + " added, " + b(GamesetChange::Removed) + " removed, " +
           b(GamesetChange::Changed) + " changed\n";
}

std::string StatJson(const std::string &name, GamesetChange change, const Tally &t)
{
    std::string out = "{\"archive\":" + Json_Quote(name) + ",\"change\":\"" + ChangeName(change) + "\"";
    for (GamesetChange c : {GamesetChange::Added, GamesetChange::Removed, GamesetChange::Changed,
                            GamesetChange::Unchanged}) {
        const std::string key = ChangeName(c);
        out += ",\"" + key + "\":" + std::to_string(t.count[static_cast<int>(c)]);
        std::string bytesKey = key;
        bytesKey[0] = static_cast<char>(bytesKey[0] - ('a' - 'A'));
        out += ",\"bytes" + bytesKey + "\":" + std::to_string(t.bytes[static_cast<int>(c)]);
    }
    return out + "}\n";
}

}  // namespace

int Cli_Diff(const CliArgs &args)
{
    const std::string &oldPath = args.positional[0], &newPath = args.positional[1];
    const bool oldFolder = Gameset_IsFolder(oldPath), newFolder = Gameset_IsFolder(newPath);
    if (oldFolder != newFolder) {
        Cli_Report("OLD and NEW must be two archives or two folders.");
        return kExitTrouble;
    }
    const bool terminal = Sys_IsTerminal(fileno(stdout));
    auto shown = [terminal](const std::string &text) { return terminal ? Cli_Escaped(text) : text; };
    Tally total;
    size_t archives = 0;
    const GamesetDiffSink sink = [&](const GamesetArchiveDiff &diff) {
        ++archives;
        const bool whole = diff.change == GamesetChange::Added || diff.change == GamesetChange::Removed;
        std::string out;
        Tally tally;
        for (const GamesetEntryDiff &d : diff.entries) {
            tally.Add(d);
            if (args.stat || whole || d.change == GamesetChange::Unchanged)
                continue;
            const PakEntry *shownEntry = d.newEntry ? d.newEntry : d.oldEntry;
            if (args.json)
                out += std::string("{\"change\":\"") + ChangeName(d.change) + "\",\"archive\":" +
                       Json_Quote(diff.name) + ",\"name\":" + Json_Quote(d.name) + ",\"occurrence\":" +
                       std::to_string(d.occurrence) + ",\"old\":" + JsonSide(d.oldEntry) +
                       ",\"new\":" + JsonSide(d.newEntry) + "}\n";
            else
                out += std::string(ChangeName(d.change)) + "\t" + shown(diff.name) + "\t" +
                       shown(shownEntry->displayName) + "\n";
        }
        total.Add(tally);
        if (args.stat)
            out = args.json ? StatJson(diff.name, diff.change, tally)
                            : StatText(shown(diff.name), whole ? (diff.change == GamesetChange::Added
                                                                      ? " (archive added)"
                                                                      : " (archive removed)")
                                                               : "",
                                       tally);
        else if (whole)
            out = args.json ? "{\"change\":\"" + std::string(ChangeName(diff.change)) + "\",\"archive\":" +
                                  Json_Quote(diff.name) + ",\"entries\":" + std::to_string(diff.entries.size()) + "}\n"
                            : std::string(ChangeName(diff.change)) + "\t" + shown(diff.name) + "\n";
        Cli_WriteStdout(out);
    };
    const auto trouble = [](const std::string &message) { Cli_Report(message); };

    GamesetDiffOptions options;
    options.recursive = args.recursive;
    options.workers = args.jobs;
    GamesetDiffSummary summary;
    if (oldFolder) {
        summary = Gameset_DiffFolders(oldPath, newPath, options, sink, trouble);
    } else {
        PakArchive oldPak, newPak;
        if (!Cli_OpenArchive(oldPath, oldPak) || !Cli_OpenArchive(newPath, newPak))
            return kExitTrouble;
        const size_t sep = newPath.find_last_of(kSysPathSeparators);
        summary = Gameset_DiffArchives(sep == std::string::npos ? newPath : newPath.substr(sep + 1), oldPak, newPak,
                                       options, sink, trouble);
    }
    if (args.stat && !args.json && archives > 1)
        Cli_WriteStdout(StatText(std::to_string(archives) + " archives", "", total));
    if (summary.troubles > 0)
        return kExitTrouble;
    return summary.differs ? kExitDiffers : kExitOk;
}
