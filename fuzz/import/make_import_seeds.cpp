// Writes the seed corpora of the import fuzz targets: small images in every
// form the image readers take (PNG of 8 and 16 bits, baseline and progressive
// JPEG, TGA plain and run-length coded, BMP bottom-up and top-down), .dds files of each block format and a few it
// refuses, and WAV files of every sample form; with truncated copies.
// Usage: quillon_import_fuzz_seeds OUTDIR
#include "import_fixtures.h"

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
    return failures == 0 ? 0 : 1;
}
