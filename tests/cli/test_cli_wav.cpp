// quillon-cli's sounds as WAV files, and the sample archives.
#include "cli_run.h"

#include "ogg_fixtures.h"
#include "sound/sound.h"

#include <gtest/gtest.h>

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

const std::string kUndecodable = "This sound could not be decoded, so it has no .wav form.";

}  // namespace

// The samples are the same on every run; each .wav holds what the decoder
// (compared with oggdec in tests/sound) gives for the .ogg beside it.
TEST(CliSamples, ExtractCleanlyAndSoundsBecomeTheirDecodedSamples)
{
    TempDir dir;
    ASSERT_TRUE(MakeSamples(dir / "s1", dir));
    ASSERT_TRUE(MakeSamples(dir / "s2", dir));
    const std::set<std::string> files = FilesUnder(dir / "s1");
    EXPECT_EQ(FilesUnder(dir / "s2"), files);
    for (const std::string &f : files)
        EXPECT_EQ(Fixture_ReadFile(dir / "s1/" + f), Fixture_ReadFile(dir / "s2/" + f)) << f;

    for (const std::string form : {"interpreted", "wav"}) {
        CliResult r = RunCli({"extract", dir / "s1/GLOBAL.PAK", "-o", dir / form, "--" + form}, dir);
        EXPECT_EQ(r.status, 0) << form << r.err;
        EXPECT_NE(r.out.find(" 0 skipped, 0 failed\n"), std::string::npos) << form;
    }
    int sounds = 0;
    for (const std::string &f : FilesUnder(dir / "interpreted")) {
        if (!f.ends_with(".ogg"))
            continue;
        Bytes pcm;
        int32_t rate = 0, channels = 0;
        ASSERT_TRUE(S_DecodeAll(Fixture_ReadFile(dir / ("interpreted/" + f)), pcm, rate, channels)) << f;
        const Bytes wav = Fixture_ReadFile(dir / ("wav/" + f.substr(0, f.size() - 4) + ".wav"));
        EXPECT_EQ(WavSamples(wav, uint32_t(rate), uint32_t(channels)), pcm) << f;
        ++sounds;
    }
    EXPECT_GT(sounds, 0);
}

// A sound that does not decode fails alone; export --wav writes the same file or none.
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
        EXPECT_EQ(r.err, "fx\\bad.ogg [0002]: " + kUndecodable + " (fx/bad.wav)\n");
        EXPECT_EQ(FilesUnder(out), files);
        const Bytes one = Fixture_ReadFile(out + "/fx/one.wav"), two = Fixture_ReadFile(out + "/fx/two.wav");
        EXPECT_NEAR(WavSamples(one, 22050, 1).size() / 44100.0, 0.4, 0.001);
        EXPECT_NEAR(WavSamples(two, 44100, 2).size() / 176400.0, 0.3, 0.001);
        EXPECT_EQ(r.out, "4 entries written, " + std::to_string(one.size() + two.size() + 5 + texture.size()) +
                             " bytes, 0 skipped, 1 failed\n");
        r = RunCli({"export", dir / "X.PAK", "fx\\two [0001]", "--wav", "-o", "-"}, dir);
        EXPECT_EQ(Bytes(r.out.begin(), r.out.end()), two);
    }
    const std::pair<const char *, std::string> refusals[] = {
        {"notes.txt [0003]", "This resource is not an Ogg Vorbis sound, so it has no .wav form.\n"},
        {"fx\\bad.ogg [0002]", kUndecodable + "\n"},
    };
    for (const auto &[entry, err] : refusals) {
        CliResult r = RunCli({"export", dir / "X.PAK", entry, "--wav", "-o", dir / "refused.wav"}, dir);
        EXPECT_EQ(r.status, 1) << entry;
        EXPECT_EQ(r.err, err) << entry;
        EXPECT_FALSE(std::filesystem::exists(dir / "refused.wav")) << entry;
    }
}
