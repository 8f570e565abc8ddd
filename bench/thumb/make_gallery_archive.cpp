// Writes the gallery benchmark's archive: DIR/GALLERY.PAK holding COUNT
// textures with their full mip chains, sides cycling through 256, 512, 1024
// and 2048 (square, and every fifth twice as wide as high), DXT1 and DXT5 in
// turn, each of blocks of its own colours so that no two pictures are alike.
// Usage: make_gallery_archive DIR [COUNT [LARGEST]]
#include "fixtures.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

uint32_t g_seed = 0;

// Bands of colour that move with the texture's number.
Rgb Shade(uint32_t bx, uint32_t by, uint32_t blocksX, uint32_t blocksY)
{
    const uint32_t u = bx * 256 / std::max<uint32_t>(blocksX, 1), v = by * 256 / std::max<uint32_t>(blocksY, 1);
    return {static_cast<uint8_t>(u + g_seed * 37), static_cast<uint8_t>(v + g_seed * 91),
            static_cast<uint8_t>((u ^ v) + g_seed * 13)};
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: make_gallery_archive DIR [COUNT [LARGEST]]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const int count = argc > 2 ? atoi(argv[2]) : 10000;
    const uint32_t largest = argc > 3 ? static_cast<uint32_t>(atoi(argv[3])) : 2048;
    const uint32_t sides[] = {256, 512, 1024, 2048};
    FixtureArchive archive;
    for (int i = 0; i < count; ++i) {
        g_seed = static_cast<uint32_t>(i);
        const uint32_t side = std::min(sides[i % 4], largest);
        const uint32_t w = side, h = i % 5 == 4 ? side / 2 : side;
        uint32_t mips = 1;
        for (uint32_t s = std::max(w, h); s > 1; s /= 2)
            ++mips;
        char name[64];
        snprintf(name, sizeof name, "textures\\gallery\\t_%05d_d", (i * 7919) % count);  // names out of record order
        archive.entries.push_back({name, Fixture_Texture(w, h, i % 2 ? 5 : 1, mips, Shade)});
    }
    if (!Fixture_WritePak(dir + "/GALLERY.PAK", archive)) {
        fprintf(stderr, "make_gallery_archive: cannot write %s/GALLERY.PAK\n", dir.c_str());
        return 1;
    }
    return 0;
}
