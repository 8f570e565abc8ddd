// The handlers with the real sound module on SDL's disk driver: a clicked
// sound is heard, and a selection change silences it.
#include "temp_dir.h"
#include "sound_test_util.h"
#include "app/main_dialog.h"
#include "app/services.h"
#include "audio/audio.h"
#include "fake_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Bytes of silence before the first sample that is not zero.
size_t LeadingSilence(const Bytes &b)
{
    return size_t(std::find_if(b.begin(), b.end(), [](uint8_t v) { return v != 0; }) - b.begin()) & ~size_t(1);
}

// The module restarts on a selection change: the first device file holds the
// sound's start, cut short; the second, nothing but silence.
TEST(ViewerSound, ClickedSoundIsHeardUntilTheSelectionChanges)
{
    TempDir dir;
    const Bytes ogg = Fixture_OggVorbis({.seconds = 2.0});
    ASSERT_TRUE(Fixture_WritePak(dir / "S.PAK", {{{"long.ogg", ogg}, {"notes.txt", Fixture_FromString("words")}}}));
    EnvVar driver("SDL_AUDIODRIVER", "disk"), delay("SDL_DISKAUDIODELAY", "5");  // about 4.6 times real time
    EnvVar file("SDL_DISKAUDIOFILE", dir / "first.raw");
    ViewerState_Reset();
    R_ResetState();
    App_InstallServices();
    FakeWindow window;
    InitMainDialog(window);
    ASSERT_NE(soundState.device, nullptr) << soundDecode.printBuffer;
    window.Open(dir / "S.PAK");

    const auto tick = [] {
        OnFrameTimer();
        std::this_thread::sleep_for(1ms);
    };
    const Bytes expected = RingPcm(ogg);
    window.Click("long.ogg [0000]");
    for (auto end = std::chrono::steady_clock::now() + 5s;
         soundState.channels[1].played < expected.size() / 4 && std::chrono::steady_clock::now() < end;)
        tick();
    EXPECT_TRUE(soundState.channels[1].playing);
    setenv("SDL_DISKAUDIOFILE", (dir / "second.raw").c_str(), 1);
    window.Click("notes.txt [0001]");
    EXPECT_FALSE(soundState.channels[1].playing);
    for (int i = 0; i < 100; ++i)
        tick();
    ShutdownViewer(window);
    ViewerState_Reset();
    R_ResetState();

    const Bytes a = Fixture_ReadFile(dir / "first.raw"), b = Fixture_ReadFile(dir / "second.raw");
    const size_t start = LeadingSilence(a), skip = LeadingSilence(expected);
    ASSERT_GT(a.size(), start + expected.size() / 8);
    ASSERT_LT(a.size() - start, expected.size() - skip);
    EXPECT_TRUE(std::equal(a.begin() + long(start), a.end(), expected.begin() + long(skip)));
    EXPECT_FALSE(b.empty());
    EXPECT_TRUE(std::all_of(b.begin(), b.end(), [](uint8_t v) { return v == 0; }));
}

}  // namespace
