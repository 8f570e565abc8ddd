// Sounds as .wav files: the whole Ogg Vorbis stream decoded by the sound
// module's decoder, at its own rate and channel count, behind a WAV header.
#include "cli.h"

#include "sound/sound.h"

bool Cli_DecodeSound(std::span<const uint8_t> resource, CliSound &sound, std::string &message)
{
    if (ClassifyResource(resource.data(), resource.size()) != KindOggVorbis) {
        message = "This resource is not an Ogg Vorbis sound, so it has no .wav form.";
        return false;
    }
    if (S_DecodeAll(resource, sound.pcm, sound.rate, sound.channels))
        return true;
    // A stream that opened has its rate and channels: only its length was refused.
    if (sound.rate > 0 && sound.channels > 0)
        message = "This sound decodes to more than 1 GiB of samples, too much for a .wav file.";
    else
        message = "This sound could not be decoded, so it has no .wav form.";
    return false;
}

bool Cli_WriteWav(FILE *file, const CliSound &sound)
{
    return S_WriteWav(file, sound.pcm, sound.rate, sound.channels);
}
