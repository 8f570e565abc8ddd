// A new archive from a folder: its regular files, named by their paths, read
// and compressed by a few threads and written in name order.
#include "pakwrite/pakwrite.h"
#include "pakwrite/pakwrite_local.h"
#include "pakwrite/write_files.h"

#include "base/parallel.h"
#include "base/platform.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace {

using PackFile = PakFolderFile;

void ListFiles(const std::string &folder, const std::string &prefix, std::vector<PackFile> &files,
               std::vector<std::string> &skipped, std::vector<std::string> &unreadable)
{
    std::vector<std::string> names;
    if (!Sys_ListFolder(folder, names)) {
        unreadable.push_back(folder + ": " + WF_LastError());
        return;
    }
    for (const std::string &name : names) {
        const std::string path = folder + "/" + name;
        int64_t size = 0;
        switch (Sys_PathKind(path, false, &size)) {
        case SysKind::Folder:
            ListFiles(path, prefix + name + "\\", files, skipped, unreadable);
            break;
        case SysKind::File:
            files.push_back({path, prefix + name, static_cast<uint64_t>(size)});
            break;
        case SysKind::Missing:
            break;  // gone since the folder was listed
        default:
            skipped.push_back(path);
        }
    }
}

// One file's stored bytes, made by a worker: in memory, or (stored as it is)
// copied straight from the file by the writer.
struct Prepared {
    bool copyFile = false;
    bool compressed = false;
    std::vector<uint8_t> stored;
    std::string error;
};

// `data` is the worker's own buffer, kept from file to file: buffers of a few
// MiB made anew for every file cost more in page faults than the compression.
bool Prepare(const PackFile &file, const PakPackOptions &options, Prepared &p, std::vector<uint8_t> &data)
{
    const PakCompress mode = options.compress;
    int64_t length = 0;
    const int fd = WF_OpenRead(file.path, &length);
    if (fd < 0) {
        p.error = "Cannot open '" + file.path + "': " + WF_LastError();
        return false;
    }
    uint8_t head[3] = {};
    const bool lzoHead = length > 3 && WF_ReadAt(fd, head, 3, 0) && memcmp(head, "LZO", 3) == 0;
    if (mode == PakCompress::None && !lzoHead && !options.convert) {
        WF_Close(fd);
        p.copyFile = true;
        p.stored.clear();
        return true;
    }
    bool ok = true;
    try {
        data.resize(static_cast<size_t>(length));
    } catch (const std::bad_alloc &) {
        ok = false;
    }
    ok = ok && WF_ReadAt(fd, data.data(), data.size(), 0);
    WF_Close(fd);
    if (!ok) {
        p.error = "Cannot read '" + file.path + "': " + WF_LastError();
        return false;
    }
    if (options.convert && !options.convert(file, data, p.error))
        return false;
    if (!PakWrite_StoreResource(data, mode, true, 0, p.stored, p.error)) {
        p.error = file.path + ": " + p.error;
        return false;
    }
    // Auto keeps a block only when it is smaller.
    if (mode == PakCompress::Auto && (data.size() < 3 || memcmp(data.data(), "LZO", 3) != 0) &&
        p.stored.size() >= data.size())
        p.stored.swap(data);
    p.compressed = p.stored.size() > 3 && memcmp(p.stored.data(), "LZO", 3) == 0;
    return true;
}

}  // namespace

std::vector<PakFolderFile> PakWrite_ListFolder(const std::string &folder, std::vector<std::string> &skipped,
                                               std::vector<std::string> *unreadable)
{
    std::vector<PakFolderFile> files;
    std::vector<std::string> failed;
    ListFiles(folder, "", files, skipped, unreadable ? *unreadable : failed);
    for (const std::string &path : failed)
        skipped.push_back(path.substr(0, path.rfind(": ")));
    std::sort(files.begin(), files.end(),
              [](const PakFolderFile &a, const PakFolderFile &b) { return a.name < b.name; });
    return files;
}

bool PakWrite_Pack(const std::string &folder, const std::string &output, const PakPackOptions &options,
                   PakPackReport &report, std::string &error)
{
    report = PakPackReport{};
    if (!Pak_HasPakExtension(output)) {
        error = "The output '" + output + "' must end in .pak.";
        return false;
    }
    if (Sys_PathKind(folder, true) != SysKind::Folder) {
        error = "'" + folder + "' is not a folder.";
        return false;
    }
    std::string base = PW_BaseName(output);
    base = base.substr(0, base.size() - 4);
    const bool shaderForm = Pak_IsShaderArchive(base);
    if (shaderForm && options.partSize > 0) {
        error = "A shader archive keeps every entry in its entry-point file: --part-size does not apply.";
        return false;
    }

    std::vector<std::string> unreadable;
    std::vector<PackFile> files = PakWrite_ListFolder(folder, report.skipped, &unreadable);
    if (!unreadable.empty()) {
        error = "Nothing was packed: a folder under '" + folder + "' cannot be read:";
        for (const std::string &why : unreadable)
            error += "\n  " + why;
        return false;
    }
    if (options.entryName) {
        for (PackFile &f : files)
            f.name = options.entryName(f);
        std::stable_sort(files.begin(), files.end(),
                         [](const PackFile &a, const PackFile &b) { return a.name < b.name; });
    }
    std::string tooLong;
    for (size_t i = 1; i < files.size(); ++i)
        if (files[i].name == files[i - 1].name)
            tooLong += "\n  " + files[i - 1].path + " and " + files[i].path + " are both " + files[i].name;
    for (const PackFile &f : files) {
        if (f.name.size() > 64)
            tooLong += "\n  " + f.name + " (" + std::to_string(f.name.size()) + " bytes)";
        else if (f.size > INT32_MAX)
            tooLong += "\n  " + f.name + " is larger than an entry can hold";
    }
    if (!tooLong.empty()) {
        error = "Nothing was packed: an entry's name holds at most 64 bytes, an entry at most 2147483647 "
                "bytes, and two files cannot be one entry:" + tooLong;
        return false;
    }
    if (files.size() > static_cast<size_t>(INT32_MAX)) {
        error = "Too many files for one index.";
        return false;
    }
    const size_t recordSize = shaderForm ? kPakShaderRecordSize : kPakRecordSize;
    const int32_t count = static_cast<int32_t>(files.size());
    // Files stored as they are show at once whether a shader archive's one file would hold them.
    if (shaderForm && options.compress == PakCompress::None && !options.convert) {
        uint64_t total = kPakHeaderSize + uint64_t(count) * recordSize;
        for (const PackFile &f : files)
            total += f.size;
        if (total > static_cast<uint64_t>(kPakFileLimit)) {
            error = "Nothing was packed: a shader archive keeps every entry in its one file, and these files "
                    "would carry it past 2 GiB.";
            return false;
        }
    }
    // The output's lock, and a set under its name replaced whole.
    std::vector<std::string> inputs;
    for (const PackFile &f : files)
        inputs.push_back(f.path);
    const std::shared_ptr<PakSetLock> setLock = PW_LockSet(output, options.lockWait, error);
    PW_OldOutput old;
    if (!setLock || !PW_CheckOldOutput(output, options.overwrite, inputs, old, error))
        return false;
    PW_SetBuilder builder(output, recordSize, count, options.partSize, 0, old.reference);
    std::vector<uint8_t> index(files.size() * recordSize);

    // Workers prepare files ahead of the writer, at most a window of them.
    const int workers = std::max(1, options.jobs);
    std::vector<Prepared> ring(Base_OrderedWindow(workers));
    std::vector<std::vector<uint8_t>> data(static_cast<size_t>(workers));  // each worker's own
    std::mutex spareLock;
    std::vector<std::vector<uint8_t>> spare;  // written buffers, for the workers to fill again
    const auto make = [&](int worker, size_t i) {
        Prepared p;
        {
            std::lock_guard<std::mutex> hold(spareLock);
            if (!spare.empty()) {
                p.stored.swap(spare.back());
                spare.pop_back();
            }
        }
        Prepare(files[i], options, p, data[static_cast<size_t>(worker)]);
        ring[i % ring.size()] = std::move(p);
    };
    // Writes file i's entry; false (with `error`) ends the pack.
    const auto write = [&](size_t i, const Prepared &p) {
        if (!p.error.empty()) {
            error = p.error;
            return false;
        }
        const uint64_t size = p.copyFile ? files[i].size : p.stored.size();
        int file = options.partSize > 0 ? PW_SetBuilder::kSpill : kEntryPointFile;
        int64_t offset = 0;
        bool ok = builder.Reserve(file, size, offset, error);
        // A shader record has no field that names a companion.
        if (ok && shaderForm && file != kEntryPointFile) {
            error = "Nothing was packed: a shader archive keeps every entry in its one file, and '" + files[i].path +
                    "' would carry it past 2 GiB.";
            return false;
        }
        if (ok && p.copyFile) {
            int64_t length = 0;
            const int fd = WF_OpenRead(files[i].path, &length);
            ok = fd >= 0 && static_cast<uint64_t>(length) == size;
            if (!ok)
                error = "'" + files[i].path + "' changed or vanished while it was packed.";
            ok = ok && builder.Copy(file, fd, 0, size, error);
            WF_Close(fd);
        } else if (ok) {
            ok = builder.Write(file, p.stored.data(), p.stored.size(), error);
        }
        PW_Record r{index.data() + i * recordSize, shaderForm};
        memcpy(r.p, files[i].name.data(), files[i].name.size());
        r.SetOffset(static_cast<uint32_t>(offset));
        r.SetSize(static_cast<uint32_t>(size));
        r.SetPlace(static_cast<int16_t>(file), 0);
        report.inputBytes += files[i].size;
        report.storedBytes += size;
        report.compressed += p.compressed;
        return ok;
    };
    bool ok = true;
    std::atomic<bool> failed{false};
    Base_RunOrdered(files.size(), workers, &failed, make, [&](size_t i) {
        Prepared p = std::move(ring[i % ring.size()]);
        ok = write(i, p);
        failed = !ok;
        if (p.stored.capacity() > 0) {
            std::lock_guard<std::mutex> hold(spareLock);
            spare.push_back(std::move(p.stored));
        }
    });
    if (!ok)
        return false;

    uint8_t header[kPakHeaderSize] = {'P', 'A', 'K', '_'};
    PW_PutU32(header + 8, static_cast<uint32_t>(count));
    if (!builder.Finish(header, index, error))
        return false;
    if (old.exists) {
        const std::string folderOf = output.substr(0, output.size() - PW_BaseName(output).size());
        std::vector<std::string> made;
        for (const std::string &name : builder.Files())
            made.push_back(folderOf + name);
        PW_RemoveOldCompanions(old, made);
    }
    report.entries = files.size();
    report.files = builder.Files();
    return true;
}
