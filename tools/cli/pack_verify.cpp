// quillon-cli pack and verify: a new archive from a folder, and the check of
// every record of an archive.
#include "cli.h"

#include "export/json_text.h"

#include <algorithm>
#include <chrono>

int Cli_Pack(const CliArgs &args)
{
    PakPackOptions options;
    options.compress = args.compress;
    options.jobs = args.jobs > 0 ? args.jobs : 1;
    options.partSize = args.partSize;
    options.lockWait = args.waitSeconds;
    options.overwrite = args.overwrite;
    // --as raw packs the files as they are, as a pack without importers did.
    if (!args.hasAs || args.as != ImportAs::Raw) {
        options.entryName = [&](const PakFolderFile &file) {
            ImportAs as;
            std::string refused;  // told when the file is converted
            return Cli_ChooseImport(args, file.path, as, refused) ? Import_EntryName(file.name, as) : file.name;
        };
        options.convert = [&](const PakFolderFile &file, std::vector<uint8_t> &bytes, std::string &error) {
            ImportAs as;
            return Cli_ChooseImport(args, file.path, as, error) && Cli_Import(args, as, file.path, bytes, {}, error);
        };
    }
    std::string output = args.output;
    if (output.find_first_of("\\/") == std::string::npos)
        output = "./" + output;
    PakPackReport report;
    std::string error;
    const bool ok = PakWrite_Pack(args.positional[0], output, options, report, error);
    for (const std::string &path : report.skipped)
        Cli_Report("skipped (no regular file): " + path);
    if (!ok) {
        // One report line per line: a refusal lists every file it names.
        for (size_t start = 0; start <= error.size();) {
            const size_t end = std::min(error.find('\n', start), error.size());
            Cli_Report(error.substr(start, end - start));
            start = end + 1;
        }
        return kExitFailed;
    }
    std::string files;
    for (size_t i = 0; i < report.files.size(); ++i)
        files += (i ? ", " : "") + report.files[i];
    char line[160];
    snprintf(line, sizeof line, "%zu entries packed (%zu compressed), %llu bytes of files stored in %llu bytes: ",
             report.entries, report.compressed, static_cast<unsigned long long>(report.inputBytes),
             static_cast<unsigned long long>(report.storedBytes));
    Cli_WriteStdout(Cli_Escaped(line + files) + "\n");
    return kExitOk;
}

int Cli_Verify(const CliArgs &args)
{
    std::string path = args.positional[0];
    if (path.find_first_of("\\/") == std::string::npos)
        path = "./" + path;
    PakVerifyReport report;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    if (!PakWrite_Verify(path, report, error)) {
        Cli_Report(error);
        return kExitFailed;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (args.json) {
        auto list = [](const std::vector<PakVerifyProblem> &problems) {
            std::string text = "[";
            for (size_t i = 0; i < problems.size(); ++i)
                text += std::string(i ? "," : "") + "{\"record\":" + std::to_string(problems[i].record) +
                        ",\"line\":" + Json_Quote(problems[i].line) + ",\"problem\":" + Json_Quote(problems[i].problem) +
                        "}";
            return text + "]";
        };
        Cli_WriteStdout("{\"entries\":" + std::to_string(report.entries) +
                        ",\"storedBytes\":" + std::to_string(report.storedBytes) +
                        ",\"expandedBytes\":" + std::to_string(report.expandedBytes) +
                        ",\"compressed\":" + std::to_string(report.compressed) + ",\"ok\":" +
                        (report.broken.empty() ? "true" : "false") + ",\"broken\":" + list(report.broken) +
                        ",\"overlaps\":" + list(report.overlaps) + "}\n");
    } else {
        for (const PakVerifyProblem &p : report.broken)
            Cli_WriteStdout(Cli_Escaped("broken: " + (p.line.empty() ? std::string("the index") : p.line) + ": " +
                                        p.problem) + "\n");
        for (const PakVerifyProblem &p : report.overlaps)
            Cli_WriteStdout(Cli_Escaped("note: " + p.line + " " + p.problem) + "\n");
        for (const std::string &leftover : report.leftovers)
            Cli_WriteStdout(Cli_Escaped("note: " + leftover + " is a temporary file a killed save left; the next save "
                                        "of the set removes an entry-point one") + "\n");
        char line[200];
        snprintf(line, sizeof line, "%zu entries, %llu stored bytes (%zu compressed, %llu bytes expanded) in %.2f s: %s\n",
                 report.entries, static_cast<unsigned long long>(report.storedBytes), report.compressed,
                 static_cast<unsigned long long>(report.expandedBytes), seconds,
                 report.broken.empty() ? "ok" : (std::to_string(report.broken.size()) + " broken").c_str());
        Cli_WriteStdout(line);
    }
    return report.broken.empty() ? kExitOk : kExitFailed;
}
