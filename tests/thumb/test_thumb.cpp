// Thumbnails: the level a thumbnail is made from, the fit into its square,
// materials shown by their diffuse texture, the bounded cache.
#include "temp_dir.h"
#include "test_data.h"
#include "thumb/thumb.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

namespace {

TextureImage Picture(uint32_t w, uint32_t h, std::vector<uint8_t> rgba)
{
    TextureImage image;
    image.width = w;
    image.height = h;
    image.rgba = std::move(rgba);
    return image;
}

}  // namespace

TEST(Thumb, ChoosesTheSmallestLevelAtLeastAsLargeAsTheSquare)
{
    const Bytes square = Fixture_Texture(256, 256, 1, 9, Solid<10, 20, 30>);  // 256 ... 1
    const Bytes wide = Fixture_Texture(256, 64, 5, 7, Solid<10, 20, 30>);     // 256x64, 128x32, ...
    const Bytes single = Fixture_Texture(256, 256, 1, 1, Solid<10, 20, 30>);
    const Bytes cut(square.begin(), square.begin() + 200);  // the largest level is not all there
    const struct {
        const Bytes *texture;
        uint32_t size, level;
    } rows[] = {
        {&square, 256, 0}, {&square, 128, 1}, {&square, 100, 1}, {&square, 64, 2}, {&square, 1, 8},
        {&square, 512, 0},  // smaller than the square: the largest level, scaled up
        {&wide, 128, 1},    {&wide, 64, 2},    {&single, 64, 0},  {&cut, 64, UINT32_MAX},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Thumb_ChooseLevel(*row.texture, row.size), row.level) << row.size;

    TextureImage thumb;
    ASSERT_TRUE(Thumb_FromTexture(wide, 128, thumb));
    EXPECT_EQ(thumb.width, 128u);
    EXPECT_EQ(thumb.height, 32u);
    const Rgb c = Fixture_Quantise({10, 20, 30});
    EXPECT_EQ(std::vector<uint8_t>(thumb.rgba.begin(), thumb.rgba.begin() + 4), (std::vector<uint8_t>{c.r, c.g, c.b, 255}));
    std::string error;
    EXPECT_FALSE(Thumb_FromTexture(cut, 64, thumb, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(Thumb_FromTexture(square, 0, thumb));
}

TEST(Thumb, FitAveragesByAlphaAndKeepsProportions)
{
    // A red opaque texel beside a transparent black one: the average is red,
    // half covered, not a darkened red.
    TextureImage half = Thumb_Fit(Picture(2, 1, {255, 0, 0, 255, 0, 0, 0, 0}), 1);
    EXPECT_EQ(half.rgba, (std::vector<uint8_t>{255, 0, 0, 128}));
    // Four columns to two: each pair averaged; 4x2 keeps its 2:1 shape.
    TextureImage pairs = Thumb_Fit(Picture(4, 2, {0,   0, 0, 255, 100, 0, 0, 255, 200, 0, 0, 255, 250, 0, 0, 255,
                                                 0,   0, 0, 255, 100, 0, 0, 255, 200, 0, 0, 255, 250, 0, 0, 255}),
                                   2);
    EXPECT_EQ(pairs.width, 2u);
    EXPECT_EQ(pairs.height, 1u);
    EXPECT_EQ(pairs.rgba, (std::vector<uint8_t>{50, 0, 0, 255, 225, 0, 0, 255}));
    // Smaller than the square: nearest pixels, scaled up.
    TextureImage up = Thumb_Fit(Picture(1, 1, {1, 2, 3, 4}), 3);
    EXPECT_EQ(up.width, 3u);
    ASSERT_EQ(up.rgba.size(), 9u * 4);
    for (size_t i = 0; i < up.rgba.size(); i += 4)
        EXPECT_EQ(std::vector<uint8_t>(up.rgba.begin() + long(i), up.rgba.begin() + long(i) + 4),
                  (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_TRUE(Thumb_Fit(Picture(2, 2, {1, 2, 3}), 8).rgba.empty());  // pixels missing
}

// A material shows the diffuse texture the view would find: in its archive,
// else the stand-in; a material whose texture is nowhere has none.
TEST(Thumb, MaterialShowsItsDiffuseTexture)
{
    TempDir dir;
    FixtureArchive fixture;
    fixture.entries = {{"wall_d", Fixture_Texture(64, 64, 1, 7, Solid<0, 200, 0>)},
                       {"__missingtexture", Fixture_Texture(8, 8, 1, 1, Solid<255, 0, 255>)}};
    ASSERT_TRUE(Fixture_WritePak(dir / "PAK_A.PAK", fixture));
    fixture.entries.pop_back();
    ASSERT_TRUE(Fixture_WritePak(dir / "PAK_B.PAK", fixture));
    const Bytes wall = MaterialBytes("numTextures 1 Texture 0 WRAP WRAP wall_d");
    const Bytes lost = MaterialBytes("numTextures 1 Texture 0 WRAP WRAP nowhere_d");
    const struct {
        const char *archive;
        const Bytes *material;
        bool found;
        Rgb colour;
    } rows[] = {
        {"PAK_A.PAK", &wall, true, {0, 200, 0}},
        {"PAK_A.PAK", &lost, true, {255, 0, 255}},
        {"PAK_B.PAK", &lost, false, {}},
    };
    for (const auto &row : rows) {
        PakArchive archive;
        ASSERT_EQ(Pak_OpenArchive(dir / row.archive, archive), PakOpenResult::Ok);
        LookupArchives archives;
        archives.main = &archive;
        TextureImage thumb;
        ASSERT_EQ(Thumb_FromResource(archives, "m", KindMaterial, *row.material, 16, thumb), row.found) << row.archive;
        if (!row.found)
            continue;
        const Rgb c = Fixture_Quantise(row.colour);
        EXPECT_EQ(thumb.width, 16u);
        EXPECT_EQ(std::vector<uint8_t>(thumb.rgba.end() - 4, thumb.rgba.end()), (std::vector<uint8_t>{c.r, c.g, c.b, 255}));
    }
    TextureImage none;
    EXPECT_FALSE(Thumb_FromResource(LookupArchives{}, "s", KindText, wall, 16, none));
}

TEST(Thumb, CacheEvictsTheLeastRecentlyUsedWithinItsBudget)
{
    const auto picture = [](uint8_t v) { return Picture(32, 32, std::vector<uint8_t>(32 * 32 * 4, v)); };
    const size_t one = 32 * 32 * 4;
    ThumbCache cache(3 * one);  // room for two pictures and their records, not three
    cache.Put("a", picture(1));
    cache.Put("b", picture(2));
    ASSERT_NE(cache.Find("a"), nullptr);  // "a" is now the most recent
    const auto kept = cache.Find("b");
    cache.Put("a", picture(3));           // replaces, no growth
    EXPECT_EQ(cache.Count(), 2u);
    cache.Put("c", picture(4));           // "b" was used least recently
    EXPECT_EQ(cache.Find("b"), nullptr);
    EXPECT_EQ(kept->rgba[0], 2);          // a picture handed out outlives its eviction
    ASSERT_NE(cache.Find("a"), nullptr);
    EXPECT_EQ(cache.Find("a")->rgba[0], 3);
    EXPECT_LE(cache.Bytes(), cache.Budget());
    EXPECT_NE(cache.Put("huge", Picture(64, 64, std::vector<uint8_t>(64 * 64 * 4, 5))), nullptr);
    EXPECT_EQ(cache.Find("huge"), nullptr);  // larger than the whole budget: not kept
    cache.Remove("a");
    EXPECT_EQ(cache.Count(), 1u);
}

// The queue makes what it is asked on its workers: each entry's kind, the
// pictures into the cache under their keys, a pending resource instead of the
// stored one; an archive that cannot be read is said so.
TEST(ThumbQueue, MakesRequestsOnItsWorkersIntoTheCache)
{
    TempDir dir;
    const std::string path = dir / "Q.PAK";
    ASSERT_TRUE(Fixture_WritePak(path, {{{"red", Fixture_Texture(64, 64, 1, 7, Solid<200, 0, 0>)},
                                         {"note.txt", Fixture_FromString("words\r\n")},
                                         {"stone", MaterialBytes("numTextures 1 Texture 0 WRAP WRAP red")}}}));
    auto source = std::make_shared<ThumbSource>();
    source->path = path;  // read by the first worker
    auto edited = std::make_shared<ThumbSource>();
    ASSERT_EQ(Pak_OpenArchive(path, edited->pak), PakOpenResult::Ok);
    edited->given = true;
    edited->pending[0] = std::make_shared<const std::vector<uint8_t>>(Fixture_Texture(64, 64, 1, 7, Solid<0, 0, 200>));
    auto missing = std::make_shared<ThumbSource>();
    missing->path = dir / "NONE.PAK";

    ThumbCache cache(1 << 20);
    std::mutex lock;
    std::map<uint64_t, ThumbResult> results;
    {
        ThumbQueue queue(cache, 2, [&](const ThumbResult &result) {
            std::lock_guard hold(lock);
            results[result.tag] = result;
        });
        std::vector<ThumbRequest> requests;
        const struct {
            std::shared_ptr<ThumbSource> source;
            int slot;
        } asked[] = {{source, 0}, {source, 1}, {source, 2}, {edited, 0}, {missing, 0}, {source, 7}};
        for (size_t i = 0; i < std::size(asked); ++i)
            requests.push_back({i, "k" + std::to_string(i), asked[i].source, asked[i].slot, 32});
        queue.Want(std::move(requests));
        for (int waited = 0; waited < 500 && !queue.Idle(); ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(queue.Idle());
    }
    const struct {
        int kind;
        bool pictured;
        int red;  // the picture's first red value; -1 for none
    } expected[] = {{KindTexture, true, Fixture_Quantise({200, 0, 0}).r},
                    {KindText, false, -1},
                    {KindMaterial, true, Fixture_Quantise({200, 0, 0}).r},  // its diffuse texture
                    {KindTexture, true, 0},                                 // the pending blue one
                    {-2, false, -1},
                    {-2, false, -1}};
    ASSERT_EQ(results.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(results[i].kind, expected[i].kind) << i;
        EXPECT_EQ(results[i].pictured, expected[i].pictured) << i;
        const auto picture = cache.Find("k" + std::to_string(i));
        ASSERT_EQ(picture != nullptr, expected[i].red >= 0) << i;
        if (picture) {
            EXPECT_EQ(picture->width, 32u);
            EXPECT_EQ(picture->rgba[0], expected[i].red) << i;
        }
    }
}
