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

}  // namespace

bool Cli_OpenWriter(const CliArgs &args, PakWriter &writer)
{
    std::string error;
    if (!PakWrite_Open(FullPath(args.positional[0]), writer, error, args.waitSeconds)) {
        Cli_Report(error);
        return false;
    }
    return true;
}

bool Cli_ReadFile(const std::string &path, std::vector<uint8_t> &bytes)
{
    const BaseRead read = Base_ReadFile(path, bytes);
    if (read != BaseRead::Ok)
        Cli_Report(Base_ReadFailure(read, path));
    return read == BaseRead::Ok;
}

namespace {

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

}  // namespace

std::string Cli_Count(size_t n, const char *one, const char *many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Prints "DONE, 3.2 MiB appended to X_03.PAK" and what else the user should know.
int Cli_SaveAndReport(const CliArgs &args, PakWriter &writer, const std::string &done)
{
    PakSaveOptions options;
    options.output = args.hasOutput ? FullPath(args.output) : "";
    options.compact = args.compact;
    options.overwrite = args.overwrite;
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
            line += "; " + Cli_Count(static_cast<size_t>(report.droppedRecords), "removed record", "removed records") +
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
    if (!Cli_OpenWriter(args, writer))
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
    return Cli_SaveAndReport(args, writer, done);
}

}  // namespace

int Cli_Replace(const CliArgs &args)
{
    std::string done = "1 entry replaced";
    return EditEntry(
        args,
        [&](PakWriter &writer, int slot, std::string &error) {
            const std::string &path = args.positional[2];
            ImportAs as;
            std::vector<uint8_t> bytes, old;
            // A texture keeps the old one's header, a model all but its vertex
            // data; an entry that does not load is replaced all the same.
            if (Pak_LoadEntry(writer.archive, writer.archive.entries[static_cast<size_t>(slot)], old) != PakLoadResult::Ok)
                old.clear();
            if (!Cli_ChooseImport(args, path, as, error, ClassifyResource(old)) || !Cli_ReadFile(path, bytes))
                return false;
            const std::string conversion = Cli_ConversionName(as, bytes);
            if (!conversion.empty())
                done += " (" + conversion + ")";
            return Cli_Import(args, as, path, bytes, old, error) &&
                   PakWrite_Replace(writer, slot, bytes, args.compress, error);
        },
        done);
}

int Cli_Add(const CliArgs &args)
{
    PakWriter writer;
    ImportAs as;
    std::vector<uint8_t> bytes;
    std::string error;
    const std::string &path = args.positional[2];
    if (!Cli_OpenWriter(args, writer))
        return kExitFailed;
    if (!Cli_ChooseImport(args, path, as, error) || !Cli_ReadFile(path, bytes)) {
        if (!error.empty())
            Cli_Report(error);
        return kExitFailed;
    }
    const std::string conversion = Cli_ConversionName(as, bytes);
    int32_t record = -1;
    if (Cli_Import(args, as, path, bytes, {}, error))
        record = PakWrite_Add(writer, args.positional[1], bytes, args.compress, error);
    if (record < 0) {
        Cli_Report(error);
        return kExitFailed;
    }
    char line[32];
    snprintf(line, sizeof line, " [%04i]", static_cast<int>(record));
    return Cli_SaveAndReport(args, writer,
                             "1 entry added as " + args.positional[1] + line +
                                 (conversion.empty() ? "" : " (" + conversion + ")"));
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
