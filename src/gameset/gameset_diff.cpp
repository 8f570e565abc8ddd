// What changed between two versions of an archive, or of a folder of them.
// Entries are matched by name and occurrence; equal stored bytes settle an
// entry without expanding it, and only entries whose stored bytes differ are
// expanded and hashed, on several threads.
#include "gameset/gameset.h"

#include "base/ascii.h"
#include "base/parallel.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <xxhash.h>

namespace {

// Stored bytes are compared and hashed this much at a time.
constexpr size_t kChunk = 1u << 20;

// Names in list order (case ignored), names equal but for case by their
// bytes, so that the order is total and the same in both versions.
int CompareNames(std::string_view a, std::string_view b)
{
    const int c = Ascii_Compare(a, b);
    return c != 0 ? c : a.compare(b);
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
// result of a read that failed. With `oldPrint`, the old resource's print
// when the comparison read it (`*hashed` then set).
Verdict Compare(Side older, Side newer, Reader &r, const PakEntry **failedEntry, PakLoadResult &failed,
                Fingerprint *oldPrint = nullptr, bool *hashed = nullptr)
{
    auto trouble = [&](const Side &side, PakLoadResult result) {
        *failedEntry = &side.entry;
        failed = result;
        return Verdict::Trouble;
    };
    // An entry that its file cannot hold whole is no content: its missing
    // bytes would read as zeros, the same in both versions.
    PakLoadResult result = PakLoadResult::Ok;
    for (const Side *side : {&older, &newer})
        if (side->entry.size > 0 &&
            (result = Pak_ReadStored(side->pak, side->entry, side->entry.size - 1, r.a.data(), 1, side->open)) !=
                PakLoadResult::Ok)
            return trouble(*side, result);
    const bool oldCompressed = StoredCompressed(older, r.a.data(), result);
    if (result != PakLoadResult::Ok)
        return trouble(older, result);
    const bool newCompressed = StoredCompressed(newer, r.b.data(), result);
    if (result != PakLoadResult::Ok)
        return trouble(newer, result);

    if (older.entry.size == newer.entry.size) {
        // A plain old side is hashed as it is read, for a caller that asked.
        std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> owned(
            oldPrint && !oldCompressed ? XXH3_createState() : nullptr, XXH3_freeState);
        XXH3_state_t *state = owned.get();
        if (state)
            XXH3_128bits_reset(state);
        bool equal = true;
        uint64_t at = 0;
        for (; at < older.entry.size && equal; at += kChunk) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, older.entry.size - at));
            if ((result = Pak_ReadStored(older.pak, older.entry, at, r.a.data(), n, older.open)) != PakLoadResult::Ok)
                return trouble(older, result);
            if ((result = Pak_ReadStored(newer.pak, newer.entry, at, r.b.data(), n, newer.open)) != PakLoadResult::Ok)
                return trouble(newer, result);
            equal = memcmp(r.a.data(), r.b.data(), n) == 0;
            if (state)
                XXH3_128bits_update(state, r.a.data(), n);
        }
        if (equal)
            return Verdict::Same;
        for (; state && at < older.entry.size; at += kChunk) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, older.entry.size - at));
            if ((result = Pak_ReadStored(older.pak, older.entry, at, r.a.data(), n, older.open)) != PakLoadResult::Ok)
                return trouble(older, result);
            XXH3_128bits_update(state, r.a.data(), n);
        }
        if (state) {
            *oldPrint = {older.entry.size, XXH3_128bits_digest(state)};
            *hashed = true;
        }
    }
    // Plain on both sides, the stored bytes are the resources.
    if (!oldCompressed && !newCompressed)
        return Verdict::Differs;

    Fingerprint a, b;
    if ((result = FingerprintOf(older, oldCompressed, r, a)) != PakLoadResult::Ok)
        return trouble(older, result);
    if (oldPrint) {
        *oldPrint = a;
        *hashed = true;
    }
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
    const int workers = Base_WorkerCount(options.workers, both.size());
    std::vector<Reader> readers(static_cast<size_t>(workers));
    auto compare = [&](int worker, size_t w) {
        Reader &r = readers[static_cast<size_t>(worker)];
        GamesetEntryDiff &d = diff.entries[both[w]];
        const PakEntry *failedEntry = nullptr;
        PakLoadResult failed = PakLoadResult::Ok;
        Fingerprint print;
        bool hashed = false;
        const Verdict verdict = Compare({oldPak, *d.oldEntry, r.oldOpen}, {newPak, *d.newEntry, r.newOpen}, r,
                                        &failedEntry, failed, options.hashOld ? &print : nullptr, &hashed);
        if (verdict == Verdict::Differs) {
            d.change = GamesetChange::Changed;
            d.oldHashed = hashed;
            d.oldLength = print.length;
            d.oldHash[0] = print.hash.high64;
            d.oldHash[1] = print.hash.low64;
        } else if (verdict == Verdict::Trouble) {
            const PakArchive &pak = failedEntry == d.oldEntry ? oldPak : newPak;
            std::string message = Pak_LoadMessage(failed, pak, *failedEntry);
            if (failed != PakLoadResult::CannotOpen)
                message = std::string(failedEntry->displayName) + ": " + message;
            troubles[both[w]] = message;
        }
    };
    Base_RunOrdered(both.size(), workers, nullptr, compare, [](size_t) {});

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
    // Whatever of either folder cannot be read is trouble: an archive not
    // read would otherwise be taken as removed, or as nothing at all.
    const GamesetTrouble tell = [&](const std::string &message) { log.Tell(message); };
    if (!Gameset_ListArchives(oldFolder, options.recursive, olds, error, tell) ||
        !Gameset_ListArchives(newFolder, options.recursive, news, error, tell)) {
        log.Tell(error);
        summary.troubles = log.count;
        return summary;
    }
    auto openArchive = [&](const GamesetArchive &archive, PakArchive &pak) {
        const PakOpenResult result = Pak_OpenArchive(archive.path, pak);
        if (result != PakOpenResult::Ok)
            log.Tell(archive.path + ": " + Pak_OpenMessage(result));
        return result == PakOpenResult::Ok;
    };
    // Archives pair by name with case ignored: a patch may bring a name in
    // another case than the game's own copy. Among names equal but for case,
    // the same bytes pair first, then the rest in order.
    struct Pair {
        const GamesetArchive *older, *newer;
    };
    std::vector<Pair> pairs;
    for (size_t i = 0, k = 0; i < olds.size() || k < news.size();) {
        const int c = i == olds.size() ? 1
                      : k == news.size() ? -1
                                         : Pak_CompareLines(olds[i].name.c_str(), news[k].name.c_str());
        if (c != 0) {
            pairs.push_back(c < 0 ? Pair{&olds[i++], nullptr} : Pair{nullptr, &news[k++]});
            continue;
        }
        size_t iEnd = i, kEnd = k;
        while (iEnd < olds.size() && Pak_CompareLines(olds[iEnd].name.c_str(), olds[i].name.c_str()) == 0)
            ++iEnd;
        while (kEnd < news.size() && Pak_CompareLines(news[kEnd].name.c_str(), olds[i].name.c_str()) == 0)
            ++kEnd;
        std::vector<const GamesetArchive *> restOld, restNew;
        std::vector<bool> newPaired(kEnd - k);
        for (size_t a = i; a < iEnd; ++a) {
            size_t b = k;
            while (b < kEnd && (newPaired[b - k] || news[b].name != olds[a].name))
                ++b;
            if (b < kEnd) {
                newPaired[b - k] = true;
                pairs.push_back({&olds[a], &news[b]});
            } else {
                restOld.push_back(&olds[a]);
            }
        }
        for (size_t b = k; b < kEnd; ++b)
            if (!newPaired[b - k])
                restNew.push_back(&news[b]);
        for (size_t n = 0; n < std::max(restOld.size(), restNew.size()); ++n)
            pairs.push_back({n < restOld.size() ? restOld[n] : nullptr, n < restNew.size() ? restNew[n] : nullptr});
        i = iEnd, k = kEnd;
    }

    for (const Pair &pair : pairs) {
        PakArchive oldPak, newPak;
        if (!pair.older || !pair.newer) {
            const GamesetArchive &archive = pair.older ? *pair.older : *pair.newer;
            PakArchive &pak = pair.older ? oldPak : newPak;
            if (!openArchive(archive, pak))
                continue;
            GamesetArchiveDiff diff;
            diff.name = archive.name;
            (pair.older ? diff.oldPak : diff.newPak) = &pak;
            WholeArchive(diff, pak, pair.older ? GamesetChange::Removed : GamesetChange::Added);
            summary.differs = true;
            if (sink)
                sink(diff);
            continue;
        }
        if (!openArchive(*pair.older, oldPak) || !openArchive(*pair.newer, newPak))
            continue;
        const GamesetDiffSummary one = Gameset_DiffArchives(pair.newer->name, oldPak, newPak, options, sink, trouble);
        summary.differs |= one.differs;
        summary.troubles += one.troubles;
    }
    summary.troubles += log.count;
    return summary;
}
