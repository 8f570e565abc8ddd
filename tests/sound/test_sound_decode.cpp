// Decoding: agreement with oggdec on files we did not write and on files made
// by libvorbisenc, the header refusals and their messages, the end of a
// stream, the check points of maxBytes, the capacity bound, the conversion
// and the WAV writer.
#include "sound_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace {

struct Decoded {
    Bytes pcm;
    int32_t rate = 0;
    int32_t channels = 0;
};

// Decodes the whole stream in calls asking for `ask` bytes with room for
// `capacity`, as the stream's own PCM or as the ring's mono 44100 Hz; every
// call is checked against its room.
Decoded DecodeInPieces(const Bytes &ogg, int32_t ask = 32768, int32_t capacity = kStreamPcmBytes, bool ring = false)
{
    Decoded d;
    SoundRecord record = RecordOver(ogg);
    OggStream *s = S_StreamOpen(&record);
    SoundConverter *converter = nullptr;
    if (!s || (ring && !S_ConverterOpen(s, &converter))) {
        S_StreamClose(s);
        return d;
    }
    d.rate = S_StreamRate(s);
    d.channels = S_StreamChannels(s);
    Bytes buffer(static_cast<size_t>(capacity) + 16, 0xEE);
    int32_t got;
    while ((got = ring ? S_DecodeForRing(s, converter, buffer.data(), ask, capacity)
                       : S_StreamDecode(s, buffer.data(), ask, capacity)) > 0) {
        EXPECT_LE(got, capacity);
        d.pcm.insert(d.pcm.end(), buffer.begin(), buffer.begin() + got);
    }
    EXPECT_TRUE(std::all_of(buffer.end() - 16, buffer.end(), [](uint8_t b) { return b == 0xEE; }));
    S_ConverterClose(converter);
    S_StreamClose(s);
    return d;
}

// oggdec's raw output: 16-bit little-endian, signed, interleaved.
bool Oggdec(const std::string &path, Bytes &out)
{
    const std::string raw = TempPath("oggdec.raw");
    const std::string command = "oggdec -Q -R -o '" + raw + "' '" + path + "' 2>/dev/null";
    if (system(command.c_str()) != 0)
        return false;
    out = Fixture_ReadFile(raw);
    std::filesystem::remove(raw);
    return true;
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

Bytes Fixture(int channels, long rate, double seconds)
{
    OggFixtureSound sound;
    sound.channels = channels;
    sound.rate = rate;
    sound.seconds = seconds;
    sound.noise = 0.05f;
    return Fixture_OggVorbis(sound);
}

}  // namespace

TEST(SoundDecode, MatchesOggdecWithinTwo)
{
    if (system("oggdec --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "oggdec (vorbis-tools) is not installed";
    struct Case {
        std::string name;
        Bytes ogg;
        int channels;
        long rate;
    };
    std::vector<Case> cases;
    const std::string theme = "/usr/share/sounds/freedesktop/stereo/";
    for (const char *name : {"suspend-error.oga", "phone-outgoing-busy.oga", "service-login.oga", "complete.oga",
                             "camera-shutter.oga", "alarm-clock-elapsed.oga", "audio-test-signal.oga"}) {
        Bytes bytes = Fixture_ReadFile(theme + name);
        if (bytes.empty())
            ADD_FAILURE() << "missing " << theme << name << " (package sound-theme-freedesktop)";
        else
            cases.push_back({name, bytes, 0, 0});
    }
    cases.push_back({"made mono 44100", Fixture(1, 44100, 1.5), 1, 44100});
    cases.push_back({"made stereo 22050", Fixture(2, 22050, 1.0), 2, 22050});
    cases.push_back({"made 3 channels 32000", Fixture(3, 32000, 0.5), 3, 32000});

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = TempPath("in.ogg");
        ASSERT_TRUE(Fixture_WriteFile(path, c.ogg));
        Bytes reference;
        ASSERT_TRUE(Oggdec(path, reference));
        std::filesystem::remove(path);
        const Decoded d = DecodeInPieces(c.ogg);
        if (c.channels) {
            EXPECT_EQ(d.channels, c.channels);
            EXPECT_EQ(d.rate, c.rate);
        }
        ASSERT_GT(reference.size(), 0u);
        EXPECT_EQ(d.pcm.size(), reference.size());
        EXPECT_LE(MaxDifference(d.pcm, reference), 2);
    }
}

TEST(SoundDecode, RefusesBrokenHeadersWithTheirMessages)
{
    const std::vector<Bytes> headers = Fixture_VorbisHeaders(2, 44100);
    const std::vector<Bytes> pages = Fixture_OggPages(headers);
    const Bytes whole = Fixture(1, 44100, 0.5);

    Bytes badVersion = pages[0];
    badVersion[4] = 1;
    Fixture_OggFixChecksum(badVersion);

    Bytes emptyPage(pages[0].begin(), pages[0].begin() + 27);
    emptyPage[26] = 0;  // no segments: the page carries no packet
    Fixture_OggFixChecksum(emptyPage);

    // The comment and setup headers of a made file share its second page; cut it in half.
    const size_t firstPage = 27 + whole[26] + whole[27];
    const Bytes cutInSetup(whole.begin(), whole.begin() + static_cast<long>(firstPage + 2000));

    struct Case {
        const char *name;
        Bytes bytes;
        const char *message;  // null: none
    };
    const Case cases[] = {
        {"empty", {}, nullptr},
        {"no Ogg page", Fixture_FromString(std::string(9000, 'x')), nullptr},
        {"version 1 page", badVersion, "Error reading first page of Ogg bitstream data.\n"},
        {"first page without packet", emptyPage, "Error reading initial header packet.\n"},
        {"not Vorbis", Fixture_Concat(Fixture_OggPages({Fixture_FromString("\x80theora, not vorbis")})),
         "This Ogg bitstream does not contain Vorbis audio data.\n"},
        {"hole after the first page", Fixture_Concat({pages[0], pages[2]}), "Corrupt secondary header.  Exiting.\n"},
        {"identification page only", pages[0], "End of file before finding all Vorbis headers!\n"},
        {"cut in the setup header", cutInSetup, "End of file before finding all Vorbis headers!\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        soundState.printBuffer[0] = 0;
        const uint32_t printed = soundState.printCount;
        SoundRecord record = RecordOver(c.bytes);
        OggStream *s = S_StreamOpen(&record);
        EXPECT_EQ(s, nullptr);
        S_StreamClose(s);
        if (c.message) {
            EXPECT_STREQ(soundState.printBuffer, c.message);
        } else {
            EXPECT_EQ(soundState.printCount, printed);
        }
    }
    // A setup header that libvorbis rejects (its result is not looked at)
    // leaves a stream without channels: it opens and yields nothing.
    std::vector<Bytes> badSetup = headers;
    badSetup[2].resize(40);
    const Bytes badSetupStream = Fixture_Concat(Fixture_OggPages(badSetup));
    SoundRecord badRecord = RecordOver(badSetupStream);
    OggStream *silent = S_StreamOpen(&badRecord);
    ASSERT_NE(silent, nullptr);
    EXPECT_EQ(S_StreamChannels(silent), 0);
    Bytes buffer(kStreamPcmBytes);
    EXPECT_EQ(S_StreamDecode(silent, buffer.data(), 32768, kStreamPcmBytes), 0);
    S_StreamClose(silent);
    int32_t rate, channels;
    EXPECT_FALSE(S_DecodeAll(badSetupStream, buffer, rate, channels));

    // All three headers on pages of their own open fine.
    const Bytes all = Fixture_Concat(pages);
    SoundRecord record = RecordOver(all);
    OggStream *s = S_StreamOpen(&record);
    EXPECT_NE(s, nullptr);
    S_StreamClose(s);
}

TEST(SoundDecode, EndAndCheckPoints)
{
    const Bytes ogg = Fixture(2, 44100, 2.0);
    SoundRecord record = RecordOver(ogg);
    OggStream *s = S_StreamOpen(&record);
    ASSERT_NE(s, nullptr);
    Bytes buffer(kStreamPcmBytes);
    // maxBytes is looked at only when the sync layer wants input: a whole feed's audio comes out.
    const int32_t first = S_StreamDecode(s, buffer.data(), 1, kStreamPcmBytes);
    EXPECT_GT(first, 4096);
    int32_t got;
    while ((got = S_StreamDecode(s, buffer.data(), 32768, kStreamPcmBytes)) > 0) {
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(S_StreamDecode(s, buffer.data(), 32768, kStreamPcmBytes), 0);
    S_StreamClose(s);
}

TEST(SoundDecode, NeverWritesPastCapacity)
{
    const Bytes ogg = Fixture(2, 48000, 1.0);
    const Bytes whole = DecodeInPieces(ogg).pcm;
    for (int32_t capacity : {4, 777, 1000, 4096, 40000}) {
        SCOPED_TRACE(capacity);
        EXPECT_EQ(DecodeInPieces(ogg, 32768, capacity).pcm, whole);
    }
}

TEST(SoundDecode, ConversionTruncatesAndClamps)
{
    struct Case {
        float in;
        int16_t out;
        bool clipped;
    };
    const Case cases[] = {
        {1.0f, 32767, false},      {-1.0f, -32767, false},    {1.5f, 32767, true},
        {-1.5f, -32768, true},     {0.5f, 16383, false},      {-0.5f, -16383, false},
        {1.00002f, 32767, false},  {-1.00004f, -32768, false}, {1e30f, 32767, true},
        {-1e30f, -32768, true},    {0.0f, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.in);
        float left[1] = {c.in}, right[1] = {0.25f};
        float *pcm[2] = {left, right};
        int16_t out[2] = {1, 1};
        EXPECT_EQ(S_ConvertBatch(pcm, 2, 1, out), c.clipped);
        EXPECT_EQ(out[0], c.out);
        EXPECT_EQ(out[1], 8191);  // the second channel follows the first
    }
    // A full-scale square wave overshoots when decoded: clamped, and said once per batch.
    OggFixtureSound loud;
    loud.square = true;
    loud.amplitude = 1.0f;
    const Bytes ogg = Fixture_OggVorbis(loud);
    soundState.printBuffer[0] = 0;
    const Decoded d = DecodeInPieces(ogg);
    EXPECT_EQ(std::string(soundState.printBuffer).rfind("Clipping in frame ", 0), 0u) << soundState.printBuffer;
    EXPECT_GT(d.pcm.size(), 0u);
}

TEST(SoundDecode, WholeSoundToWav)
{
    const Bytes ogg = Fixture(2, 22050, 0.5);
    Bytes pcm;
    int32_t rate, channels;
    ASSERT_TRUE(S_DecodeAll(ogg, pcm, rate, channels));
    EXPECT_EQ(rate, 22050);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(pcm, DecodeInPieces(ogg).pcm);
    EXPECT_FALSE(S_DecodeAll(ogg, pcm, rate, channels, 1000));  // more PCM than allowed
    EXPECT_FALSE(S_DecodeAll(Fixture_FromString("no sound"), pcm, rate, channels));

    const std::string path = TempPath("out.wav");
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(S_WriteWav(f, pcm, 22050, 2));
    fclose(f);
    // Python's own WAV reader must see the stream's shape and every frame.
    const std::string report = TempPath("wav.txt");
    const std::string command = "/usr/bin/python3 -c \"import wave; w = wave.open('" + path +
                                "'); print(w.getnchannels(), w.getframerate(), w.getsampwidth(), w.getnframes(), "
                                "w.readframes(w.getnframes()) == open('" + path + "', 'rb').read()[44:])\" > " + report;
    ASSERT_EQ(system(command.c_str()), 0);
    const Bytes printed = Fixture_ReadFile(report);
    EXPECT_EQ(std::string(printed.begin(), printed.end()), "2 22050 2 " + std::to_string(pcm.size() / 4) + " True\n");
    std::filesystem::remove(report);
    std::filesystem::remove(path);

    FILE *full = fopen("/dev/full", "wb");
    if (full) {
        EXPECT_FALSE(S_WriteWav(full, pcm, 22050, 2));
        fclose(full);
    }
    EXPECT_FALSE(S_WriteWav(stdout, pcm, 0, 2));
}

TEST(SoundDecode, RingConversionKeepsDurationWhateverTheAsks)
{
    const std::string theme = "/usr/share/sounds/freedesktop/stereo/";
    std::vector<Bytes> sounds;
    for (const char *name : {"phone-outgoing-calling.oga", "service-logout.oga", "message-new-instant.oga",
                             "camera-shutter.oga"})
        sounds.push_back(Fixture_ReadFile(theme + name));  // 8000 mono, 22050 stereo, 48000 and 96000 stereo
    sounds.push_back(Fixture(3, 44100, 0.3));
    for (const Bytes &ogg : sounds) {
        ASSERT_FALSE(ogg.empty());
        const Decoded d = DecodeInPieces(ogg);
        SCOPED_TRACE(testing::Message() << d.channels << " channels at " << d.rate << " Hz");
        const uint64_t frames = d.pcm.size() / (2 * d.channels);
        const Bytes whole = RingPcm(ogg);
        EXPECT_EQ(whole.size() / 2, (frames * 44100 + d.rate - 1) / d.rate);
        // Small and odd rooms give the same samples.
        EXPECT_EQ(DecodeInPieces(ogg, 7, 1001, true).pcm, whole);
        EXPECT_EQ(DecodeInPieces(ogg, 900, 1001, true).pcm, whole);
    }
}
