// Files converted as they go into an archive: images and .dds files into
// textures, WAV files into sounds, the rest as their bytes.
#include "cli.h"

#include <cstring>

bool Cli_ChooseImport(const CliArgs &args, const std::string &path, ImportAs &as, std::string &error)
{
    if (args.hasAs) {
        as = args.as;
        return true;
    }
    if (Import_IsModelFile(path)) {
        error = path + ": " + kCliModelsNotImported;
        return false;
    }
    as = Import_Choose(path);
    return true;
}

std::string Cli_ConversionName(ImportAs as, std::span<const uint8_t> file)
{
    auto starts = [&](const char *magic) { return file.size() >= 4 && memcmp(file.data(), magic, 4) == 0; };
    switch (as) {
    case ImportAs::Texture: return starts("DDS ") ? ".dds to texture" : "image to texture";
    case ImportAs::Sound: return starts("OggS") ? "Ogg Vorbis as it is" : "WAV to Ogg Vorbis";
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
    ImportResult result = Import_Convert(as, file, old, TextureImportOptions{}, sound);
    if (!result.ok) {
        error = path + ": " + result.message;
        return false;
    }
    if (!result.message.empty())
        Cli_Report(path + ": " + result.message);
    file.swap(result.bytes);
    return true;
}
