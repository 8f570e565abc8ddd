// quillon-cli export and dump: one entry to one file, through the viewer's
// export writers.
#include "cli.h"

#include "export/export_jobs.h"
#include "model/model.h"

#include <functional>
#include <memory>

namespace {

using Writer = std::function<ExportResult(FILE *)>;

// Runs `write` on FILE ("-" is standard output) and reports a failure with the
// viewer's message, or with `message` when the writer set one. The exit status.
int WriteOutput(const std::string &output, const char *mode, const Writer &write, const std::string *message = nullptr)
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
        Cli_Report(message && !message->empty() ? *message : Export_Message(result));
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

// --png, --gltf, --glb, --obj-mtl: the form of one kind, its materials found
// through the archive.
int ExportConverted(const CliArgs &args)
{
    PakArchive archive;
    if (!Cli_OpenArchive(args.positional[0], archive))
        return kExitFailed;
    const int slot = Cli_FindEntry(archive, args.positional[1]);
    std::vector<uint8_t> bytes;
    if (slot < 0 || !Cli_LoadEntry(archive, archive.entries[slot], bytes))
        return kExitFailed;
    const ResourceKind kind = ClassifyResource(bytes.data(), bytes.size());
    ExportForms forms;
    forms.png = args.png;
    forms.gltf = args.gltf;
    forms.glb = args.glb;
    forms.objMtl = args.objMtl;
    const ResourceKind takes = args.png ? KindTexture : KindModel;
    if (kind != takes) {
        Cli_Report(args.png ? "This resource is not a texture, so it has no .png form."
                            : "This resource is not a model, so it has no glTF or OBJ form.");
        return kExitFailed;
    }
    std::unique_ptr<Model, void (*)(Model *)> model(nullptr, Model_Free);
    if (kind == KindModel)
        model.reset(Model_Parse(bytes.data(), bytes.size()));
    const ExportResult check = Export_CheckInterpreted(kind, bytes, model.get());
    if (check != ExportResult::Ok) {
        Cli_Report(Export_Message(check));
        return kExitFailed;
    }
    std::string message;
    const ExportResult result =
        Export_WriteFormToPath(args.output, &archive, kind, bytes, forms, model.get(), false, message);
    if (result != ExportResult::Ok) {
        Cli_Report(!message.empty() ? message : Export_Message(result));
        return kExitFailed;
    }
    if (model && model->surfacesDropped > 0)
        Cli_Report(Export_SurfacesLeftOutMessage(model->surfacesDropped));
    return kExitOk;
}

}  // namespace

int Cli_Export(const CliArgs &args)
{
    if (args.png || args.gltf || args.glb || args.objMtl)
        return ExportConverted(args);
    std::vector<uint8_t> bytes;
    if (!LoadArgumentEntry(args, bytes))
        return kExitFailed;
    const std::span<const uint8_t> resource(bytes);

    const ResourceKind kind = ClassifyResource(bytes.data(), bytes.size());
    ExportForms forms;
    forms.wav = args.wav;
    forms.interpreted = args.interpreted;
    if (args.wav && kind != KindOggVorbis) {
        Cli_Report("This resource is not an Ogg Vorbis sound, so it has no .wav form.");
        return kExitFailed;
    }
    // Refusals of the interpreted form are decided before the file is opened,
    // so none leaves a file behind.
    std::unique_ptr<Model, void (*)(Model *)> model(nullptr, Model_Free);
    if (args.interpreted) {
        if (kind == KindModel)
            model.reset(Model_Parse(bytes.data(), bytes.size()));
        const ExportResult check = Export_CheckInterpreted(kind, resource, model.get());
        if (check != ExportResult::Ok) {
            Cli_Report(Export_Message(check));
            return kExitFailed;
        }
    }
    std::string message;
    const int status = WriteOutput(
        args.output, "wb",
        [&](FILE *file) { return Export_WriteForm(file, kind, resource, forms, model.get(), message); }, &message);
    // A warning, not a failure: the file holds every surface that could be read.
    if (status == kExitOk && model && model->surfacesDropped > 0)
        Cli_Report(Export_SurfacesLeftOutMessage(model->surfacesDropped));
    return status;
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
