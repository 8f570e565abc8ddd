// An exported model's materials by the view's lookup rule: surfaces naming
// one material (case ignored) share it, GLOBAL.PAK answers what the archive
// cannot, and a GLOBAL.PAK the caller keeps is the one searched.
#include "export/export_materials.h"
#include "temp_dir.h"
#include "test_data.h"

#include <gtest/gtest.h>

TEST(ExportMaterials, SharedByNameAndFoundInGlobal)
{
    TempDir dir, elsewhere;
    const Bytes stoneD = Fixture_Texture(8, 4, 1, 1, Solid<1, 2, 3>);
    FixtureArchive global, other, third;
    global.entries = {{"stone", MaterialBytes("numTextures 1 Texture 0 WRAP WRAP stone_d")}, {"stone_d", stoneD}};
    other.entries = {{"plain", MaterialBytes("FinalBlend ADD")}};
    third.entries = {{"x", MaterialBytes("FinalBlend ADD")}};
    FixtureArchive otherGlobal;
    otherGlobal.entries = {{"stone", MaterialBytes("FinalBlend ALPHA")}};
    ASSERT_TRUE(Fixture_WritePak(dir / "GLOBAL.PAK", global));
    ASSERT_TRUE(Fixture_WritePak(dir / "OTHER.PAK", other));
    ASSERT_TRUE(Fixture_WritePak(elsewhere / "THIRD.PAK", third));
    ASSERT_TRUE(Fixture_WritePak(elsewhere / "GLOBAL.PAK", otherGlobal));
    PakArchive archive, kept, thirdPak;
    ASSERT_EQ(Pak_OpenArchive(dir / "OTHER.PAK", archive), PakOpenResult::Ok);

    Model model;
    for (const char *name : {"Stone.mat", "plain", "STONE", "gone"}) {
        ModelSurface s;
        snprintf(s.materialName, sizeof s.materialName, "%s", name);
        model.surfaces.push_back(std::move(s));
    }
    ExportMaterialSource source(&archive, &kept);
    const auto m = Export_ResolveMaterials(model, source);
    ASSERT_EQ(m.size(), 4u);
    EXPECT_TRUE(m[0].found && m[1].found && m[2].found && !m[3].found);
    EXPECT_EQ(std::pair(m[0].diffuse.name, m[0].diffuse.bytes), std::pair(std::string("stone_d"), stoneD));
    EXPECT_EQ(std::pair(m[2].materialName, m[2].diffuse.bytes), std::pair(std::string("STONE"), stoneD));
    EXPECT_EQ(m[1].material.blendSrc, kGlOne);
    EXPECT_TRUE(kept.hasIndex);

    // The GLOBAL.PAK kept from the first folder is still the one searched.
    ASSERT_EQ(Pak_OpenArchive(elsewhere / "THIRD.PAK", thirdPak), PakOpenResult::Ok);
    model.surfaces.resize(1);
    ExportMaterialSource later(&thirdPak, &kept);
    EXPECT_EQ(Export_ResolveMaterials(model, later)[0].diffuse.name, "stone_d");
}
