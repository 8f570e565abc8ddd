// quillon-cli extract: every chosen entry into one folder, through the export
// jobs, with a progress bar and one line per entry that failed or was kept.
#include "cli.h"
#include "base/platform.h"

#include "export/export_jobs.h"

#include <chrono>
#include <memory>

namespace {

// A progress bar on stderr, drawn only when stderr is a terminal.
class Progress {
public:
    explicit Progress(uint64_t totalBytes, size_t totalEntries)
        : enabled_(Sys_IsTerminal(fileno(stderr))), totalBytes_(totalBytes), totalEntries_(totalEntries)
    {
    }

    void Advance(uint64_t storedBytes)
    {
        doneBytes_ += storedBytes;
        ++doneEntries_;
        if (!enabled_)
            return;
        auto now = std::chrono::steady_clock::now();
        if (drawn_ && now - last_ < std::chrono::milliseconds(100) && doneEntries_ < totalEntries_)
            return;
        last_ = now;
        Draw();
    }

    // Erases the bar so that a message line can be printed.
    void Clear()
    {
        if (drawn_)
            fputs("\r\033[K", stderr);
        drawn_ = false;
    }

private:
    void Draw()
    {
        constexpr int kWidth = 30;
        // Bytes decide the bar (one huge entry is most of the work), entries
        // when everything is empty.
        double done = totalBytes_ > 0 ? static_cast<double>(doneBytes_) / static_cast<double>(totalBytes_)
                      : totalEntries_ > 0 ? static_cast<double>(doneEntries_) / static_cast<double>(totalEntries_)
                                          : 1.0;
        if (done > 1.0)
            done = 1.0;
        char bar[kWidth + 1];
        int filled = static_cast<int>(done * kWidth);
        for (int i = 0; i < kWidth; ++i)
            bar[i] = i < filled ? '#' : '-';
        bar[kWidth] = '\0';
        fprintf(stderr, "\r[%s] %3d%% %zu/%zu entries", bar, static_cast<int>(done * 100), doneEntries_,
                totalEntries_);
        fflush(stderr);
        drawn_ = true;
    }

    bool enabled_;
    bool drawn_ = false;
    uint64_t totalBytes_, doneBytes_ = 0;
    size_t totalEntries_, doneEntries_ = 0;
    std::chrono::steady_clock::time_point last_;
};

}  // namespace

int Cli_Extract(const CliArgs &args)
{
    PakArchive archive;
    if (!Cli_OpenArchive(args.positional[0], archive))
        return kExitFailed;
    ExportJobSummary summary;
    if (!Cli_ExtractArchive(args, archive, args.output, "", summary))
        return kExitFailed;
    Cli_WriteStdout(Cli_ExtractTotals(summary));
    return summary.failed > 0 ? kExitFailed : kExitOk;
}

std::string Cli_ExtractTotals(const ExportJobSummary &summary)
{
    char line[160];
    snprintf(line, sizeof line, "%zu entries written, %llu bytes, %zu skipped, %zu failed\n", summary.written,
             static_cast<unsigned long long>(summary.bytesWritten), summary.skipped, summary.failed);
    return line;
}

bool Cli_ExtractArchive(const CliArgs &args, const PakArchive &archive, const std::string &folder,
                        const std::string &label, ExportJobSummary &totals)
{
    ExportJobOptions options;
    options.selection.hasMatch = args.hasMatch;
    options.selection.match = args.match;
    options.selection.kinds = args.kinds;
    options.forms = args.forms;
    options.overwrite = args.overwrite;
    options.workers = args.jobs;

    std::unique_ptr<Progress> progress;
    const std::string lead = label.empty() ? "" : label + ": ";
    const ExportJobSummary summary = Export_RunJob(
        archive, folder, options,
        [&](const PakEntry &entry, const ExportEntryResult &result, const ExportProgress &done) {
            if (!progress)
                progress = std::make_unique<Progress>(done.totalBytes, done.total);
            if (result.outcome == ExportOutcome::Failed || result.outcome == ExportOutcome::Skipped) {
                progress->Clear();
                const std::string message = result.outcome == ExportOutcome::Skipped
                                                ? "skipped: exists (" + result.path + ")"
                                                : result.message;
                Cli_Report(lead + entry.displayName + ": " + message);
            }
            progress->Advance(entry.size);
        });
    if (progress)
        progress->Clear();
    if (summary.folderFailed) {
        Cli_Report(summary.folderMessage);
        return false;
    }
    totals.written += summary.written;
    totals.skipped += summary.skipped;
    totals.failed += summary.failed;
    totals.bytesWritten += summary.bytesWritten;
    return true;
}
