// quillon-cli's forms for other programs on the sample archives: models as
// OBJ+MTL into one folder and as .glb, the .glb checked by the Khronos
// validator (assimp reads both writers' output in tests/convert); list --json.
#include "cli_run.h"

#include "../convert/readers.h"

#include <gtest/gtest.h>
#include <sstream>

TEST(CliForms, SampleModelsAsObjMtlAndGlb)
{
    const bool validate = Installed(kGltfValidatorProbe);
    TempDir dir;
    ASSERT_TRUE(MakeSamples(dir / "s", dir));
    // Archive, record, and the materials its .mtl must define (one model of
    // the level archive, whose floor texture is its own, the rest GLOBAL's).
    const struct {
        const char *archive, *record, *material;
    } rows[] = {{"GLOBAL.PAK", "#31", "materials\\env\\stone_wall.mat"},
                {"GLOBAL.PAK", "#26", "materials\\env\\crate_broken.mat"},
                {"GLOBAL.PAK", "#21", "materials\\env\\iron_plate.mat"},
                {"GLOBAL.PAK", "#28", "materials\\env\\lava_flow.mat"},
                {"M01_NIGHTMARE.PAK", "#5", "materials\\m01\\floor_tiles.mat"}};
    std::filesystem::create_directories(dir / "out");
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.archive) + r.record);
        const std::string stem = dir / ("out/m" + std::string(r.record + 1));
        for (const char *form : {"--obj-mtl", "--glb"}) {
            const std::string path = stem + (form[2] == 'o' ? ".obj" : ".glb");
            const CliResult result = RunCli({"export", dir / ("s/" + std::string(r.archive)), r.record, "-o", path, form}, dir);
            ASSERT_EQ(result.status, 0) << result.err;
        }
        if (validate) {
            const std::string report = GltfValidatorReport(stem + ".glb");
            EXPECT_NE(report.find("\"numErrors\":0,"), std::string::npos) << report;
        }
    }
    // Every texture the .mtl names is on disk.
    const std::string mtl = ReadText(dir / "out/dkexport.mtl");
    int maps = 0;
    for (const auto &r : rows)
        EXPECT_NE(mtl.find(std::string("newmtl ") + r.material + "\n"), std::string::npos) << r.material;
    std::istringstream lines(mtl);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("map_", 0) != 0 && line.rfind("bump ", 0) != 0)
            continue;
        const std::string file = line.substr(line.find(' ') + 1);
        EXPECT_TRUE(std::filesystem::is_regular_file(dir / ("out/" + file))) << file;
        ++maps;
    }
    EXPECT_GE(maps, 5);
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "out/textures/textures_m01_floor_tiles_d.png"));
}

// list --json: JSON Lines python reads, names with bytes above 127 read as
// Latin-1, each object agreeing with list --long's columns.
TEST(CliForms, ListJsonAgreesWithLongList)
{
    TempDir dir;
    ASSERT_TRUE(MakeSamples(dir / "s", dir));
    ASSERT_TRUE(Fixture_WritePak(dir / "X.PAK", {{{"caf\xe9\\\xfc" "ber", Fixture_FromString("text")}, {"plain", Fixture_FromString("more")}}}));
    for (const std::string &archive : {dir / "s/GLOBAL.PAK", dir / "X.PAK"}) {
        SCOPED_TRACE(archive);
        ASSERT_EQ(RunCli({"list", archive, "--json"}, dir, dir / "json").status, 0);
        ASSERT_EQ(RunCli({"list", archive, "--long"}, dir, dir / "long").status, 0);
        const std::string check =
            "import json, sys\n"
            "objs = [json.loads(l) for l in open(sys.argv[1], encoding='utf-8')]\n"
            "rows = [l.rstrip(b'\\n').split(b'\\t') for l in open(sys.argv[2], 'rb')]\n"
            "assert len(objs) == len(rows), (len(objs), len(rows))\n"
            "for o, r in zip(objs, rows):\n"
            "    assert o['line'].encode('latin-1') == r[0], (o, r)\n"
            "    assert (o['size'], o['storedSize'], o['file'], o['compressed']) == "
            "(int(r[2]), int(r[3]), r[4].decode(), r[5] == b'yes'), (o, r)\n"
            "    assert o['line'].endswith('[%04d]' % o['record']), o\n"
            "    assert ('width' in o) == (o['kind'] == 'texture') and ('triangles' in o) == (o['kind'] == 'model')\n"
            "print(len(objs))\n";
        int status;
        const std::string out = Output("/usr/bin/python3 -c " + Quoted(check) + " " + Quoted(dir / "json") + " " +
                                           Quoted(dir / "long") + " 2>&1",
                                       &status);
        EXPECT_EQ(status, 0) << out;
    }
}
