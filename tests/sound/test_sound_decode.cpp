// Decoding against oggdec, header refusals, and the sample and rate conversions.
#include "cli_run.h"
#include "host.h"
#include "sound_test_util.h"

using namespace std::string_literals;

namespace {

// oggdec's raw output: 16-bit little-endian, signed, interleaved.
Bytes Oggdec(const Bytes &ogg)
{
    TempDir dir;
    if (!Fixture_WriteFile(dir / "in.ogg", ogg) ||
        RunProgram("/usr/bin/env", {"oggdec", "-Q", "-R", "-o", dir / "out.raw", dir / "in.ogg"}, dir).status != 0)
        return {};
    return Fixture_ReadFile(dir / "out.raw");
}

int MaxDifference(const Bytes &a, const Bytes &b)
{
    int worst = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()) / 2; ++i)
        worst = std::max(worst, std::abs(SampleAt(a, i) - SampleAt(b, i)));
    return worst;
}

}  // namespace

// Files we did not write and files from libvorbisenc, one for each path of the
// conversion: up and down in rate, mono 44100 Hz as it is, channels averaged.
TEST(SoundDecode, MatchesOggdecAndConvertsWhateverTheRoom)
{
    if (!Installed("oggdec --version"))
        GTEST_SKIP() << "oggdec (vorbis-tools) is not installed";
    std::vector<std::pair<std::string, Bytes>> sounds;
    for (const char *name : {"phone-outgoing-busy.oga", "suspend-error.oga", "service-logout.oga",
                             "camera-shutter.oga"})  // 8000 Hz mono, 44100 Hz mono, 22050 and 96000 Hz stereo
        sounds.emplace_back(name, Fixture_ReadFile("/usr/share/sounds/freedesktop/stereo/"s + name));
    sounds.emplace_back("made stereo 44100", Tone(1.0, 2));
    sounds.emplace_back("made 3 channels 32000", Tone(0.5, 3, 32000));
    for (const auto &[name, ogg] : sounds) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(ogg.empty()) << "package sound-theme-freedesktop";
        const Bytes reference = Oggdec(ogg);
        const Decoded d = Decode(ogg);
        ASSERT_GT(reference.size(), 0u);
        EXPECT_EQ(d.pcm.size(), reference.size());
        EXPECT_LE(MaxDifference(d.pcm, reference), 2);
        EXPECT_EQ(Decode(ogg, 32768, 1001).pcm, d.pcm);  // audio that does not fit waits for the next call
        Bytes whole;  // as quillon-cli decodes sounds for .wav files
        int32_t rate = 0, channels = 0;
        EXPECT_TRUE(S_DecodeAll(ogg, whole, rate, channels));
        EXPECT_EQ(std::tuple(whole, rate, channels), std::tuple(d.pcm, d.rate, d.channels));

        // N frames become ceil(N * 44100 / rate) samples, the same whatever the asks and rooms.
        const Bytes ring = RingPcm(ogg);
        EXPECT_EQ(ring.size() / 2, (d.pcm.size() / (2 * d.channels) * 44100 + d.rate - 1) / d.rate);
        EXPECT_EQ(Decode(ogg, 7, 1001, true).pcm, ring);
    }
}

TEST(SoundDecode, RefusesBrokenHeadersWithTheirMessages)
{
    const std::vector<Bytes> headers = Fixture_VorbisHeaders(2, 44100), pages = Fixture_OggPages(headers);
    Bytes badVersion = pages[0], emptyPage(pages[0].begin(), pages[0].begin() + 27);
    badVersion[4] = 1;
    emptyPage[26] = 0;  // no segments: the page carries no packet
    Fixture_OggFixChecksum(badVersion);
    Fixture_OggFixChecksum(emptyPage);
    const std::pair<Bytes, const char *> cases[] = {  // no message for bytes without an Ogg page
        {{}, nullptr},
        {Fixture_FromString(std::string(9000, 'x')), nullptr},
        {badVersion, "Error reading first page of Ogg bitstream data.\n"},
        {emptyPage, "Error reading initial header packet.\n"},
        {Fixture_Concat(Fixture_OggPages({Fixture_FromString("\x80theora, not vorbis")})),
         "This Ogg bitstream does not contain Vorbis audio data.\n"},
        {Fixture_Concat({pages[0], pages[2]}), "Corrupt secondary header.  Exiting.\n"},
        {pages[0], "End of file before finding all Vorbis headers!\n"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        soundDecode.printBuffer[0] = 0;
        const uint32_t printed = soundDecode.printCount;
        SoundRecord record = RecordOver(cases[i].first);
        EXPECT_EQ(S_StreamOpen(&record), nullptr);
        if (cases[i].second)
            EXPECT_STREQ(soundDecode.printBuffer, cases[i].second);
        else
            EXPECT_EQ(soundDecode.printCount, printed);
    }
    // libvorbis clears the stream information when it rejects a setup header:
    // such a stream opens, has no channels and yields nothing.
    std::vector<Bytes> badSetup = headers;
    badSetup[2].resize(40);
    const Bytes noChannels = Fixture_Concat(Fixture_OggPages(badSetup));
    const Decoded d = Decode(noChannels);
    EXPECT_TRUE(d.opened && d.channels == 0 && d.pcm.empty());
    Bytes pcm;
    int32_t rate, channels;
    EXPECT_FALSE(S_DecodeAll(noChannels, pcm, rate, channels));
}

// Samples are scaled by 32767, truncated and clamped; only one beyond the
// 16-bit range counts as clipping, which is said once per batch.
TEST(SoundDecode, SampleConversionTruncatesAndClamps)
{
    const std::tuple<float, int16_t, bool> cases[] = {{0.5f, 16383, false},      {-0.5f, -16383, false},
                                                      {1.00002f, 32767, false},  {-1.00004f, -32768, false},
                                                      {1.5f, 32767, true},       {-1e30f, -32768, true}};
    for (auto [in, out, clipped] : cases) {
        float sample = in, *pcm = &sample;
        int16_t converted = 1;
        EXPECT_EQ(S_ConvertBatch(&pcm, 1, 1, &converted), clipped) << in;
        EXPECT_EQ(converted, out) << in;
    }
    soundDecode.printBuffer[0] = 0;
    EXPECT_FALSE(Decode(Fixture_OggVorbis({.amplitude = 1.0f, .square = true})).pcm.empty());  // overshoots
    EXPECT_EQ(std::string(soundDecode.printBuffer).rfind("Clipping in frame ", 0), 0u) << soundDecode.printBuffer;
}

// Whole-sound decoding stops at its limit rather than growing without end, and
// a WAV file that could not be written is reported.
TEST(SoundDecode, WholeSoundLimitAndFailedWavWrite)
{
    Bytes pcm;
    int32_t rate, channels;
    EXPECT_FALSE(S_DecodeAll(Tone(0.5), pcm, rate, channels, 1000));
    EXPECT_TRUE(pcm.empty());
    FILE *full = FailingWriteStream();
    ASSERT_NE(full, nullptr);
    EXPECT_FALSE(S_WriteWav(full, Bytes(100), 22050, 2));
    fclose(full);
}
