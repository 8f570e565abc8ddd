// quillon-cli grep and refs: the text inside entries, and what names an
// entry, across an archive or a folder of them. Statuses as grep(1)'s: 0 a
// match, 1 none, 2 trouble.
#include "cli.h"

#include "base/platform.h"
#include "export/json_text.h"
#include "gameset/gameset.h"

namespace {

// Output gathered and written in large pieces.
class Printer {
public:
    explicit Printer(const CliArgs &args) : json_(args.json), terminal_(Sys_IsTerminal(fileno(stdout))) {}
    ~Printer() { Cli_WriteStdout(out_); }

    // The columns every line starts with: the archive and the entry's line.
    void Start(const GamesetTextHit &hit)
    {
        if (json_) {
            out_ += "{\"archive\":" + Json_Quote(hit.archive.name) + ",\"line\":" + Json_Quote(hit.entry.displayName) +
                    ",\"record\":" + std::to_string(hit.entry.index) + ",\"kind\":\"" +
                    ResourceKind_CliName(hit.kind) + "\"";
        } else {
            Text(hit.archive.name);
            out_ += '\t';
            Text(hit.entry.displayName);
            out_ += '\t';
        }
    }

    // Bytes of a column: exact into a pipe or file, control bytes escaped on a terminal.
    void Text(std::string_view bytes)
    {
        if (terminal_)
            out_ += Cli_Escaped(std::string(bytes));
        else
            out_ += bytes;
    }

    void End()
    {
        out_ += json_ ? "}\n" : "\n";
        if (out_.size() >= 65536) {
            Cli_WriteStdout(out_);
            out_.clear();
        }
    }

    std::string &Raw() { return out_; }
    bool Json() const { return json_; }

private:
    bool json_, terminal_;
    std::string out_;
};

int Status(const GamesetSearchSummary &summary)
{
    return summary.troubles > 0 ? kExitTrouble : summary.hits > 0 ? kExitOk : kExitFailed;
}

auto Report()
{
    return [](const std::string &message) { Cli_Report(message); };
}

}  // namespace

int Cli_Grep(const CliArgs &args)
{
    std::vector<GamesetArchive> archives;
    bool unread = false;
    if (!Cli_ArchivesOf(args, archives, unread))
        return kExitTrouble;
    GamesetSearchOptions options;
    options.text = args.positional[1];
    options.regex = args.regex;
    options.matchCase = args.matchCase;
    options.kinds = args.kinds;
    options.allKinds = args.allKinds;
    options.workers = args.jobs;
    GamesetSearchSummary summary;
    {
        Printer print(args);
        summary = Gameset_Search(
            archives, options,
            [&](const GamesetTextHit &hit) {
                print.Start(hit);
                if (print.Json()) {
                    print.Raw() += ",\"lineNumber\":" + std::to_string(hit.line) + ",\"text\":" + Json_Quote(hit.text) +
                                   ",\"textBytes\":\"" + Cli_HexBytes(hit.text) + "\"";
                } else {
                    print.Raw() += std::to_string(hit.line) + "\t";
                    print.Text(hit.text);
                }
                print.End();
            },
            Report());
    }
    if (!summary.badPattern.empty()) {
        Cli_Report(summary.badPattern);
        return kExitTrouble;
    }
    return unread ? kExitTrouble : Status(summary);
}

int Cli_Refs(const CliArgs &args)
{
    std::vector<GamesetArchive> archives;
    bool unread = false;
    if (!Cli_ArchivesOf(args, archives, unread))
        return kExitTrouble;
    GamesetSearchOptions options;
    GamesetSearchSummary summary;
    {
        Printer print(args);
        summary = Gameset_Refs(
            archives, args.positional[1], options,
            [&](const GamesetTextHit &hit) {
                print.Start(hit);
                const std::string how = hit.line > 0 ? "text line " + std::to_string(hit.line)
                                                     : "surface " + std::to_string(hit.surface) + " material";
                if (print.Json())
                    print.Raw() += ",\"how\":\"" + how + "\"," +
                                   (hit.line > 0 ? "\"lineNumber\":" + std::to_string(hit.line)
                                                 : "\"surface\":" + std::to_string(hit.surface));
                else
                    print.Raw() += how;
                print.End();
            },
            Report());
    }
    return unread ? kExitTrouble : Status(summary);
}
