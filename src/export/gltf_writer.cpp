// The glTF document is built as tinygltf's model and serialised by it into
// memory; the export writes the files, so that every failed write is seen.
//
// One buffer holds, in order: all positions, all normals, all texture
// coordinates (one buffer view each, every surface's accessor at its offset),
// the 16-bit and then the 32-bit indices (a view each), and in the binary form
// each PNG image (a view each). Every view starts on a 4-byte boundary.
#include "export/gltf_writer.h"
#include "export/export.h"
#include "export/json_text.h"
#include "export/png_writer.h"
#include "texture/texture_decode.h"

#include <tiny_gltf.h>
#include <nlohmann/json.hpp>

#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <tuple>

static_assert(std::endian::native == std::endian::little, "buffers are written in the host's byte order");

namespace {

constexpr int kClampToEdge = 33071, kMirroredRepeat = 33648, kRepeat = 10497;

bool Fail(std::string *error, std::string message)
{
    if (error)
        *error = std::move(message);
    return false;
}

int GltfWrap(uint32_t glWrap)
{
    switch (glWrap) {
    case 0x2900:  // GL_CLAMP: glTF has no border colour to clamp towards
    case 0x812D:  // GL_CLAMP_TO_BORDER: likewise
    case 0x812F:  // GL_CLAMP_TO_EDGE
        return kClampToEdge;
    case 0x8370:  // GL_MIRRORED_REPEAT
        return kMirroredRepeat;
    default:
        return kRepeat;
    }
}

float Finite(float v)
{
    return std::isfinite(v) ? v : 0.0f;
}

void UnitNormal(const float in[3], float out[3])
{
    const double x = in[0], y = in[1], z = in[2];
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!std::isfinite(length) || length < 1e-12) {
        out[0] = out[1] = 0.0f;
        out[2] = 1.0f;
        return;
    }
    out[0] = static_cast<float>(x / length);
    out[1] = static_cast<float>(y / length);
    out[2] = static_cast<float>(z / length);
}

size_t Align4(size_t n)
{
    return (n + 3) & ~size_t{3};
}

// Characters of a URI reference that need no escaping; the rest as %XX.
std::string UriEscape(const std::string &name)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

class Builder {
public:
    Builder(const Model &model, std::span<const GltfMaterialInput> materials, bool embedImages)
        : model_(model), inputs_(materials), embedImages_(embedImages)
    {
        doc_.asset.version = "2.0";
        doc_.asset.generator = "Quillon";
        doc_.buffers.resize(1);
    }

    bool Build(std::string *error);

    tinygltf::Model &Document() { return doc_; }
    std::vector<std::vector<uint8_t>> &Pngs() { return pngs_; }

private:
    struct Primitive {
        size_t surface;
        std::vector<uint32_t> corners;
        bool wide;  // 32-bit indices
    };

    // Views of vertex data are shared by every surface's accessors, which
    // glTF allows only with the stride given.
    int AddView(size_t offset, size_t length, int target, size_t stride = 0)
    {
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = offset;
        view.byteLength = length;
        view.byteStride = stride;
        view.target = target;
        doc_.bufferViews.push_back(view);
        return static_cast<int>(doc_.bufferViews.size() - 1);
    }

    int AddAccessor(int view, size_t offset, int componentType, int type, size_t count)
    {
        tinygltf::Accessor a;
        a.bufferView = view;
        a.byteOffset = offset;
        a.componentType = componentType;
        a.type = type;
        a.count = count;
        doc_.accessors.push_back(std::move(a));
        return static_cast<int>(doc_.accessors.size() - 1);
    }

    bool Image(const std::vector<uint8_t> *resource, int &index, std::string *error);
    bool Texture(const std::vector<uint8_t> *resource, uint32_t wrapS, uint32_t wrapT, int &index,
                 std::string *error);
    bool Material(size_t surface, int &index, std::string *error);

    const Model &model_;
    std::span<const GltfMaterialInput> inputs_;
    bool embedImages_;
    tinygltf::Model doc_;
    std::vector<std::vector<uint8_t>> pngs_;  // per image
    std::map<const std::vector<uint8_t> *, int> images_;  // -1: does not decode
    std::map<std::pair<int, int>, int> samplers_;  // glTF wrap pair
    std::map<std::pair<int, int>, int> textures_;  // image, sampler
    std::map<std::tuple<std::string, const void *, const void *, int, int, int, int, float, bool>, int> materials_;
};

// The texture's largest level is decoded only while its PNG is made.
bool Builder::Image(const std::vector<uint8_t> *resource, int &index, std::string *error)
{
    if (auto it = images_.find(resource); it != images_.end()) {
        index = it->second;
        return true;
    }
    index = images_[resource] = -1;
    std::vector<uint8_t> png;
    {
        TextureImage image;
        if (!Texture_DecodeLevel(*resource, 0, image, nullptr))
            return true;
        std::string said;
        if (!Png_Encode(image, png, &said)) {
            std::string message = "A texture of " + std::to_string(image.width) + " x " +
                                  std::to_string(image.height) + " pixels could not be encoded as PNG.";
            if (!said.empty())
                message += " " + Png_FailureDetail(said);
            return Fail(error, message);
        }
    }
    tinygltf::Image gi;
    gi.mimeType = "image/png";
    pngs_.push_back(std::move(png));
    doc_.images.push_back(std::move(gi));
    index = images_[resource] = static_cast<int>(doc_.images.size() - 1);
    return true;
}

bool Builder::Texture(const std::vector<uint8_t> *resource, uint32_t wrapS, uint32_t wrapT, int &index,
                      std::string *error)
{
    int imageIndex;
    if (!Image(resource, imageIndex, error))
        return false;
    index = -1;
    if (imageIndex < 0)
        return true;
    const std::pair<int, int> wrap{GltfWrap(wrapS), GltfWrap(wrapT)};
    auto [sampler, newSampler] = samplers_.emplace(wrap, static_cast<int>(doc_.samplers.size()));
    if (newSampler) {
        tinygltf::Sampler s;
        s.wrapS = wrap.first;
        s.wrapT = wrap.second;
        doc_.samplers.push_back(s);
    }
    auto [texture, newTexture] = textures_.emplace(std::pair{imageIndex, sampler->second},
                                                   static_cast<int>(doc_.textures.size()));
    if (newTexture) {
        tinygltf::Texture t;
        t.source = imageIndex;
        t.sampler = sampler->second;
        doc_.textures.push_back(t);
    }
    index = texture->second;
    return true;
}

bool Builder::Material(size_t surface, int &index, std::string *error)
{
    GltfMaterialInput in;
    if (!inputs_.empty())
        in = inputs_[surface];
    if (in.name.empty())
        in.name = model_.surfaces[surface].materialName;
    const auto key = std::make_tuple(in.name, in.baseColour, in.normal, GltfWrap(in.wrapS), GltfWrap(in.wrapT),
                                     GltfWrap(in.normalWrapS), GltfWrap(in.normalWrapT), in.alphaCutoff, in.blended);
    if (auto it = materials_.find(key); it != materials_.end()) {
        index = it->second;
        return true;
    }
    tinygltf::Material m;
    m.name = Json_ToUtf8(in.name);
    m.doubleSided = true;
    // The game's materials have no metal: glTF's default would make them one.
    m.pbrMetallicRoughness.metallicFactor = 0.0;
    if (in.blended) {
        m.alphaMode = "BLEND";
    } else if (in.alphaCutoff > 0.0f && in.alphaCutoff <= 1.0f) {
        m.alphaMode = "MASK";
        m.alphaCutoff = std::round(in.alphaCutoff * 1e6) / 1e6;  // 0.55, not the float's 0.550000011920929
    }
    if (in.baseColour &&
        !Texture(in.baseColour, in.wrapS, in.wrapT, m.pbrMetallicRoughness.baseColorTexture.index, error))
        return false;
    if (in.normal && !Texture(in.normal, in.normalWrapS, in.normalWrapT, m.normalTexture.index, error))
        return false;
    doc_.materials.push_back(std::move(m));
    index = materials_[key] = static_cast<int>(doc_.materials.size() - 1);
    return true;
}

bool Builder::Build(std::string *error)
{
    if (!inputs_.empty() && inputs_.size() != model_.surfaces.size())
        return Fail(error, "Material data was given for " + std::to_string(inputs_.size()) + " surfaces; the model has " +
                               std::to_string(model_.surfaces.size()) + ".");

    // Surfaces with triangles, checked before anything is laid out.
    std::vector<Primitive> primitives;
    size_t vertexTotal = 0, narrowTotal = 0, wideTotal = 0;
    for (size_t i = 0; i < model_.surfaces.size(); ++i) {
        const ModelSurface &s = model_.surfaces[i];
        Primitive p{i, Model_SurfaceCorners(s), false};
        if (p.corners.empty() || s.vertices.empty())
            continue;
        uint32_t highest = 0;
        for (uint32_t c : p.corners)
            highest = std::max(highest, c);
        if (highest >= s.vertices.size())
            return Fail(error, "Surface " + std::to_string(i) + " names vertex " + std::to_string(highest) +
                                   " of " + std::to_string(s.vertices.size()) + ".");
        // 65535 is the primitive restart value, which glTF forbids in 16-bit indices.
        p.wide = highest >= 0xFFFF;
        vertexTotal += s.vertices.size();
        (p.wide ? wideTotal : narrowTotal) += p.corners.size();
        primitives.push_back(std::move(p));
    }

    const size_t positionsAt = 0, normalsAt = positionsAt + vertexTotal * 12, uvsAt = normalsAt + vertexTotal * 12;
    const size_t narrowAt = uvsAt + vertexTotal * 8, wideAt = Align4(narrowAt + narrowTotal * 2);
    std::vector<uint8_t> &bin = doc_.buffers[0].data;
    bin.resize(wideAt + wideTotal * 4);

    int positionView = -1, normalView = -1, uvView = -1, narrowView = -1, wideView = -1;
    if (vertexTotal > 0) {
        positionView = AddView(positionsAt, vertexTotal * 12, TINYGLTF_TARGET_ARRAY_BUFFER, 12);
        normalView = AddView(normalsAt, vertexTotal * 12, TINYGLTF_TARGET_ARRAY_BUFFER, 12);
        uvView = AddView(uvsAt, vertexTotal * 8, TINYGLTF_TARGET_ARRAY_BUFFER, 8);
    }
    if (narrowTotal > 0)
        narrowView = AddView(narrowAt, narrowTotal * 2, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    if (wideTotal > 0)
        wideView = AddView(wideAt, wideTotal * 4, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);

    tinygltf::Mesh mesh;
    size_t vertexDone = 0, narrowDone = 0, wideDone = 0;
    for (const Primitive &p : primitives) {
        const ModelVertexArray &vertices = model_.surfaces[p.surface].vertices;
        float lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
        float *position = reinterpret_cast<float *>(bin.data() + positionsAt) + vertexDone * 3;
        float *normal = reinterpret_cast<float *>(bin.data() + normalsAt) + vertexDone * 3;
        float *uv = reinterpret_cast<float *>(bin.data() + uvsAt) + vertexDone * 2;
        for (const ModelVertex &v : vertices) {
            for (int k = 0; k < 3; ++k) {
                position[k] = Finite(v.position[k]);
                lo[k] = std::min(lo[k], position[k]);
                hi[k] = std::max(hi[k], position[k]);
            }
            UnitNormal(v.normal, normal);
            uv[0] = Finite(v.u);
            uv[1] = Finite(v.v);
            position += 3;
            normal += 3;
            uv += 2;
        }

        tinygltf::Primitive gp;
        gp.mode = TINYGLTF_MODE_TRIANGLES;
        const int positions = AddAccessor(positionView, vertexDone * 12, TINYGLTF_COMPONENT_TYPE_FLOAT,
                                          TINYGLTF_TYPE_VEC3, vertices.size());
        doc_.accessors[positions].minValues.assign(lo, lo + 3);
        doc_.accessors[positions].maxValues.assign(hi, hi + 3);
        gp.attributes["POSITION"] = positions;
        gp.attributes["NORMAL"] = AddAccessor(normalView, vertexDone * 12, TINYGLTF_COMPONENT_TYPE_FLOAT,
                                              TINYGLTF_TYPE_VEC3, vertices.size());
        gp.attributes["TEXCOORD_0"] = AddAccessor(uvView, vertexDone * 8, TINYGLTF_COMPONENT_TYPE_FLOAT,
                                                  TINYGLTF_TYPE_VEC2, vertices.size());
        if (p.wide) {
            memcpy(bin.data() + wideAt + wideDone * 4, p.corners.data(), p.corners.size() * 4);
            gp.indices = AddAccessor(wideView, wideDone * 4, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT,
                                     TINYGLTF_TYPE_SCALAR, p.corners.size());
            wideDone += p.corners.size();
        } else {
            uint16_t *out = reinterpret_cast<uint16_t *>(bin.data() + narrowAt) + narrowDone;
            for (uint32_t c : p.corners)
                *out++ = static_cast<uint16_t>(c);
            gp.indices = AddAccessor(narrowView, narrowDone * 2, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                                     TINYGLTF_TYPE_SCALAR, p.corners.size());
            narrowDone += p.corners.size();
        }
        if (!Material(p.surface, gp.material, error))
            return false;
        mesh.primitives.push_back(std::move(gp));
        vertexDone += vertices.size();
    }

    if (embedImages_) {
        for (size_t i = 0; i < pngs_.size(); ++i) {
            const size_t at = Align4(bin.size());
            bin.resize(at + pngs_[i].size());
            memcpy(bin.data() + at, pngs_[i].data(), pngs_[i].size());
            doc_.images[i].bufferView = AddView(at, pngs_[i].size(), 0);
            std::vector<uint8_t>().swap(pngs_[i]);  // held once, in the buffer
        }
    }

    if (bin.empty())
        doc_.buffers.clear();  // glTF allows no empty buffer
    doc_.scenes.resize(1);
    doc_.defaultScene = 0;
    if (!mesh.primitives.empty()) {
        doc_.meshes.push_back(std::move(mesh));
        tinygltf::Node node;
        node.mesh = 0;
        doc_.nodes.push_back(node);
        doc_.scenes[0].nodes.push_back(0);
    }
    return true;
}

}  // namespace

bool Gltf_WriteBinary(FILE *file, const Model &model, std::span<const GltfMaterialInput> materials,
                      std::string *error)
{
    try {
        std::string bytes;
        {
            Builder builder(model, materials, true);
            if (!builder.Build(error))
                return false;
            std::ostringstream out;
            tinygltf::TinyGLTF writer;
            if (!writer.WriteGltfSceneToStream(&builder.Document(), out, false, true))
                return Fail(error, "Could not serialise the glTF document.");
            bytes = std::move(out).str();
        }
        if (fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
            return Fail(error, "Could not write the file.");
        return true;
    } catch (const std::exception &e) {
        return Fail(error, std::string("The glTF export failed: ") + e.what());
    }
}

bool Gltf_MakeSeparate(const Model &model, std::span<const GltfMaterialInput> materials, GltfSeparate &out,
                       std::string *error)
{
    try {
        Builder builder(model, materials, false);
        if (!builder.Build(error))
            return false;
        tinygltf::Model &doc = builder.Document();
        out.pngs = std::move(builder.Pngs());
        // tinygltf would put the buffer into the JSON as base64: serialise
        // without its bytes; the URI is added once the file is named.
        size_t binSize = 0;
        if (!doc.buffers.empty()) {
            out.bin = std::move(doc.buffers[0].data);
            binSize = out.bin.size();
            doc.buffers[0].data.clear();
        }
        std::ostringstream text;
        tinygltf::TinyGLTF writer;
        if (!writer.WriteGltfSceneToStream(&doc, text, false, false))
            return Fail(error, "Could not serialise the glTF document.");
        nlohmann::json json = nlohmann::json::parse(text.str());
        if (binSize > 0)
            json["buffers"][0] = {{"byteLength", binSize}};
        out.document = json.dump();
        return true;
    } catch (const std::exception &e) {
        return Fail(error, std::string("The glTF export failed: ") + e.what());
    }
}

std::string Gltf_SeparateText(const std::string &document, const std::string &binName,
                              const std::vector<std::string> &pngNames)
{
    nlohmann::json json = nlohmann::json::parse(document);
    if (json.contains("buffers"))
        json["buffers"][0]["uri"] = UriEscape(binName);
    for (size_t i = 0; i < pngNames.size() && json.contains("images") && i < json["images"].size(); ++i)
        json["images"][i] = {{"uri", UriEscape(pngNames[i])}};  // an image is its file alone
    return json.dump(2) + "\n";
}
