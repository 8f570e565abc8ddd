// quillon-cli export and dump: one entry to one file, through the viewer's
// single-entry export.
#include "cli.h"

#include "export/export_jobs.h"

namespace {

// Opens the archive and loads the ENTRY argument's resource.
bool LoadArgumentEntry(const CliArgs &args, PakArchive &archive, std::vector<uint8_t> &bytes)
{
    if (!Cli_OpenArchive(args.positional[0], archive))
        return false;
    int slot = Cli_FindEntry(archive, args.positional[1]);
    return slot >= 0 && Cli_LoadEntry(archive, archive.entries[slot], bytes);
}

// Writes the request to OUTPUT and reports a failure, or the surfaces the
// model's file lacks (a warning: it holds every surface that could be read).
// The exit status.
int Write(const CliArgs &args, const ExportEntryRequest &request)
{
    const ExportStatus status = Export_WriteEntry(request, args.output);
    // A failed write to stdout is reported once, when stdout is flushed.
    if (args.output == "-" && status.result == ExportResult::WriteFailed)
        return kExitFailed;
    if (!status.Ok()) {
        Cli_Report(Export_Message(status));
        return kExitFailed;
    }
    if (status.surfacesDropped > 0)
        Cli_Report(Export_SurfacesLeftOutMessage(status.surfacesDropped));
    if (status.nonFinite > 0)
        Cli_Report(Export_NonFiniteMessage(status.nonFinite));
    return kExitOk;
}

}  // namespace

int Cli_Export(const CliArgs &args)
{
    PakArchive archive, global;
    std::vector<uint8_t> bytes;
    if (!LoadArgumentEntry(args, archive, bytes))
        return kExitFailed;
    ExportEntryRequest request;
    request.kind = ClassifyResource(bytes.data(), bytes.size());
    request.resource = bytes;
    request.forms = args.forms;
    request.archive = &archive;
    request.global = &global;
    return Write(args, request);
}

int Cli_Dump(const CliArgs &args)
{
    PakArchive archive;
    std::vector<uint8_t> bytes;
    if (!LoadArgumentEntry(args, archive, bytes))
        return kExitFailed;
    DumpOptions options;
    options.dataFormat = args.dumpFormat;
    options.bigEndian = args.bigEndian;
    options.hexadecimal = !args.decimal;
    options.startOffset = Dump_ParseOffsetText(args.offsetText);
    ExportEntryRequest request;
    request.resource = bytes;
    request.dump = &options;
    return Write(args, request);
}
