// The triangles of a glTF or GLB file, for the model geometry import.
// tinygltf reads the document; every accessor is checked against its buffer
// here before a value is read, and the buffers it loads come only from the
// .gltf's own folder.
#include "import/import_local.h"

#include "base/file_io.h"

#include <tiny_gltf.h>

#include <cmath>
#include <cstring>
#include <set>

namespace {

using Matrix = std::array<double, 16>;  // column-major, as glTF gives it

constexpr Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
constexpr int kMaxNodeDepth = 64;

Matrix Multiply(const Matrix &a, const Matrix &b)
{
    Matrix out{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k)
                out[c * 4 + r] += a[k * 4 + r] * b[c * 4 + k];
    return out;
}

Matrix NodeMatrix(const tinygltf::Node &node)
{
    if (node.matrix.size() == 16) {
        Matrix m;
        std::copy(node.matrix.begin(), node.matrix.end(), m.begin());
        return m;
    }
    Matrix t = kIdentity, r = kIdentity, s = kIdentity;
    if (node.translation.size() == 3)
        for (int i = 0; i < 3; ++i)
            t[12 + i] = node.translation[static_cast<size_t>(i)];
    if (node.rotation.size() == 4) {
        const double x = node.rotation[0], y = node.rotation[1], z = node.rotation[2], w = node.rotation[3];
        r = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),     0,
             2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),     0,
             2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y), 0,
             0,                       0,                       0,                       1};
    }
    if (node.scale.size() == 3)
        for (int i = 0; i < 3; ++i)
            s[i * 5] = node.scale[static_cast<size_t>(i)];
    return Multiply(t, Multiply(r, s));
}

// Buffers only from the .gltf's folder or below it; the document is the
// user's file, but it may have come from anyone.
struct FileAccess {
    std::string folder;  // with a trailing separator; empty: no files
};

bool FileExists(const std::string &path, void *user)
{
    const FileAccess &access = *static_cast<FileAccess *>(user);
    return !access.folder.empty() && Sys_PathKind(path, true) == SysKind::File;
}

std::string ExpandFilePath(const std::string &path, void *)
{
    return path;
}

bool ReadWholeFile(std::vector<unsigned char> *out, std::string *err, const std::string &path, void *user)
{
    const FileAccess &access = *static_cast<FileAccess *>(user);
    const std::string inside = path.size() > access.folder.size() ? path.substr(access.folder.size()) : "";
    bool below = !access.folder.empty() && path.compare(0, access.folder.size(), access.folder) == 0 &&
                 !inside.empty() && inside[0] != '/' && inside[0] != '\\' && inside.find(':') == std::string::npos;
    for (size_t at = 0; below && at <= inside.size();) {
        size_t end = inside.find_first_of("/\\", at);
        if (end == std::string::npos)
            end = inside.size();
        below = inside.compare(at, end - at, "..") != 0;
        at = end + 1;
    }
    if (!below) {
        if (err)
            *err += "The file names '" + inside + "', which is not in its folder; only files beside it are read.\n";
        return false;
    }
    std::vector<uint8_t> bytes;
    const BaseRead read = Base_ReadFile(path, bytes);
    if (read != BaseRead::Ok) {
        if (err)
            *err += Base_ReadFailure(read, path) + "\n";
        return false;
    }
    out->assign(bytes.begin(), bytes.end());
    return true;
}

bool WriteWholeFile(std::string *, const std::string &, const std::vector<unsigned char> &, void *)
{
    return false;
}

// Images play no part in the geometry: they are not decoded.
bool SkipImage(tinygltf::Image *, const int, std::string *, std::string *, int, int, const unsigned char *, int,
               void *)
{
    return true;
}

// Reads the `components` values of element i of an accessor that Check accepted.
class AccessorReader {
public:
    // False with the reason when the accessor is not `type` of floats (or, with
    // `normalised`, normalised unsigned bytes or shorts) lying inside its buffer.
    bool Check(const tinygltf::Model &doc, int index, int type, bool normalised, std::string &error)
    {
        if (index < 0 || static_cast<size_t>(index) >= doc.accessors.size())
            return Fail(error, "an accessor the file does not have");
        const tinygltf::Accessor &a = doc.accessors[static_cast<size_t>(index)];
        if (a.sparse.isSparse || a.bufferView < 0 || static_cast<size_t>(a.bufferView) >= doc.bufferViews.size())
            return Fail(error, "a sparse accessor or one without data");
        if (a.type != type)
            return Fail(error, "an accessor of another type");
        type_ = a.componentType;
        const bool floats = type_ == TINYGLTF_COMPONENT_TYPE_FLOAT;
        const bool small = a.normalized && (type_ == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE ||
                                            type_ == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
        if (!floats && !(normalised && small))
            return Fail(error, "an accessor of another number format");
        components_ = type == TINYGLTF_TYPE_VEC2 ? 2 : 3;
        const size_t componentSize = floats ? 4 : type_ == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT ? 2 : 1;
        const size_t element = componentSize * static_cast<size_t>(components_);
        const tinygltf::BufferView &view = doc.bufferViews[static_cast<size_t>(a.bufferView)];
        if (view.buffer < 0 || static_cast<size_t>(view.buffer) >= doc.buffers.size())
            return Fail(error, "a buffer the file does not have");
        const std::vector<unsigned char> &data = doc.buffers[static_cast<size_t>(view.buffer)].data;
        stride_ = view.byteStride ? view.byteStride : element;
        count_ = a.count;
        if (view.byteOffset > data.size() || view.byteLength > data.size() - view.byteOffset ||
            a.byteOffset > view.byteLength || stride_ < element)
            return Fail(error, "an accessor outside its buffer");
        const size_t room = view.byteLength - a.byteOffset;
        if (count_ > 0 && (room < element || (count_ - 1) > (room - element) / stride_))
            return Fail(error, "an accessor outside its buffer");
        at_ = data.data() + view.byteOffset + a.byteOffset;
        return true;
    }

    size_t Count() const { return count_; }

    void Read(size_t i, float *out) const
    {
        const uint8_t *p = at_ + i * stride_;
        for (int c = 0; c < components_; ++c) {
            if (type_ == TINYGLTF_COMPONENT_TYPE_FLOAT) {
                memcpy(&out[c], p + 4 * c, 4);
            } else if (type_ == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
                out[c] = static_cast<float>(p[2 * c] | (p[2 * c + 1] << 8)) / 65535.0f;
            } else {
                out[c] = static_cast<float>(p[c]) / 255.0f;
            }
        }
    }

private:
    static bool Fail(std::string &error, const char *why)
    {
        error = why;
        return false;
    }

    const uint8_t *at_ = nullptr;
    size_t stride_ = 0, count_ = 0;
    int components_ = 0, type_ = 0;
};

class Reader {
public:
    Reader(const tinygltf::Model &doc, int64_t cornerLimit, MeshFile &out) : doc_(doc), limit_(cornerLimit), out_(out)
    {
    }

    bool Node(int index, const Matrix &parent, int depth, std::string &error)
    {
        if (index < 0 || static_cast<size_t>(index) >= doc_.nodes.size() || depth > kMaxNodeDepth ||
            !onPath_.insert(index).second)
            return Fail(error, "The file's node tree is broken (a node it does not have, or a loop).");
        const tinygltf::Node &node = doc_.nodes[static_cast<size_t>(index)];
        const Matrix world = Multiply(parent, NodeMatrix(node));
        if (node.mesh >= 0 && !Mesh(node.mesh, world, error))
            return false;
        for (int child : node.children)
            if (!Node(child, world, depth + 1, error))
                return false;
        onPath_.erase(index);
        return true;
    }

    bool Mesh(int index, const Matrix &world, std::string &error)
    {
        if (static_cast<size_t>(index) >= doc_.meshes.size())
            return Fail(error, "A node names a mesh the file does not have.");
        const tinygltf::Mesh &mesh = doc_.meshes[static_cast<size_t>(index)];
        for (size_t p = 0; p < mesh.primitives.size(); ++p)
            if (!Primitive(mesh.primitives[p], world, "primitive " + std::to_string(p) + " of mesh " +
                                                          std::to_string(index), error))
                return false;
        return true;
    }

private:
    static bool Fail(std::string &error, const std::string &why)
    {
        error = why;
        return false;
    }

    bool Primitive(const tinygltf::Primitive &prim, const Matrix &world, const std::string &name, std::string &error)
    {
        if (prim.mode != -1 && prim.mode != TINYGLTF_MODE_TRIANGLES)
            return Fail(error, name + " is not a list of triangles; export triangles.");
        AccessorReader positions, normals, uvs;
        std::string why;
        auto attribute = [&](const char *key, AccessorReader &reader, int type, bool normalised, bool &has) {
            const auto it = prim.attributes.find(key);
            has = it != prim.attributes.end();
            if (has && !reader.Check(doc_, it->second, type, normalised, why))
                return Fail(error, name + ": its " + key + " is " + why + ".");
            return true;
        };
        bool hasPosition, hasNormal, hasUv;
        if (!attribute("POSITION", positions, TINYGLTF_TYPE_VEC3, false, hasPosition) ||
            !attribute("NORMAL", normals, TINYGLTF_TYPE_VEC3, false, hasNormal) ||
            !attribute("TEXCOORD_0", uvs, TINYGLTF_TYPE_VEC2, true, hasUv))
            return false;
        if (!hasPosition)
            return Fail(error, name + " has no positions.");
        const size_t vertices = positions.Count();
        if ((hasNormal && normals.Count() != vertices) || (hasUv && uvs.Count() != vertices))
            return Fail(error, name + ": its attributes have different counts.");

        // The corners: an index accessor, or the vertices in order.
        size_t corners = vertices;
        const uint8_t *indexAt = nullptr;
        size_t indexSize = 0, indexStride = 0;
        if (prim.indices >= 0) {
            if (static_cast<size_t>(prim.indices) >= doc_.accessors.size())
                return Fail(error, name + " names indices the file does not have.");
            const tinygltf::Accessor &a = doc_.accessors[static_cast<size_t>(prim.indices)];
            indexSize = a.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE    ? 1
                        : a.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT ? 2
                        : a.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT   ? 4
                                                                                      : 0;
            if (indexSize == 0 || a.type != TINYGLTF_TYPE_SCALAR || a.sparse.isSparse || a.bufferView < 0 ||
                static_cast<size_t>(a.bufferView) >= doc_.bufferViews.size())
                return Fail(error, name + ": its indices are not unsigned integers held in a buffer.");
            const tinygltf::BufferView &view = doc_.bufferViews[static_cast<size_t>(a.bufferView)];
            if (view.buffer < 0 || static_cast<size_t>(view.buffer) >= doc_.buffers.size())
                return Fail(error, name + ": its indices lie in a buffer the file does not have.");
            const std::vector<unsigned char> &data = doc_.buffers[static_cast<size_t>(view.buffer)].data;
            indexStride = view.byteStride ? view.byteStride : indexSize;
            const bool inside = view.byteOffset <= data.size() && view.byteLength <= data.size() - view.byteOffset &&
                                a.byteOffset <= view.byteLength && indexStride >= indexSize &&
                                (a.count == 0 || (view.byteLength - a.byteOffset >= indexSize &&
                                                  a.count - 1 <= (view.byteLength - a.byteOffset - indexSize) / indexStride));
            if (!inside)
                return Fail(error, name + ": its indices lie outside their buffer.");
            indexAt = data.data() + view.byteOffset + a.byteOffset;
            corners = a.count;
        }
        if (corners % 3 != 0)
            return Fail(error, name + " has " + std::to_string(corners) + " corners, not whole triangles.");

        const tinygltf::Material *material =
            prim.material >= 0 && static_cast<size_t>(prim.material) < doc_.materials.size()
                ? &doc_.materials[static_cast<size_t>(prim.material)]
                : nullptr;
        out_.parts.push_back({"", material ? material->name : "", static_cast<int64_t>(corners / 3), {}});
        MeshPart &part = out_.parts.back();
        if (kept_ + static_cast<int64_t>(corners) > limit_) {
            out_.cut = true;
            kept_ = limit_;
            return true;
        }
        kept_ += static_cast<int64_t>(corners);

        const bool moved = world != kIdentity;
        // Normals go through the inverse transpose of the linear part (its
        // cofactors, with the determinant's sign); they are scaled to unit length later.
        const Matrix &m = world;
        const double cof[9] = {m[5] * m[10] - m[9] * m[6], m[9] * m[2] - m[1] * m[10], m[1] * m[6] - m[5] * m[2],
                               m[8] * m[6] - m[4] * m[10], m[0] * m[10] - m[8] * m[2], m[4] * m[2] - m[0] * m[6],
                               m[4] * m[9] - m[8] * m[5],  m[8] * m[1] - m[0] * m[9],  m[0] * m[5] - m[4] * m[1]};
        const double det = m[0] * cof[0] + m[4] * cof[1] + m[8] * cof[2];
        const double sign = det < 0 ? -1.0 : 1.0;
        part.corners.reserve(corners);
        for (size_t c = 0; c < corners; ++c) {
            size_t v = c;
            if (indexAt) {
                const uint8_t *p = indexAt + c * indexStride;
                v = indexSize == 1 ? p[0] : indexSize == 2 ? static_cast<size_t>(p[0] | (p[1] << 8))
                                                           : static_cast<size_t>(p[0]) | (static_cast<size_t>(p[1]) << 8) |
                                                                 (static_cast<size_t>(p[2]) << 16) |
                                                                 (static_cast<size_t>(p[3]) << 24);
                if (v >= vertices)
                    return Fail(error, name + " names vertex " + std::to_string(v) + " of " +
                                           std::to_string(vertices) + ".");
            }
            MeshCorner corner;
            std::array<float, 3> position;
            positions.Read(v, position.data());
            if (moved) {
                const double x = position[0], y = position[1], z = position[2];
                for (int r = 0; r < 3; ++r)
                    position[static_cast<size_t>(r)] =
                        static_cast<float>(m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r]);
            }
            corner.position = static_cast<int32_t>(out_.positions.size());
            out_.positions.push_back(position);
            if (hasNormal) {
                std::array<float, 3> normal;
                normals.Read(v, normal.data());
                if (moved) {
                    const double x = normal[0], y = normal[1], z = normal[2];
                    for (int r = 0; r < 3; ++r)
                        normal[static_cast<size_t>(r)] =
                            static_cast<float>(sign * (cof[r * 3] * x + cof[r * 3 + 1] * y + cof[r * 3 + 2] * z));
                }
                corner.normal = static_cast<int32_t>(out_.normals.size());
                out_.normals.push_back(normal);
            }
            if (hasUv) {
                std::array<float, 2> uv;
                uvs.Read(v, uv.data());
                corner.uv = static_cast<int32_t>(out_.uvs.size());
                out_.uvs.push_back(uv);
            }
            part.corners.push_back(corner);
        }
        return true;
    }

    const tinygltf::Model &doc_;
    int64_t limit_;
    int64_t kept_ = 0;
    MeshFile &out_;
    std::set<int> onPath_;
};

}  // namespace

bool Import_ReadGltf(std::span<const uint8_t> file, const std::string &folder, int64_t cornerLimit, MeshFile &out,
                     std::string &error)
{
    out = MeshFile{};
    if (file.size() > UINT32_MAX) {
        error = "The file is larger than glTF allows.";
        return false;
    }
    try {
        FileAccess access;
        if (!folder.empty())
            access.folder = folder.back() == '/' || folder.back() == '\\' ? folder : folder + "/";
        tinygltf::TinyGLTF loader;
        loader.SetFsCallbacks({FileExists, ExpandFilePath, ReadWholeFile, WriteWholeFile, &access});
        loader.SetImageLoader(SkipImage, nullptr);
        tinygltf::Model doc;
        std::string err, warn;
        const bool binary = file.size() >= 4 && memcmp(file.data(), "glTF", 4) == 0;
        const std::string base = access.folder.empty() ? "" : access.folder.substr(0, access.folder.size() - 1);
        const bool loaded =
            binary ? loader.LoadBinaryFromMemory(&doc, &err, &warn, file.data(), static_cast<unsigned>(file.size()), base)
                   : loader.LoadASCIIFromString(&doc, &err, &warn, reinterpret_cast<const char *>(file.data()),
                                                static_cast<unsigned>(file.size()), base);
        if (!loaded) {
            while (!err.empty() && (err.back() == '\n' || err.back() == ' '))
                err.pop_back();
            error = "The glTF file could not be read" + (err.empty() ? std::string(".") : ": " + err);
            return false;
        }
        Reader reader(doc, cornerLimit, out);
        if (!doc.scenes.empty()) {
            const size_t scene = doc.defaultScene >= 0 && static_cast<size_t>(doc.defaultScene) < doc.scenes.size()
                                     ? static_cast<size_t>(doc.defaultScene)
                                     : 0;
            for (int node : doc.scenes[scene].nodes)
                if (!reader.Node(node, kIdentity, 0, error))
                    return false;
        } else {
            for (size_t mesh = 0; mesh < doc.meshes.size(); ++mesh)
                if (!reader.Mesh(static_cast<int>(mesh), kIdentity, error))
                    return false;
        }
        return true;
    } catch (const std::exception &e) {
        error = std::string("The glTF file could not be read: ") + e.what();
        return false;
    }
}
