// Files converted as they go into an archive: images and .dds files into
// textures, WAV files into sounds, OBJ and glTF files into a model's vertex
// data, the rest as their bytes.
#include "cli.h"

#include <cstring>

namespace {

// The most that imports running at once hold: the largest image a texture
// takes (16384 x 16384) needs about 1.8 GB alone.
constexpr uint64_t kCliImportMemory = 2ull << 30;

}  // namespace

bool Cli_ChooseImport(const CliArgs &args, const std::string &path, ImportAs &as, std::string &error,
                      ResourceKind replacing)
{
    if (args.hasAs) {
        as = args.as;
        return true;
    }
    if (Import_IsModelFile(path) && replacing != KindModel) {
        error = path + ": " + kCliModelsNotImported;
        return false;
    }
    as = Import_Choose(path, replacing);
    return true;
}

std::string Cli_ConversionName(ImportAs as, std::span<const uint8_t> file)
{
    auto starts = [&](const char *magic) { return file.size() >= 4 && memcmp(file.data(), magic, 4) == 0; };
    switch (as) {
    case ImportAs::Texture: return starts("DDS ") ? ".dds to texture" : "image to texture";
    case ImportAs::Sound: return starts("OggS") ? "Ogg Vorbis as it is" : "WAV to Ogg Vorbis";
    case ImportAs::Model: return "new model vertex data";
    case ImportAs::Raw: break;
    }
    return "";
}

bool Cli_Import(const CliArgs &args, ImportAs as, const std::string &path, std::vector<uint8_t> &file,
                std::span<const uint8_t> old, std::string &error)
{
    if (as == ImportAs::Raw)
        return true;
    SoundImportOptions sound;
    sound.quality = args.quality;
    // Several files converted at once (pack --jobs) hold their pictures at
    // once: their peaks together stay within what one largest image takes.
    static ImportMemoryGate gate(kCliImportMemory);
    const uint64_t peak = Import_PeakBytes(as, file);
    gate.Enter(peak);
    struct Leave {
        uint64_t peak;
        ~Leave() { gate.Leave(peak); }  // also when an allocation throws
    } leave{peak};
    TextureImportOptions texture;
    texture.format = args.textureFormat;
    texture.clusterFit = args.clusterFit;
    ImportResult result = Import_Convert(as, file, old, texture, sound, Import_ModelOptions(path));
    if (!result.ok) {
        error = path + ": " + result.message;
        return false;
    }
    if (!result.message.empty())
        Cli_Report(path + ": " + result.message);
    file.swap(result.bytes);
    return true;
}
