// The model parse over fixture-written, truncated and lying containers.
#include "model/model.h"
#include "model_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

struct ModelDeleter {
    void operator()(Model *m) const { Model_Free(m); }
};
using ModelPtr = std::unique_ptr<Model, ModelDeleter>;

ModelPtr Parse(const Bytes &bytes)
{
    return ModelPtr(Model_Parse(bytes.data(), bytes.size()));
}

// Every vertex as written; directions through the writer's own byte encoding.
void ExpectSurface(const ModelSurface &got, const ModelFixtureSurface &want, float scale)
{
    SCOPED_TRACE(want.material);
    EXPECT_STREQ(got.materialName, want.material.c_str());
    const bool list = !want.strip || want.indices.size() == 3;
    EXPECT_EQ(got.indicesPerElement, list ? 3 : 1);
    EXPECT_EQ(got.elementCount, static_cast<int32_t>(list ? want.indices.size() / 3 : want.indices.size()));
    EXPECT_EQ(std::vector<uint32_t>(got.indices.begin(), got.indices.end()), want.indices);
    ASSERT_EQ(got.vertexCount, static_cast<int32_t>(want.vertices.size()));
    ASSERT_EQ(got.vertices.size(), want.vertices.size());
    for (size_t k = 0; k < want.vertices.size(); ++k) {
        const ModelVertex &g = got.vertices[k];
        const ModelFixtureVertex &w = want.vertices[k];
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(g.position[i], w.position[i] * scale) << k;
            EXPECT_NEAR(Fixture_DirectionByte(g.normal[i]), w.normal[i], 1) << k;
            EXPECT_NEAR(Fixture_DirectionByte(g.tangent[i]), w.tangent[i], 1) << k;
            EXPECT_NEAR(Fixture_DirectionByte(g.bitangent[i]), w.bitangent[i], 1) << k;
        }
        EXPECT_EQ(std::pair(g.u, g.v), std::pair(w.u, w.v)) << k;
    }
}

void ExpectModel(const ModelPtr &model, const ModelFixture &want, float scale)
{
    ASSERT_TRUE(model);
    ASSERT_EQ(model->surfaces.size(), want.surfaces.size());
    for (size_t i = 0; i < want.surfaces.size(); ++i)
        ExpectSurface(model->surfaces[i], want.surfaces[i], scale);
}

const float kOrigin[3] = {0, 0, 0};
const float kHalf[3] = {0.5f, 1.0f, 1.5f};

// A list, a strip, and a strip of one triangle (read as a list).
ModelFixture BoxAndPanel()
{
    ModelFixture m;
    m.surfaces.push_back(Fixture_Box("stone.mat", kOrigin, kHalf));
    m.surfaces.push_back(Fixture_StripPanel("floor_tiles", -2, -2, 4, 1, -1.5f, 5));
    m.surfaces.push_back(Fixture_StripPanel("one", 0, 0, 1, 1, 0, 1));
    m.surfaces.back().indices = {0, 1, 2};
    return m;
}

// `count` boxes in a row, each with its own material name.
ModelFixture Boxes(int count)
{
    ModelFixture m;
    for (int i = 0; i < count; ++i) {
        const float centre[3] = {static_cast<float>(i) * 3, 0, 0};
        m.surfaces.push_back(Fixture_Box("m" + std::to_string(i), centre, kHalf));
    }
    return m;
}

}  // namespace

TEST(ModelParse, ReadsSurfacesWithEveryTexCoordLayout)
{
    const struct {
        uint32_t stride, uvOffset;
        float pad;
        uint16_t type, flags;
        uint32_t descriptorGap;
        float u;  // every vertex's; 0: as written
    } layouts[] = {
        {8, 0, 5.0f, 0x2000, 0, 0, 0},      {16, 4, 5.0f, 0x3000, 0x400, 8, 0}, {16, 8, 0.0f, 0x3600, 0, 0, 0},
        {24, 0, 7.5f, 0x2000, 0x400, 4, 0}, {32, 12, 0.0f, 0x3000, 0, 172, 0}, {36, 20, 5.0f, 0x2000, 0, 0, 0},
        // 25 plausible, never significant candidates in front of the pair, each walking all vertices
        {128, 100, 0.005f, 0x2000, 0, 0, 0.005f},
    };
    for (const auto &l : layouts) {
        SCOPED_TRACE(::testing::Message() << "stride " << l.stride << " uv at " << l.uvOffset);
        ModelFixture m = BoxAndPanel();
        m.texCoordStride = l.stride;
        m.uvOffset = l.uvOffset;
        m.padValue = l.pad;
        m.descriptorGap = l.descriptorGap;
        for (auto &s : m.surfaces) {
            s.descriptorType = l.type;
            s.descriptorFlags = l.flags;
            for (ModelFixtureVertex &v : s.vertices)
                v.u = l.u ? l.u : v.u;
        }
        ExpectModel(Parse(Fixture_Model(m)), m, 100.0f);
    }
}

// Each row spoils one field of every surface (surface -1) or of one surface:
// the model is refused, except that a spoilt surface 1 is dropped alone.
TEST(ModelParse, RefusesTheModelOrDropsTheSurfaceALyingFieldSpoils)
{
    ModelFixtureLayout l;
    const ModelFixture m = Boxes(4);
    const Bytes good = Fixture_Model(m, &l);
    const uint32_t far = static_cast<uint32_t>(good.size());
    ModelFixture kept = m;  // the surfaces after the dropped one move up
    kept.surfaces.erase(kept.surfaces.begin() + 1);
    enum Base { Header, Descriptor, Record, IndexData };
    const struct {
        const char *what;
        int surface;
        Base base;
        size_t offset;
        uint32_t value;
        bool u16;
    } cases[] = {
        {"empty descriptor scan", -1, Header, 0x1C, 0xE0, false},
        {"no descriptor", -1, Descriptor, 0, 0x2100, true},
        {"bad flags", -1, Descriptor, 2, 0x200, true},
        {"bad index count", -1, Descriptor, 0x54, 7, false},
        {"no stream record", -1, Record, 0, 23, false},
        {"every surface's indices out of range", -1, Descriptor, 0x40, 1, false},
        {"first surface with a position offset", 0, Record, 4, 24, false},
        {"index", 1, IndexData, 2 * 36, 24, true},
        {"positions past the end", 1, Record, 4, far, false},
        {"texture coordinates past the end", 1, Record, 32, far, false},
        {"huge vertex count", 1, Descriptor, 0x40, 0x7FFFFFFF, false},
        {"huge primitive count", 1, Descriptor, 0x3C, 0x7FFFFFFF, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes b = good;
        for (size_t s = 0; s < m.surfaces.size(); ++s) {
            if (c.surface >= 0 && s != static_cast<size_t>(c.surface))
                continue;
            const size_t at[] = {0, l.descriptors[s], l.streamRecords + 56 * s, l.indexData};
            if (c.u16)
                Fixture_PutU16(b, at[c.base] + c.offset, static_cast<uint16_t>(c.value));
            else
                Fixture_PutU32(b, at[c.base] + c.offset, c.value);
        }
        if (std::string(c.what) == "huge primitive count")  // with an index count that matches it
            Fixture_PutU32(b, l.descriptors[1] + 0x54, 0x7FFFFFFF + 2u);
        if (c.surface == 1)
            ExpectModel(Parse(b), kept, 100.0f);
        else
            EXPECT_FALSE(Parse(b));
    }
    EXPECT_FALSE(Model_Parse(nullptr, 0));
    EXPECT_FALSE(Parse(Bytes(good.begin(), good.begin() + 0xB3)));  // shorter than the header fields
}

TEST(ModelParse, RebasesManySurfacesSharingOneBuffer)
{
    // More than 20 list surfaces in one buffer: each is rebased, positions as stored.
    ModelFixture m = Boxes(22);
    m.sharedBuffer = true;
    m.leadingVertices = 2;
    ExpectModel(Parse(Fixture_Model(m)), m, 1.0f);

    // Twenty surfaces are read as stored: each claims the whole buffer.
    m.surfaces.resize(20);
    m.leadingVertices = 0;
    ModelPtr model = Parse(Fixture_Model(m));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->surfaces.size(), 20u);
    EXPECT_EQ(model->surfaces[3].vertexCount, 20 * 24);
    EXPECT_EQ(model->surfaces[3].indices.front(), 3 * 24);
    EXPECT_EQ(model->surfaces[3].vertices[3 * 24].position[0], m.surfaces[3].vertices[0].position[0] * 100.0f);

    // A strip among them is not rebased either.
    m = Boxes(22);
    m.surfaces[21] = Fixture_StripPanel("strip", 0, 0, 1, 1, 0, 3);
    m.sharedBuffer = true;
    model = Parse(Fixture_Model(m));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->surfaces.size(), 22u);
    ExpectSurface(model->surfaces[20], m.surfaces[20], 1.0f);
    EXPECT_EQ(model->surfaces[21].vertexCount, 21 * 24 + 8);
    EXPECT_EQ(model->surfaces[21].indices.front(), 21 * 24);
    EXPECT_EQ(model->surfaces[21].vertices[21 * 24].position[0], 0.0f);
}

TEST(ModelParse, KeepsEverySurfaceOfOneBigBuffer)
{
    ModelFixture m = Fixture_SharedStrips(80, 249);
    ModelPtr model = Parse(Fixture_Model(m));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->surfaces.size(), 80u);
    EXPECT_EQ(model->surfacesDropped, 0);
    const ModelSurface &last = model->surfaces[79];
    ASSERT_EQ(last.vertexCount, 40000);
    EXPECT_EQ(last.indices.front(), 79 * 500);
    EXPECT_EQ(last.vertices[79 * 500 + 7].position[0], m.surfaces[79].vertices[7].position[0] * 100.0f);
    EXPECT_EQ(last.vertices[79 * 500 + 7].v, m.surfaces[79].vertices[7].v);

    // Overlapping stretches of one buffer: those past the memory bound are left out, and counted.
    m = Fixture_SharedStrips(80, 11);
    m.positionShift = 24;
    model = Parse(Fixture_Model(m));
    ASSERT_TRUE(model);
    EXPECT_GT(model->surfacesDropped, 0);
    EXPECT_EQ(model->surfaces.size() + static_cast<size_t>(model->surfacesDropped), 80u);
}

TEST(ModelParse, FallsBackTo32BitIndicesAndKeepsThem)
{
    // Surface 0's 16-bit reading meets index 24 and fails; surface 1's would
    // pass on surface 0's data, so only a sticky 32-bit reading gets it right.
    ModelFixture m = Boxes(22);
    m.sharedBuffer = true;
    m.wideIndices = true;
    m.leadingVertices = 4;
    auto &first = m.surfaces[0].indices;
    std::rotate(first.begin(), first.end() - 6, first.end());
    ExpectModel(Parse(Fixture_Model(m)), m, 1.0f);
}

TEST(ModelParse, DecodesTangentFramesAndNames)
{
    ModelFixture m;
    ModelFixtureSurface s = Fixture_Box(std::string(80, 'n'), kOrigin, kHalf);
    for (ModelFixtureVertex &v : s.vertices) {
        std::fill(std::begin(v.normal), std::end(v.normal), 255);
        std::fill(std::begin(v.tangent), std::end(v.tangent), 0);
    }
    m.surfaces = {s, Fixture_Box("", kOrigin, kHalf)};
    ModelFixtureLayout layout;
    Bytes b = Fixture_Model(m, &layout);
    ModelPtr model = Parse(b);
    ASSERT_TRUE(model);
    const float c = 1.0f / std::sqrt(3.0f);
    EXPECT_NEAR(model->surfaces[0].vertices[7].normal[1], c, 1e-6);
    EXPECT_NEAR(model->surfaces[0].vertices[7].tangent[2], -c, 1e-6);
    EXPECT_EQ(std::string(model->surfaces[0].materialName), std::string(63, 'n'));
    EXPECT_STREQ(model->surfaces[1].materialName, "");

    // A material index beyond the pool names nothing.
    Fixture_PutU32(b, layout.materialTable + 4, 1000);
    model = Parse(b);
    ASSERT_TRUE(model);
    EXPECT_STREQ(model->surfaces[1].materialName, "");
}

TEST(ModelParse, TexCoordSearchSkipsAZeroFirstPair)
{
    // (0, 0) is never the first pair: the coordinates come one vertex late.
    ModelFixture m;
    m.surfaces.push_back(Fixture_StripPanel("p", 0, 0, 1, 1, 0, 4));
    m.surfaces[0].vertices[0].u = 0;
    m.surfaces[0].vertices[0].v = 0;
    ModelPtr model = Parse(Fixture_Model(m));
    ASSERT_TRUE(model);
    const auto &got = model->surfaces[0].vertices;
    const auto &want = m.surfaces[0].vertices;
    for (size_t k = 0; k + 1 < want.size(); ++k)
        EXPECT_EQ(std::pair(got[k].u, got[k].v), std::pair(want[k + 1].u, want[k + 1].v)) << k;
    EXPECT_EQ(got.back().u, 0.0f);
}

TEST(ModelParse, IgnoresDescriptorsPastTheLimit)
{
    ModelFixture m = Boxes(1030);
    ModelPtr model = Parse(Fixture_Model(m));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->surfaces.size(), 1024u);
    EXPECT_EQ(model->surfaces[1023].vertices[0].position[0], m.surfaces[1023].vertices[0].position[0] * 100.0f);
    // The material table is read behind the last descriptor taken: names shuffle.
    EXPECT_STREQ(model->surfaces[1023].materialName, "m765");
}

TEST(ModelParse, SurvivesTruncatedAndLyingContainers)
{
    ModelFixture shared = Boxes(22);
    shared.sharedBuffer = true;
    shared.wideIndices = true;
    shared.leadingVertices = 30;
    for (const Bytes &good : {Fixture_Model(BoxAndPanel()), Fixture_Model(shared)}) {
        const size_t full = Parse(good)->surfaces.size();
        // Every prefix: no read past its end (ASan).
        for (size_t n = 0; n < good.size(); n += (n < 0x200 ? 1 : 7)) {
            Bytes prefix(good.begin(), good.begin() + n);
            prefix.shrink_to_fit();
            ModelPtr model = Parse(prefix);
            EXPECT_TRUE(!model || model->surfaces.size() <= full) << n;
        }
        for (size_t field : {0x1C, 0x4C, 0x60, 0x74, 0x9C, 0xB0})
            for (uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFF0u, static_cast<uint32_t>(good.size())}) {
                Bytes b = good;
                Fixture_PutU32(b, field, value);
                ModelPtr model = Parse(b);
                EXPECT_TRUE(!model || model->surfaces.size() <= full) << field << " " << value;
            }
    }
}
