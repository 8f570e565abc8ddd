// quillon-cli's sounds as WAV files, and the sample archives: extract --wav
// against oggdec, export --wav and its refusals.
#include "cli_run.h"

#include "resource/resource_kind.h"
#include "ogg_fixtures.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

// The samples of a 16-bit PCM WAV file, after checking its 44-byte header.
Bytes WavSamples(const Bytes &wav, uint32_t rate, uint32_t channels)
{
    const size_t headerSize = std::min<size_t>(wav.size(), 44);
    const uint32_t data = static_cast<uint32_t>(wav.size() - headerSize);
    Bytes header = Fixture_FromString("RIFF....WAVEfmt ....................data....");
    for (auto [at, value, size] : {std::tuple{4, data + 36, 4}, {16, 16u, 4}, {20, 1u, 2}, {22, channels, 2},
                                   {24, rate, 4}, {28, rate * channels * 2, 4}, {32, channels * 2, 2}, {34, 16u, 2},
                                   {40, data, 4}})
        for (int i = 0; i < size; ++i)
            header[at + i] = static_cast<uint8_t>(value >> (8 * i));
    EXPECT_EQ(Bytes(wav.begin(), wav.begin() + long(headerSize)), header);
    return Bytes(wav.begin() + long(headerSize), wav.end());
}

int MaxDifference(const Bytes &a, const Bytes &b)
{
    int worst = 0;
    for (size_t i = 0; i + 1 < std::min(a.size(), b.size()); i += 2) {
        const int16_t x = static_cast<int16_t>(a[i] | (a[i + 1] << 8));
        const int16_t y = static_cast<int16_t>(b[i] | (b[i + 1] << 8));
        worst = std::max(worst, std::abs(x - y));
    }
    return worst;
}

}  // namespace

// The sample maker's archives come out the same on every run, hold every
// kind, and extract cleanly; their sounds as .wav carry the stream's own rate
// and channels, and oggdec's samples within the rounding of the conversion.
TEST(CliSamples, EveryKindExtractsAndTheSoundsMatchOggdec)
{
    TempDir dir;
    ASSERT_EQ(RunProgram(QUILLON_MAKE_SAMPLES, {dir / "s1"}, dir).status, 0);
    ASSERT_EQ(RunProgram(QUILLON_MAKE_SAMPLES, {dir / "s2"}, dir).status, 0);
    const std::set<std::string> files = FilesUnder(dir / "s1");
    EXPECT_EQ(files, (std::set<std::string>{"GLOBAL.PAK", "GLOBAL_00.PAK", "GLOBAL_01.PAK", "SHADERS.PAK",
                                            "M01_NIGHTMARE.PAK", "M01_NIGHTMARE_00.PAK"}));
    for (const std::string &f : files)
        EXPECT_EQ(Fixture_ReadFile(dir / "s1/" + f), Fixture_ReadFile(dir / "s2/" + f)) << f;

    CliResult r = RunCli({"list", dir / "s1/GLOBAL.PAK", "--long"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    std::set<std::string> kinds;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
        const size_t kind = line.find('\t') + 1;  // the second column
        kinds.insert(line.substr(kind, line.find('\t', kind) - kind));
    }
    for (int k = 0; k < KindCount; ++k)
        EXPECT_EQ(kinds.count(ResourceKind_Info(ResourceKind(k)).displayName), 1u) << k;
    for (const std::string form : {"interpreted", "wav"}) {
        r = RunCli({"extract", dir / "s1/GLOBAL.PAK", "-o", dir / form, "--" + form}, dir);
        EXPECT_EQ(r.status, 0) << form << r.err;
        EXPECT_NE(r.out.find(" 0 skipped, 0 failed\n"), std::string::npos) << form;
    }

    if (system("oggdec --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "oggdec (vorbis-tools) is not installed";
    const std::tuple<std::string, uint32_t, uint32_t> sounds[] = {
        {"sounds/ui/chime", 44100, 1},
        {"sounds/ui/confirm", 22050, 2},
        {"sounds/fx/water_drip", 22050, 1},
        {"sounds/music/chapel_bells", 44100, 2},  // stored LZO-compressed
    };
    for (const auto &[sound, rate, channels] : sounds) {
        r = RunProgram("/usr/bin/env", {"oggdec", "-Q", "-R", "-o", dir / "s.raw", dir / ("interpreted/" + sound + ".ogg")}, dir);
        ASSERT_EQ(r.status, 0) << sound << r.err;
        const Bytes samples = WavSamples(Fixture_ReadFile(dir / ("wav/" + sound + ".wav")), rate, channels);
        const Bytes reference = Fixture_ReadFile(dir / "s.raw");
        EXPECT_EQ(samples.size(), reference.size()) << sound;
        EXPECT_LE(MaxDifference(samples, reference), 2) << sound;
    }
}

// Every sound becomes a .wav (its .ogg extension replaced); the other entries
// go out as the mode says, and a sound that does not decode fails alone.
// export --wav writes the same file, or refuses without writing one.
TEST(CliWav, ExtractAndExportWriteSoundsAsWav)
{
    TempDir dir;
    const Bytes mono = Fixture_OggVorbis({.rate = 22050, .seconds = 0.4});
    const Bytes stereo = Fixture_OggVorbis({.channels = 2, .seconds = 0.3});
    const Bytes texture = Fixture_Texture(8, 8, 1, 1, Fixture_PictureColour);
    ASSERT_TRUE(Fixture_WritePak(dir / "X.PAK", {{{"fx\\one.OGG", mono},
                                                  {"fx\\two", stereo},
                                                  {"fx\\bad.ogg", Bytes(mono.begin(), mono.begin() + 200)},
                                                  {"notes.txt", Fixture_FromString("words")},
                                                  {"wall", texture}}}));
    const std::pair<std::vector<std::string>, std::set<std::string>> cases[] = {
        {{"--wav"}, {"fx/one.wav", "fx/two.wav", "notes.txt", "wall"}},
        {{"--wav", "--interpreted"}, {"fx/one.wav", "fx/two.wav", "notes.txt", "wall.dds"}},
    };
    for (const auto &[options, files] : cases) {
        SCOPED_TRACE(testing::PrintToString(options));
        const std::string out = dir / "out";
        std::filesystem::remove_all(out);
        std::vector<std::string> args{"extract", dir / "X.PAK", "-o", out};
        args.insert(args.end(), options.begin(), options.end());
        CliResult r = RunCli(args, dir);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "fx\\bad.ogg [0002]: This sound could not be decoded, so it has no .wav form. "
                         "(fx/bad.wav)\n");
        EXPECT_EQ(FilesUnder(out), files);
        const Bytes one = Fixture_ReadFile(out + "/fx/one.wav"), two = Fixture_ReadFile(out + "/fx/two.wav");
        EXPECT_NEAR(WavSamples(one, 22050, 1).size() / 44100.0, 0.4, 0.001);
        EXPECT_NEAR(WavSamples(two, 44100, 2).size() / 176400.0, 0.3, 0.001);
        EXPECT_EQ(r.out, "4 entries written, " + std::to_string(one.size() + two.size() + 5 + texture.size()) +
                             " bytes, 0 skipped, 1 failed\n");
        r = RunCli({"export", dir / "X.PAK", "fx\\two [0001]", "--wav", "-o", "-"}, dir);
        EXPECT_EQ(Bytes(r.out.begin(), r.out.end()), two);
    }
    const std::pair<const char *, const char *> refusals[] = {
        {"notes.txt [0003]", "This resource is not an Ogg Vorbis sound, so it has no .wav form.\n"},
        {"fx\\bad.ogg [0002]", "This sound could not be decoded, so it has no .wav form.\n"},
    };
    for (const auto &[entry, err] : refusals) {
        CliResult r = RunCli({"export", dir / "X.PAK", entry, "--wav", "-o", dir / "refused.wav"}, dir);
        EXPECT_EQ(r.status, 1) << entry;
        EXPECT_EQ(r.err, err) << entry;
        EXPECT_FALSE(std::filesystem::exists(dir / "refused.wav")) << entry;
    }
}
