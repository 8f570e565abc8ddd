// Searching inside entries and finding what names an entry: the entries of
// one archive read once each on the ordered worker pool, their findings
// handed on in list order.
#include "gameset/gameset.h"
#include "base/ascii.h"
#include "base/parallel.h"

#include "base/platform.h"
#include "lookup/lookup.h"
#include "material/material.h"
#include "model/model.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <set>
#include <stdexcept>

namespace {

// A plain entry's first bytes, read to learn its kind before the rest.
constexpr size_t kPrefix = 64u << 10;
// Text is folded for a case-blind search this much at a time.
constexpr size_t kFoldPiece = 128u << 10;
// A worker keeps a buffer this large from one entry to the next.
constexpr size_t kKeptBuffer = 16u << 20;

// What one entry gave: its hits, with the text each one carries, or why it
// could not be read.
struct Found {
    size_t line = 0, surface = 0;
    std::string text;
};
struct EntryResult {
    ResourceKind kind = KindCount;
    std::vector<Found> found;
    std::string trouble;
};

// One reading thread's open file and buffers, and its own copy of a
// regular expression (a matcher may lock the one it runs).
struct Reader {
    PakOpenFile open;
    std::vector<uint8_t> prefix, bytes, folded;
    std::unique_ptr<SysRegex, void (*)(SysRegex *)> regex{nullptr, Sys_FreeRegex};
};

// What is looked for in an entry's text, and where.
struct EntrySearch {
    std::function<bool(ResourceKind kind)> wanted;
    // Adds the hits of an entry of `kind` whose resource is `bytes`.
    std::function<void(Reader &reader, ResourceKind kind, std::vector<uint8_t> &bytes, std::vector<Found> &found)>
        search;
};

bool StoredCompressed(const uint8_t *prefix, size_t n)
{
    return n >= 3 && memcmp(prefix, "LZO", 3) == 0;
}

// Reads one entry and searches it.
void SearchEntry(const PakArchive &pak, const PakEntry &entry, const EntrySearch &how, bool allKinds,
                 Reader &r, EntryResult &result)
{
    auto failed = [&](PakLoadResult loaded) {
        result.trouble = Pak_LoadMessage(loaded, pak, entry);
        if (loaded != PakLoadResult::CannotOpen)
            result.trouble = std::string(entry.displayName) + ": " + result.trouble;
    };
    if (entry.size == kPakSkippedSize)
        return;
    if (!allKinds) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(entry.size, kPrefix));
        r.prefix.resize(n);
        const PakLoadResult loaded = Pak_ReadStored(pak, entry, 0, r.prefix.data(), n, r.open);
        if (loaded != PakLoadResult::Ok)
            return failed(loaded);
        ResourceKind kind;
        if (!StoredCompressed(r.prefix.data(), n) && ClassifyResourcePrefix(r.prefix.data(), n, entry.size, kind) &&
            !how.wanted(kind))
            return;
    }
    const PakLoadResult loaded = Pak_LoadEntry(pak, entry, r.bytes, nullptr, r.open);
    if (loaded != PakLoadResult::Ok)
        return failed(loaded);
    result.kind = ClassifyResource(r.bytes.data(), r.bytes.size());
    if (allKinds || how.wanted(result.kind))
        how.search(r, result.kind, r.bytes, result.found);
    // A large entry's buffers are not kept for the small ones after it.
    if (r.bytes.capacity() > kKeptBuffer)
        std::vector<uint8_t>().swap(r.bytes);
    if (r.folded.capacity() > kKeptBuffer)
        std::vector<uint8_t>().swap(r.folded);
}

GamesetSearchSummary ScanArchive(const GamesetArchive &archive, const PakArchive &pak,
                                 const GamesetSearchOptions &options, const EntrySearch &how,
                                 const GamesetTextSink &hit, const GamesetTrouble &trouble)
{
    GamesetSearchSummary summary;
    const std::vector<int> slots = Pak_SortedLines(pak);
    const int workers = Base_WorkerCount(options.workers, slots.size());
    std::vector<Reader> readers(static_cast<size_t>(workers));
    std::vector<EntryResult> ring(Base_OrderedWindow(workers));
    std::set<std::string> told;
    auto make = [&](int worker, size_t i) {
        EntryResult &result = ring[i % ring.size()];
        result = EntryResult{};
        const PakEntry &entry = pak.entries[static_cast<size_t>(slots[i])];
        try {
            SearchEntry(pak, entry, how, options.allKinds, readers[static_cast<size_t>(worker)], result);
        } catch (const std::bad_alloc &) {
            result.found.clear();
            result.trouble = std::string(entry.displayName) + ": not enough memory to search this entry.";
        } catch (const std::exception &e) {  // a regular expression too costly for a line
            result.found.clear();
            result.trouble = std::string(entry.displayName) + ": the search of this entry failed: " + e.what();
        }
    };
    auto take = [&](size_t i) {
        EntryResult &result = ring[i % ring.size()];
        const PakEntry &entry = pak.entries[static_cast<size_t>(slots[i])];
        if (!result.trouble.empty()) {
            ++summary.troubles;
            const std::string message = archive.name + ": " + result.trouble;
            if (trouble && told.insert(message).second)
                trouble(message);
        }
        for (const Found &f : result.found) {
            ++summary.hits;
            if (hit)
                hit(GamesetTextHit{archive, pak, entry, result.kind, f.line, f.surface, f.text});
        }
        result = EntryResult{};
    };
    summary.stopped = !Base_RunOrdered(slots.size(), workers, options.stop, make, take);
    return summary;
}

GamesetSearchSummary EachArchive(const std::vector<GamesetArchive> &archives, const GamesetSearchOptions &options,
                                 const GamesetTrouble &trouble,
                                 const std::function<GamesetSearchSummary(const GamesetArchive &, const PakArchive &)> &one)
{
    GamesetSearchSummary summary;
    for (const GamesetArchive &archive : archives) {
        if (options.stop && options.stop->load()) {
            summary.stopped = true;
            break;
        }
        PakArchive pak;
        const PakOpenResult result = Pak_OpenArchive(archive.path, pak);
        if (result != PakOpenResult::Ok) {
            ++summary.troubles;
            if (trouble)
                trouble(archive.name + ": " + Pak_OpenMessage(result));
            continue;
        }
        const GamesetSearchSummary part = one(archive, pak);
        summary.hits += part.hits;
        summary.troubles += part.troubles;
        if (part.stopped) {
            summary.stopped = true;
            break;
        }
    }
    return summary;
}

// ---- lines ----

// Walks the lines of a text, counting them, to the line that holds a byte.
class LineWalker {
public:
    LineWalker(const uint8_t *text, size_t length) : text_(text), length_(length) {}

    // The line holding byte `at` (not before the last line given): adds it
    // to `found`; returns where the next line starts (`length` when none).
    size_t Take(size_t at, std::vector<Found> &found)
    {
        for (const uint8_t *nl; (nl = static_cast<const uint8_t *>(memchr(text_ + start_, '\n', at - start_)));) {
            start_ = static_cast<size_t>(nl - text_) + 1;
            ++line_;
        }
        const uint8_t *nl = static_cast<const uint8_t *>(memchr(text_ + at, '\n', length_ - at));
        const size_t end = nl ? static_cast<size_t>(nl - text_) : length_;
        found.push_back({line_, 0, std::string(reinterpret_cast<const char *>(text_ + start_),
                                                Visible(start_, end))});
        if (!nl)
            return length_;
        start_ = end + 1;
        ++line_;
        return start_;
    }

    // The bytes of the line [start, end) a hit carries: without a CR that
    // ends it, cut at kGamesetLineCut.
    size_t Visible(size_t start, size_t end) const
    {
        if (end > start && text_[end - 1] == '\r')
            --end;
        return std::min(end - start, kGamesetLineCut);
    }

private:
    const uint8_t *text_;
    size_t length_;
    size_t start_ = 0, line_ = 1;
};

// The text a search looks through: an effect container's dependency
// listing, any other resource its bytes.
const std::vector<uint8_t> &TextOf(ResourceKind kind, std::vector<uint8_t> &bytes)
{
    if (kind == KindEffectMedia) {
        const std::string listing = BuildDependencyListing(bytes);
        bytes.assign(listing.begin(), listing.end());
    }
    return bytes;
}

// ---- the text search ----

struct Pattern {
    bool regex = false;
    bool matchCase = false;
    std::string needle;  // folded unless matchCase; the expression itself with `regex`
};

// The options' text read once; false with `error` when a regular expression does not compile.
bool CompilePattern(const GamesetSearchOptions &options, Pattern &p, std::string &error)
{
    p.regex = options.regex;
    p.matchCase = options.matchCase;
    if (!options.regex) {
        p.needle = options.text;
        if (!options.matchCase)
            for (char &c : p.needle)
                c = static_cast<char>(Ascii_Fold(static_cast<unsigned char>(c)));
        return true;
    }
    p.needle = options.text;
    SysRegex *compiled = Sys_CompileRegex(options.text, options.matchCase, error);
    if (!compiled) {
        error = "the regular expression does not compile: " + error;
        return false;
    }
    Sys_FreeRegex(compiled);
    return true;
}

void SearchFixed(const Pattern &p, Reader &r, const std::vector<uint8_t> &text, std::vector<Found> &found)
{
    LineWalker lines(text.data(), text.size());
    if (p.needle.empty()) {  // as grep: an empty text is in every line
        for (size_t at = 0; at < text.size();)
            at = lines.Take(at, found);
        return;
    }
    // Case is folded a piece at a time into a buffer that stays in the
    // cache; pieces overlap by the needle's length less one byte.
    const size_t piece = p.matchCase ? text.size() : kFoldPiece, overlap = p.needle.size() - 1;
    const std::boyer_moore_horspool_searcher searcher(p.needle.begin(), p.needle.end());
    for (size_t at = 0; at + p.needle.size() <= text.size();) {
        const size_t end = std::min(text.size(), at + piece + overlap);
        const char *first = reinterpret_cast<const char *>(text.data() + at);
        if (!p.matchCase) {
            r.folded.resize(end - at);
            std::transform(text.begin() + static_cast<ptrdiff_t>(at), text.begin() + static_cast<ptrdiff_t>(end),
                           r.folded.begin(), Ascii_Fold);
            first = reinterpret_cast<const char *>(r.folded.data());
        }
        const char *last = first + (end - at);
        const char *match = std::search(first, last, searcher);
        if (match != last)
            at = lines.Take(at + static_cast<size_t>(match - first), found);
        else if (end == text.size())
            break;
        else
            at = end - overlap;
    }
}

void SearchRegex(const Pattern &p, Reader &r, const std::vector<uint8_t> &text, std::vector<Found> &found)
{
    std::string error;
    if (!r.regex)
        r.regex.reset(Sys_CompileRegex(p.needle, p.matchCase, error));
    if (!r.regex)
        throw std::runtime_error("the regular expression does not compile: " + error);
    const char *data = reinterpret_cast<const char *>(text.data());
    size_t line = 1;
    for (size_t start = 0; start < text.size(); ++line) {
        const char *nl = static_cast<const char *>(memchr(data + start, '\n', text.size() - start));
        size_t end = nl ? static_cast<size_t>(nl - data) : text.size();
        const size_t next = nl ? end + 1 : text.size();
        if (end > start && data[end - 1] == '\r')
            --end;
        const char *from = data + start;
        if (Sys_RegexFinds(r.regex.get(), from, end - start))
            found.push_back({line, 0, std::string(from, std::min(end - start, kGamesetLineCut))});
        start = next;
    }
}

// ---- names ----

// Bytes that can be part of a name: a byte next to a match that is one of
// these makes it part of a longer name.
bool NameByte(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.' || c == '/' || c == '\\' || c >= 0x80;
}

// A name looked for: its stem and extension, '\\' read as '/'.
struct NameRule {
    std::string stem, extension;  // "tex/stone", "dds"; extension empty when it has none

    explicit NameRule(std::string_view name)
    {
        std::string whole(name);
        std::replace(whole.begin(), whole.end(), '\\', '/');
        const size_t dot = whole.rfind('.');
        const size_t slash = whole.rfind('/');
        if (dot != std::string::npos && dot > 0 && dot + 1 < whole.size() &&
            (slash == std::string::npos || dot > slash + 1)) {
            stem = whole.substr(0, dot);
            extension = whole.substr(dot + 1);
        } else {
            stem = whole;
        }
    }

    // The length of the whole name at the start of `text` (separators read
    // alike) that names this one, or 0. `text` must already hold '/' for '\\'.
    size_t NamedAt(std::string_view text) const
    {
        if (stem.empty() || text.size() < stem.size() || !Lookup_SameName(text.substr(0, stem.size()), stem))
            return 0;
        size_t at = stem.size();
        if (at == text.size() || !NameByte(static_cast<unsigned char>(text[at])))
            return at;
        if (text[at] != '.')
            return 0;
        size_t end = at + 1;
        while (end < text.size() && NameByte(static_cast<unsigned char>(text[end])) && text[end] != '.' &&
               text[end] != '/')
            ++end;
        if (end == at + 1 || (end < text.size() && NameByte(static_cast<unsigned char>(text[end]))))
            return 0;
        const std::string_view given = text.substr(at + 1, end - at - 1);
        return extension.empty() || Lookup_SameName(given, extension) ? end : 0;
    }
};

void SearchNames(const NameRule &rule, Reader &r, const std::vector<uint8_t> &text, std::vector<Found> &found)
{
    r.folded.assign(text.begin(), text.end());
    std::replace(r.folded.begin(), r.folded.end(), static_cast<uint8_t>('\\'), static_cast<uint8_t>('/'));
    const std::string_view all(reinterpret_cast<const char *>(r.folded.data()), r.folded.size());
    LineWalker lines(text.data(), text.size());
    for (size_t at = 0; at < all.size(); ++at) {
        if ((at > 0 && NameByte(static_cast<unsigned char>(all[at - 1]))) || !rule.NamedAt(all.substr(at)))
            continue;
        at = lines.Take(at, found);
        if (at == all.size())
            break;
        --at;  // the loop's step lands on the next line's first byte
    }
}

void SearchSurfaces(const NameRule &rule, const std::vector<uint8_t> &bytes, std::vector<Found> &found)
{
    std::unique_ptr<Model, void (*)(Model *)> model(Model_Parse(bytes.data(), bytes.size()), Model_Free);
    if (!model)
        return;
    for (size_t s = 0; s < model->surfaces.size(); ++s) {
        const ModelSurface &surface = model->surfaces[s];
        std::string name(surface.materialName, strnlen(surface.materialName, sizeof surface.materialName));
        std::replace(name.begin(), name.end(), '\\', '/');
        if (!name.empty() && rule.NamedAt(name) == name.size())
            found.push_back({0, s + 1, std::string()});
    }
}

bool TextLike(ResourceKind kind)
{
    return ResourceKind_IsTextual(kind);
}

}  // namespace

GamesetSearchSummary Gameset_SearchArchive(const GamesetArchive &archive, const PakArchive &pak,
                                           const GamesetSearchOptions &options, const GamesetTextSink &hit,
                                           const GamesetTrouble &trouble)
{
    auto pattern = std::make_shared<Pattern>();
    GamesetSearchSummary summary;
    if (!CompilePattern(options, *pattern, summary.badPattern))
        return summary;
    EntrySearch how;
    how.wanted = [&options](ResourceKind kind) {
        return options.kinds.empty() ? TextLike(kind)
                                     : std::find(options.kinds.begin(), options.kinds.end(), kind) != options.kinds.end();
    };
    how.search = [pattern](Reader &r, ResourceKind kind, std::vector<uint8_t> &bytes, std::vector<Found> &found) {
        const std::vector<uint8_t> &text = TextOf(kind, bytes);
        if (pattern->regex)
            SearchRegex(*pattern, r, text, found);
        else
            SearchFixed(*pattern, r, text, found);
    };
    return ScanArchive(archive, pak, options, how, hit, trouble);
}

GamesetSearchSummary Gameset_Search(const std::vector<GamesetArchive> &archives,
                                    const GamesetSearchOptions &options, const GamesetTextSink &hit,
                                    const GamesetTrouble &trouble)
{
    // A pattern that does not compile is told once, before any archive is read.
    Pattern pattern;
    GamesetSearchSummary summary;
    if (!CompilePattern(options, pattern, summary.badPattern))
        return summary;
    return EachArchive(archives, options, trouble, [&](const GamesetArchive &archive, const PakArchive &pak) {
        return Gameset_SearchArchive(archive, pak, options, hit, trouble);
    });
}

GamesetSearchSummary Gameset_RefsArchive(const GamesetArchive &archive, const PakArchive &pak, std::string_view name,
                                         const GamesetSearchOptions &options, const GamesetTextSink &hit,
                                         const GamesetTrouble &trouble)
{
    if (name.empty() || memchr(name.data(), 0, name.size()))
        return {};
    auto rule = std::make_shared<NameRule>(name);
    GamesetSearchOptions own;
    own.workers = options.workers;
    own.stop = options.stop;
    EntrySearch how;
    how.wanted = [](ResourceKind kind) { return TextLike(kind) || kind == KindModel; };
    how.search = [rule](Reader &r, ResourceKind kind, std::vector<uint8_t> &bytes, std::vector<Found> &found) {
        if (kind == KindModel)
            SearchSurfaces(*rule, bytes, found);
        else
            SearchNames(*rule, r, TextOf(kind, bytes), found);
    };
    return ScanArchive(archive, pak, own, how, hit, trouble);
}

GamesetSearchSummary Gameset_Refs(const std::vector<GamesetArchive> &archives, std::string_view name,
                                  const GamesetSearchOptions &options, const GamesetTextSink &hit,
                                  const GamesetTrouble &trouble)
{
    return EachArchive(archives, options, trouble, [&](const GamesetArchive &archive, const PakArchive &pak) {
        return Gameset_RefsArchive(archive, pak, name, options, hit, trouble);
    });
}
