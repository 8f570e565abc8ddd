// quillon-cli replace, add, remove, rename and update: edits of an archive,
// saved in place or as a new set, each reported as what it did.
#include "cli.h"

#include "base/bytes.h"
#include "base/file_io.h"
#include "base/platform.h"
#include "export/export_jobs.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace {

// The archive path as the viewer holds it: with its folder (see Cli_OpenArchive).
std::string FullPath(const std::string &path)
{
    return path.find_first_of("\\/") == std::string::npos ? "./" + path : path;
}

bool OpenWriter(const CliArgs &args, PakWriter &writer)
{
    std::string error;
    if (!PakWrite_Open(FullPath(args.positional[0]), writer, error)) {
        Cli_Report(error);
        return false;
    }
    return true;
}

// A file's whole contents; false (reported) when it is no readable regular file.
bool ReadInput(const std::string &path, std::vector<uint8_t> &bytes)
{
    const BaseRead read = Base_ReadFile(path, bytes);
    if (read != BaseRead::Ok)
        Cli_Report(Base_ReadFailure(read, path));
    return read == BaseRead::Ok;
}

std::string FormatBytes(uint64_t bytes)
{
    char text[32];
    if (bytes < 1024)
        snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    else if (bytes < (1u << 20))
        snprintf(text, sizeof text, "%.1f KiB", bytes / 1024.0);
    else if (bytes < (1ull << 30))
        snprintf(text, sizeof text, "%.1f MiB", bytes / 1048576.0);
    else
        snprintf(text, sizeof text, "%.2f GiB", bytes / 1073741824.0);
    return text;
}

std::string Count(size_t n, const char *one, const char *many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Saves and prints "DONE, 3.2 MiB appended to X_03.PAK" and what else the user should know.
int SaveAndReport(const CliArgs &args, PakWriter &writer, const std::string &done)
{
    PakSaveOptions options;
    options.output = args.hasOutput ? FullPath(args.output) : "";
    options.compact = args.compact;
    PakSaveReport report;
    std::string error;
    if (!PakWrite_Save(writer, options, report, error)) {
        Cli_Report(error);
        return kExitFailed;
    }
    for (const std::string &note : report.notes)
        Cli_Report(note);
    std::string line = done;
    if (args.compact) {
        line += ", the set rebuilt as ";
        for (size_t i = 0; i < report.appended.size(); ++i)
            line += (i ? ", " : "") + report.appended[i].file;
        line += " (" + FormatBytes(report.written) + ")";
        if (report.droppedRecords > 0)
            line += "; " + Count(static_cast<size_t>(report.droppedRecords), "removed record", "removed records") +
                    " dropped: record numbers have changed";
    } else {
        for (size_t i = 0; i < report.appended.size(); ++i)
            line += std::string(i ? " and " : ", ") + FormatBytes(report.appended[i].bytes) + " appended to " +
                    (report.appended[i].created ? "the new " : "") + report.appended[i].file;
        if (args.hasOutput)
            line += ", written as " + args.output;
    }
    Cli_WriteStdout(Cli_Escaped(line) + "\n");
    return kExitOk;
}

// Where `extract` puts each entry, relative to its folder: the entry's safe
// path, a later entry of a path taken (case ignored) with its record number.
std::map<std::string, int32_t> ExtractedPaths(const PakArchive &archive)
{
    auto fold = [](std::string text) {
        for (char &c : text)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
        return text;
    };
    std::map<std::string, int32_t> paths;
    std::set<std::string> used;
    for (const PakEntry &entry : archive.entries) {
        if (entry.displayName[0] == '\0')
            continue;
        std::vector<std::string> components = Export_SafeComponents(entry);
        if (used.count(fold(Export_JoinPath(components, components.size())))) {
            const std::vector<std::string> base = components;
            for (int round = 0;; ++round) {
                components = base;
                Export_AddRecordSuffix(components, entry.index, round);
                if (!used.count(fold(Export_JoinPath(components, components.size()))))
                    break;
            }
        }
        for (size_t n = 1; n <= components.size(); ++n)
            used.insert(fold(Export_JoinPath(components, n)));
        paths[Export_JoinPath(components, components.size())] = entry.index;
    }
    return paths;
}

}  // namespace

bool Cli_ParseSize(const std::string &text, int64_t &bytes)
{
    size_t digits = text.find_first_not_of("0123456789");
    if (digits == 0 || text.empty())
        return false;
    std::string suffix = digits == std::string::npos ? "" : text.substr(digits);
    int64_t scale = suffix.empty() ? 1 : suffix == "K" || suffix == "k" ? 1024 : suffix == "M" || suffix == "m" ? 1 << 20
                                     : suffix == "G" || suffix == "g"   ? 1 << 30 : 0;
    const int64_t n = Bytes_ParseInteger(text.substr(0, digits));
    if (scale == 0 || n < 1 || n > kPakFileLimit / scale)
        return false;
    bytes = n * scale;
    return true;
}

namespace {

// Opens ARCHIVE, finds ENTRY, edits its slot and saves; `edit` reports its
// own refusals or leaves them in `error`.
int EditEntry(const CliArgs &args, const std::function<bool(PakWriter &, int, std::string &)> &edit,
              const std::string &done)
{
    PakWriter writer;
    if (!OpenWriter(args, writer))
        return kExitFailed;
    const int slot = Cli_FindEntry(writer.archive, args.positional[1]);
    std::string error;
    if (slot < 0)
        return kExitFailed;
    if (!edit(writer, slot, error)) {
        if (!error.empty())
            Cli_Report(error);
        return kExitFailed;
    }
    return SaveAndReport(args, writer, done);
}

}  // namespace

int Cli_Replace(const CliArgs &args)
{
    return EditEntry(
        args,
        [&](PakWriter &writer, int slot, std::string &error) {
            std::vector<uint8_t> bytes;
            return ReadInput(args.positional[2], bytes) && PakWrite_Replace(writer, slot, bytes, args.compress, error);
        },
        "1 entry replaced");
}

int Cli_Add(const CliArgs &args)
{
    PakWriter writer;
    std::vector<uint8_t> bytes;
    if (!OpenWriter(args, writer) || !ReadInput(args.positional[2], bytes))
        return kExitFailed;
    std::string error;
    const int32_t record = PakWrite_Add(writer, args.positional[1], bytes, args.compress, error);
    if (record < 0) {
        Cli_Report(error);
        return kExitFailed;
    }
    char line[32];
    snprintf(line, sizeof line, " [%04i]", static_cast<int>(record));
    return SaveAndReport(args, writer, "1 entry added as " + args.positional[1] + line);
}

int Cli_Remove(const CliArgs &args)
{
    return EditEntry(
        args, [](PakWriter &writer, int slot, std::string &error) { return PakWrite_Remove(writer, slot, error); },
        args.compact ? "1 entry removed" : "1 entry removed (its record kept as skipped)");
}

int Cli_Rename(const CliArgs &args)
{
    return EditEntry(
        args,
        [&](PakWriter &writer, int slot, std::string &error) {
            return PakWrite_Rename(writer, slot, args.positional[2], error);
        },
        "1 entry renamed");
}

int Cli_Update(const CliArgs &args)
{
    PakWriter writer;
    if (!OpenWriter(args, writer))
        return kExitFailed;
    const std::string folder = args.positional[1];
    if (Sys_PathKind(folder, true) != SysKind::Folder) {
        Cli_Report("'" + folder + "' is not a folder.");
        return kExitFailed;
    }
    std::vector<std::string> skipped;
    const std::vector<PakFolderFile> listed = PakWrite_ListFolder(folder, skipped);
    for (const std::string &path : skipped)
        Cli_Report("skipped (no regular file): " + path);

    const std::map<std::string, int32_t> paths = ExtractedPaths(writer.archive);
    size_t replaced = 0, added = 0, unnamed = 0, failed = 0;
    std::vector<uint8_t> bytes, current;
    std::string error;
    for (const PakFolderFile &file : listed) {
        // `extract` names files with '/' between folders where entries have '\\'.
        std::string relative = file.name;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        const std::string &path = file.path;
        const auto found = paths.find(relative);
        if (found == paths.end()) {
            if (!args.addNew) {
                ++unnamed;
                continue;
            }
            const std::string &name = file.name;
            if (args.dryRun) {
                Cli_WriteStdout(Cli_Escaped("add " + name + " (" + path + ")") + "\n");
            } else if (!ReadInput(path, bytes) || PakWrite_Add(writer, name, bytes, args.compress, error) < 0) {
                if (!error.empty())
                    Cli_Report(path + ": " + error);
                error.clear();
                ++failed;
                continue;
            }
            ++added;
            continue;
        }
        const PakEntry &entry = writer.archive.entries[static_cast<size_t>(found->second)];
        if (!ReadInput(path, bytes)) {
            ++failed;
            continue;
        }
        // An entry that does not load is replaced all the same: the file is what the user wants there.
        if (Pak_LoadEntry(writer.archive, entry, current) == PakLoadResult::Ok && current == bytes)
            continue;
        if (args.dryRun) {
            Cli_WriteStdout(Cli_Escaped("replace " + std::string(entry.displayName) + " (" + path + ")") + "\n");
        } else if (!PakWrite_Replace(writer, found->second, bytes, args.compress, error)) {
            Cli_Report(std::string(entry.displayName) + ": " + error);
            ++failed;
            continue;
        }
        ++replaced;
    }
    if (unnamed > 0)
        Cli_Report(Count(unnamed, "file", "files") + " in '" + folder + "' name no entry and were left out (--add adds them).");
    if (failed > 0) {
        Cli_Report("Nothing was changed: " + Count(failed, "file", "files") + " could not be put back.");
        return kExitFailed;
    }
    const std::string done = Count(replaced, "entry", "entries") + " replaced, " + Count(added, "entry", "entries") + " added";
    if (args.dryRun || (replaced + added == 0 && !args.hasOutput)) {
        Cli_WriteStdout(done + (args.dryRun ? " (dry run: nothing changed)\n" : "\n"));
        return kExitOk;
    }
    return SaveAndReport(args, writer, done);
}
