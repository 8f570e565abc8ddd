// The real wx main window under a virtual display, driven with real input.
#include "app/app_texts.h"
#include "app/dialogs.h"
#include "window_test.h"

#include <quillon_version.h>

#include <wx/checkbox.h>
#include <wx/menu.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/weakref.h>

#include <filesystem>

namespace {

TEST_F(WindowTest, OpensAnArchiveAndShowsTheSelectedEntry)
{
    NewFrame();
    EXPECT_EQ(frame->GetTitle(), "Quillon");
    EXPECT_EQ(frame->GetLabel(IdFileLabel), "Sample.PAK");
    ASSERT_EQ(frame->EntryList()->GetItemCount(), 5);
    EXPECT_EQ(frame->EntryList()->LineText(0), "data\\blob.bin [0004]");

    ASSERT_TRUE(Click("scripts\\readme.txt [0003]"));
    EXPECT_TRUE(Shown(IdTextView) && !Shown(IdGlView));
    EXPECT_EQ(static_cast<wxTextCtrl *>(frame->Control(IdTextView))->GetLineText(1), "Line two");

    ASSERT_TRUE(Click("textures\\env\\stone_wall_d [0000]"));
    EXPECT_TRUE(Shown(IdGlView) && !Shown(IdTextView));

    ASSERT_TRUE(Click("sounds\\bell.ogg [0002]"));
    EXPECT_TRUE(Shown(IdPlayOnClick) && static_cast<wxCheckBox *>(frame->Control(IdPlayOnClick))->GetValue());
    Key(WXK_UP);  // the selection moves and the handler follows
    EXPECT_TRUE(PumpUntil(2000, [] { return viewer.selectedEntry == 3; })) << viewer.selectedEntry;
}

TEST_F(WindowTest, ViewTogglesAndAccelerators)
{
    NewFrame();
    Key(WXK_F2);  // nothing selected: Raw is gray
    ASSERT_TRUE(Click("textures\\env\\stone_wall_d [0000]"));
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
    ASSERT_TRUE(Click("data\\blob.bin [0004]"));
    EXPECT_FALSE(bar->IsEnabled(Command_ToWxId(CmdExportInterpreted)));
    Key(WXK_F3);
    Key(WXK_F1);
    Pump(200);
    EXPECT_EQ(std::pair(frame->dialogs.size(), frame->aboutRuns), std::pair(size_t(3), 0));
    Menu(CmdAbout);
    EXPECT_EQ(frame->aboutRuns, 1);
}

// Every client size leaves the same margins (the arithmetic is test_handlers.cpp's).
TEST_F(WindowTest, LayoutFollowsTheClientSize)
{
    NewFrame();
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

TEST_F(WindowTest, DumpDialogStartsFromItsDefaultsAndEndsOnAWrittenDump)
{
    NewFrame();
    ASSERT_TRUE(Click("data\\blob.bin [0004]"));
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
    EXPECT_FALSE(std::filesystem::exists(out));
    dump.CallAfter([&] { dump.OnOK(ok); });
    EXPECT_EQ(dump.ShowModal(), wxID_OK);
    const Bytes written = Fixture_ReadFile(out);
    EXPECT_EQ(std::string(written.begin(), written.end()), "00000002: ffff8382");
}

TEST_F(WindowTest, AboutBoxShowsTheHelpText)
{
    NewFrame();
    CAboutDlg about(frame);
    EXPECT_EQ(about.GetTitle(), "About Quillon (version 0.1)");
    auto *help = dynamic_cast<wxTextCtrl *>(about.FindWindow(1004));
    ASSERT_NE(help, nullptr);
    EXPECT_FALSE(help->IsEditable());
    wxString expected = wxString::FromUTF8(kHelpText);
    expected.Replace("\r\n", "\n");
    EXPECT_EQ(help->GetValue(), expected);
    // The version stands on a line of its own, clear of the template's controls.
    wxWindow *version = wxWindow::FindWindowByLabel("Version " QUILLON_VERSION, &about);
    ASSERT_NE(version, nullptr);
    EXPECT_TRUE(wxRect(about.GetClientSize()).Contains(version->GetRect()));
    for (wxWindow *child : about.GetChildren())
        EXPECT_TRUE(child == version || !child->GetRect().Intersects(version->GetRect())) << child->GetLabel();
}

// Escape, closing the window and File > "E&xit" all end in the same shut-down.
TEST_F(WindowTest, EveryWayOutRunsTheShutDown)
{
    for (int way = 0; way < 3; ++way) {
        NewFrame();
        ASSERT_TRUE(Click("scripts\\readme.txt [0003]"));
        gSteps.clear();
        wxWeakRef<wxWindow> alive(frame);
        if (way == 0)
            Key(WXK_ESCAPE);
        else if (way == 1)
            frame->Close();
        else
            Menu(CmdExit);
        EXPECT_TRUE(PumpUntil(2000, [&] { return !alive; })) << way;
        EXPECT_EQ(gSteps, (Steps{"S_Shutdown", "GL_Release"})) << way;
        EXPECT_EQ(viewer.mainDialog, nullptr);
        EXPECT_FALSE(viewer.mainPak.hasIndex);
        frame = nullptr;
    }
}

}  // namespace
