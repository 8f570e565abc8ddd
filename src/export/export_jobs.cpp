// Export jobs: a pool of threads reads, expands and converts entries into
// temporary files in the output folder; the caller's thread then names and
// places them in record order, so names, duplicates and reports come out the
// same whatever the number of threads.
//
// Files are placed relative to an open handle of the output folder, one path
// component at a time and never through a symbolic link, so no entry name
// (and no link planted inside the folder) can make a write land outside it.
#include "export/export_local.h"

#include "base/file_io.h"
#include "base/parallel.h"
#include "base/platform.h"
#include "export/export_files.h"
#include "export/export_materials.h"

#include "model/model.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace {

bool AnyForm(const ExportForms &forms)
{
    return forms.interpreted || forms.wav || forms.png || forms.glb || forms.gltf || forms.objMtl;
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
    ExportStatus refusal;     // decided before a file was made
    bool tempFailed = false;  // the temporary file could not be made
    std::string tempReason;
    std::string tempName;     // in the output folder; empty when none
    ExportStatus written;
    uint64_t bytes = 0;
    std::unique_ptr<ExportGltfFiles> separate;  // a .gltf's companions, waiting for the names the .gltf gets
    bool objMtl = false;                    // dkexport.mtl and textures/ follow the .obj
    std::vector<MtlMaterial> mtl;
    ExportPngFiles pngs;
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
        if (options.global)
            global_ = options.global;
    }

    ~Job() { Stop(); }

    void Start(int workers)
    {
        window_ = static_cast<size_t>(workers) * 4;
        for (int i = 0; i < workers; ++i) {
            try {
                threads_.emplace_back([this] { Work(); });
            } catch (const std::system_error &) {
                break;  // the system gives no more threads: fewer do the work
            }
        }
        if (threads_.empty())
            inline_ = std::make_unique<Worker>(*this);
    }

    // The entry at list position i once a worker has made it; null when the job stops first.
    Prepared *Wait(size_t i)
    {
        if (inline_) {  // no thread could be started: the caller's thread does the work
            Prepared p;
            PrepareGuarded(i, *inline_, p);
            p.ready = true;
            prepared_[i] = std::move(p);
            return &prepared_[i];
        }
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
    // What a worker keeps from one entry to the next.
    struct Worker {
        explicit Worker(Job &job) : materials(&job.archive_, job.global_, &job.globalLock_) {}
        std::vector<uint8_t> buffer;     // reused for every entry
        ExportMaterialSource materials;  // every worker searches the job's one GLOBAL.PAK
        PakOpenFile open;                // the holding file stays open from one entry to the next
    };

    // Prepare, where a failure to allocate fails this entry alone: its
    // temporary file goes and the job goes on with the next.
    void PrepareGuarded(size_t i, Worker &worker, Prepared &p)
    {
        std::string failure;
        try {
            Prepare(archive_.entries[static_cast<size_t>(slots_[i])], worker.buffer, worker.materials, worker.open, p);
        } catch (const std::bad_alloc &) {
            failure = "Not enough memory to export this entry.";
        } catch (const std::exception &e) {
            failure = std::string("The export of this entry failed: ") + e.what();
        }
        // A large entry's buffer is not kept for the small ones after it.
        if (!failure.empty() || worker.buffer.capacity() > (16u << 20))
            std::vector<uint8_t>().swap(worker.buffer);
        if (failure.empty())
            return;
        if (!p.tempName.empty())
            Sys_RemoveAt(rootFd_, p.tempName);
        p = Prepared{};
        p.loadFailed = true;
        p.loadMessage = failure;
    }

    void Work()
    {
        Worker worker(*this);
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
            PrepareGuarded(i, worker, p);
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
            p.refusal = Refusal(p.kind, buffer, model);
            if (!p.refusal.Ok())
                return;
        }
        const ExportForm form = storedCopy_ ? ExportForm::Raw : Export_FormOf(p.kind, options_.forms);
        if (form == ExportForm::Gltf) {
            // Its .bin and PNG files are named after the final file: placed by the naming stage.
            ExportGltfMaterials gltf;
            Export_GltfMaterials(Export_ResolveMaterials(*model, materials), gltf);
            p.written = Export_PrepareGltf(rootFd_, *model, gltf.inputs, p.separate);
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
            p.written = WriteStored(archive_, entry, fd, buffer, p);
            if (!Sys_Close(fd) && p.written.Ok())
                p.written = ExportResult::WriteFailed;
            return;
        }
        FILE *file = Sys_StreamFromFd(fd, "wb");
        if (!file) {
            Sys_Close(fd);
            p.written = ExportResult::CannotOpen;
            return;
        }
        try {
            if (form == ExportForm::Glb) {
                ExportGltfMaterials gltf;
                Export_GltfMaterials(Export_ResolveMaterials(*model, materials), gltf);
                p.written = Export_WriteGlb(file, *model, gltf.inputs);
            } else {
                p.written = Export_WriteForm(file, p.kind, buffer, options_.forms, model.get());
            }
        } catch (...) {
            fclose(file);  // the caller removes the temporary file
            throw;
        }
        const off_t end = ftello(file);
        p.bytes = end > 0 ? static_cast<uint64_t>(end) : 0;
        if ((fflush(file) != 0 || ferror(file)) && p.written.Ok())
            p.written = ExportResult::WriteFailed;
        if (fclose(file) != 0 && p.written.Ok())
            p.written = ExportResult::WriteFailed;
        if (form == ExportForm::ObjMtl && p.written.Ok() && model) {
            p.objMtl = true;
            Export_MtlMaterials(Export_ResolveMaterials(*model, materials), p.mtl, p.pngs);
        }
    }

    // The refusals of the chosen form that are known before a file is made.
    ExportStatus Refusal(ResourceKind kind, std::span<const uint8_t> resource,
                         std::unique_ptr<Model, void (*)(Model *)> &model) const
    {
        const ExportForm form = Export_FormOf(kind, options_.forms);
        if (form == ExportForm::Wav || form == ExportForm::Raw)
            return ExportResult::Ok;  // a sound that does not decode is told while writing, before any byte
        if (form == ExportForm::Png)
            return Export_CheckPng(resource);
        if (kind == KindModel)
            model.reset(Model_Parse(resource.data(), resource.size()));
        return Export_CheckInterpreted(kind, resource, model.get());
    }

    const PakArchive &archive_;
    const ExportJobOptions &options_;
    const std::vector<int> &slots_;
    const int rootFd_;
    const std::atomic<bool> *cancel_;
    bool storedCopy_ = false;
    PakArchive ownGlobal_;  // GLOBAL.PAK beside the archive, when the caller gave none
    PakArchive *global_ = &ownGlobal_;
    std::mutex globalLock_;

    std::mutex mutex_;
    std::condition_variable ready_, room_;
    std::vector<Prepared> prepared_;
    std::vector<std::thread> threads_;
    std::unique_ptr<Worker> inline_;  // when no thread could be started
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

    // The entry's path in this run (see ExportNamer).
    std::vector<std::string> Name(const PakEntry &entry, ResourceKind kind, const ExportForms &forms)
    {
        return namer_.Name(entry, kind, forms);
    }

    // Reserves `name` beside the file `components` names (see ExportNamer).
    bool Claim(const std::vector<std::string> &components, const std::string &name)
    {
        return namer_.Claim(components, name);
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
    ExportNamer namer_;
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

    // A stored copy's kind is unknown: its bytes keep the entry's name.
    std::vector<std::string> components = placer.Name(entry, p.kind, p.storedCopy ? ExportForms{} : options.forms);
    r.path = Export_JoinPath(components, components.size());
    if (!p.refusal.Ok())
        return fail(WithPath(Export_Message(p.refusal), r.path));

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
    if (!p.written.Ok())
        return fail(WithPath(Export_Message(p.written), r.path));
    if (p.separate) {
        const ExportStatus placed = Export_PlaceGltf(*p.separate, parentFd, leaf, options.overwrite, entry.index,
                                                     [&](const std::string &name) { return placer.Claim(components, name); });
        if (!placed.Ok())
            return fail(WithPath(Export_Message(placed), r.path));
        r.bytes = p.separate->files.Bytes();
        r.outcome = ExportOutcome::Written;
        return r;
    }
    // The material library and textures before the .obj: when they fail, no
    // .obj names what is not there.
    if (p.objMtl) {
        const ExportStatus companions = Export_WriteMtlBeside(Sys_FolderPath(parentFd), p.mtl, p.pngs, options.overwrite);
        if (!companions.Ok())
            return fail(WithPath(Export_Message(companions), r.path));
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

    {
        Job job(archive, options, slots, rootFd, cancel);
        Placer placer(rootFd, folder.size() > 1 && folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder);
        job.Start(Base_WorkerCount(options.workers, slots.size()));
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
