// The sample models as OBJ files that assimp reads back with our parse's counts.
#include "cli_run.h"
#include "model/model.h"
#include "pak/pak.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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

}  // namespace

TEST(SampleModels, ExportedObjFilesReadBackWithTheSameCounts)
{
    if (system("command -v assimp >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "assimp-utils is not installed";
    TempDir dir;
    ASSERT_TRUE(MakeSamples(dir / "samples", dir));
    int models = 0;
    for (const std::string name : {"GLOBAL.PAK", "M01_NIGHTMARE.PAK"}) {
        const std::string pak = dir / ("samples/" + name), out = dir / ("obj-" + name);
        CliResult r = RunCli({"extract", pak, "-o", out, "--interpreted", "--kind", "model"}, dir);
        ASSERT_EQ(r.status, 0) << r.err;
        PakArchive archive;
        ASSERT_EQ(Pak_OpenArchive(pak, archive), PakOpenResult::Ok);
        for (const PakEntry &e : archive.entries) {
            std::string file = std::string(e.name, strnlen(e.name, sizeof e.name)) + ".obj";
            std::replace(file.begin(), file.end(), '\\', '/');
            if (!std::filesystem::exists(out + "/" + file))
                continue;
            SCOPED_TRACE(file);
            Bytes bytes;
            ASSERT_EQ(Pak_LoadEntry(archive, e, bytes), PakLoadResult::Ok);
            Model *model = Model_Parse(bytes.data(), bytes.size());
            ASSERT_NE(model, nullptr);
            EXPECT_EQ(AssimpCounts(out + "/" + file), ParseCounts(*model));
            Model_Free(model);
            r = RunCli({"export", pak, "#" + std::to_string(e.index), "-o", dir / "one.obj", "--interpreted"}, dir);
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(ReadText(dir / "one.obj"), ReadText(out + "/" + file));
            ++models;
        }
    }
    EXPECT_GT(models, 0);
}
