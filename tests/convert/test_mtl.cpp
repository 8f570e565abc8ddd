// dkexport.mtl beside OBJ exports, as assimp reads it.
#include "temp_dir.h"
#include "export/mtl_writer.h"
#include "model_fixtures.h"
#include "readers.h"
#include "test_data.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace {

// The material names and texture references `assimp info` lists.
void AssimpMaterials(const std::string &obj, std::set<std::string> &names, std::set<std::string> &textures)
{
    const std::string out = Output("assimp info " + Quoted(obj) + " 2>&1");
    bool inTextures = false;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const size_t open = line.find('\''), close = line.rfind('\'');
        if (line.rfind("Texture Refs:", 0) == 0 || line.rfind("Node hierarchy", 0) == 0)
            inTextures = line[0] == 'T';
        else if (open != std::string::npos && close > open)
            (inTextures ? textures : names).insert(line.substr(open + 1, close - open - 1));
    }
}

}  // namespace

TEST(Mtl, AssimpReadsTheMaterialsOfModelsExportedIntoOneFolder)
{
    if (!Installed(kAssimp))
        GTEST_SKIP() << "assimp-utils is not installed";
    TempDir dir;
    std::filesystem::create_directory(dir / kMtlTextureFolder);
    const float centre[3] = {0, 0, 0}, half[3] = {1, 1, 1};
    // model, its surfaces' materials (a repeated name keeps its first maps)
    const std::pair<const char *, std::vector<MtlMaterial>> models[] = {
        {"a", {{"crate", "textures/crate_d", "textures/crate_n", "textures\\crate_s"}, {"floor", "floor_d", "", ""}}},
        {"b", {{"crate", "other_d", "", ""}, {"lamp_glass", "lamp+glass d", "glass_n", ""}}},
    };
    for (const auto &[name, materials] : models) {
        SCOPED_TRACE(name);
        ModelFixture fixture;
        for (const MtlMaterial &m : materials)
            fixture.surfaces.push_back(Fixture_Box(m.name, centre, half));
        const Bytes bytes = Fixture_Model(fixture);
        Model *model = Model_Parse(bytes.data(), bytes.size());
        ASSERT_TRUE(model);
        ASSERT_TRUE(Fixture_WriteFile(dir / (std::string(name) + ".obj"), Fixture_FromString(ObjText(model))));
        Model_Free(model);

        std::string error;
        ASSERT_TRUE(Mtl_WriteMerged(dir.path, materials, &error)) << error;
        for (const MtlMaterial &m : materials)  // only the names are read, so the textures can be empty
            for (const std::string &texture : {m.diffuse, m.normal, m.specular})
                ASSERT_TRUE(texture.empty() ||
                            Fixture_WriteFile(dir / kMtlTextureFolder + "/" + Mtl_TextureFileName(texture), {}));
    }

    for (const auto &[name, materials] : models) {
        std::set<std::string> names, textures;
        AssimpMaterials(dir / (std::string(name) + ".obj"), names, textures);
        for (const MtlMaterial &m : materials)
            EXPECT_TRUE(names.count(m.name)) << name << ": " << m.name;
        EXPECT_FALSE(textures.empty()) << name;
        for (const std::string &texture : textures)
            EXPECT_TRUE(std::filesystem::is_regular_file(dir / texture)) << name << ": " << texture;
    }
}

// A library written by hand is kept as it is; a name with a line break goes
// in as one line, names already defined are not added; the folder holds no
// temporary file.
TEST(Mtl, MergesIntoWhatIsThere)
{
    TempDir dir;
    const std::string existing = "# mine\r\nnewmtl  crate \r\nKd 1 0 0";
    ASSERT_TRUE(Fixture_WriteFile(dir / kMtlFileName, Fixture_FromString(existing)));
    const MtlMaterial materials[] = {
        {"crate", "x", "", ""}, {"two\nlines", "x", "", ""}, {"", "x", "", ""}, {"lamp", "", "", "lamp_s"}, {"lamp", "y", "", ""}};
    std::string error;
    ASSERT_TRUE(Mtl_WriteMerged(dir.path, materials, &error)) << error;
    EXPECT_EQ(ReadText(dir / kMtlFileName), existing + "\nnewmtl two_lines\nmap_Kd textures/x.png\n\n"
                                                       "newmtl lamp\nmap_Ks textures/lamp_s.png\n\n");
    EXPECT_EQ(FilesUnder(dir.path), (std::set<std::string>{kMtlFileName, kMtlLockName}));  // no temporary file

    EXPECT_FALSE(Mtl_WriteMerged(dir / "missing", materials, &error));
    EXPECT_FALSE(error.empty());
}
