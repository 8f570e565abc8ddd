// Writes the archive of the big-texture memory benchmark: DIR/BIGTEX.PAK
// holding one model "big" of six boxes, each with a material of its own
// whose diffuse map is a SIDE x SIDE DXT1 texture (one level, a colour of its
// own per texture), stored LZO-compressed as the game stores large entries.
// The archive is small; the decoded pictures are not (SIDE 8192: 256 MiB each).
// Usage: make_big_texture_model DIR [SIDE]
#include "fixtures.h"
#include "model_fixtures.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kTextures = 6;
const std::string kMaterialHead = "// THIS FILE WAS GENERATED FROM RENDERTOOLS\n";

Rgb Shade(uint32_t bx, uint32_t by, uint32_t, uint32_t)
{
    // Bands across the picture, so that the PNG is more than one run.
    return {static_cast<uint8_t>(bx * 7), static_cast<uint8_t>(by * 3), 128};
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s DIR [SIDE]\n", argv[0]);
        return 2;
    }
    const uint32_t side = argc > 2 ? static_cast<uint32_t>(atoi(argv[2])) : 8192;
    const float centre[3] = {0, 0, 0}, half[3] = {1, 1, 1};
    ModelFixture model;
    FixtureArchive archive;
    const Bytes texture = Fixture_LzoBlock(Fixture_Texture(side, side, 1, 1, Shade), false);
    for (int i = 0; i < kTextures; ++i) {
        const std::string n = std::to_string(i);
        model.surfaces.push_back(Fixture_Box("mat" + n, centre, half));
        archive.entries.push_back({"mat" + n, Fixture_FromString(kMaterialHead + "numTextures 1 Texture 0 WRAP WRAP tex" + n + "_d")});
        // The same blocks under six names: six textures to the lookup and the writers.
        archive.entries.push_back({"tex" + n + "_d", texture});
    }
    archive.entries.push_back({"big", Fixture_Model(model)});
    const std::string path = std::string(argv[1]) + "/BIGTEX.PAK";
    if (!Fixture_WritePak(path, archive)) {
        fprintf(stderr, "could not write %s\n", path.c_str());
        return 1;
    }
    printf("%s\n", path.c_str());
    return 0;
}
