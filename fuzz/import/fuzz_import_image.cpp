// Fuzz target: an untrusted file imported as a texture (an image decoded and
// encoded, or a .dds taken as it is). A texture that comes out must decode at
// its largest and its smallest level, and replacing an old texture keeps its
// header bytes but the four fields.
#include "import/import.h"
#include "fuzz_util.h"
#include "resource/resource_kind.h"
#include "texture/texture.h"
#include "texture/texture_decode.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::vector<uint8_t> old = [] {
        std::vector<uint8_t> header(kTextureHeaderSize);
        for (size_t i = 0; i < header.size(); ++i)
            header[i] = static_cast<uint8_t>(i * 13 + 5);
        std::memcpy(header.data(), "SYT", 3);  // only an old texture's header is kept
        return header;
    }();
    FUZZ_CHECK(ClassifyResource(old) == KindTexture);
    TextureImportOptions options;
    options.threads = 1;
    options.maxPixels = 1 << 16;  // the encoder's cost grows with the sides; the readers are what is fuzzed
    const ImportResult result = Import_Texture({data, size}, old, options);
    if (!result.ok) {
        FUZZ_CHECK(!result.message.empty() && result.bytes.empty());
        return 0;
    }
    TextureHeader header;
    FUZZ_CHECK(Texture_ReadHeader(result.bytes, header));
    FUZZ_CHECK(header.width >= 1 && header.width <= kImportMaxSide && header.height >= 1 &&
               header.height <= kImportMaxSide);
    for (size_t i = 0; i < kTextureHeaderSize; ++i)
        FUZZ_CHECK(result.bytes[i] == old[i] || (i >= 28 && i < 36) || (i >= 40 && i < 44) || (i >= 48 && i < 52));
    TextureImage image;
    std::string error;
    FUZZ_CHECK(Texture_DecodeLevel(result.bytes, 0, image, &error));
    FUZZ_CHECK(Texture_DecodeLevel(result.bytes, std::max<uint32_t>(header.mipCount, 1) - 1, image, &error));
    return 0;
}
