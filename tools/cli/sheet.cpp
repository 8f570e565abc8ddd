// quillon-cli sheet: the thumbnails of an archive's (or a folder's) textures
// and materials in one PNG, in list order.
#include "cli.h"

#include "base/platform.h"
#include "export/export.h"
#include "export/json_text.h"
#include "export/png_writer.h"
#include "gameset/gameset.h"
#include "thumb/thumb.h"

#include <memory>

namespace {

struct SheetArchive {
    std::string name;  // as messages and --json name it
    PakArchive pak;
};

// The cells of `archive`: the entries --match takes, in list order.
void AddCells(const CliArgs &args, const PakArchive &archive, std::vector<ThumbCell> &cells)
{
    ExportSelection selection;
    selection.hasMatch = args.hasMatch;
    selection.match = args.match;
    std::vector<char> taken(archive.entries.size(), 0);
    for (int slot : Export_SelectSlots(archive, selection))
        taken[static_cast<size_t>(slot)] = 1;
    for (int slot : Pak_SortedLines(archive))
        if (taken[static_cast<size_t>(slot)]) {
            ThumbCell cell;
            cell.archive = &archive;
            cell.slot = slot;
            cells.push_back(cell);
        }
}

}  // namespace

int Cli_Sheet(const CliArgs &args)
{
    const std::string &path = args.positional[0];
    bool failed = false;
    std::vector<std::unique_ptr<SheetArchive>> archives;
    if (Gameset_IsFolder(path)) {
        std::vector<GamesetArchive> found;
        if (!Cli_ArchivesOf(args, found, failed))
            return kExitFailed;
        for (const GamesetArchive &a : found) {
            auto archive = std::make_unique<SheetArchive>();
            archive->name = a.name;
            const PakOpenResult result = Pak_OpenArchive(a.path, archive->pak);
            if (result != PakOpenResult::Ok) {
                Cli_Report(a.name + ": " + Pak_OpenMessage(result));
                failed = true;
                continue;
            }
            archives.push_back(std::move(archive));
        }
    } else {
        auto archive = std::make_unique<SheetArchive>();
        archive->name = path.substr(path.find_last_of(kSysPathSeparators) + 1);
        if (!Cli_OpenArchive(path, archive->pak))
            return kExitFailed;
        archives.push_back(std::move(archive));
    }

    std::vector<ThumbCell> cells;
    for (const auto &archive : archives)
        AddCells(args, archive->pak, cells);
    ThumbSheetOptions options;
    options.size = args.thumbSize;
    options.columns = args.columns;
    options.workers = args.jobs;
    options.kinds = args.kinds;
    TextureImage sheet;
    std::string error;
    if (!Thumb_MakeSheet(cells, options, sheet, error)) {
        Cli_Report(error + " No sheet was written.");
        return kExitFailed;
    }

    // Entries that failed are told in list order, and the sheet is still written.
    auto nameOf = [&](const PakArchive *pak) -> const std::string & {
        for (const auto &archive : archives)
            if (&archive->pak == pak)
                return archive->name;
        return path;
    };
    const bool several = archives.size() > 1 || Gameset_IsFolder(path);
    for (const ThumbCell &cell : cells)
        if (!cell.failure.empty()) {
            const PakEntry &entry = cell.archive->entries[static_cast<size_t>(cell.slot)];
            Cli_Report((several ? nameOf(cell.archive) + ": " : "") + entry.displayName + ": " + cell.failure);
            failed = true;
        }

    std::string pngError;
    if (args.output == "-") {
        std::vector<uint8_t> png;
        if (!Png_Encode(sheet, png, &pngError)) {
            Cli_Report(Export_Message(ExportResult::WriteFailed, Png_FailureDetail(pngError)));
            return kExitFailed;
        }
        Cli_WriteStdout(png.data(), png.size());
    } else {
        const ExportResult written = Export_ToPath(args.output, "wb", [&](FILE *file) {
            return Png_Write(file, sheet, &pngError) ? ExportResult::Ok : ExportResult::WriteFailed;
        });
        if (written != ExportResult::Ok) {
            Cli_Report(args.output + ": " + Export_Message(written, Png_FailureDetail(pngError)));
            return kExitFailed;
        }
    }

    if (args.json) {
        std::string out;
        for (const ThumbCell &cell : cells) {
            const PakEntry &entry = cell.archive->entries[static_cast<size_t>(cell.slot)];
            out += "{\"archive\":" + Json_Quote(nameOf(cell.archive)) + ",\"line\":" + Json_Quote(entry.displayName) +
                   ",\"record\":" + std::to_string(entry.index);
            if (cell.kind != KindUnknown || cell.failure.empty())
                out += std::string(",\"kind\":\"") + ResourceKind_CliName(cell.kind) + "\"";
            out += ",\"x\":" + std::to_string(cell.x) + ",\"y\":" + std::to_string(cell.y) +
                   ",\"width\":" + std::to_string(cell.width) + ",\"height\":" + std::to_string(cell.height);
            if (!cell.failure.empty())
                out += ",\"error\":" + Json_Quote(cell.failure);
            out += "}\n";
        }
        Cli_WriteStdout(out);
    }
    return failed ? kExitFailed : kExitOk;
}
