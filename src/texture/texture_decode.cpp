// DXT blocks to RGBA. The 565 expansion (bit replication) and the palette
// interpolation divide with truncation, as the usual .dds readers do, so that
// a PNG made here and the .dds export of the same texture show the same pixels.
#include "texture/texture_decode.h"
#include "texture/texture.h"

#include <algorithm>
#include <cstring>

namespace {

bool Fail(std::string *error, std::string message)
{
    if (error)
        *error = std::move(message);
    return false;
}

uint16_t U16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t U32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void Expand565(uint16_t c, uint8_t rgb[3])
{
    const unsigned r = c >> 11, g = (c >> 5) & 63, b = c & 31;
    rgb[0] = static_cast<uint8_t>((r << 3) | (r >> 2));
    rgb[1] = static_cast<uint8_t>((g << 2) | (g >> 4));
    rgb[2] = static_cast<uint8_t>((b << 3) | (b >> 2));
}

// The 16 texels of a colour block, row by row. DXT1 blocks whose first
// endpoint is not above the second have three colours and a transparent
// black; the colour blocks of the other formats always have four.
void DecodeColour(const uint8_t *block, bool dxt1, uint8_t texels[16][4])
{
    const uint16_t c0 = U16(block), c1 = U16(block + 2);
    uint8_t palette[4][4];
    Expand565(c0, palette[0]);
    Expand565(c1, palette[1]);
    palette[0][3] = palette[1][3] = palette[2][3] = palette[3][3] = 255;
    for (int k = 0; k < 3; ++k) {
        const unsigned a = palette[0][k], b = palette[1][k];
        if (!dxt1 || c0 > c1) {
            palette[2][k] = static_cast<uint8_t>((2 * a + b) / 3);
            palette[3][k] = static_cast<uint8_t>((a + 2 * b) / 3);
        } else {
            palette[2][k] = static_cast<uint8_t>((a + b) / 2);
            palette[3][k] = 0;
        }
    }
    if (dxt1 && c0 <= c1)
        palette[3][3] = 0;
    const uint32_t indices = U32(block + 4);
    for (int t = 0; t < 16; ++t)
        memcpy(texels[t], palette[(indices >> (2 * t)) & 3], 4);
}

// Four bits per texel, widened by repeating them.
void DecodeExplicitAlpha(const uint8_t *block, uint8_t texels[16][4])
{
    for (int t = 0; t < 16; ++t) {
        const unsigned a = (block[t / 2] >> (4 * (t & 1))) & 15;
        texels[t][3] = static_cast<uint8_t>(a * 17);
    }
}

// Two endpoints and three bits per texel. With the first endpoint above the
// second, eight steps between them; otherwise six, plus 0 and 255.
void DecodeInterpolatedAlpha(const uint8_t *block, uint8_t texels[16][4])
{
    const unsigned a0 = block[0], a1 = block[1];
    uint8_t table[8] = {static_cast<uint8_t>(a0), static_cast<uint8_t>(a1)};
    if (a0 > a1) {
        for (unsigned c = 2; c < 8; ++c)
            table[c] = static_cast<uint8_t>(((8 - c) * a0 + (c - 1) * a1) / 7);
    } else {
        for (unsigned c = 2; c < 6; ++c)
            table[c] = static_cast<uint8_t>(((6 - c) * a0 + (c - 1) * a1) / 5);
        table[6] = 0;
        table[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i)
        bits |= static_cast<uint64_t>(block[2 + i]) << (8 * i);
    for (int t = 0; t < 16; ++t)
        texels[t][3] = table[(bits >> (3 * t)) & 7];
}

// DXT2 and DXT4 hold colour already multiplied by alpha: divide it out,
// rounding, clamped where a block holds more colour than its alpha allows.
// Nothing is left of the colour of a fully transparent texel.
void Unpremultiply(uint8_t texels[16][4])
{
    for (int t = 0; t < 16; ++t) {
        const unsigned a = texels[t][3];
        for (int k = 0; k < 3; ++k)
            texels[t][k] = a == 0 ? 0 : static_cast<uint8_t>(std::min(255u, (texels[t][k] * 510u + a) / (2 * a)));
    }
}

}  // namespace

bool Texture_DecodeLevel(std::span<const uint8_t> resource, uint32_t level, TextureImage &out, std::string *error)
{
    out = TextureImage{};
    TextureHeader header;
    if (!Texture_ReadHeader(resource, header))
        return Fail(error, "The texture is shorter than its 128-byte header.");
    if (header.width == 0 || header.height == 0)
        return Fail(error, "The texture's header gives it no pixels (" + std::to_string(header.width) + " x " +
                               std::to_string(header.height) + ").");
    const uint32_t levels = std::max<uint32_t>(header.mipCount, 1);
    if (level >= levels)
        return Fail(error, "The texture has " + std::to_string(levels) + " mip level(s); level " +
                               std::to_string(level) + " does not exist.");

    // Walk to the level, in blocks, never past the resource's end: a forged
    // mip count costs at most one step per block the resource holds, and no
    // product of forged sides can wrap.
    const uint32_t blockSize = Texture_BlockSize(header.format);
    uint64_t blocksLeft = (resource.size() - kTextureHeaderSize) / blockSize;
    uint64_t offset = kTextureHeaderSize;
    uint32_t w = header.width, h = header.height;
    for (uint32_t l = 0;; ++l) {
        const uint64_t blocks = (static_cast<uint64_t>(w) + 3) / 4 * ((static_cast<uint64_t>(h) + 3) / 4);
        if (blocks > blocksLeft)
            return Fail(error, "Mip level " + std::to_string(l) + " (" + std::to_string(w) + " x " +
                                   std::to_string(h) + ") needs " + std::to_string(blocks) + " blocks of " +
                                   std::to_string(blockSize) + " bytes at offset " + std::to_string(offset) +
                                   "; the texture is " + std::to_string(resource.size()) + " bytes long.");
        if (l == level)
            break;
        blocksLeft -= blocks;
        offset += blocks * blockSize;
        w = std::max<uint32_t>(w / 2, 1);
        h = std::max<uint32_t>(h / 2, 1);
    }

    // The blocks are present, so the pixels number at most 16 per 8 bytes of resource.
    out.width = w;
    out.height = h;
    out.rgba.resize(static_cast<size_t>(w) * h * 4);
    const uint32_t format = header.format;
    const bool dxt1 = format == 1, explicitAlpha = format == 2 || format == 3, premultiplied = format == 2 || format == 4;
    const uint8_t *block = resource.data() + offset;
    const size_t stride = static_cast<size_t>(w) * 4;
    const uint64_t blocksX = (static_cast<uint64_t>(w) + 3) / 4, blocksY = (static_cast<uint64_t>(h) + 3) / 4;
    for (uint64_t by = 0; by < blocksY; ++by) {
        for (uint64_t bx = 0; bx < blocksX; ++bx, block += blockSize) {
            uint8_t texels[16][4];
            DecodeColour(block + blockSize - 8, dxt1, texels);
            if (explicitAlpha)
                DecodeExplicitAlpha(block, texels);
            else if (!dxt1)
                DecodeInterpolatedAlpha(block, texels);
            if (premultiplied)
                Unpremultiply(texels);
            // Blocks on the right and bottom edges of a side that is not a
            // multiple of 4 are cut.
            const size_t cols = std::min<uint64_t>(4, w - 4 * bx), rows = std::min<uint64_t>(4, h - 4 * by);
            uint8_t *dst = out.rgba.data() + 4 * by * stride + 16 * bx;
            for (size_t y = 0; y < rows; ++y, dst += stride)
                memcpy(dst, texels[4 * y], cols * 4);
        }
    }
    return true;
}
