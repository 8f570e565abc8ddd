// WaveFront OBJ text of a parsed model: each surface as an unnamed group of
// its vertex data followed by a named group of its faces. A corner's vertex,
// texture coordinate and normal share one number, counted from 1 across the
// whole file.
#include "export/export.h"
#include "export/mtl_writer.h"
#include "model/model.h"

#include <cmath>
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
        // The stream is asked too: MinGW's printf counts what it formatted even
        // when the stream failed to take it.
        if (vfprintf(file_, format, args) < 0 || ferror(file_))
            ok_ = false;
        va_end(args);
    }

    bool Ok() const { return ok_; }

private:
    FILE *file_;
    bool ok_ = true;
};

}  // namespace

bool Model_WriteObj(FILE *file, const Model *model, int64_t *nonFinite)
{
    if (nonFinite)
        *nonFinite = 0;
    if (!model)
        return true;
    ObjWriter out(file);
    int64_t replaced = 0;
    // Readers refuse "nan" and "inf"; such a number is written as 0, as the glTF writer does.
    auto finite = [&](float v) {
        if (std::isfinite(v))
            return static_cast<double>(v);
        ++replaced;
        return 0.0;
    };
    out.Print("# Quillon .obj export.\n#\nmtllib ./%s\n", kMtlFileName);
    long long base = 0;
    for (size_t i = 0; i < model->surfaces.size() && out.Ok(); ++i) {
        const ModelSurface &s = model->surfaces[i];
        out.Print("g\n");
        for (const ModelVertex &v : s.vertices)
            out.Print("v  %.06f %.06f %.06f\n", finite(v.position[0]), finite(v.position[1]), finite(v.position[2]));
        out.Print("\n");
        for (const ModelVertex &v : s.vertices)
            out.Print("vt  %.06f %.06f 0.000000\n", finite(v.u), finite(v.v));
        out.Print("\n");
        for (const ModelVertex &v : s.vertices)
            out.Print("vn  %.06f %.06f %.06f\n", finite(v.normal[0]), finite(v.normal[1]), finite(v.normal[2]));
        out.Print("\ng dkobj%02i\nusemtl %s\n", static_cast<int>(i), Mtl_LineSafeName(s.materialName).c_str());
        const std::vector<uint32_t> corners = Model_SurfaceCorners(s);
        for (size_t c = 0; c + 2 < corners.size(); c += 3) {
            const long long a = corners[c] + base + 1, b = corners[c + 1] + base + 1, d = corners[c + 2] + base + 1;
            out.Print("f  %lld/%lld/%lld %lld/%lld/%lld %lld/%lld/%lld\n", a, a, a, b, b, b, d, d, d);
        }
        out.Print("\n");
        base += s.vertexCount;
    }
    out.Print("g\n");
    if (nonFinite)
        *nonFinite = replaced;
    return out.Ok();
}
