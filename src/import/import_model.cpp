// New vertex data for a model from an OBJ or glTF file of the same triangles.
// The container holds fields whose meaning nobody knows, so nothing of it is
// rebuilt: the resource is copied and only the bytes the parse decoded as
// positions, normals and texture coordinates are written, in the formats it
// decoded them from. A vertex is known by the corners that use it, never by
// the file's vertex numbers, which editors renumber and split.
#include "import/import_local.h"

#include "export/export.h"
#include "export/json_text.h"
#include "export/mtl_writer.h"
#include "model/model.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <set>

namespace {

// Corners of one vertex that differ by more than this are a split vertex.
constexpr float kPositionJoin = 1e-4f;  // times the larger magnitude, at least 1
constexpr float kNormalJoin = 0.02f;    // per component of unit normals (the bytes hold about 0.008)
constexpr float kUvJoin = 1e-4f;        // times the larger magnitude, at least 1
// A value within this of what the model holds is the model's value as the
// exports wrote it (six decimals in OBJ), and its bytes stay as they are.
constexpr double kPrinted = 5.01e-7;
constexpr float kNormalKept = 2e-3f;

enum class FileForm { Obj, Gltf };

FileForm FormOf(std::span<const uint8_t> file)
{
    if (file.size() >= 4 && memcmp(file.data(), "glTF", 4) == 0)
        return FileForm::Gltf;
    size_t at = file.size() >= 3 && memcmp(file.data(), "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    while (at < file.size() && (file[at] == ' ' || file[at] == '\t' || file[at] == '\r' || file[at] == '\n'))
        ++at;
    return at < file.size() && file[at] == '{' ? FileForm::Gltf : FileForm::Obj;
}

std::string SurfaceName(const Model &model, size_t i)
{
    return "surface " + std::to_string(i) + " '" + model.surfaces[i].materialName + "'";
}

// The surface number of a group the OBJ export names "dkobjNN"; -1 for any other name.
int64_t ExportedGroup(const std::string &group, size_t surfaces)
{
    if (group.size() < 7 || group.compare(0, 5, "dkobj") != 0 || group.size() > 15 ||
        group.find_first_not_of("0123456789", 5) != std::string::npos)
        return -1;
    const int64_t n = std::stoll(group.substr(5));
    return n < static_cast<int64_t>(surfaces) ? n : -1;
}

// One vertex's values as its corners give them: the first, checked against
// each later one, and their sum.
template <size_t N>
struct Gathered {
    int count = 0;
    std::array<float, N> first{};
    std::array<double, N> sum{};
};

template <size_t N>
bool Gather(Gathered<N> &g, const std::array<float, N> &value, bool (*joined)(float, float))
{
    if (g.count > 0)
        for (size_t i = 0; i < N; ++i)
            if (!joined(g.first[i], value[i]))
                return false;
    if (g.count == 0)
        g.first = value;
    for (size_t i = 0; i < N; ++i)
        g.sum[i] += value[i];
    ++g.count;
    return true;
}

bool Near(float a, float b, float tolerance)
{
    if (!std::isfinite(a) || !std::isfinite(b))
        return a == b || (std::isnan(a) && std::isnan(b));
    return std::fabs(a - b) <= tolerance * std::max({1.0f, std::fabs(a), std::fabs(b)});
}

bool PositionsJoined(float a, float b) { return Near(a, b, kPositionJoin); }
bool NormalsJoined(float a, float b) { return std::fabs(a - b) <= kNormalJoin || (a == b); }
bool UvsJoined(float a, float b) { return Near(a, b, kUvJoin); }

// Whether `value` is `old` as the exports wrote it: the same float, written
// with six decimals, or written as 0 where it was not finite.
bool AsExported(double value, float old)
{
    if (!std::isfinite(old))
        return value == 0.0;
    const double ulp = std::nextafter(std::fabs(old), INFINITY) - std::fabs(old);
    return std::fabs(value - old) <= kPrinted + 2 * ulp;
}

void PutF32(uint8_t *p, float value)
{
    uint32_t bits;
    memcpy(&bits, &value, 4);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(bits >> (8 * i));
}

// The bytes b that decode (b / 255 x 2 - 1) closest to the unit vector.
void EncodeDirection(const double n[3], uint8_t out[3])
{
    for (int i = 0; i < 3; ++i)
        out[i] = static_cast<uint8_t>(std::lround(std::clamp((n[i] + 1.0) / 2.0 * 255.0, 0.0, 255.0)));
}

// The new resource: a copy of the old one in which each byte is written at
// most once, or again with the same value. Surfaces may share vertex bytes.
class Patch {
public:
    explicit Patch(std::span<const uint8_t> old) : bytes_(old.begin(), old.end()), written_(old.size(), 0) {}

    bool Put(int64_t at, const uint8_t *value, size_t n)
    {
        for (size_t i = 0; i < n; ++i) {
            const size_t p = static_cast<size_t>(at) + i;
            if (written_[p] && bytes_[p] != value[i])
                return false;
        }
        for (size_t i = 0; i < n; ++i) {
            bytes_[static_cast<size_t>(at) + i] = value[i];
            written_[static_cast<size_t>(at) + i] = 1;
        }
        return true;
    }

    const uint8_t *At(int64_t at) const { return bytes_.data() + at; }
    std::vector<uint8_t> &Bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    std::vector<uint8_t> written_;
};

struct Counts {
    int64_t positions = 0, normals = 0, uvs = 0;
};

class Importer {
public:
    Importer(const Model &model, const std::vector<ModelSurfaceLayout> &layout, std::span<const uint8_t> old)
        : model_(model), layout_(layout), patch_(old)
    {
        for (const ModelSurface &s : model.surfaces) {
            corners_.push_back(Model_SurfaceCorners(s));
            total_ += static_cast<int64_t>(corners_.back().size());
        }
    }

    int64_t CornerTotal() const { return total_; }

    // The file's corners of each surface, in triangle order, by the names the
    // exports give surfaces, else in order. False with the refusal in `error`.
    bool Match(const MeshFile &file, FileForm form, std::string &error);

    // Writes the values of every surface's corners into the copy.
    bool Write(const MeshFile &file, std::string &error);

    std::vector<uint8_t> &Bytes() { return patch_.Bytes(); }
    const Counts &Changed() const { return changed_; }

private:
    // Surfaces `surfaces` (in order) take the corners of `parts` (in file order).
    bool Take(const MeshFile &file, const std::vector<size_t> &surfaces, const std::vector<size_t> &parts,
              std::string &error);
    bool WriteSurface(const MeshFile &file, size_t s, std::string &error);

    const Model &model_;
    const std::vector<ModelSurfaceLayout> &layout_;
    Patch patch_;
    std::vector<std::vector<uint32_t>> corners_;  // per surface, as the exports triangulate it
    int64_t total_ = 0;
    // Per surface: the file's corners, and the model's triangles they stand for.
    std::vector<std::vector<MeshCorner>> given_;
    std::vector<std::vector<uint32_t>> triangles_;
    Counts changed_;
};

bool Degenerate(const std::vector<uint32_t> &corners, size_t t)
{
    const uint32_t a = corners[3 * t], b = corners[3 * t + 1], c = corners[3 * t + 2];
    return a == b || b == c || a == c;
}

bool Importer::Take(const MeshFile &file, const std::vector<size_t> &surfaces, const std::vector<size_t> &parts,
                    std::string &error)
{
    int64_t inFile = 0, all = 0, joined = 0;
    for (size_t p : parts)
        inFile += file.parts[p].triangles;
    for (size_t s : surfaces) {
        const size_t triangles = corners_[s].size() / 3;
        all += static_cast<int64_t>(triangles);
        for (size_t t = 0; t < triangles; ++t)
            joined += !Degenerate(corners_[s], t);
    }
    // Editors drop the triangles of a strip that use one vertex twice: a file
    // without them stands for the others.
    const bool withoutDegenerate = inFile != all && inFile == joined;
    if (inFile != all && !withoutDegenerate) {
        std::string who = surfaces.size() == 1 ? SurfaceName(model_, surfaces[0]) : "surfaces";
        if (surfaces.size() > 1) {
            for (size_t i = 0; i < surfaces.size(); ++i)
                who += (i ? ", " : " ") + std::to_string(surfaces[i]);
            who += std::string(" '") + model_.surfaces[surfaces[0]].materialName + "'";
        }
        error = who + ": " + std::to_string(all) + " triangles in the model, " + std::to_string(inFile) +
                " in the file";
        return false;
    }
    size_t part = 0, next = 0;  // the file's next corner: part, and corner in it
    for (size_t s : surfaces) {
        const size_t triangles = corners_[s].size() / 3;
        for (size_t t = 0; t < triangles; ++t) {
            if (withoutDegenerate && Degenerate(corners_[s], t))
                continue;
            while (part < parts.size() && next >= file.parts[parts[part]].corners.size()) {
                ++part;
                next = 0;
            }
            if (part == parts.size()) {
                error = "the file holds more triangles than it could keep";
                return false;
            }
            const std::vector<MeshCorner> &from = file.parts[parts[part]].corners;
            given_[s].insert(given_[s].end(), from.begin() + static_cast<std::ptrdiff_t>(next),
                             from.begin() + static_cast<std::ptrdiff_t>(next + 3));
            triangles_[s].push_back(static_cast<uint32_t>(t));
            next += 3;
        }
    }
    return true;
}

bool Importer::Match(const MeshFile &file, FileForm form, std::string &error)
{
    const size_t count = model_.surfaces.size();
    given_.assign(count, {});
    triangles_.assign(count, {});
    std::vector<size_t> parts;  // those with triangles
    for (size_t p = 0; p < file.parts.size(); ++p)
        if (file.parts[p].triangles > 0)
            parts.push_back(p);

    // The OBJ export's group names: the surface's number.
    bool groups = !parts.empty();
    for (size_t p : parts)
        groups = groups && ExportedGroup(file.parts[p].group, count) >= 0;
    // The material names the exports give the surfaces, each standing for
    // every surface of that name.
    std::map<std::string, std::vector<size_t>> byName;
    for (size_t s = 0; s < count; ++s) {
        const char *name = model_.surfaces[s].materialName;
        byName[form == FileForm::Obj ? Mtl_LineSafeName(name) : Json_ToUtf8(name)].push_back(s);
    }
    std::set<std::string> fileNames;
    for (size_t p : parts)
        fileNames.insert(file.parts[p].material);
    bool names = !groups && fileNames.size() == byName.size();
    for (const std::string &name : fileNames)
        names = names && byName.count(name) > 0;

    if (groups || names) {
        std::vector<std::pair<std::vector<size_t>, std::vector<size_t>>> keys;  // (surfaces, parts)
        if (groups) {
            keys.resize(count);
            for (size_t s = 0; s < count; ++s)
                keys[s].first = {s};
            for (size_t p : parts)
                keys[static_cast<size_t>(ExportedGroup(file.parts[p].group, count))].second.push_back(p);
        } else {
            std::map<std::string, size_t> key;
            for (const auto &[name, surfaces] : byName) {
                key[name] = keys.size();
                keys.push_back({surfaces, {}});
            }
            for (size_t p : parts)
                keys[key[file.parts[p].material]].second.push_back(p);
            std::sort(keys.begin(), keys.end());  // by first surface: messages name the earliest
        }
        for (const auto &[surfaces, ofParts] : keys)
            if (!Take(file, surfaces, ofParts, error))
                return false;
        return true;
    }
    if (parts.size() != count) {
        error = std::to_string(count) + (count == 1 ? " surface" : " surfaces") + " in the model, " +
                std::to_string(parts.size()) + " in the file";
        return false;
    }
    for (size_t s = 0; s < count; ++s)
        if (!Take(file, {s}, {parts[s]}, error))
            return false;
    return true;
}

bool Importer::WriteSurface(const MeshFile &file, size_t s, std::string &error)
{
    const ModelSurface &surface = model_.surfaces[s];
    const ModelSurfaceLayout &at = layout_[s];
    const size_t n = surface.vertices.size();
    std::vector<Gathered<3>> positions(n), normals(n);
    std::vector<Gathered<2>> uvs(n);
    const std::vector<MeshCorner> &given = given_[s];
    auto vertexName = [&](uint32_t v) {
        return "vertex " + std::to_string(v) + " of " + SurfaceName(model_, s);
    };
    auto split = [&](uint32_t v, const char *what) {
        error = vertexName(v) + " is split in the file: its corners give it different " + what +
                "; keep the vertex joined, or give all its corners the same " + what;
        return false;
    };
    for (size_t k = 0; k < given.size(); ++k) {
        const uint32_t v = corners_[s][3 * triangles_[s][k / 3] + k % 3];
        const MeshCorner &c = given[k];
        if (!Gather(positions[v], file.positions[static_cast<size_t>(c.position)], PositionsJoined))
            return split(v, "positions");
        if (c.normal >= 0) {
            std::array<float, 3> normal = file.normals[static_cast<size_t>(c.normal)];
            const double length = std::sqrt(double(normal[0]) * normal[0] + double(normal[1]) * normal[1] +
                                             double(normal[2]) * normal[2]);
            if (!std::isfinite(length) || length < 1e-6) {
                error = vertexName(v) + ": a normal of no direction cannot be held";
                return false;
            }
            for (float &x : normal)
                x = static_cast<float>(x / length);
            if (!Gather(normals[v], normal, NormalsJoined))
                return split(v, "normals");
        }
        if (c.uv >= 0 && !Gather(uvs[v], file.uvs[static_cast<size_t>(c.uv)], UvsJoined))
            return split(v, "texture coordinates");
    }

    for (uint32_t v = 0; v < n; ++v) {
        const ModelVertex &old = surface.vertices[v];
        const int64_t place = at.positions + kModelPositionStride * v;
        bool changed = false;
        for (int i = 0; i < 3 && positions[v].count > 0; ++i) {
            const double value = positions[v].sum[i] / positions[v].count;
            uint8_t bytes[4];
            memcpy(bytes, patch_.At(place + 4 * i), 4);  // as it is, unless the file moved it
            if (!AsExported(value, old.position[i])) {
                const double stored = value / at.positionScale;
                if (!std::isfinite(stored) || std::fabs(stored) > FLT_MAX) {
                    error = vertexName(v) + ": the position " + std::to_string(value) +
                            " does not fit the model's 32-bit floats";
                    return false;
                }
                PutF32(bytes, static_cast<float>(stored));
                changed = true;
            }
            if (!patch_.Put(place + 4 * i, bytes, 4)) {
                error = vertexName(v) + " shares its bytes with another surface's vertex, and the file gives them "
                                        "different positions";
                return false;
            }
        }
        changed_.positions += changed;

        if (normals[v].count > 0) {
            double n3[3], length = 0;
            for (int i = 0; i < 3; ++i) {
                n3[i] = normals[v].sum[i] / normals[v].count;
                length += n3[i] * n3[i];
            }
            length = std::sqrt(length);
            if (!(length > 1e-6)) {
                error = vertexName(v) + ": its corners' normals cancel out; a normal of no direction cannot be held";
                return false;
            }
            bool kept = true;
            for (int i = 0; i < 3; ++i) {
                n3[i] /= length;
                kept = kept && std::fabs(n3[i] - old.normal[i]) <= kNormalKept;
            }
            uint8_t bytes[3];
            memcpy(bytes, patch_.At(place + kModelNormalOffset), 3);
            if (!kept)
                EncodeDirection(n3, bytes);
            if (!patch_.Put(place + kModelNormalOffset, bytes, 3)) {
                error = vertexName(v) + " shares its bytes with another surface's vertex, and the file gives them "
                                        "different normals";
                return false;
            }
            changed_.normals += !kept;
        }

        if (uvs[v].count > 0) {
            const int64_t uvPlace = at.texCoords + at.texCoordStride * v;
            const float oldUv[2] = {old.u, old.v};
            bool uvChanged = false;
            for (int i = 0; i < 2; ++i) {
                const double value = uvs[v].sum[i] / uvs[v].count;
                uint8_t bytes[4];
                memcpy(bytes, patch_.At(uvPlace + 4 * i), 4);
                if (!AsExported(value, oldUv[i])) {
                    if (!std::isfinite(value) || std::fabs(value) > FLT_MAX) {
                        error = vertexName(v) + ": the texture coordinate " + std::to_string(value) +
                                " does not fit the model's 32-bit floats";
                        return false;
                    }
                    PutF32(bytes, static_cast<float>(value));
                    uvChanged = true;
                }
                if (!patch_.Put(uvPlace + 4 * i, bytes, 4)) {
                    error = vertexName(v) + " shares its bytes with another surface's vertex or data, and the file "
                                            "gives them different values";
                    return false;
                }
            }
            changed_.uvs += uvChanged;
        }
    }
    return true;
}

bool Importer::Write(const MeshFile &file, std::string &error)
{
    for (size_t s = 0; s < model_.surfaces.size(); ++s)
        if (!WriteSurface(file, s, error))
            return false;
    return true;
}

struct ModelDeleter {
    void operator()(Model *m) const { Model_Free(m); }
};

}  // namespace

ImportResult Import_Model(std::span<const uint8_t> file, std::span<const uint8_t> oldModel,
                          const ModelImportOptions &options)
{
    if (ClassifyResource(oldModel) != KindModel)
        return Import_Refuse("a model file only gives new vertex data to an entry that holds a model.");
    try {
        std::vector<ModelSurfaceLayout> layout;
        const std::unique_ptr<Model, ModelDeleter> model(Model_Parse(oldModel.data(), oldModel.size(), &layout));
        if (!model || layout.size() != model->surfaces.size())
            return Import_Refuse("the entry's model is of a kind the parse does not understand, so its vertex data "
                                 "cannot be found.");
        Importer importer(*model, layout, oldModel);
        const FileForm form = FormOf(file);
        MeshFile mesh;
        std::string error;
        const bool read = form == FileForm::Obj
                              ? Import_ReadObj(file, importer.CornerTotal(), mesh, error)
                              : Import_ReadGltf(file, options.folder, importer.CornerTotal(), mesh, error);
        if (!read)
            return Import_Refuse(error);
        if (!importer.Match(mesh, form, error))
            return Import_Refuse(error + "; the triangles must stay as the model has them.");
        if (mesh.cut)  // the counts matched, so this cannot be; refused all the same
            return Import_Refuse("the file holds more triangles than the model.");
        if (!importer.Write(mesh, error))
            return Import_Refuse(error + ".");
        // The parse finds texture coordinates by what they look like: new
        // ones must still be found where they were written.
        std::vector<ModelSurfaceLayout> after;
        const std::unique_ptr<Model, ModelDeleter> again(
            Model_Parse(importer.Bytes().data(), importer.Bytes().size(), &after));
        for (size_t s = 0; s < layout.size(); ++s) {
            const bool same = again && after.size() == layout.size() && after[s].positions == layout[s].positions &&
                              after[s].texCoords == layout[s].texCoords &&
                              after[s].texCoordStride == layout[s].texCoordStride &&
                              after[s].positionScale == layout[s].positionScale;
            if (!same)
                return Import_Refuse(SurfaceName(*model, s) +
                                     ": with the file's texture coordinates the model would no longer be read as "
                                     "it is (the first vertex's u and v must lie between -3 and 3, neither within "
                                     "0.0001 of 0, and no value beyond -100 to 100).");
        }
        ImportResult result;
        result.ok = true;
        const Counts &c = importer.Changed();
        // A file that changes nothing gives the resource back unchanged, without a note.
        if (c.positions + c.normals + c.uvs > 0)
            result.message = "new vertex data for " + std::to_string(model->surfaces.size()) +
                         (model->surfaces.size() == 1 ? " surface: " : " surfaces: ") + std::to_string(c.positions) +
                         " positions, " + std::to_string(c.normals) + " normals, " + std::to_string(c.uvs) +
                         " texture coordinates changed";
        result.bytes = std::move(importer.Bytes());
        return result;
    } catch (const std::bad_alloc &) {
        return Import_Refuse("the file is too large to be read into memory.");
    }
}
