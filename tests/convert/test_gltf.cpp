// glTF exports against the Khronos validator and assimp's reading of the OBJ export.
#include "temp_dir.h"
#include "export/export_jobs.h"
#include "model/model.h"
#include "model_fixtures.h"
#include "readers.h"
#include "test_data.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

struct ModelDeleter {
    void operator()(Model *m) const { Model_Free(m); }
};

}  // namespace

TEST(Gltf, ValidatorAndAssimpReadBothForms)
{
    if (!Installed(kGltfValidatorProbe) || !Installed(kAssimp))
        GTEST_SKIP() << "node with the glTF validator (scripts/setup) and assimp are needed";

    const float centre[3] = {0, 0, 0}, half[3] = {1, 2, 0.5f};
    ModelFixture fixture;
    fixture.surfaces = {Fixture_Box("crate", centre, half), Fixture_StripPanel("floor", -2, -2, 4, 1, -1, 5),
                        Fixture_Box("crate", centre, half)};
    const Bytes bytes = Fixture_Model(fixture);
    std::unique_ptr<Model, ModelDeleter> model(Model_Parse(bytes.data(), bytes.size()));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->surfaces.size(), 3u);
    std::vector<ModelVertex> first(model->surfaces[0].vertices.begin(), model->surfaces[0].vertices.end());
    first[0].normal[0] = first[0].normal[1] = first[0].normal[2] = 0;  // no direction: it becomes (0, 0, 1)
    model->surfaces[0].vertices = ModelVertexArray(std::move(first));

    // A strip through 65536 vertices: index 65535 is glTF's restart value in 16 bits.
    Model ribbon;
    ModelSurface &zigzag = ribbon.surfaces.emplace_back();
    zigzag.indicesPerElement = 1;
    std::vector<ModelVertex> zigzagVertices;
    for (uint32_t k = 0; k < 65536; ++k) {
        zigzagVertices.push_back(ModelVertex{0.001f * k, 0.5f, {0.01f * k, float(k % 2), 3}, {0, 0, 1}, {}, {}});
        zigzag.indices.push_back(static_cast<uint16_t>(k));
    }
    zigzag.vertices = ModelVertexArray(std::move(zigzagVertices));
    zigzag.vertexCount = zigzag.elementCount = 65536;

    const Bytes diffuse = Fixture_Texture(20, 12, 1, 1, Fixture_PictureColour);
    const Bytes normal = Fixture_Texture(16, 16, 5, 1, Fixture_PictureColour);
    GltfMaterialInput crate{"crate", &diffuse, &normal, 0x2901, 0x812D};
    GltfMaterialInput floor{"", &diffuse, nullptr, 0x2900, 0x2901};
    floor.alphaCutoff = 0.55f;
    const GltfMaterialInput materials[] = {crate, floor, crate};

    TempDir dir;
    ASSERT_TRUE(Fixture_WriteFile(dir / "model.obj", Fixture_FromString(ObjText(model.get()))));
    // The OBJ repeats a vertex for every corner until assimp joins them.
    const std::string expected = AssimpCounts(dir / "model.obj");

    const struct {
        const char *name;
        GltfForm form;
        const Model &model;
        std::span<const GltfMaterialInput> materials;
    } rows[] = {{"model.glb", GltfForm::Binary, *model, materials},
                {"model.gltf", GltfForm::Separate, *model, materials},
                {"ribbon.glb", GltfForm::Binary, ribbon, {}}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        const ExportStatus status = Export_WriteGltf(dir / r.name, r.model, r.materials, r.form);
        ASSERT_TRUE(status.Ok()) << Export_Message(status);
        EXPECT_EQ(GltfValidatorErrors(dir / r.name), "");
        if (&r.model == model.get()) {
            EXPECT_EQ(AssimpCounts(dir / r.name, true), expected);
        }
    }
}
