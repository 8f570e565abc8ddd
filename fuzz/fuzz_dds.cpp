// The .dds writer and the texture header it is made from. The input is a
// texture resource: the file written must be exactly as long as the resource,
// with its 128-byte header replaced and every byte after it unchanged.
#include "export/export.h"
#include "fuzz_util.h"
#include "texture/texture.h"

#include <string>

namespace {

uint32_t ReadU32LE(const char *p)
{
    const auto *b = reinterpret_cast<const uint8_t *>(p);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

std::string Capture(ExportResult &result, const std::function<ExportResult(FILE *)> &write)
{
    char *text = nullptr;
    size_t textSize = 0;
    FILE *file = open_memstream(&text, &textSize);
    FUZZ_CHECK(file != nullptr);
    result = write(file);
    FUZZ_CHECK(fclose(file) == 0);
    std::string out(text, textSize);
    free(text);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::span<const uint8_t> resource(data, size);
    TextureHeader header;
    const bool hasHeader = Texture_ReadHeader(resource, header);
    FUZZ_CHECK(hasHeader == (size >= kTextureHeaderSize));
    (void)Texture_LevelSize(header.width, header.height, header.format);

    ExportResult result;
    const std::string dds = Capture(result, [&](FILE *f) { return Export_WriteDds(f, resource); });
    if (!hasHeader) {
        FUZZ_CHECK(result == ExportResult::TooShort && dds.empty());
    } else {
        FUZZ_CHECK(result == ExportResult::Ok);
        FUZZ_CHECK(dds.size() == size);
        FUZZ_CHECK(dds.compare(0, 4, "DDS ") == 0);
        FUZZ_CHECK(ReadU32LE(dds.data() + 12) == header.height && ReadU32LE(dds.data() + 16) == header.width);
        FUZZ_CHECK(ReadU32LE(dds.data() + 28) == header.mipCount);
        FUZZ_CHECK(dds.compare(84, 4, Texture_FourCC(header.format)) == 0);
        FUZZ_CHECK(ReadU32LE(dds.data() + 108) == (header.mipCount > 1 ? 0x401008u : 0x1000u));
        FUZZ_CHECK(memcmp(dds.data() + kTextureHeaderSize, data + kTextureHeaderSize,
                          size - kTextureHeaderSize) == 0);
    }

    // The interpreted export of whatever kind the bytes are.
    const ResourceKind kind = ClassifyResource(resource);
    const std::string interpreted = Capture(result, [&](FILE *f) { return Export_WriteInterpreted(f, kind, resource); });
    if (kind == KindTexture)
        FUZZ_CHECK(interpreted == dds);
    else if (result == ExportResult::Ok)
        FUZZ_CHECK(interpreted.size() == size);
    else
        FUZZ_CHECK(interpreted.empty());
    return 0;
}
