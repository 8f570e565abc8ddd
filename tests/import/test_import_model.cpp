// New vertex data for models from the files our own OBJ and glTF exports
// write, moved by a known transform, and from an OBJ written the way editors
// write them (a vertex per corner, surfaces known by material names only):
// the model parsed again holds the moved values, and every byte outside its
// vertex data is as it was. Then the refusals, each naming what differs.
#include "model_fixtures.h"
#include "temp_dir.h"
#include "test_data.h"

#include "export/export.h"
#include "export/gltf_writer.h"
#include "import/import.h"
#include "model/model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>

namespace {

struct ModelFree {
    void operator()(Model *m) const { Model_Free(m); }
};
using ModelPtr = std::unique_ptr<Model, ModelFree>;

ModelPtr Parse(const Bytes &bytes, std::vector<ModelSurfaceLayout> *layout = nullptr)
{
    return ModelPtr(Model_Parse(bytes.data(), bytes.size(), layout));
}

// A quarter turn about z, scaled and moved; normals turned with it; the
// texture coordinates shifted.
ModelVertex Moved(ModelVertex v)
{
    const float x = v.position[0], y = v.position[1];
    v.position[0] = 0.75f * y + 3.0f;
    v.position[1] = -0.75f * x - 1.0f;
    v.position[2] = 0.75f * v.position[2] + 0.5f;
    const float nx = v.normal[0];
    v.normal[0] = v.normal[1];
    v.normal[1] = -nx;
    v.u = v.u * 0.5f + 0.25f;
    v.v += 1.0f;
    return v;
}

Model Transformed(const Model &model, ModelVertex (*f)(ModelVertex))
{
    Model out;
    for (const ModelSurface &s : model.surfaces) {
        ModelSurface copy = s;
        std::vector<ModelVertex> vertices(s.vertices.begin(), s.vertices.end());
        for (ModelVertex &v : vertices)
            v = f(v);
        copy.vertices = ModelVertexArray(std::move(vertices));
        out.surfaces.push_back(std::move(copy));
    }
    return out;
}

Bytes ObjBytes(const Model &model)
{
    const std::string text = ObjText(&model);
    return Bytes(text.begin(), text.end());
}

Bytes GlbBytes(const Model &model)
{
    FILE *file = tmpfile();
    EXPECT_TRUE(Gltf_WriteBinary(file, model, {}, nullptr));
    Bytes bytes(static_cast<size_t>(ftell(file)));
    rewind(file);
    bytes.resize(fread(bytes.data(), 1, bytes.size(), file));
    fclose(file);
    return bytes;
}

// The .gltf text, with its buffer written beside it in `dir`.
Bytes GltfBytes(const Model &model, const TempDir &dir)
{
    GltfSeparate separate;
    EXPECT_TRUE(Gltf_MakeSeparate(model, {}, separate, nullptr));
    Fixture_WriteFile(dir / "model.bin", separate.bin);
    const std::string text = Gltf_SeparateText(separate.document, "model.bin", {});
    return Bytes(text.begin(), text.end());
}

// An OBJ as editors write one: an object, a material per run of faces, a
// vertex, texture coordinate and normal of its own for every corner, no
// group names. `edit` may change a corner (surface, corner number, values);
// with `dropDegenerate` triangles that use one vertex twice are left out, as
// editors leave them.
Bytes EditorObj(const Model &model, const std::function<void(size_t, size_t, ModelVertex &)> &edit = {},
                bool dropDegenerate = false)
{
    std::string text = "# written elsewhere\no Mesh\n";
    char line[200];
    size_t corner = 0;
    for (size_t s = 0; s < model.surfaces.size(); ++s) {
        text += "usemtl " + std::string(model.surfaces[s].materialName) + "\n";
        std::vector<uint32_t> corners;
        const std::vector<uint32_t> all = Model_SurfaceCorners(model.surfaces[s]);
        for (size_t t = 0; t + 2 < all.size(); t += 3)
            if (!dropDegenerate || (all[t] != all[t + 1] && all[t + 1] != all[t + 2] && all[t] != all[t + 2]))
                corners.insert(corners.end(), all.begin() + t, all.begin() + t + 3);
        for (size_t c = 0; c < corners.size(); ++c) {
            ModelVertex v = model.surfaces[s].vertices[corners[c]];
            if (edit)
                edit(s, c, v);
            snprintf(line, sizeof line, "v %.6f %.6f %.6f\nvt %.6f %.6f\nvn %.4f %.4f %.4f\n", v.position[0],
                     v.position[1], v.position[2], v.u, v.v, v.normal[0], v.normal[1], v.normal[2]);
            text += line;
        }
        for (size_t t = 0; t < corners.size() / 3; ++t, corner += 3) {
            snprintf(line, sizeof line, "f %zu/%zu/%zu %zu/%zu/%zu %zu/%zu/%zu\n", corner + 1, corner + 1, corner + 1,
                     corner + 2, corner + 2, corner + 2, corner + 3, corner + 3, corner + 3);
            text += line;
        }
    }
    return Bytes(text.begin(), text.end());
}

// Models of every layout the parse reads: streams of their own (positions
// times 100), padded texture coordinates, many surfaces rebased in one shared
// buffer (names repeated), and surfaces that all claim one whole buffer.
std::vector<std::pair<std::string, Bytes>> Models()
{
    const float centre[3] = {0, 0, 0}, half[3] = {1, 2, 3};
    std::vector<std::pair<std::string, Bytes>> out;
    ModelFixture plain;
    plain.surfaces = {Fixture_Box("stone.mat", centre, half), Fixture_StripPanel("floor", 0, 0, 2, 1, 0, 3)};
    out.emplace_back("plain", Fixture_Model(plain));
    plain.texCoordStride = 16;
    plain.uvOffset = 4;
    plain.descriptorGap = 8;
    out.emplace_back("padded", Fixture_Model(plain));
    ModelFixture shared;
    shared.sharedBuffer = true;
    for (int i = 0; i < 22; ++i) {
        ModelFixtureSurface s = Fixture_StripPanel("m" + std::to_string(i % 4), float(i), 0, 1, 1, 0, 1);
        s.strip = false;
        s.indices = {0, 1, 2, 2, 1, 3};
        shared.surfaces.push_back(s);
    }
    out.emplace_back("rebased", Fixture_Model(shared));
    out.emplace_back("shared whole buffer", Fixture_Model(Fixture_SharedStrips(3, 4)));
    // A strip joined by a repeated index: two of its triangles use one vertex twice.
    ModelFixture joined;
    joined.surfaces = {Fixture_StripPanel("joined", 0, 0, 2, 1, 0, 3)};
    joined.surfaces[0].indices = {0, 1, 2, 3, 3, 4, 4, 5, 6, 7};
    out.emplace_back("joined strip", Fixture_Model(joined));
    return out;
}

bool Close(float a, float b, float tolerance)
{
    return std::fabs(a - b) <= tolerance * std::max(1.0f, std::fabs(b));
}

}  // namespace

TEST(ImportModel, NewVertexDataFromEachFormKeepsEveryOtherByte)
{
    TempDir dir;
    for (const auto &[name, original] : Models()) {
        std::vector<ModelSurfaceLayout> layout;
        const ModelPtr model = Parse(original, &layout);
        ASSERT_TRUE(model) << name;
        const Model moved = Transformed(*model, Moved);
        // The bytes a new vertex may change: position and normal, texture coordinates.
        std::vector<bool> vertexData(original.size(), false);
        for (size_t s = 0; s < layout.size(); ++s)
            for (size_t k = 0; k < model->surfaces[s].vertices.size(); ++k) {
                for (int64_t b = 0; b < 15; ++b)
                    vertexData[layout[s].positions + 24 * k + b] = true;
                for (int64_t b = 0; b < 8; ++b)
                    vertexData[layout[s].texCoords + layout[s].texCoordStride * k + b] = true;
            }

        const std::pair<const char *, std::function<Bytes(const Model &)>> forms[] = {
            {"obj", ObjBytes},
            {"glb", GlbBytes},
            {"gltf", [&](const Model &m) { return GltfBytes(m, dir); }},
            {"editor obj", [](const Model &m) { return EditorObj(m); }},
            {"editor obj without degenerate triangles", [](const Model &m) { return EditorObj(m, {}, true); }},
        };
        for (const auto &[form, write] : forms) {
            SCOPED_TRACE(name + " " + form);
            // The model's own values give its own bytes back.
            ImportResult same = Import_Model(write(*model), original, {dir.path});
            ASSERT_TRUE(same.ok) << same.message;
            EXPECT_EQ(same.bytes, original);

            ImportResult result = Import_Model(write(moved), original, {dir.path});
            ASSERT_TRUE(result.ok) << result.message;
            ASSERT_EQ(result.bytes.size(), original.size());
            size_t outside = 0;
            for (size_t i = 0; i < original.size(); ++i)
                outside += !vertexData[i] && result.bytes[i] != original[i];
            EXPECT_EQ(outside, 0u);
            const ModelPtr again = Parse(result.bytes);
            ASSERT_TRUE(again);
            ASSERT_EQ(again->surfaces.size(), moved.surfaces.size());
            for (size_t s = 0; s < moved.surfaces.size(); ++s) {
                const ModelSurface &got = again->surfaces[s], &want = moved.surfaces[s];
                EXPECT_EQ(got.indices, want.indices);
                for (size_t k = 0; k < want.vertices.size(); ++k) {
                    const ModelVertex &g = got.vertices[k], &w = want.vertices[k];
                    for (int i = 0; i < 3; ++i) {
                        EXPECT_TRUE(Close(g.position[i], w.position[i], 2e-6f)) << s << " " << k << " " << g.position[i] << " " << w.position[i];
                        EXPECT_NEAR(g.normal[i], w.normal[i], 0.01f) << s << " " << k;
                    }
                    EXPECT_TRUE(Close(g.u, w.u, 2e-6f) && Close(g.v, w.v, 2e-6f)) << s << " " << k;
                }
            }
        }
    }
}

TEST(ImportModel, RefusesWhatDiffersAndNamesIt)
{
    const Bytes original = Models()[0].second;
    const ModelPtr model = Parse(original);
    ASSERT_TRUE(model);
    const std::string obj = ObjText(model.get());
    // Our OBJ without the last face of the strip (surface 1).
    std::string fewer = obj;
    const size_t lastFace = fewer.rfind("\nf ");
    fewer.erase(lastFace, fewer.find('\n', lastFace + 1) - lastFace);
    // Without the strip's surface at all.
    const std::string firstOnly = obj.substr(0, obj.find("g\nv", obj.find("g\nv") + 1)) + "g\n";
    std::string noNames = std::string(reinterpret_cast<const char *>(EditorObj(*model).data()), EditorObj(*model).size());
    noNames = noNames.substr(0, noNames.find("usemtl floor"));
    for (size_t at; (at = noNames.find("usemtl")) != std::string::npos;)
        noNames.erase(at, noNames.find('\n', at) - at + 1);
    // Two corners of one vertex of the box disagree.
    const std::vector<uint32_t> boxCorners = Model_SurfaceCorners(model->surfaces[0]);
    size_t first = 0, later = 1;
    while (later < boxCorners.size() && (first = std::find(boxCorners.begin(), boxCorners.end(), boxCorners[later]) -
                                                 boxCorners.begin()) == later)
        ++later;
    ASSERT_LT(later, boxCorners.size());
    auto split = [&](size_t s, size_t c, ModelVertex &v) {
        if (s == 0 && c == later)
            v.u += 0.5f;
    };
    auto huge = [](size_t s, size_t, ModelVertex &v) {
        if (s == 0)
            v.position[0] = INFINITY;
    };
    Bytes notModel = Fixture_FromString("not a model");
    Bytes unknownModel(200, 0);
    memcpy(unknownModel.data(), "EIFF", 4);
    memcpy(unknownModel.data() + 16, "MODL", 4);

    struct Case {
        const char *what;
        Bytes file, old;
        std::string said;
    };
    auto text = [](const std::string &t) { return Bytes(t.begin(), t.end()); };
    const Case cases[] = {
        {"a triangle fewer", text(fewer), original, "surface 1 'floor': 6 triangles in the model, 5 in the file"},
        {"a surface fewer", text(firstOnly), original, "surface 1 'floor': 6 triangles in the model, 0 in the file"},
        {"no names", text(noNames), original, "2 surfaces in the model, 1 in the file"},
        {"split vertex", EditorObj(*model, split), original,
         "vertex " + std::to_string(boxCorners[later]) + " of surface 0 'stone.mat' is split in the file: its corners "
         "give it different texture coordinates; keep the vertex joined"},
        {"no float", EditorObj(*model, huge), original, "does not fit the model's 32-bit floats"},
        {"a quad", text("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n"), original,
         "line 5: a face of 4 corners; the model's surfaces are triangles"},
        {"undefined vertex", text("v 0 0 0\nf 1 2 3\n"), original, "line 2: the face names a vertex"},
        {"broken glTF", text("{\"asset\": {\"version\": "), original, "The glTF file could not be read"},
        {"buffer outside its folder", text("{\"asset\":{\"version\":\"2.0\"},\"buffers\":[{\"byteLength\":4,\"uri\":\"../x.bin\"}]}"),
         original, "not in its folder"},
        {"no model", text(obj), notModel, "only gives new vertex data to an entry that holds a model"},
        {"unknown model", text(obj), unknownModel, "of a kind the parse does not understand"},
    };
    TempDir dir;
    Fixture_WriteFile(dir / "x.bin", Bytes(4, 0));
    std::filesystem::create_directories(dir / "in");
    for (const Case &c : cases) {
        const ImportResult r = Import_Model(c.file, c.old, {dir / "in"});
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_TRUE(r.bytes.empty());
        EXPECT_NE(r.message.find(c.said), std::string::npos) << c.what << ": " << r.message;
    }
}
