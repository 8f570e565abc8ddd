// The module on real SDL drivers: no device at all, and the disk driver.
#include "sound_test_util.h"
#include "temp_dir.h"
#include "audio/audio.h"

#include <chrono>
#include <thread>

TEST(SoundDevice, NoDeviceLeavesTheModuleSilentButWorking)
{
    EnvVar driver("SDL_AUDIODRIVER", "quillon-no-such-driver");
    EXPECT_EQ(S_Init(), 0);
    EXPECT_STREQ(soundDecode.printBuffer,
                 "DirectSound failed to initialize.\n(creating, err result No sound driver is available for use, or "
                 "the given GUID is not a valid DirectSound device ID.)\n");
    const Bytes ogg = Tone(0.2);
    SoundRecord record = RecordOver(ogg);
    EXPECT_EQ(S_StartSound(-1, &record, true, -1), -1);
    EXPECT_NE(S_PlayRawData(1, 4, ogg.data()), kSoundOk);
    EXPECT_STREQ(soundDecode.printBuffer, "S_PlayRawData call without initializing sound system.\n");
    S_Shutdown();
}

// A stereo 22050 Hz sound fed by ticks reaches the disk driver as mono 44100 Hz, at its length and pitch.
TEST(SoundDevice, DiskDriverPlaysConvertedPcmForTheSoundsDuration)
{
    const Bytes ogg = Fixture_OggVorbis({.channels = 2, .rate = 22050, .channelStep = 0.0});  // one pitch
    const Bytes expected = RingPcm(ogg);
    EXPECT_NEAR(expected.size() / 88200.0, 1.0, 0.01);
    TempDir dir;
    const std::string out = dir / "disk.raw";
    {
        EnvVar driver("SDL_AUDIODRIVER", "disk"), file("SDL_DISKAUDIOFILE", out);
        EnvVar delay("SDL_DISKAUDIODELAY", "5");  // about 4.6 times real time
        ASSERT_EQ(S_Init(), 1) << soundDecode.printBuffer;
        S_QueuePlay(S_LoadCurrentAsset(ogg));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        S_Update(nullptr, nullptr);
        while (soundState.channels[1].playing && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            S_Update(nullptr, nullptr);
        }
        EXPECT_FALSE(soundState.channels[1].playing);
        S_Shutdown();
    }
    const Bytes heard = Fixture_ReadFile(out);
    EXPECT_NE(std::search(heard.begin(), heard.end(), expected.begin(), expected.end()), heard.end());
    int crossings = 0;  // 441 Hz: two zero crossings every 100 samples
    for (size_t i = 1; i < expected.size() / 2; ++i)
        crossings += (SampleAt(expected, i - 1) < 0) != (SampleAt(expected, i) < 0);
    EXPECT_NEAR(crossings, 882, 18);
}
