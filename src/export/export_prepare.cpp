// The workers' side of an export job: each entry read, expanded, checked
// and written in its form into a temporary file in the output folder.
#include "export/export_job_parts.h"

#include "base/file_io.h"
#include "base/platform.h"
#include "model/model.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace {

bool AnyForm(const ExportForms &forms)
{
    return forms.interpreted || forms.wav || forms.png || forms.glb || forms.gltf || forms.objMtl;
}

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

}  // namespace

ExportPreparer::ExportPreparer(const PakArchive &archive, const ExportJobOptions &options,
                               const std::vector<int> &slots, int rootFd, int workers)
    : archive_(archive), options_(options), slots_(slots), rootFd_(rootFd)
{
    storedCopy_ = !AnyForm(options.forms) && options.selection.kinds.empty();
    if (options.global)
        global_ = options.global;
    for (int i = 0; i < std::max(workers, 1); ++i)
        workers_.push_back(std::make_unique<Worker>(*this));
}

void ExportPreparer::Prepare(int workerNumber, size_t i, Prepared &p)
{
    Worker &worker = *workers_[static_cast<size_t>(workerNumber)];
    p = Prepared{};
    std::string failure;
    try {
        PrepareEntry(archive_.entries[static_cast<size_t>(slots_[i])], worker.buffer, worker.materials, worker.open,
                     p);
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

// Reads, checks and writes one entry into a temporary file.
void ExportPreparer::PrepareEntry(const PakEntry &entry, std::vector<uint8_t> &buffer, ExportMaterialSource &materials,
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

    const int fd = Base_CreateTempIn(rootFd_, p.tempName);
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
ExportStatus ExportPreparer::Refusal(ResourceKind kind, std::span<const uint8_t> resource,
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
