// The sound module on a fake clock: the tests move the play cursors with the mixer.
#include "sound_test_util.h"
#include "audio/audio.h"

#include <cstring>

namespace {

class SoundClock : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_EQ(S_Init(), 1) << soundDecode.printBuffer;
        SB_SetManualClock(soundState.device, true);
    }
    void TearDown() override { S_Shutdown(); }

    // Moves every play cursor on by `bytes`; what the mixer made of them.
    static Bytes Play(uint32_t bytes)
    {
        Bytes out(bytes);
        SB_Mix(soundState.device, out.data(), static_cast<int>(bytes));
        return out;
    }

    static void Tick() { S_Update(nullptr, nullptr); }

    // The first `bytes` of a channel's ring, after `fill` (when given) was written over all of it.
    static Bytes Ring(int channel, uint32_t bytes, int fill = -1)
    {
        SoundBuffer *ring = soundState.channels[channel].buffer;
        void *a, *b;
        uint32_t na, nb;
        if (SB_Lock(ring, 0, kSoundRingBytes, &a, &na, &b, &nb) != kSoundOk)
            return {};
        if (fill >= 0)
            memset(a, fill, na);
        Bytes out(static_cast<uint8_t *>(a), static_cast<uint8_t *>(a) + bytes);
        SB_Unlock(ring);
        return out;
    }
};

bool All(const Bytes &b, size_t from, size_t to, uint8_t value)
{
    return std::all_of(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(to),
                       [value](uint8_t x) { return x == value; });
}

}  // namespace

// The first fill writes one block: the sound, then zeros; all zeros for a
// stream that does not open or whose rate cannot be converted, rather than
// what the ring last held. A sound is over once no more than 10,000 written
// bytes are left ahead of the cursor; the silent block plays out whole.
TEST_F(SoundClock, FirstFillPadsWithZerosAndTheSoundEndsNearItsEnd)
{
    std::vector<Bytes> headers = Fixture_VorbisHeaders(1, 44100);
    headers[0][12] = 0xF4;  // 500 Hz
    headers[0][13] = 0x01;
    const struct {
        Bytes ogg;
        uint32_t lastPlaying;  // bytes played at the last tick that still plays
    } cases[] = {
        {Tone(0.5), kSoundBlockBytes - 10002},
        {Fixture_Concat(Fixture_OggPages(headers)), kSoundBlockBytes},
        {Fixture_FromString("OggS and then nothing an Ogg reader could use"), kSoundBlockBytes},
    };
    for (const auto &c : cases) {
        const Bytes pcm = RingPcm(c.ogg);
        ASSERT_TRUE(pcm.empty() || (pcm.size() > 40000 && pcm.size() < kSoundBlockBytes));
        Ring(1, 0, 0x55);
        S_QueuePlay(S_LoadCurrentAsset(c.ogg));
        Tick();
        const SoundChannel &ch = soundState.channels[1];
        ASSERT_TRUE(ch.playing);
        EXPECT_EQ(ch.stream != nullptr, !pcm.empty());
        const Bytes ring = Ring(1, kSoundBlockBytes + 64);
        EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), ring.begin()));
        EXPECT_TRUE(All(ring, pcm.size(), kSoundBlockBytes, 0)) << c.lastPlaying;
        EXPECT_TRUE(pcm.empty() || All(ring, kSoundBlockBytes, ring.size(), 0x55));  // one block, no more

        Play(c.lastPlaying);
        Tick();
        EXPECT_TRUE(ch.playing);
        Play(2);
        Tick();
        EXPECT_TRUE(!ch.playing && !ch.stream);
        uint32_t status = 1;
        SB_GetStatus(ch.buffer, &status);
        EXPECT_EQ(status, 0u);  // the ring no longer loops
    }
}

// A block is written once no more than 131,072 bytes are left ahead; the
// cursor's wrap at the ring's end counts as forward movement.
TEST_F(SoundClock, LongSoundStreamsThroughTheRing)
{
    const Bytes ogg = Tone(30.0), pcm = RingPcm(ogg);  // longer than the 2 MiB ring
    SoundRecord record = RecordOver(ogg);
    ASSERT_EQ(S_StartSound(-1, &record, true, 5), 1);
    const SoundChannel &c = soundState.channels[1];
    Bytes heard;
    uint32_t advanced = 0;
    const uint32_t step = 6000;  // less than the end margin, so the ring never runs dry here
    while (c.playing && heard.size() < pcm.size() + kSoundRingBytes) {
        const Bytes out = Play(step);
        heard.insert(heard.end(), out.begin(), out.end());
        advanced += step;
        const uint32_t before = c.written;
        const int64_t ahead = std::max<int64_t>(0, int64_t(before) - advanced);
        Tick();
        if (!c.playing) {
            EXPECT_TRUE(ahead <= 10000 && before >= pcm.size()) << ahead << " ahead, " << before << " written";
        } else if (ahead > 131072) {
            EXPECT_EQ(c.written, before);
        } else {
            EXPECT_TRUE(c.written >= before + kSoundBlockBytes || before >= pcm.size()) << advanced;
        }
        EXPECT_TRUE(!c.playing || c.played == advanced);
    }
    EXPECT_FALSE(c.playing);
    EXPECT_GT(advanced, kSoundRingBytes);
    ASSERT_GE(heard.size(), pcm.size());
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), heard.begin()));
    EXPECT_TRUE(All(heard, pcm.size(), heard.size(), 0));
}

TEST_F(SoundClock, ChannelChoice)
{
    const Bytes ogg = Tone(0.2);
    SoundRecord record = RecordOver(ogg);
    EXPECT_EQ(S_StartSound(-1, &record, true, 1), 1);
    EXPECT_EQ(S_StartSound(-1, &record, true, 2), -1);  // channel 1 may not be taken; 0 is never chosen
    EXPECT_EQ(S_StartSound(0, &record, true, 3), 0);    // a named channel is used as it is
    EXPECT_EQ(S_StartSound(2, &record, true, 3), -1);   // beyond the channels created

    // With a third channel: the playing one with the least to play is taken over.
    ASSERT_EQ(SB_CreateBuffer(soundState.device, kSoundRingBytes, &soundState.channels[2].buffer), kSoundOk);
    soundState.channelCount = 3;
    EXPECT_EQ(S_StartSound(1, &record, false, 4), 1);
    EXPECT_EQ(S_StartSound(2, &record, false, 5), 2);
    soundState.channels[2].endBytes = 2000;  // as raw PCM of 1000 samples has
    EXPECT_EQ(S_StartSound(-1, &record, false, 6), 2);
    soundState.channels[2].noSteal = true;
    EXPECT_EQ(S_StartSound(-1, &record, false, 7), 1);
    soundState.channels[1].noSteal = true;
    EXPECT_EQ(S_StartSound(-1, &record, false, 8), -1);
    SB_Stop(soundState.channels[2].buffer);              // an idle channel is taken first
    EXPECT_EQ(S_StartSound(-1, &record, false, 9), 2);
}

// Nothing may start from or keep playing a record that was released.
TEST_F(SoundClock, QueueAndRecordsDieWithTheModule)
{
    const Bytes ogg = Tone(0.3);
    S_QueuePlay(S_LoadCurrentAsset(ogg));
    S_Shutdown();  // before the tick that would have started it
    SetUp();
    Tick();
    EXPECT_FALSE(soundState.channels[1].playing);

    // A new asset in slot 0 stops whatever still plays or waits for the old one.
    SoundRecord *old = S_LoadCurrentAsset(ogg);
    S_QueuePlay(old);
    Tick();
    ASSERT_TRUE(soundState.channels[1].playing);
    S_QueuePlay(old);
    S_LoadCurrentAsset(ogg);
    EXPECT_TRUE(!soundState.channels[1].playing && !soundState.channels[1].stream && soundState.playQueue.empty());
}
