// The texture header fields, shared by the upload and the .dds export.
#include "texture/texture.h"
#include "base/bytes.h"

#include <algorithm>


bool Texture_ReadHeader(std::span<const uint8_t> resource, TextureHeader &header)
{
    header = TextureHeader{};
    if (resource.size() < kTextureHeaderSize)
        return false;
    header.width = Bytes_ReadU32LE(resource.data() + 28);
    header.height = Bytes_ReadU32LE(resource.data() + 32);
    header.mipCount = Bytes_ReadU32LE(resource.data() + 40);
    header.format = Bytes_ReadU32LE(resource.data() + 48);
    return true;
}

uint32_t Texture_BlockSize(uint32_t format)
{
    return format == 1 ? 8 : 16;
}

uint64_t Texture_LevelSize(uint32_t width, uint32_t height, uint32_t format)
{
    // Up to 2^30 blocks each way: their product fits, but 2^60 blocks of 16
    // bytes are 2^64, which would wrap to a level of 0 bytes.
    const uint64_t blocks = ((static_cast<uint64_t>(width) + 3) / 4) * ((static_cast<uint64_t>(height) + 3) / 4);
    const uint64_t blockSize = Texture_BlockSize(format);
    return blocks > UINT64_MAX / blockSize ? UINT64_MAX : blocks * blockSize;
}

namespace {

// Walks the stored levels up to level `last` (or the last one the header
// names); returns how many are all inside the resource and fills `found` with
// level `last` when it is. Level sizes are compared with what is left rather
// than added up, so a forged header can neither wrap the sum nor walk further
// than the resource has blocks.
uint32_t WalkLevels(std::span<const uint8_t> resource, uint32_t last, TextureLevel *found)
{
    TextureHeader header;
    if (!Texture_ReadHeader(resource, header))
        return 0;
    const uint32_t named = std::max<uint32_t>(header.mipCount, 1);
    uint64_t left = resource.size() - kTextureHeaderSize, offset = kTextureHeaderSize;
    uint32_t w = header.width, h = header.height;
    for (uint32_t l = 0; l < named; ++l) {
        w = std::max<uint32_t>(w, 1);
        h = std::max<uint32_t>(h, 1);
        const uint64_t size = Texture_LevelSize(w, h, header.format);
        if (size > left)
            return l;
        if (l == last) {
            if (found)
                *found = {w, h, offset, size};
            return l + 1;
        }
        left -= size;
        offset += size;
        w /= 2;
        h /= 2;
    }
    return named;
}

}  // namespace

bool Texture_FindLevel(std::span<const uint8_t> resource, uint32_t level, TextureLevel &out)
{
    out = TextureLevel{};
    return WalkLevels(resource, level, &out) > level;
}

uint32_t Texture_StoredLevels(std::span<const uint8_t> resource)
{
    return WalkLevels(resource, UINT32_MAX, nullptr);
}

const char *Texture_FourCC(uint32_t format)
{
    switch (format) {
    case 1: return "DXT1";
    case 2: return "DXT2";
    case 3: return "DXT3";
    case 4: return "DXT4";
    default: return "DXT5";
    }
}
