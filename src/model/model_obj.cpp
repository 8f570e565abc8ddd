// WaveFront OBJ text of a parsed model: each surface as an unnamed group of
// its vertex data followed by a named group of its faces. A corner's vertex,
// texture coordinate and normal share one number, counted from 1 across the
// whole file.
#include "model/model.h"

#include <cstdarg>

namespace {

class ObjWriter {
public:
    explicit ObjWriter(FILE *file) : file_(file) {}

    __attribute__((format(printf, 2, 3))) void Print(const char *format, ...)
    {
        if (!ok_)
            return;
        va_list args;
        va_start(args, format);
        if (vfprintf(file_, format, args) < 0)
            ok_ = false;
        va_end(args);
    }

    bool Ok() const { return ok_; }

private:
    FILE *file_;
    bool ok_ = true;
};

void WriteFace(ObjWriter &out, const std::vector<uint16_t> &indices, size_t a, size_t b, size_t c,
               long long base)
{
    const long long i = indices[a] + base + 1, j = indices[b] + base + 1, k = indices[c] + base + 1;
    out.Print("f  %lld/%lld/%lld %lld/%lld/%lld %lld/%lld/%lld\n", i, i, i, j, j, j, k, k, k);
}

}  // namespace

bool Model_WriteObj(FILE *file, const Model *model)
{
    if (!model)
        return true;
    ObjWriter out(file);
    out.Print("# Quillon .obj export.\n#\nmtllib ./dkexport.mtl\n");
    long long base = 0;
    for (size_t i = 0; i < model->surfaces.size() && out.Ok(); ++i) {
        const ModelSurface &s = model->surfaces[i];
        out.Print("g\n");
        for (const ModelVertex &v : s.vertices)
            out.Print("v  %.06f %.06f %.06f\n", v.position[0], v.position[1], v.position[2]);
        out.Print("\n");
        for (const ModelVertex &v : s.vertices)
            out.Print("vt  %.06f %.06f 0.000000\n", v.u, v.v);
        out.Print("\n");
        for (const ModelVertex &v : s.vertices)
            out.Print("vn  %.06f %.06f %.06f\n", v.normal[0], v.normal[1], v.normal[2]);
        out.Print("\ng dkobj%02i\nusemtl %s\n", static_cast<int>(i), s.materialName);

        const size_t count = s.indices.size();
        if (s.indicesPerElement == 3) {
            for (size_t e = 0; e + 2 < count; e += 3)
                WriteFace(out, s.indices, e, e + 1, e + 2, base);
        } else if (count >= 3) {
            // Every strip triangle in the same corner order: the winding of
            // every second one is not swapped.
            for (size_t j = 2; j < count; ++j)
                WriteFace(out, s.indices, j - 2, j - 1, j, base);
        }
        out.Print("\n");
        base += s.vertexCount;
    }
    out.Print("g\n");
    return out.Ok();
}
