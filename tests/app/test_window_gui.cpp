// The real wx main window under a virtual display, driven with real keys and
// clicks where the toolkit decides, on a small archive of the test's own and
// with the sound player replaced by one that records what it was asked. Runs
// the viewer itself once.
#include "temp_dir.h"
#include "test_data.h"
#include "app/app_texts.h"
#include "app/command_table.h"
#include "app/dialogs.h"
#include "app/display_text.h"
#include "app/hex_view.h"
#include "gl_test_view.h"
#include "model/model.h"
#include "model_fixtures.h"
#include "render/render.h"
#include "scene/scene.h"
#include "texture/texture.h"

#include <quillon_version.h>

#include <wx/accel.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/listbox.h>
#include <wx/config.h>
#include <wx/dialog.h>
#include <wx/display.h>
#include <wx/dnd.h>
#include <wx/menu.h>
#include <wx/modalhook.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/weakref.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Steps = std::vector<std::string>;

Steps gSteps;  // sound steps, and GL_Release when the GL view is not the real one

// The view's size in the screen's pixels.
std::pair<int32_t, int32_t> ViewSize()
{
    int32_t width = 1, height = 1;
    R_ViewSize(width, height);
    return {width, height};
}

// Edit > Preferences is a modal dialog of its own: counted and cancelled.
int gPreferencesRuns = 0;
class PreferencesHook : public wxModalDialogHook {
    int Enter(wxDialog *dialog) override
    {
        if (dialog->GetTitle() != "Preferences")
            return wxID_NONE;
        ++gPreferencesRuns;
        return wxID_CANCEL;
    }
    void Exit(wxDialog *) override {}
};
int gFrames = 0, gTicks = 0;

// A 32 x 32 DXT5 texture of one colour whose left half is transparent.
Bytes HalfTransparent()
{
    Bytes t = Fixture_Texture(32, 32, 5, 1, [](uint32_t, uint32_t, uint32_t, uint32_t) { return Rgb{200, 100, 40}; });
    for (uint32_t block = 0; block < 64; ++block)
        if (block % 8 < 4)
            t[kTextureHeaderSize + 16 * block] = 0;  // alpha0 0, alpha1 0: every texel transparent
    return t;
}

Bytes Box()
{
    const float centre[3] = {0, 0, 0}, half[3] = {1, 1, 1};
    ModelFixture box;
    box.surfaces.push_back(Fixture_Box("stone.mat", centre, half));
    return Fixture_Model(box);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!StartWx())
            GTEST_SKIP() << "no display";
        ASSERT_TRUE(Fixture_WritePak(
            archive, {{{"textures\\env\\stone_wall_d", HalfTransparent()},
                       {"textures\\ui\\compass", Fixture_Texture(64, 32, 1, 1, BlockShade)},
                       {"sounds\\bell.ogg", Fixture_FromString("OggS and then some bytes")},
                       {"scripts\\readme.txt", Fixture_FromString("Line one\r\nLine two\r\n")},
                       {"data\\blob.bin", Bytes{0x80, 0x81, 0x82, 0x83}},
                       {"models\\box", Box()}}}));
    }
    void TearDown() override
    {
        if (StartWx())
            CloseWindow(frame);
    }

    // A new main window with the archive opened through File > Open; `gl`
    // installs the real GL view and counts its frames.
    void NewFrame(bool gl = false)
    {
        ViewerState_Reset();
        R_ResetState();
        gSteps.clear();
        gFrames = gTicks = 0;
        ViewerServices &s = viewer.services;
        if (gl) {
            App_InstallServices();
            R_SetFrameHooks(
                [] {
                    ++gFrames;
                    App_DrawViewFrame();
                },
                1);
        } else {
            s.render.Release = [] { gSteps.push_back("GL_Release"); };
            s.model.ForExport = Model_ForExport;
            s.model.Free = Model_Free;
        }
        s.sound.Init = [] {};
        s.sound.Shutdown = [] { gSteps.push_back("S_Shutdown"); };
        s.sound.Update = [] { ++gTicks; };
        s.sound.LoadCurrentAsset = [] { return reinterpret_cast<SoundRecord *>(0x5011d); };
        s.sound.ClearRecord = [](SoundRecord *) {};
        s.sound.QueuePlay = [](SoundRecord *) { gSteps.push_back("S_QueuePlay"); };
        s.sound.StopAll = [] { gSteps.push_back("S_StopAll"); };
        frame = OpenWindow(archive);
    }
    // A real key press in the entry list.
    void Key(int key, int modifiers = wxMOD_NONE)
    {
        frame->EntryList()->SetFocus();
        Pump(30);
        wxUIActionSimulator().Char(key, modifiers);
    }
    bool Click(const std::string &text) { return ClickLine(*frame, text); }
    std::string Selected() const { return frame->GetEntryLineText(frame->GetEntrySelection()); }
    std::string Status(int field) const { return std::string(frame->GetStatusBar()->GetStatusText(field).utf8_str()); }
    bool Shown(ControlId id) const { return frame->Control(id)->IsShown(); }
    // The colour the screen shows at (x, y) of the GL view.
    Pixel ViewPixel(int x, int y) const
    {
        const wxImage shot = ScreenImage(frame);
        const wxPoint at = frame->Control(IdGlView)->GetScreenPosition() - frame->GetScreenPosition() + wxPoint(x, y);
        return {shot.GetRed(at.x, at.y), shot.GetGreen(at.x, at.y), shot.GetBlue(at.x, at.y)};
    }

    TempDir dir;
    const std::string archive = dir / "Sample.PAK";
    SeamWindow *frame = nullptr;
};

TEST_F(WindowTest, OpensAnArchiveAndShowsTheSelectedEntry)
{
    NewFrame();
    // Every game folder has its GLOBAL.PAK: the title names the folder too.
    const std::string folder = dir.path.substr(0, dir.path.size() - 1);
    EXPECT_EQ(frame->GetTitle(), wxString::FromUTF8("Quillon \xE2\x80\x94 Sample.PAK \xE2\x80\x94 " + folder));
    EXPECT_EQ(frame->GetLabel(IdFileLabel), "Sample.PAK");
    ASSERT_EQ(frame->EntryList()->GetItemCount(), 6);
    EXPECT_EQ(frame->EntryList()->LineText(0), "data\\blob.bin [0004]");

    ASSERT_TRUE(Click("scripts\\readme.txt [0003]"));
    EXPECT_TRUE(Shown(IdTextView) && !Shown(IdGlView));
    Key(WXK_UP);  // the selection moves and the handler follows
    EXPECT_TRUE(PumpUntil(2000, [] { return viewer.session.selectedEntry == 5; })) << viewer.session.selectedEntry;
}

// Sends one command of the table as the user gives it: a menu item as its
// menu delivers the choice, a key as a real key press in the entry list.
// Says what the window did in answer ("gray" first when the item is gray).
std::string Send(SeamWindow *&frame, const CommandRow &row)
{
    const size_t dialogs = frame->dialogs.size(), steps = gSteps.size();
    const int dumps = frame->dumpRuns, abouts = frame->aboutRuns, batches = frame->batchRuns, texts = frame->textRuns,
              folders = frame->folderRuns;
    const size_t messages = frame->messages.size();
    const int preferences = gPreferencesRuns;
    static PreferencesHook hook;
    static const bool registered = (hook.Register(), true);
    (void)registered;
    const wxString title = frame->GetTitle();
    const bool find = frame->Control(IdFindBar)->IsShown();
    std::string words;
    wxMenuItem *item = nullptr;
    bool marked = false;
    wxWeakRef<wxWindow> alive(frame);
    if (row.menu != AppMenu::None) {
        wxMenu *menu = nullptr;
        item = frame->GetMenuBar()->FindItem(Command_ToWxId(row.id), &menu);
        if (!item)
            return "no menu item";
        words += item->IsEnabled() ? "" : "gray ";
        marked = item->IsCheckable() && item->IsChecked();
        menu->SendEvent(item->GetId(), item->IsCheckable() ? !marked : -1);
        Pump(30);
    } else {
        wxAcceleratorEntry key;
        if (!key.FromString(row.key))
            return "no key";
        frame->EntryList()->SetFocus();
        Pump(30);
        const int flags = key.GetFlags();
        wxUIActionSimulator().Char(key.GetKeyCode(), (flags & wxACCEL_SHIFT ? wxMOD_SHIFT : 0) |
                                                         (flags & wxACCEL_CTRL ? wxMOD_CONTROL : 0));
        Pump(250);
    }
    if (!alive) {
        frame = nullptr;
        return words + "end";
    }
    for (size_t i = dialogs; i < frame->dialogs.size(); ++i) {
        const FileDialogRequest &asked = frame->dialogs[i];
        words += !asked.save ? "open " : "save " + (asked.proposedName.empty() ? asked.defaultExtension
                                                                               : asked.proposedName) + " ";
    }
    words += frame->dumpRuns > dumps ? "dump " : "";
    words += frame->aboutRuns > abouts ? "about " : "";
    words += frame->batchRuns > batches ? "batch " : "";
    words += frame->folderRuns > folders ? "folder " : "";
    words += frame->textRuns > texts ? "text " : "";
    words += gPreferencesRuns > preferences ? "preferences " : "";
    words += frame->GetTitle() != title ? "title " : "";
    words += frame->messages.size() > messages ? "message " : "";
    words += frame->Control(IdFindBar)->IsShown() != find ? "find " : "";
    words += item && item->IsCheckable() && item->IsChecked() != marked ? "mark " : "";
    for (size_t i = steps; i < gSteps.size(); ++i)
        words += gSteps[i] + " ";
    if (!words.empty())
        words.pop_back();
    return words;
}

// Every command of the table reaches its handler through wx's own dispatch,
// or is gray and does nothing where the selection offers nothing for it.
TEST_F(WindowTest, EveryCommandOfTheTableReachesItsHandler)
{
    const std::string texture = "textures\\env\\stone_wall_d [0000]", sound = "sounds\\bell.ogg [0002]",
                      blob = "data\\blob.bin [0004]", model = "models\\box [0005]";
    const struct {
        int command;
        std::string line;  // selected first; "" as it stands
        const char *seen;
    } cases[] = {
        {CmdFileOpen, "", "open"},
        {CmdFileOpenFolder, "", "folder"},
        {CmdEditFind, "", "find"},
        {CmdEditExternally, "", "gray"},  // nothing selected yet
        {CmdEditCopy, "", "gray"},
        {CmdEditPaste, "", "gray"},
        {CmdEditPreferences, "", "preferences"},
        {CmdExportRaw, blob, "save .raw"},
        {CmdExportInterpreted, texture, "save .dds"},
        {CmdExportInterpreted, blob, "gray"},
        {CmdExportDump, blob, "dump"},
        {CmdExportPng, texture, "save stone_wall_d.png"},
        {CmdExportPng, sound, "gray"},
        {CmdExportGltf, model, "save box.glb"},
        {CmdExportObjMtl, model, "save box.obj"},
        {CmdExportObjMtl, texture, "gray"},
        {CmdExportWav, sound, "save bell.wav"},
        {CmdExportWav, model, "gray"},
        {CmdExportAll, "", "batch"},
        {CmdExportListed, "", "batch"},
        {CmdViewZoomIn, texture, ""},
        {CmdViewZoomOut, texture, ""},
        {CmdViewActualSize, texture, ""},
        {CmdViewFit, texture, ""},
        {CmdViewMipSmaller, texture, ""},
        {CmdViewMipLarger, texture, ""},
        {CmdViewFrameModel, model, ""},
        {CmdViewSaveImage, texture, "save .png"},
        {CmdViewModels, texture, "mark"},
        {CmdViewModelMaterials, "", "mark"},
        {CmdViewSurfaces, "", "mark"},
        {CmdViewTextures, "", "mark"},
        {CmdViewMaterials, "", "mark"},
        {CmdViewXml, "", "mark"},
        {CmdViewOther, "", "mark"},
        {CmdChannelsRed, "", "mark"},
        {CmdChannelsGreen, "", "mark"},
        {CmdChannelsBlue, "", "mark"},
        {CmdChannelsAlpha, "", "mark"},
        {CmdChannelsChecker, "", "mark"},
        {CmdChannelsRgba, "", "mark"},
        {CmdAbout, "", "about"},
        {CmdAccelRaw, texture, "save .raw"},
        {CmdAccelInterpreted, texture, "save .dds"},
        {CmdAccelInterpreted, blob, ""},  // its item is gray
        {CmdAccelHelp, "", ""},
        {CmdSoundReplay, sound, "S_StopAll S_QueuePlay"},
        {CmdSoundStopAll, sound, "S_StopAll"},
        {CmdViewLookEverywhere, "", "mark"},
        {CmdViewAsTree, "", "mark"},
        {CmdViewAsTree, "", "mark"},  // and back to the list
        {CmdViewThumbs64, "", "mark"},
        {CmdViewThumbs256, "", "mark"},
        {CmdViewThumbs128, "", "mark"},
        {CmdViewAsGallery, texture, "mark"},
        {CmdViewAsGallery, "", "mark"},  // and back to the preview
        {CmdEditReplace, texture, "open"},
        {CmdEditAddFiles, "", "open"},
        {CmdEditRename, texture, "text"},
        {CmdEditUndo, "", "gray"},
        {CmdEditRedo, "", "gray"},
        {CmdFileSave, "", "gray"},
        {CmdFileSaveAs, "", "save .pak"},
        {CmdEditUsedBy, blob, "message"},  // nothing names it
        {CmdFileMods, "", ""},  // the Mods window, whose buttons test_mods_window presses
        {CmdEditRemove, blob, "title"},  // "*" while it waits
        {CmdEditUndo, "", "title"},
        {CmdEditRedo, "", "title"},
        {CmdEditUndo, "", "title"},
        {CmdAccelRedo, "", "title"},
        {CmdFileSave, "", "title message"},  // "1 entry written"; after every case that reads the blob
        {CmdExit, "", "end"},
        {CmdCancel, "", "end"},
    };
    std::set<int> sent;
    for (const auto &c : cases) {
        if (!frame)
            NewFrame();
        if (!c.line.empty() && Selected() != c.line) {
            ASSERT_TRUE(Click(c.line)) << c.line;
        }
        const auto row = std::find_if(App_CommandTable().begin(), App_CommandTable().end(),
                                      [&](const CommandRow &r) { return r.id == c.command; });
        ASSERT_NE(row, App_CommandTable().end()) << c.command;
        EXPECT_EQ(Send(frame, *row), c.seen) << c.command << " on " << c.line;
        sent.insert(c.command);
    }
    for (const CommandRow &row : App_CommandTable())
        EXPECT_TRUE(row.id == 0 || sent.count(row.id)) << "no case sends " << row.id;

    // Closing the window is Cancel too: the same shut-down.
    NewFrame();
    gSteps.clear();
    wxWeakRef<wxWindow> alive(frame);
    frame->Close();
    EXPECT_TRUE(PumpUntil(2000, [&] { return !alive; }));
    EXPECT_EQ(gSteps, (Steps{"S_Shutdown", "GL_Release"}));
    frame = nullptr;
}

// Alt and a letter reach one menu of the bar, and one item of each menu.
TEST_F(WindowTest, MnemonicsAreUniquePerMenu)
{
    NewFrame();
    auto letters = [](const std::vector<wxString> &labels) {
        std::set<wxUniChar> seen;
        for (const wxString &label : labels) {
            const size_t at = label.find('&');
            EXPECT_TRUE(at != wxString::npos && at + 1 < label.size()) << label;
            if (at != wxString::npos && at + 1 < label.size()) {
                EXPECT_TRUE(seen.insert(wxToupper(label[at + 1])).second) << label;
            }
        }
    };
    std::function<void(wxMenu *)> walk = [&](wxMenu *menu) {
        std::vector<wxString> labels;
        for (wxMenuItem *item : menu->GetMenuItems())
            if (!item->IsSeparator()) {
                labels.push_back(item->GetItemLabel().BeforeFirst('\t'));
                if (item->GetSubMenu() && item->GetSubMenu()->GetMenuItemCount() > 0)
                    walk(item->GetSubMenu());
            }
        letters(labels);
    };
    wxMenuBar *bar = frame->GetMenuBar();
    std::vector<wxString> titles;
    for (size_t i = 0; i < bar->GetMenuCount(); ++i) {
        titles.push_back(bar->GetMenuLabel(i));
        walk(bar->GetMenu(i));
    }
    letters(titles);
    EXPECT_EQ(titles, (std::vector<wxString>{"&File", "E&dit", "&Export", "&View", "&Sound", "&Help"}));
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
    EXPECT_FALSE(fs::exists(out));
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

TEST_F(WindowTest, FindBarNarrowsTheListAndEscapeClosesIt)
{
    NewFrame();
    const ControlRect list = frame->GetControlRect(IdEntryList);
    ASSERT_TRUE(Click("scripts\\readme.txt [0003]"));
    wxUIActionSimulator sim;
    sim.Char('f', wxMOD_CONTROL);
    ASSERT_TRUE(PumpUntil(2000, [&] { return frame->Control(IdFindBar)->IsShown(); }));
    const ControlRect bar = frame->GetControlRect(IdFindBar);
    EXPECT_EQ(frame->GetControlRect(IdEntryList), (ControlRect{list.x, bar.y + bar.height + 2, list.width,
                                                               list.height - bar.height - 2}));
    ASSERT_TRUE(PumpUntil(1000, [&] { return wxWindow::FindFocus() == frame->FindText(); }));
    sim.Text("env/");
    EXPECT_TRUE(PumpUntil(2000, [&] { return frame->EntryList()->GetItemCount() == 1; }));
    EXPECT_EQ(frame->EntryList()->LineText(0), "textures\\env\\stone_wall_d [0000]");
    EXPECT_NE(Status(1), "");
    EXPECT_FALSE(Shown(IdTextView));  // the selected text left the list, and its preview with it
    ASSERT_TRUE(Click("textures\\env\\stone_wall_d [0000]"));

    sim.Char(WXK_ESCAPE);  // the focus in the list, the bar open: closes the bar, the window stays
    ASSERT_TRUE(PumpUntil(2000, [&] { return !frame->Control(IdFindBar)->IsShown(); }));
    EXPECT_EQ(frame->GetControlRect(IdEntryList), list);
    EXPECT_EQ(frame->EntryList()->GetItemCount(), 6);
    EXPECT_EQ(frame->FindText()->GetValue(), "");
    EXPECT_EQ(Selected(), "textures\\env\\stone_wall_d [0000]");
    EXPECT_FALSE(frame->HasEnded());

    wxWeakRef<wxWindow> alive(frame);
    sim.Char(WXK_ESCAPE);  // the bar closed: Cancel
    EXPECT_TRUE(PumpUntil(2000, [&] { return !alive; }));
    frame = nullptr;
}

// Escape that closes a menu opened with the mouse closes only the menu; the
// next Escape is the window's Cancel.
TEST_F(WindowTest, EscapeClosingAMenuKeepsTheWindow)
{
    NewFrame();
    int opened = 0, closed = 0;
    frame->Bind(wxEVT_MENU_OPEN, [&](wxMenuEvent &event) { ++opened; event.Skip(); });
    frame->Bind(wxEVT_MENU_CLOSE, [&](wxMenuEvent &event) { ++closed; event.Skip(); });
    wxMenuBar *bar = frame->GetMenuBar();
    wxUIActionSimulator sim;
    wxWeakRef<wxWindow> alive(frame);
    for (const char *title : {"&File", "E&dit", "&Export"}) {
        // The title's place: the bar's titles stand in order, each as wide as its text and some room.
        int x = 0;
        for (size_t i = 0; i < bar->GetMenuCount() && bar->GetMenuLabel(i) != title; ++i)
            x += bar->GetTextExtent(bar->GetMenuLabelText(i)).x + 18;
        sim.MouseMove(bar->ClientToScreen(wxPoint(x + 9, bar->GetSize().y / 2)));
        Pump(30);
        sim.MouseClick();
        ASSERT_TRUE(PumpUntil(2000, [&] { return opened > closed; })) << title;
        Pump(100);
        sim.Char(WXK_ESCAPE);
        EXPECT_TRUE(PumpUntil(2000, [&] { return !alive || opened == closed; })) << title;
        Pump(300);
        ASSERT_TRUE(alive) << "Escape in " << title << " ended the window";
        EXPECT_FALSE(frame->HasEnded());
    }
    frame->EntryList()->SetFocus();
    Pump(30);
    sim.Char(WXK_ESCAPE);  // no menu open: Cancel
    EXPECT_TRUE(PumpUntil(2000, [&] { return !alive; }));
    frame = nullptr;
}

// Letters in the list jump to the lines that start with them, F included;
// the view's F frames the model.
TEST_F(WindowTest, LettersInTheListJumpToLines)
{
    NewFrame();
    ASSERT_TRUE(Fixture_WritePak(dir / "Letters.PAK", {{{"data\\a.bin", Bytes{1}},
                                                        {"fonts\\big.fnt", Bytes{2}},
                                                        {"models\\box", Box()}}}));
    ASSERT_TRUE(frame->OpenPath(dir / "Letters.PAK"));
    ASSERT_TRUE(Click("data\\a.bin [0000]"));
    Key('f');
    EXPECT_TRUE(PumpUntil(2000, [&] { return viewer.session.selectedEntry == 1; }));
    EXPECT_EQ(Selected(), "fonts\\big.fnt [0001]");
}

// Enter and Down in the find bar go to the first line found, and the next
// Down to the second.
TEST_F(WindowTest, FindBarEnterAndDownSelectTheFirstLineFound)
{
    NewFrame();
    wxUIActionSimulator sim;
    for (int key : {WXK_RETURN, WXK_DOWN}) {
        frame->EntryList()->SetFocus();
        Pump(30);
        sim.Char('f', wxMOD_CONTROL);
        ASSERT_TRUE(PumpUntil(1000, [&] { return wxWindow::FindFocus() == frame->FindText(); }));
        sim.Text("tex");
        ASSERT_TRUE(PumpUntil(2000, [&] { return frame->EntryList()->GetItemCount() == 2; }));
        sim.Char(key);
        EXPECT_TRUE(PumpUntil(2000, [&] { return viewer.session.selectedEntry == 0; })) << key;
        EXPECT_EQ(Selected(), "textures\\env\\stone_wall_d [0000]") << key;
        sim.Char(WXK_DOWN);
        EXPECT_TRUE(PumpUntil(2000, [&] { return viewer.session.selectedEntry == 1; })) << key;
        EXPECT_EQ(Selected(), "textures\\ui\\compass [0001]") << key;
        sim.Char(WXK_ESCAPE);
        ASSERT_TRUE(PumpUntil(2000, [&] { return !frame->Control(IdFindBar)->IsShown(); }));
    }
}

TEST_F(WindowTest, OpensFromTheCommandLineADropAndTheRecentList)
{
    // Not ASCII: bytes all the way to fopen, UTF-8 on screen.
    const std::string folder = dir / "\xc3\x84rchive", accented = folder + "/D\xc3\xa4mmer.PAK";
    fs::create_directories(folder);
    fs::copy_file(archive, accented);
    const std::string settings = dir / "settings";
    setenv("XDG_CONFIG_HOME", settings.c_str(), 1);
    struct Forget {  // whatever happens, later windows keep no settings
        ~Forget()
        {
            delete wxConfigBase::Set(nullptr);
            unsetenv("XDG_CONFIG_HOME");
        }
    } forget;

    // The viewer started with the archive as its argument remembers it.
    const pid_t viewer = fork();
    if (viewer == 0) {
        execl(QUILLON_VIEWER_BINARY, QUILLON_VIEWER_BINARY, accented.c_str(), nullptr);
        _exit(127);
    }
    const std::string conf = settings + "/quillon/quillon.conf";
    const bool remembered = PumpUntil(15000, [&] {
        std::ifstream in(conf);
        return std::string(std::istreambuf_iterator<char>(in), {}).find("D\xc3\xa4mmer.PAK") != std::string::npos;
    });
    kill(viewer, SIGTERM);
    waitpid(viewer, nullptr, 0);
    EXPECT_TRUE(remembered);

    // A restart finds it in File > "Open &Recent"; a drop opens another.
    App_OpenSettings();
    NewFrame();
    ASSERT_EQ(frame->RecentArchives().GetCount(), 2u);  // the one above, then this window's own
    EXPECT_EQ(std::string(frame->RecentArchives().GetHistoryFile(1).utf8_str()), accented);
    EXPECT_EQ(std::string(frame->RecentArchives().GetHistoryFile(0).utf8_str()), archive);
    ASSERT_NE(frame->GetMenuBar()->FindItem(wxID_FILE1 + 1), nullptr);
    // Each with its folder: two sets may share a name.
    for (const std::string &where : {dir.path, folder}) {
        const wxString label = frame->GetMenuBar()->FindItem(wxID_FILE1 + (where == folder))->GetItemLabelText();
        EXPECT_TRUE(label.Contains(wxString::FromUTF8(where.c_str()))) << label;
    }
    wxCommandEvent pick(wxEVT_MENU, wxID_FILE1 + 1);
    frame->GetEventHandler()->ProcessEvent(pick);
    EXPECT_EQ(static_cast<wxStaticText *>(frame->Control(IdFileLabel))->GetLabel(), wxString::FromUTF8("Dämmer.PAK"));

    auto *drop = dynamic_cast<wxFileDropTarget *>(frame->Panel()->GetDropTarget());
    ASSERT_NE(drop, nullptr);
    fs::copy_file(archive, dir / "Dropped.PAK");
    drop->OnDropFiles(10, 10, wxArrayString(1, wxString::FromUTF8((dir / "Dropped.PAK").c_str())));
    EXPECT_TRUE(PumpUntil(2000, [&] { return frame->GetLabel(IdFileLabel) == "Dropped.PAK"; }));
    EXPECT_EQ(frame->EntryList()->GetItemCount(), 6);

}

// Archive bytes in labels, the status bar, surface rows and the text view:
// UTF-8 where they are valid UTF-8, single-byte Latin-1 otherwise.
TEST_F(WindowTest, ArchiveBytesShownAsText)
{
    NewFrame();
    auto *rows = static_cast<wxListBox *>(frame->Control(IdSurfaceList));
    auto *text = static_cast<wxTextCtrl *>(frame->Control(IdTextView));
    const std::pair<std::string, const char *> cases[] = {
        {"plain name", "plain name"},
        {"D\xc3\xa4mmer.PAK", "Dämmer.PAK"},
        {"D\xe4mmer.PAK", "Dämmer.PAK"},
        {"\xe9\xff", "éÿ"},
    };
    for (const auto &[bytes, shown] : cases) {
        const wxString expected = wxString::FromUTF8(shown);
        frame->SetLabel(IdFileLabel, bytes);
        EXPECT_EQ(static_cast<wxStaticText *>(frame->Control(IdFileLabel))->GetLabel(), expected);
        frame->SetStatusField(0, bytes);
        EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), expected);
        frame->ClearSurfaceList();
        frame->AddSurfaceRow("07 - " + bytes);
        EXPECT_EQ(rows->GetString(0), "07 - " + expected);
        frame->SetTextView(bytes + "\r\n" + bytes);
        EXPECT_EQ(text->GetValue(), expected + "\n" + expected);
    }
}

TEST_F(WindowTest, StatusBarAndHexViewOfALargeEntry)
{
    Bytes big(100u << 20, 0x41);
    big[0] = 0x80;  // not text: Unknown, shown in hex
    const std::string longName = "data\\a_long_folder_name\\and_a_longer_entry_name_after.bin";
    ASSERT_TRUE(Fixture_WritePak(dir / "Big.PAK", {{{"data\\big.bin", big}, {"readme.txt", Fixture_FromString("Text")},
                                                    {longName, Fixture_FromString("x")}}}));
    NewFrame();
    ASSERT_TRUE(frame->OpenPath(dir / "Big.PAK"));
    // A line longer than the list is wide scrolls sideways to its end.
    EntryListCtrl *list = frame->EntryList();
    EXPECT_GE(list->GetColumnWidth(0), list->GetTextExtent(longName + " [0002]").x);
    EXPECT_GT(list->GetColumnWidth(0), list->GetClientSize().x);

    ASSERT_TRUE(Click("data\\big.bin [0000]"));
    HexViewCtrl *hex = frame->HexView();
    ASSERT_TRUE(PumpUntil(2000, [&] { return hex->IsShownOnScreen(); }));
    EXPECT_FALSE(frame->Control(IdTextView)->IsShown());
    EXPECT_EQ(frame->GetControlRect(IdHexView), frame->GetControlRect(IdTextView));
    EXPECT_EQ(hex->GetItemCount(), long(big.size() / 16));
    EXPECT_EQ(hex->LineText(0), "00000000  80 41 41 41 41 41 41 41  41 41 41 41 41 41 41 41  .AAAAAAAAAAAAAAA");
    EXPECT_EQ(hex->LineText(hex->GetItemCount() - 1).substr(0, 8), "063ffff0");
    EXPECT_EQ(Status(0), "104,857,600 bytes in Big.PAK");
    Pump(100);

    Click("readme.txt [0001]");  // text kinds keep the text view
    EXPECT_TRUE(frame->Control(IdTextView)->IsShown());
    EXPECT_FALSE(hex->IsShown());
}

TEST_F(WindowTest, ChannelModesShowTheirChannels)
{
    NewFrame(true);
    ASSERT_TRUE(Click("textures\\env\\stone_wall_d [0000]"));
    const Rgb q = Fixture_Quantise({200, 100, 40});
    const Pixel colour{q.r, q.g, q.b};
    const struct {
        Command command;
        Pixel opaque, clear;  // at the right (opaque) and left (transparent) half
    } cases[] = {
        {CmdChannelsRgba, colour, colour},
        {CmdChannelsRed, {q.r, 0, 0}, {q.r, 0, 0}},
        {CmdChannelsGreen, {0, q.g, 0}, {0, q.g, 0}},
        {CmdChannelsBlue, {0, 0, q.b}, {0, 0, q.b}},
        {CmdChannelsAlpha, {255, 255, 255}, {0, 0, 0}},
        {CmdChannelsChecker, colour, {-1, -1, -1}},  // checkerboard: see below
    };
    for (const auto &c : cases) {
        wxCommandEvent pick(wxEVT_MENU, Command_ToWxId(c.command));
        frame->GetEventHandler()->ProcessEvent(pick);
        ASSERT_TRUE(PumpUntil(1000, [] { return !R_RedrawPending(); }));
        Pump(30);
        auto at = [&](int x, int y) { return ViewPixel(x, y); };
        EXPECT_TRUE(Near(at(24, 4), c.opaque)) << c.command << " " << at(24, 4);
        if (c.clear.r >= 0) {
            EXPECT_TRUE(Near(at(4, 4), c.clear)) << c.command << " " << at(4, 4);
        } else {
            const Pixel a = at(4, 4), b = at(12, 4);
            EXPECT_TRUE(a.r == a.g && a.g == a.b && b.r == b.g && b.g == b.b) << a << b;
            EXPECT_EQ((std::set<int>{a.r, b.r}), (std::set<int>{153, 204})) << a << b;
        }
        EXPECT_EQ(at(40, 4), kClearGrey);  // the image stays 32 pixels wide
    }
}

// A still texture draws no frames; a held drag draws every tick, and slides
// the texture by what the mouse moved after the first move inside the view.
TEST_F(WindowTest, AStillTextureDrawsNoFramesWhileADragDrawsEveryTickAndSlidesIt)
{
    NewFrame(true);
    ASSERT_TRUE(Click("textures\\ui\\compass [0001]"));
    ASSERT_TRUE(PumpUntil(2000, [] { return gFrames > 0 && !R_RedrawPending(); }));
    Pump(50);
    EXPECT_TRUE(ShowsBlock(ViewPixel(2, 2), BlockShade(0, 0, 16, 8))) << ViewPixel(2, 2);
    gFrames = gTicks = 0;
    Pump(500);
    EXPECT_GT(gTicks, 20);
    EXPECT_EQ(gFrames, 0);

    wxWindow *view = frame->Control(IdGlView);
    const wxPoint start = view->ClientToScreen(wxPoint(100, 100));
    wxUIActionSimulator sim;
    sim.MouseMove(start);
    Pump(30);
    sim.MouseDown();
    sim.MouseMove(start + wxPoint(1, 1));
    ASSERT_TRUE(PumpUntil(1000, [] { return R_Dragging(); }));
    gFrames = gTicks = 0;
    Pump(300);  // the button held, the mouse still
    EXPECT_GE(gFrames, gTicks - 1);
    EXPECT_GT(gFrames, 10);
    for (int step = 1; step <= 5; ++step) {
        sim.MouseMove(start + wxPoint(1 + 8 * step, 1 + 5 * step));
        Pump(15);
    }
    sim.MouseUp();
    ASSERT_TRUE(PumpUntil(1000, [] { return !R_Dragging() && !R_RedrawPending(); }));
    gFrames = 0;
    Pump(200);
    EXPECT_EQ(gFrames, 0);
    EXPECT_EQ(std::pair(viewer.preview.textureOffset[0], viewer.preview.textureOffset[1]), std::pair(40.0f, 25.0f));
    EXPECT_EQ(ViewPixel(39, 24), kClearGrey);
    EXPECT_TRUE(ShowsBlock(ViewPixel(40, 25), BlockShade(0, 0, 16, 8))) << ViewPixel(40, 25);
    EXPECT_TRUE(ShowsBlock(ViewPixel(40 + 63, 25 + 31), BlockShade(15, 7, 16, 8))) << ViewPixel(103, 56);

    // Another selection puts the image back at the corner.
    ASSERT_TRUE(Click("textures\\env\\stone_wall_d [0000]"));
    EXPECT_EQ(std::pair(viewer.preview.textureOffset[0], viewer.preview.textureOffset[1]), std::pair(0.0f, 0.0f));
}

// On a screen scaled twice (test_window_scaled) the first window fits the
// screen, and the view draws in the screen's pixels: a texture at actual size
// covers one pixel per texel from the view's top-left corner.
TEST_F(WindowTest, AtTwiceTheScaleTheViewDrawsInTheScreensPixels)
{
    NewFrame(true);
    const double scale = frame->GetContentScaleFactor();
    if (scale < 2)
        GTEST_SKIP() << "runs under GDK_SCALE=2";
    const wxRect work = wxDisplay(0u).GetClientArea();
    EXPECT_TRUE(frame->GetSize().x <= work.width && frame->GetSize().y <= work.height) << frame->GetSize().x;
    ASSERT_TRUE(SelectLine(*frame, "textures\\ui\\compass"));
    ASSERT_TRUE(PumpUntil(3000, [] { return gFrames > 0 && !R_RedrawPending(); }));
    Pump(100);
    const ControlRect view = frame->GetControlRect(IdGlView);
    EXPECT_EQ(ViewSize(),
              std::pair(int(std::lround(view.width * scale)), int(std::lround(view.height * scale))));
    const wxImage shot = ScreenImage(frame);
    const wxPoint corner = (frame->Control(IdGlView)->GetScreenPosition() - frame->GetScreenPosition()) * scale;
    auto at = [&](int x, int y) {
        return Pixel{shot.GetRed(corner.x + x, corner.y + y), shot.GetGreen(corner.x + x, corner.y + y),
                     shot.GetBlue(corner.x + x, corner.y + y)};
    };
    EXPECT_TRUE(ShowsBlock(at(2, 2), BlockShade(0, 0, 16, 8))) << at(2, 2);
    EXPECT_TRUE(ShowsBlock(at(62, 30), BlockShade(15, 7, 16, 8))) << at(62, 30);
    EXPECT_EQ(at(66, 2), kClearGrey);
    EXPECT_EQ(at(2, 34), kClearGrey);
}

// The view taking the text's area leaves none of the text's picture behind,
// also where no frame is ever presented there (no GL here, as under Wine on
// some displays): the area is one colour.
TEST_F(WindowTest, TheViewTakingTheTextsAreaLeavesNoTextBehind)
{
    NewFrame();
    // The pixels of the view's area that have the colour of its top left corner, and all of them.
    auto plain = [this] {
        const wxImage shot = ScreenImage(frame->Control(IdGlView));
        size_t same = 0;
        for (int y = 0; y < shot.GetHeight(); ++y)
            for (int x = 0; x < shot.GetWidth(); ++x)
                same += shot.GetRed(x, y) == shot.GetRed(0, 0) && shot.GetGreen(x, y) == shot.GetGreen(0, 0) &&
                        shot.GetBlue(x, y) == shot.GetBlue(0, 0);
        return std::pair(same, static_cast<size_t>(shot.GetWidth()) * shot.GetHeight());
    };
    ASSERT_TRUE(Click("scripts\\readme.txt [0003]"));
    Pump(200);
    const auto [textSame, area] = plain();
    ASSERT_GT(area, 0u);
    EXPECT_LT(textSame, area);  // the text's border and letters
    ASSERT_TRUE(Click("textures\\ui\\compass [0001]"));
    ASSERT_TRUE(Shown(IdGlView));
    EXPECT_TRUE(PumpUntil(2000, [&] { return plain().first == area; }))
        << plain().first << " of " << area << " pixels alike";
}

// A hidden view draws nothing while the tick runs; a resize while it is
// hidden, before and after the view first showed, is caught up when it shows.
TEST_F(WindowTest, HiddenViewDrawsNoFramesAndCatchesUpOnResizes)
{
    NewFrame(true);
    ASSERT_TRUE(Click("scripts\\readme.txt [0003]"));
    EXPECT_TRUE(viewer.viewHidden);
    gTicks = gFrames = 0;
    Pump(300);
    EXPECT_TRUE(gTicks > 5 && gFrames == 0) << gTicks << " ticks, " << gFrames << " frames";
    EXPECT_FALSE(R_Ready());  // never shown yet: no context

    for (wxSize size : {wxSize(900, 640), wxSize(700, 500)}) {
        ASSERT_TRUE(Click("scripts\\readme.txt [0003]"));
        frame->SetClientSize(frame->FromDIP(size));
        Pump(100);
        gFrames = 0;
        ASSERT_TRUE(Click("textures\\ui\\compass [0001]"));
        ASSERT_TRUE(PumpUntil(3000, [] { return gFrames >= 2; }));
        const ControlRect rect = frame->GetControlRect(IdGlView);
        EXPECT_EQ(ViewSize(), std::pair(rect.width, rect.height)) << size.x;
    }
}

TEST_F(WindowTest, ClicksInTheEntryListAndASpaceInTheFindBar)
{
    NewFrame();
    ASSERT_TRUE(Click("sounds\\bell.ogg [0002]"));
    EXPECT_EQ(gSteps, Steps{"S_QueuePlay"});

    // Below the last line: the line stays selected and nothing runs.
    EntryListCtrl *list = frame->EntryList();
    wxUIActionSimulator sim;
    sim.MouseMove(list->ClientToScreen(wxPoint(20, list->GetClientSize().y - 5)));
    Pump(30);
    sim.MouseClick();
    Pump(200);
    EXPECT_EQ(Selected(), "sounds\\bell.ogg [0002]");
    EXPECT_EQ(gSteps, Steps{"S_QueuePlay"});

    // The selected line clicked again runs the selection again: the module restarts, the sound plays again.
    gSteps.clear();
    ASSERT_TRUE(Click("sounds\\bell.ogg [0002]"));
    EXPECT_TRUE(PumpUntil(1000, [] { return gSteps == Steps{"S_Shutdown", "S_QueuePlay"}; }));

    // In the find bar a space is typed (the list's Space is in the command table's test).
    OnCommand(*frame, CmdEditFind);
    Pump(50);
    gSteps.clear();
    sim.Char(' ');
    EXPECT_TRUE(PumpUntil(1000, [&] { return frame->FindText()->GetValue() == " "; }));
    EXPECT_TRUE(gSteps.empty());
}

// The batch export's progress dialog: progress, a real Cancel, and the window ticks on.
TEST_F(WindowTest, ProgressDialogCancelsTheJobWhileTheWindowTicks)
{
    NewFrame();
    // A real click on the dialog's Cancel once it has shown some progress.
    wxString shown;
    wxTimer clicker;
    clicker.Bind(wxEVT_TIMER, [&](wxTimerEvent &) {
        wxDialog *dialog = nullptr;
        for (wxWindow *w : wxTopLevelWindows)
            if (auto *d = dynamic_cast<wxDialog *>(w); d && d->GetTitle() == "Exporting" && d->IsShown())
                dialog = d;
        wxButton *cancel = dialog ? dynamic_cast<wxButton *>(dialog->FindWindow(wxID_CANCEL)) : nullptr;
        if (!cancel)
            return;
        for (wxWindow *child : dialog->GetChildren())
            if (auto *text = dynamic_cast<wxStaticText *>(child); text && text->GetLabel().Contains(" of "))
                shown = text->GetLabel();
        if (shown.empty())
            return;
        clicker.Stop();
        wxUIActionSimulator sim;
        sim.MouseMove(cancel->ClientToScreen(wxPoint(cancel->GetSize().x / 2, cancel->GetSize().y / 2)));
        sim.MouseClick();
    });
    clicker.Start(100);

    gTicks = 0;
    int reported = 0;
    bool cancelled = false;
    const auto start = std::chrono::steady_clock::now();
    frame->RunJob([&](const JobProgressSink &progress, const std::atomic<bool> &cancel) {
        while (!cancel && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
            progress({static_cast<size_t>(++reported), 1000, "entry"});
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        cancelled = cancel;
    });
    EXPECT_TRUE(cancelled) << "Cancel did not reach the job";
    EXPECT_TRUE(shown.Contains(" of 1000 entries")) << shown;
    EXPECT_GT(gTicks, 10) << "the main window's timer stopped while the job ran";
}

}  // namespace
