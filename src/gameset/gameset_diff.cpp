// What changed between two versions of an archive, or of a folder of them.
// Entries are matched by name and occurrence; equal stored bytes settle an
// entry without expanding it, and only entries whose stored bytes differ are
// expanded and hashed, on several threads.
#include "gameset/gameset.h"
#include "base/parallel.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <set>
#include <thread>
#include <xxhash.h>

namespace {

// Stored bytes are compared and hashed this much at a time.
constexpr size_t kChunk = 1u << 20;

unsigned char Fold(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

// Names in list order (case ignored), names equal but for case by their
// bytes, so that the order is total and the same in both versions.
int CompareNames(std::string_view a, std::string_view b)
{
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (Fold(a[i]) != Fold(b[i]))
            return Fold(a[i]) < Fold(b[i]) ? -1 : 1;
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

struct Keyed {
    std::string_view name;
    int occurrence;
    const PakEntry *entry;
};

// The stored entries of `pak` with their keys, sorted by key.
std::vector<Keyed> KeysOf(const PakArchive &pak)
{
    std::vector<Keyed> keys;
    std::map<std::string_view, int> seen;
    for (const PakEntry &entry : pak.entries) {
        if (entry.displayName[0] == '\0')
            continue;
        const std::string_view name(entry.name, strnlen(entry.name, sizeof entry.name));
        keys.push_back({name, ++seen[name], &entry});
    }
    std::sort(keys.begin(), keys.end(), [](const Keyed &a, const Keyed &b) {
        const int c = CompareNames(a.name, b.name);
        return c != 0 ? c < 0 : a.occurrence < b.occurrence;
    });
    return keys;
}

// One comparing thread's open files and buffers.
struct Reader {
    PakOpenFile oldOpen, newOpen;
    std::vector<uint8_t> a = std::vector<uint8_t>(kChunk), b = std::vector<uint8_t>(kChunk);
    std::vector<uint8_t> resource;
};

struct Side {
    const PakArchive &pak;
    const PakEntry &entry;
    PakOpenFile &open;
};

enum class Verdict { Same, Differs, Trouble };

struct Fingerprint {
    uint64_t length = 0;
    XXH128_hash_t hash{};
};

// A resource is its stored bytes unless they are an "LZO" block; the loader
// decides whether such a block expands.
bool StoredCompressed(Side side, uint8_t *scratch, PakLoadResult &result)
{
    if (side.entry.size <= 3)
        return false;
    result = Pak_ReadStored(side.pak, side.entry, 0, scratch, 3, side.open);
    return result == PakLoadResult::Ok && memcmp(scratch, "LZO", 3) == 0;
}

// Length and hash of the entry's resource: a compressed entry expanded, a
// plain one streamed from its file a chunk at a time.
PakLoadResult FingerprintOf(Side side, bool compressed, Reader &r, Fingerprint &print)
{
    if (compressed) {
        const PakLoadResult result = Pak_LoadEntry(side.pak, side.entry, r.resource, nullptr, side.open);
        if (result == PakLoadResult::Ok)
            print = {r.resource.size(), XXH3_128bits(r.resource.data(), r.resource.size())};
        return result;
    }
    XXH3_state_t *state = XXH3_createState();
    if (!state)
        return PakLoadResult::NoMemory;
    XXH3_128bits_reset(state);
    PakLoadResult result = PakLoadResult::Ok;
    for (uint64_t at = 0; at < side.entry.size && result == PakLoadResult::Ok; at += kChunk) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, side.entry.size - at));
        result = Pak_ReadStored(side.pak, side.entry, at, r.a.data(), n, side.open);
        XXH3_128bits_update(state, r.a.data(), n);
    }
    print = {side.entry.size, XXH3_128bits_digest(state)};
    XXH3_freeState(state);
    return result;
}

// Whether two entries hold the same resource. `failed` is the side and
// result of a read that failed.
Verdict Compare(Side older, Side newer, Reader &r, const PakEntry **failedEntry, PakLoadResult &failed)
{
    auto trouble = [&](const Side &side, PakLoadResult result) {
        *failedEntry = &side.entry;
        failed = result;
        return Verdict::Trouble;
    };
    PakLoadResult result = PakLoadResult::Ok;
    const bool oldCompressed = StoredCompressed(older, r.a.data(), result);
    if (result != PakLoadResult::Ok)
        return trouble(older, result);
    const bool newCompressed = StoredCompressed(newer, r.b.data(), result);
    if (result != PakLoadResult::Ok)
        return trouble(newer, result);

    if (older.entry.size == newer.entry.size) {
        bool equal = true;
        for (uint64_t at = 0; at < older.entry.size && equal; at += kChunk) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, older.entry.size - at));
            if ((result = Pak_ReadStored(older.pak, older.entry, at, r.a.data(), n, older.open)) != PakLoadResult::Ok)
                return trouble(older, result);
            if ((result = Pak_ReadStored(newer.pak, newer.entry, at, r.b.data(), n, newer.open)) != PakLoadResult::Ok)
                return trouble(newer, result);
            equal = memcmp(r.a.data(), r.b.data(), n) == 0;
        }
        if (equal)
            return Verdict::Same;
    }
    // Plain on both sides, the stored bytes are the resources.
    if (!oldCompressed && !newCompressed)
        return Verdict::Differs;

    Fingerprint a, b;
    if ((result = FingerprintOf(older, oldCompressed, r, a)) != PakLoadResult::Ok)
        return trouble(older, result);
    if ((result = FingerprintOf(newer, newCompressed, r, b)) != PakLoadResult::Ok)
        return trouble(newer, result);
    return a.length == b.length && XXH128_isEqual(a.hash, b.hash) ? Verdict::Same : Verdict::Differs;
}

// The troubles of one archive, each message once (a missing companion fails
// every entry it holds).
struct TroubleLog {
    const GamesetTrouble &trouble;
    size_t count = 0;
    std::set<std::string> told;
    void Tell(const std::string &message)
    {
        ++count;
        if (trouble && told.insert(message).second)
            trouble(message);
    }
};

int WorkerCount(int asked, size_t work)
{
    return Base_WorkerCount(asked, work);
}

// Every entry of an archive present on one side only.
void WholeArchive(GamesetArchiveDiff &diff, const PakArchive &pak, GamesetChange change)
{
    diff.change = change;
    for (const Keyed &k : KeysOf(pak)) {
        GamesetEntryDiff d;
        d.change = change;
        d.name = k.name;
        d.occurrence = k.occurrence;
        (change == GamesetChange::Added ? d.newEntry : d.oldEntry) = k.entry;
        diff.entries.push_back(d);
    }
}

}  // namespace

GamesetDiffSummary Gameset_DiffArchives(const std::string &name, const PakArchive &oldPak,
                                        const PakArchive &newPak, const GamesetDiffOptions &options,
                                        const GamesetDiffSink &sink, const GamesetTrouble &trouble)
{
    GamesetArchiveDiff diff;
    diff.name = name;
    diff.oldPak = &oldPak;
    diff.newPak = &newPak;
    const std::vector<Keyed> olds = KeysOf(oldPak), news = KeysOf(newPak);
    std::vector<size_t> both;  // entries of both versions, compared below
    for (size_t i = 0, k = 0; i < olds.size() || k < news.size();) {
        int c = i == olds.size() ? 1 : k == news.size() ? -1 : CompareNames(olds[i].name, news[k].name);
        if (c == 0)
            c = olds[i].occurrence - news[k].occurrence;
        GamesetEntryDiff d;
        if (c < 0) {
            d = {GamesetChange::Removed, olds[i].name, olds[i].occurrence, olds[i].entry, nullptr};
            ++i;
        } else if (c > 0) {
            d = {GamesetChange::Added, news[k].name, news[k].occurrence, nullptr, news[k].entry};
            ++k;
        } else {
            d = {GamesetChange::Unchanged, olds[i].name, olds[i].occurrence, olds[i].entry, news[k].entry};
            both.push_back(diff.entries.size());
            ++i, ++k;
        }
        diff.entries.push_back(d);
    }
    // Read in the old version's index order, which is close to the order of
    // the bytes in its files.
    std::sort(both.begin(), both.end(),
              [&](size_t a, size_t b) { return diff.entries[a].oldEntry->index < diff.entries[b].oldEntry->index; });

    std::vector<std::string> troubles(diff.entries.size());
    std::atomic<size_t> next{0};
    auto work = [&] {
        Reader r;
        for (size_t w; (w = next.fetch_add(1)) < both.size();) {
            GamesetEntryDiff &d = diff.entries[both[w]];
            const PakEntry *failedEntry = nullptr;
            PakLoadResult failed = PakLoadResult::Ok;
            const Verdict verdict = Compare({oldPak, *d.oldEntry, r.oldOpen}, {newPak, *d.newEntry, r.newOpen}, r,
                                            &failedEntry, failed);
            if (verdict == Verdict::Differs) {
                d.change = GamesetChange::Changed;
            } else if (verdict == Verdict::Trouble) {
                const PakArchive &pak = failedEntry == d.oldEntry ? oldPak : newPak;
                std::string message = Pak_LoadMessage(failed, pak, *failedEntry);
                if (failed != PakLoadResult::CannotOpen)
                    message = std::string(failedEntry->displayName) + ": " + message;
                troubles[both[w]] = message;
            }
        }
    };
    std::vector<std::thread> threads;
    const int workers = WorkerCount(options.workers, both.size());
    for (int t = 1; t < workers; ++t)
        threads.emplace_back(work);
    work();
    for (std::thread &t : threads)
        t.join();

    TroubleLog log{trouble};
    GamesetDiffSummary summary;
    for (size_t i = 0; i < diff.entries.size(); ++i) {
        if (!troubles[i].empty())
            log.Tell(name + ": " + troubles[i]);
        if (diff.entries[i].change != GamesetChange::Unchanged)
            diff.change = GamesetChange::Changed;
    }
    summary.differs = diff.change != GamesetChange::Unchanged;
    summary.troubles = log.count;
    if (sink)
        sink(diff);
    return summary;
}

GamesetDiffSummary Gameset_DiffFolders(const std::string &oldFolder, const std::string &newFolder,
                                       const GamesetDiffOptions &options, const GamesetDiffSink &sink,
                                       const GamesetTrouble &trouble)
{
    GamesetDiffSummary summary;
    TroubleLog log{trouble};
    std::vector<GamesetArchive> olds, news;
    std::string error;
    if (!Gameset_ListArchives(oldFolder, options.recursive, olds, error) ||
        !Gameset_ListArchives(newFolder, options.recursive, news, error)) {
        log.Tell(error);
        summary.troubles = log.count;
        return summary;
    }
    auto open = [&](const GamesetArchive &archive, PakArchive &pak) {
        const PakOpenResult result = Pak_OpenArchive(archive.path, pak);
        if (result != PakOpenResult::Ok)
            log.Tell(archive.path + ": " + Pak_OpenMessage(result));
        return result == PakOpenResult::Ok;
    };
    // Archives pair by name with case ignored: a patch may bring a name in
    // another case than the game's own copy.
    for (size_t i = 0, k = 0; i < olds.size() || k < news.size();) {
        const int c = i == olds.size() ? 1
                      : k == news.size() ? -1
                                         : Pak_CompareLines(olds[i].name.c_str(), news[k].name.c_str());
        PakArchive oldPak, newPak;
        if (c != 0) {
            const GamesetArchive &archive = c < 0 ? olds[i++] : news[k++];
            PakArchive &pak = c < 0 ? oldPak : newPak;
            if (!open(archive, pak))
                continue;
            GamesetArchiveDiff diff;
            diff.name = archive.name;
            (c < 0 ? diff.oldPak : diff.newPak) = &pak;
            WholeArchive(diff, pak, c < 0 ? GamesetChange::Removed : GamesetChange::Added);
            summary.differs = true;
            if (sink)
                sink(diff);
            continue;
        }
        const GamesetArchive &older = olds[i++], &newer = news[k++];
        if (!open(older, oldPak) || !open(newer, newPak))
            continue;
        const GamesetDiffSummary one = Gameset_DiffArchives(newer.name, oldPak, newPak, options, sink, trouble);
        summary.differs |= one.differs;
        summary.troubles += one.troubles;
    }
    summary.troubles += log.count;
    return summary;
}
