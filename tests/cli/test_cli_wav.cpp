// quillon-cli's sounds as WAV files: export --wav against oggdec on the sample
// archives' sounds, the refusals, and extract --wav.
#include "cli_run.h"
#include "ogg_fixtures.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace fs = std::filesystem;

namespace {

uint32_t U32(const Bytes &b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

uint16_t U16(const Bytes &b, size_t at)
{
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

std::string Tag(const Bytes &b, size_t at)
{
    return std::string(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
}

// Checks the 44-byte header of a 16-bit PCM WAV file; its samples on success.
Bytes WavSamples(const Bytes &wav, uint32_t rate, uint16_t channels)
{
    if (wav.size() < 44) {
        ADD_FAILURE() << "only " << wav.size() << " bytes";
        return {};
    }
    EXPECT_EQ(Tag(wav, 0), "RIFF");
    EXPECT_EQ(U32(wav, 4), wav.size() - 8);
    EXPECT_EQ(Tag(wav, 8), "WAVE");
    EXPECT_EQ(Tag(wav, 12), "fmt ");
    EXPECT_EQ(U32(wav, 16), 16u);
    EXPECT_EQ(U16(wav, 20), 1);  // PCM
    EXPECT_EQ(U16(wav, 22), channels);
    EXPECT_EQ(U32(wav, 24), rate);
    EXPECT_EQ(U32(wav, 28), rate * channels * 2);
    EXPECT_EQ(U16(wav, 32), channels * 2);
    EXPECT_EQ(U16(wav, 34), 16);
    EXPECT_EQ(Tag(wav, 36), "data");
    EXPECT_EQ(U32(wav, 40), wav.size() - 44);
    return Bytes(wav.begin() + 44, wav.end());
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

bool HaveOggdec()
{
    return system("oggdec --version >/dev/null 2>&1") == 0;
}

Bytes OggSound(int channels, long rate, double seconds)
{
    OggFixtureSound sound;
    sound.channels = channels;
    sound.rate = rate;
    sound.seconds = seconds;
    return Fixture_OggVorbis(sound);
}

FixtureArchive Named(const std::vector<std::pair<std::string, Bytes>> &entries)
{
    FixtureArchive a;
    for (const auto &[name, bytes] : entries) {
        FixtureEntry e;
        e.name = name;
        e.bytes = bytes;
        a.entries.push_back(e);
    }
    return a;
}

std::set<std::string> FilesUnder(const std::string &root)
{
    std::set<std::string> files;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
        if (!it->is_directory())
            files.insert(fs::relative(it->path(), root).string());
    return files;
}

}  // namespace

// The sample archives' sounds: the .wav carries the stream's own rate and
// channels, and its samples are oggdec's within the rounding of the
// conversion; --interpreted gives the .ogg bytes themselves.
TEST(CliWav, ExportMatchesOggdecOnTheSampleSounds)
{
    if (!HaveOggdec())
        GTEST_SKIP() << "oggdec (vorbis-tools) is not installed";
    TempDir dir;
    ASSERT_EQ(RunProgram(QUILLON_MAKE_SAMPLES, {dir / "s"}, dir).status, 0);
    const std::string archive = dir / "s/GLOBAL.PAK";
    const struct {
        const char *entry;
        uint32_t rate;
        uint16_t channels;
        double seconds;
    } cases[] = {
        {"sounds\\ui\\chime.ogg [0016]", 44100, 1, 0.8},
        {"sounds\\ui\\confirm.ogg [0017]", 22050, 2, 0.6},
        {"sounds\\fx\\water_drip.ogg [0018]", 22050, 1, 0.5},
        {"sounds\\amb\\dusk_sweep.ogg [0019]", 44100, 1, 4.0},
        {"sounds\\music\\chapel_bells.ogg [0020]", 44100, 2, 3.5},  // stored LZO-compressed
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.entry);
        CliResult r = RunCli({"export", archive, c.entry, "--wav", "-o", dir / "s.wav"}, dir);
        ASSERT_EQ(r.status, 0) << r.err;
        const Bytes samples = WavSamples(Fixture_ReadFile(dir / "s.wav"), c.rate, c.channels);
        EXPECT_NEAR(samples.size() / (2.0 * c.channels * c.rate), c.seconds, 0.001);

        r = RunCli({"export", archive, c.entry, "--interpreted", "-o", dir / "s.ogg"}, dir);
        ASSERT_EQ(r.status, 0) << r.err;
        r = RunCli({"export", archive, c.entry, "-o", "-"}, dir);
        EXPECT_EQ(Fixture_ReadFile(dir / "s.ogg"), Bytes(r.out.begin(), r.out.end()));

        r = RunProgram("/usr/bin/env", {"oggdec", "-Q", "-R", "-o", dir / "s.raw", dir / "s.ogg"}, dir);
        ASSERT_EQ(r.status, 0) << r.err;
        const Bytes reference = Fixture_ReadFile(dir / "s.raw");
        EXPECT_EQ(samples.size(), reference.size());
        EXPECT_LE(MaxDifference(samples, reference), 2);
    }
}

TEST(CliWav, RefusesWhatHasNoWavFormWithoutWritingAFile)
{
    TempDir dir;
    const Bytes ogg = OggSound(1, 44100, 0.3);
    Bytes noPage = Fixture_FromString("OggS but no page follows");
    ASSERT_TRUE(Fixture_WritePak(dir / "W.PAK", Named({{"text", Fixture_FromString("plain words")},
                                                        {"cut", Bytes(ogg.begin(), ogg.begin() + 120)},
                                                        {"nopage", noPage},
                                                        {"whole", ogg}})));
    const struct {
        const char *entry;
        const char *err;
    } cases[] = {
        {"text [0000]", "This resource is not an Ogg Vorbis sound, so it has no .wav form.\n"},
        {"cut [0001]", "This sound could not be decoded, so it has no .wav form.\n"},
        {"nopage [0002]", "This sound could not be decoded, so it has no .wav form.\n"},
    };
    for (const auto &c : cases) {
        CliResult r = RunCli({"export", dir / "W.PAK", c.entry, "--wav", "-o", dir / "refused.wav"}, dir);
        EXPECT_EQ(r.status, 1) << c.entry;
        EXPECT_EQ(r.err, c.err) << c.entry;
        EXPECT_FALSE(fs::exists(dir / "refused.wav")) << c.entry;
    }
    CliResult r = RunCli({"export", dir / "W.PAK", "whole [0003]", "--wav", "--interpreted", "-o", dir / "x"}, dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(fs::exists(dir / "x"));

    // Standard output takes the same file.
    r = RunCli({"export", dir / "W.PAK", "whole [0003]", "--wav", "-o", "-"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes samples = WavSamples(Bytes(r.out.begin(), r.out.end()), 44100, 1);
    EXPECT_NEAR(samples.size() / 88200.0, 0.3, 0.001);
}

// Every sound becomes a .wav (its .ogg extension replaced); the other entries
// go out as the mode says, and a sound that does not decode fails alone.
TEST(CliWav, ExtractWritesEverySoundAsWav)
{
    TempDir dir;
    const Bytes mono = OggSound(1, 22050, 0.4), stereo = OggSound(2, 44100, 0.3);
    const Bytes texture = Fixture_Texture(8, 8, 1, 1, Fixture_PictureColour);
    ASSERT_TRUE(Fixture_WritePak(dir / "X.PAK", Named({{"fx\\one.OGG", mono},
                                                        {"fx\\two", stereo},
                                                        {"fx\\bad.ogg", Bytes(mono.begin(), mono.begin() + 200)},
                                                        {"notes.txt", Fixture_FromString("words")},
                                                        {"wall", texture}})));
    const struct {
        std::vector<std::string> options;
        std::set<std::string> files;
    } cases[] = {
        {{"--wav"}, {"fx/one.wav", "fx/two.wav", "notes.txt", "wall"}},
        {{"--wav", "--interpreted"}, {"fx/one.wav", "fx/two.wav", "notes.txt", "wall.dds"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.options));
        const std::string out = dir / "out";
        fs::remove_all(out);
        std::vector<std::string> args{"extract", dir / "X.PAK", "-o", out};
        args.insert(args.end(), c.options.begin(), c.options.end());
        CliResult r = RunCli(args, dir);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "fx\\bad.ogg [0002]: This sound could not be decoded, so it has no .wav form. "
                         "(fx/bad.wav)\n");
        EXPECT_EQ(FilesUnder(out), c.files);
        EXPECT_EQ(Fixture_ReadFile(out + "/notes.txt"), Fixture_FromString("words"));

        const Bytes one = Fixture_ReadFile(out + "/fx/one.wav"), two = Fixture_ReadFile(out + "/fx/two.wav");
        EXPECT_NEAR(WavSamples(one, 22050, 1).size() / 44100.0, 0.4, 0.001);
        EXPECT_NEAR(WavSamples(two, 44100, 2).size() / 176400.0, 0.3, 0.001);
        const size_t wallBytes = texture.size();
        EXPECT_EQ(r.out, "4 entries written, " + std::to_string(one.size() + two.size() + 5 + wallBytes) +
                             " bytes, 0 skipped, 1 failed\n");

        // The same file as export --wav writes.
        r = RunCli({"export", dir / "X.PAK", "fx\\two [0001]", "--wav", "-o", "-"}, dir);
        EXPECT_EQ(Bytes(r.out.begin(), r.out.end()), two);
    }
}
