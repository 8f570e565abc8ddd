// New sets written from scratch, and the rebuild of an archive without dead space.
#include "pakwrite/pakwrite.h"
#include "pakwrite/pakwrite_local.h"
#include "pakwrite/write_files.h"

#include "base/platform.h"

#include <algorithm>
#include <set>
#include <tuple>

PW_SetBuilder::PW_SetBuilder(std::string outPath, size_t recordSize, int32_t count, int64_t partSize, int firstSpill,
                             std::string reference)
    : outPath_(std::move(outPath)), reference_(std::move(reference)),
      partSize_(partSize > 0 ? std::min(partSize, kPakFileLimit) : kPakFileLimit), nextSpill_(firstSpill),
      indexEnd_(static_cast<int64_t>(kPakHeaderSize) + int64_t(count) * int64_t(recordSize)), set_(WF_Step)
{
    files_[kEntryPointFile].end = indexEnd_;
}

int PW_SetBuilder::Fd(int file, std::string &error)
{
    File &f = files_[file];
    if (f.fd < 0) {
        f.path = PW_FilePath(outPath_, file);
        f.fd = set_.Add(f.path, 0644, reference_);
        if (f.fd < 0) {
            error = "Cannot create a file beside '" + f.path + "': " + WF_LastError();
            return -1;
        }
        // Entries are written one after another; the entry-point file's start
        // is kept for the header and index, written last.
        if (file == kEntryPointFile) {
            const std::vector<uint8_t> zeros(static_cast<size_t>(indexEnd_));
            if (!WF_Append(f.fd, zeros.data(), zeros.size())) {
                error = "Cannot write '" + set_.Temp(f.fd) + "': " + WF_LastError();
                return -1;
            }
        }
    }
    return f.fd;
}

bool PW_SetBuilder::Reserve(int &file, uint64_t size, int64_t &offset, std::string &error)
{
    auto limit = [&](int n) { return n == kEntryPointFile ? kPakFileLimit : partSize_; };
    // A companion holds at least one entry, however large.
    auto fits = [&](int n) {
        const int64_t end = files_.count(n) ? files_[n].end : 0;
        return end + static_cast<int64_t>(size) <= limit(n) || (n != kEntryPointFile && end == 0);
    };
    if (file == kSpill || !fits(file)) {
        if (spill_ < 0 || !fits(spill_)) {
            // A number whose file exists is another set's, or the one this replaces.
            while (nextSpill_ <= INT16_MAX && (files_.count(nextSpill_) || WF_Exists(PW_FilePath(outPath_, nextSpill_))))
                ++nextSpill_;
            if (nextSpill_ > INT16_MAX) {
                error = "No companion number is left.";
                return false;
            }
            spill_ = nextSpill_++;
        }
        file = spill_;
    }
    File &f = files_[file];
    offset = f.end;
    f.end += static_cast<int64_t>(size);
    return true;
}

bool PW_SetBuilder::Write(int file, const uint8_t *data, size_t size, std::string &error)
{
    const int fd = Fd(file, error);
    if (fd < 0)
        return false;
    if (!WF_Append(fd, data, size)) {
        error = "Cannot write '" + set_.Temp(fd) + "': " + WF_LastError();
        return false;
    }
    return true;
}

bool PW_SetBuilder::Copy(int file, int from, int64_t fromOffset, uint64_t size, std::string &error)
{
    const int fd = Fd(file, error);
    if (fd < 0)
        return false;
    if (!WF_CopyTo(from, fromOffset, fd, size)) {
        error = "Cannot copy into '" + set_.Temp(fd) + "': " + WF_LastError();
        return false;
    }
    return true;
}

bool PW_SetBuilder::Finish(const uint8_t *header, const std::vector<uint8_t> &index, std::string &error)
{
    const int ep = Fd(kEntryPointFile, error);
    if (ep < 0)
        return false;
    if (!WF_WriteAt(ep, header, kPakHeaderSize, 0) || !WF_WriteAt(ep, index.data(), index.size(), kPakHeaderSize)) {
        error = "Cannot write '" + set_.Temp(ep) + "': " + WF_LastError();
        return false;
    }
    // Companions first: the entry-point file points into them.
    std::vector<int> order;
    for (const auto &[n, f] : files_)
        if (n != kEntryPointFile && f.fd >= 0)
            order.push_back(f.fd);
    order.push_back(ep);
    BaseWholeSet::Failure failed;
    if (!set_.Commit(order, failed)) {
        error = failed.renaming ? "Cannot rename '" + failed.path + "' to '" + failed.target + "': " + WF_LastError()
                                : "Cannot write '" + failed.path + "': " + WF_LastError();
        return false;
    }
    return true;
}

std::vector<std::string> PW_SetBuilder::Files() const
{
    std::vector<std::string> names;
    for (const auto &[n, f] : files_)
        if (f.fd >= 0)
            names.push_back(PW_BaseName(f.path));
    return names;
}

uint64_t PW_SetBuilder::Bytes() const
{
    uint64_t total = 0;
    for (const auto &[n, f] : files_)
        if (f.fd >= 0)
            total += static_cast<uint64_t>(f.end);
    return total;
}

// A rebuild of the set without dead space: skipped records are dropped and
// every kept entry's stored bytes are copied unchanged, in record order, into
// a file of the same role. Bytes that several records share stay shared. In
// place, the rebuilt companions take new numbers (the old ones are still
// what the old index points into until the new entry-point file replaces
// it), and the old companions are removed afterwards. A new set's companions
// take numbers whose files do not exist, as a save's do.
bool PakWrite_SaveCompact(PakWriter &w, const PakSaveOptions &options, PakSaveReport &report,
                          std::shared_ptr<PakSetLock> &outputLock, std::string &error)
{
    const bool inPlace = options.output.empty();
    const std::string outPath = inPlace ? w.archive.path : options.output;
    if (!inPlace && !Pak_HasPakExtension(outPath)) {
        error = "The output '" + outPath + "' must end in .pak.";
        return false;
    }
    if (inPlace && Sys_PathKind(outPath, false) == SysKind::Link) {
        error = "'" + outPath + "' is a link; Quillon does not write through links. Nothing was changed.";
        return false;
    }
    const int32_t count = PakWrite_Count(w);
    std::vector<int32_t> kept;
    std::map<int, int> inputs;  // input file -> descriptor
    int maxFile = -1;
    for (int32_t i = 0; i < count; ++i) {
        maxFile = std::max<int>(maxFile, PW_At(w, i).Part());
        if (PW_At(w, i).IsEntry())
            kept.push_back(i);
    }
    // Numbers for rebuilt companions in place: above every one in use or on disk.
    int firstFree = maxFile + 1;
    while (firstFree <= INT16_MAX && WF_Exists(PW_FileOnDisk(w.archive, firstFree)))
        ++firstFree;

    struct Closer {
        std::map<int, int> &fds;
        ~Closer()
        {
            for (auto &[n, fd] : fds)
                WF_Close(fd);
        }
    } closer{inputs};
    for (int32_t i : kept) {
        const int file = PW_At(w, i).File();
        if (inputs.count(file))
            continue;
        const std::string path = PW_FileOnDisk(w.archive, file);
        int64_t length = 0;
        const int fd = inPlace && !WF_CheckWritable(path) ? -1 : WF_OpenRead(path, &length);
        if (fd < 0) {
            error = "Cannot open '" + path + "': " + WF_LastError() + ". Nothing was changed.";
            return false;
        }
        inputs[file] = fd;
    }
    // Every file of the input, those of skipped records too: an output never replaces one.
    std::vector<std::string> inputFiles{w.archive.path};
    for (int32_t i = 0; i < count; ++i)
        if (PW_At(w, i).File() != kEntryPointFile)
            inputFiles.push_back(PW_FileOnDisk(w.archive, PW_At(w, i).File()));
    PW_OldOutput old;
    if (!inPlace) {
        for (const std::string &in : inputFiles)
            if (WF_SameFile(outPath, in)) {
                error = "The output '" + outPath + "' is a file of the archive itself; give another name.";
                return false;
            }
        outputLock = PW_LockSet(outPath, w.lockWait, error);
        if (!outputLock || !PW_CheckOldOutput(outPath, options.overwrite, inputFiles, old, error))
            return false;
    }

    std::map<int, int> renumber;  // old companion number -> new
    std::set<int> taken;
    int next = inPlace ? firstFree : 0;
    for (const auto &[file, fd] : inputs) {
        if (file == kEntryPointFile)
            continue;
        if (!inPlace && !WF_Exists(PW_FilePath(outPath, file)) && !taken.count(file)) {
            renumber[file] = file;  // a new set keeps the numbers where it can
        } else {
            while (next <= INT16_MAX && (taken.count(next) || WF_Exists(PW_FilePath(outPath, next))))
                ++next;
            if (next > INT16_MAX) {
                error = "No companion number is left for '" + outPath + "'.";
                return false;
            }
            renumber[file] = next;
        }
        taken.insert(renumber[file]);
    }
    const int firstSpill = taken.empty() ? (inPlace ? firstFree : 0) : *taken.rbegin() + 1;
    PW_SetBuilder builder(outPath, w.recordSize, static_cast<int32_t>(kept.size()), 0, firstSpill,
                          inPlace ? w.archive.path : old.reference);

    std::vector<uint8_t> index(kept.size() * w.recordSize);
    std::map<std::tuple<int, uint32_t, uint32_t>, std::pair<int, int64_t>> shared;
    for (size_t k = 0; k < kept.size(); ++k) {
        const int32_t i = kept[k];
        memcpy(index.data() + k * w.recordSize, PW_At(w, i).p, w.recordSize);
        PW_Record r{index.data() + k * w.recordSize, w.shaderForm};
        const int from = PW_At(w, i).File();
        const std::vector<uint8_t> *bytes = nullptr;
        for (const PakWriter::Pending &p : w.pending)
            if (p.record == i)
                bytes = &p.stored;
        const auto key = std::make_tuple(from, r.Offset(), r.Size());
        int file = from == kEntryPointFile ? kEntryPointFile : renumber[from];
        int64_t offset = 0;
        if (!bytes && shared.count(key)) {
            std::tie(file, offset) = shared[key];
        } else {
            if (!builder.Reserve(file, r.Size(), offset, error))
                return false;
            if (!bytes) {
                // The bytes the record names must be there: a damaged entry is named, not a temporary file.
                int64_t length = Sys_FileSize(inputs[from]);
                if (length < 0 || uint64_t(r.Offset()) + r.Size() > static_cast<uint64_t>(length)) {
                    error = "Record " + std::to_string(i) + " (" + PakWrite_Name(w, i) + ") claims bytes beyond the end of '" +
                            PW_FileOnDisk(w.archive, from) + "': the archive is damaged (`verify` names it). Nothing was changed.";
                    return false;
                }
            }
            const bool ok = bytes ? builder.Write(file, bytes->data(), bytes->size(), error)
                                  : builder.Copy(file, inputs[from], r.Offset(), r.Size(), error);
            if (!ok)
                return false;
            if (!bytes)
                shared[key] = {file, offset};
            WF_Step();
        }
        r.SetOffset(static_cast<uint32_t>(offset));
        if (file != from)
            r.SetPlace(static_cast<int16_t>(file), file == kEntryPointFile ? r.Location() : 0);
    }
    uint8_t header[kPakHeaderSize];
    memcpy(header, w.header, sizeof header);
    if (static_cast<int32_t>(kept.size()) != w.originalCount)
        PW_PutU32(header + 8, static_cast<uint32_t>(kept.size()));
    // The inputs are read no more; closed before the new files take their
    // names, as Windows will not rename over a file that is open.
    for (auto &[file, fd] : inputs) {
        WF_Close(fd);
        fd = -1;
    }
    if (!builder.Finish(header, index, error))
        return false;
    if (inPlace)
        for (const auto &[file, fd] : inputs)
            if (file != kEntryPointFile)
                WF_Remove(PW_FileOnDisk(w.archive, file));
    if (old.exists) {
        const std::string folder = outPath.substr(0, outPath.size() - PW_BaseName(outPath).size());
        std::vector<std::string> written;
        for (const std::string &name : builder.Files())
            written.push_back(folder + name);
        PW_RemoveOldCompanions(old, written);
    }
    report.droppedRecords = count - static_cast<int32_t>(kept.size());
    report.written = builder.Bytes();
    for (const std::string &name : builder.Files())
        report.appended.push_back({name, 0, true});
    return true;
}
