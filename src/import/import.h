// Importers: files a modder makes (images, .dds, WAV, Ogg, and OBJ or glTF
// models) turned into the resources the game reads (texture resources, Ogg
// Vorbis sounds, a model with new vertex data). Bytes in, bytes out: the
// archive writer, quillon-cli and the window call these and store the result.
// Formats layer: stb_image, stb_dxt, libsquish, libvorbisenc, tinygltf.
#pragma once

#include "resource/resource_kind.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What a file becomes in an archive. Model: the geometry of the model it replaces.
enum class ImportAs { Raw, Texture, Sound, Model };

// The default by the file name's extension, case-insensitive: .png .tga .jpg
// .jpeg .bmp .dds a texture, .wav .ogg a sound, .obj .gltf .glb the geometry
// of the model it replaces when `replacing` is KindModel, anything else its bytes.
ImportAs Import_Choose(std::string_view fileName, ResourceKind replacing = KindUnknown);

// Whether the file name has a model file's extension (.obj .gltf .glb,
// case-insensitive). Such a file only gives a model entry new vertex data:
// anywhere else the window and quillon-cli refuse it alike (their container
// holds fields whose meaning nobody knows), unless asked to store its bytes.
bool Import_IsModelFile(std::string_view fileName);

// The name of the entry a file becomes when it is imported as `as` (where no
// name is given for it): an image or .dds made a texture loses its extension,
// as textures are named without one (materials name them so); a WAV made a
// sound takes .ogg in place of .wav; any other keeps its name. The reverse of
// the names the PNG, .dds and WAV exports give entries.
std::string Import_EntryName(std::string_view fileName, ImportAs as);

// "raw", "texture", "sound", "model" (for --as); false for any other word.
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
// float; mono or stereo; rates up to the encoder's 200 kHz) or an Ogg Vorbis
// file, which is taken as it is.
ImportResult Import_Sound(std::span<const uint8_t> file, const SoundImportOptions &options);

// The memory, in bytes, that converting `file` as `as` holds at its peak
// beyond the file itself, from its header alone: an image's decoded pixels,
// its mip levels and its blocks; 0 for what is refused or taken as it is.
uint64_t Import_PeakBytes(ImportAs as, std::span<const uint8_t> file);

// Bounds the memory of imports that run at once (one per thread of a pack):
// an import waits until its peak fits beside those running within the
// budget; one alone always runs, whatever its size.
class ImportMemoryGate {
public:
    explicit ImportMemoryGate(uint64_t budget) : budget_(budget) {}
    void Enter(uint64_t bytes);
    void Leave(uint64_t bytes);

private:
    std::mutex mutex_;
    std::condition_variable freed_;
    uint64_t budget_, held_ = 0;
    int running_ = 0;
};

struct ModelImportOptions {
    // The folder of a .gltf file, where the buffers it names are read (only
    // files in it or below). Empty: a .gltf that names files is refused.
    std::string folder;
};

// The options for the model file at `path`: its folder ("." for a bare name).
ModelImportOptions Import_ModelOptions(const std::string &path);

// A model entry's resource with new vertex data from an OBJ, glTF or GLB file
// (told apart by their bytes) whose triangles are those of `oldModel`, as the
// OBJ and glTF exports write them. The file's surfaces are matched to the
// model's by the group names of the OBJ export (dkobjNN), else by material
// names, else in order; within a surface by triangle order and corner: corner
// k of triangle t gives the position, normal and texture coordinates of the
// model vertex that corner uses. The new values go in the model's own number
// formats at the places the parse read them from; every other byte stays as
// it was, and so does a value the file gives as the export wrote it. Refused,
// saying what differs, when the surfaces or their triangle counts differ,
// corners of one vertex disagree, a value does not fit, or the model is none
// the parse understands.
ImportResult Import_Model(std::span<const uint8_t> file, std::span<const uint8_t> oldModel,
                          const ModelImportOptions &options);

// The resource `as` makes of a file: Raw is its bytes unchanged. `old` is the
// resource it replaces (empty for a new entry): a texture keeps its header, a
// model all but its vertex data.
ImportResult Import_Convert(ImportAs as, std::span<const uint8_t> file, std::span<const uint8_t> old,
                            const TextureImportOptions &textureOptions, const SoundImportOptions &soundOptions,
                            const ModelImportOptions &modelOptions = {});
