// The module on real SDL drivers: no device at all, and the disk driver,
// whose output file holds exactly what the mixer made of the rings.
#include "sound_test_util.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

namespace {

class EnvVar {
public:
    EnvVar(const char *name, const std::string &value) : name_(name) { setenv(name, value.c_str(), 1); }
    ~EnvVar() { unsetenv(name_); }

private:
    const char *name_;
};

int16_t SampleAt(const Bytes &b, size_t i)
{
    return static_cast<int16_t>(b[2 * i] | (b[2 * i + 1] << 8));
}

}  // namespace

TEST(SoundDevice, NoDeviceLeavesTheModuleSilentButWorking)
{
    EnvVar driver("SDL_AUDIODRIVER", "quillon-no-such-driver");
    EXPECT_EQ(S_Init(), 0);
    EXPECT_STREQ(soundState.printBuffer,
                 "DirectSound failed to initialize.\n(creating, err result No sound driver is available for use, or "
                 "the given GUID is not a valid DirectSound device ID.)\n");
    const Bytes ogg = Fixture_OggVorbis({});
    S_QueuePlay(S_LoadCurrentAsset(ogg));
    const float zero[3] = {};
    S_Update(zero, zero);
    SoundRecord record = RecordOver(ogg);
    EXPECT_EQ(S_StartSound(-1, &record, true, -1), -1);
    EXPECT_NE(S_PlayRawData(1, 4, ogg.data()), kSoundOk);
    EXPECT_STREQ(soundState.printBuffer, "S_PlayRawData call without initializing sound system.\n");
    S_Shutdown();
    EXPECT_TRUE(soundState.playQueue.empty());

    struct Code {
        int32_t code;
        const char *text;
    };
    const Code codes[] = {
        {0, "I don't know."},
        {1, "I don't know."},
        {static_cast<int32_t>(0x0878000A), "The buffer was created, but another 3-D algorithm was substituted."},
        {kSoundErrOutOfMemory, "The DirectSound subsystem could not allocate sufficient memory to complete the "
                               "caller's request."},
        {kSoundErrBadFormat, "The specified wave format is not supported."},
        {static_cast<int32_t>(0x88781161), "The requested object was not found."},
    };
    for (const Code &c : codes)
        EXPECT_STREQ(S_ErrorString(c.code), c.text);
}

// Each sound goes through the disk driver as the viewer plays it: queued,
// then fed by timer ticks until it is over. The file must hold the ring's
// mono 44100 Hz PCM, as long as the sound and at its pitch.
TEST(SoundDevice, DiskDriverPlaysConvertedPcmForTheSoundsDuration)
{
    struct Case {
        int channels;
        long rate;
        double seconds;
    };
    const Case cases[] = {{1, 44100, 1.0}, {2, 44100, 1.0}, {1, 22050, 1.0}, {2, 22050, 1.0}, {2, 22050, 4.0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels, " << c.rate << " Hz, " << c.seconds << " s");
        OggFixtureSound sound;
        sound.channels = c.channels;
        sound.rate = c.rate;
        sound.seconds = c.seconds;
        sound.channelStep = 0.0;  // one pitch in every channel, so that the mono mix keeps it
        sound.quality = 0.5f;
        const Bytes ogg = Fixture_OggVorbis(sound);
        const Bytes expected = RingPcm(ogg);
        const double seconds = expected.size() / 88200.0;
        EXPECT_NEAR(seconds, c.seconds, 0.01);

        const std::string out = TempPath("disk.raw");
        {
            EnvVar driver("SDL_AUDIODRIVER", "disk");
            EnvVar file("SDL_DISKAUDIOFILE", out);
            EnvVar delay("SDL_DISKAUDIODELAY", "5");  // about 4.6 times real time
            ASSERT_EQ(S_Init(), 1) << soundState.printBuffer;
            S_QueuePlay(S_LoadCurrentAsset(ogg));
            const float zero[3] = {};
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            S_Update(zero, zero);
            while (soundState.channels[1].playing && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                S_Update(zero, zero);
            }
            EXPECT_FALSE(soundState.channels[1].playing);
            S_Shutdown();
        }
        const Bytes heard = Fixture_ReadFile(out);
        std::filesystem::remove(out);

        // Silence before the sound starts, then exactly the ring's bytes.
        size_t start = 0;
        while (start + 1 < heard.size() && SampleAt(heard, start / 2) == 0)
            start += 2;
        size_t skip = 0;
        while (skip + 1 < expected.size() && SampleAt(expected, skip / 2) == 0)
            skip += 2;
        ASSERT_GE(heard.size(), start + expected.size() - skip);
        EXPECT_TRUE(std::equal(expected.begin() + static_cast<long>(skip), expected.end(),
                               heard.begin() + static_cast<long>(start)));

        // 441 Hz: two zero crossings every 100 samples.
        int crossings = 0;
        for (size_t i = 1; i < expected.size() / 2; ++i)
            crossings += (SampleAt(expected, i - 1) < 0) != (SampleAt(expected, i) < 0);
        EXPECT_NEAR(crossings, 2 * 441 * c.seconds, 0.02 * 2 * 441 * c.seconds);
    }
}
