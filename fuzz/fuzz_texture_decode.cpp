// The texture decoder and the PNG encoder behind it. The input is a texture
// resource: every level that decodes has the sides the header gives it, no
// more pixels than its blocks hold, and comes back unchanged through libpng's
// own reader; the first level that does not decode says why.
#include "export/png_writer.h"
#include "fuzz_util.h"
#include "texture/texture.h"
#include "texture/texture_decode.h"

#include <algorithm>
#include <png.h>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::span<const uint8_t> resource(data, size);
    TextureHeader header;
    const bool hasHeader = Texture_ReadHeader(resource, header);
    uint32_t w = header.width, h = header.height;
    for (uint32_t level = 0; level < 40; ++level) {
        TextureImage image;
        std::string error;
        if (!Texture_DecodeLevel(resource, level, image, &error)) {
            FUZZ_CHECK(!error.empty() && image.rgba.empty() && image.width == 0);
            break;
        }
        FUZZ_CHECK(hasHeader && level < std::max<uint32_t>(header.mipCount, 1));
        FUZZ_CHECK(image.width == w && image.height == h);
        FUZZ_CHECK(image.rgba.size() == static_cast<uint64_t>(w) * h * 4);
        FUZZ_CHECK(static_cast<uint64_t>(w) * h <= (size - kTextureHeaderSize) * 2);  // 16 pixels per 8-byte block
        w = std::max<uint32_t>(w / 2, 1);
        h = std::max<uint32_t>(h / 2, 1);

        std::vector<uint8_t> png;
        FUZZ_CHECK(Png_Encode(image, png));
        if (image.width > 1000000 || image.height > 1000000)
            continue;  // past the sides libpng's reader takes by default
        png_image read{};
        read.version = PNG_IMAGE_VERSION;
        FUZZ_CHECK(png_image_begin_read_from_memory(&read, png.data(), png.size()));
        read.format = PNG_FORMAT_RGBA;
        std::vector<uint8_t> back(PNG_IMAGE_SIZE(read));
        FUZZ_CHECK(png_image_finish_read(&read, nullptr, back.data(), 0, nullptr));
        FUZZ_CHECK(back == image.rgba);
    }
    return 0;
}
