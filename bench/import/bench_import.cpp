// The importers timed and measured, for bench_import.sh:
//   bench_import images DIR COUNT SIDE   writes COUNT varied PNGs (0.png ...) of SIDE x SIDE
//   bench_import texture THREADS FILE... imports each as DXT5 with mips; prints seconds and PSNR
//   bench_import psnr DIR                PSNR of DIR/N.dds (any DXT .dds) against DIR/N.png
//   bench_import wav FILE SECONDS        writes a stereo 44100 Hz 16-bit WAV of tones and noise
//   bench_import sound QUALITY FILE      imports a WAV; prints seconds
// PSNR is over all four channels of the largest level, decoded as the PNG export decodes it.
#include "import_fixtures.h"
#include "base/memory.h"
#include "import/import.h"
#include "texture/texture_decode.h"

#include <stb/stb_image.h>

#include <chrono>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>

namespace {

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Processor time of the whole process (every thread), user and system.
double CpuSeconds()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Squared error sum and sample count of a texture's level 0 against a PNG's pixels.
bool AddError(const Bytes &png, const Bytes &texture, double &error, double &samples)
{
    int w, h, c;
    stbi_uc *source = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &w, &h, &c, 4);
    TextureImage image;
    const bool ok = source && Texture_DecodeLevel(texture, 0, image, nullptr) && image.width == uint32_t(w) &&
                    image.height == uint32_t(h);
    for (size_t i = 0; ok && i < image.rgba.size(); ++i) {
        const double d = double(image.rgba[i]) - source[i];
        error += d * d;
    }
    samples += ok ? image.rgba.size() : 0;
    stbi_image_free(source);
    return ok;
}

// The file in one read into a buffer of its size, in huge pages where the
// system gives them, as entries are loaded: a WAV of minutes grown a piece at
// a time in small pages cost more than a tenth of its encoding.
Bytes ReadWhole(const std::string &path)
{
    Bytes out;
    Base_ReserveLarge(out, std::filesystem::file_size(path));
    out.resize(std::filesystem::file_size(path));
    FILE *f = fopen(path.c_str(), "rb");
    const bool ok = f && fread(out.data(), 1, out.size(), f) == out.size();
    if (f)
        fclose(f);
    return ok ? out : Bytes{};
}

double Psnr(double error, double samples)
{
    return 10 * std::log10(255.0 * 255.0 / (error / samples));
}

// Pictures like painted textures: gradients, noise of several strengths,
// hard-edged patches, and alpha in every other one.
TextureImage Picture(uint32_t side, int index)
{
    TextureImage image = Fixture_SmoothImage(side, side, index % 2 == 1);
    std::mt19937 random(index);
    const int amount = (index * 7) % 36;
    std::uniform_int_distribution<int> noise(-amount, amount), colour(0, 255), at(0, int(side) - 1);
    for (int patch = 0; patch < 12; ++patch) {
        const int x0 = at(random), y0 = at(random), size = at(random) / 4;
        const uint8_t rgb[3] = {uint8_t(colour(random)), uint8_t(colour(random)), uint8_t(colour(random))};
        for (int y = y0; y < std::min<int>(side, y0 + size); ++y)
            for (int x = x0; x < std::min<int>(side, x0 + size); ++x)
                memcpy(image.rgba.data() + (size_t(y) * side + x) * 4, rgb, 3);
    }
    for (size_t i = 0; i < image.rgba.size(); ++i)
        if (i % 4 != 3 && amount > 0)
            image.rgba[i] = uint8_t(std::clamp(image.rgba[i] + noise(random), 0, 255));
    return image;
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "images" && argc == 5) {
        std::filesystem::create_directories(argv[2]);
        for (int i = 0; i < atoi(argv[3]); ++i)
            if (!Fixture_WriteFile(std::string(argv[2]) + "/" + std::to_string(i) + ".png",
                                   Fixture_Png(Picture(uint32_t(atoi(argv[4])), i))))
                return 1;
        return 0;
    }
    if (mode == "texture" && argc >= 4) {
        TextureImportOptions options;
        options.threads = atoi(argv[2]);
        options.format = TextureChoice::Dxt5;
        double seconds = 0, cpu = 0, error = 0, samples = 0;
        for (int i = 3; i < argc; ++i) {
            const Bytes png = ReadWhole(argv[i]);
            const auto start = std::chrono::steady_clock::now();
            const double cpuStart = CpuSeconds();
            const ImportResult result = Import_Texture(png, {}, options);
            seconds += Seconds(start);
            cpu += CpuSeconds() - cpuStart;
            if (!result.ok || !AddError(png, result.bytes, error, samples)) {
                fprintf(stderr, "%s: %s\n", argv[i], result.message.c_str());
                return 1;
            }
        }
        printf("%d images in %.3f s (%.2f images/s, %.3f s of processor time), PSNR %.2f dB\n", argc - 3, seconds,
               (argc - 3) / seconds, cpu, Psnr(error, samples));
        return 0;
    }
    if (mode == "psnr" && argc == 3) {
        double error = 0, samples = 0;
        int count = 0;
        for (; std::filesystem::exists(std::string(argv[2]) + "/" + std::to_string(count) + ".dds"); ++count) {
            const std::string base = std::string(argv[2]) + "/" + std::to_string(count);
            const ImportResult texture = Import_Texture(Fixture_ReadFile(base + ".dds"), {}, {});
            if (!texture.ok || !AddError(Fixture_ReadFile(base + ".png"), texture.bytes, error, samples)) {
                fprintf(stderr, "%s.dds: %s\n", base.c_str(), texture.message.c_str());
                return 1;
            }
        }
        printf("%d .dds files, PSNR %.2f dB\n", count, Psnr(error, samples));
        return 0;
    }
    if (mode == "wav" && argc == 4) {
        WavFixture wav;
        wav.channels = 2;
        wav.frames = uint32_t(atof(argv[3]) * wav.rate);
        Bytes bytes = Fixture_Wav(wav);
        std::mt19937 random(1);
        std::uniform_int_distribution<int> noise(-600, 600);
        for (size_t i = 44; i + 1 < bytes.size(); i += 2) {  // noise over the tones, so the encoder has work
            const int v = std::clamp(int16_t(bytes[i] | (bytes[i + 1] << 8)) + noise(random), -32768, 32767);
            bytes[i] = uint8_t(v);
            bytes[i + 1] = uint8_t(v >> 8);
        }
        return Fixture_WriteFile(argv[2], bytes) ? 0 : 1;
    }
    if (mode == "sound" && argc == 4) {
        SoundImportOptions options;
        options.quality = float(atof(argv[2]));
        const Bytes wav = ReadWhole(argv[3]);
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = CpuSeconds();
        const ImportResult result = Import_Sound(wav, options);
        const double cpu = CpuSeconds() - cpuStart;
        if (!result.ok) {
            fprintf(stderr, "%s\n", result.message.c_str());
            return 1;
        }
        printf("%.3f s (%.3f s of processor time), %zu bytes of Ogg Vorbis\n", Seconds(start), cpu,
               result.bytes.size());
        return 0;
    }
    fprintf(stderr, "usage: see the head of bench_import.cpp\n");
    return 2;
}
