// Fuzz target: what the parse makes of untrusted model bytes through every
// model writer, each read back by a reader: tinygltf loads the .glb with one
// primitive of the model's triangles per surface that has any; the .gltf is
// JSON whose buffer is as long as its .bin; the OBJ holds exactly the model's
// vertices and faces, every face naming vertices written before it, and only
// lines the format knows; the material library defines every surface's
// material on a line of its own.
#include "fuzz_util.h"
#include "export/export.h"
#include "export/gltf_writer.h"
#include "export/mtl_writer.h"
#include "fixtures.h"
#include "model/model.h"

#include <nlohmann/json.hpp>
#include <tiny_gltf.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Captured(const std::function<bool(FILE *)> &write)
{
    char *text = nullptr;
    size_t size = 0;
    FILE *file = open_memstream(&text, &size);
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(write(file));
    FUZZ_CHECK(fclose(file) == 0);
    std::string out(text, size);
    free(text);
    return out;
}

// The first word of every line, for checking that a name wrote no line of its own.
std::vector<std::string> LineHeads(const std::string &text)
{
    std::vector<std::string> heads;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        heads.push_back(line.substr(0, line.find(' ')));
    return heads;
}

void CheckGltf(const Model &model, std::span<const GltfMaterialInput> materials)
{
    std::vector<size_t> corners;  // per primitive
    for (const ModelSurface &s : model.surfaces)
        if (const size_t n = Model_SurfaceCorners(s).size(); n > 0 && !s.vertices.empty())
            corners.push_back(n);

    std::string error;
    const std::string glb = Captured([&](FILE *f) { return Gltf_WriteBinary(f, model, materials, &error); });
    tinygltf::TinyGLTF loader;
    tinygltf::Model loaded;
    std::string warning;
    FUZZ_CHECK(loader.LoadBinaryFromMemory(&loaded, &error, &warning, reinterpret_cast<const unsigned char *>(glb.data()),
                                           static_cast<unsigned>(glb.size())));
    const size_t primitives = loaded.meshes.empty() ? 0 : loaded.meshes[0].primitives.size();
    FUZZ_CHECK(primitives == corners.size());
    for (size_t i = 0; i < primitives; ++i)
        FUZZ_CHECK(loaded.accessors[loaded.meshes[0].primitives[i].indices].count == corners[i]);

    GltfSeparate separate;
    FUZZ_CHECK(Gltf_MakeSeparate(model, materials, separate, &error));
    std::vector<std::string> pngNames;
    for (size_t i = 0; i < separate.pngs.size(); ++i)
        pngNames.push_back("m_" + std::to_string(i) + ".png");
    const nlohmann::json json = nlohmann::json::parse(Gltf_SeparateText(separate.document, "m.bin", pngNames));
    FUZZ_CHECK(json.contains("buffers") == !separate.bin.empty());
    if (!separate.bin.empty())
        FUZZ_CHECK(json["buffers"][0]["byteLength"] == separate.bin.size() && json["buffers"][0]["uri"] == "m.bin");
    FUZZ_CHECK(json.contains("images") ? json["images"].size() == pngNames.size() : pngNames.empty());
}

void CheckObj(const Model &model)
{
    size_t vertices = 0, faces = 0;
    for (const ModelSurface &s : model.surfaces) {
        vertices += s.vertices.size();
        faces += Model_SurfaceCorners(s).size() / 3;
    }
    const std::string obj = Captured([&](FILE *f) { return Model_WriteObj(f, &model); });
    static const std::set<std::string> known{"", "#", "mtllib", "g", "v", "vt", "vn", "usemtl", "f"};
    size_t seenVertices = 0, seenFaces = 0;
    std::istringstream lines(obj);
    for (std::string line; std::getline(lines, line);) {
        const std::string head = line.substr(0, line.find(' '));
        FUZZ_CHECK(known.count(head));
        if (head == "v")
            ++seenVertices;
        if (head != "f")
            continue;
        ++seenFaces;
        long long a[9];
        FUZZ_CHECK(sscanf(line.c_str(), "f  %lld/%lld/%lld %lld/%lld/%lld %lld/%lld/%lld", &a[0], &a[1], &a[2], &a[3],
                          &a[4], &a[5], &a[6], &a[7], &a[8]) == 9);
        for (long long index : a)
            FUZZ_CHECK(index >= 1 && static_cast<size_t>(index) <= seenVertices);
    }
    FUZZ_CHECK(seenVertices == vertices && seenFaces == faces);
}

void CheckMtl(const std::vector<MtlMaterial> &materials)
{
    const FuzzScratch &scratch = FuzzScratch::Get();
    unlink(scratch.Path(kMtlFileName).c_str());
    std::string error;
    FUZZ_CHECK(Mtl_WriteMerged(scratch.Dir(), materials, &error));
    FILE *file = fopen(scratch.Path(kMtlFileName).c_str(), "rb");
    FUZZ_CHECK(file != nullptr);
    std::string text;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    fclose(file);
    static const std::set<std::string> known{"", "newmtl", "map_Kd", "map_Bump", "bump", "map_Ks"};
    for (const std::string &head : LineHeads(text))
        FUZZ_CHECK(known.count(head));
    for (const MtlMaterial &m : materials) {
        const std::string name = Mtl_LineSafeName(m.name);
        if (name.find_first_not_of(" \t\r\f\v") != std::string::npos)
            FUZZ_CHECK(text.find("newmtl " + name + "\n") != std::string::npos);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const Bytes texture = Fixture_Texture(8, 8, 5, 1, Fixture_PictureColour);
    Model *model = Model_Parse(data, size);
    if (!model)
        return 0;
    // Every other surface with a texture; alpha tested, blended and plain in turn.
    std::vector<GltfMaterialInput> inputs(model->surfaces.size());
    std::vector<MtlMaterial> mtl;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const ModelSurface &s = model->surfaces[i];
        inputs[i].baseColour = i % 2 == 0 ? &texture : nullptr;
        inputs[i].alphaCutoff = i % 3 == 1 ? 0.5f : 0.0f;
        inputs[i].blended = i % 3 == 2;
        mtl.push_back({std::string(s.materialName, strnlen(s.materialName, sizeof s.materialName)),
                       i % 2 == 0 ? "t_d" : "", "", ""});
    }
    CheckGltf(*model, inputs);
    CheckObj(*model);
    CheckMtl(mtl);
    Model_Free(model);
    return 0;
}
