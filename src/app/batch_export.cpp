// Export > "Export &All..." and "Export &Listed...": the export jobs over the
// open archive, with the window's progress dialog and a summary at the end.
#include "app/app_local.h"
#include "app/batch_export.h"
#include "app/find.h"
#include "gameset/gameset.h"
#include "export/export_jobs.h"

#include <algorithm>

namespace {

struct BatchForm {
    const char *name;
    ExportForms forms;
};

ExportForms Forms(bool interpreted, bool wav)
{
    ExportForms forms;
    forms.interpreted = interpreted;
    forms.wav = wav;
    return forms;
}

ExportForms ForOtherPrograms(bool objMtl)
{
    ExportForms forms;
    forms.png = forms.wav = true;
    forms.glb = !objMtl;
    forms.objMtl = objMtl;
    return forms;
}

const BatchForm kBatchForms[] = {
    {"Raw: the bytes as held", Forms(false, false)},
    {"Interpreted: textures as .dds, models as .obj, the rest as held", Forms(true, false)},
    {"Interpreted, with sounds as .wav", Forms(true, true)},
    {"PNG textures, glTF binary models, WAV sounds, the rest as held", ForOtherPrograms(false)},
    {"OBJ with materials for models, PNG textures, WAV sounds, the rest as held", ForOtherPrograms(true)},
};

constexpr size_t kFailuresShown = 20;

}  // namespace

std::vector<std::string> App_BatchFormNames()
{
    std::vector<std::string> names;
    for (const BatchForm &form : kBatchForms)
        names.push_back(form.name);
    return names;
}

std::string App_BatchSummary(const ExportJobSummary &summary, const std::vector<std::string> &failures,
                             const std::string &folder, size_t total)
{
    if (summary.folderFailed)
        return summary.folderMessage;
    const size_t handled = summary.written + summary.skipped + summary.failed;
    std::string text;
    if (summary.cancelled)
        text = "Cancelled after " + std::to_string(handled) + " of " + std::to_string(total) + " entries.\n";
    text += std::to_string(summary.written) + " written (" + std::to_string(summary.bytesWritten) +
            " bytes) into '" + folder + "', " + std::to_string(summary.skipped) + " skipped (the file exists), " +
            std::to_string(summary.failed) + " failed.";
    for (size_t i = 0; i < failures.size() && i < kFailuresShown; ++i)
        text += "\n" + failures[i];
    if (failures.size() > kFailuresShown)
        text += "\n... and " + std::to_string(failures.size() - kFailuresShown) + " more.";
    return text;
}

void OnExportBatch(ViewerWindow &window, bool listedOnly)
{
    if (!viewer.session.mainPak.hasIndex && !viewer.session.folderMode)
        return;
    BatchExportRequest request;
    if (!window.AskBatchExport(App_BatchFormNames(), request) || request.folder.empty())
        return;
    ExportJobOptions options;
    options.forms = kBatchForms[std::min<size_t>(static_cast<size_t>(std::max(request.form, 0)),
                                                 std::size(kBatchForms) - 1)]
                        .forms;
    options.overwrite = request.overwrite;
    // Models' materials come from the GLOBAL.PAK the view searches once it has
    // one; until then the job finds the same file beside the archive.
    if (viewer.session.globalPak.hasIndex)
        options.global = &viewer.session.globalPak;
    if (viewer.session.folderMode) {
        App_ExportFolder(window, request, options, listedOnly);
        return;
    }
    if (listedOnly) {
        options.selection.useSlots = true;
        options.selection.slots = App_ListedSlots();
        // Record order, as quillon-cli extract writes: it decides which of two
        // entries of one name keeps the plain name.
        std::sort(options.selection.slots.begin(), options.selection.slots.end());
    }
    const size_t total = Export_SelectSlots(viewer.session.mainPak, options.selection).size();

    ExportJobSummary summary;
    std::vector<std::string> failures;
    window.RunJob([&](const JobProgressSink &progress, const std::atomic<bool> &cancel) {
        summary = Export_RunJob(
            viewer.session.mainPak, request.folder, options,
            [&](const PakEntry &entry, const ExportEntryResult &result, const ExportProgress &done) {
                if (result.outcome == ExportOutcome::Failed)
                    failures.push_back(std::string(entry.displayName) + ": " + result.message);
                progress({done.done, done.total, entry.displayName});
            },
            &cancel);
    });
    window.ShowMessage(App_BatchSummary(summary, failures, request.folder, total));
}

void App_ExportFolder(ViewerWindow &window, const BatchExportRequest &request, ExportJobOptions options,
                      bool listedOnly)
{
    std::vector<TreeArchive> &archives = viewer.session.tree.archives;
    // Each archive's entries in record order, as quillon-cli extract writes
    // them: it decides which of two entries of one name keeps the plain name.
    std::vector<std::vector<int>> slots(archives.size());
    const bool every = !listedOnly || !Session_Narrowed(viewer.session);
    for (size_t a = 0; a < archives.size(); ++a)
        if (every && ArchiveTree_ReadLines(archives[a]))
            slots[a] = archives[a].lines.slots;
    if (!every)
        for (const Session::FolderHit &hit : viewer.session.folderHits)
            slots[static_cast<size_t>(hit.archive)].push_back(
                archives[static_cast<size_t>(hit.archive)].lines.slots[static_cast<size_t>(hit.line)]);
    size_t total = 0;
    for (std::vector<int> &s : slots) {
        std::sort(s.begin(), s.end());
        total += s.size();
    }
    std::vector<GamesetArchive> files;
    for (const TreeArchive &archive : archives)
        files.push_back(archive.file);
    const std::vector<std::string> folders = Gameset_ExtractFolders(files);

    ExportJobSummary summary;
    std::vector<std::string> failures;
    window.RunJob([&](const JobProgressSink &progress, const std::atomic<bool> &cancel) {
        size_t before = 0;  // entries of the archives done
        for (size_t a = 0; a < archives.size() && !summary.cancelled && !summary.folderFailed; ++a) {
            if (slots[a].empty())
                continue;
            PakArchive pak;
            const PakOpenResult opened = Pak_OpenArchive(archives[a].file.path, pak);
            if (opened != PakOpenResult::Ok) {
                failures.push_back(archives[a].file.name + ": " + Pak_OpenMessage(opened));
                summary.failed += slots[a].size();
                before += slots[a].size();
                continue;
            }
            options.selection.useSlots = true;
            options.selection.slots = slots[a];
            const std::string &name = archives[a].file.name;
            const ExportJobSummary part = Export_RunJob(
                pak, request.folder + "/" + folders[a], options,
                [&](const PakEntry &entry, const ExportEntryResult &result, const ExportProgress &done) {
                    if (result.outcome == ExportOutcome::Failed)
                        failures.push_back(name + ": " + entry.displayName + ": " + result.message);
                    progress({before + done.done, total, name + ": " + entry.displayName});
                },
                &cancel);
            before += slots[a].size();
            summary.written += part.written;
            summary.skipped += part.skipped;
            summary.failed += part.failed;
            summary.bytesWritten += part.bytesWritten;
            summary.cancelled = part.cancelled;
            summary.folderFailed = part.folderFailed;
            summary.folderMessage = part.folderMessage;
        }
    });
    window.ShowMessage(App_BatchSummary(summary, failures, request.folder, total));
}
