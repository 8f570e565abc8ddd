// Inside the export jobs: what a worker makes of one entry (export_prepare.cpp)
// and how the caller's thread names and places it (export_place.cpp).
// Internal to src/export.
#pragma once

#include "export/export_local.h"
#include "export/export_materials.h"

#include "base/platform.h"
#include "model/model.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// What a worker made of one entry. The checks are kept apart so that the
// naming stage reports them in the order a single-threaded run meets them.
struct Prepared {
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

// The reading, checking and converting of a job's entries into temporary
// files in the output folder, on any number of workers at once.
class ExportPreparer {
public:
    ExportPreparer(const PakArchive &archive, const ExportJobOptions &options, const std::vector<int> &slots,
                   int rootFd, int workers);

    // Makes the entry at list position i into `p` with worker `worker`'s
    // buffers. A failure to allocate fails this entry alone: its temporary
    // file goes and the job goes on with the next.
    void Prepare(int worker, size_t i, Prepared &p);

private:
    // What a worker keeps from one entry to the next.
    struct Worker {
        explicit Worker(ExportPreparer &job) : materials(&job.archive_, job.global_, &job.globalLock_) {}
        std::vector<uint8_t> buffer;     // reused for every entry
        ExportMaterialSource materials;  // every worker searches the job's one GLOBAL.PAK
        PakOpenFile open;                // the holding file stays open from one entry to the next
    };

    void PrepareEntry(const PakEntry &entry, std::vector<uint8_t> &buffer, ExportMaterialSource &materials,
                      PakOpenFile &open, Prepared &p);
    ExportStatus Refusal(ResourceKind kind, std::span<const uint8_t> resource,
                         std::unique_ptr<Model, void (*)(Model *)> &model) const;

    const PakArchive &archive_;
    const ExportJobOptions &options_;
    const std::vector<int> &slots_;
    const int rootFd_;
    bool storedCopy_ = false;
    PakArchive ownGlobal_;  // GLOBAL.PAK beside the archive, when the caller gave none
    PakArchive *global_ = &ownGlobal_;
    std::mutex globalLock_;
    std::vector<std::unique_ptr<Worker>> workers_;
};

// The naming stage: reserved names, the handle of the folder last written into.
class ExportPlacer {
public:
    ExportPlacer(int rootFd, const std::string &folder) : rootFd_(rootFd), folder_(folder) {}
    ~ExportPlacer()
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

    int Root() const { return rootFd_; }

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
ExportEntryResult ExportJob_Place(const PakEntry &entry, Prepared &p, const ExportJobOptions &options,
                                  ExportPlacer &placer);
