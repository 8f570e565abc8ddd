// .dds files of DXT1 to DXT5 blocks to texture resources, their blocks and
// mip levels taken as they are.
#include "import/import_local.h"
#include "base/bytes.h"
#include "texture/texture.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kDdsHeaderSize = 128;  // "DDS " and the 124-byte header
constexpr uint32_t kFlagMipCount = 0x20000, kFlagDepth = 0x800000;
constexpr uint32_t kPixelFourCC = 0x4, kPixelRgb = 0x40, kPixelLuminance = 0x20000, kPixelAlphaOnly = 0x2;
constexpr uint32_t kCaps2CubeMap = 0x200, kCaps2Volume = 0x200000;

// What a pixel format that is not DXT1 to DXT5 is, for the refusal.
std::string FormName(const uint8_t *dds)
{
    const uint32_t pixelFlags = Bytes_ReadU32LE(dds + 80), bits = Bytes_ReadU32LE(dds + 88);
    if (pixelFlags & kPixelFourCC) {
        std::string code(reinterpret_cast<const char *>(dds + 84), 4);
        for (char &c : code)
            if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126)
                c = '?';
        if (code == "DX10")
            return "DX10 (a format of the extended header)";
        return "FourCC " + code;
    }
    if (pixelFlags & kPixelRgb)
        return "uncompressed " + std::to_string(bits) + "-bit RGB" + ((pixelFlags & 1) ? "A" : "");
    if (pixelFlags & kPixelLuminance)
        return "uncompressed " + std::to_string(bits) + "-bit luminance";
    if (pixelFlags & kPixelAlphaOnly)
        return "uncompressed " + std::to_string(bits) + "-bit alpha";
    return "pixel format flags " + std::to_string(pixelFlags);
}

}  // namespace

ImportResult Import_DdsTexture(std::span<const uint8_t> file, std::span<const uint8_t> oldTexture)
{
    if (file.size() < kDdsHeaderSize)
        return Import_Refuse("The .dds file is shorter than its 128-byte header.");
    const uint8_t *dds = file.data();
    const uint32_t flags = Bytes_ReadU32LE(dds + 8), height = Bytes_ReadU32LE(dds + 12),
                   width = Bytes_ReadU32LE(dds + 16), depth = Bytes_ReadU32LE(dds + 24),
                   caps2 = Bytes_ReadU32LE(dds + 112);
    uint32_t format = 0;
    if (Bytes_ReadU32LE(dds + 80) & kPixelFourCC) {
        for (uint32_t code = 1; code <= 5; ++code)
            if (memcmp(dds + 84, Texture_FourCC(code), 4) == 0)
                format = code;
    }
    if (format == 0)
        return Import_Refuse("The .dds file holds " + FormName(dds) +
                             "; only DXT1 to DXT5 blocks are taken into a texture.");
    if (caps2 & kCaps2CubeMap)
        return Import_Refuse("The .dds file is a cube map; a texture holds one image.");
    if ((caps2 & kCaps2Volume) || ((flags & kFlagDepth) && depth > 1))
        return Import_Refuse("The .dds file is a volume texture; a texture holds one image.");
    if (width == 0 || height == 0 || width > kImportMaxSide || height > kImportMaxSide)
        return Import_Refuse("The .dds file is " + std::to_string(width) + " x " + std::to_string(height) +
                             " pixels; a texture's sides are 1 to " + std::to_string(kImportMaxSide) + " pixels.");

    // Files that name no mip count hold one level.
    const uint32_t stated = (flags & kFlagMipCount) ? Bytes_ReadU32LE(dds + 28) : 1;
    const uint32_t mipCount = std::max<uint32_t>(stated, 1);
    uint32_t levels = 1;
    for (uint32_t side = std::max(width, height); side > 1; side /= 2)
        ++levels;
    if (mipCount > levels)
        return Import_Refuse("The .dds file names " + std::to_string(mipCount) + " mip levels; a " +
                             std::to_string(width) + " x " + std::to_string(height) + " image has " +
                             std::to_string(levels) + ".");
    uint64_t needed = 0;
    uint32_t w = width, h = height;
    for (uint32_t l = 0; l < mipCount; ++l) {
        needed += Texture_LevelSize(w, h, format);
        w = std::max<uint32_t>(w / 2, 1);
        h = std::max<uint32_t>(h / 2, 1);
    }
    const size_t present = file.size() - kDdsHeaderSize;
    if (needed > present)
        return Import_Refuse("The .dds file is truncated: its " + std::to_string(mipCount) + " mip level(s) need " +
                             std::to_string(needed) + " bytes of blocks and it holds " + std::to_string(present) +
                             ".");

    // A replaced texture of the same block format keeps its own code (0 and 5 are both DXT5).
    uint32_t oldFormat = 0;
    if (Import_OldFormat(oldTexture, oldFormat) && strcmp(Texture_FourCC(oldFormat), Texture_FourCC(format)) == 0)
        format = oldFormat;
    ImportResult result;
    // Everything behind the header goes in, so a .dds exported from a texture comes back as it was.
    result.bytes = Import_TextureShell(oldTexture, width, height, stated, format, present);
    memcpy(result.bytes.data() + kTextureHeaderSize, dds + kDdsHeaderSize, present);
    result.ok = true;
    return result;
}
