// Every texture of an archive to a file in OUTDIR, named by its record
// number: decoded (largest level) and written as PNG, or with --dds the .dds
// export for other tools to convert. Prints the time of the loop.
// Usage: bench_png ARCHIVE OUTDIR [--dds]
#include "resource/resource_kind.h"
#include "export/export.h"
#include "export/png_writer.h"
#include "pak/pak.h"
#include "texture/texture_decode.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s ARCHIVE OUTDIR [--dds]\n", argv[0]);
        return 2;
    }
    const bool dds = argc > 3 && strcmp(argv[3], "--dds") == 0;
    const auto start = std::chrono::steady_clock::now();
    PakArchive archive;
    if (Pak_OpenArchive(argv[1], archive) != PakOpenResult::Ok) {
        fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    std::vector<uint8_t> bytes;
    TextureImage image;
    int written = 0;
    for (const PakEntry &entry : archive.entries) {
        if (entry.size == kPakSkippedSize || Pak_LoadEntry(archive, entry, bytes) != PakLoadResult::Ok ||
            ClassifyResource(bytes) != KindTexture)
            continue;
        const std::string path = std::string(argv[2]) + "/" + std::to_string(entry.index) + (dds ? ".dds" : ".png");
        ExportResult result;
        if (dds) {
            result = Export_ToPath(path, "wb", [&](FILE *f) { return Export_WriteDds(f, bytes); });
        } else {
            std::string error;
            if (!Texture_DecodeLevel(bytes, 0, image, &error)) {
                fprintf(stderr, "%s: %s\n", entry.name, error.c_str());
                return 1;
            }
            result = Export_ToPath(path, "wb", [&](FILE *f) {
                return Png_Write(f, image) ? ExportResult::Ok : ExportResult::WriteFailed;
            });
        }
        if (result != ExportResult::Ok) {
            fprintf(stderr, "%s: %s\n", path.c_str(), Export_Message(result).c_str());
            return 1;
        }
        ++written;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    printf("%d %s files in %.3f s\n", written, dds ? ".dds" : "PNG", seconds);
    return 0;
}
