// Files a modder would import, made here: images (PNG through the project's
// PNG writer, uncompressed TGA and BMP), WAV files of every sample form, and
// .dds files of any pixel form; with the pictures the image tests measure.
#pragma once

#include "fixtures.h"
#include "texture/texture_decode.h"

#include <string>

// A smooth picture: gradients in every channel, alpha included when `alpha`.
TextureImage Fixture_SmoothImage(uint32_t width, uint32_t height, bool alpha);
// The smooth picture with white noise of +-`amount` on its colour (opaque).
TextureImage Fixture_NoisyImage(uint32_t width, uint32_t height, int amount);

Bytes Fixture_Png(const TextureImage &image);
struct TgaForm {
    int bits = 32;            // 16 (with the alpha bit: alpha 128 and above is opaque), 24 (alpha dropped) or 32
    bool rle = false;         // run-length coded
    bool topDown = true;      // rows from the top
    bool rightToLeft = false; // columns from the right
};
Bytes Fixture_Tga(const TextureImage &image, const TgaForm &form = {});
Bytes Fixture_Bmp(const TextureImage &image, bool topDown = false);  // 24-bit (alpha dropped)
Bytes Fixture_Jpeg(const TextureImage &image, bool progressive = false);  // quality 95, alpha dropped
Bytes Fixture_Png16(const TextureImage &image);  // 16-bit RGBA, each sample its byte times 257

// A PNG's signature and header chunk alone, claiming width x height.
Bytes Fixture_PngHeader(uint32_t width, uint32_t height);

struct WavFixture {
    uint16_t formatTag = 1;  // 1 PCM, 3 float, 0xFFFE extensible (with a PCM subformat)
    uint16_t bits = 16;
    uint16_t channels = 1;
    uint32_t rate = 44100;
    uint32_t frames = 44100;
    double toneHz = 441.0;       // channel c sings toneHz * (c + 1), at half scale
    int64_t dataSizeDelta = 0;   // added to the data chunk's true size (a lying size)
};

// The WAV file and, beside it, the samples it holds as floats (interleaved).
Bytes Fixture_Wav(const WavFixture &wav, std::vector<float> *samples = nullptr);

// A 128-byte .dds header: `fourCC` (with the FourCC flag) or, when null, the
// uncompressed RGBA form of `rgbBits` bits; `mipCount` 0 leaves the mip flag off.
Bytes Fixture_DdsHeader(uint32_t width, uint32_t height, const char *fourCC, uint32_t mipCount,
                        uint32_t rgbBits = 32);
