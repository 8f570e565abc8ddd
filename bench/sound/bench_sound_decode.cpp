// Decoding throughput of S_StreamDecode on a 5-minute stereo 44100 Hz Ogg
// Vorbis file made by libvorbisenc, measured beside oggdec on the same file.
//
//   bench_sound_decode FILE            make FILE when missing, then compare (best of 5 each)
//   bench_sound_decode --decode FILE   decode FILE once as the player does (for hyperfine)
#include "ogg_fixtures.h"
#include "sound/sound.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// CPU seconds (user + system) of this process or of its finished children:
// on a shared machine they vary less than the wall clock.
double CpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The whole file through the player's asks (256 KiB, then 32 KiB top-ups) into
// the stream's 512 KiB staging buffer; the PCM bytes made.
int64_t DecodeAll(const Bytes &ogg)
{
    SoundRecord record{{'O', 'G', 'G', '!'}, const_cast<uint8_t *>(ogg.data()), static_cast<uint32_t>(ogg.size())};
    OggStream *s = S_StreamOpen(&record);
    if (!s)
        return -1;
    int64_t total = 0;
    for (int call = 0;; ++call) {
        const int32_t got = S_StreamDecode(s, s->pcm, call % 8 ? 32768 : 262144, kStreamPcmBytes);
        if (got <= 0)
            break;
        total += got;
    }
    S_StreamClose(s);
    return total;
}

bool Make(const std::string &path)
{
    OggFixtureSound sound;
    sound.channels = 2;
    sound.rate = 44100;
    sound.seconds = 300.0;
    sound.quality = 0.4f;
    sound.toneHz = 220.0;
    sound.channelStep = 0.26;
    sound.noise = 0.03f;
    const auto start = Clock::now();
    const Bytes ogg = Fixture_OggVorbis(sound);
    printf("made %s: %zu bytes (%.0f kbit/s) in %.1f s\n", path.c_str(), ogg.size(),
            ogg.size() * 8.0 / 300.0 / 1000.0, Seconds(start));
    return Fixture_WriteFile(path, ogg);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::string(argv[1]) == "--decode") {
        const Bytes ogg = Fixture_ReadFile(argv[2]);
        return DecodeAll(ogg) > 0 ? 0 : 1;
    }
    if (argc != 2) {
        fprintf(stderr, "usage: %s FILE | --decode FILE\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    if (!std::filesystem::exists(path) && !Make(path))
        return 1;
    const Bytes ogg = Fixture_ReadFile(path);

    constexpr int kRuns = 5;
    double ours = 1e9, theirs = 1e9, oursCpu = 1e9, theirsCpu = 1e9;
    int64_t bytes = 0;
    const std::string command = "oggdec -Q -R -o /dev/null '" + path + "'";
    for (int run = 0; run < kRuns; ++run) {
        // Alternate the two, so that both see the same load on a shared machine.
        auto start = Clock::now();
        double cpu = CpuSeconds(RUSAGE_SELF);
        bytes = DecodeAll(ogg);
        ours = std::min(ours, Seconds(start));
        oursCpu = std::min(oursCpu, CpuSeconds(RUSAGE_SELF) - cpu);
        start = Clock::now();
        cpu = CpuSeconds(RUSAGE_CHILDREN);
        if (system(command.c_str()) != 0) {
            fprintf(stderr, "oggdec failed (vorbis-tools installed?)\n");
            return 1;
        }
        theirs = std::min(theirs, Seconds(start));
        theirsCpu = std::min(theirsCpu, CpuSeconds(RUSAGE_CHILDREN) - cpu);
    }
    const double audioSeconds = bytes / (44100.0 * 4.0);
    printf("file: %s (%zu bytes, %.1f s of stereo 44100 Hz audio, %lld PCM bytes)\n", path.c_str(), ogg.size(),
           audioSeconds, static_cast<long long>(bytes));
    printf("S_StreamDecode: %.3f s wall, %.3f s CPU (%.0fx real time, %.1f MB/s of PCM)\n", ours, oursCpu,
           audioSeconds / ours, bytes / ours / 1e6);
    printf("oggdec -R:      %.3f s wall, %.3f s CPU (%.0fx real time, %.1f MB/s of PCM; process start and file "
           "read included)\n",
           theirs, theirsCpu, audioSeconds / theirs, bytes / theirs / 1e6);
    printf("throughput ratio (S_StreamDecode / oggdec): %.2f wall, %.2f CPU\n", theirs / ours, theirsCpu / oursCpu);
    return 0;
}
