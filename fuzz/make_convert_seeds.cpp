// Writes the seed corpus of fuzz_texture_decode: textures of every format
// with mip levels and sides that are not multiples of 4, and the usual
// corruptions (a cut last level, a header alone, forged sides and mip counts).
// Usage: quillon_convert_fuzz_seeds OUTDIR
#include "fixtures.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/fuzz_texture_decode";
    std::filesystem::create_directories(dir);
    int failures = 0;
    auto seed = [&](const std::string &name, const Bytes &bytes) {
        if (!Fixture_WriteFile(dir + "/" + name, bytes)) {
            fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name.c_str());
            ++failures;
        }
    };
    auto texture = [](uint32_t w, uint32_t h, uint32_t format, uint32_t mips) {
        return Fixture_Texture(w, h, format, mips, Fixture_PictureColour);
    };
    auto put = [](Bytes b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<uint8_t>(v >> (8 * i));
        return b;
    };
    seed("dxt1_mips", texture(16, 16, 1, 5));
    seed("dxt2_mips", texture(8, 8, 2, 2));
    seed("dxt3_12x20", texture(12, 20, 3, 3));
    seed("dxt4_5x3", texture(5, 3, 4, 1));
    seed("dxt5_mips", texture(16, 8, 5, 4));
    seed("format_zero_9x7", texture(9, 7, 0, 2));
    Bytes cut = texture(16, 16, 5, 3);
    cut.resize(cut.size() - 5);
    seed("last_level_cut", cut);
    Bytes header = texture(4, 4, 1, 1);
    header.resize(128);
    seed("header_only", header);
    seed("forged_sides", put(texture(8, 8, 1, 1), 28, 0xFFFFFFFF));
    seed("forged_mip_count", put(texture(8, 8, 3, 2), 40, 0xFFFFFFFF));
    return failures == 0 ? 0 : 1;
}
