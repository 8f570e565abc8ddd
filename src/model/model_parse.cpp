// The model container's heuristic parse. The container's header does not
// describe its surfaces in a form the viewer reads; instead the descriptors
// are found by their signature, the vertex stream table by a pattern, and each
// surface's texture coordinates by a plausibility search. Reader holds the
// resource's bounds: every read is checked with Reader::Has before it is made
// (its U16, U32 and F32 do not check, and a few loops read r.bytes directly
// inside a range checked once).
#include "base/bytes.h"
#include "model/model.h"
#include "material/material.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <new>

namespace {

constexpr int64_t kB20 = 0x20;            // base of the header fields that are relative
constexpr int64_t kHeaderEnd = 0xB4;      // the last header field read ends here
constexpr int64_t kDescriptorSize = 172;
constexpr int64_t kDescriptorReadEnd = 0x58;  // the fields read end with indexCount
constexpr int64_t kStreamRecordSize = 56;
constexpr int64_t kStreamFieldsEnd = 36;      // positionOffset .. texCoordOffset
constexpr int64_t kPositionStride = 24;
constexpr int kRebaseAboveDescriptors = 20;
// What a parse may allocate for indices and decoded vertices. Surfaces that
// read one vertex stream share one decoded copy of it, and a stream holds at
// most one vertex (56 bytes) per 24 bytes of resource, so a valid model stays
// far below this; only streams that a corrupt model makes up out of
// overlapping bytes can reach it.
constexpr int64_t kMemoryPerResourceByte = 64;
constexpr int64_t kMemoryBase = 1 << 20;
// The texture-coordinate searches of one parse read at most this many pairs.
// The search of a surface reads at most about 4.25 x stride x vertices pairs
// (109 million for a stride of 256 and 100,000 vertices; streams met in
// practice take far less), so only a corrupt model meets this bound; it ends
// the search as if it had found nothing.
constexpr int64_t kSearchReads = int64_t{1} << 27;
// Strides up to this keep one walk state per chain of candidates.
constexpr int64_t kChainStateStride = 4096;

// The resource and its length. Has() is the one bounds check; the readers
// below trust that it was made.
struct Reader {
    const uint8_t *bytes;
    int64_t length;

    bool Has(int64_t at, int64_t n) const { return at >= 0 && n >= 0 && at <= length && n <= length - at; }
    uint16_t U16(int64_t at) const { return Bytes_ReadU16LE(bytes + at); }
    uint32_t U32(int64_t at) const { return Bytes_ReadU32LE(bytes + at); }
    int32_t I32(int64_t at) const { return static_cast<int32_t>(U32(at)); }
    float F32(int64_t at) const
    {
        uint32_t bits = U32(at);
        float f;
        memcpy(&f, &bits, sizeof f);
        return f;
    }
};

struct Descriptor {
    int64_t at;
    uint32_t firstIndex;
    int32_t primitiveCount;
    int32_t vertexCount;
    uint32_t indexCount;
    int32_t materialIndex = -1;
    bool hasStreams = false;  // its stream record lies inside the resource
    uint32_t positionOffset = 0;
    uint32_t texCoordStride = 0;
    uint32_t texCoordOffset = 0;
};

bool IsDescriptor(const Reader &r, int64_t at, Descriptor &d)
{
    const uint16_t type = r.U16(at);
    const uint16_t flags = r.U16(at + 2);
    if (flags != 0 && flags != 0x400)
        return false;
    if (type != 0x2000 && type != 0x3000 && type != 0x3600)
        return false;
    d.at = at;
    d.firstIndex = r.U32(at + 0x38);
    d.primitiveCount = r.I32(at + 0x3C);
    d.vertexCount = r.I32(at + 0x40);
    d.indexCount = r.U32(at + 0x54);
    if (d.primitiveCount <= 0 || d.vertexCount <= 0)
        return false;
    const int64_t p = d.primitiveCount;
    return d.indexCount == p + 2 || d.indexCount == p * 3;
}

enum class IndexRead { Ok, Bad, OverBudget };

// Reads `count` indices of `width` bytes at `at` into `out`. Rebased reading
// subtracts the smallest of them (signed for 32-bit values) and keeps the low
// 16 bits; plain reading stores 16-bit values unchanged. Bad when the data
// passes the end or an index is not below the surface's vertex count. Every
// attempt is paid from `memory`, whether it succeeds or not: surfaces may all
// read the same bytes, and what they may take together is bounded by the
// resource's size, not by the counts they claim.
IndexRead ReadIndices(const Reader &r, int64_t at, int64_t count, int width, bool rebase, int32_t vertexCount,
                      int64_t &memory, std::vector<uint16_t> &out, int64_t &m)
{
    out.clear();
    m = 0;
    if (!r.Has(at, count * width))
        return IndexRead::Bad;
    const int64_t need = count * static_cast<int64_t>(sizeof(uint16_t));
    if (need > memory)
        return IndexRead::OverBudget;
    memory -= need;
    auto source = [&](int64_t i) -> int64_t {
        return width == 2 ? static_cast<int64_t>(r.U16(at + 2 * i)) : static_cast<int64_t>(r.I32(at + 4 * i));
    };
    if (rebase && count > 0) {
        m = source(0);
        for (int64_t i = 1; i < count; ++i)
            m = std::min(m, source(i));
    }
    out.resize(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
        const uint16_t index = static_cast<uint16_t>(static_cast<uint64_t>(source(i) - m) & 0xFFFF);
        if (index >= vertexCount) {
            out.clear();
            return IndexRead::Bad;
        }
        out[static_cast<size_t>(i)] = index;
    }
    return IndexRead::Ok;
}

// c = b / 255 x 2 - 1 per component, then scaled to unit length.
void DecodeDirection(const uint8_t *b, float out[3])
{
    for (int i = 0; i < 3; ++i)
        out[i] = static_cast<float>(b[i]) / 255.0f * 2.0f - 1.0f;
    const float length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
    const float inverse = 1.0f / length;
    for (int i = 0; i < 3; ++i)
        out[i] *= inverse;
}

bool PlausibleFirstPair(float u, float v)
{
    return u > -3 && u < 3 && v > -3 && v < 3 && std::fabs(u) > 0.0001 && std::fabs(v) > 0.0001;
}

// What the texture-coordinate walks know of one chain: the places a stride
// apart that the walks of candidates j, j + s, j + 2s ... visit. Element e of
// the chain is at chain base + e x s. Candidates of one chain come in
// ascending order, so what one walk learnt serves the next.
struct Chain {
    int64_t walkEnd = 0;        // elements after the candidate and before this one do not stop a walk
    bool walkEndStops = false;  // element walkEnd stops every walk that reaches it
    int64_t plainUpTo = 0;      // elements after the candidate and before this one are not significant
    int64_t significant = -1;   // when known, the first significant element after the candidate (= plainUpTo)
};

// The start of a surface's texture coordinates, relative to B20. The stream's
// layout within a vertex is unknown, so candidates 4 bytes apart are tried
// from one vertex before the stream on; the first whose pairs stay plausible
// for at least half the vertices, and are not all near zero, is taken.
// Without a find the stream is read from that first candidate place.
//
// A candidate's walk visits the same places as the walks of the candidates
// one stride before it, so each chain of candidates keeps where its walks
// stop and where its next significant pair is: a place is read about once
// per chain, not once per candidate. `reads` is what the parse may still
// read; when it runs out the search ends as if it had found nothing.
int64_t FindTexCoords(const Reader &r, const Descriptor &d, int64_t A, int64_t m, std::vector<Chain> &chains,
                      int64_t &reads)
{
    const int64_t s = d.texCoordStride;
    const int64_t o = d.texCoordOffset;
    const int64_t n = d.vertexCount;
    const int64_t limit = r.length - 32;
    int64_t G = A + o - s;
    if (s <= 20)
        G -= 20;
    // A walk of one vertex sees no pair; one with a stride past the resource
    // leaves it at its first step: neither can find a significant pair.
    if (n < 2 || s == 0 || s >= r.length)
        return G;

    // The candidates j = 0, 4, 8 ... below jEnd: j < s x n, and both places
    // the search checks first, A + o + 4 + j and A + o + j + (n + m) x s, in range.
    const int64_t rest = limit - A - o;
    int64_t jEnd = rest - 4;
    if (jEnd <= 0)
        return G;
    if (jEnd / s >= n)
        jEnd = s * n;
    if (n + m > 0) {
        if (n + m > rest / s)
            return G;
        jEnd = std::min(jEnd, rest - (n + m) * s);
    }
    // A walk's place p (relative to B20) is in range while p + walkMargin < limit.
    const int64_t walkMargin = A + o - G + 4;
    auto pair = [&](int64_t p, float &u, float &v) {
        u = r.F32(kB20 + p);
        v = r.F32(kB20 + p + 4);
    };
    auto significant = [](float u, float v) { return std::fabs(u) > 0.01 || std::fabs(v) > 0.01; };

    const bool keepChains = s <= kChainStateStride;
    if (keepChains)
        chains.assign(static_cast<size_t>(s), Chain{});
    Chain scratch;
    for (int64_t j = 0; j < jEnd; j += 4) {
        const int64_t C = G + j;
        if (!r.Has(kB20 + C, 8))
            continue;
        if (--reads < 0)
            return G;
        float u, v;
        pair(C, u, v);
        if (!PlausibleFirstPair(u, v))
            continue;

        Chain &c = keepChains ? chains[static_cast<size_t>(j % s)] : (scratch = Chain{});
        const int64_t base = G + j % s;
        const int64_t e = j / s;
        if (c.walkEnd <= e) {
            c.walkEnd = e + 1;
            c.walkEndStops = false;
        }
        if (c.significant <= e)
            c.significant = -1;
        if (c.plainUpTo <= e)
            c.plainUpTo = e + 1;
        // The walk visits elements e + 1 ... and stops at the first out of
        // range or with a pair beyond +-100, or after n - 1 of them. A pair
        // read here is judged for significance too when it is the next one due.
        while (!c.walkEndStops && c.walkEnd < e + n) {
            const int64_t p = base + c.walkEnd * s;
            if (p + walkMargin >= limit || !r.Has(kB20 + p, 8)) {
                c.walkEndStops = true;
                break;
            }
            if (--reads < 0)
                return G;
            pair(p, u, v);
            if (u < -100 || u > 100 || v < -100 || v > 100) {
                c.walkEndStops = true;
                break;
            }
            if (c.significant < 0 && c.plainUpTo == c.walkEnd) {
                if (significant(u, v))
                    c.significant = c.walkEnd;
                else
                    ++c.plainUpTo;
            }
            ++c.walkEnd;
        }
        const int64_t k = std::min(n, c.walkEnd - e);  // where the walk stopped
        if (k < n / 2)
            continue;
        while (c.significant < 0 && c.plainUpTo < e + k) {
            if (--reads < 0)
                return G;
            pair(base + c.plainUpTo * s, u, v);
            if (significant(u, v))
                c.significant = c.plainUpTo;
            else
                ++c.plainUpTo;
        }
        if (c.significant >= 0 && c.significant < e + k)
            return C;
    }
    return G;
}

struct HeaderFields {
    uint32_t dependencyOffset;
    uint32_t descriptorAreaOffset;
    uint32_t namePoolOffset;
    uint32_t indexDataOffset;
    uint32_t positionDataOffset;
    uint32_t texCoordDataOffset;
};

// Where a surface's vertices lie: vertices first ... first + count - 1 of a
// vertex stream whose vertex t has its position at resource offset
// `positions` + 24 t and its texture coordinates at B20 + `texCoords` +
// stride x t. Surfaces of one stream share its decoded copy.
struct VertexStream {
    int64_t positions;
    int64_t texCoords;
    int64_t stride;
    bool rebased;  // positions as stored; otherwise times 100
    auto operator<=>(const VertexStream &) const = default;
};

struct SurfacePlace {
    VertexStream stream;
    int64_t first;
};

// What the parse may still spend: bytes of indices and decoded vertices, and
// pair reads of the texture-coordinate searches.
struct ParseBudget {
    int64_t memory;
    int64_t searchReads = kSearchReads;
    std::vector<Chain> chains;                       // the searches' scratch
    std::map<std::array<int64_t, 4>, int64_t> found;  // (offset, stride, vertices, m) -> search result
};

enum class SurfaceRead { Ok, Dropped, OverBudget };

// Indices of one surface and where its vertices lie. `wideIndices` carries
// the 32-bit fallback to later surfaces.
SurfaceRead ReadSurface(const Reader &r, const HeaderFields &h, const Descriptor &d, bool qualifies,
                        bool &wideIndices, ParseBudget &budget, ModelSurface &surface, SurfacePlace &place)
{
    const bool list = static_cast<int64_t>(d.indexCount) == static_cast<int64_t>(d.primitiveCount) * 3;
    const int64_t elementCount = list ? d.primitiveCount : static_cast<int64_t>(d.primitiveCount) + 2;
    const int64_t perElement = list ? 3 : 1;
    // The index data begins one byte before B20 + indexDataOffset.
    const int64_t indexData = kB20 + static_cast<int64_t>(h.indexDataOffset) - 1;

    int64_t m = 0;
    IndexRead read = IndexRead::Bad;
    bool rebased = false;
    for (int attempt = 1; attempt <= 2 && read == IndexRead::Bad; ++attempt) {
        if (qualifies) {
            const int width = (attempt == 2 || wideIndices) ? 4 : 2;
            read = ReadIndices(r, indexData + static_cast<int64_t>(d.firstIndex) * width, elementCount * 3, width,
                               true, d.vertexCount, budget.memory, surface.indices, m);
            rebased = true;
        } else {
            read = ReadIndices(r, indexData + static_cast<int64_t>(d.firstIndex) * 2, elementCount * perElement, 2,
                               false, d.vertexCount, budget.memory, surface.indices, m);
        }
        if (read == IndexRead::Ok && attempt == 2)
            wideIndices = true;
    }
    if (read == IndexRead::OverBudget)
        return SurfaceRead::OverBudget;
    if (read == IndexRead::Bad)
        return SurfaceRead::Dropped;
    surface.elementCount = static_cast<int32_t>(elementCount);
    surface.indicesPerElement = static_cast<int32_t>(perElement);
    surface.vertexCount = d.vertexCount;

    const int64_t n = d.vertexCount;
    const int64_t streamPositions = static_cast<int64_t>(h.positionDataOffset) + d.positionOffset;
    if (!r.Has(streamPositions + m * kPositionStride, n * kPositionStride))
        return SurfaceRead::Dropped;
    const int64_t A = h.texCoordDataOffset;
    const int64_t s = d.texCoordStride;
    // Surfaces that read the same stream the same way find the same place.
    const std::array<int64_t, 4> search{d.texCoordOffset, s, n, m};
    auto known = budget.found.find(search);
    if (known == budget.found.end())
        known = budget.found.emplace(search, FindTexCoords(r, d, A, m, budget.chains, budget.searchReads)).first;
    const int64_t C = known->second;
    const int64_t T = C + m * s;
    if (!r.Has(kB20 + T, 8) || !r.Has(kB20 + T + (n - 1) * s, 8))
        return SurfaceRead::Dropped;
    place = {{streamPositions, C, s, rebased}, m};
    return SurfaceRead::Ok;
}

// Decodes vertices lo ... hi - 1 of a stream. Every surface that reads the
// stream checked its own stretch against the resource, and a stream runs
// through the resource in one direction, so the whole span lies inside it.
void DecodeStream(const Reader &r, const VertexStream &stream, int64_t lo, int64_t hi,
                  std::vector<ModelVertex> &out)
{
    const float scale = stream.rebased ? 1.0f : 100.0f;
    out.reserve(static_cast<size_t>(hi - lo));
    for (int64_t t = lo; t < hi; ++t) {
        ModelVertex v;
        const int64_t at = stream.positions + t * kPositionStride;
        for (int i = 0; i < 3; ++i)
            v.position[i] = r.F32(at + 4 * i) * scale;
        DecodeDirection(r.bytes + at + 12, v.normal);
        DecodeDirection(r.bytes + at + 16, v.tangent);
        DecodeDirection(r.bytes + at + 20, v.bitangent);
        const int64_t uv = kB20 + stream.texCoords + t * stream.stride;
        v.u = r.F32(uv);
        v.v = r.F32(uv + 4);
        out.push_back(v);
    }
}

// Copies the names the surfaces pick from the pool: after its leading zero
// bytes, `nameCount` NUL-terminated strings. A name the pool does not hold
// (a negative index, or the pool ends first) stays empty.
void ReadNames(const Reader &r, int64_t pool, int64_t nameCount, const std::vector<Descriptor> &descriptors,
               std::vector<ModelSurface> &surfaces)
{
    std::vector<std::pair<int32_t, size_t>> wanted;  // (name index, surface)
    for (size_t i = 0; i < descriptors.size(); ++i)
        if (descriptors[i].materialIndex >= 0)
            wanted.emplace_back(descriptors[i].materialIndex, i);
    std::sort(wanted.begin(), wanted.end());

    int64_t at = std::max<int64_t>(pool, 0);
    while (at < r.length && r.bytes[at] == 0)
        ++at;
    size_t next = 0;
    for (int64_t name = 0; name < nameCount && next < wanted.size() && at < r.length; ++name) {
        const uint8_t *start = r.bytes + at;
        const void *nul = memchr(start, 0, static_cast<size_t>(r.length - at));
        const int64_t length = nul ? static_cast<const uint8_t *>(nul) - start : r.length - at;
        for (; next < wanted.size() && wanted[next].first == name; ++next) {
            char *out = surfaces[wanted[next].second].materialName;
            const size_t copied = static_cast<size_t>(std::min<int64_t>(length, kModelNameSize - 1));
            memcpy(out, start, copied);
            out[copied] = '\0';
        }
        at += length + 1;
    }
}

std::unique_ptr<Model> ParseModel(const uint8_t *bytes, size_t length, std::vector<ModelSurfaceLayout> *layout)
{
    // A resource length is an i32; beyond it the offset arithmetic is not kept in range.
    if (!bytes || length < static_cast<size_t>(kHeaderEnd) || length > INT32_MAX)
        return nullptr;
    const Reader r{bytes, static_cast<int64_t>(length)};
    const HeaderFields h{r.U32(0x1C), r.U32(0x4C), r.U32(0x60), r.U32(0x74), r.U32(0x9C), r.U32(0xB0)};

    // 1. Descriptors, by signature, in 4-byte steps.
    const uint32_t scanLength = h.dependencyOffset - h.descriptorAreaOffset;
    if (scanLength == 0)
        return nullptr;
    std::vector<Descriptor> descriptors;
    const int64_t scanStart = kB20 + h.descriptorAreaOffset;
    for (int64_t k = 0; k < scanLength && descriptors.size() < static_cast<size_t>(kModelMaxSurfaces); k += 4) {
        const int64_t at = scanStart + k;
        if (!r.Has(at, kDescriptorReadEnd))
            break;
        Descriptor d{};
        if (IsDescriptor(r, at, d))
            descriptors.push_back(d);
    }
    if (descriptors.empty())
        return nullptr;
    // Descriptors lie one after another: those past the cap are counted, so
    // that the exports can say the model lost them.
    int32_t overCap = 0;
    if (descriptors.size() == static_cast<size_t>(kModelMaxSurfaces)) {
        Descriptor d{};
        for (int64_t at = descriptors.back().at + kDescriptorSize; overCap < INT32_MAX && r.Has(at, kDescriptorReadEnd) &&
                                                                   IsDescriptor(r, at, d);
             at += kDescriptorSize)
            ++overCap;
    }

    // 2. Material indices, one per descriptor, behind the last one.
    const int64_t table = descriptors.back().at + kDescriptorSize;
    const int64_t tableSize = 4 * static_cast<int64_t>(descriptors.size());
    if (!r.Has(table, tableSize))
        return nullptr;
    int64_t nameCount = 0;
    for (size_t i = 0; i < descriptors.size(); ++i) {
        descriptors[i].materialIndex = r.I32(table + 4 * static_cast<int64_t>(i));
        nameCount = std::max<int64_t>(nameCount, static_cast<int64_t>(descriptors[i].materialIndex) + 1);
    }

    // 3. The first stream record: 24, then zeros at d[2], d[4], d[6] and a
    // non-zero texture-coordinate stride at d[7].
    int64_t records = -1;
    for (int64_t at = table + tableSize + 20; r.Has(at, 32); at += 4) {
        if (r.U32(at) == 24 && r.U32(at + 8) == 0 && r.U32(at + 16) == 0 && r.U32(at + 24) == 0 &&
            r.U32(at + 28) != 0) {
            records = at;
            break;
        }
    }
    if (records < 0)
        return nullptr;

    // 4. Stream fields and the two model-wide flags.
    bool separateStreams = false, offsetIndices = false;
    for (size_t i = 0; i < descriptors.size(); ++i) {
        Descriptor &d = descriptors[i];
        const int64_t at = records + kStreamRecordSize * static_cast<int64_t>(i);
        if (d.firstIndex != 0)
            offsetIndices = true;
        if (!r.Has(at, kStreamFieldsEnd))
            continue;  // no record: the surface is dropped below
        d.hasStreams = true;
        d.positionOffset = r.U32(at + 4);
        d.texCoordStride = r.U32(at + 28);
        d.texCoordOffset = r.U32(at + 32);
        if (d.firstIndex == 0 && d.positionOffset != 0)
            return nullptr;
        if (d.positionOffset != 0 || d.texCoordOffset != 0)
            separateStreams = true;
    }

    auto model = std::make_unique<Model>();
    model->surfacesDropped = overCap;
    std::vector<ModelSurface> named(descriptors.size());

    // 5. Names.
    ReadNames(r, h.namePoolOffset, nameCount, descriptors, named);

    // 6-8. Indices and where each surface's vertices lie. One sharing a
    // vertex buffer with many others is indexed from the buffer's start; it is
    // rebased to its own smallest index.
    const bool manyDescriptors = descriptors.size() > static_cast<size_t>(kRebaseAboveDescriptors);
    bool wideIndices = false;
    ParseBudget budget{kMemoryPerResourceByte * r.length + kMemoryBase};
    std::vector<std::pair<size_t, SurfacePlace>> read;  // (surface, place), descriptor order
    std::map<VertexStream, std::pair<int64_t, int64_t>> spans;  // vertices each stream's surfaces read
    for (size_t i = 0; i < descriptors.size(); ++i) {
        const Descriptor &d = descriptors[i];
        if (!d.hasStreams)
            continue;
        const bool list = static_cast<int64_t>(d.indexCount) == static_cast<int64_t>(d.primitiveCount) * 3;
        const bool qualifies = manyDescriptors && !separateStreams && offsetIndices && list;
        SurfacePlace place{};
        switch (ReadSurface(r, h, d, qualifies, wideIndices, budget, named[i], place)) {
        case SurfaceRead::Ok: {
            const int64_t end = place.first + d.vertexCount;
            auto [span, added] = spans.try_emplace(place.stream, place.first, end);
            if (!added) {
                span->second.first = std::min(span->second.first, place.first);
                span->second.second = std::max(span->second.second, end);
            }
            read.emplace_back(i, place);
            break;
        }
        case SurfaceRead::OverBudget:
            ++model->surfacesDropped;
            break;
        case SurfaceRead::Dropped:
            break;
        }
    }

    // 9. Vertices: each stream decoded once, over the span its surfaces read.
    std::map<VertexStream, std::shared_ptr<const std::vector<ModelVertex>>> decoded;
    for (auto &[i, place] : read) {
        auto stream = decoded.find(place.stream);
        if (stream == decoded.end()) {
            const auto [lo, hi] = spans.at(place.stream);
            std::shared_ptr<std::vector<ModelVertex>> vertices;
            const int64_t need = (hi - lo) * static_cast<int64_t>(sizeof(ModelVertex));
            if (need <= budget.memory) {
                budget.memory -= need;
                vertices = std::make_shared<std::vector<ModelVertex>>();
                DecodeStream(r, place.stream, lo, hi, *vertices);
            }
            stream = decoded.emplace(place.stream, std::move(vertices)).first;
        }
        if (!stream->second) {
            ++model->surfacesDropped;
            continue;
        }
        const int64_t lo = spans.at(place.stream).first;
        ModelSurface &surface = named[i];
        surface.vertices = ModelVertexArray(stream->second, static_cast<size_t>(place.first - lo),
                                            static_cast<size_t>(surface.vertexCount));
        model->surfaces.push_back(std::move(surface));
        if (layout)
            layout->push_back({place.stream.positions + place.first * kPositionStride,
                               kB20 + place.stream.texCoords + place.first * place.stream.stride, place.stream.stride,
                               place.stream.rebased ? 1.0f : 100.0f});
    }

    if (model->surfaces.empty())
        return nullptr;
    return model;
}

}  // namespace

Model *Model_Parse(const uint8_t *bytes, size_t length, std::vector<ModelSurfaceLayout> *layout)
{
    if (layout)
        layout->clear();
    Model *model = nullptr;
    try {
        model = ParseModel(bytes, length, layout).release();
    } catch (const std::bad_alloc &) {
    }
    if (!model && layout)
        layout->clear();
    return model;
}

void Model_Free(Model *model)
{
    if (!model)
        return;
    for (ModelSurface &surface : model->surfaces)
        if (!surface.materialShared)
            delete surface.material;
    delete model;
}
