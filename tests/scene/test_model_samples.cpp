// The sample archives' models end to end: quillon-cli exports them as OBJ
// files that assimp reads back with the same counts, and their materials are
// found where the samples put them.
#include "viewer/viewer_state.h"
#include "cli_run.h"
#include "scene/scene.h"
#include "material/material.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

namespace {

struct Counts {
    long vertices = -1, faces = -1;
    bool operator==(const Counts &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Counts &c)
{
    return out << c.vertices << " vertices, " << c.faces << " faces";
}

// What `assimp info` reports for an OBJ file.
Counts AssimpCounts(const std::string &path)
{
    Counts c;
    FILE *pipe = popen(("assimp info '" + path + "' 2>&1").c_str(), "r");
    if (!pipe)
        return c;
    char line[512];
    while (fgets(line, sizeof line, pipe)) {
        sscanf(line, "Vertices: %ld", &c.vertices);
        sscanf(line, "Faces: %ld", &c.faces);
    }
    return pclose(pipe) == 0 ? c : Counts{};
}

// Vertices the faces use and triangles, as a reader of the OBJ text sees them.
Counts ParseCounts(const Model &model)
{
    Counts c{0, 0};
    for (const ModelSurface &s : model.surfaces) {
        c.vertices += static_cast<long>(std::set<uint16_t>(s.indices.begin(), s.indices.end()).size());
        c.faces += s.indicesPerElement == 3 ? s.elementCount : s.elementCount - 2;
    }
    return c;
}

struct ModelDeleter {
    void operator()(Model *m) const { Model_Free(m); }
};
using ModelPtr = std::unique_ptr<Model, ModelDeleter>;

ModelPtr LoadModel(const PakArchive &archive, const std::string &name)
{
    std::vector<uint8_t> bytes;
    if (!Pak_LoadEntryByName(name, KindModel, archive, bytes))
        return nullptr;
    return ModelPtr(Model_Parse(bytes.data(), bytes.size()));
}

class SampleModels : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new TempDir;
        made = RunProgram(QUILLON_MAKE_SAMPLES, {*dir / "samples"}, *dir).status == 0;
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(made);
        ViewerState_Reset();
    }
    void TearDown() override { ViewerState_Reset(); }

    static TempDir *dir;
    static bool made;
};
TempDir *SampleModels::dir = nullptr;
bool SampleModels::made = false;

const struct {
    const char *archive;
    const char *entry;
    int surfaces;
} kSampleModels[] = {
    {"GLOBAL.PAK", "models\\env\\iron_door", 2},    {"GLOBAL.PAK", "models\\env\\crate_broken", 2},
    {"GLOBAL.PAK", "models\\env\\lava_pool", 3},    {"GLOBAL.PAK", "models\\env\\colonnade", 30},
    {"M01_NIGHTMARE.PAK", "models\\m01\\altar", 2},
};

}  // namespace

TEST_F(SampleModels, ExportedObjFilesReadBackWithTheSameCounts)
{
    if (system("command -v assimp >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "assimp-utils is not installed";
    for (const char *archive : {"GLOBAL.PAK", "M01_NIGHTMARE.PAK"}) {
        CliResult r = RunCli({"extract", *dir / ("samples/" + std::string(archive)), "-o", *dir / "obj", "--interpreted", "--kind",
                              "model"},
                             *dir);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    for (const auto &m : kSampleModels) {
        SCOPED_TRACE(m.entry);
        PakArchive archive;
        ASSERT_EQ(Pak_OpenArchive(*dir / ("samples/" + std::string(m.archive)), archive), PakOpenResult::Ok);
        ModelPtr model = LoadModel(archive, m.entry);
        ASSERT_TRUE(model);
        EXPECT_EQ(static_cast<int>(model->surfaces.size()), m.surfaces);
        std::string path = std::string(m.entry) + ".obj";
        std::replace(path.begin(), path.end(), '\\', '/');
        EXPECT_EQ(AssimpCounts(*dir / ("obj/" + path)), ParseCounts(*model));

        // The single export writes the same text, and it is what the writer gives.
        FILE *expected = tmpfile();
        ASSERT_TRUE(Model_WriteObj(expected, model.get()));
        std::string text(static_cast<size_t>(ftell(expected)), '\0');
        rewind(expected);
        ASSERT_EQ(fread(text.data(), 1, text.size(), expected), text.size());
        fclose(expected);
        EXPECT_EQ(ReadText(*dir / ("obj/" + path)), text);
        int record = -1;
        for (const PakEntry &e : archive.entries)
            if (std::string(e.name) == m.entry)
                record = e.index;
        CliResult r = RunCli({"export", *dir / ("samples/" + std::string(m.archive)), "#" + std::to_string(record), "-o", *dir / "one.obj",
                    "--interpreted"},
                   *dir);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(ReadText(*dir / "one.obj"), text);
    }
}

TEST_F(SampleModels, MaterialsComeFromBothArchives)
{
    ASSERT_EQ(Pak_OpenArchive(*dir / "samples/M01_NIGHTMARE.PAK", viewer.mainPak), PakOpenResult::Ok);
    ModelPtr altar = LoadModel(viewer.mainPak, "models\\m01\\altar");
    ASSERT_TRUE(altar);
    Model_AttachMaterials(*altar);
    // Floor tiles from the opened archive, the stone slab (with its normal map) from GLOBAL.PAK.
    ASSERT_NE(altar->surfaces[0].material, nullptr);
    ASSERT_NE(altar->surfaces[1].material, nullptr);
    EXPECT_EQ(altar->surfaces[0].material->diffuseTexture, 2u);
    EXPECT_EQ(altar->surfaces[1].material->diffuseTexture, 3u);
    EXPECT_EQ(altar->surfaces[1].material->normalTexture, 4u);

    ViewerState_Reset();
    ASSERT_EQ(Pak_OpenArchive(*dir / "samples/GLOBAL.PAK", viewer.mainPak), PakOpenResult::Ok);
    ModelPtr door = LoadModel(viewer.mainPak, "models\\env\\iron_door");
    Model_AttachMaterials(*door);
    const Material *iron = door->surfaces[0].material;
    ASSERT_NE(iron, nullptr);
    EXPECT_NE(iron->normalTexture, 0u);
    EXPECT_NE(iron->specularTexture, 0u);

    ModelPtr crate = LoadModel(viewer.mainPak, "models\\env\\crate_broken");
    Model_AttachMaterials(*crate);
    ASSERT_NE(crate->surfaces[0].material, nullptr);
    EXPECT_NE(crate->surfaces[0].material->diffuseTexture, 0u);  // "__missingtexture"
    EXPECT_EQ(crate->surfaces[1].material, nullptr);

    // Stored compressed, as are its material and texture.
    ModelPtr lava = LoadModel(viewer.mainPak, "models\\env\\lava_pool");
    ASSERT_TRUE(lava);
    Model_AttachMaterials(*lava);
    ASSERT_NE(lava->surfaces[0].material, nullptr);
    EXPECT_EQ(lava->surfaces[0].material->vVelocity, -0.25f);
    EXPECT_NE(lava->surfaces[0].material->diffuseTexture, 0u);
    EXPECT_EQ(lava->surfaces[0].indicesPerElement, 1);

    ModelPtr colonnade = LoadModel(viewer.mainPak, "models\\env\\colonnade");
    ASSERT_TRUE(colonnade);
    Model_AttachMaterials(*colonnade);
    int shared = 0;
    for (const ModelSurface &s : colonnade->surfaces)
        shared += s.materialShared;
    EXPECT_EQ(shared, 28);  // two materials among thirty surfaces
    EXPECT_EQ(colonnade->surfaces[0].vertices[0].position[1], -20.0f);  // rebased: as stored
}
