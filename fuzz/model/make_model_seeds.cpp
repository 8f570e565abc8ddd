// Writes the seed corpora of the model and material fuzz targets with the
// writers the tests use. Usage: quillon_model_fuzz_seeds OUTDIR
#include "model_fixtures.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

int g_failures = 0;

void Seed(const std::string &dir, const std::string &name, std::span<const uint8_t> bytes)
{
    std::filesystem::create_directories(dir);
    if (!Fixture_WriteFile(dir + "/" + name, bytes)) {
        fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name.c_str());
        ++g_failures;
    }
}

ModelFixtureSurface Quad(const std::string &material, float x)
{
    ModelFixtureSurface s = Fixture_StripPanel(material, x, 0, 1, 1, 0, 1);
    s.strip = false;
    s.indices = {0, 1, 2, 2, 1, 3};
    return s;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: quillon_model_fuzz_seeds OUTDIR\n");
        return 2;
    }
    const std::string models = std::string(argv[1]) + "/fuzz_model_parse";
    const std::string materials = std::string(argv[1]) + "/fuzz_material";
    const float centre[3] = {0, 0, 0}, half[3] = {1, 2, 3};

    ModelFixture plain;
    plain.surfaces = {Fixture_Box("stone.mat", centre, half), Fixture_StripPanel("floor", 0, 0, 2, 1, 0, 3)};
    Seed(models, "box_and_strip", Fixture_Model(plain));
    plain.texCoordStride = 16;
    plain.uvOffset = 4;
    plain.descriptorGap = 8;
    Seed(models, "padded_texcoords", Fixture_Model(plain));

    ModelFixture shared;
    shared.sharedBuffer = true;
    for (int i = 0; i < 22; ++i)
        shared.surfaces.push_back(Quad("m" + std::to_string(i % 4), static_cast<float>(i)));
    Seed(models, "rebased_16bit", Fixture_Model(shared));
    shared.wideIndices = true;
    shared.leadingVertices = 4;
    Seed(models, "rebased_32bit", Fixture_Model(shared));
    shared.surfaces.resize(6);
    shared.wideIndices = false;
    shared.leadingVertices = 0;
    Seed(models, "shared_plain", Fixture_Model(shared));

    const char *texts[][2] = {
        {"stone_wall", "// THIS FILE WAS GENERATED FROM RENDERTOOLS\n; source\nClass Standard\nnumTextures 2\n"
                       "Texture 0 WRAP WRAP textures\\env\\stone_wall_d\nTexture 1 WRAP BORDER textures\\env\\stone_wall_n\n"
                       "AlphaTestMode NONE\nFinalBlend NONE\nRenderState\n{\n    ZTest TRUE\n    ZWrite TRUE\n"
                       "    BackfaceCull TRUE\n}\nUVelocity 0.000000\nVVelocity 0.000000\n"},
        {"three_maps", "Class LerpMaskSkin numTextures 3 Texture 0 WRAP WRAP a_n Texture 1 CLAMP CLAMP a_d "
                       "Texture 2 BORDER WRAP a_s FinalBlend ALPHA ZWrite FALSE ZTest FALSE"},
        {"blocks", "outer { inner { \"quoted token\" ; comment\r\n x } y } FinalBlend MULTIPLY"},
        {"velocities", "UVelocity -1.5e-2 VVelocity +.25 FinalBlend ADD BackfaceCull FALSE"},
    };
    for (const auto &t : texts)
        Seed(materials, t[0], Fixture_FromString(t[1]));
    return g_failures ? 1 : 0;
}
