// Saving an edit list: new bytes appended to the files that hold their
// entries, then the entry-point file written whole beside the old one and
// renamed over it. With an output, the same into a copy of the set.
#include "pakwrite/pakwrite.h"
#include "pakwrite/pakwrite_local.h"
#include "pakwrite/write_files.h"

#include "base/platform.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

// Bytes one step writes at most, so that a kill can land inside a large append.
constexpr size_t kStepBytes = 1u << 20;

// Where a record's new bytes come from: its pending bytes, or (an entry that
// the grown index would overlap) a range of the old entry-point file.
struct Move {
    int32_t record;
    const std::vector<uint8_t> *bytes = nullptr;
    uint32_t fromOffset = 0, size = 0;
    int file = kEntryPointFile;  // the file it goes into
    int64_t offset = 0;          // where in it
};

// One file of the output set that receives bytes.
struct Target {
    std::string path;       // final name
    std::string writePath;  // the file written now (a temporary copy for a new set)
    int fd = -1;            // the whole set's when created
    int64_t originalLength = 0;
    int64_t end = 0;
    bool created = false;   // new companion, written whole under a temporary name
    uint64_t appended = 0;  // by this save, so far (a failed write's bytes counted: some may be there)
};

class Saver {
public:
    Saver(PakWriter &w, const PakSaveOptions &options, PakSaveReport &report)
        : w_(w), report_(report), inPath_(w.archive.path),
          outPath_(options.output.empty() ? w.archive.path : options.output), inPlace_(options.output.empty()),
          overwrite_(options.overwrite), set_(WF_Step)
    {
    }

    // The output set's lock, held until the writer lets it go.
    std::shared_ptr<PakSetLock> OutputLock() const { return outLock_; }

    ~Saver() { Abandon(); }

    bool Run(std::string &error);

private:
    bool Fail(std::string &error, const std::string &message)
    {
        error = message;
        Abandon();
        return false;
    }

    std::string OutFile(int file) const
    {
        return file == kEntryPointFile ? outPath_ : PW_FilePath(outPath_, file);
    }

    std::string InFile(int file) const
    {
        const auto it = inFile_.find(file);
        return PW_FileOnDisk(w_.archive, it == inFile_.end() ? file : it->second);
    }

    bool TakeOutput(std::string &error);
    bool Renumber(std::string &error);
    bool PlanMoves(std::string &error);
    bool CheckOutputs(std::string &error);
    bool OpenTargets(std::string &error);
    bool Place(Move &m, std::string &error);
    bool CreateTarget(Target &t, std::string &error);
    int NextFreeFile();
    bool WriteMoves(std::string &error);
    bool WriteEntryPoint(std::string &error);
    void Abandon();

    PakWriter &w_;
    PakSaveReport &report_;
    const std::string inPath_, outPath_;
    const bool inPlace_, overwrite_;
    std::shared_ptr<PakSetLock> outLock_;
    PW_OldOutput oldOutput_;
    std::vector<std::string> inputs_;  // every file of the input set
    std::string reference_;            // new files take its owner and mode
    std::map<int, int> inFile_;        // a new set's companion number -> the input's
    std::vector<Move> moves_;
    std::map<int, Target> targets_;  // companions by number
    std::map<int, int> copies_;      // input companions copied into a new set: number -> input fd
    int oldEp_ = -1;
    int64_t epEnd_ = 0;
    std::vector<Move *> epMoves_;
    BaseWholeSet set_;  // new companions and the new entry-point file
    int epFd_ = -1;     // the set's
    int maxFile_ = -1;
};

// A new companion, written whole under a temporary name.
bool Saver::CreateTarget(Target &t, std::string &error)
{
    t.fd = set_.Add(t.path, 0644, reference_);
    if (t.fd < 0)
        return Fail(error, "Cannot create '" + t.path + "': " + WF_LastError() + ". Nothing was changed.");
    t.writePath = set_.Temp(t.fd);
    t.created = true;
    return true;
}

// A new set: its lock, and what exists under its name now.
bool Saver::TakeOutput(std::string &error)
{
    for (const std::string &in : inputs_)
        if (WF_SameFile(outPath_, in))
            return Fail(error, "The output '" + outPath_ + "' is a file of the archive itself; give another name.");
    outLock_ = PW_LockSet(outPath_, w_.lockWait, error);
    if (!outLock_)
        return false;
    return PW_CheckOldOutput(outPath_, overwrite_, inputs_, oldOutput_, error);
}

// A new set's companions keep their numbers where no file of that name
// exists; over an existing set they take numbers it does not use, so that its
// old entry point never names a new companion.
bool Saver::Renumber(std::string &error)
{
    std::set<int> files, used;
    const int32_t count = PakWrite_Count(w_);
    for (int32_t i = 0; i < count; ++i)
        if (PW_At(w_, i).IsEntry() && PW_At(w_, i).File() != kEntryPointFile)
            files.insert(PW_At(w_, i).File());
    std::map<int, int> number;
    for (int file : files)
        if (!WF_Exists(OutFile(file)))
            number[file] = file, used.insert(file);
    int next = 0;
    for (int file : files) {
        if (number.count(file))
            continue;
        while (next <= INT16_MAX && (used.count(next) || WF_Exists(OutFile(next))))
            ++next;
        if (next > INT16_MAX)
            return Fail(error, "No companion number is left for the output '" + outPath_ + "'.");
        number[file] = next;
        used.insert(next);
    }
    for (int32_t i = 0; i < count; ++i) {
        PW_Record r = PW_At(w_, i);
        if (r.IsEntry() && r.File() != kEntryPointFile && number[r.File()] != r.File())
            PW_PutU16(r.p + 80, static_cast<uint16_t>(number[r.File()]));
    }
    for (const auto &[in, out] : number) {
        inFile_[out] = in;
        maxFile_ = std::max(maxFile_, out);
    }
    return true;
}

bool Saver::PlanMoves(std::string &error)
{
    const int32_t count = PakWrite_Count(w_);
    for (int32_t i = 0; i < count; ++i) {
        const PW_Record r = PW_At(w_, i);
        maxFile_ = std::max<int>(maxFile_, r.Part());
    }
    if (!inPlace_ && !Renumber(error))
        return false;
    for (const PakWriter::Pending &p : w_.pending)
        moves_.push_back({p.record, &p.stored, 0, static_cast<uint32_t>(p.stored.size()), PW_At(w_, p.record).File()});

    // Entry-point bytes that the grown index would cover move to the file's end.
    const int64_t oldIndexEnd = static_cast<int64_t>(kPakHeaderSize) + int64_t(w_.originalCount) * w_.recordSize;
    const int64_t newIndexEnd = static_cast<int64_t>(kPakHeaderSize) + int64_t(count) * w_.recordSize;
    if (newIndexEnd > oldIndexEnd) {
        for (int32_t i = 0; i < w_.originalCount; ++i) {
            const PW_Record r = PW_At(w_, i);
            const bool pending = std::any_of(w_.pending.begin(), w_.pending.end(),
                                             [&](const PakWriter::Pending &p) { return p.record == i; });
            if (pending || !r.IsEntry() || r.File() != kEntryPointFile || r.Size() == 0)
                continue;
            const int64_t begin = r.Offset(), end = begin + r.Size();
            if (end <= oldIndexEnd || begin >= newIndexEnd)
                continue;
            if (end > w_.entryPointLength) {
                error = "Record " + std::to_string(i) + " claims bytes beyond the end of '" + inPath_ +
                        "'; the index cannot grow over it. `verify` names the damage.";
                return false;
            }
            moves_.push_back({i, nullptr, r.Offset(), r.Size(), kEntryPointFile});
        }
    }
    return true;
}

// A new set must not overwrite any file of the input set.
bool Saver::CheckOutputs(std::string &error)
{
    std::vector<std::string> outputs{outPath_};
    for (const auto &[file, t] : targets_)
        outputs.push_back(t.path);
    for (const std::string &out : outputs)
        for (const std::string &in : inputs_)
            if (WF_SameFile(out, in))
                return Fail(error, "The output '" + out + "' is a file of the archive itself; give another name.");
    return true;
}

int Saver::NextFreeFile()
{
    for (;;) {
        const int n = ++maxFile_;
        if (n > INT16_MAX)
            return -1;
        if (!WF_Exists(PW_FileOnDisk(w_.archive, n)) && !WF_Exists(OutFile(n)) && !inFile_.count(n))
            return n;
    }
}

bool Saver::OpenTargets(std::string &error)
{
    // Every companion of the input that a new set needs, and every one that
    // receives bytes in place, is opened (and so checked) before anything is written.
    std::map<int, bool> files;
    if (!inPlace_)
        for (int32_t i = 0; i < PakWrite_Count(w_); ++i)
            if (PW_At(w_, i).IsEntry() && PW_At(w_, i).File() != kEntryPointFile)
                files[PW_At(w_, i).File()] = true;
    for (const Move &m : moves_)
        if (m.file != kEntryPointFile)
            files[m.file] = true;
    for (const auto &[file, unused] : files) {
        (void)unused;
        const std::string in = InFile(file);
        Target t;
        t.path = OutFile(file);
        int64_t length = 0;
        const int fd = inPlace_ ? WF_OpenAppend(in, &length) : WF_OpenRead(in, &length);
        if (fd < 0)
            return Fail(error, "Cannot open the companion '" + in + "' for " + (inPlace_ ? "writing" : "reading") +
                                   ": " + WF_LastError() + ". Nothing was changed.");
        t.originalLength = t.end = length;
        if (inPlace_) {
            t.fd = fd;
            t.writePath = in;
        } else {
            copies_[file] = fd;
            if (!CreateTarget(t, error))
                return false;
        }
        targets_[file] = t;
    }
    int64_t epLength = 0;
    oldEp_ = inPlace_ && !WF_CheckWritable(inPath_) ? -1 : WF_OpenRead(inPath_, &epLength);
    if (oldEp_ < 0)
        return Fail(error, "Cannot open '" + inPath_ + "' for " + (inPlace_ ? "writing" : "reading") + ": " +
                               WF_LastError() + ". Nothing was changed.");
    const int64_t indexEnd = static_cast<int64_t>(kPakHeaderSize) + int64_t(PakWrite_Count(w_)) * w_.recordSize;
    epEnd_ = std::max(w_.entryPointLength, indexEnd);
    if (epEnd_ > kPakFileLimit)
        return Fail(error, "The index would reach past 2 GiB in '" + outPath_ + "'. Nothing was changed.");
    return true;
}

// Gives the move its file and offset: the file it belongs in, unless that
// would pass the limit; then the newest companion of this save, or a new one.
bool Saver::Place(Move &m, std::string &error)
{
    auto fits = [&](int64_t end) { return end + m.size <= kPakFileLimit; };
    int64_t *end = m.file == kEntryPointFile ? &epEnd_ : &targets_[m.file].end;
    if (!fits(*end)) {
        const std::string from = PW_BaseName(OutFile(m.file));
        if (w_.shaderForm)
            return Fail(error, "'" + from + "' would pass 2 GiB, and a shader archive keeps every entry in it. "
                                   "Nothing was changed.");
        int file = -1;
        for (auto &[n, t] : targets_)
            if (t.created && inPlace_ && fits(t.end))
                file = n;
        if (file < 0) {
            file = NextFreeFile();
            if (file < 0)
                return Fail(error, "No companion number is left for bytes that would pass 2 GiB.");
            Target t;
            t.path = OutFile(file);
            if (!CreateTarget(t, error))
                return false;
            targets_[file] = t;
        }
        report_.notes.push_back("'" + from + "' would pass 2 GiB: record " + std::to_string(m.record) +
                                " goes into " + PW_BaseName(targets_[file].path));
        m.file = file;
        end = &targets_[file].end;
        PW_At(w_, m.record).SetPlace(static_cast<int16_t>(file), 0);
    }
    m.offset = *end;
    *end += m.size;
    PW_At(w_, m.record).SetOffset(static_cast<uint32_t>(m.offset));
    return true;
}

bool Saver::WriteMoves(std::string &error)
{
    // A new set starts from whole copies of the input's companions.
    for (const auto &[file, in] : copies_) {
        Target &t = targets_[file];
        if (!WF_CopyTo(in, 0, t.fd, static_cast<uint64_t>(t.originalLength)))
            return Fail(error, "Cannot copy into '" + t.path + "': " + WF_LastError() + ". Nothing was changed.");
        WF_Step();
    }
    for (Move &m : moves_) {
        if (m.file == kEntryPointFile) {
            epMoves_.push_back(&m);
            continue;
        }
        Target &t = targets_[m.file];
        // The offsets were planned from the length this save found under the
        // lock; a file that another program grew since would take the bytes elsewhere.
        if (Sys_FileSize(t.fd) != t.originalLength + static_cast<int64_t>(t.appended))
            return Fail(error, "'" + t.writePath + "' changed while it was saved (another program writes it). "
                               "The archive was not changed.");
        for (uint64_t done = 0; done < m.size;) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(kStepBytes, m.size - done));
            t.appended += n;
            if (!WF_Append(t.fd, m.bytes->data() + done, n))
                return Fail(error, "Cannot write to '" + t.writePath + "': " + WF_LastError() +
                                       ". The archive was not changed.");
            done += n;
            WF_Step();
        }
    }
    return true;
}

bool Saver::WriteEntryPoint(std::string &error)
{
    unsigned mode = 0644;
    (void)Sys_FileMode(oldEp_, &mode);
    epFd_ = set_.Add(outPath_, mode, reference_);
    if (epFd_ < 0)
        return Fail(error, "Cannot create a file beside '" + outPath_ + "': " + WF_LastError() +
                               ". The archive was not changed.");
    const std::string epTemp = set_.Temp(epFd_);
    auto failed = [&] {
        return Fail(error, "Cannot write '" + epTemp + "': " + WF_LastError() + ". The archive was not changed.");
    };
    // The old file, then (in offset order) the bytes placed after it; the
    // header and index go over its start last.
    if (!WF_CopyTo(oldEp_, 0, epFd_, static_cast<uint64_t>(w_.entryPointLength)))
        return failed();
    WF_Step();
    const int64_t indexEnd = static_cast<int64_t>(kPakHeaderSize + w_.index.size());
    if (indexEnd > w_.entryPointLength) {
        const std::vector<uint8_t> zeros(static_cast<size_t>(indexEnd - w_.entryPointLength));
        if (!WF_Append(epFd_, zeros.data(), zeros.size()))
            return failed();
    }
    for (Move *m : epMoves_) {
        const bool ok = m->bytes ? WF_Append(epFd_, m->bytes->data(), m->size)
                                 : WF_CopyTo(oldEp_, m->fromOffset, epFd_, m->size);
        if (!ok)
            return failed();
        report_.written += m->size;
        WF_Step();
    }
    uint8_t header[kPakHeaderSize];
    memcpy(header, w_.header, sizeof header);
    const int32_t count = PakWrite_Count(w_);
    if (count != w_.originalCount)
        PW_PutU32(header + 8, static_cast<uint32_t>(count));
    if (!WF_WriteAt(epFd_, header, sizeof header, 0) ||
        !WF_WriteAt(epFd_, w_.index.data(), w_.index.size(), kPakHeaderSize))
        return failed();
    WF_Step();
    // The old file is read no more; closed before the new one takes its name,
    // as Windows will not rename over a file that is open.
    WF_Close(oldEp_);
    oldEp_ = -1;
    // The appended bytes reach the disk, and new companions their names,
    // before the index that points at them replaces the old one.
    std::vector<int> order;
    for (auto &[file, t] : targets_) {
        if (t.created)
            order.push_back(t.fd);
        else
            set_.FlushFirst(t.fd, t.writePath);
    }
    order.push_back(epFd_);
    BaseWholeSet::Failure fail;
    if (set_.Commit(order, fail))
        return true;
    const std::string why = WF_LastError();
    std::string message;
    if (fail.renaming && fail.target == outPath_)
        message = "Cannot rename '" + fail.path + "' over '" + outPath_ + "': " + why;
    else if (fail.renaming)
        message = "Cannot rename '" + fail.path + "' to '" + fail.target + "': " + why;
    else
        message = (fail.path == epTemp ? "Cannot write '" : "Cannot flush '") + fail.path + "': " + why;
    return Fail(error, message + ". The archive was not changed.");
}

// Undoes what a failed save made: appends cut off, new files removed.
void Saver::Abandon()
{
    if (!set_.Committed()) {
        for (auto &[file, t] : targets_) {
            if (t.fd < 0 || t.created)
                continue;
            if (inPlace_ && t.appended > 0) {
                // Only this save's own bytes: a file longer than it made it is left as it is.
                const int64_t size = Sys_FileSize(t.fd);
                if (size > t.originalLength && size <= t.originalLength + static_cast<int64_t>(t.appended))
                    (void)WF_Truncate(t.fd, t.originalLength);
            }
        }
    }
    set_.Abandon();
    for (auto &[file, t] : targets_)
        if (!t.created)
            WF_Close(t.fd);
    for (auto &[file, fd] : copies_)
        WF_Close(fd);
    targets_.clear();
    copies_.clear();
    WF_Close(oldEp_);
    epFd_ = oldEp_ = -1;
}

bool Saver::Run(std::string &error)
{
    if (!inPlace_ && !Pak_HasPakExtension(outPath_))
        return Fail(error, "The output '" + outPath_ + "' must end in .pak.");
    if (inPlace_ && Sys_PathKind(inPath_, false) == SysKind::Link)
        return Fail(error, "'" + inPath_ + "' is a link; Quillon does not write through links. Nothing was changed.");
    inputs_.push_back(inPath_);
    for (int32_t i = 0, count = PakWrite_Count(w_); i < count; ++i) {
        const int file = PW_At(w_, i).File();
        const std::string path = PW_FileOnDisk(w_.archive, file);
        if (file != kEntryPointFile && std::find(inputs_.begin(), inputs_.end(), path) == inputs_.end())
            inputs_.push_back(path);
    }
    if (!inPlace_ && !TakeOutput(error))
        return false;
    reference_ = inPlace_ ? inPath_ : oldOutput_.reference;
    if (!PlanMoves(error) || !OpenTargets(error))
        return false;
    for (Move &m : moves_)
        if (!Place(m, error))
            return false;
    if (!inPlace_ && !CheckOutputs(error))
        return false;
    if (!WriteMoves(error) || !WriteEntryPoint(error))
        return false;
    if (oldOutput_.exists) {
        std::vector<std::string> written{outPath_};
        for (const auto &[file, t] : targets_)
            written.push_back(t.path);
        PW_RemoveOldCompanions(oldOutput_, written);
    }
    for (auto &[file, t] : targets_) {
        if (t.appended > 0)
            report_.appended.push_back({PW_BaseName(t.path), t.appended, t.created && (inPlace_ || !copies_.count(file))});
        report_.written += t.appended + (copies_.count(file) ? static_cast<uint64_t>(t.originalLength) : 0);
    }
    uint64_t epAppended = 0;
    for (const Move *m : epMoves_)
        epAppended += m->size;
    if (epAppended > 0)
        report_.appended.insert(report_.appended.begin(), {PW_BaseName(outPath_), epAppended, false});
    report_.written += static_cast<uint64_t>(w_.entryPointLength);
    Abandon();  // closes the files; the save is committed
    return true;
}

}  // namespace

bool PakWrite_SaveCompact(PakWriter &w, const PakSaveOptions &options, PakSaveReport &report,
                          std::shared_ptr<PakSetLock> &outputLock, std::string &error);

bool PakWrite_Save(PakWriter &w, const PakSaveOptions &options, PakSaveReport &report, std::string &error)
{
    report = PakSaveReport{};
    const std::string out = options.output.empty() ? w.archive.path : options.output;
    bool ok;
    if (options.compact) {
        std::shared_ptr<PakSetLock> outputLock;
        ok = PakWrite_SaveCompact(w, options, report, outputLock, error);
        if (ok && outputLock)
            w.lock = outputLock;
    } else {
        // The index as edited, should the save fail and the caller keep editing.
        const std::vector<uint8_t> index = w.index;
        Saver saver(w, options, report);
        ok = saver.Run(error);
        if (!ok)
            w.index = index;
        else if (!options.output.empty())
            w.lock = saver.OutputLock();
    }
    if (!ok)
        return false;
    // The writer now stands for what was written, and holds its lock.
    std::string reopenError;
    if (!PW_OpenIndex(out, w, reopenError)) {
        error = "The archive was saved but does not open again: " + reopenError;
        return false;
    }
    return true;
}
