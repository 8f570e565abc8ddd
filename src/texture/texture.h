// Texture resources: the 128-byte "SYT" header in front of DXT block data.
#pragma once

#include <cstdint>
#include <span>

constexpr size_t kTextureHeaderSize = 128;

struct TextureHeader {
    uint32_t width;     // of the largest mip level, pixels
    uint32_t height;
    uint32_t mipCount;  // mip levels stored (read only by the .dds export)
    uint32_t format;    // 1 DXT1, 2 DXT2, 3 DXT3, 4 DXT4, anything else DXT5
};

// Reads the header fields; false (and a zeroed header) when the resource is
// shorter than the 128-byte header, so nothing past its end is ever read.
bool Texture_ReadHeader(std::span<const uint8_t> resource, TextureHeader &header);

// 8 for DXT1, 16 for every other format code.
uint32_t Texture_BlockSize(uint32_t format);

// Bytes of one w x h level: blocks across x blocks down x block size.
// UINT64_MAX when the true size does not fit (sides near 2^32 with 16-byte
// blocks), so that no size check can pass on a wrapped product.
uint64_t Texture_LevelSize(uint32_t width, uint32_t height, uint32_t format);

// Where one stored mip level lies: its sides (a side that halves to 0 counts
// as 1, as the upload counts it) and its blocks' place in the resource.
struct TextureLevel {
    uint32_t width = 0, height = 0;
    uint64_t offset = 0, size = 0;  // bytes from the resource's start
};

// Level `level` (0 the largest) of the levels the header names (at least one);
// false when the header is missing, the level is past that count, or its
// blocks (or those of a level before it) are not all inside the resource.
bool Texture_FindLevel(std::span<const uint8_t> resource, uint32_t level, TextureLevel &out);

// How many levels Texture_FindLevel finds: 0 for a resource whose largest
// level is not all there.
uint32_t Texture_StoredLevels(std::span<const uint8_t> resource);

// The four-character code a .dds file names the format with.
const char *Texture_FourCC(uint32_t format);
