// Writes the seed corpora of the import fuzz targets: small images in every
// form the image readers take (PNG of 8 and 16 bits, baseline and progressive
// JPEG, TGA plain and run-length coded, BMP bottom-up and top-down), .dds files
// of each block format and a few it refuses, WAV files of every sample form,
// and the OBJ and GLB exports of the model the model import target is given;
// with truncated copies.
// Usage: quillon_import_fuzz_seeds OUTDIR
#include "export/export.h"
#include "export/gltf_writer.h"
#include "import_fixtures.h"
#include "model/model.h"
#include "model_fixtures.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    int failures = 0;
    auto seed = [&](const std::string &folder, const std::string &name, const Bytes &bytes) {
        const std::string dir = std::string(argv[1]) + "/" + folder;
        std::filesystem::create_directories(dir);
        if (!Fixture_WriteFile(dir + "/" + name, bytes)) {
            fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name.c_str());
            ++failures;
        }
        if (bytes.size() > 8)
            failures += !Fixture_WriteFile(dir + "/" + name + "-cut", Bytes(bytes.begin(), bytes.end() - bytes.size() / 3));
    };

    const TextureImage images[] = {Fixture_SmoothImage(16, 16, true), Fixture_NoisyImage(5, 3, 40),
                                   Fixture_SmoothImage(1, 9, false)};
    for (const TextureImage &image : images) {
        const std::string size = std::to_string(image.width) + "x" + std::to_string(image.height);
        seed("fuzz_import_image", size + ".png", Fixture_Png(image));
        seed("fuzz_import_image", size + "-16.png", Fixture_Png16(image));
        seed("fuzz_import_image", size + ".jpg", Fixture_Jpeg(image));
        seed("fuzz_import_image", size + "-progressive.jpg", Fixture_Jpeg(image, true));
        seed("fuzz_import_image", size + ".tga", Fixture_Tga(image));
        seed("fuzz_import_image", size + "-16-rle-mirrored.tga", Fixture_Tga(image, {16, true, false, true}));
        seed("fuzz_import_image", size + "-24-rle.tga", Fixture_Tga(image, {24, true, true, false}));
        seed("fuzz_import_image", size + ".bmp", Fixture_Bmp(image));
        seed("fuzz_import_image", size + "-top-down.bmp", Fixture_Bmp(image, true));
    }
    seed("fuzz_import_image", "huge.png", Fixture_PngHeader(100000, 100000));
    for (const char *code : {"DXT1", "DXT3", "DXT5", "ATI2"}) {
        Bytes dds = Fixture_DdsHeader(8, 4, code, 3);
        dds.resize(dds.size() + 3 * 16, 0x5A);
        seed("fuzz_import_image", std::string(code) + ".dds", dds);
    }
    seed("fuzz_import_image", "rgba.dds", Fixture_DdsHeader(4, 4, nullptr, 1, 32));

    const WavFixture wavs[] = {{1, 8, 1, 8000, 300}, {1, 16, 2, 44100, 500}, {1, 24, 1, 22050, 400},
                               {1, 32, 2, 48000, 200}, {3, 32, 1, 11025, 300}, {0xFFFE, 16, 2, 96000, 300}};
    for (const WavFixture &wav : wavs)
        seed("fuzz_import_wav", std::to_string(wav.formatTag) + "-" + std::to_string(wav.bits) + "bit-" +
                                    std::to_string(wav.channels) + "ch.wav",
             Fixture_Wav(wav));

    // The model of fuzz_import_model, as our exports write it.
    const Bytes resource = Fixture_Model(Fixture_SharedStrips(2, 3));
    Model *model = Model_Parse(resource.data(), resource.size());
    if (!model)
        return 1;
    for (const bool glb : {false, true}) {
        FILE *file = tmpfile();
        const bool written = glb ? Gltf_WriteBinary(file, *model, {}, nullptr) : Model_WriteObj(file, model);
        Bytes bytes(static_cast<size_t>(ftell(file)));
        rewind(file);
        bytes.resize(fread(bytes.data(), 1, bytes.size(), file));
        fclose(file);
        failures += !written;
        seed("fuzz_import_model", glb ? "strips.glb" : "strips.obj", bytes);
    }
    Model_Free(model);
    seed("fuzz_import_model", "editor.obj",
         Fixture_FromString("o Mesh\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\nusemtl m0\nf 1/1/1 2/1/1 3/1/1\n"
                            "f -1//1 -2//1 -3//1\n"));
    return failures == 0 ? 0 : 1;
}
