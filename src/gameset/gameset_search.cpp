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
#include <span>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <functional>
#include <memory>
#include <new>
#include <set>
#include <stdexcept>

namespace {

// A plain entry's first bytes, read to learn its kind before the rest.
constexpr size_t kPrefix = 64u << 10;
// A reader keeps a buffer this large from one entry to the next.
constexpr size_t kKeptBuffer = 16u << 20;

// What one entry gave: its hits, their texts back to back in `texts`, or why
// it could not be read. Kept from one entry to the next, so that no hit
// allocates once the buffers have grown.
struct Found {
    size_t line = 0, surface = 0;
    size_t at = 0, length = 0;  // the hit's text in EntryResult::texts
};
struct EntryResult {
    ResourceKind kind = KindCount;
    std::vector<Found> found;
    std::string texts;
    std::string trouble;

    void Clear()
    {
        kind = KindCount;
        found.clear();
        texts.clear();
        trouble.clear();
    }
    void Add(size_t line, size_t surface, std::string_view text)
    {
        found.push_back({line, surface, texts.size(), text.size()});
        texts += text;
    }
};

// One reading thread's open file and buffers, and its own copy of a
// regular expression (a matcher may lock the one it runs).
struct Reader {
    PakOpenFile open;
    PakEntryBuffers buffers;
    std::vector<uint8_t> text;   // an effect container's listing
    std::vector<uint8_t> names;  // a name search's text with '/' for '\\'
    std::unique_ptr<SysRegex, void (*)(SysRegex *)> regex{nullptr, Sys_FreeRegex};
};

using Bytes = std::span<const uint8_t>;

// What is looked for in an entry's text, and where.
struct EntrySearch {
    std::function<bool(ResourceKind kind)> wanted;
    // Adds the hits of an entry of `kind` whose resource is `bytes`.
    std::function<void(Reader &reader, ResourceKind kind, Bytes bytes, EntryResult &result)> search;
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
    size_t have = 0;  // stored bytes already read
    if (!allKinds) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(entry.size, kPrefix));
        std::vector<uint8_t> &stored = r.buffers.stored;
        if (stored.capacity() > kKeptBuffer)  // a large entry's buffer is not kept for the small ones after it
            std::vector<uint8_t>().swap(stored);
        if (stored.size() < n)
            stored.resize(n);
        const PakLoadResult loaded = Pak_ReadStored(pak, entry, 0, stored.data(), n, r.open);
        if (loaded != PakLoadResult::Ok)
            return failed(loaded);
        ResourceKind kind;
        if (!StoredCompressed(stored.data(), n) && ClassifyResourcePrefix(stored.data(), n, entry.size, kind) &&
            !how.wanted(kind))
            return;
        have = n;
    }
    Bytes bytes;
    const PakLoadResult loaded = Pak_LoadEntryReusing(pak, entry, have, r.buffers, r.open, bytes);
    if (loaded != PakLoadResult::Ok)
        return failed(loaded);
    result.kind = ClassifyResource(bytes.data(), bytes.size());
    if (allKinds || how.wanted(result.kind))
        how.search(r, result.kind, bytes, result);
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
        result.Clear();
        const PakEntry &entry = pak.entries[static_cast<size_t>(slots[i])];
        try {
            SearchEntry(pak, entry, how, options.allKinds, readers[static_cast<size_t>(worker)], result);
        } catch (const std::bad_alloc &) {
            result.Clear();
            result.trouble = std::string(entry.displayName) + ": not enough memory to search this entry.";
        } catch (const std::exception &e) {  // a regular expression too costly for a line
            result.Clear();
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
                hit(GamesetTextHit{archive, pak, entry, result.kind, f.line, f.surface,
                                   std::string_view(result.texts).substr(f.at, f.length)});
        }
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

// ---- bytes ----

// The LF bytes of text[0, n).
size_t CountLines(const uint8_t *text, size_t n)
{
    size_t count = 0, i = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 16 <= n; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
        count += static_cast<size_t>(__builtin_popcount(
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, lf)))));
    }
#endif
    for (; i < n; ++i)
        count += text[i] == '\n';
    return count;
}

// A fixed string looked for with ASCII case ignored or not. Each byte of the
// text is compared as (byte | mask) against the folded needle, the mask 0x20
// where the needle holds a letter: that reads 'A'-'Z' as 'a'-'z' there and
// changes nothing else.
class FixedNeedle {
public:
    FixedNeedle(std::string_view needle, bool matchCase) : needle_(needle)
    {
        for (size_t i = 0; i < needle_.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(needle_[i]);
            const bool letter = !matchCase && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
            if (letter)
                c |= 0x20;
            needle_[i] = static_cast<char>(c);
            mask_.push_back(letter ? 0x20 : 0);
        }
    }

    size_t size() const { return needle_.size(); }

    // Where the needle first starts in text[from, n), or n. Not for an empty needle.
    size_t Find(const uint8_t *text, size_t n, size_t from) const
    {
        const size_t len = needle_.size();
        if (len > n)
            return n;
        const size_t lastStart = n - len;  // the last place the needle can start
        size_t i = from;
#if defined(__SSE2__)
        // Candidates where the first and the last byte both match, 16 places at a time.
        const __m128i first = _mm_set1_epi8(needle_[0]), firstMask = _mm_set1_epi8(static_cast<char>(mask_[0]));
        const __m128i last = _mm_set1_epi8(needle_[len - 1]),
                      lastMask = _mm_set1_epi8(static_cast<char>(mask_[len - 1]));
        for (; i + 15 <= lastStart; i += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i + len - 1));
            unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, firstMask), first),
                              _mm_cmpeq_epi8(_mm_or_si128(b, lastMask), last))));
            while (bits) {
                const size_t at = i + static_cast<size_t>(__builtin_ctz(bits));
                if (Matches(text + at))
                    return at;
                bits &= bits - 1;
            }
        }
#endif
        for (; i <= lastStart; ++i)
            if (Matches(text + i))
                return i;
        return n;
    }

private:
    bool Matches(const uint8_t *at) const
    {
        for (size_t k = 0; k < needle_.size(); ++k)
            if (static_cast<char>(at[k] | mask_[k]) != needle_[k])
                return false;
        return true;
    }

    std::string needle_;
    std::vector<uint8_t> mask_;
};

// ---- lines ----

// Walks the lines of a text, counting them, to the line that holds a byte.
class LineWalker {
public:
    LineWalker(const uint8_t *text, size_t length) : text_(text), length_(length) {}

    // The line holding byte `at` (not before the last line given): adds it
    // to `result`; returns where the next line starts (`length` when none).
    size_t Take(size_t at, EntryResult &result)
    {
        size_t lineStart = at;
        while (lineStart > start_ && text_[lineStart - 1] != '\n')
            --lineStart;
        line_ += CountLines(text_ + start_, lineStart - start_);
        start_ = lineStart;
        const uint8_t *nl = static_cast<const uint8_t *>(memchr(text_ + at, '\n', length_ - at));
        const size_t end = nl ? static_cast<size_t>(nl - text_) : length_;
        result.Add(line_, 0, std::string_view(reinterpret_cast<const char *>(text_ + start_), Visible(start_, end)));
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
// listing (made in the reader's buffer), any other resource its bytes.
Bytes TextOf(Reader &r, ResourceKind kind, Bytes bytes)
{
    if (kind != KindEffectMedia)
        return bytes;
    const std::string listing = BuildDependencyListing(bytes);
    r.text.assign(listing.begin(), listing.end());
    return r.text;
}

// ---- the text search ----

struct Pattern {
    bool regex = false;
    bool matchCase = false;
    bool firstOnly = false;
    std::string needle;  // the text, or with `regex` the expression
};

// The options' text read once; false with `error` when a regular expression does not compile.
bool CompilePattern(const GamesetSearchOptions &options, Pattern &p, std::string &error)
{
    p.regex = options.regex;
    p.matchCase = options.matchCase;
    p.firstOnly = options.firstLineOnly;
    p.needle = options.text;
    if (!options.regex)
        return true;
    SysRegex *compiled = Sys_CompileRegex(options.text, options.matchCase, error);
    if (!compiled) {
        error = "the regular expression does not compile: " + error;
        return false;
    }
    Sys_FreeRegex(compiled);
    return true;
}

void SearchFixed(const Pattern &p, const FixedNeedle &needle, Bytes text, EntryResult &result)
{
    LineWalker lines(text.data(), text.size());
    if (needle.size() == 0) {  // as grep: an empty text is in every line
        for (size_t at = 0; at < text.size() && !(p.firstOnly && !result.found.empty());)
            at = lines.Take(at, result);
        return;
    }
    for (size_t at = 0; at < text.size();) {
        const size_t match = needle.Find(text.data(), text.size(), at);
        if (match == text.size())
            break;
        at = lines.Take(match, result);
        if (p.firstOnly)
            break;
    }
}

void SearchRegex(const Pattern &p, Reader &r, Bytes text, EntryResult &result)
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
        if (Sys_RegexFinds(r.regex.get(), from, end - start)) {
            result.Add(line, 0, std::string_view(from, std::min(end - start, kGamesetLineCut)));
            if (p.firstOnly)
                break;
        }
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

void SearchNames(const NameRule &rule, Reader &r, Bytes text, EntryResult &found)
{
    r.names.assign(text.begin(), text.end());
    std::replace(r.names.begin(), r.names.end(), static_cast<uint8_t>('\\'), static_cast<uint8_t>('/'));
    const std::string_view all(reinterpret_cast<const char *>(r.names.data()), r.names.size());
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

void SearchSurfaces(const NameRule &rule, Bytes bytes, EntryResult &found)
{
    std::unique_ptr<Model, void (*)(Model *)> model(Model_Parse(bytes.data(), bytes.size()), Model_Free);
    if (!model)
        return;
    for (size_t s = 0; s < model->surfaces.size(); ++s) {
        const ModelSurface &surface = model->surfaces[s];
        std::string name(surface.materialName, strnlen(surface.materialName, sizeof surface.materialName));
        std::replace(name.begin(), name.end(), '\\', '/');
        if (!name.empty() && rule.NamedAt(name) == name.size())
            found.Add(0, s + 1, {});
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
    auto needle = std::make_shared<FixedNeedle>(pattern->needle, pattern->matchCase);
    how.search = [pattern, needle](Reader &r, ResourceKind kind, Bytes bytes, EntryResult &found) {
        const Bytes text = TextOf(r, kind, bytes);
        if (pattern->regex)
            SearchRegex(*pattern, r, text, found);
        else
            SearchFixed(*pattern, *needle, text, found);
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
    how.search = [rule](Reader &r, ResourceKind kind, Bytes bytes, EntryResult &found) {
        if (kind == KindModel)
            SearchSurfaces(*rule, bytes, found);
        else
            SearchNames(*rule, r, TextOf(r, kind, bytes), found);
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
