// Images (PNG, TGA, JPEG, BMP) to texture resources: decoded to 8-bit RGBA,
// a mip chain down to 1 x 1 averaged in linear light, each level encoded to
// DXT blocks on several threads.
#include "import/import_local.h"
#include "base/bytes.h"
#include "texture/texture.h"

#include <squish.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

using Image = ImportImage;

// sRGB bytes to linear light and back. The way back is a table fine enough
// that its steps stay below a fifth of a byte near black, where sRGB is steepest.
constexpr int kLinearSteps = 16384;
struct LightTables {
    float toLinear[256];
    uint8_t toSrgb[kLinearSteps];
};

const LightTables &Tables()
{
    static const std::unique_ptr<LightTables> tables = [] {
        auto t = std::make_unique<LightTables>();
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            t->toLinear[i] = static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        for (int i = 0; i < kLinearSteps; ++i) {
            const double l = static_cast<double>(i) / (kLinearSteps - 1);
            const double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
            t->toSrgb[i] = static_cast<uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255));
        }
        return t;
    }();
    return *tables;
}

uint8_t ToSrgb(const LightTables &t, float linear)
{
    const float clamped = std::clamp(linear, 0.0f, 1.0f);
    return t.toSrgb[static_cast<int>(clamped * (kLinearSteps - 1) + 0.5f)];
}

// The source pixels one pixel of a halved side covers, with the share of
// each. An odd side's pixels are shared between neighbours (5 -> 2 gives each
// 2.5), so nothing of the image is dropped.
struct Taps {
    uint32_t first = 0, count = 0;
    float weight[4] = {};
};

std::vector<Taps> MakeTaps(uint32_t from, uint32_t to)
{
    std::vector<Taps> taps(to);
    const double ratio = static_cast<double>(from) / to;
    for (uint32_t x = 0; x < to; ++x) {
        const double lo = x * ratio, hi = (x + 1) * ratio;
        Taps &t = taps[x];
        t.first = static_cast<uint32_t>(lo);
        const uint32_t end = std::min<uint32_t>(from, static_cast<uint32_t>(std::ceil(hi)));
        for (uint32_t s = t.first; s < end && t.count < 4; ++s)
            t.weight[t.count++] = static_cast<float>((std::min<double>(hi, s + 1) - std::max<double>(lo, s)) / ratio);
    }
    return taps;
}

// The next mip level: each side halved (at least 1). Colour is averaged in
// linear light weighted by alpha, so transparent pixels lend no colour to
// their visible neighbours; a wholly transparent pixel keeps the plain average.
Image Halve(const Image &src, int threads)
{
    const LightTables &t = Tables();
    Image dst;
    dst.width = std::max<uint32_t>(src.width / 2, 1);
    dst.height = std::max<uint32_t>(src.height / 2, 1);
    dst.rgba.reset(static_cast<uint8_t *>(malloc(dst.Bytes())));
    if (!dst.rgba)
        return dst;
    const std::vector<Taps> across = MakeTaps(src.width, dst.width), down = MakeTaps(src.height, dst.height);
    constexpr uint32_t kRows = 16;
    Import_ParallelFor((dst.height + kRows - 1) / kRows, threads, [&](size_t task) {
        const uint32_t yEnd = std::min<uint32_t>(dst.height, static_cast<uint32_t>(task + 1) * kRows);
        for (uint32_t y = static_cast<uint32_t>(task) * kRows; y < yEnd; ++y) {
            uint8_t *out = dst.rgba.get() + static_cast<size_t>(y) * dst.width * 4;
            for (uint32_t x = 0; x < dst.width; ++x, out += 4) {
                float colour[3] = {}, plain[3] = {}, alpha = 0;
                const Taps &ty = down[y], &tx = across[x];
                for (uint32_t j = 0; j < ty.count; ++j) {
                    const uint8_t *row = src.rgba.get() + static_cast<size_t>(ty.first + j) * src.width * 4;
                    for (uint32_t i = 0; i < tx.count; ++i) {
                        const uint8_t *p = row + static_cast<size_t>(tx.first + i) * 4;
                        const float w = ty.weight[j] * tx.weight[i], a = w * (p[3] / 255.0f);
                        for (int k = 0; k < 3; ++k) {
                            const float l = t.toLinear[p[k]];
                            colour[k] += a * l;
                            plain[k] += w * l;
                        }
                        alpha += a;
                    }
                }
                for (int k = 0; k < 3; ++k)
                    out[k] = ToSrgb(t, alpha > 0 ? colour[k] / alpha : plain[k]);
                out[3] = static_cast<uint8_t>(std::lround(std::clamp(alpha, 0.0f, 1.0f) * 255));
            }
        }
    });
    return dst;
}

// How a format code's blocks are made: the decoder's reading of the same codes
// (1 DXT1, 2 DXT3 layout premultiplied, 3 DXT3, 4 DXT5 layout premultiplied,
// anything else DXT5).
struct Encoding {
    int flags;
    bool premultiplied;
};

Encoding EncodingOf(uint32_t format)
{
    switch (format) {
    case 1: return {squish::kDxt1, false};
    case 2: return {squish::kDxt3, true};
    case 3: return {squish::kDxt3, false};
    case 4: return {squish::kDxt5, true};
    default: return {squish::kDxt5, false};
    }
}

// One row of blocks of a level. Blocks on a right or bottom edge that the side
// does not fill are encoded from the pixels they hold, the rest masked out.
void EncodeBlockRow(const Image &level, uint32_t by, const Encoding &encoding, bool clusterFit, uint8_t *out,
                    uint32_t blockSize)
{
    const uint32_t blocksX = (level.width + 3) / 4;
    for (uint32_t bx = 0; bx < blocksX; ++bx, out += blockSize) {
        uint8_t pixels[64] = {};
        int mask = 0;
        for (uint32_t py = 0; py < 4; ++py) {
            const uint32_t y = 4 * by + py;
            for (uint32_t px = 0; px < 4; ++px) {
                const uint32_t x = 4 * bx + px;
                if (x >= level.width || y >= level.height)
                    continue;
                uint8_t *p = pixels + 4 * (4 * py + px);
                memcpy(p, level.rgba.get() + (static_cast<size_t>(y) * level.width + x) * 4, 4);
                if (encoding.premultiplied)
                    for (int k = 0; k < 3; ++k)
                        p[k] = static_cast<uint8_t>((p[k] * p[3] + 127) / 255);
                mask |= 1 << (4 * py + px);
            }
        }
        Import_EncodeBlock(pixels, mask, encoding.flags, clusterFit, out);
    }
}

std::string Sides(uint32_t width, uint32_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

ImportResult Import_ImageTexture(std::span<const uint8_t> file, std::span<const uint8_t> oldTexture,
                                 const TextureImportOptions &options)
{
    if (file.empty() || file.size() > INT32_MAX)
        return Import_Refuse("The file is empty or too large to be an image.");
    // The sides first, from the header alone: nothing is decoded for an image too large to take.
    ImageHeader header;
    std::string why;
    if (!Import_ReadImageHeader(file, header, why))
        return Import_Refuse("The file is not a PNG, TGA, JPEG or BMP image that can be read (" + why + ").");
    const uint32_t width = header.width, height = header.height;
    if (width == 0 || height == 0)
        return Import_Refuse("The image is " + Sides(width, height) + " pixels: it has none.");
    if (width > kImportMaxSide || height > kImportMaxSide)
        return Import_Refuse("The image is " + Sides(width, height) + " pixels; a texture's sides are at most " +
                             std::to_string(kImportMaxSide) + " pixels.");
    if (static_cast<uint64_t>(width) * height > options.maxPixels)
        return Import_Refuse("The image is " + Sides(width, height) + " pixels, more than this import takes.");

    Image image;
    if (!Import_DecodeImage(file, header, image, why))
        return Import_Refuse("The image could not be decoded (" + why + ").");
    bool opaque = true, translucent = false;
    const uint8_t *pixels = image.rgba.get();
    for (size_t i = 3; i < image.Bytes(); i += 4) {
        opaque &= pixels[i] == 255;
        translucent |= pixels[i] != 255 && pixels[i] != 0;
    }

    uint32_t format = 0;
    const bool replacing = Import_OldFormat(oldTexture, format);
    switch (options.format) {
    case TextureChoice::Keep:
        if (!replacing)
            format = opaque ? 1 : 5;
        break;
    case TextureChoice::Dxt1: format = 1; break;
    case TextureChoice::Dxt3: format = 3; break;
    case TextureChoice::Dxt5: format = 5; break;
    }

    std::vector<Image> levels;
    levels.push_back(std::move(image));
    while (levels.back().width > 1 || levels.back().height > 1) {
        levels.push_back(Halve(levels.back(), options.threads));
        if (!levels.back().rgba)
            return Import_Refuse("There is not enough memory for the image's mip levels.");
    }

    // Every row of blocks of every level is one task, at its own offset.
    struct Row {
        uint32_t level, by;
        size_t offset;
    };
    const uint32_t blockSize = Texture_BlockSize(format);
    std::vector<Row> rows;
    size_t dataBytes = 0;
    for (uint32_t l = 0; l < levels.size(); ++l) {
        const uint32_t blocksX = (levels[l].width + 3) / 4, blocksY = (levels[l].height + 3) / 4;
        for (uint32_t by = 0; by < blocksY; ++by, dataBytes += size_t(blocksX) * blockSize)
            rows.push_back({l, by, dataBytes});
    }
    ImportResult result;
    result.bytes = Import_TextureShell(oldTexture, width, height, static_cast<uint32_t>(levels.size()), format,
                                       dataBytes);
    const Encoding encoding = EncodingOf(format);
    uint8_t *blocks = result.bytes.data() + kTextureHeaderSize;
    Import_ParallelFor(rows.size(), options.threads, [&](size_t i) {
        EncodeBlockRow(levels[rows[i].level], rows[i].by, encoding, options.clusterFit, blocks + rows[i].offset,
                       blockSize);
    });
    result.ok = true;
    if (format == 1 && translucent)
        result.message = "The texture is DXT1, which keeps no partial transparency: pixels of alpha below 128 "
                         "became transparent, the others opaque.";
    return result;
}
