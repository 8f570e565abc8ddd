// Edits of the open archive through the handlers and the recording fake
// window, read back by the archive reader once saved.
#include "temp_dir.h"
#include "app/main_dialog.h"
#include "fake_window.h"
#include "fixtures.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

class EditCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        ViewerState_Reset();
        R_ResetState();
        InitMainDialog(window);
        ASSERT_TRUE(Fixture_WritePak(archive, {{{"scripts\\a.txt", Fixture_FromString("A")},
                                                {"scripts\\b.txt", Fixture_FromString("B")},
                                                {"textures\\t", Fixture_Texture(8, 8, 1, 1, Fixture_PictureColour)}}}));
        window.Open(archive);
    }
    void TearDown() override { ViewerState_Reset(); }

    void Run(int command, const std::string &line = "")
    {
        if (!line.empty())
            window.Click(line);
        OnCommand(window, command);
    }

    TempDir dir;
    const std::string archive = dir / "Mod.PAK";
    FakeWindow window;
};

// Add Files names its files under the folder typed, as one command; an added
// entry is previewed from its waiting bytes; Save As says what it wrote and
// shows the new set. (What edits and saves do to the archive is test_session.cpp's.)
TEST_F(EditCommands, AddFilesIsOneCommandAndSaveAsShowsTheNewSet)
{
    ASSERT_TRUE(Fixture_WriteFile(dir / "one.txt", Fixture_FromString("one")));
    ASSERT_TRUE(Fixture_WriteFile(dir / "two.txt", Fixture_FromString("two")));
    const Lines opened = window.entryLines;
    for (int round = 0; round < 2; ++round) {
        window.answers.push_back(dir / "one.txt\n" + dir / "two.txt");
        window.texts.push_back("mods/new");  // a folder typed with '/' and no end
        Run(CmdEditAddFiles);
        if (round == 0) {
            EXPECT_EQ(window.entryLines.size(), 5u);
            Run(CmdEditUndo);  // both files of the one command go
            EXPECT_EQ(window.entryLines, opened);
        }
    }
    Run(CmdEditRemove, "mods\\new\\one.txt [0003]");
    const Lines edited{"mods\\new\\two.txt [0003]", "scripts\\a.txt [0000]", "scripts\\b.txt [0001]",
                       "textures\\t [0002]"};
    EXPECT_EQ(window.entryLines, edited);
    window.Click("mods\\new\\two.txt [0003]");
    EXPECT_EQ(window.status[0].substr(0, 19), "added (not saved); ");
    EXPECT_EQ(viewer.preview.CurrentResource, Fixture_FromString("two"));
    EXPECT_FALSE(window.Enabled(CmdExportAll));  // it would read the archive without the edits

    window.answers.push_back(dir / "New.PAK");
    Run(CmdFileSaveAs);
    ASSERT_FALSE(window.messages.empty());
    EXPECT_EQ(window.messages.back(), "4 entries written");
    EXPECT_EQ(window.GetLabel(IdFileLabel), "New.PAK");
    EXPECT_EQ(window.entryLines, edited);  // the new set, opened from disk
    EXPECT_FALSE(window.Enabled(CmdEditUndo));
}

// A refused save says why, and the edits stay waiting.
TEST_F(EditCommands, AFailedSaveKeepsTheArchiveAndTheEdits)
{
    Run(CmdEditRemove, "scripts\\a.txt [0000]");
    // Another program gave the archive another index of as many records meanwhile.
    ASSERT_TRUE(Fixture_WritePak(archive, {{{"x", Bytes{1}}, {"y", Bytes{2}}, {"z", Bytes{3}}}}));
    Run(CmdFileSave);
    ASSERT_FALSE(window.messages.empty());
    EXPECT_NE(window.messages.back().find("changed on disk"), std::string::npos) << window.messages.back();
    EXPECT_TRUE(window.Enabled(CmdEditUndo));
    EXPECT_EQ(window.entryLines, (Lines{"scripts\\b.txt [0001]", "textures\\t [0002]"}));
}

}  // namespace
