// Writes the seed corpus of the sound fuzz target: Ogg Vorbis streams made by
// libvorbisenc in several shapes, a few real files from the system's sound
// theme when present, and their truncated and bit-flipped forms.
// Usage: quillon_sound_fuzz_seeds OUTDIR
#include "ogg_fixtures.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir);
    int failures = 0;
    auto seed = [&](const std::string &name, const Bytes &bytes) {
        if (!Fixture_WriteFile(dir + "/" + name, bytes)) {
            fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name.c_str());
            ++failures;
        }
    };

    std::vector<std::pair<std::string, Bytes>> valid;
    struct Shape {
        int channels;
        long rate;
        double seconds;
    };
    for (const Shape &s : {Shape{1, 44100, 0.3}, Shape{2, 22050, 0.4}, Shape{3, 8000, 0.5}, Shape{2, 48000, 0.2}}) {
        OggFixtureSound sound;
        sound.channels = s.channels;
        sound.rate = s.rate;
        sound.seconds = s.seconds;
        sound.noise = 0.1f;
        sound.quality = 0.0f;
        valid.emplace_back("made-" + std::to_string(s.channels) + "ch-" + std::to_string(s.rate), Fixture_OggVorbis(sound));
    }
    OggFixtureSound loud;
    loud.square = true;
    loud.amplitude = 1.0f;
    loud.seconds = 0.2;
    valid.emplace_back("made-clipping", Fixture_OggVorbis(loud));
    for (const char *name : {"phone-outgoing-calling.oga", "suspend-error.oga"}) {
        Bytes bytes = Fixture_ReadFile(std::string("/usr/share/sounds/freedesktop/stereo/") + name);
        if (!bytes.empty())
            valid.emplace_back(std::string("theme-") + name, bytes);
    }
    valid.emplace_back("headers-on-own-pages", Fixture_Concat(Fixture_OggPages(Fixture_VorbisHeaders(2, 44100))));

    uint32_t random = 0x9E3779B9u;
    for (const auto &[name, bytes] : valid) {
        seed(name, bytes);
        for (int part : {3, 2, 1}) {
            const size_t keep = bytes.size() * static_cast<size_t>(part) / 4;
            seed(name + "-cut" + std::to_string(part), Bytes(bytes.begin(), bytes.begin() + static_cast<long>(keep)));
        }
        for (int variant = 0; variant < 3; ++variant) {
            Bytes flipped = bytes;
            for (int flip = 0; flip < 4 << variant; ++flip) {
                random = random * 1664525u + 1013904223u;
                flipped[(random >> 8) % flipped.size()] ^= static_cast<uint8_t>(1u << (random & 7));
            }
            seed(name + "-flip" + std::to_string(variant), flipped);
        }
    }
    return failures ? 1 : 0;
}
