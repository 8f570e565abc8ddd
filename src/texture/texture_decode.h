// Decoding of texture resources (the "SYT" header and its DXT levels) into
// 8-bit RGBA pixels, for the export forms that need plain images (PNG, glTF).
// Plain C++, no GL.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct TextureImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgba;  // width x height pixels, R G B A, rows top-down as stored
};

// Decodes mip level `level` (0 the largest) of a texture resource. DXT2 and
// DXT4 are stored premultiplied and come out straight (un-premultiplied);
// DXT1's transparent entry gives (0, 0, 0, 0). False, with a message in
// `*error` (may be null), when the header is missing, a side is 0, the level
// is past the mip count the header gives, or its blocks are not all inside the
// resource: nothing is allocated before the blocks are known to be present.
bool Texture_DecodeLevel(std::span<const uint8_t> resource, uint32_t level, TextureImage &out,
                         std::string *error);
