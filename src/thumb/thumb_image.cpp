// Thumbnails of textures and materials: the nearest mip level decoded and
// fitted into a square.
#include "thumb/thumb.h"

#include "material/material.h"
#include "texture/texture.h"

#include <algorithm>

uint32_t Thumb_ChooseLevel(std::span<const uint8_t> texture, uint32_t size)
{
    const uint32_t stored = Texture_StoredLevels(texture);
    if (stored == 0)
        return UINT32_MAX;
    uint32_t chosen = 0;
    TextureLevel level;
    for (uint32_t l = 1; l < stored && Texture_FindLevel(texture, l, level); ++l) {
        if (std::max(level.width, level.height) < size)
            break;
        chosen = l;
    }
    return chosen;
}

TextureImage Thumb_Fit(const TextureImage &image, uint32_t size)
{
    TextureImage out;
    if (image.width == 0 || image.height == 0 || size == 0 ||
        image.rgba.size() != static_cast<size_t>(image.width) * image.height * 4)
        return out;
    const uint64_t longer = std::max(image.width, image.height);
    out.width = static_cast<uint32_t>(std::max<uint64_t>(1, (uint64_t{image.width} * size + longer / 2) / longer));
    out.height = static_cast<uint32_t>(std::max<uint64_t>(1, (uint64_t{image.height} * size + longer / 2) / longer));
    out.rgba.resize(static_cast<size_t>(out.width) * out.height * 4);
    for (uint32_t y = 0; y < out.height; ++y) {
        // The source rows and columns this pixel covers: at least one.
        const uint32_t y0 = static_cast<uint32_t>(uint64_t{y} * image.height / out.height);
        const uint32_t y1 = std::max(y0 + 1, static_cast<uint32_t>(uint64_t{y + 1} * image.height / out.height));
        for (uint32_t x = 0; x < out.width; ++x) {
            const uint32_t x0 = static_cast<uint32_t>(uint64_t{x} * image.width / out.width);
            const uint32_t x1 = std::max(x0 + 1, static_cast<uint32_t>(uint64_t{x + 1} * image.width / out.width));
            uint64_t weighted[3] = {0, 0, 0}, plain[3] = {0, 0, 0}, alpha = 0;
            for (uint32_t sy = y0; sy < y1; ++sy) {
                const uint8_t *p = &image.rgba[(static_cast<size_t>(sy) * image.width + x0) * 4];
                for (uint32_t sx = x0; sx < x1; ++sx, p += 4) {
                    for (int c = 0; c < 3; ++c) {
                        weighted[c] += uint64_t{p[c]} * p[3];
                        plain[c] += p[c];
                    }
                    alpha += p[3];
                }
            }
            const uint64_t n = uint64_t{y1 - y0} * (x1 - x0);
            uint8_t *q = &out.rgba[(static_cast<size_t>(y) * out.width + x) * 4];
            for (int c = 0; c < 3; ++c)
                q[c] = static_cast<uint8_t>(alpha ? (weighted[c] + alpha / 2) / alpha : (plain[c] + n / 2) / n);
            q[3] = static_cast<uint8_t>((alpha + n / 2) / n);
        }
    }
    return out;
}

bool Thumb_FromTexture(std::span<const uint8_t> texture, uint32_t size, TextureImage &out, std::string *error)
{
    out = TextureImage{};
    if (size == 0 || size > kThumbMaxSize) {
        if (error)
            *error = "A thumbnail's side is from 1 to " + std::to_string(kThumbMaxSize) + " pixels.";
        return false;
    }
    const uint32_t level = Thumb_ChooseLevel(texture, size);
    TextureImage decoded;
    // A level the walk did not find is left to the decoder to refuse, with its words.
    if (!Texture_DecodeLevel(texture, level == UINT32_MAX ? 0 : level, decoded, error))
        return false;
    out = Thumb_Fit(decoded, size);
    return !out.rgba.empty();
}

bool Thumb_FromResource(const LookupArchives &archives, const std::string &name, ResourceKind kind,
                        std::span<const uint8_t> resource, uint32_t size, TextureImage &out, std::string *error)
{
    out = TextureImage{};
    if (kind == KindTexture)
        return Thumb_FromTexture(resource, size, out, error);
    if (kind != KindMaterial) {
        if (error)
            *error = "Only textures and materials have a thumbnail.";
        return false;
    }
    // The diffuse map as the view looks it up, its stand-in included.
    const MaterialText parsed =
        Mat_ParseText(reinterpret_cast<const char *>(resource.data()), resource.size(), name.c_str());
    const MaterialMapLookup diffuse = Mat_MapLookups(parsed)[0];
    std::vector<uint8_t> bytes;
    const bool found = (!diffuse.name.empty() && Lookup_Find(archives, diffuse.name, KindTexture, bytes)) ||
                       (diffuse.fallback && Lookup_Find(archives, diffuse.fallback, KindTexture, bytes));
    if (!found) {
        if (error)
            *error = "The material's diffuse texture '" + diffuse.name + "' was not found.";
        return false;
    }
    return Thumb_FromTexture(bytes, size, out, error);
}
