// The transport's seek, position and length, on the fake clock and against
// the project's own decoding of the whole sound.
#include "sound_test_util.h"
#include "audio/audio.h"

namespace {

TEST(SoundSeek, PlaysFromTheChosenSampleAndReportsWhereItIs)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(S_Init(), 1) << soundDecode.printBuffer;
    SB_SetManualClock(soundState.device, true);
    const Bytes ogg = Tone(4.0);
    const Bytes whole = RingPcm(ogg);
    SoundRecord record = RecordOver(ogg);

    double length = 0;
    ASSERT_TRUE(S_SoundLength(&record, length));
    EXPECT_NEAR(length, static_cast<double>(whole.size() / 2) / 44100, 1e-6);
    double at = -1;
    EXPECT_FALSE(S_PlayingPosition(&record, at));

    // From the middle: the mixer's first samples are the middle's.
    const int channel = S_StartSound(-1, &record, true, -1, 2.0);
    ASSERT_GE(channel, 1);
    Bytes heard(4000);
    SB_Mix(soundState.device, heard.data(), static_cast<int>(heard.size()));
    EXPECT_TRUE(std::equal(heard.begin(), heard.end(), whole.begin() + 2 * 88200));
    ASSERT_TRUE(S_PlayingPosition(&record, at));
    EXPECT_NEAR(at, 2.0 + 2000.0 / 44100, 1e-9);
    // The position follows the cursor across the player's own bookkeeping.
    S_Update(nullptr, nullptr);
    SB_Mix(soundState.device, heard.data(), static_cast<int>(heard.size()));
    S_PlayingPosition(&record, at);
    EXPECT_NEAR(at, 2.0 + 4000.0 / 44100, 1e-9);

    // A queued request from a point, and past the end: nothing left to play.
    S_StopAll();
    S_QueuePlayFrom(&record, 1.0);
    S_Update(nullptr, nullptr);
    ASSERT_TRUE(S_PlayingPosition(&record, at));
    EXPECT_NEAR(at, 1.0, 1e-9);
    S_StopAll();
    S_StartSound(-1, &record, true, -1, 60.0);
    S_PlayingPosition(&record, at);
    EXPECT_NEAR(at, length, 1e-6);
    S_Shutdown();
}

}  // namespace
