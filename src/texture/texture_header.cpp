// The texture header fields, shared by the upload and the .dds export.
#include "texture/texture.h"
#include "base/bytes.h"


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
