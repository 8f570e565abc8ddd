// Images, .dds files and sounds imported, then read back the way the game's
// resources are read: textures through the decoder and the PNG export (with
// Pillow reading the PNG), sounds through the decoder and oggdec.
#include "cli_run.h"
#include "import_fixtures.h"
#include "ogg_fixtures.h"
#include "readers.h"
#include "temp_dir.h"
#include "test_data.h"

#include "export/export.h"
#include "export/png_writer.h"
#include "import/import.h"
#include "sound/sound.h"
#include "texture/texture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace {

uint32_t U32(const Bytes &b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

// Level 0 of a texture as the PNG export writes it, read back by Pillow.
Bytes ThroughPngExport(const Bytes &texture)
{
    TextureImage image;
    Bytes png;
    if (!Texture_DecodeLevel(texture, 0, image, nullptr) || !Png_Encode(image, png))
        return {};
    TempDir dir;
    Fixture_WriteFile(dir / "t.png", png);
    CliResult read = RunProgram("/usr/bin/python3",
                                {"-c", "import sys; from PIL import Image; "
                                       "sys.stdout.buffer.write(Image.open(sys.argv[1]).convert('RGBA').tobytes())",
                                 dir / "t.png"},
                                dir, dir / "rgba");
    return read.status == 0 ? Fixture_ReadFile(dir / "rgba") : Bytes{};
}

// Peak signal to noise, in dB, of the channels [first, first + count) of two RGBA images.
double Psnr(const Bytes &a, const Bytes &b, int first, int count)
{
    double error = 0;
    size_t n = 0;
    for (size_t i = 0; i < a.size(); i += 4) {
        for (int k = first; k < first + count; ++k, ++n) {
            const double d = double(a[i + k]) - b[i + k];
            error += d * d;
        }
    }
    return error == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / (error / n));
}

Bytes Dds(const Bytes &texture)
{
    FILE *f = ScratchFile();
    Export_WriteDds(f, texture);
    Bytes out = StreamBytes(f);
    fclose(f);
    return out;
}

ImportResult Texture(const Bytes &file, const Bytes &old = {}, TextureChoice format = TextureChoice::Keep)
{
    TextureImportOptions options;
    options.format = format;
    options.threads = 2;
    return Import_Texture(file, old, options);
}

}  // namespace

TEST(Import, ChoosesByExtension)
{
    const std::pair<const char *, ImportAs> cases[] = {
        {"a.png", ImportAs::Texture}, {"dir.x/B.JPEG", ImportAs::Texture}, {"c.Dds", ImportAs::Texture},
        {"t.tga", ImportAs::Texture}, {"s.WAV", ImportAs::Sound},        {"s.ogg", ImportAs::Sound},
        {"m.mat", ImportAs::Raw},     {"png", ImportAs::Raw},            {"textures.png\\x", ImportAs::Raw},
    };
    for (const auto &[name, as] : cases)
        EXPECT_EQ(Import_Choose(name), as) << name;
    ImportAs as;
    EXPECT_TRUE(Import_ParseAs("sound", as) && as == ImportAs::Sound);
    EXPECT_FALSE(Import_ParseAs("Texture", as));
}

// Each image form, read back through the PNG export: colour and alpha within
// the PSNR a DXT encoder of real quality keeps, the format by the alpha.
TEST(ImportTexture, ImagesComeBackThroughThePngExport)
{
    if (!Installed(kPillow))
        GTEST_SKIP() << "Pillow is not installed";
    const TextureImage smooth = Fixture_SmoothImage(256, 256, true), noisy = Fixture_NoisyImage(256, 256, 12),
                       odd = Fixture_SmoothImage(131, 67, true), opaque = Fixture_SmoothImage(256, 256, false);
    TextureImage cutout = smooth;  // alpha of one bit, as a 16-bit TGA holds it
    for (size_t i = 3; i < cutout.rgba.size(); i += 4)
        cutout.rgba[i] = cutout.rgba[i] >= 128 ? 255 : 0;
    const struct {
        const char *name;
        Bytes file;
        const TextureImage &image;
        uint32_t format, mips;
        double minPsnr;
    } cases[] = {
        {"smooth PNG", Fixture_Png(smooth), smooth, 5, 9, 35},
        {"noisy PNG", Fixture_Png(noisy), noisy, 1, 9, 30},
        {"16-bit PNG", Fixture_Png16(smooth), smooth, 5, 9, 35},
        {"JPEG", Fixture_Jpeg(opaque), opaque, 1, 9, 35},
        {"progressive JPEG", Fixture_Jpeg(opaque, true), opaque, 1, 9, 35},
        {"TGA", Fixture_Tga(smooth), smooth, 5, 9, 35},
        {"TGA of 24 bits, run-length coded, bottom-up", Fixture_Tga(opaque, {24, true, false, false}), opaque, 1, 9, 35},
        {"TGA of 16 bits with its alpha bit, right to left", Fixture_Tga(cutout, {16, false, true, true}), cutout, 5,
         9, 30},
        {"TGA of 16 bits, run-length coded", Fixture_Tga(cutout, {16, true, false, false}), cutout, 5, 9, 30},
        {"BMP (opaque)", Fixture_Bmp(noisy), noisy, 1, 9, 30},
        {"BMP top-down", Fixture_Bmp(noisy, true), noisy, 1, 9, 30},
        {"131 x 67 PNG, partial blocks", Fixture_Png(odd), odd, 5, 8, 35},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ImportResult result = Texture(c.file);
        ASSERT_TRUE(result.ok) << result.message;
        TextureHeader header;
        ASSERT_TRUE(Texture_ReadHeader(result.bytes, header));
        EXPECT_EQ(header.format, c.format);
        EXPECT_EQ(header.mipCount, c.mips);
        const Bytes back = ThroughPngExport(result.bytes);
        ASSERT_EQ(back.size(), c.image.rgba.size());
        EXPECT_GE(Psnr(back, c.image.rgba, 0, 3), c.minPsnr);
        EXPECT_GE(Psnr(back, c.image.rgba, 3, 1), c.minPsnr);
        // Every level is present and decodes, down to 1 x 1.
        TextureImage last;
        ASSERT_TRUE(Texture_DecodeLevel(result.bytes, header.mipCount - 1, last, nullptr));
        EXPECT_EQ(last.width * last.height, 1u);
        EXPECT_EQ(result.bytes.size(), Dds(result.bytes).size());
    }
}

// Mip levels average light, not sRGB numbers: black and white pixels make the
// grey of half the light (188), not 128; transparent pixels lend no colour.
TEST(ImportTexture, MipsAverageLinearLightAndIgnoreTransparentColour)
{
    TextureImage checker{8, 8, {}}, fringe{8, 8, {}};
    for (uint32_t i = 0; i < 64; ++i) {
        const uint8_t v = ((i % 8) + (i / 8)) % 2 ? 255 : 0;
        checker.rgba.insert(checker.rgba.end(), {v, v, v, 255});
        // Opaque red beside transparent green.
        fringe.rgba.insert(fringe.rgba.end(), {uint8_t(v ? 255 : 0), uint8_t(v ? 0 : 255), 0, v});
    }
    TextureImage level;
    const ImportResult grey = Texture(Fixture_Png(checker)), red = Texture(Fixture_Png(fringe));
    ASSERT_TRUE(grey.ok && red.ok);
    ASSERT_TRUE(Texture_DecodeLevel(grey.bytes, 1, level, nullptr));
    for (size_t i = 0; i < level.rgba.size(); i += 4)
        EXPECT_NEAR(level.rgba[i + 1], 188, 4) << i;
    ASSERT_TRUE(Texture_DecodeLevel(red.bytes, 1, level, nullptr));
    for (size_t i = 0; i < level.rgba.size(); i += 4) {
        EXPECT_GE(level.rgba[i], 240);
        EXPECT_LE(level.rgba[i + 1], 8);
        EXPECT_NEAR(level.rgba[i + 3], 128, 4);
    }
}

// A replaced texture keeps every header byte but the sides, the mip count and
// (for a .dds of other blocks) the format; a new one is "SYT", them, and zeros.
TEST(ImportTexture, ReplacedTextureKeepsItsHeader)
{
    const Bytes png = Fixture_Png(Fixture_SmoothImage(32, 16, true));
    const Bytes dxt1Texture = Fixture_Texture(8, 8, 1, 4, Solid<10, 20, 30>);
    const Bytes dxt1Dds = Dds(dxt1Texture), dxt5Dds = Dds(Fixture_Texture(8, 8, 5, 1, Solid<1, 2, 3>));
    const struct {
        const char *name;
        const Bytes &file;
        uint32_t oldFormat, newFormat;
    } cases[] = {
        {"PNG into DXT3 keeps DXT3", png, 3, 3},
        {"PNG into DXT2 keeps DXT2", png, 2, 2},
        {"DXT1 .dds into DXT5 becomes DXT1", dxt1Dds, 5, 1},
        {"DXT5 .dds into code 0 keeps 0", dxt5Dds, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Bytes old = Fixture_Texture(64, 64, c.oldFormat, 1, Solid<0, 0, 0>);
        for (size_t i = 3; i < 128; ++i)
            if (i < 28 || (i >= 36 && i < 40) || (i >= 44 && i < 48) || i >= 52)
                old[i] = static_cast<uint8_t>(i * 7 + 1);
        const ImportResult result = Texture(c.file, old);
        ASSERT_TRUE(result.ok) << result.message;
        Bytes expected(old.begin(), old.begin() + 128);
        for (size_t at : {28, 32, 40, 48})
            memcpy(expected.data() + at, result.bytes.data() + at, 4);
        EXPECT_EQ(Bytes(result.bytes.begin(), result.bytes.begin() + 128), expected);
        EXPECT_EQ(U32(result.bytes, 48), c.newFormat);
        EXPECT_NE(U32(result.bytes, 28), 64u);
    }
    const ImportResult fresh = Texture(png);
    ASSERT_TRUE(fresh.ok);
    Bytes expected(128, 0);
    memcpy(expected.data(), "SYT", 3);
    for (auto [at, value] : {std::pair{28, 32u}, {32, 16u}, {40, 6u}, {48, 5u}})
        expected[at] = static_cast<uint8_t>(value);
    EXPECT_EQ(Bytes(fresh.bytes.begin(), fresh.bytes.begin() + 128), expected);
    // An explicit format wins over the old one.
    EXPECT_EQ(U32(Texture(png, dxt1Texture, TextureChoice::Dxt3).bytes, 48), 3u);
}

// A .dds exported from a texture comes back with its blocks as they were, and
// exports to the same .dds again.
TEST(ImportTexture, DdsBlocksGoInUnchanged)
{
    for (uint32_t format = 1; format <= 5; ++format) {
        for (auto [w, h, mips] : {std::tuple{64u, 32u, 7u}, {5u, 3u, 1u}, {16u, 16u, 5u}}) {
            SCOPED_TRACE("format " + std::to_string(format) + ", " + std::to_string(w) + " x " + std::to_string(h));
            const Bytes texture = Fixture_Texture(w, h, format, mips, BlockShade);
            const Bytes dds = Dds(texture);
            const ImportResult result = Texture(dds);
            ASSERT_TRUE(result.ok) << result.message;
            EXPECT_EQ(Dds(result.bytes), dds);
            EXPECT_TRUE(std::equal(result.bytes.begin() + 128, result.bytes.end(), texture.begin() + 128,
                                   texture.end()));
        }
    }
}

TEST(ImportTexture, RefusesHostileFiles)
{
    const Bytes png = Fixture_Png(Fixture_NoisyImage(64, 64, 30));
    Bytes dds = Dds(Fixture_Texture(16, 16, 5, 5, BlockShade)), lyingMips = dds, cube = dds;
    lyingMips[28] = 9;  // 16 x 16 has 5 levels
    Bytes noRows = Fixture_Bmp(Fixture_SmoothImage(3, 2, false));
    noRows[22] = 0;
    cube[113] = 0x02;
    // Headers that promise a huge picture, in files of a few bytes.
    const TextureImage small = Fixture_SmoothImage(16, 16, false);
    Bytes tgaBomb = Fixture_Tga(small), rleBomb = Fixture_Tga(small, {32, true, true, false}),
          jpegBomb = Fixture_Jpeg(small, true), bmp = Fixture_Bmp(small), rle8 = bmp, rleCut = Fixture_Tga(
                                                                                small, {24, true, true, false});
    for (Bytes *tga : {&tgaBomb, &rleBomb})
        (*tga)[12] = (*tga)[14] = 0, (*tga)[13] = (*tga)[15] = 0x40;  // 16384 x 16384
    tgaBomb.resize(33);
    for (size_t i = 2; i + 8 < jpegBomb.size(); ++i)
        if (jpegBomb[i] == 0xFF && jpegBomb[i + 1] == 0xC2) {  // the frame's sides, big-endian
            jpegBomb[i + 5] = jpegBomb[i + 7] = 0x40, jpegBomb[i + 6] = jpegBomb[i + 8] = 0;
            break;
        }
    rle8[30] = 1;
    rleCut.resize(rleCut.size() - 2);
    const Bytes jpeg = Fixture_Jpeg(small);
    const struct {
        const char *name;
        Bytes file;
        const char *said;
    } cases[] = {
        {"empty", {}, "empty"},
        {"truncated PNG", Bytes(png.begin(), png.begin() + png.size() / 2), "decoded"},
        {"PNG header of 100000 x 100000", Fixture_PngHeader(100000, 100000), "100000 x 100000"},
        {"PNG of 16385 x 1", Fixture_PngHeader(16385, 1), "at most 16384"},
        {"BMP of no rows", noRows, "3 x 0"},
        {"33-byte TGA of 16384 x 16384", tgaBomb, "ends before its pixels"},
        {"run-length TGA of 16384 x 16384 in a few packets", rleBomb, "ends before its pixels"},
        {"run-length TGA cut in its last packet", rleCut, "ends before its pixels"},
        {"half a BMP", Bytes(bmp.begin(), bmp.begin() + bmp.size() / 2), "ends before its pixels"},
        {"run-length BMP", rle8, "compressed BMP"},
        {"JPEG cut short", Bytes(jpeg.begin(), jpeg.end() - 40), "ends before its pixels"},
        {"progressive JPEG declaring 16384 x 16384", jpegBomb, "too short"},
        {"not an image", Fixture_FromString("just some text, not an image at all"), "not a PNG"},
        {"DDS of ATI2", Fixture_DdsHeader(4, 4, "ATI2", 1), "FourCC ATI2"},
        {"DDS of DX10", Fixture_DdsHeader(4, 4, "DX10", 1), "DX10"},
        {"uncompressed DDS", Fixture_DdsHeader(4, 4, nullptr, 1, 32), "uncompressed 32-bit RGBA"},
        {"truncated DDS", Bytes(dds.begin(), dds.end() - 1), "truncated"},
        {"DDS naming 9 levels", lyingMips, "9 mip levels"},
        {"DDS cube map", cube, "cube map"},
        {"DDS of 0 pixels", Fixture_DdsHeader(0, 4, "DXT1", 1), "0 x 4"},
        {"DDS header alone", Bytes(dds.begin(), dds.begin() + 100), "shorter"},
    };
    for (const auto &c : cases) {
        const ImportResult result = Texture(c.file);
        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_TRUE(result.bytes.empty()) << c.name;
        EXPECT_NE(result.message.find(c.said), std::string::npos) << c.name << ": " << result.message;
    }
}

// Every WAV sample form becomes Ogg Vorbis of the same rate, channels and
// length that the decoder and oggdec both read, and sounds like the WAV did.
TEST(ImportSound, WavBecomesOggOfTheSameShape)
{
    const bool haveOggdec = Installed("oggdec --version");
    const WavFixture cases[] = {
        {1, 8, 1, 22050, 30000},     {1, 16, 2, 44100, 44100},    {1, 24, 1, 48000, 20000},
        {1, 32, 2, 32000, 10001},    {3, 32, 2, 8000, 9000},      {0xFFFE, 16, 2, 96000, 50000},
    };
    for (const WavFixture &wav : cases) {
        SCOPED_TRACE(std::to_string(wav.bits) + "-bit form " + std::to_string(wav.formatTag) + ", " +
                     std::to_string(wav.channels) + " ch, " + std::to_string(wav.rate) + " Hz");
        std::vector<float> samples;
        const ImportResult result = Import_Sound(Fixture_Wav(wav, &samples), {});
        ASSERT_TRUE(result.ok) << result.message;
        std::vector<uint8_t> pcm;
        int32_t rate, channels;
        ASSERT_TRUE(S_DecodeAll(result.bytes, pcm, rate, channels));
        EXPECT_EQ(rate, int32_t(wav.rate));
        EXPECT_EQ(channels, wav.channels);
        const size_t frames = pcm.size() / 2 / wav.channels;
        EXPECT_NEAR(double(frames), wav.frames, 2048);
        // The tone survives: the decoded samples are close to the WAV's.
        double signal = 0, noise = 0;
        for (size_t i = 0; i < std::min(samples.size(), pcm.size() / 2); ++i) {
            const float decoded = int16_t(pcm[2 * i] | (pcm[2 * i + 1] << 8)) / 32768.0f;
            signal += samples[i] * samples[i];
            noise += (decoded - samples[i]) * (decoded - samples[i]);
        }
        EXPECT_GT(10 * std::log10(signal / noise), 15);
        if (haveOggdec) {
            TempDir dir;
            Fixture_WriteFile(dir / "in.ogg", result.bytes);
            ASSERT_EQ(RunProgram("/usr/bin/env", {"oggdec", "-Q", "-o", dir / "out.wav", dir / "in.ogg"}, dir).status,
                      0);
            const Bytes out = Fixture_ReadFile(dir / "out.wav");
            ASSERT_GE(out.size(), 44u);
            EXPECT_EQ(U32(out, 24), wav.rate);
            EXPECT_EQ(out[22], wav.channels);
            EXPECT_NEAR(double(U32(out, 40)) / 2 / wav.channels, double(frames), 2048);
        }
    }
}

TEST(ImportSound, OggGoesInAsItIsAndHostileFilesAreRefused)
{
    const Bytes ogg = Fixture_OggVorbis({});
    const ImportResult same = Import_Sound(ogg, {});
    ASSERT_TRUE(same.ok) << same.message;
    EXPECT_EQ(same.bytes, ogg);

    Bytes adpcm = Fixture_Wav({}), noFormat = Fixture_Wav({});
    adpcm[20] = 2;
    memcpy(noFormat.data() + 12, "junk", 4);
    WavFixture lying, threeChannels, twelveBits, floatSixtyFour, tooFast, extensible;
    tooFast.rate = 250000;
    extensible.formatTag = 0xFFFE;
    Bytes notPcmGuid = Fixture_Wav(extensible);
    notPcmGuid[20 + 26] = 0x01;  // the subformat GUID's suffix is not the PCM one's
    lying.dataSizeDelta = 1000;
    threeChannels.channels = 3;
    twelveBits.bits = 12;
    floatSixtyFour.formatTag = 3;
    floatSixtyFour.bits = 64;
    const struct {
        const char *name;
        Bytes file;
        const char *said;
    } cases[] = {
        {"lying data size", Fixture_Wav(lying), "truncated"},
        {"cut short", Bytes(ogg.begin(), ogg.begin() + 30), "not an Ogg Vorbis"},
        {"ADPCM", adpcm, "not PCM"},
        {"3 channels", Fixture_Wav(threeChannels), "3 channels"},
        {"12-bit", Fixture_Wav(twelveBits), "12-bit PCM"},
        {"64-bit float", Fixture_Wav(floatSixtyFour), "64-bit float"},
        {"no format chunk", noFormat, "no format chunk"},
        {"250 kHz, above the encoder's 200", Fixture_Wav(tooFast), "250000 Hz"},
        {"extensible of a subformat that is not PCM", notPcmGuid, "not PCM"},
        {"not a WAV", Fixture_FromString("RIFF    AVI LIST"), "not a WAV"},
        {"a damaged Ogg file", Fixture_FromString("Ogg\x01 then noise"), "nor an Ogg Vorbis file"},
        {"WAV header alone", Bytes(adpcm.begin(), adpcm.begin() + 11), "not a WAV"},
    };
    for (const auto &c : cases) {
        const ImportResult result = Import_Sound(c.file, {});
        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_NE(result.message.find(c.said), std::string::npos) << c.name << ": " << result.message;
    }
    // A chunk of odd size whose pad byte the writer left out: the next chunk
    // starts right after it.
    Bytes unpadded = Fixture_Wav({});
    const uint8_t list[] = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c'};
    unpadded.insert(unpadded.begin() + 36, std::begin(list), std::end(list));
    const ImportResult taken = Import_Sound(unpadded, {});
    EXPECT_TRUE(taken.ok) << taken.message;

    SoundImportOptions loud;
    loud.quality = 1.5f;
    EXPECT_FALSE(Import_Sound(Fixture_Wav({}), loud).ok);
}

// Imports whose peaks do not fit beside each other run one after the other;
// one larger than the whole budget still runs, alone.
TEST(Import, MemoryGateHoldsImportsToTheBudget)
{
    ImportMemoryGate gate(100);
    std::atomic<int> inside{0}, most{0};
    auto import = [&](uint64_t bytes) {
        gate.Enter(bytes);
        most = std::max(most.load(), ++inside);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        --inside;
        gate.Leave(bytes);
    };
    for (const auto &[peaks, expected] : {std::pair{std::vector<uint64_t>{60, 60, 60}, 1},
                                          std::pair{std::vector<uint64_t>{500, 10}, 1}}) {
        most = 0;
        std::vector<std::thread> threads;
        for (uint64_t bytes : peaks)
            threads.emplace_back(import, bytes);
        for (std::thread &t : threads)
            t.join();
        EXPECT_EQ(most.load(), expected) << peaks[0];
    }
}
