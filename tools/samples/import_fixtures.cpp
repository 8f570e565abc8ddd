// Writers of importable files for the import tests, fuzz seeds and benchmarks.
#include "import_fixtures.h"
#include "export/png_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <jpeglib.h>
#include <zlib.h>

namespace {

void Put16(Bytes &b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(Bytes &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void Append(Bytes &b, const char *text)
{
    b.insert(b.end(), text, text + strlen(text));
}

void AppendU32(Bytes &b, uint32_t v)
{
    b.resize(b.size() + 4);
    Put32(b, b.size() - 4, v);
}

}  // namespace

TextureImage Fixture_SmoothImage(uint32_t width, uint32_t height, bool alpha)
{
    TextureImage image{width, height, std::vector<uint8_t>(size_t(width) * height * 4)};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const double u = (x + 0.5) / width, v = (y + 0.5) / height;
            uint8_t *p = image.rgba.data() + (size_t(y) * width + x) * 4;
            p[0] = static_cast<uint8_t>(255 * u);
            p[1] = static_cast<uint8_t>(255 * v);
            p[2] = static_cast<uint8_t>(127.5 + 127 * std::sin(6.2832 * (u + v)));
            p[3] = alpha ? static_cast<uint8_t>(255 * (1 - v)) : 255;
        }
    }
    return image;
}

TextureImage Fixture_NoisyImage(uint32_t width, uint32_t height, int amount)
{
    TextureImage image = Fixture_SmoothImage(width, height, false);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-amount, amount);
    for (size_t i = 0; i < image.rgba.size(); ++i)
        if (i % 4 != 3)
            image.rgba[i] = static_cast<uint8_t>(std::clamp(image.rgba[i] + noise(random), 0, 255));
    return image;
}

Bytes Fixture_Png(const TextureImage &image)
{
    Bytes out;
    Png_Encode(image, out);
    return out;
}

Bytes Fixture_Tga(const TextureImage &image, const TgaForm &form)
{
    Bytes out(18, 0);
    out[2] = form.rle ? 10 : 2;  // true colour, run-length coded or not
    Put16(out, 12, image.width);
    Put16(out, 14, image.height);
    out[16] = static_cast<uint8_t>(form.bits);
    out[17] = static_cast<uint8_t>((form.bits == 32 ? 8 : form.bits == 16 ? 1 : 0) | (form.topDown ? 0x20 : 0) |
                                   (form.rightToLeft ? 0x10 : 0));
    // The pixels in the file's order, each as stored.
    std::vector<Bytes> pixels;
    for (uint32_t row = 0; row < image.height; ++row) {
        const uint32_t y = form.topDown ? row : image.height - 1 - row;
        for (uint32_t column = 0; column < image.width; ++column) {
            const uint32_t x = form.rightToLeft ? image.width - 1 - column : column;
            const uint8_t *p = image.rgba.data() + (size_t(y) * image.width + x) * 4;
            if (form.bits == 16) {
                const uint32_t v = (p[3] >= 128 ? 0x8000u : 0) | (p[0] >> 3) << 10 | (p[1] >> 3) << 5 | p[2] >> 3;
                pixels.push_back({static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
            } else if (form.bits == 24) {
                pixels.push_back({p[2], p[1], p[0]});
            } else {
                pixels.push_back({p[2], p[1], p[0], p[3]});
            }
        }
    }
    for (size_t i = 0; i < pixels.size();) {
        if (!form.rle) {
            out.insert(out.end(), pixels[i].begin(), pixels[i].end());
            ++i;
            continue;
        }
        size_t run = 1;
        while (i + run < pixels.size() && run < 128 && pixels[i + run] == pixels[i])
            ++run;
        if (run >= 2) {
            out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
            out.insert(out.end(), pixels[i].begin(), pixels[i].end());
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < pixels.size() && raw < 128 &&
               !(i + raw + 1 < pixels.size() && pixels[i + raw] == pixels[i + raw + 1]))
            ++raw;
        out.push_back(static_cast<uint8_t>(raw - 1));
        for (size_t k = 0; k < raw; ++k)
            out.insert(out.end(), pixels[i + k].begin(), pixels[i + k].end());
        i += raw;
    }
    return out;
}

Bytes Fixture_Bmp(const TextureImage &image, bool topDown)
{
    const uint32_t stride = (image.width * 3 + 3) & ~3u;
    Bytes out(54, 0);
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, 54 + stride * image.height);
    Put32(out, 10, 54);
    Put32(out, 14, 40);
    Put32(out, 18, image.width);
    Put32(out, 22, topDown ? 0u - image.height : image.height);
    Put16(out, 26, 1);
    Put16(out, 28, 24);
    for (uint32_t row = 0; row < image.height; ++row) {
        const uint32_t y = topDown ? row : image.height - 1 - row;
        const size_t at = out.size();
        out.resize(at + stride, 0);
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint8_t *p = image.rgba.data() + (size_t(y) * image.width + x) * 4;
            out[at + 3 * x] = p[2];
            out[at + 3 * x + 1] = p[1];
            out[at + 3 * x + 2] = p[0];
        }
    }
    return out;
}

Bytes Fixture_Jpeg(const TextureImage &image, bool progressive)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = image.width;
    cinfo.image_height = image.height;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_RGBA;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t *>(image.rgba.data()) + size_t(cinfo.next_scanline) * image.width * 4;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}

Bytes Fixture_Png16(const TextureImage &image)
{
    Bytes rows;
    for (uint32_t y = 0; y < image.height; ++y) {
        rows.push_back(0);  // no filter
        for (uint32_t i = 0; i < image.width * 4; ++i) {
            const uint8_t v = image.rgba[size_t(y) * image.width * 4 + i];
            rows.insert(rows.end(), {v, v});  // v * 257, big-endian
        }
    }
    uLongf packedSize = compressBound(rows.size());
    Bytes packed(packedSize);
    compress(packed.data(), &packedSize, rows.data(), rows.size());
    packed.resize(packedSize);
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char *type, const Bytes &data) {
        const uint32_t n = static_cast<uint32_t>(data.size());
        out.insert(out.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
        const size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        const uint32_t crc = static_cast<uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start)));
        out.insert(out.end(), {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)});
    };
    const uint32_t w = image.width, h = image.height;
    chunk("IHDR", {uint8_t(w >> 24), uint8_t(w >> 16), uint8_t(w >> 8), uint8_t(w), uint8_t(h >> 24), uint8_t(h >> 16),
                   uint8_t(h >> 8), uint8_t(h), 16, 6, 0, 0, 0});
    chunk("IDAT", packed);
    chunk("IEND", {});
    return out;
}

Bytes Fixture_PngHeader(uint32_t width, uint32_t height)
{
    Bytes out = Fixture_Png(TextureImage{1, 1, {0, 0, 0, 255}});
    // The IHDR chunk's sides, big-endian, after the 8-byte signature and the chunk's length and type.
    for (int i = 0; i < 4; ++i) {
        out[16 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
        out[20 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
    }
    // Its checksum, so that a reader that checks it still reaches the sides.
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 12; i < 29; ++i) {
        crc ^= out[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    crc = ~crc;
    for (int i = 0; i < 4; ++i)
        out[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    out.resize(33);
    return out;
}

Bytes Fixture_Wav(const WavFixture &wav, std::vector<float> *samples)
{
    const uint32_t sampleBytes = wav.bits / 8, frameBytes = sampleBytes * wav.channels;
    const bool extensible = wav.formatTag == 0xFFFE;
    Bytes out;
    Append(out, "RIFF");
    AppendU32(out, 0);
    Append(out, "WAVEfmt ");
    AppendU32(out, extensible ? 40 : 16);
    const size_t fmt = out.size();
    out.resize(fmt + (extensible ? 40 : 16), 0);
    Put16(out, fmt, wav.formatTag);
    Put16(out, fmt + 2, wav.channels);
    Put32(out, fmt + 4, wav.rate);
    Put32(out, fmt + 8, wav.rate * frameBytes);
    Put16(out, fmt + 12, frameBytes);
    Put16(out, fmt + 14, wav.bits);
    if (extensible) {
        Put16(out, fmt + 16, 22);
        Put16(out, fmt + 18, wav.bits);
        Put16(out, fmt + 24, 1);  // the PCM subformat, then the GUID's common suffix
        static const uint8_t kSuffix[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        memcpy(out.data() + fmt + 26, kSuffix, sizeof kSuffix);
    }
    Append(out, "data");
    const uint64_t dataBytes = uint64_t(wav.frames) * frameBytes;
    AppendU32(out, static_cast<uint32_t>(dataBytes + wav.dataSizeDelta));
    if (samples)
        samples->clear();
    for (uint32_t f = 0; f < wav.frames; ++f) {
        for (uint32_t c = 0; c < wav.channels; ++c) {
            const float v = 0.5f * static_cast<float>(std::sin(6.283185 * wav.toneHz * (c + 1) * f / wav.rate));
            if (samples)
                samples->push_back(v);
            const size_t at = out.size();
            out.resize(at + sampleBytes);
            if (wav.formatTag == 3) {
                uint32_t bits;
                memcpy(&bits, &v, 4);
                Put32(out, at, bits);
            } else if (wav.bits == 8) {
                out[at] = static_cast<uint8_t>(std::lround(128 + 127 * v));
            } else {
                const int64_t scaled = std::llround(v * ((int64_t(1) << (wav.bits - 1)) - 1));
                for (uint32_t i = 0; i < sampleBytes; ++i)
                    out[at + i] = static_cast<uint8_t>(static_cast<uint64_t>(scaled) >> (8 * i));
            }
        }
    }
    if (dataBytes & 1)
        out.push_back(0);
    Put32(out, 4, static_cast<uint32_t>(out.size() - 8));
    return out;
}

Bytes Fixture_DdsHeader(uint32_t width, uint32_t height, const char *fourCC, uint32_t mipCount, uint32_t rgbBits)
{
    Bytes out(128, 0);
    memcpy(out.data(), "DDS ", 4);
    Put32(out, 4, 124);
    Put32(out, 8, 0x1007 | (mipCount ? 0x20000 : 0));
    Put32(out, 12, height);
    Put32(out, 16, width);
    Put32(out, 28, mipCount);
    Put32(out, 76, 32);
    if (fourCC) {
        Put32(out, 80, 4);
        memcpy(out.data() + 84, fourCC, 4);
    } else {
        Put32(out, 80, 0x41);
        Put32(out, 88, rgbBits);
    }
    Put32(out, 108, 0x1000);
    return out;
}
