// The check of every record of an archive.
#include "pakwrite/pakwrite.h"
#include "pakwrite/pakwrite_local.h"
#include "pakwrite/write_files.h"

#include <algorithm>
#include <map>

namespace {

struct HeldFile {
    int fd = -1;
    int64_t length = -1;
    std::string path;
};

struct Range {
    uint64_t begin, end;
    int32_t record;
};

}  // namespace

bool PakWrite_Verify(const std::string &path, PakVerifyReport &report, std::string &error)
{
    report = PakVerifyReport{};
    PakArchive archive;
    const PakOpenResult opened = Pak_OpenArchive(path, archive);
    if (opened != PakOpenResult::Ok) {
        error = std::string(Pak_OpenMessage(opened)) + " (" + path + ")";
        return false;
    }
    const int32_t count = std::max<int32_t>(archive.header.count, 0);
    if (archive.entries.size() < static_cast<size_t>(count))
        report.broken.push_back({-1, "", "the index holds " + std::to_string(archive.entries.size()) + " of the " +
                                             std::to_string(count) + " records its header counts"});

    std::map<int, HeldFile> held;  // by file number: each is found on disk once
    std::map<int, std::vector<Range>> ranges;
    std::vector<uint8_t> stored;
    for (const PakEntry &entry : archive.entries) {
        if (entry.displayName[0] == '\0')
            continue;
        ++report.entries;
        auto broken = [&](const std::string &problem) {
            report.broken.push_back({entry.index, entry.displayName, problem});
        };
        const int file = (entry.part < 0 || entry.location == 3) ? kEntryPointFile : entry.part;
        HeldFile &h = held[file];
        if (h.path.empty()) {
            h.path = PW_FileOnDisk(archive, file);
            h.fd = WF_OpenRead(h.path, &h.length);
        }
        const std::string &filePath = h.path;
        if (h.fd < 0) {
            broken("its file '" + PW_BaseName(filePath) + "' is missing, unreadable or no regular file");
            continue;
        }
        const uint64_t end = uint64_t(entry.offset) + entry.size;
        if (entry.size > INT32_MAX || entry.offset > INT32_MAX) {
            broken("offset " + std::to_string(entry.offset) + " and size " + std::to_string(entry.size) +
                   " are beyond what a 32-bit seek reaches");
            continue;
        }
        if (end > static_cast<uint64_t>(h.length)) {
            broken("bytes " + std::to_string(entry.offset) + " to " + std::to_string(end) + " lie beyond the end of '" +
                   PW_BaseName(filePath) + "' (" + std::to_string(h.length) + " bytes)");
            continue;
        }
        report.storedBytes += entry.size;
        if (entry.size > 0)
            ranges[file].push_back({entry.offset, end, entry.index});
        uint8_t head[3] = {};
        if (entry.size <= 3 || !WF_ReadAt(h.fd, head, 3, entry.offset) || memcmp(head, "LZO", 3) != 0) {
            report.expandedBytes += entry.size;
            continue;
        }
        try {
            stored.resize(entry.size);
        } catch (const std::bad_alloc &) {
            broken("not enough memory to read it");
            continue;
        }
        if (!WF_ReadAt(h.fd, stored.data(), stored.size(), entry.offset)) {
            broken("reading it failed: " + WF_LastError());
            continue;
        }
        uint64_t expanded = 0;
        std::string why;
        if (!PW_LzoExpands(stored, &expanded, why)) {
            broken(why);
            continue;
        }
        ++report.compressed;
        report.expandedBytes += expanded;
    }
    for (auto &[p, h] : held)
        WF_Close(h.fd);

    // Overlaps: each range against the one reaching furthest before it.
    for (auto &[p, list] : ranges) {
        std::sort(list.begin(), list.end(), [](const Range &a, const Range &b) {
            return a.begin != b.begin ? a.begin < b.begin : a.record < b.record;
        });
        const Range *reach = nullptr;
        for (const Range &r : list) {
            if (reach && r.begin < reach->end) {
                const PakEntry &a = archive.entries[static_cast<size_t>(reach->record)];
                const bool same = r.begin == reach->begin && r.end == reach->end;
                report.overlaps.push_back({r.record, archive.entries[static_cast<size_t>(r.record)].displayName,
                                           std::string(same ? "shares its bytes with " : "overlaps ") + a.displayName});
            }
            if (!reach || r.end > reach->end)
                reach = &r;
        }
    }
    report.leftovers = PW_Leftovers(path);
    return true;
}
