// Materials and textures found by name across the open archive and GLOBAL.PAK.
#include "app/main_dialog.h"
#include "temp_dir.h"
#include "test_data.h"
#include "scene/scene.h"
#include "texture/texture.h"

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

// A texture whose width tells it apart from the others.
Bytes Texture(uint32_t width)
{
    return Fixture_Texture(width, 4, 1, 1, Solid<128, 128, 128>);
}

struct Upload {
    uint32_t name;
    int32_t wrapS, wrapT;
    uint32_t width;
    bool operator==(const Upload &) const = default;
};
std::vector<Upload> gUploads;

void RecordUpload(uint32_t name, const uint8_t *bytes, int32_t size, TextureWrap wrap)
{
    ASSERT_GE(size, 128);
    TextureHeader header;
    Texture_ReadHeader(std::span(bytes, kTextureHeaderSize), header);
    gUploads.push_back({name, wrap.s, wrap.t, header.width});
}

using MaterialPtr = std::unique_ptr<Material>;

class MaterialLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ViewerState_Reset();
        R_ResetState();
        gUploads.clear();
        viewer.services.render.UploadTexture = RecordUpload;
    }
    void TearDown() override { ViewerState_Reset(); }
    void Open(const std::string &path) { ASSERT_EQ(Pak_OpenArchive(path, viewer.session.mainPak), PakOpenResult::Ok); }

    TempDir dir;
};

// The opens the kernel reported, since the last call, of the file that the
// inotify descriptor `fd` watches: every entry read from an archive file opens it once.
int Opens(int fd)
{
    int opens = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;)
        for (const char *p = buffer; p < buffer + got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(p);
            opens += (event->mask & IN_OPEN) != 0;
            p += sizeof(inotify_event) + event->len;
        }
    return opens;
}

}  // namespace

TEST_F(MaterialLookup, LoadEntryByNameMatchesNameAndKind)
{
    FixtureArchive a;
    a.entries = {
        {"stone", Fixture_FromString("plain text, not a material")},
        {"STONE", MaterialBytes("Class first"), 0},
        {"stone", MaterialBytes("Class second")},
        {"stone", Texture(16)},
        {"packed", Fixture_LzoBlock(Texture(32), true), 1},
        {"gone", Texture(8), 2},
        {"gone", MaterialBytes("never reached")},
        {std::string(64, 'n'), Texture(64)},
        {.name = "hidden", .bytes = Texture(8), .skipped = true},
    };
    ASSERT_TRUE(Fixture_WritePak(dir / "OTHER.PAK", a));
    ASSERT_EQ(remove((dir / "OTHER_02.PAK").c_str()), 0);
    Open(dir / "OTHER.PAK");
    const PakArchive &pak = viewer.session.mainPak;

    Bytes bytes;
    ASSERT_TRUE(Pak_LoadEntryByName("Stone", KindMaterial, pak, bytes));
    EXPECT_EQ(bytes, MaterialBytes("Class first"));
    ASSERT_TRUE(Pak_LoadEntryByName("stone", KindTexture, pak, bytes));
    EXPECT_EQ(bytes, Texture(16));
    // Stored compressed: expanded before its kind is judged.
    ASSERT_TRUE(Pak_LoadEntryByName("packed", KindTexture, pak, bytes));
    EXPECT_EQ(bytes, Texture(32));
    ASSERT_TRUE(Pak_LoadEntryByName(std::string(64, 'N'), KindTexture, pak, bytes));

    EXPECT_FALSE(Pak_LoadEntryByName("stone", KindModel, pak, bytes));
    EXPECT_TRUE(bytes.empty());
    // The companion of the first "gone" is missing: the search ends there.
    for (const auto &[name, kind] : {std::pair{std::string("gone"), KindMaterial}, {"hidden", KindTexture},
                                     {"", KindUnknown}, {"ston", KindMaterial}, {std::string(65, 'n'), KindTexture}})
        EXPECT_FALSE(Pak_LoadEntryByName(name, kind, pak, bytes)) << name;

    // A resource waiting for a save stands in for its stored bytes, kind judged the same way.
    const Bytes waiting = Texture(8);
    const LookupPending pending = [&](size_t slot) { return slot == 0 ? &waiting : nullptr; };
    ASSERT_TRUE(Pak_LoadEntryByName("stone", KindTexture, pak, bytes, pending));
    EXPECT_EQ(bytes, waiting);
}

TEST_F(MaterialLookup, GlobalArchiveIsLoadedOnceAndKept)
{
    FixtureArchive global, other;
    global.entries = {{"g_mat", MaterialBytes("FinalBlend ADD")}};
    other.entries = {{"o_mat", MaterialBytes("FinalBlend ALPHA")}};
    ASSERT_TRUE(Fixture_WritePak(dir / "OTHER.PAK", other));
    // No GLOBAL.PAK yet: not found, and tried again later.
    Open(dir / "OTHER.PAK");
    EXPECT_FALSE(Pak_OpenGlobal(App_SceneSources()));
    EXPECT_EQ(Mat_FindByName(viewer.preview, App_SceneSources(), "g_mat"), nullptr);
    // Copied from Windows in another case: the first such name in byte order.
    ASSERT_TRUE(Fixture_WriteFile(dir / "global.pak", Fixture_FromString("PAK-wrong magic here")));
    EXPECT_FALSE(Pak_OpenGlobal(App_SceneSources()));
    ASSERT_TRUE(Fixture_WritePak(dir / "Global.PAK", global));
    MaterialPtr m(Mat_FindByName(viewer.preview, App_SceneSources(), "g_mat.mat"));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->blendSrc, kGlOne);
    EXPECT_TRUE(viewer.session.globalPak.hasIndex);

    // Kept: another archive from another folder still searches the first GLOBAL.PAK.
    TempDir elsewhere;
    ASSERT_TRUE(Fixture_WritePak(elsewhere / "THIRD.PAK", other));
    ASSERT_TRUE(Fixture_WritePak(elsewhere / "GLOBAL.PAK", other));
    Open(elsewhere / "THIRD.PAK");
    EXPECT_TRUE(Pak_OpenGlobal(App_SceneSources()));
    EXPECT_EQ(viewer.session.globalPak.path, dir / "Global.PAK");
    m.reset(Mat_FindByName(viewer.preview, App_SceneSources(), "g_mat"));
    EXPECT_TRUE(m);

    // With GLOBAL.PAK itself open nothing else is read.
    ViewerState_Reset();
    R_ResetState();
    Open(dir / "Global.PAK");
    EXPECT_FALSE(Pak_OpenGlobal(App_SceneSources()));
    EXPECT_FALSE(viewer.session.globalPak.hasIndex);
    m.reset(Mat_FindByName(viewer.preview, App_SceneSources(), "g_mat"));
    EXPECT_TRUE(m);
}

TEST_F(MaterialLookup, FindByNameCutsTheMatEnding)
{
    FixtureArchive a;
    a.entries = {{"stone", MaterialBytes("FinalBlend ADD")}, {"x", MaterialBytes("FinalBlend ALPHA")},
                 {".mat", MaterialBytes("FinalBlend MULTIPLY")}, {"empty", {}},
                 {"blooddripfull", MaterialBytes("VVelocity 0.5")}};
    ASSERT_TRUE(Fixture_WritePak(dir / "GLOBAL.PAK", a));
    EXPECT_EQ(Mat_FindByName(viewer.preview, App_SceneSources(), "stone"), nullptr);  // no archive open
    Open(dir / "GLOBAL.PAK");
    const struct {
        const char *name;
        uint32_t blendSrc;  // 0: not found
    } cases[] = {{"stone.mat", kGlOne}, {"STONE.MAT", kGlOne}, {"stone", kGlOne}, {"x.mat", kGlSrcAlpha},
                 {".mat", kGlDstColor}, {"stone.ma", 0},       {"empty", 0},       {"", 0}};
    for (const auto &c : cases) {
        MaterialPtr m(Mat_FindByName(viewer.preview, App_SceneSources(), c.name));
        EXPECT_EQ(m ? m->blendSrc : 0u, c.blendSrc) << c.name;
    }
    // Mat_Parse is given the name with its ending.
    MaterialPtr drip(Mat_FindByName(viewer.preview, App_SceneSources(), "blooddripfull.mat"));
    ASSERT_TRUE(drip);
    EXPECT_EQ(drip->vVelocity, -0.04f);
}

TEST_F(MaterialLookup, TexturesGetNamesAndWrapPairs)
{
    FixtureArchive global, other;
    global.entries = {{"__missingtexture", Texture(4)}, {"wall_n", Texture(12), 0},
                      {"wall_d", MaterialBytes("a material, not a texture")}};
    other.entries = {{"wall_d", Texture(8)}, {"wall_s", Fixture_LzoBlock(Texture(20), false)}};
    ASSERT_TRUE(Fixture_WritePak(dir / "GLOBAL.PAK", global));
    ASSERT_TRUE(Fixture_WritePak(dir / "OTHER.PAK", other));
    const std::string text = kMaterialHead +
                             "numTextures 3\n"
                             "Texture 0 WRAP BORDER wall_d\n"
                             "Texture 1 BORDER WRAP wall_n\n"
                             "Texture 2 CLAMP WRAP wall_s\n";

    // No archive open: the material is read, no texture is looked up.
    MaterialPtr m(Mat_Parse(viewer.preview, App_SceneSources(), text.data(), text.size(), "wall.mat"));
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->diffuseTexture == 0u && gUploads.empty());

    Open(dir / "OTHER.PAK");
    m.reset(Mat_Parse(viewer.preview, App_SceneSources(), text.data(), text.size(), "wall.mat"));
    EXPECT_EQ(std::tuple(m->diffuseTexture, m->normalTexture, m->specularTexture), std::tuple(2u, 3u, 4u));
    EXPECT_EQ(gUploads, (std::vector<Upload>{{2, 0x2901, 0x812D, 8}, {3, 0x2900, 0x2901, 12}, {4, 0x2900, 0x2901, 20}}));

    // A missing diffuse map shows "__missingtexture"; a missing normal map has no stand-in.
    gUploads.clear();
    const std::string missing = "numTextures 2 Texture 0 WRAP WRAP nothing_d Texture 0 WRAP WRAP nothing_n";
    m.reset(Mat_Parse(viewer.preview, App_SceneSources(), missing.data(), missing.size(), "m"));
    EXPECT_EQ(std::pair(m->diffuseTexture, m->normalTexture), std::pair(5u, 0u));
    EXPECT_EQ(gUploads, (std::vector<Upload>{{5, 0x2901, 0x2901, 4}}));
    m.reset(Mat_Parse(viewer.preview, App_SceneSources(), "", 0, "m"));
    EXPECT_EQ(m->diffuseTexture, 6u);
    EXPECT_EQ(viewer.preview.materialTextureCount, 5);

    // Without an uploader the names are still handed out.
    viewer.services.render.UploadTexture = nullptr;
    m.reset(Mat_Parse(viewer.preview, App_SceneSources(), text.data(), text.size(), "wall.mat"));
    EXPECT_EQ(std::pair(m->specularTexture, gUploads.size()), std::pair(9u, size_t(2)));

    // Without "__missingtexture" anywhere the diffuse map stays 0.
    ViewerState_Reset();
    R_ResetState();
    std::filesystem::remove(dir / "GLOBAL.PAK");
    Open(dir / "OTHER.PAK");
    m.reset(Mat_Parse(viewer.preview, App_SceneSources(), missing.data(), missing.size(), "m"));
    EXPECT_EQ(m->diffuseTexture, 0u);
}

// Surfaces share a material by name, ignoring case; what is missing
// is searched for once: in the companion, 50 entries named like a missing
// material and 50 named like a missing normal map, each of the other kind.
TEST_F(MaterialLookup, AModelSharesMaterialsAndSearchesForWhatIsMissingOnce)
{
    FixtureArchive a;
    const std::string text = "numTextures 2 Texture 0 WRAP WRAP stone_d Texture 0 WRAP WRAP gone_n";
    a.entries = {{"stone", MaterialBytes(text)}, {"stone_d", Texture(8)},
                 {"other", MaterialBytes("numTextures 2 Texture 0 WRAP WRAP x_d Texture 0 WRAP WRAP gone_n")}};
    for (int i = 0; i < 50; ++i) {
        a.entries.push_back({"missing", Texture(4), 1});
        a.entries.push_back({"gone_n", MaterialBytes("a material, not a texture"), 1});
    }
    ASSERT_TRUE(Fixture_WritePak(dir / "OTHER.PAK", a));
    Open(dir / "OTHER.PAK");
    Model *model = new Model;
    for (const char *name : {"Stone.mat", "stone.MAT", "", "missing", "MISSING.mat", "missing", "other", "STONE.mat"}) {
        ModelSurface s;
        snprintf(s.materialName, sizeof s.materialName, "%s", name);
        model->surfaces.push_back(std::move(s));
    }
    const int watch = inotify_init1(IN_NONBLOCK);
    // Closes too, so that successive opens are not merged into one event.
    ASSERT_GE(inotify_add_watch(watch, (dir / "OTHER_01.PAK").c_str(), IN_OPEN | IN_CLOSE_NOWRITE), 0);
    Model_AttachMaterials(viewer.preview, App_SceneSources(), *model);
    EXPECT_EQ(Opens(watch), 100);  // each name's 50 entries, once
    close(watch);
    const auto &s = model->surfaces;
    ASSERT_TRUE(s[0].material && s[6].material);
    EXPECT_EQ(std::tuple(s[0].materialShared, s[0].material->diffuseTexture, s[6].material->normalTexture),
              std::tuple(false, 2u, 0u));
    for (size_t i : {1, 7})
        EXPECT_EQ(std::pair(s[i].material, s[i].materialShared), std::pair(s[0].material, true)) << i;
    for (size_t i : {2, 3, 4, 5})
        EXPECT_TRUE(s[i].material == nullptr && !s[i].materialShared) << i;
    EXPECT_EQ(gUploads.size(), 1u);  // the shared material was read once
    Model_Free(model);                // and is released once
}
