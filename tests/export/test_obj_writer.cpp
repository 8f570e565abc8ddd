// The OBJ text of a model, exactly.
#include "export/export.h"
#include "host.h"
#include "model/model.h"
#include "test_data.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

ModelSurface Surface(const char *name, int vertexCount, std::vector<uint16_t> indices, int perElement)
{
    ModelSurface s;
    snprintf(s.materialName, sizeof s.materialName, "%s", name);
    s.vertexCount = vertexCount;
    std::vector<ModelVertex> vertices;
    for (int k = 0; k < vertexCount; ++k) {
        ModelVertex v{};
        v.u = 0.25f * static_cast<float>(k);
        v.v = 1.0f - 0.25f * static_cast<float>(k);
        v.position[0] = static_cast<float>(k);
        v.position[1] = 1.5f;
        v.position[2] = -0.0f;
        v.normal[2] = 1.0f;
        vertices.push_back(v);
    }
    s.vertices = ModelVertexArray(std::move(vertices));
    s.indicesPerElement = perElement;
    s.elementCount = static_cast<int32_t>(indices.size()) / perElement;
    s.indices = std::move(indices);
    return s;
}

constexpr const char *kHeader = "# Quillon .obj export.\n#\nmtllib ./dkexport.mtl\n";

}  // namespace

TEST(ObjWriter, WritesOneTriangleExactly)
{
    Model model;
    model.surfaces.push_back(Surface("stone", 3, {0, 1, 2}, 3));
    EXPECT_EQ(ObjText(&model), std::string(kHeader) +
                                   "g\n"
                                   "v  0.000000 1.500000 -0.000000\n"
                                   "v  1.000000 1.500000 -0.000000\n"
                                   "v  2.000000 1.500000 -0.000000\n"
                                   "\n"
                                   "vt  0.000000 1.000000 0.000000\n"
                                   "vt  0.250000 0.750000 0.000000\n"
                                   "vt  0.500000 0.500000 0.000000\n"
                                   "\n"
                                   "vn  0.000000 0.000000 1.000000\n"
                                   "vn  0.000000 0.000000 1.000000\n"
                                   "vn  0.000000 0.000000 1.000000\n"
                                   "\n"
                                   "g dkobj00\n"
                                   "usemtl stone\n"
                                   "f  1/1/1 2/2/2 3/3/3\n"
                                   "\n"
                                   "g\n");
}

TEST(ObjWriter, NumbersFacesAcrossSurfacesAndStrips)
{
    Model model;
    model.surfaces.push_back(Surface("a", 4, {0, 1, 2, 2, 1, 3}, 3));
    model.surfaces.push_back(Surface("strip", 5, {0, 1, 2, 3, 4}, 1));
    model.surfaces.back().hidden = 1;  // hidden surfaces are exported like the others
    for (int i = 2; i < 12; ++i)
        model.surfaces.push_back(Surface("x", 3, {2, 1, 0}, 3));
    const std::string text = ObjText(&model);

    std::vector<std::string> faces, groups;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line[0] == 'f')
            faces.push_back(line);
        if (line[0] == 'g')
            groups.push_back(line);
    }
    ASSERT_EQ(faces.size(), 2u + 3u + 10u);
    EXPECT_EQ(faces[1], "f  3/3/3 2/2/2 4/4/4");
    // The strip's faces (1, 2, 3), (2, 3, 4), (3, 4, 5) after the first surface's 4 vertices.
    EXPECT_EQ(faces[2], "f  5/5/5 6/6/6 7/7/7");
    EXPECT_EQ(faces[3], "f  6/6/6 7/7/7 8/8/8");
    EXPECT_EQ(faces[4], "f  7/7/7 8/8/8 9/9/9");
    EXPECT_EQ(faces.back(), "f  39/39/39 38/38/38 37/37/37");
    EXPECT_EQ(groups[3], "g dkobj01");
    EXPECT_EQ(groups[23], "g dkobj11");
    EXPECT_NE(text.find("usemtl strip\n"), std::string::npos);
}

TEST(ObjWriter, NoModelWritesNothingAndWriteFailuresAreReported)
{
    EXPECT_EQ(ObjText(nullptr), "");
    Model model;
    model.surfaces.push_back(Surface("stone", 3, {0, 1, 2}, 3));
    FILE *full = FailingWriteStream();
    ASSERT_NE(full, nullptr);
    setvbuf(full, nullptr, _IONBF, 0);
    EXPECT_FALSE(Model_WriteObj(full, &model));
    fclose(full);
}
