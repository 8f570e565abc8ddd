// quillon-cli extract: every chosen entry into one folder, safely.
//
// Files are created relative to an open handle of the output folder, one
// path component at a time and never through a symbolic link, so no entry
// name (and no link planted inside the folder) can make a write land outside it.
#include "cli.h"

#include "export/export.h"
#include "model/model.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace {

// A progress bar on stderr, drawn only when stderr is a terminal.
class Progress {
public:
    explicit Progress(uint64_t totalBytes, size_t totalEntries)
        : enabled_(isatty(STDERR_FILENO) == 1), totalBytes_(totalBytes), totalEntries_(totalEntries)
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

std::string FoldCase(const std::string &text)
{
    std::string folded = text;
    for (char &c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return folded;
}

enum class OpenOutcome { Created, Exists, Failed };

struct Extraction {
    const CliArgs &args;
    const PakArchive &archive;
    int rootFd = -1;
    std::string parentPath;  // the folder whose handle is cached
    int parentFd = -1;
    std::unordered_set<std::string> used;  // paths of this run, case folded (files and folders)
    std::vector<uint8_t> bytes;            // one buffer for every entry
    CliSound sound;                        // one for every .wav
    size_t written = 0, skipped = 0, failed = 0;
    uint64_t bytesWritten = 0;
    Progress progress;

    Extraction(const CliArgs &a, const PakArchive &p, uint64_t totalBytes, size_t totalEntries)
        : args(a), archive(p), progress(totalBytes, totalEntries)
    {
    }

    ~Extraction()
    {
        if (parentFd >= 0 && parentFd != rootFd)
            close(parentFd);
        if (rootFd >= 0)
            close(rootFd);
    }

    void Report(const PakEntry &entry, const std::string &message)
    {
        progress.Clear();
        Cli_Report(std::string(entry.displayName) + ": " + message);
    }

    void Fail(const PakEntry &entry, const std::string &message)
    {
        ++failed;
        Report(entry, message);
    }
};

// Why a path component could not be used, for the report.
std::string Reason(int dirFd, const std::string &name, int error)
{
    struct stat st;
    if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        return "a symbolic link is in the way";
    return strerror(error);
}

// The handle of the folder that will hold the file, made component by
// component inside the output folder. -1 with `reason` set on failure.
int OpenParent(Extraction &x, const std::vector<std::string> &components, std::string &reason)
{
    const std::string parent = Extract_JoinPath(components, components.size() - 1);
    if (x.parentFd >= 0 && parent == x.parentPath)
        return x.parentFd;
    if (x.parentFd >= 0 && x.parentFd != x.rootFd)
        close(x.parentFd);
    x.parentFd = -1;

    int fd = x.rootFd;
    for (size_t i = 0; i + 1 < components.size(); ++i) {
        const char *name = components[i].c_str();
        if (mkdirat(fd, name, 0777) != 0 && errno != EEXIST) {
            const int error = errno;
            reason = Extract_JoinPath(components, i + 1) + ": " + strerror(error);
        } else {
            int next = openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (next < 0) {
                const int error = errno;
                reason = Extract_JoinPath(components, i + 1) + ": " + Reason(fd, name, error);
            }
            if (fd != x.rootFd)
                close(fd);
            fd = next;
            if (fd >= 0)
                continue;
        }
        if (fd >= 0 && fd != x.rootFd)
            close(fd);
        return -1;
    }
    x.parentFd = fd;
    x.parentPath = parent;
    return fd;
}

// Creates the file, or opens an existing one for replacing with --overwrite.
// Never follows a symbolic link.
OpenOutcome OpenTarget(Extraction &x, int parentFd, const std::string &leaf, int &fd, std::string &reason)
{
    fd = openat(parentFd, leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0)
        return OpenOutcome::Created;
    if (errno != EEXIST) {
        reason = strerror(errno);
        return OpenOutcome::Failed;
    }
    struct stat st;
    if (fstatat(parentFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
        reason = "a symbolic link is in the way";
        return OpenOutcome::Failed;
    }
    if (!x.args.overwrite)
        return OpenOutcome::Exists;
    fd = openat(parentFd, leaf.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0)
        return OpenOutcome::Created;
    const int error = errno;
    reason = Reason(parentFd, leaf, error);
    return OpenOutcome::Failed;
}

// Gives the path a record-number suffix while another entry of this run
// already took it, then reserves it (and its folders).
void ReservePath(Extraction &x, std::vector<std::string> &components, int32_t index)
{
    if (x.used.count(FoldCase(Extract_JoinPath(components, components.size())))) {
        const std::vector<std::string> base = components;
        for (int round = 0;; ++round) {
            components = base;
            Extract_AddRecordSuffix(components, index, round);
            if (!x.used.count(FoldCase(Extract_JoinPath(components, components.size()))))
                break;
        }
    }
    for (size_t n = 1; n <= components.size(); ++n)
        x.used.insert(FoldCase(Extract_JoinPath(components, n)));
}

// Creates the entry's output file: its descriptor, with `parentFd` the folder
// that holds it; -1 after reporting an existing file (skipped) or a failure.
int CreateOutput(Extraction &x, const PakEntry &entry, const std::vector<std::string> &components,
                 const std::string &path, int &parentFd)
{
    std::string reason;
    parentFd = OpenParent(x, components, reason);
    if (parentFd < 0) {
        x.Fail(entry, std::string(Export_Message(ExportResult::CannotOpen)) + " (" + reason + ")");
        return -1;
    }
    int fd = -1;
    switch (OpenTarget(x, parentFd, components.back(), fd, reason)) {
    case OpenOutcome::Exists:
        ++x.skipped;
        x.Report(entry, "skipped: exists (" + path + ")");
        return -1;
    case OpenOutcome::Failed:
        x.Fail(entry, std::string(Export_Message(ExportResult::CannotOpen)) + " (" + path + ": " + reason + ")");
        return -1;
    case OpenOutcome::Created:
        break;
    }
    return fd;
}

// Raw extraction without a kind filter: the stored bytes go from the archive
// file to the output inside the kernel, without passing through our memory.
// Compressed entries are expanded through the loading path instead.
void ExtractStoredEntry(Extraction &x, const PakEntry &entry)
{
    std::vector<std::string> components = Extract_SafeComponents(entry);
    ReservePath(x, components, entry.index);
    const std::string path = Extract_JoinPath(components, components.size());
    int parentFd = -1;
    int fd = CreateOutput(x, entry, components, path, parentFd);
    if (fd < 0)
        return;
    uint64_t copied = 0;
    PakCopyResult result = Pak_CopyStoredEntry(x.archive, entry, fd, &copied);
    if (result == PakCopyResult::Compressed) {
        PakLoadResult loaded = Pak_LoadEntry(x.archive, entry, x.bytes);
        if (loaded == PakLoadResult::Ok) {
            FILE *file = fdopen(fd, "wb");
            bool ok = file && Export_WriteRaw(file, x.bytes);
            if (file) {
                ok = fclose(file) == 0 && ok;
                fd = -1;
            }
            result = ok ? PakCopyResult::Ok : PakCopyResult::WriteFailed;
            copied = x.bytes.size();
        } else {
            result = loaded == PakLoadResult::CannotOpen ? PakCopyResult::CannotOpen : PakCopyResult::Corrupt;
        }
    }
    if (fd >= 0 && close(fd) != 0 && result == PakCopyResult::Ok)
        result = PakCopyResult::WriteFailed;
    if (result != PakCopyResult::Ok) {
        // Neither a partial file nor an empty one stays: the next run would keep it as whole.
        unlinkat(parentFd, components.back().c_str(), 0);
        if (result == PakCopyResult::WriteFailed)
            x.Fail(entry, std::string(Export_Message(ExportResult::WriteFailed)) + " (" + path + ")");
        else
            x.Fail(entry, Pak_LoadMessage(result == PakCopyResult::CannotOpen ? PakLoadResult::CannotOpen
                                                                              : PakLoadResult::Corrupt,
                                          x.archive, entry));
        return;
    }
    ++x.written;
    x.bytesWritten += copied;
    return;
}

void ExtractEntry(Extraction &x, const PakEntry &entry)
{
    if (!x.args.interpreted && !x.args.wav && x.args.kinds.empty()) {
        ExtractStoredEntry(x, entry);
        return;
    }
    PakLoadResult loaded = Pak_LoadEntry(x.archive, entry, x.bytes);
    if (loaded != PakLoadResult::Ok) {
        x.Fail(entry, Pak_LoadMessage(loaded, x.archive, entry));
        return;
    }
    // Classifying looks at up to half of the bytes: only done when it matters.
    const bool needKind = x.args.interpreted || x.args.wav || !x.args.kinds.empty();
    const ResourceKind kind = needKind ? ClassifyResource(x.bytes.data(), x.bytes.size()) : KindUnknown;
    if (!x.args.kinds.empty()) {
        bool wanted = false;
        for (ResourceKind k : x.args.kinds)
            wanted = wanted || k == kind;
        if (!wanted)
            return;
    }

    // Sounds become .wav files with --wav; models .obj files with --interpreted.
    const ResourceKindInfo &info = ResourceKind_Info(kind);
    const bool wav = x.args.wav && kind == KindOggVorbis;
    const bool interpreted = !wav && x.args.interpreted && info.hasInterpretedExport;
    std::vector<std::string> components = Extract_SafeComponents(entry);
    if (wav)
        Extract_ReplaceExtension(components, "ogg", "wav");
    else if (interpreted)
        Extract_AddExtension(components, info.exportExtension);
    ReservePath(x, components, entry.index);
    const std::string path = Extract_JoinPath(components, components.size());

    const std::span<const uint8_t> resource(x.bytes);
    uint8_t header[128];
    if (interpreted && kind == KindTexture && !Export_BuildDdsHeader(resource, header)) {
        x.Fail(entry, std::string(Export_Message(ExportResult::TooShort)) + " (" + path + ")");
        return;
    }
    // A model is read before its file is made: one that cannot be read leaves none.
    std::unique_ptr<Model, void (*)(Model *)> model(nullptr, Model_Free);
    if (interpreted && kind == KindModel) {
        model.reset(Model_Parse(x.bytes.data(), x.bytes.size()));
        if (!model) {
            x.Fail(entry, std::string(Export_Message(ExportResult::NoModel)) + " (" + path + ")");
            return;
        }
    }
    std::string message;
    if (wav && !Cli_DecodeSound(resource, x.sound, message)) {
        x.Fail(entry, message + " (" + path + ")");
        return;
    }

    int parentFd = -1;
    int fd = CreateOutput(x, entry, components, path, parentFd);
    if (fd < 0)
        return;
    FILE *file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlinkat(parentFd, components.back().c_str(), 0);
        x.Fail(entry, std::string(Export_Message(ExportResult::CannotOpen)) + " (" + path + ")");
        return;
    }
    ExportResult result;
    if (wav)
        result = Cli_WriteWav(file, x.sound) ? ExportResult::Ok : ExportResult::WriteFailed;
    else if (model)
        result = Model_WriteObj(file, model.get()) ? ExportResult::Ok : ExportResult::WriteFailed;
    else if (interpreted)
        result = Export_WriteInterpreted(file, kind, resource);
    else
        result = Export_WriteRaw(file, resource) ? ExportResult::Ok : ExportResult::WriteFailed;
    const long objBytes = model ? ftell(file) : 0;
    if ((fflush(file) != 0 || ferror(file)) && result == ExportResult::Ok)
        result = ExportResult::WriteFailed;
    if (fclose(file) != 0 && result == ExportResult::Ok)
        result = ExportResult::WriteFailed;
    if (result != ExportResult::Ok) {
        // A truncated file would be kept as if whole by the next run.
        unlinkat(parentFd, components.back().c_str(), 0);
        x.Fail(entry, std::string(Export_Message(result)) + " (" + path + ")");
        return;
    }
    ++x.written;
    // A .dds is as long as its texture; a .wav is its header and samples.
    x.bytesWritten += wav ? kWavHeaderBytes + x.sound.pcm.size() : model ? objBytes : resource.size();
}

}  // namespace

int Cli_Extract(const CliArgs &args)
{
    PakArchive archive;
    if (!Cli_OpenArchive(args.positional[0], archive))
        return kExitFailed;

    // Record order: the order the bytes lie in their files, and the one that
    // decides which of two same-named entries keeps the plain name.
    std::vector<const PakEntry *> chosen;
    uint64_t totalBytes = 0;
    for (const PakEntry &entry : archive.entries) {
        if (entry.displayName[0] == '\0')
            continue;
        if (args.hasMatch) {
            if (!Pak_MatchGlob(args.match, std::string_view(entry.name, strnlen(entry.name, sizeof entry.name))))
                continue;
        }
        chosen.push_back(&entry);
        totalBytes += entry.size;
    }

    std::error_code ec;
    std::filesystem::create_directories(args.output, ec);
    Extraction x(args, archive, totalBytes, chosen.size());
    x.rootFd = open(args.output.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (x.rootFd < 0) {
        const int error = errno;
        Cli_Report("Could not create the folder '" + args.output + "': " + strerror(error));
        return kExitFailed;
    }

    for (const PakEntry *entry : chosen) {
        ExtractEntry(x, *entry);
        x.progress.Advance(entry->size);
    }
    x.progress.Clear();

    char summary[160];
    snprintf(summary, sizeof summary, "%zu entries written, %llu bytes, %zu skipped, %zu failed\n", x.written,
             static_cast<unsigned long long>(x.bytesWritten), x.skipped, x.failed);
    Cli_WriteStdout(summary);
    return x.failed > 0 ? kExitFailed : kExitOk;
}
