// quillon-cli export and dump: one entry to one file, through the viewer's
// export writers.
#include "cli.h"

#include "export/export.h"
#include "model/model.h"

#include <functional>

namespace {

using Writer = std::function<ExportResult(FILE *)>;

// Runs `write` on FILE ("-" is standard output) and reports a failure with the
// viewer's message. The exit status.
int WriteOutput(const std::string &output, const char *mode, const Writer &write)
{
    ExportResult result;
    if (output == "-") {
        result = write(stdout);
        // A failed write to stdout is reported once, when stdout is flushed.
        if (result == ExportResult::WriteFailed)
            return kExitFailed;
    } else {
        result = Export_ToPath(output, mode, write);
    }
    if (result != ExportResult::Ok) {
        Cli_Report(Export_Message(result));
        return kExitFailed;
    }
    return kExitOk;
}

// Opens the archive and loads the ENTRY argument's resource.
bool LoadArgumentEntry(const CliArgs &args, std::vector<uint8_t> &bytes)
{
    PakArchive archive;
    if (!Cli_OpenArchive(args.positional[0], archive))
        return false;
    int slot = Cli_FindEntry(archive, args.positional[1]);
    return slot >= 0 && Cli_LoadEntry(archive, archive.entries[slot], bytes);
}

}  // namespace

int Cli_Export(const CliArgs &args)
{
    std::vector<uint8_t> bytes;
    if (!LoadArgumentEntry(args, bytes))
        return kExitFailed;
    const std::span<const uint8_t> resource(bytes);

    if (args.wav) {
        // Decoded whole before the file is opened, so a refusal leaves no file.
        CliSound sound;
        std::string message;
        if (!Cli_DecodeSound(resource, sound, message)) {
            Cli_Report(message);
            return kExitFailed;
        }
        return WriteOutput(args.output, "wb", [&](FILE *file) {
            return Cli_WriteWav(file, sound) ? ExportResult::Ok : ExportResult::WriteFailed;
        });
    }
    if (!args.interpreted)
        return WriteOutput(args.output, "wb", [&](FILE *file) {
            return Export_WriteRaw(file, resource) ? ExportResult::Ok : ExportResult::WriteFailed;
        });

    // Refusals are decided before the file is opened, so none leaves a file behind.
    const ResourceKind kind = ClassifyResource(bytes.data(), bytes.size());
    if (kind == KindModel) {
        Model *model = Model_Parse(bytes.data(), bytes.size());
        if (!model) {
            Cli_Report(Export_Message(ExportResult::NoModel));
            return kExitFailed;
        }
        const int status = WriteOutput(args.output, "wb", [&](FILE *file) {
            return Model_WriteObj(file, model) ? ExportResult::Ok : ExportResult::WriteFailed;
        });
        // A warning, not a failure: the file holds every surface that could be read.
        if (status == kExitOk && model->surfacesDropped > 0)
            Cli_Report(Export_SurfacesLeftOutMessage(model->surfacesDropped));
        Model_Free(model);
        return status;
    }
    if (!ResourceKind_Info(kind).hasInterpretedExport || bytes.empty()) {
        Cli_Report(Export_Message(ExportResult::NotOffered));
        return kExitFailed;
    }
    uint8_t header[128];
    if (kind == KindTexture && !Export_BuildDdsHeader(resource, header)) {
        Cli_Report(Export_Message(ExportResult::TooShort));
        return kExitFailed;
    }
    return WriteOutput(args.output, "wb",
                       [&](FILE *file) { return Export_WriteInterpreted(file, kind, resource); });
}

int Cli_Dump(const CliArgs &args)
{
    std::vector<uint8_t> bytes;
    if (!LoadArgumentEntry(args, bytes))
        return kExitFailed;
    DumpOptions options;
    options.dataFormat = args.dumpFormat;
    options.bigEndian = args.bigEndian;
    options.hexadecimal = !args.decimal;
    options.startOffset = Dump_ParseOffsetText(args.offsetText);
    // Text mode, as the dump has always been written.
    return WriteOutput(args.output, "w", [&](FILE *file) {
        return Export_WriteDump(file, bytes, options) ? ExportResult::Ok : ExportResult::WriteFailed;
    });
}
