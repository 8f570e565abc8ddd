// Importers: files a modder makes (images, .dds, WAV, Ogg) turned into the
// resources the game reads (texture resources and Ogg Vorbis sounds). Bytes in,
// bytes out: the archive writer, quillon-cli and the window call these and
// store the result. Formats layer: stb_image, stb_dxt, libsquish, libvorbisenc.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What a file becomes in an archive.
enum class ImportAs { Raw, Texture, Sound };

// The default by the file name's extension, case-insensitive: .png .tga .jpg
// .jpeg .bmp .dds a texture, .wav .ogg a sound, anything else its bytes.
ImportAs Import_Choose(std::string_view fileName);

// Model files made elsewhere (.obj, .gltf, .glb) are never turned into the
// game's models, nor stored as bytes unless asked for by name: their container
// holds fields whose meaning nobody knows. The window and quillon-cli refuse
// them alike.
bool Import_IsModelFile(std::string_view fileName);

// The name of the entry a file becomes when it is imported as `as` (where no
// name is given for it): an image or .dds made a texture loses its extension,
// as textures are named without one (materials name them so); a WAV made a
// sound takes .ogg in place of .wav; any other keeps its name. The reverse of
// the names the PNG, .dds and WAV exports give entries.
std::string Import_EntryName(std::string_view fileName, ImportAs as);

// "raw", "texture", "sound" (for --as); false for any other word.
bool Import_ParseAs(std::string_view word, ImportAs &as);

// The outcome of one import: the resource's bytes, or why there are none.
struct ImportResult {
    bool ok = false;
    std::vector<uint8_t> bytes;  // the resource (empty when !ok)
    std::string message;         // why it was refused; on success a note or empty
};

// Block formats a new image can be encoded to. Keep: a replaced texture keeps
// its own format code, a new one is DXT1 when every pixel is opaque, else DXT5.
enum class TextureChoice { Keep, Dxt1, Dxt3, Dxt5 };

struct TextureImportOptions {
    TextureChoice format = TextureChoice::Keep;
    int threads = 0;  // encoder threads; 0: one per processor
    // libsquish's cluster fit on every block: a little closer on noisy images
    // (0.2 dB) at thirty to fifty times the time.
    bool clusterFit = false;
    // Images of more pixels are refused before they are decoded (memory).
    uint64_t maxPixels = uint64_t(16384) * 16384;
};

constexpr uint32_t kImportMaxSide = 16384;  // the largest texture side taken

// A texture resource from an image (PNG, TGA, JPEG, BMP: encoded, with a full
// mip chain down to 1 x 1) or a .dds of DXT1 to DXT5 blocks (taken as they
// are). `oldTexture`, when it is a texture resource, is the texture
// being replaced: its header bytes are kept but for width, height, mip count
// and (for a .dds of another format) the format. A new texture's header is
// "SYT", the four fields, and zeros.
ImportResult Import_Texture(std::span<const uint8_t> file, std::span<const uint8_t> oldTexture,
                            const TextureImportOptions &options);

struct SoundImportOptions {
    float quality = 0.5f;  // Vorbis VBR quality, -0.1 to 1.0
};

// An Ogg Vorbis sound from a WAV (PCM of 8, 16, 24 or 32 bits, or 32-bit
// float; mono or stereo; any rate) or an Ogg Vorbis file, which is taken as it is.
ImportResult Import_Sound(std::span<const uint8_t> file, const SoundImportOptions &options);

// The resource `as` makes of a file: Raw is its bytes unchanged.
ImportResult Import_Convert(ImportAs as, std::span<const uint8_t> file, std::span<const uint8_t> oldTexture,
                            const TextureImportOptions &textureOptions, const SoundImportOptions &soundOptions);
