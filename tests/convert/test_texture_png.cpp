// Decoded textures as PNG against Pillow's and ImageMagick's reading of the .dds export.
#include "temp_dir.h"
#include "export/export.h"
#include "export/png_writer.h"
#include "fixtures.h"
#include "model_fixtures.h"
#include "readers.h"
#include "texture/texture_decode.h"

#include <gtest/gtest.h>
#include <random>

namespace {

std::mt19937 g_random(1);

// Random blocks; every other one in the endpoint order of DXT1's transparent and alpha's 0/255 modes.
Bytes RandomTexture(uint32_t format, uint32_t width, uint32_t height, uint32_t mips)
{
    Bytes out = Fixture_Texture(width, height, format, mips, [](uint32_t, uint32_t, uint32_t, uint32_t) {
        return Rgb{};
    });
    const size_t blockSize = format == 1 ? 8 : 16;
    for (size_t at = 128, k = 0; at + blockSize <= out.size(); at += blockSize, ++k) {
        for (size_t i = 0; i < blockSize; ++i)
            out[at + i] = static_cast<uint8_t>(g_random() >> 24);
        uint8_t *colour = &out[at + blockSize - 8];
        const uint16_t c0 = colour[0] | colour[1] << 8, c1 = colour[2] | colour[3] << 8;
        if ((c0 <= c1) != (k % 2 == 0))
            std::swap_ranges(colour, colour + 2, colour + 2);
        if (k % 8 == 0)
            std::copy(colour, colour + 2, colour + 2);
        if (blockSize == 16 && format != 2 && format != 3 && (out[at] > out[at + 1]) != (k % 4 < 2))
            std::swap(out[at], out[at + 1]);
    }
    return out;
}

}  // namespace

TEST(TexturePng, MatchesOtherReadersOfTheDds)
{
    if (!Installed(kPillow) || !Installed(kImageMagick))
        GTEST_SKIP() << "Pillow and ImageMagick are needed";
    struct Row {
        uint32_t format, width, height, level;
    };
    const Row rows[] = {
        {1, 5, 3, 0},  {1, 1, 1, 0},   {1, 12, 20, 0}, {1, 12, 20, 2}, {1, 64, 32, 0}, {2, 5, 3, 0},
        {2, 12, 20, 1}, {2, 32, 32, 0}, {3, 5, 3, 0},  {3, 1, 1, 0},   {3, 12, 20, 1}, {4, 5, 3, 0},
        {4, 12, 20, 1}, {4, 32, 32, 0}, {5, 5, 3, 0},  {5, 1, 1, 0},   {5, 12, 20, 3}, {5, 40, 24, 0},
        {0, 9, 7, 1},
    };
    TempDir dir;
    std::vector<TextureImage> images(std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row &r = rows[i];
        // The readers decode only a .dds file's largest level: a smaller level
        // is compared as a texture of its own (with levels below it, which
        // the .dds header announces), appended to the larger ones.
        const uint32_t w = std::max(r.width >> r.level, 1u), h = std::max(r.height >> r.level, 1u);
        Bytes texture = RandomTexture(r.format, w, h, 3);
        Bytes chain = RandomTexture(r.format, r.width, r.height, r.level);
        chain.insert(chain.end(), texture.begin() + 128, texture.end());
        chain[40] = static_cast<uint8_t>(r.level + 1);
        std::string error;
        ASSERT_TRUE(Texture_DecodeLevel(chain, r.level, images[i], &error)) << error;
        ASSERT_EQ(Export_ToPath(dir / (std::to_string(i) + ".png"), "wb", [&](FILE *f) {
                      return Png_Write(f, images[i]) ? ExportResult::Ok : ExportResult::WriteFailed;
                  }), ExportResult::Ok);
        // No reader we have decodes DXT2 or DXT4: they read the same blocks
        // under the DXT3 and DXT5 codes, colour still multiplied by alpha.
        if (r.format == 2 || r.format == 4)
            texture[48] = static_cast<uint8_t>(r.format + 1);
        ASSERT_EQ(Export_ToPath(dir / (std::to_string(i) + ".dds"), "wb",
                                [&](FILE *f) { return Export_WriteDds(f, texture); }),
                  ExportResult::Ok);
    }
    // N.png and N.dds to N.png.pil and N.dds.pil by Pillow, N.dds to N.rgba by ImageMagick.
    int status;
    Output("cd " + Quoted(dir.path) + " && /usr/bin/python3 -c \"import glob; from PIL import Image\n"
           "for f in glob.glob('*.png') + glob.glob('*.dds'): "
           "open(f + '.pil', 'wb').write(Image.open(f).convert('RGBA').tobytes())\" && "
           "/usr/bin/mogrify -format rgba -depth 8 *.dds", &status);
    ASSERT_EQ(status, 0);

    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row &r = rows[i];
        SCOPED_TRACE("format " + std::to_string(r.format) + ", " + std::to_string(r.width) + " x " +
                     std::to_string(r.height) + ", level " + std::to_string(r.level));
        auto read = [&](const std::string &name) { return ReadText(dir / (std::to_string(i) + name)); };
        const std::string ours = read(".png.pil");
        std::string theirs = read(".rgba");
        ASSERT_EQ(theirs.size(), images[i].rgba.size());
        EXPECT_TRUE(read(".dds.pil") == theirs) << "Pillow and ImageMagick differ";
        if (r.format == 2 || r.format == 4) {
            for (size_t p = 0; p < theirs.size(); p += 4) {
                const unsigned a = static_cast<uint8_t>(theirs[p + 3]);
                for (size_t k = p; k < p + 3; ++k) {
                    const unsigned c = static_cast<uint8_t>(theirs[k]);
                    theirs[k] = static_cast<char>(a == 0 ? 0 : std::min(255u, (c * 255 * 2 + a) / (2 * a)));
                }
            }
        }
        EXPECT_TRUE(ours == theirs) << "the PNG differs from the .dds";
        EXPECT_TRUE(std::string(images[i].rgba.begin(), images[i].rgba.end()) == ours)
            << "Pillow reads another picture from the PNG";
    }
}

// Forged headers and short resources are refused before anything is allocated.
TEST(TexturePng, RefusesWhatTheResourceCannotHold)
{
    const Bytes good = RandomTexture(5, 16, 8, 3);  // levels of 128, 32 and 16 bytes
    const size_t all = good.size();
    // bytes kept, level, header words patched (offset, value), decodes
    const std::tuple<size_t, uint32_t, std::vector<std::pair<size_t, uint32_t>>, bool> rows[] = {
        {all, 2, {}, true},
        {all, 3, {}, false},                                     // past the mip count
        {all - 1, 2, {}, false},                                 // the last level one byte short
        {all - 16, 1, {}, true},
        {127, 0, {}, false},                                     // no header
        {128, 0, {}, false},                                     // header only
        {all, 0, {{28, 0}}, false},                              // no width
        {all, 0, {{32, 0xFFFFFFFF}}, false},                     // forged sides
        {all, 0, {{28, 0xFFFFFFFF}, {32, 0xFFFFFFFF}}, false},
        {all, 0xFFFFFFFE, {{40, 0xFFFFFFFF}}, false},            // forged mip count
        {all, 1, {{48, 1}}, true},                               // DXT1 reads half the bytes
    };
    for (const auto &[size, level, patches, ok] : rows) {
        Bytes texture(good.begin(), good.begin() + long(size));
        for (auto [at, value] : patches)
            Fixture_PutU32(texture, at, value);
        TextureImage image;
        std::string error;
        EXPECT_EQ(Texture_DecodeLevel(texture, level, image, &error), ok) << size << " bytes, level " << level;
        EXPECT_EQ(error.empty(), ok) << error;
        EXPECT_EQ(image.rgba.empty(), !ok);
    }
}
