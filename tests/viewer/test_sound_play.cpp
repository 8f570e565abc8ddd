// The main window's handlers with the real sound module: play on click heard
// through SDL's disk driver (its file holds exactly what the mixer made of the
// rings), silence on every selection change and File > Open, nothing with
// "&Play on click" unticked, and a silent but working viewer with no device.
#include "../sound/sound_test_util.h"
#include "app/main_dialog.h"
#include "app/sound_services.h"
#include "fake_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

class EnvVar {
public:
    EnvVar(const char *name, const std::string &value) : name_(name) { setenv(name, value.c_str(), 1); }
    ~EnvVar() { unsetenv(name_); }
    EnvVar(const EnvVar &) = delete;
    EnvVar &operator=(const EnvVar &) = delete;

private:
    const char *name_;
};

int16_t SampleAt(const Bytes &b, size_t byte)
{
    return static_cast<int16_t>(b[byte] | (b[byte + 1] << 8));
}

// Bytes of silence at the start.
size_t LeadingSilence(const Bytes &b)
{
    size_t n = 0;
    while (n + 1 < b.size() && SampleAt(b, n) == 0)
        n += 2;
    return n;
}

bool AllSilent(const Bytes &b)
{
    return std::all_of(b.begin(), b.end(), [](uint8_t v) { return v == 0; });
}

Bytes Sound(int channels, long rate, double seconds)
{
    OggFixtureSound sound;
    sound.channels = channels;
    sound.rate = rate;
    sound.seconds = seconds;
    sound.channelStep = 0.0;  // one pitch in every channel
    return Fixture_OggVorbis(sound);
}

const Bytes kMono44 = Sound(1, 44100, 0.5);
const Bytes kStereo44 = Sound(2, 44100, 0.5);
const Bytes kMono22 = Sound(1, 22050, 0.5);
const Bytes kStereo22 = Sound(2, 22050, 0.5);
const Bytes kLong = Sound(1, 44100, 2.0);

class ViewerSound : public ::testing::Test {
protected:
    void SetUp() override
    {
        ViewerState_Reset();
        App_InstallSoundServices();
        archive_ = TempPath("S.PAK");
        FixtureArchive a;
        const std::pair<const char *, Bytes> entries[] = {
            {"mono44.ogg", kMono44}, {"stereo44.ogg", kStereo44}, {"mono22.ogg", kMono22},
            {"stereo22.ogg", kStereo22}, {"long.ogg", kLong},       {"notes.txt", Fixture_FromString("words")},
        };
        for (const auto &[name, bytes] : entries) {
            FixtureEntry e;
            e.name = name;
            e.bytes = bytes;
            a.entries.push_back(e);
        }
        ASSERT_TRUE(Fixture_WritePak(archive_, a));
    }
    void TearDown() override
    {
        ViewerState_Reset();
        std::filesystem::remove(archive_);
        for (const std::string &f : outputs_)
            std::filesystem::remove(f);
    }

    // Dialog initialisation (which starts the module) and File > Open.
    void Start()
    {
        InitMainDialog(window_);
        OpenArchive();
    }
    void OpenArchive()
    {
        window_.answers.push_back(archive_);
        OnCommand(window_, CmdFileOpen);
        ASSERT_EQ(window_.entryLines.size(), 6u);
    }
    void Select(const std::string &name, int record)
    {
        char line[96];
        snprintf(line, sizeof line, "%s [%04d]", name.c_str(), record);
        window_.Select(line);
        ASSERT_GE(window_.selection, 0) << line;
        OnSelchangeEntryList(window_);
    }
    // A file of this test for the disk driver to write.
    std::string Output(const std::string &name)
    {
        outputs_.push_back(TempPath(name));
        return outputs_.back();
    }

    // Timer ticks, 1 ms apart, while `more` holds and the time lasts.
    template <typename More>
    void TickWhile(More more, std::chrono::milliseconds limit)
    {
        const auto end = Clock::now() + limit;
        do {
            OnFrameTimer();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (more() && Clock::now() < end);
    }
    void TickFor(std::chrono::milliseconds time)
    {
        TickWhile([] { return true; }, time);
    }

    FakeWindow window_;
    std::string archive_;
    std::vector<std::string> outputs_;
};

// The disk driver paces its callbacks; 5 ms for 1024 samples runs it at
// about 4.6 times real time.
constexpr const char *kDiskDelayMs = "5";

TEST_F(ViewerSound, PlayOnClickWritesTheConvertedSoundForItsDuration)
{
    const struct {
        const char *name;
        int record;
        const Bytes &ogg;
    } cases[] = {
        {"mono44.ogg", 0, kMono44},
        {"stereo44.ogg", 1, kStereo44},
        {"mono22.ogg", 2, kMono22},
        {"stereo22.ogg", 3, kStereo22},
    };
    EnvVar driver("SDL_AUDIODRIVER", "disk");
    EnvVar delay("SDL_DISKAUDIODELAY", kDiskDelayMs);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = Output(c.name + std::string(".raw"));
        {
            EnvVar file("SDL_DISKAUDIOFILE", out);
            Start();
            ASSERT_NE(soundState.device, nullptr) << soundState.printBuffer;
            Select(c.name, c.record);
            ASSERT_NE(viewer.preview.soundRecord, nullptr);
            TickWhile([] { return soundState.channels[1].playing; }, std::chrono::seconds(10));
            EXPECT_FALSE(soundState.channels[1].playing) << "still playing after 10 s";
            ShutdownViewer(window_);
        }

        // What the ring was fed: the sound as mono 44100 Hz, as long as it lasts.
        const Bytes expected = RingPcm(c.ogg);
        EXPECT_NEAR(expected.size() / 88200.0, 0.5, 0.01);
        const size_t skip = LeadingSilence(expected);

        // The file: silence until the first tick, exactly those bytes, then
        // only the silence behind them.
        const Bytes heard = Fixture_ReadFile(out);
        const size_t start = LeadingSilence(heard);
        ASSERT_GE(heard.size(), start + expected.size() - skip);
        EXPECT_TRUE(std::equal(expected.begin() + static_cast<long>(skip), expected.end(),
                               heard.begin() + static_cast<long>(start)));
        EXPECT_TRUE(AllSilent(Bytes(heard.begin() + static_cast<long>(start + expected.size() - skip), heard.end())));
    }
}

// A selection change or File > Open while a sound plays restarts the module:
// the sound stops at once, and what the device plays next is silence.
TEST_F(ViewerSound, SelectionChangeAndFileOpenSilenceTheSound)
{
    EnvVar driver("SDL_AUDIODRIVER", "disk");
    EnvVar delay("SDL_DISKAUDIODELAY", kDiskDelayMs);
    const std::string first = Output("first.raw"), second = Output("second.raw"), third = Output("third.raw");
    const Bytes expected = RingPcm(kLong);
    const size_t skip = LeadingSilence(expected);

    EnvVar file("SDL_DISKAUDIOFILE", first);
    Start();
    Select("long.ogg", 4);
    // Until a quarter of the sound has been mixed.
    TickWhile([&] { return soundState.channels[1].played < expected.size() / 4; }, std::chrono::seconds(5));
    ASSERT_TRUE(soundState.channels[1].playing);

    setenv("SDL_DISKAUDIOFILE", second.c_str(), 1);
    Select("notes.txt", 5);
    EXPECT_FALSE(soundState.channels[1].playing);
    EXPECT_TRUE(soundState.playQueue.empty());
    TickFor(std::chrono::milliseconds(100));
    EXPECT_FALSE(soundState.channels[1].playing);
    Select("long.ogg", 4);
    TickWhile([&] { return soundState.channels[1].played < expected.size() / 4; }, std::chrono::seconds(5));
    ASSERT_TRUE(soundState.channels[1].playing);

    setenv("SDL_DISKAUDIOFILE", third.c_str(), 1);
    OpenArchive();
    EXPECT_EQ(viewer.preview.soundRecord, nullptr);
    EXPECT_FALSE(soundState.channels[1].playing);
    TickFor(std::chrono::milliseconds(100));
    ShutdownViewer(window_);

    // First device: the start of the sound, cut before its end.
    const Bytes a = Fixture_ReadFile(first);
    const size_t aStart = LeadingSilence(a);
    ASSERT_GT(a.size(), aStart + expected.size() / 8);
    ASSERT_LT(a.size() - aStart, expected.size() - skip);
    EXPECT_TRUE(std::equal(a.begin() + static_cast<long>(aStart), a.end(), expected.begin() + static_cast<long>(skip)));

    // Second device: silence while the text was selected, then the sound
    // again from its beginning.
    const Bytes b = Fixture_ReadFile(second);
    const size_t bStart = LeadingSilence(b);
    EXPECT_GE(bStart, 2048u);
    ASSERT_GT(b.size(), bStart + expected.size() / 8);
    ASSERT_LT(b.size() - bStart, expected.size() - skip);
    EXPECT_TRUE(std::equal(b.begin() + static_cast<long>(bStart), b.end(), expected.begin() + static_cast<long>(skip)));

    // Third device, after File > Open: nothing but silence.
    const Bytes c = Fixture_ReadFile(third);
    EXPECT_FALSE(c.empty());
    EXPECT_TRUE(AllSilent(c));
}

// Unticked, a selected sound queues nothing; ticking the box later does not
// start it, selecting it again does.
TEST_F(ViewerSound, PlayOnClickUntickedPlaysNothing)
{
    EnvVar driver("SDL_AUDIODRIVER", "disk");
    EnvVar delay("SDL_DISKAUDIODELAY", kDiskDelayMs);
    const std::string out = Output("unticked.raw");
    EnvVar file("SDL_DISKAUDIOFILE", out);
    Start();
    window_.SetPlayOnClickChecked(false);
    Select("mono44.ogg", 0);
    EXPECT_TRUE(window_.Shown(IdPlayOnClick));
    EXPECT_EQ(viewer.preview.soundRecord, nullptr);
    EXPECT_TRUE(soundState.playQueue.empty());
    TickFor(std::chrono::milliseconds(100));
    window_.SetPlayOnClickChecked(true);
    TickFor(std::chrono::milliseconds(100));
    EXPECT_FALSE(soundState.channels[1].playing);
    ShutdownViewer(window_);
    const Bytes heard = Fixture_ReadFile(out);
    EXPECT_FALSE(heard.empty());
    EXPECT_TRUE(AllSilent(heard));

    Start();
    Select("mono44.ogg", 0);
    OnFrameTimer();
    EXPECT_TRUE(soundState.channels[1].playing);
    ShutdownViewer(window_);
}

// No audio device: every handler runs as usual and nothing plays.
TEST_F(ViewerSound, NoAudioDeviceKeepsTheViewerWorkingSilently)
{
    EnvVar driver("SDL_AUDIODRIVER", "quillon-no-such-driver");
    Start();
    EXPECT_EQ(soundState.device, nullptr);
    for (int round = 0; round < 2; ++round) {
        Select("stereo22.ogg", 3);
        EXPECT_EQ(window_.GetLabel(IdInfoLine), "Resource: Ogg Vorbis (audio) (0.00MB)");
        EXPECT_TRUE(window_.Shown(IdPlayOnClick));
        EXPECT_TRUE(window_.Enabled(CmdExportInterpreted));
        TickFor(std::chrono::milliseconds(20));
        EXPECT_FALSE(soundState.channels[1].playing);
        Select("notes.txt", 5);
        EXPECT_EQ(window_.textView, "words");
        EXPECT_TRUE(window_.Shown(IdTextView));
        TickFor(std::chrono::milliseconds(20));
    }
    Select("long.ogg", 4);
    OpenArchive();
    EXPECT_EQ(window_.GetLabel(IdInfoLine), "No resource selected.");
    TickFor(std::chrono::milliseconds(20));
    ShutdownViewer(window_);
    EXPECT_TRUE(window_.messages.empty());
    EXPECT_EQ(soundState.channelCount, 0);
    EXPECT_TRUE(soundState.playQueue.empty());
}

}  // namespace
