// The sample models as OBJ files that assimp reads back with our parse's counts.
#include "cli_run.h"
#include "model/model.h"
#include "pak/pak.h"
#include "../convert/readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <sstream>

namespace {

// Vertices and faces as `assimp info` counts them in an OBJ file.
std::string AssimpCounts(const std::string &path)
{
    int status;
    const std::string out = Output("assimp info " + Quoted(path) + " 2>&1", &status);
    long vertices = -1, faces = -1;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        sscanf(line.c_str(), "Vertices: %ld", &vertices);
        sscanf(line.c_str(), "Faces: %ld", &faces);
    }
    return status == 0 ? std::to_string(vertices) + " vertices, " + std::to_string(faces) + " faces" : out;
}

// Vertices the faces use and triangles, as a reader of the OBJ text sees them.
std::string ParseCounts(const Model &model)
{
    long vertices = 0, faces = 0;
    for (const ModelSurface &s : model.surfaces) {
        vertices += static_cast<long>(std::set<uint16_t>(s.indices.begin(), s.indices.end()).size());
        faces += s.indicesPerElement == 3 ? s.elementCount : s.elementCount - 2;
    }
    return std::to_string(vertices) + " vertices, " + std::to_string(faces) + " faces";
}

}  // namespace

TEST(SampleModels, ExportedObjFilesReadBackWithTheSameCounts)
{
    if (!Installed(kAssimp))
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
