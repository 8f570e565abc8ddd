// Export jobs: a pool of threads reads, expands and converts entries into
// temporary files in the output folder; the caller's thread then names and
// places them in record order, so names, duplicates and reports come out the
// same whatever the number of threads.
//
// Files are placed relative to an open handle of the output folder, one path
// component at a time and never through a symbolic link, so no entry name
// (and no link planted inside the folder) can make a write land outside it.
#include "export/export_jobs.h"

#include "base/file_io.h"
#include "base/platform.h"
#include "export/export_files.h"
#include "export/export_materials.h"
#include "export/png_writer.h"

#include "model/model.h"
#include "sound/sound.h"
#include "texture/texture.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>

namespace {

// The form a kind is written in under `forms`.
enum class Form { Raw, Interpreted, Wav, Png, Glb, Gltf, ObjMtl };

Form FormOf(ResourceKind kind, const ExportForms &forms)
{
    if (forms.wav && kind == KindOggVorbis)
        return Form::Wav;
    if (forms.png && kind == KindTexture)
        return Form::Png;
    if (kind == KindModel) {
        if (forms.glb)
            return Form::Glb;
        if (forms.gltf)
            return Form::Gltf;
        if (forms.objMtl)
            return Form::ObjMtl;
    }
    if (forms.interpreted && ResourceKind_Info(kind).hasInterpretedExport)
        return Form::Interpreted;
    return Form::Raw;
}

bool AnyForm(const ExportForms &forms)
{
    return forms.interpreted || forms.wav || forms.png || forms.glb || forms.gltf || forms.objMtl;
}

using PngFiles = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

// dkexport.mtl of `folder` merges with another export's at any time (other
// workers, other jobs): one at a time.
std::mutex mtlMutex;

// The OBJ+MTL companions in `folder`: the PNGs in textures/ (made when
// missing, never through a link; existing files kept unless `overwrite`), then
// the materials merged into dkexport.mtl.
bool WriteMtlBeside(const std::string &folder, const std::vector<MtlMaterial> &mtl, const PngFiles &pngs,
                    bool overwrite, std::string &message)
{
    std::lock_guard lock(mtlMutex);
    if (!pngs.empty()) {
        const int dir = Sys_OpenFolder(folder);
        if (dir < 0) {
            message = std::string("Could not open the folder of the .obj file: ") + strerror(errno);
            return false;
        }
        int textures = -1;
        if (Sys_MakeSubfolder(dir, kMtlTextureFolder) || errno == EEXIST)
            textures = Sys_OpenSubfolder(dir, kMtlTextureFolder);
        const int openError = errno;
        Sys_Close(dir);
        if (textures < 0) {
            message = std::string("Could not make the textures folder: ") + strerror(openError);
            return false;
        }
        bool ok = true;
        for (const auto &[name, bytes] : pngs) {
            const SysKind existing = Sys_KindAt(textures, name, false);
            if (existing != SysKind::Missing && existing != SysKind::Failed) {
                if (existing == SysKind::Link) {
                    message = "textures/" + name + ": a symbolic link is in the way";
                    ok = false;
                    break;
                }
                if (!overwrite)
                    continue;
            }
            std::string temp;
            const int fd = ExportFile_CreateTemp(textures, temp);
            if (fd < 0) {
                message = "textures/" + name + ": " + strerror(errno);
                ok = false;
                break;
            }
            const bool written = Base_WriteAll(fd, bytes.data(), bytes.size());
            if (!(Sys_Close(fd) && written) ||
                (!ExportFile_Place(textures, temp, textures, name, overwrite) && errno != EEXIST)) {
                message = "textures/" + name + ": " + strerror(errno);
                Sys_RemoveAt(textures, temp);
                ok = false;
                break;
            }
            Sys_RemoveAt(textures, temp);  // left only when kept (EEXIST)
        }
        Sys_Close(textures);
        if (!ok)
            return false;
    }
    return Mtl_WriteMerged(folder, mtl, &message);
}

// What a glTF form needs once the worker has read the entry.
struct GltfPending {
    std::unique_ptr<Model, void (*)(Model *)> model{nullptr, Model_Free};
    ExportGltfMaterials materials;
};

std::string FoldCase(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return text;
}

std::string WithPath(const std::string &message, const std::string &path)
{
    return message + " (" + path + ")";
}

// What a worker made of one entry. The checks are kept apart so that the
// naming stage reports them in the order a single-threaded run meets them.
struct Prepared {
    bool ready = false;
    bool storedCopy = false;  // raw bytes copied as stored (no kind known)
    bool loadFailed = false;
    std::string loadMessage;
    ResourceKind kind = KindUnknown;
    bool filtered = false;
    ExportResult refusal = ExportResult::Ok;  // decided before a file was made
    std::string refusalMessage;
    bool tempFailed = false;  // the temporary file could not be made
    std::string tempReason;
    std::string tempName;     // in the output folder; empty when none
    ExportResult writeResult = ExportResult::Ok;
    uint64_t bytes = 0;
    std::shared_ptr<GltfPending> separate;  // a .gltf written with its companions at its final name
    bool objMtl = false;                    // dkexport.mtl and textures/ follow the .obj
    std::vector<MtlMaterial> mtl;
    PngFiles pngs;
};

ExportResult WriteStored(const PakArchive &archive, const PakEntry &entry, int fd, std::vector<uint8_t> &buffer,
                         Prepared &p)
{
    uint64_t copied = 0;
    const PakCopyResult copy = Pak_CopyStoredEntry(archive, entry, fd, &copied);
    if (copy == PakCopyResult::Ok) {
        p.bytes = copied;
        return ExportResult::Ok;
    }
    if (copy == PakCopyResult::WriteFailed)
        return ExportResult::WriteFailed;
    if (copy == PakCopyResult::Compressed) {
        const PakLoadResult loaded = Pak_LoadEntry(archive, entry, buffer);
        if (loaded == PakLoadResult::Ok) {
            if (!Base_WriteAll(fd, buffer.data(), buffer.size()))
                return ExportResult::WriteFailed;
            p.bytes = buffer.size();
            return ExportResult::Ok;
        }
        p.loadFailed = true;
        p.loadMessage = Pak_LoadMessage(loaded, archive, entry);
        return ExportResult::Ok;
    }
    p.loadFailed = true;
    const PakLoadResult as = copy == PakCopyResult::CannotOpen   ? PakLoadResult::CannotOpen
                             : copy == PakCopyResult::ReadFailed ? PakLoadResult::ReadFailed
                                                                 : PakLoadResult::Corrupt;
    p.loadMessage = Pak_LoadMessage(as, archive, entry);
    return ExportResult::Ok;
}

class Job {
public:
    Job(const PakArchive &archive, const ExportJobOptions &options, const std::vector<int> &slots, int rootFd,
        const std::atomic<bool> *cancel)
        : archive_(archive), options_(options), slots_(slots), rootFd_(rootFd), cancel_(cancel),
          prepared_(slots.size())
    {
        storedCopy_ = !AnyForm(options.forms) && options.selection.kinds.empty();
    }

    ~Job() { Stop(); }

    void Start(int workers)
    {
        window_ = static_cast<size_t>(workers) * 4;
        for (int i = 0; i < workers; ++i)
            threads_.emplace_back([this] { Work(); });
    }

    // The entry at list position i once a worker has made it; null when the job stops first.
    Prepared *Wait(size_t i)
    {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return prepared_[i].ready || stopping_; });
        return prepared_[i].ready ? &prepared_[i] : nullptr;
    }

    // Position i was named and placed: its worker slot is free again.
    void Release(size_t i)
    {
        {
            std::lock_guard lock(mutex_);
            prepared_[i] = Prepared{};
            prepared_[i].ready = true;  // never waited for again
            placed_ = i + 1;
        }
        room_.notify_all();
    }

    // Ends the workers and removes every temporary file not placed.
    void Stop()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        room_.notify_all();
        ready_.notify_all();
        for (std::thread &t : threads_)
            t.join();
        threads_.clear();
        for (Prepared &p : prepared_)
            if (!p.tempName.empty()) {
                Sys_RemoveAt(rootFd_, p.tempName);
                p.tempName.clear();
            }
    }

    bool StoredCopy() const { return storedCopy_; }

private:
    void Work()
    {
        std::vector<uint8_t> buffer;  // one per thread, reused for every entry
        ExportMaterialSource materials(&archive_);  // one per thread: GLOBAL.PAK read once
        PakOpenFile open;  // the holding file stays open from one entry to the next
        for (;;) {
            size_t i;
            {
                std::unique_lock lock(mutex_);
                // Only a few entries ahead of the naming stage, so temporary
                // files and memory stay bounded.
                room_.wait(lock, [&] { return stopping_ || next_ >= slots_.size() || next_ < placed_ + window_; });
                if (stopping_ || next_ >= slots_.size() || (cancel_ && cancel_->load()))
                    return;
                i = next_++;
            }
            Prepared p;
            Prepare(archive_.entries[static_cast<size_t>(slots_[i])], buffer, materials, open, p);
            // A large entry's buffer is not kept for the small ones after it.
            if (buffer.capacity() > (16u << 20))
                std::vector<uint8_t>().swap(buffer);
            {
                std::lock_guard lock(mutex_);
                p.ready = true;
                prepared_[i] = std::move(p);
            }
            ready_.notify_all();
        }
    }

    // Reads, checks and writes one entry into a temporary file.
    void Prepare(const PakEntry &entry, std::vector<uint8_t> &buffer, ExportMaterialSource &materials,
                 PakOpenFile &open, Prepared &p)
    {
        std::unique_ptr<Model, void (*)(Model *)> model(nullptr, Model_Free);
        p.storedCopy = storedCopy_;
        if (!storedCopy_) {
            const PakLoadResult loaded = Pak_LoadEntry(archive_, entry, buffer, nullptr, open);
            if (loaded != PakLoadResult::Ok) {
                p.loadFailed = true;
                p.loadMessage = Pak_LoadMessage(loaded, archive_, entry);
                return;
            }
            p.kind = ClassifyResource(buffer.data(), buffer.size());
            const std::vector<ResourceKind> &kinds = options_.selection.kinds;
            if (!kinds.empty() && std::find(kinds.begin(), kinds.end(), p.kind) == kinds.end()) {
                p.filtered = true;
                return;
            }
            p.refusal = Refusal(p.kind, buffer, model, p.refusalMessage);
            if (p.refusal != ExportResult::Ok)
                return;
        }
        const Form form = storedCopy_ ? Form::Raw : FormOf(p.kind, options_.forms);
        if (form == Form::Gltf) {
            // Its .bin and PNG files are named after the final file: written by the naming stage.
            p.separate = std::make_shared<GltfPending>();
            p.separate->model = std::move(model);
            Export_GltfMaterials(Export_ResolveMaterials(*p.separate->model, materials), p.separate->materials);
            return;
        }

        const int fd = ExportFile_CreateTemp(rootFd_, p.tempName);
        if (fd < 0) {
            p.tempFailed = true;
            p.tempReason = strerror(errno);
            p.tempName.clear();
            return;
        }
        if (storedCopy_) {
            p.writeResult = WriteStored(archive_, entry, fd, buffer, p);
            if (!Sys_Close(fd) && p.writeResult == ExportResult::Ok)
                p.writeResult = ExportResult::WriteFailed;
            return;
        }
        if (form == Form::Glb) {
            Sys_Close(fd);
            ExportGltfMaterials gltf;
            Export_GltfMaterials(Export_ResolveMaterials(*model, materials), gltf);
            const std::string path = Sys_FolderPath(rootFd_) + "/" + p.tempName;
            if (!Gltf_Write(path, *model, gltf.inputs, GltfForm::Binary, &p.refusalMessage)) {
                p.writeResult = ExportResult::WriteFailed;
                return;
            }
            int64_t size = 0;
            (void)Sys_PathKind(path, true, &size);
            p.bytes = static_cast<uint64_t>(size);
            return;
        }
        FILE *file = Sys_StreamFromFd(fd, "wb");
        if (!file) {
            Sys_Close(fd);
            p.writeResult = ExportResult::CannotOpen;
            return;
        }
        std::string message;
        p.writeResult = Export_WriteForm(file, p.kind, buffer, options_.forms, model.get(), message);
        if (p.writeResult != ExportResult::Ok && !message.empty())
            p.refusalMessage = message;
        const off_t end = ftello(file);
        p.bytes = end > 0 ? static_cast<uint64_t>(end) : 0;
        if ((fflush(file) != 0 || ferror(file)) && p.writeResult == ExportResult::Ok)
            p.writeResult = ExportResult::WriteFailed;
        if (fclose(file) != 0 && p.writeResult == ExportResult::Ok)
            p.writeResult = ExportResult::WriteFailed;
        if (form == Form::ObjMtl && p.writeResult == ExportResult::Ok && model) {
            p.objMtl = true;
            Export_MtlMaterials(Export_ResolveMaterials(*model, materials), p.mtl, p.pngs);
        }
    }

    // The refusals of the chosen form that are known before a file is made.
    ExportResult Refusal(ResourceKind kind, std::span<const uint8_t> resource,
                         std::unique_ptr<Model, void (*)(Model *)> &model, std::string &message) const
    {
        const Form form = FormOf(kind, options_.forms);
        if (form == Form::Wav || form == Form::Raw)
            return ExportResult::Ok;  // a sound that does not decode is told while writing, before any byte
        if (form == Form::Png)
            return Export_CheckInterpreted(kind, resource, nullptr);  // a texture that does not decode is told while writing
        if (kind == KindModel)
            model.reset(Model_Parse(resource.data(), resource.size()));
        const ExportResult check = Export_CheckInterpreted(kind, resource, model.get());
        if (check != ExportResult::Ok)
            message = Export_Message(check);
        return check;
    }

    const PakArchive &archive_;
    const ExportJobOptions &options_;
    const std::vector<int> &slots_;
    const int rootFd_;
    const std::atomic<bool> *cancel_;
    bool storedCopy_ = false;

    std::mutex mutex_;
    std::condition_variable ready_, room_;
    std::vector<Prepared> prepared_;
    std::vector<std::thread> threads_;
    size_t next_ = 0, placed_ = 0, window_ = 4;
    bool stopping_ = false;
};

// The naming stage: reserved names, the handle of the folder last written into.
class Placer {
public:
    Placer(int rootFd, const std::string &folder) : rootFd_(rootFd), folder_(folder) {}
    ~Placer()
    {
        if (parentFd_ >= 0 && parentFd_ != rootFd_)
            Sys_Close(parentFd_);
    }

    // Gives the path a record-number suffix while another entry of this run
    // already took it, then reserves it (and its folders).
    void Reserve(std::vector<std::string> &components, int32_t index)
    {
        if (used_.count(FoldCase(Export_JoinPath(components, components.size())))) {
            const std::vector<std::string> base = components;
            for (int round = 0;; ++round) {
                components = base;
                Export_AddRecordSuffix(components, index, round);
                if (!used_.count(FoldCase(Export_JoinPath(components, components.size()))))
                    break;
            }
        }
        for (size_t n = 1; n <= components.size(); ++n)
            used_.insert(FoldCase(Export_JoinPath(components, n)));
    }

    // The handle of the folder that holds the file, made component by
    // component inside the output folder. -1 with `reason` set on failure.
    int OpenParent(const std::vector<std::string> &components, std::string &reason)
    {
        const std::string parent = Export_JoinPath(components, components.size() - 1);
        if (parentFd_ >= 0 && parent == parentPath_)
            return parentFd_;
        if (parentFd_ >= 0 && parentFd_ != rootFd_)
            Sys_Close(parentFd_);
        parentFd_ = -1;

        int fd = rootFd_;
        for (size_t i = 0; i + 1 < components.size(); ++i) {
            const char *name = components[i].c_str();
            int next = -1;
            if (!Sys_MakeSubfolder(fd, name) && errno != EEXIST) {
                reason = Export_JoinPath(components, i + 1) + ": " + strerror(errno);
            } else {
                next = Sys_OpenSubfolder(fd, name);
                if (next < 0)
                    reason = Export_JoinPath(components, i + 1) + ": " + Reason(fd, name, errno);
            }
            if (fd != rootFd_)
                Sys_Close(fd);
            fd = next;
            if (fd < 0)
                return -1;
        }
        parentFd_ = fd;
        parentPath_ = parent;
        return fd;
    }

    // `message` with the paths of the folders' handles (given to the writers
    // that take paths) named as the user named them.
    std::string Shown(std::string message) const
    {
        const std::string inside = parentPath_.empty() ? folder_ : folder_ + "/" + parentPath_;
        for (const auto &[fd, shown] : {std::pair<int, const std::string &>{parentFd_, inside}, {rootFd_, folder_}}) {
            if (fd < 0)
                continue;
            const std::string handle = Sys_FolderPath(fd) + "/";
            for (size_t at = 0; (at = message.find(handle, at)) != std::string::npos; at += shown.size() + 1)
                message.replace(at, handle.size(), shown + "/");
        }
        return message;
    }

    // Why a path component could not be used, for the report.
    static std::string Reason(int dirFd, const std::string &name, int error)
    {
        if (Sys_KindAt(dirFd, name, false) == SysKind::Link)
            return "a symbolic link is in the way";
        return strerror(error);
    }

private:
    const int rootFd_;
    const std::string folder_;  // the output folder as the caller named it
    std::string parentPath_;
    int parentFd_ = -1;
    std::unordered_set<std::string> used_;  // paths of this run, case folded (files and folders)
};

// Names and places one prepared entry: what became of it.
ExportEntryResult Place(const PakEntry &entry, Prepared &p, const ExportJobOptions &options, Placer &placer,
                        int rootFd)
{
    ExportEntryResult r;
    auto fail = [&](const std::string &message) {
        r.outcome = ExportOutcome::Failed;
        r.message = placer.Shown(message);
        return r;
    };
    if (p.loadFailed && !p.storedCopy)
        return fail(p.loadMessage);
    if (p.filtered)
        return r;

    std::vector<std::string> components = Export_SafeComponents(entry);
    if (!p.storedCopy) {
        const char *replaces = nullptr;
        const char *extension = Export_FormExtension(p.kind, options.forms, &replaces);
        if (replaces)
            Export_ReplaceExtension(components, replaces, extension);
        else if (extension[0] != '\0')
            Export_AddExtension(components, extension);
    }
    placer.Reserve(components, entry.index);
    r.path = Export_JoinPath(components, components.size());
    if (p.refusal != ExportResult::Ok)
        return fail(WithPath(p.refusalMessage, r.path));

    const std::string cannotOpen = Export_Message(ExportResult::CannotOpen);
    std::string reason;
    const int parentFd = placer.OpenParent(components, reason);
    if (parentFd < 0)
        return fail(cannotOpen + " (" + reason + ")");
    const std::string &leaf = components.back();
    const SysKind existing = Sys_KindAt(parentFd, leaf, false);
    if (existing != SysKind::Missing && existing != SysKind::Failed) {
        if (existing == SysKind::Link)
            return fail(cannotOpen + " (" + r.path + ": a symbolic link is in the way)");
        if (!options.overwrite) {
            r.outcome = ExportOutcome::Skipped;
            return r;
        }
    }
    if (p.loadFailed)
        return fail(p.loadMessage);
    if (p.tempFailed)
        return fail(cannotOpen + " (" + r.path + ": " + p.tempReason + ")");
    if (p.writeResult != ExportResult::Ok) {
        const std::string message =
            p.refusalMessage.empty() ? std::string(Export_Message(p.writeResult)) : p.refusalMessage;
        return fail(WithPath(message, r.path));
    }
    if (p.separate) {
        // Written in place (with STEM.bin and STEM_N.png beside it): a failure can leave part of it.
        const std::string path = Sys_FolderPath(parentFd) + "/" + leaf;
        std::string error;
        if (!Gltf_Write(path, *p.separate->model, p.separate->materials.inputs, GltfForm::Separate, &error))
            return fail(WithPath(error, r.path));
        int64_t size = 0;
        if (Sys_KindAt(parentFd, leaf, true, &size) == SysKind::File)
            r.bytes = static_cast<uint64_t>(size);
        r.outcome = ExportOutcome::Written;
        return r;
    }
    if (!ExportFile_Place(rootFd, p.tempName, parentFd, leaf, options.overwrite)) {
        if (errno == EEXIST) {
            r.outcome = ExportOutcome::Skipped;  // made meanwhile by someone else: kept
            return r;
        }
        return fail(cannotOpen + " (" + r.path + ": " + strerror(errno) + ")");
    }
    p.tempName.clear();
    r.bytes = p.bytes;
    if (p.objMtl) {
        std::string error;
        if (!WriteMtlBeside(Sys_FolderPath(parentFd), p.mtl, p.pngs, options.overwrite, error))
            return fail(WithPath(error, r.path));
    }
    r.outcome = ExportOutcome::Written;
    return r;
}

}  // namespace

std::vector<int> Export_SelectSlots(const PakArchive &archive, const ExportSelection &selection)
{
    std::vector<int> slots;
    const PakGlob match = Pak_CompileGlob(selection.match);
    auto take = [&](int slot) {
        if (slot < 0 || static_cast<size_t>(slot) >= archive.entries.size())
            return;
        const PakEntry &entry = archive.entries[static_cast<size_t>(slot)];
        if (entry.displayName[0] == '\0')
            return;
        if (selection.hasMatch &&
            !Pak_MatchGlob(match, std::string_view(entry.name, strnlen(entry.name, sizeof entry.name))))
            return;
        slots.push_back(slot);
    };
    if (selection.useSlots) {
        for (int slot : selection.slots)
            take(slot);
    } else {
        for (size_t i = 0; i < archive.entries.size(); ++i)
            take(static_cast<int>(i));
    }
    return slots;
}

ExportJobSummary Export_RunJob(const PakArchive &archive, const std::string &folder, const ExportJobOptions &options,
                               const ExportReport &report, const std::atomic<bool> *cancel)
{
    ExportJobSummary summary;
    const std::vector<int> slots = Export_SelectSlots(archive, options.selection);

    (void)Sys_MakeFolders(folder);  // an error shows when the folder is opened
    const int rootFd = Sys_OpenFolder(folder);
    if (rootFd < 0) {
        summary.folderFailed = true;
        summary.folderMessage = "Could not create the folder '" + folder + "': " + strerror(errno);
        return summary;
    }

    ExportProgress progress;
    progress.total = slots.size();
    for (int slot : slots)
        progress.totalBytes += archive.entries[static_cast<size_t>(slot)].size;

    int workers = options.workers;
    if (workers <= 0)
        workers = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    {
        Job job(archive, options, slots, rootFd, cancel);
        Placer placer(rootFd, folder.size() > 1 && folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder);
        job.Start(std::min<int>(workers, static_cast<int>(std::max<size_t>(slots.size(), 1))));
        for (size_t i = 0; i < slots.size(); ++i) {
            if (cancel && cancel->load()) {
                summary.cancelled = true;
                break;
            }
            Prepared *p = job.Wait(i);
            if (!p) {
                summary.cancelled = true;
                break;
            }
            const PakEntry &entry = archive.entries[static_cast<size_t>(slots[i])];
            const ExportEntryResult result = Place(entry, *p, options, placer, rootFd);
            if (!p->tempName.empty())
                Sys_RemoveAt(rootFd, p->tempName);
            job.Release(i);
            switch (result.outcome) {
            case ExportOutcome::Written:
                ++summary.written;
                summary.bytesWritten += result.bytes;
                break;
            case ExportOutcome::Skipped: ++summary.skipped; break;
            case ExportOutcome::Failed: ++summary.failed; break;
            case ExportOutcome::Filtered: break;
            }
            ++progress.done;
            progress.doneBytes += entry.size;
            if (report)
                report(entry, result, progress);
        }
        job.Stop();
    }
    Sys_Close(rootFd);
    return summary;
}

ExportResult Export_CheckInterpreted(ResourceKind kind, std::span<const uint8_t> resource, const Model *model)
{
    if (!ResourceKind_Info(kind).hasInterpretedExport || resource.empty())
        return ExportResult::NotOffered;
    // A texture without a whole header has no .dds form.
    if (kind == KindTexture && resource.size() < kTextureHeaderSize)
        return ExportResult::TooShort;
    if (kind == KindModel && !model)
        return ExportResult::NoModel;
    return ExportResult::Ok;
}

const char *Export_FormExtension(ResourceKind kind, const ExportForms &forms, const char **replaces)
{
    *replaces = nullptr;
    switch (FormOf(kind, forms)) {
    case Form::Wav: *replaces = "ogg"; return "wav";
    case Form::Png: return "png";
    case Form::Glb: return "glb";
    case Form::Gltf: return "gltf";
    case Form::ObjMtl: return "obj";
    default: break;
    }
    if (forms.interpreted && ResourceKind_Info(kind).hasInterpretedExport)
        return ResourceKind_Info(kind).exportExtension;
    return "";
}

// The OBJ text of `model`, or of the model parsed from `resource` when null.
static ExportResult WriteObj(FILE *file, std::span<const uint8_t> resource, const Model *model)
{
    std::unique_ptr<Model, void (*)(Model *)> parsed(nullptr, Model_Free);
    if (!model) {
        parsed.reset(Model_Parse(resource.data(), resource.size()));
        model = parsed.get();
    }
    if (!model)
        return ExportResult::NoModel;
    return Model_WriteObj(file, model) ? ExportResult::Ok : ExportResult::WriteFailed;
}

ExportResult Export_WriteForm(FILE *file, ResourceKind kind, std::span<const uint8_t> resource,
                              const ExportForms &forms, const Model *model, std::string &message)
{
    message.clear();
    const Form form = FormOf(kind, forms);
    if (form == Form::Glb || form == Form::Gltf) {
        message = "A glTF file is written by path, not to an open file.";
        return ExportResult::NotOffered;
    }
    if (form == Form::Png) {
        TextureImage image;
        std::string error;
        if (!Texture_DecodeLevel(resource, 0, image, &error)) {
            message = "This texture could not be decoded, so it has no .png form: " + error;
            return ExportResult::NotOffered;
        }
        return Png_Write(file, image) ? ExportResult::Ok : ExportResult::WriteFailed;
    }
    if (form == Form::ObjMtl)
        return WriteObj(file, resource, model);
    if (form == Form::Wav) {
        switch (S_WriteWavFromOgg(file, resource)) {
        case WavResult::Ok: return ExportResult::Ok;
        case WavResult::WriteFailed: return ExportResult::WriteFailed;
        case WavResult::TooLong:
            message = "This sound decodes to more than 1 GiB of samples, too much for a .wav file.";
            return ExportResult::NotOffered;
        case WavResult::NotDecodable:
            message = "This sound could not be decoded, so it has no .wav form.";
            return ExportResult::NotOffered;
        }
    }
    if (forms.interpreted && ResourceKind_Info(kind).hasInterpretedExport) {
        if (kind != KindModel)
            return Export_WriteInterpreted(file, kind, resource);
        return WriteObj(file, resource, model);
    }
    return Export_WriteRaw(file, resource) ? ExportResult::Ok : ExportResult::WriteFailed;
}

bool Export_FormWritesByPath(ResourceKind kind, const ExportForms &forms)
{
    const Form form = FormOf(kind, forms);
    return form == Form::Glb || form == Form::Gltf;
}

ExportResult Export_WriteFormToPath(const std::string &path, const PakArchive *archive, ResourceKind kind,
                                    std::span<const uint8_t> resource, const ExportForms &forms, const Model *model,
                                    bool overwriteTextures, std::string &message)
{
    message.clear();
    const Form form = FormOf(kind, forms);
    std::unique_ptr<Model, void (*)(Model *)> parsed(nullptr, Model_Free);
    if (kind == KindModel && !model && (form == Form::Glb || form == Form::Gltf || form == Form::ObjMtl)) {
        parsed.reset(Model_Parse(resource.data(), resource.size()));
        model = parsed.get();
        if (!model)
            return ExportResult::NoModel;
    }
    if (form == Form::Glb || form == Form::Gltf) {
        if (path == "-") {
            message = "A glTF file cannot be written to standard output.";
            return ExportResult::NotOffered;
        }
        ExportGltfMaterials materials;
        Export_GltfMaterials(Export_ResolveMaterials(*model, archive), materials);
        if (!Gltf_Write(path, *model, materials.inputs, form == Form::Glb ? GltfForm::Binary : GltfForm::Separate,
                        &message))
            return ExportResult::WriteFailed;
        return ExportResult::Ok;
    }
    auto write = [&](FILE *file) { return Export_WriteForm(file, kind, resource, forms, model, message); };
    const ExportResult result = path == "-" ? write(stdout) : Export_ToPath(path, "wb", write);
    if (result != ExportResult::Ok || form != Form::ObjMtl || path == "-")
        return result;
    std::vector<MtlMaterial> mtl;
    PngFiles pngs;
    Export_MtlMaterials(Export_ResolveMaterials(*model, archive), mtl, pngs);
    std::string folder = Sys_ParentFolder(path);
    if (folder.empty())
        folder = ".";
    if (!WriteMtlBeside(folder, mtl, pngs, overwriteTextures, message))
        return ExportResult::WriteFailed;
    return ExportResult::Ok;
}
