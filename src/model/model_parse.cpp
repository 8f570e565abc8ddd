// The model container's heuristic parse. The container's header does not
// describe its surfaces in a form the viewer reads; instead the descriptors
// are found by their signature, the vertex stream table by a pattern, and each
// surface's texture coordinates by a plausibility search. Every read goes
// through Reader, which refuses anything outside the resource.
#include "base/bytes.h"
#include "model/model.h"
#include "material/material.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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
// Up to 20 surfaces may each read a whole shared vertex buffer (about 2.3
// bytes of vertex per resource byte); this leaves room for that and more.
constexpr int64_t kMemoryPerResourceByte = 64;
constexpr int64_t kMemoryBase = 1 << 20;

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

// Reads `count` indices of `width` bytes at `at` into `out`. Rebased reading
// subtracts the smallest of them (signed for 32-bit values) and keeps the low
// 16 bits; plain reading stores 16-bit values unchanged. False when the data
// passes the end or an index is not below the surface's vertex count.
bool ReadIndices(const Reader &r, int64_t at, int64_t count, int width, bool rebase, int32_t vertexCount,
                 std::vector<uint16_t> &out, int64_t &m)
{
    out.clear();
    m = 0;
    if (!r.Has(at, count * width))
        return false;
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
            return false;
        }
        out[static_cast<size_t>(i)] = index;
    }
    return true;
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

// The start of a surface's texture coordinates, relative to B20. The stream's
// layout within a vertex is unknown, so candidates 4 bytes apart are tried
// from one vertex before the stream on; the first whose pairs stay plausible
// for at least half the vertices, and are not all near zero, is taken.
// Without a find the stream is read from that first candidate place.
int64_t FindTexCoords(const Reader &r, const Descriptor &d, int64_t A, int64_t m)
{
    const int64_t s = d.texCoordStride;
    const int64_t o = d.texCoordOffset;
    const int64_t n = d.vertexCount;
    const int64_t limit = r.length - 32;
    auto inRange = [&](int64_t p) { return p < limit; };
    int64_t G = A + o - s;
    if (s <= 20)
        G -= 20;

    // Each candidate may walk every vertex; a crafted stream of tiny pairs
    // would make that quadratic. Real streams settle within a walk or two, so
    // the search gives up (as if it found nothing) after this many reads.
    int64_t budget = 16 * n + 4096;
    for (int64_t j = 0; j < s * n; j += 4) {
        if (!inRange(A + o + 4 + j) || !inRange(A + o + j + (n + m) * s))
            break;
        if (--budget < 0)
            return G;
        const int64_t C = G + j;
        if (!r.Has(kB20 + C, 8) || !PlausibleFirstPair(r.F32(kB20 + C), r.F32(kB20 + C + 4)))
            continue;
        bool significant = false;
        int64_t k = 1;
        for (; k < n; ++k) {
            const int64_t at = kB20 + C + k * s;
            if (!inRange(A + o + j + 4 + k * s) || !r.Has(at, 8))
                break;
            if (--budget < 0)
                return G;
            const float u = r.F32(at), v = r.F32(at + 4);
            if (u < -100 || u > 100 || v < -100 || v > 100)
                break;
            if (std::fabs(u) > 0.01 || std::fabs(v) > 0.01)
                significant = true;
        }
        if (k >= n / 2 && significant)
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

// Indices, positions and texture coordinates of one surface; false when it
// has to be dropped. `wideIndices` carries the 32-bit fallback to later surfaces.
bool BuildSurface(const Reader &r, const HeaderFields &h, const Descriptor &d, bool qualifies, bool &wideIndices,
                  int64_t &memoryLeft, ModelSurface &surface)
{
    const bool list = static_cast<int64_t>(d.indexCount) == static_cast<int64_t>(d.primitiveCount) * 3;
    const int64_t elementCount = list ? d.primitiveCount : static_cast<int64_t>(d.primitiveCount) + 2;
    const int64_t perElement = list ? 3 : 1;
    // Surfaces may all read the same bytes; what they may take together is
    // bounded by the resource's size, not by the counts they claim.
    const int64_t need = elementCount * 3 * 2 + static_cast<int64_t>(d.vertexCount) * sizeof(ModelVertex);
    if (need > memoryLeft)
        return false;
    memoryLeft -= need;
    // The index data begins one byte before B20 + indexDataOffset.
    const int64_t indexData = kB20 + static_cast<int64_t>(h.indexDataOffset) - 1;

    int64_t m = 0;
    bool read = false;
    bool rebased = false;
    for (int attempt = 1; attempt <= 2 && !read; ++attempt) {
        if (qualifies) {
            const int width = (attempt == 2 || wideIndices) ? 4 : 2;
            read = ReadIndices(r, indexData + static_cast<int64_t>(d.firstIndex) * width, elementCount * 3, width,
                               true, d.vertexCount, surface.indices, m);
            rebased = true;
        } else {
            read = ReadIndices(r, indexData + static_cast<int64_t>(d.firstIndex) * 2, elementCount * perElement, 2,
                               false, d.vertexCount, surface.indices, m);
        }
        if (read && attempt == 2)
            wideIndices = true;
    }
    if (!read)
        return false;
    surface.elementCount = static_cast<int32_t>(elementCount);
    surface.indicesPerElement = static_cast<int32_t>(perElement);
    surface.vertexCount = d.vertexCount;

    const int64_t n = d.vertexCount;
    const int64_t positions = static_cast<int64_t>(h.positionDataOffset) + d.positionOffset + m * kPositionStride;
    if (!r.Has(positions, n * kPositionStride))
        return false;
    const int64_t A = h.texCoordDataOffset;
    const int64_t s = d.texCoordStride;
    const int64_t T = FindTexCoords(r, d, A, m) + m * s;
    if (!r.Has(kB20 + T, 8) || !r.Has(kB20 + T + (n - 1) * s, 8))
        return false;

    const float scale = rebased ? 1.0f : 100.0f;
    surface.vertices.resize(static_cast<size_t>(n));
    for (int64_t k = 0; k < n; ++k) {
        ModelVertex &v = surface.vertices[static_cast<size_t>(k)];
        const int64_t at = positions + k * kPositionStride;
        for (int i = 0; i < 3; ++i)
            v.position[i] = r.F32(at + 4 * i) * scale;
        DecodeDirection(r.bytes + at + 12, v.normal);
        DecodeDirection(r.bytes + at + 16, v.tangent);
        DecodeDirection(r.bytes + at + 20, v.bitangent);
        v.u = r.F32(kB20 + T + k * s);
        v.v = r.F32(kB20 + T + k * s + 4);
    }
    return true;
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

std::unique_ptr<Model> ParseModel(const uint8_t *bytes, size_t length)
{
    if (!bytes || length < static_cast<size_t>(kHeaderEnd) || length > INT64_MAX / 2)
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
    std::vector<ModelSurface> named(descriptors.size());

    // 5. Names.
    ReadNames(r, h.namePoolOffset, nameCount, descriptors, named);

    // 6-9. Surfaces. One sharing a vertex buffer with many others is indexed
    // from the buffer's start; it is rebased to its own smallest index.
    const bool manyDescriptors = descriptors.size() > static_cast<size_t>(kRebaseAboveDescriptors);
    bool wideIndices = false;
    int64_t memoryLeft = kMemoryPerResourceByte * r.length + kMemoryBase;
    for (size_t i = 0; i < descriptors.size(); ++i) {
        const Descriptor &d = descriptors[i];
        if (!d.hasStreams)
            continue;
        const bool list = static_cast<int64_t>(d.indexCount) == static_cast<int64_t>(d.primitiveCount) * 3;
        const bool qualifies = manyDescriptors && !separateStreams && offsetIndices && list;
        ModelSurface &surface = named[i];
        if (BuildSurface(r, h, d, qualifies, wideIndices, memoryLeft, surface))
            model->surfaces.push_back(std::move(surface));
    }

    if (model->surfaces.empty())
        return nullptr;
    return model;
}

}  // namespace

Model *Model_Parse(const uint8_t *bytes, size_t length)
{
    try {
        return ParseModel(bytes, length).release();
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
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
