// Writes the archive of the PNG benchmark: DIR/TEXBENCH.PAK holding COUNT
// DXT5 textures of SIDE x SIDE pixels with their full mip chains. Each is a
// picture of its own (waves, rings and grain, alpha falling off towards the
// edge) put into blocks by a plain bounding-box encoder, so that the blocks
// vary the way real ones do.
// Usage: make_texture_archive DIR [COUNT [SIDE]]
#include "fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

uint32_t g_state = 0x9E3779B9u;

uint32_t Next()
{
    g_state ^= g_state << 13;
    g_state ^= g_state >> 17;
    g_state ^= g_state << 5;
    return g_state;
}

void Put16(Bytes &b, uint16_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes &b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint16_t To565(const double c[3])
{
    auto q = [](double v, int bits) { return static_cast<unsigned>(std::lround(std::clamp(v, 0.0, 255.0) / 255.0 * ((1 << bits) - 1))); };
    return static_cast<uint16_t>(q(c[0], 5) << 11 | q(c[1], 6) << 5 | q(c[2], 5));
}

// One DXT5 block of 16 texels (RGBA doubles 0..255).
void EncodeBlock(const double texels[16][4], Bytes &out)
{
    double lo[4] = {255, 255, 255, 255}, hi[4] = {0, 0, 0, 0};
    for (int t = 0; t < 16; ++t)
        for (int k = 0; k < 4; ++k) {
            lo[k] = std::min(lo[k], texels[t][k]);
            hi[k] = std::max(hi[k], texels[t][k]);
        }
    // Alpha: eight steps from the largest to the smallest.
    const int a0 = static_cast<int>(std::lround(hi[3])), a1 = static_cast<int>(std::lround(lo[3]));
    out.push_back(static_cast<uint8_t>(a0));
    out.push_back(static_cast<uint8_t>(a1));
    uint64_t alphaBits = 0;
    for (int t = 0; t < 16; ++t) {
        int code = 0;
        if (a0 > a1) {
            const int step = static_cast<int>(std::lround((a0 - texels[t][3]) * 7.0 / (a0 - a1)));
            code = step == 0 ? 0 : step == 7 ? 1 : step + 1;
        }
        alphaBits |= static_cast<uint64_t>(code) << (3 * t);
    }
    for (int i = 0; i < 6; ++i)
        out.push_back(static_cast<uint8_t>(alphaBits >> (8 * i)));
    // Colour: the box's corners, texels by their place along the line.
    uint16_t c0 = To565(hi), c1 = To565(lo);
    uint32_t indices = 0;
    if (c0 == c1) {
        c0 = c1 < 0xFFFF ? c1 + 1 : c1, c1 = c0 == c1 ? c1 - 1 : c1;
    } else {
        if (c0 < c1)
            std::swap(c0, c1), std::swap(hi, lo);
        double axis[3], length = 0;
        for (int k = 0; k < 3; ++k) {
            axis[k] = hi[k] - lo[k];
            length += axis[k] * axis[k];
        }
        for (int t = 0; t < 16; ++t) {
            double along = 0;
            for (int k = 0; k < 3; ++k)
                along += (hi[k] - texels[t][k]) * axis[k];
            const int step = length > 0 ? static_cast<int>(std::lround(std::clamp(along / length, 0.0, 1.0) * 3)) : 0;
            static const int kCode[4] = {0, 2, 3, 1};
            indices |= static_cast<uint32_t>(kCode[step]) << (2 * t);
        }
    }
    Put16(out, c0);
    Put16(out, c1);
    Put32(out, indices);
}

Bytes Texture(uint32_t side, uint32_t which)
{
    Bytes out(128, 0);
    out[0] = 'S', out[1] = 'Y', out[2] = 'T', out[3] = '1';
    uint32_t mips = 0;
    for (uint32_t s = side; s > 0; s /= 2)
        ++mips;
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put(28, side), put(32, side), put(40, mips), put(48, 5);
    const double f = 0.01 + 0.002 * (which % 7), phase = which * 0.7;
    for (uint32_t s = side; s > 0; s /= 2) {
        const double scale = static_cast<double>(side) / s;
        for (uint32_t by = 0; by < (s + 3) / 4; ++by)
            for (uint32_t bx = 0; bx < (s + 3) / 4; ++bx) {
                double texels[16][4];
                for (int t = 0; t < 16; ++t) {
                    const double x = (bx * 4 + t % 4) * scale, y = (by * 4 + t / 4) * scale;
                    const double r = std::hypot(x - side / 2.0, y - side / 2.0);
                    const double grain = (Next() % 25) - 12.0;
                    texels[t][0] = 128 + 90 * std::sin(x * f + phase) + grain;
                    texels[t][1] = 128 + 90 * std::sin(r * f * 1.3) + grain;
                    texels[t][2] = 128 + 90 * std::sin((x + y) * f * 0.7 - phase) + grain;
                    texels[t][3] = std::clamp(255 - r * 255.0 / side, 0.0, 255.0);
                    for (double &c : texels[t])
                        c = std::clamp(c, 0.0, 255.0);
                }
                EncodeBlock(texels, out);
            }
    }
    return out;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s DIR [COUNT [SIDE]]\n", argv[0]);
        return 2;
    }
    const int count = argc > 2 ? atoi(argv[2]) : 200;
    const uint32_t side = argc > 3 ? static_cast<uint32_t>(atoi(argv[3])) : 512;
    FixtureArchive archive;
    for (int i = 0; i < count; ++i) {
        FixtureEntry e;
        e.name = "textures/bench/surface_" + std::to_string(i);
        e.bytes = Texture(side, static_cast<uint32_t>(i));
        archive.entries.push_back(std::move(e));
    }
    const std::string path = std::string(argv[1]) + "/TEXBENCH.PAK";
    if (!Fixture_WritePak(path, archive)) {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    printf("%s: %d DXT5 textures of %u x %u\n", path.c_str(), count, side, side);
    return 0;
}
