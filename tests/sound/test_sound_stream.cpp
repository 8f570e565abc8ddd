// The sound module on a fake clock: SDL's dummy device is opened but its
// callback stays silent, and the tests move the play cursors with the mixer
// themselves, a known number of bytes at a time.
#include "sound_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

class SoundClock : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        Start();
    }
    void TearDown() override { S_Shutdown(); }

    static void Start()
    {
        ASSERT_EQ(S_Init(), 1) << soundState.printBuffer;
        SB_SetManualClock(soundState.device, true);
    }

    // Moves every play cursor on by `bytes`; what the mixer made of them.
    static Bytes Play(uint32_t bytes)
    {
        Bytes out(bytes);
        SB_Mix(soundState.device, out.data(), static_cast<int>(bytes));
        return out;
    }

    static void Update()
    {
        const float zero[3] = {};
        S_Update(zero, zero);
    }

    static void FillRing(int channel, uint8_t value)
    {
        void *a, *b;
        uint32_t na, nb;
        ASSERT_EQ(SB_Lock(soundState.channels[channel].buffer, 0, kSoundRingBytes, &a, &na, &b, &nb), kSoundOk);
        memset(a, value, na);
        SB_Unlock(soundState.channels[channel].buffer);
    }

    static Bytes Ring(int channel, uint32_t bytes)
    {
        void *a, *b;
        uint32_t na, nb;
        Bytes out;
        if (SB_Lock(soundState.channels[channel].buffer, 0, bytes, &a, &na, &b, &nb) == kSoundOk) {
            out.assign(static_cast<uint8_t *>(a), static_cast<uint8_t *>(a) + na);
            SB_Unlock(soundState.channels[channel].buffer);
        }
        return out;
    }

    static uint32_t Status(int channel)
    {
        uint32_t status;
        SB_GetStatus(soundState.channels[channel].buffer, &status);
        return status;
    }
};

Bytes Sound(double seconds, int channels = 1, long rate = 44100)
{
    OggFixtureSound sound;
    sound.seconds = seconds;
    sound.channels = channels;
    sound.rate = rate;
    sound.noise = 0.1f;
    sound.quality = 0.0f;
    return Fixture_OggVorbis(sound);
}

// A raw PCM record: byte count at 40, samples from 44.
Bytes RawRecord(const std::vector<int16_t> &samples)
{
    const uint32_t size = static_cast<uint32_t>(samples.size() * 2);
    Bytes raw(kRawRecordHeaderBytes + size, 0);
    raw[0] = 'R';
    for (int i = 0; i < 4; ++i)
        raw[kRawRecordSizeOffset + i] = static_cast<uint8_t>(size >> (8 * i));
    memcpy(raw.data() + kRawRecordHeaderBytes, samples.data(), size);
    return raw;
}

bool AllBytes(const uint8_t *begin, const uint8_t *end, uint8_t value)
{
    return std::all_of(begin, end, [value](uint8_t b) { return b == value; });
}

}  // namespace

TEST_F(SoundClock, FirstFillPadsWithZerosAndTheSoundEndsNearItsEnd)
{
    const Bytes ogg = Sound(0.5);
    const Bytes pcm = RingPcm(ogg);
    ASSERT_GT(pcm.size(), 40000u);
    ASSERT_LT(pcm.size(), kSoundBlockBytes);
    FillRing(1, 0x55);

    S_QueuePlay(S_LoadCurrentAsset(ogg));
    EXPECT_STREQ(soundState.soundSlots[0].name, "__curasset");
    Update();
    const SoundChannel &c = soundState.channels[1];
    ASSERT_TRUE(c.playing);
    EXPECT_FALSE(soundState.channels[0].playing);
    EXPECT_EQ(Status(1), kSoundStatusPlaying | kSoundStatusLooping);
    EXPECT_EQ(c.written, kSoundBlockBytes);
    const Bytes ring = Ring(1, kSoundBlockBytes + 64);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), ring.begin()));
    EXPECT_TRUE(AllBytes(ring.data() + pcm.size(), ring.data() + kSoundBlockBytes, 0));
    EXPECT_TRUE(AllBytes(ring.data() + kSoundBlockBytes, ring.data() + ring.size(), 0x55));

    // Over once no more than 10,000 written bytes are left ahead of the cursor.
    const Bytes heard = Play(kSoundBlockBytes - 10002);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), heard.begin()));
    Update();
    EXPECT_TRUE(c.playing);
    Play(2);
    Update();
    EXPECT_FALSE(c.playing);
    EXPECT_EQ(c.owner, -1);
    EXPECT_EQ(c.stream, nullptr);
    EXPECT_EQ(Status(1), 0u);
}

TEST_F(SoundClock, LongSoundStreamsThroughTheRing)
{
    const Bytes ogg = Sound(30.0);  // longer than the 2 MiB ring
    const Bytes pcm = RingPcm(ogg);
    SoundRecord record = RecordOver(ogg);
    ASSERT_EQ(S_StartSound(-1, &record, true, 5), 1);
    const SoundChannel &c = soundState.channels[1];
    EXPECT_GE(c.written, kSoundBlockBytes);

    Bytes heard;
    uint32_t advanced = 0;
    const uint32_t step = 6000;  // less than the end margin, so the ring never runs dry here
    while (c.playing && heard.size() < pcm.size() + kSoundRingBytes) {
        const Bytes out = Play(step);
        heard.insert(heard.end(), out.begin(), out.end());
        advanced += step;
        const uint32_t before = c.written;
        const int64_t ahead = std::max<int64_t>(0, int64_t(before) - advanced);
        Update();
        if (!c.playing) {
            EXPECT_LE(ahead, 10000);
            EXPECT_GE(before, pcm.size());
            break;
        }
        EXPECT_EQ(c.played, advanced);  // the cursor's wrap counts as forward movement
        if (ahead > 131072)
            EXPECT_EQ(c.written, before);
        else
            EXPECT_TRUE(c.written >= before + kSoundBlockBytes || before >= pcm.size()) << advanced;
    }
    EXPECT_FALSE(c.playing);
    EXPECT_GT(advanced, kSoundRingBytes);
    ASSERT_GE(heard.size(), pcm.size());
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), heard.begin()));
    EXPECT_TRUE(AllBytes(heard.data() + pcm.size(), heard.data() + heard.size(), 0));
}

TEST_F(SoundClock, ChannelChoice)
{
    const Bytes ogg = Sound(0.2);
    SoundRecord record = RecordOver(ogg);
    EXPECT_EQ(S_StartSound(-1, &record, true, 1), 1);
    EXPECT_EQ(S_StartSound(-1, &record, true, 2), -1);  // channel 1 may not be taken; 0 is never chosen
    EXPECT_FALSE(soundState.channels[0].playing);
    EXPECT_EQ(soundState.channels[1].owner, 1);
    EXPECT_EQ(S_StartSound(0, &record, true, 3), 0);    // a named channel is used as it is
    EXPECT_EQ(S_StartSound(2, &record, true, 3), -1);   // beyond the channels created

    // A third channel: the playing one with the least to play is taken over.
    ASSERT_EQ(SB_CreateBuffer(soundState.device, kSoundRingBytes, &soundState.channels[2].buffer), kSoundOk);
    soundState.channelCount = 3;
    const Bytes raw = RawRecord(std::vector<int16_t>(1000, 5));
    EXPECT_EQ(S_StartSound(1, raw.data(), false, 4), 1);       // endBytes 2000
    EXPECT_EQ(S_StartSound(2, &record, false, 5), 2);          // endBytes 262144
    EXPECT_EQ(S_StartSound(-1, &record, false, 6), 1);
    EXPECT_EQ(soundState.channels[1].owner, 6);
    soundState.channels[1].noSteal = true;
    EXPECT_EQ(S_StartSound(-1, &record, false, 7), 2);
    soundState.channels[2].noSteal = true;
    EXPECT_EQ(S_StartSound(-1, &record, false, 8), -1);
    SB_Stop(soundState.channels[2].buffer);                   // an idle channel is taken first
    EXPECT_EQ(S_StartSound(-1, &record, false, 9), 2);
}

TEST_F(SoundClock, RawPcmPlaysOnceAndChannelsMixWithClamping)
{
    std::vector<int16_t> samples(3000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = i % 2 ? -20000 : 20000;
    const Bytes raw = RawRecord(samples);
    const uint32_t size = static_cast<uint32_t>(samples.size() * 2);
    FillRing(0, 0x55);
    ASSERT_EQ(S_StartSound(0, raw.data(), false, 4), 0);
    ASSERT_EQ(S_StartSound(1, raw.data(), false, 4), 1);
    EXPECT_EQ(Status(0), kSoundStatusPlaying);
    const Bytes ring = Ring(0, size + 50000 + 64);
    EXPECT_TRUE(std::equal(ring.begin(), ring.begin() + size, raw.begin() + kRawRecordHeaderBytes));
    EXPECT_TRUE(AllBytes(ring.data() + size, ring.data() + size + 50000, 0));
    EXPECT_TRUE(AllBytes(ring.data() + size + 50000, ring.data() + ring.size(), 0x55));

    const Bytes heard = Play(size);
    for (size_t i = 0; i < samples.size(); ++i) {
        int16_t v;
        memcpy(&v, heard.data() + 2 * i, 2);
        ASSERT_EQ(v, i % 2 ? -32768 : 32767) << i;
    }
    Update();
    EXPECT_TRUE(soundState.channels[0].playing);
    Play(2);
    Update();  // the cursor is past the data
    EXPECT_FALSE(soundState.channels[0].playing);
    EXPECT_EQ(soundState.channels[0].owner, -1);

    // A one-shot stops by itself at the ring's end.
    SB_SetCurrentPosition(soundState.channels[0].buffer, 0);
    SB_Play(soundState.channels[0].buffer, false);
    Play(kSoundRingBytes);
    EXPECT_EQ(Status(0), 0u);
    EXPECT_EQ(S_PlayRawData(0, kSoundRingBytes, raw.data()), kSoundErrInvalidParam);
}

TEST_F(SoundClock, QueueAndRecordsDieWithTheModule)
{
    const Bytes ogg = Sound(0.3);
    S_QueuePlay(S_LoadCurrentAsset(ogg));
    S_Shutdown();  // before the tick that would have started it
    EXPECT_TRUE(soundState.playQueue.empty());
    EXPECT_EQ(soundState.soundSlots[0].record, nullptr);
    Start();
    Update();
    EXPECT_FALSE(soundState.channels[1].playing);

    // Restarting silences what plays.
    S_QueuePlay(S_LoadCurrentAsset(ogg));
    Update();
    ASSERT_TRUE(soundState.channels[1].playing);
    S_Shutdown();
    Start();
    const Bytes heard = Play(8192);
    EXPECT_TRUE(AllBytes(heard.data(), heard.data() + heard.size(), 0));

    // A new asset in slot 0 stops whatever still plays or waits for the old one.
    SoundRecord *old = S_LoadCurrentAsset(ogg);
    S_QueuePlay(old);
    Update();
    ASSERT_TRUE(soundState.channels[1].playing);
    S_QueuePlay(old);
    SoundRecord *fresh = S_LoadCurrentAsset(ogg);
    EXPECT_FALSE(soundState.channels[1].playing);
    EXPECT_EQ(soundState.channels[1].stream, nullptr);
    EXPECT_TRUE(soundState.playQueue.empty());
    EXPECT_EQ(soundState.soundSlots[0].record, fresh);
    EXPECT_EQ(S_LoadCurrentAsset({}), nullptr);
}

TEST_F(SoundClock, UnplayableStreamsPlaySilenceForOneBlock)
{
    std::vector<Bytes> headers = Fixture_VorbisHeaders(1, 44100);
    headers[0][12] = 0xF4;  // 500 Hz: too slow to convert
    headers[0][13] = 0x01;
    const Bytes slow = Fixture_Concat(Fixture_OggPages(headers));
    const Bytes junk = Fixture_FromString("OggS and then nothing an Ogg reader could use");
    for (const Bytes *bytes : {&slow, &junk}) {
        FillRing(1, 0x55);
        SoundRecord record = RecordOver(*bytes);
        ASSERT_EQ(S_StartSound(-1, &record, true, 1), 1);
        const SoundChannel &c = soundState.channels[1];
        EXPECT_EQ(c.stream, nullptr);
        EXPECT_TRUE(c.playing);
        const Bytes heard = Play(kSoundBlockBytes);
        EXPECT_TRUE(AllBytes(heard.data(), heard.data() + heard.size(), 0));
        Update();
        EXPECT_TRUE(c.playing);
        Play(2);
        Update();
        EXPECT_FALSE(c.playing);
    }
}
