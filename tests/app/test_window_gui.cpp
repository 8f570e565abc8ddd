// The real wx main window under a virtual display, driven with real input.
#include "temp_dir.h"
#include "app/app_texts.h"
#include "app/dialogs.h"
#include "seam_window.h"
#include "test_data.h"

#include <gtest/gtest.h>
#include <quillon_version.h>

#include <wx/checkbox.h>
#include <wx/menu.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> gSteps;

class ViewerWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!StartWx())
            GTEST_SKIP() << "no display";
        ASSERT_TRUE(Fixture_WritePak(
            archive, {{{"materials/stone_wall.mat", MaterialBytes("material stone_wall\n{\n\tcull back\n}\n")},
                       {"textures/stone_wall_d.tex", Fixture_Texture(64, 64, 1, 1, Fixture_PictureColour)},
                       {"scripts/readme.txt", Fixture_FromString("Line one\r\nLine two\r\n")},
                       {"sounds/bell.ogg", Fixture_FromString("OggS and then some bytes")},
                       {"data/blob.bin", Bytes{0x80, 0x81, 0x82, 0x83}}}}));
        NewFrame();
    }
    void TearDown() override
    {
        if (!StartWx())
            return;
        if (frame && !frame->HasEnded())
            OnCommand(*frame, CmdCancel);
        Pump(50);
        ViewerState_Reset();
    }

    void NewFrame()
    {
        ViewerState_Reset();
        gSteps.clear();
        viewer.services.S_Shutdown = [] { gSteps.push_back("S_Shutdown"); };
        viewer.services.GL_Release = [] { gSteps.push_back("GL_Release"); };
        frame = new SeamWindow();
        frame->Show();
        Pump(100);
        frame->answers.push_back(archive);
        Menu(CmdFileOpen);
    }
    void Menu(int command)
    {
        wxCommandEvent event(wxEVT_MENU, Command_ToWxId(command));
        event.SetEventObject(frame);
        frame->GetEventHandler()->ProcessEvent(event);
        Pump(20);
    }
    bool Click(const std::string &text) { return ClickLine(*frame, text); }
    void Key(int key)
    {
        frame->EntryList()->SetFocus();
        Pump(30);
        wxUIActionSimulator().Char(key);
    }
    std::string Info() const { return frame->GetLabel(IdInfoLine); }
    bool Shown(ControlId id) const { return frame->Control(id)->IsShown(); }

    TempDir dir;
    const std::string archive = dir / "Sample.PAK";
    SeamWindow *frame = nullptr;
};

TEST_F(ViewerWindowTest, OpensAnArchiveAndShowsTheSelectedEntry)
{
    EXPECT_EQ(frame->GetTitle(), "Quillon");
    EXPECT_EQ(frame->GetLabel(IdFileLabel), "Sample.PAK");
    ASSERT_EQ(frame->EntryList()->GetItemCount(), 5);
    EXPECT_EQ(frame->EntryList()->LineText(0), "data/blob.bin [0004]");

    ASSERT_TRUE(Click("scripts/readme.txt [0002]"));
    EXPECT_EQ(Info(), "Resource: Text (0.00MB)");
    EXPECT_TRUE(Shown(IdTextView) && !Shown(IdGlView));
    EXPECT_EQ(static_cast<wxTextCtrl *>(frame->Control(IdTextView))->GetLineText(1), "Line two");

    ASSERT_TRUE(Click("textures/stone_wall_d.tex [0001]"));
    EXPECT_EQ(Info(), "Resource: Texture (0.00MB)");
    EXPECT_TRUE(Shown(IdGlView) && !Shown(IdTextView));

    ASSERT_TRUE(Click("sounds/bell.ogg [0003]"));
    EXPECT_TRUE(Shown(IdPlayOnClick) && static_cast<wxCheckBox *>(frame->Control(IdPlayOnClick))->GetValue());
    Key(WXK_UP);  // the selection moves and the handler follows
    EXPECT_TRUE(PumpUntil(2000, [&] { return Info() == "Resource: Text (0.00MB)"; })) << Info();

    ASSERT_TRUE(Click("materials/stone_wall.mat [0000]"));
    EXPECT_EQ(Info(), "Resource: Material (0.00MB)");
}

TEST_F(ViewerWindowTest, ViewTogglesAndAccelerators)
{
    Key(WXK_F2);  // nothing selected: Raw is gray
    ASSERT_TRUE(Click("textures/stone_wall_d.tex [0001]"));
    EXPECT_EQ(frame->dialogs.size(), 1u);
    wxMenuBar *bar = frame->GetMenuBar();
    Menu(CmdViewTextures);
    EXPECT_FALSE(bar->IsChecked(Command_ToWxId(CmdViewTextures)) || Shown(IdGlView));
    Menu(CmdViewTextures);
    EXPECT_TRUE(Shown(IdGlView));

    Key(WXK_F2);
    ASSERT_TRUE(PumpUntil(1000, [&] { return frame->dialogs.size() == 2; }));
    EXPECT_EQ(frame->dialogs[1].defaultExtension, ".raw");
    Key(WXK_F3);
    ASSERT_TRUE(PumpUntil(1000, [&] { return frame->dialogs.size() == 3; }));
    EXPECT_EQ(frame->dialogs[2].defaultExtension, ".dds");

    // No interpreted form: the item is gray and F3 does nothing; nor does F1.
    ASSERT_TRUE(Click("data/blob.bin [0004]"));
    EXPECT_FALSE(bar->IsEnabled(Command_ToWxId(CmdExportInterpreted)));
    Key(WXK_F3);
    Key(WXK_F1);
    Pump(200);
    EXPECT_EQ(std::pair(frame->dialogs.size(), frame->aboutRuns), std::pair(size_t(3), 0));
    Menu(CmdAbout);
    EXPECT_EQ(frame->aboutRuns, 1);
}

// Every client size leaves the same margins (the arithmetic is test_handlers.cpp's).
TEST_F(ViewerWindowTest, LayoutFollowsTheClientSize)
{
    auto margins = [&] {
        int cx = 0, cy = 0;
        frame->GetClientSize(cx, cy);
        const ControlRect pane = frame->GetControlRect(IdGlView), list = frame->GetControlRect(IdEntryList);
        EXPECT_EQ(frame->GetControlRect(IdTextView), pane) << cx;
        return std::tuple(cx - pane.width, cy - pane.height, cy - list.height, list.width);
    };
    const auto first = margins();
    for (wxSize size : {wxSize(640, 480), wxSize(1000, 700)}) {
        frame->SetClientSize(size);
        Pump(80);
        EXPECT_EQ(margins(), first) << size.x;
    }
}

TEST_F(ViewerWindowTest, DumpDialogStartsFromItsDefaultsAndEndsOnAWrittenDump)
{
    ASSERT_TRUE(Click("data/blob.bin [0004]"));
    CBinTextDlg dump(frame, *frame);
    EXPECT_EQ(dump.GetTitle(), "Binary-Text Dump");
    for (int i = 0; i < DumpFormatCount; ++i)
        EXPECT_EQ(dump.FormatButton(i)->GetValue(), i == DumpUnsignedByte) << i;
    EXPECT_TRUE(!dump.BigEndianBox()->GetValue() && dump.HexadecimalBox()->GetValue());
    EXPECT_EQ(dump.OffsetBox()->GetValue(), "0");

    dump.FormatButton(DumpShort)->SetValue(true);  // one group: the others clear
    EXPECT_FALSE(dump.FormatButton(DumpUnsignedByte)->GetValue());
    dump.OffsetBox()->ChangeValue("  2xyz");
    // OK with a cancelled save keeps the dialog; OK that writes ends it.
    const std::string out = dir / "dump.txt";
    frame->answers = {std::nullopt, out};
    wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
    dump.OnOK(ok);
    EXPECT_FALSE(fs::exists(out));
    dump.CallAfter([&] { dump.OnOK(ok); });
    EXPECT_EQ(dump.ShowModal(), wxID_OK);
    const Bytes written = Fixture_ReadFile(out);
    EXPECT_EQ(std::string(written.begin(), written.end()), "00000002: ffff8382");
}

TEST_F(ViewerWindowTest, AboutBoxShowsTheHelpText)
{
    CAboutDlg about(frame);
    EXPECT_EQ(about.GetTitle(), "About Quillon (version 0.1)");
    auto *help = dynamic_cast<wxTextCtrl *>(about.FindWindow(1004));
    ASSERT_NE(help, nullptr);
    EXPECT_FALSE(help->IsEditable());
    wxString expected = wxString::FromUTF8(kHelpText);
    expected.Replace("\r\n", "\n");
    EXPECT_EQ(help->GetValue(), expected);
    // The version stands on a line of its own, clear of the template's controls.
    wxWindow *version = nullptr;
    for (wxWindow *child : about.GetChildren())
        if (child->GetLabel() == "Version " QUILLON_VERSION)
            version = child;
    ASSERT_NE(version, nullptr);
    EXPECT_TRUE(wxRect(about.GetClientSize()).Contains(version->GetRect()));
    for (wxWindow *child : about.GetChildren())
        EXPECT_TRUE(child == version || !child->GetRect().Intersects(version->GetRect())) << child->GetLabel();
}

// Escape, closing the window and File > "E&xit" all end in the same shut-down.
TEST_F(ViewerWindowTest, EveryWayOutRunsTheShutDown)
{
    for (int way = 0; way < 3; ++way) {
        if (way > 0)
            NewFrame();
        ASSERT_TRUE(Click("scripts/readme.txt [0002]"));
        gSteps.clear();
        wxWeakRef<wxWindow> alive(frame);
        if (way == 0)
            Key(WXK_ESCAPE);
        else if (way == 1)
            frame->Close();
        else
            Menu(CmdExit);
        EXPECT_TRUE(PumpUntil(2000, [&] { return !alive; })) << way;
        EXPECT_EQ(gSteps, (std::vector<std::string>{"S_Shutdown", "GL_Release"})) << way;
        EXPECT_EQ(viewer.mainDialog, nullptr);
        EXPECT_FALSE(viewer.mainPak.hasIndex);
        frame = nullptr;
    }
}

}  // namespace
