// The main window's handlers driven through the recording fake window.
#include "temp_dir.h"
#include "app/app_local.h"
#include "app/layout.h"
#include "app/main_dialog.h"
#include "fake_window.h"
#include "fixtures.h"
#include "render/render_local.h"
#include "../convert/readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

using Lines = std::vector<std::string>;

namespace {

Lines *gLog = nullptr;  // the window's log while a test runs

// Services that write the steps they were asked for into the window's log.
void InstallRecordingServices()
{
    ViewerServices &s = viewer.services;
    s.render.Release = [] { gLog->push_back("GL_Release"); };
    s.render.RunFrame = [] { gLog->push_back("frame"); };
    s.sound.Init = [] { gLog->push_back("S_Init"); };
    s.sound.Shutdown = [] { gLog->push_back("S_Shutdown"); };
    s.sound.Update = [] { gLog->push_back("S_Update"); };
    s.sound.LoadCurrentAsset = [] {
        gLog->push_back("S_LoadCurrentAsset");
        return reinterpret_cast<SoundRecord *>(0x5011d);
    };
    s.sound.ClearRecord = [](SoundRecord *) { gLog->push_back("S_ClearRecord"); };
    s.sound.QueuePlay = [](SoundRecord *) { gLog->push_back("S_QueuePlay"); };
    s.sound.StopAll = [] { gLog->push_back("S_StopAll"); };
    s.model.Free = [](Model *) { gLog->push_back("Model_Free"); };
}

Bytes Text(const std::string &s) { return Fixture_FromString(s); }

const Bytes kModel64 = Fixture_FromString("EIFF" + std::string(12, '\0') + "MODL" + std::string(44, '\0'));

const Bytes kTexture = Fixture_Texture(8, 8, 1, 1, Fixture_PictureColour);

class ViewerHandlers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ViewerState_Reset();
        R_ResetState();
        gLog = &window.log;
        InstallRecordingServices();
        InitMainDialog(window);
        window.log.clear();
    }
    void TearDown() override { ViewerState_Reset(); }

    void Open(const std::string &name, const std::vector<FixtureEntry> &entries)
    {
        ASSERT_TRUE(Fixture_WritePak(dir / name, {entries}));
        window.Open(dir / name);
    }
    void Select(const std::string &line) { window.Click(line); }
    void Answer(int command, const std::optional<std::string> &answer)
    {
        window.messages.clear();
        window.answers.push_back(answer);
        OnCommand(window, command);
    }

    // The panes shown and the Export items offered.
    std::string Offered() const
    {
        std::string words;
        for (auto [id, word] : {std::pair{IdGlView, "gl "}, {IdTextView, "text "}, {IdHexView, "hex "},
                                {IdPlayOnClick, "play "}, {IdSurfaceList, "surfaces "}})
            words += window.Shown(id) ? word : "";
        for (auto [command, word] :
             {std::pair{CmdExportRaw, "raw "}, {CmdExportDump, "dump "}, {CmdExportInterpreted, "interpreted "},
              {CmdExportPng, "png "}, {CmdExportGltf, "gltf "}, {CmdExportObjMtl, "obj "}, {CmdExportWav, "wav "}})
            words += window.Enabled(command) ? word : "";
        return words;
    }

    FakeWindow window;
    TempDir dir;
};

TEST_F(ViewerHandlers, StartsWithPanesHiddenExportsGrayAndChecksSet)
{
    EXPECT_EQ(window.GetLabel(IdFileLabel), "No file loaded.");
    EXPECT_EQ(window.GetLabel(IdInfoLine), "No resource selected.");
    EXPECT_EQ(Offered(), "");
    EXPECT_TRUE(!window.Shown(IdSurfaceLabel) && window.playOnClick && viewer.viewHidden);
    EXPECT_EQ(window.timerInterval, 10);
    for (Command c : {CmdViewModels, CmdViewModelMaterials, CmdViewTextures, CmdViewMaterials, CmdViewXml,
                      CmdViewOther})
        EXPECT_TRUE(window.Checked(c)) << c;
    EXPECT_FALSE(window.Checked(CmdViewSurfaces));
}

TEST_F(ViewerHandlers, OpenListsTheEntriesAndARefusedOpenChangesNothing)
{
    Open("Mixed.Pak", {{"b", Text("abc")}, {"_x", Text("hello world")}, {"A", Text("abc")},
                       {"gone", {}, -1, 0, true}, {"a", Text("abc")}});
    EXPECT_EQ(window.dialogs.at(0).filter, "PAK Files (*.pak)|*.pak;*.[pP][aA][kK]");
    EXPECT_EQ(window.GetLabel(IdFileLabel), "Mixed.Pak");
    const Lines lines{"_x [0001]", "A [0002]", "a [0004]", "b [0000]"};
    EXPECT_EQ(window.entryLines, lines);

    // A refused open says why and keeps what the window showed (each refusal's
    // reason and message are test_pak_index.cpp's).
    Select("_x [0001]");
    ASSERT_TRUE(Fixture_WriteFile(dir / "wrong.pak", Text("PAK-0123456789abcdef")));
    window.messages.clear();
    window.Open(dir / "wrong.pak");
    EXPECT_EQ(window.messages, Lines{Pak_OpenMessage(PakOpenResult::NotEntryPoint)});
    EXPECT_EQ(window.GetLabel(IdFileLabel), "Mixed.Pak");
    EXPECT_EQ(window.entryLines, lines);
    EXPECT_EQ(window.GetLabel(IdInfoLine), "Resource: Text (0.00MB)");
    EXPECT_EQ(viewer.preview.CurrentResource, Text("hello world"));
    Answer(CmdFileOpen, std::nullopt);  // cancelled
    EXPECT_EQ(window.GetLabel(IdFileLabel), "Mixed.Pak");
    Select("a [0004]");  // the kept index still reads its file
    EXPECT_EQ(window.textView, "abc");
}

TEST_F(ViewerHandlers, SelectionSetsPanesInfoLineAndExportItems)
{
    window.SetLabel(IdInfoLine, "stale");
    OnSelchangeEntryList(window);  // no archive yet
    EXPECT_EQ(window.GetLabel(IdInfoLine), "No resource selected.");

    Open("kinds.pak", {{"empty", {}}, {"ab", Text("ab")}, {"abc", Text("abc")},
                       {"tex", Fixture_Texture(16, 8, 1, 3, Fixture_PictureColour)},
                       {"xml", Text("<?xml version=\"1.0\"?>\n<a/>\n")}, {"ogg", Text("OggS-stream")},
                       {"fx", Fixture_EffectContainer({"one.tex", "", "two.snd"})}, {"model", kModel64},
                       {"packed", Fixture_LzoBlock(Text("line one\nline two\n")), 0}, {"away", Text("abc"), 3},
                       {"long", Bytes((16 << 20) + 1, 'x')}});
    const struct {
        const char *line, *info, *offered;
        const char *status;    // the start of the status bar's first field; "" not checked
        std::string textView;  // empty: not checked
    } cases[] = {
        {"empty [0000]", "Resource: Unknown (0.00MB)", "hex ", "", ""},
        {"ab [0001]", "Resource: Unknown (0.00MB)", "hex raw dump ", "2 bytes in kinds.pak", ""},
        {"abc [0002]", "Resource: Text (0.00MB)", "text raw dump interpreted ", "", "abc"},
        {"tex [0003]", "Resource: Texture (0.00MB)", "gl raw dump interpreted png ",
         "216 bytes in kinds.pak; 16 x 8 DXT1, 3 mip levels", ""},
        {"xml [0004]", "Resource: XML (events, scripts, etc.) (0.00MB)", "text raw dump interpreted ", "",
         "<?xml version=\"1.0\"?>\r\n<a/>\r\n"},
        {"ogg [0005]", "Resource: Ogg Vorbis (audio) (0.00MB)", "play raw dump interpreted wav ", "", ""},
        {"fx [0006]", "Resource: Effect/Media (0.00MB)", "text raw dump ", "",
         "Dependencies:\r\none.tex\r\ntwo.snd\r\n"},
        // No OBJ writer is installed here, so models offer no interpreted export.
        {"model [0007]", "Resource: Model (0.00MB)", "gl raw dump gltf obj ", "", ""},
        {"packed [0008]", "Resource: Text (0.00MB)", "text raw dump interpreted ",
         "18 bytes in kinds_00.PAK, compressed (", "line one\r\nline two\r\n"},
        // The view holds the first 16 MiB of a longer text, and says so.
        {"long [0010]", "Resource: Text (16.00MB)", "text raw dump interpreted ", "",
         std::string(16 << 20, 'x') +
             "\r\n[Only the first 16 MiB of this text are shown; the rest is left out here. Export writes all of it.]"},
    };
    for (const auto &c : cases) {
        Select(c.line);
        EXPECT_EQ(window.GetLabel(IdInfoLine), c.info) << c.line;
        EXPECT_EQ(Offered(), c.offered) << c.line;
        EXPECT_EQ(window.status[0].rfind(c.status, 0), 0u) << window.status[0];
        EXPECT_EQ(viewer.viewHidden, !window.Shown(IdGlView)) << c.line;
        EXPECT_EQ(window.hexBytes, window.Shown(IdHexView) ? &viewer.preview.CurrentResource : nullptr) << c.line;
        EXPECT_TRUE(c.textView.empty() || window.textView == c.textView)
            << c.line << ": " << window.textView.substr(0, 80);
    }

    for (int selection : {-1, 11}) {  // none, or not below the header's count
        Select("abc [0002]");
        window.selection = selection;
        OnSelchangeEntryList(window);
        EXPECT_EQ(window.GetLabel(IdInfoLine), "No resource selected.") << selection;
        EXPECT_TRUE(!window.Enabled(CmdExportRaw) && viewer.preview.CurrentResource.empty());
        EXPECT_EQ(viewer.session.selectedEntry, -1);
        EXPECT_EQ(window.status[0], "");
    }

    // An entry whose file cannot be opened: said, and the pane stays as it was.
    std::filesystem::remove(dir / "kinds_03.PAK");
    Select("abc [0002]");
    Select("away [0009]");
    const PakEntry &away = viewer.session.mainPak.entries[9];
    EXPECT_EQ(window.messages, Lines{Pak_LoadMessage(PakLoadResult::CannotOpen, viewer.session.mainPak, away)});
    EXPECT_EQ(window.GetLabel(IdInfoLine), "Resource: Text (0.00MB)");
    EXPECT_EQ(Offered(), "text ");
    EXPECT_EQ(window.textView, "abc");
}

TEST_F(ViewerHandlers, ViewTogglesReReadTheSelectedEntry)
{
    Open("t.pak", {{"tex", kTexture}, {"note", Text("first")}, {"bin", Text("ab")}});
    Select("tex [0000]");
    OnCommand(window, CmdViewTextures);
    EXPECT_TRUE(!window.Checked(CmdViewTextures) && viewer.viewHidden);
    EXPECT_EQ(Offered(), "raw dump interpreted png ");
    EXPECT_EQ(window.GetLabel(IdInfoLine), "Resource: Texture (0.00MB)");

    // The toggle reads the entry again from the file, not from memory.
    Select("note [0001]");
    ASSERT_TRUE(
        Fixture_WritePak(dir / "t.pak", {{{"tex", kTexture}, {"note", Text("fresh")}, {"bin", Text("ab")}}}));
    OnCommand(window, CmdViewXml);
    EXPECT_EQ(window.textView, "fresh");
    OnCommand(window, CmdViewOther);
    EXPECT_FALSE(window.Checked(CmdViewOther));
    EXPECT_EQ(Offered(), "raw dump interpreted ");
    Select("bin [0002]");  // the hex view goes with the other kinds
    EXPECT_EQ(Offered(), "raw dump ");
    OnCommand(window, CmdViewOther);
    EXPECT_EQ(Offered(), "hex raw dump ");
}

// The View menu's zoom, level and framing, the wheel, and Save View As PNG.
TEST_F(ViewerHandlers, ViewCommandsSteerTheShownPreviewOnly)
{
    ViewerServices &s = viewer.services;
    s.render.ZoomTexture = R_ZoomTexture;
    s.render.FitTexture = R_FitTexture;
    s.render.TextureActualSize = R_TextureActualSize;
    s.render.SetTextureMipLevel = R_SetTextureMipLevel;
    s.render.WheelZoomModel = R_WheelZoomModel;
    Open("t.pak", {{"tex", Fixture_Texture(64, 64, 1, 3, Fixture_PictureColour)}, {"note", Text("x")}});
    Select("tex [0000]");
    const struct {
        int command;
        float scale;
        uint32_t level;
    } steps[] = {{CmdViewZoomIn, 2, 0},     {CmdViewZoomIn, 4, 0},       {CmdViewZoomOut, 2, 0},
                 {CmdViewActualSize, 1, 0}, {CmdViewMipSmaller, 1, 1},   {CmdViewMipSmaller, 1, 2},
                 {CmdViewMipSmaller, 1, 2}, {CmdViewMipLarger, 1, 1},    {CmdViewFrameModel, 1, 1}};
    for (const auto &step : steps) {
        OnCommand(window, step.command);
        EXPECT_EQ(R_TextureScale(viewer.preview), step.scale) << step.command;
        EXPECT_EQ(viewer.preview.textureMipLevel, step.level) << step.command;
    }
    App_OnViewWheel(3, 10, 10);
    EXPECT_EQ(R_TextureScale(viewer.preview), 8);
    Select("tex [0000]");  // a new selection starts at actual size from the top-left
    EXPECT_EQ(R_TextureScale(viewer.preview), 1);
    EXPECT_EQ(viewer.preview.textureOffset[0], 0);
    Select("note [0001]");  // hidden view: nothing changes
    App_OnViewWheel(3, 10, 10);
    OnCommand(window, CmdViewZoomIn);
    EXPECT_EQ(R_TextureScale(viewer.preview), 1);

    // Save View As PNG: a picture that cannot be made is said so; one that can is written whole.
    Select("tex [0000]");
    s.render.CaptureView = [](int, bool, TextureImage &) { return false; };
    Answer(CmdViewSaveImage, dir / "view.png");
    EXPECT_EQ(window.messages, Lines{"The view could not be drawn as a picture."});
    s.render.CaptureView = [](int scale, bool, TextureImage &out) {
        out = {2, 1, {1, 2, 3, 255, 4, 5, 6, 255}};
        return scale == 1;
    };
    Answer(CmdViewSaveImage, dir / "view.png");
    EXPECT_TRUE(window.messages.empty());
    const Bytes png = Fixture_ReadFile(dir / "view.png");
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
}

// Play on click, View toggles, Space and Shift+Space, and a new archive, in the sound module's steps.
TEST_F(ViewerHandlers, SoundStepsFollowClicksTogglesAndKeys)
{
    Open("s.pak", {{"snd", Text("OggS-stream")}, {"note", Text("abc")}});
    const Lines play{"S_LoadCurrentAsset", "S_QueuePlay"}, restart{"S_ClearRecord", "S_Shutdown", "S_Init"};
    const struct {
        std::function<void()> action;
        Lines steps;
    } cases[] = {
        {[&] { Select("snd [0000]"); }, play},
        // A View toggle re-runs the selection: the module restarts, the entry plays again.
        {[&] { OnCommand(window, CmdViewModels); }, {restart[0], restart[1], restart[2], play[0], play[1]}},
        {[&] { window.playOnClick = false; }, {}},
        {[&] { Select("snd [0000]"); }, restart},
        {[&] { OnCommand(window, CmdSoundReplay); }, {"S_StopAll", play[0], play[1]}},
        {[&] { OnCommand(window, CmdSoundReplay); }, {"S_StopAll", "S_QueuePlay"}},
        {[&] { OnCommand(window, CmdSoundStopAll); }, {"S_StopAll"}},
        {[&] { Select("note [0001]"); }, restart},
        {[&] { OnCommand(window, CmdSoundReplay); }, {}},
        {[&] { window.playOnClick = true; }, {}},
        {[&] { viewer.previewEnabled[KindOggVorbis] = false; }, {}},  // disabled previews still play
        {[&] { Select("snd [0000]"); }, play},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        window.log.clear();
        cases[i].action();
        EXPECT_EQ(window.log, cases[i].steps) << "row " << i;
    }
    EXPECT_TRUE(window.Shown(IdPlayOnClick));
    window.log.clear();
    window.Open(dir / "s.pak");
    EXPECT_EQ(window.log, restart);
    EXPECT_EQ(window.GetLabel(IdInfoLine), "No resource selected.");
}

// The layout's arithmetic: the pane beside the list, the list above the
// surface list, never smaller than 8 x 8, and the sash's widening taken from
// the pane, which keeps half its room.
TEST(Layout, FollowsTheArithmetic)
{
    const struct {
        int cx, cy;
        bool surfaces;
        int wanted;
        WindowLayout out;
    } cases[] = {
        {628, 423, false, 0, {0, 418, 386, 386, false, 0, 0}},
        {1000, 700, false, 0, {0, 790, 663, 663, false, 0, 0}},
        {217, 44, false, 0, {0, 8, 8, 8, false, 0, 0}},  // below 218 x 45: never smaller than 8 x 8
        {100, 100, true, 0, {0, 8, 63, 8, true, -38, -53}},
        {700, 500, true, 0, {0, 490, 463, 319, true, 362, 347}},
        {628, 423, false, 60, {60, 358, 386, 386, false, 0, 0}},
        {628, 423, false, 500, {209, 209, 386, 386, false, 0, 0}},  // the pane keeps half its room
        {1000, 423, false, 500, {395, 395, 386, 386, false, 0, 0}},
        {1300, 423, false, 500, {500, 590, 386, 386, false, 0, 0}},
        {400, 423, false, 100, {90, 100, 386, 386, false, 0, 0}},  // and 100 pixels in a small window
        {200, 423, false, 40, {0, 8, 386, 386, false, 0, 0}},      // no room at all
    };
    for (const auto &c : cases) {
        const WindowLayout got = Layout_Compute(c.cx, c.cy, c.surfaces, c.wanted);
        const auto fields = [](const WindowLayout &l) {
            return std::tuple(l.widening, l.paneWidth, l.paneHeight, l.listHeight, l.surfaces, l.surfaceListY,
                              l.surfaceLabelY);
        };
        EXPECT_EQ(fields(got), fields(c.out)) << c.cx << " x " << c.cy << " widened by " << c.wanted;
    }
}

// The window places its controls by that arithmetic: the surface list and
// its label while a model is selected with View > Surfaces on, and the
// sash's widening moving the pane over.
TEST_F(ViewerHandlers, LayoutPlacesTheControls)
{
    Open("m.pak", {{"model", kModel64}, {"tex", kTexture}});
    OnCommand(window, CmdViewSurfaces);
    window.clientWidth = 700;
    window.clientHeight = 500;
    Select("model [0000]");
    EXPECT_EQ(window.GetControlRect(IdGlView), (ControlRect{199, 26, 490, 463}));
    EXPECT_EQ(window.GetControlRect(IdTextView), (ControlRect{199, 26, 490, 463}));
    EXPECT_EQ(window.GetControlRect(IdEntryList), (ControlRect{10, 26, 181, 319}));
    EXPECT_EQ(window.GetControlRect(IdSurfaceList), (ControlRect{11, 362, 181, 126}));
    EXPECT_EQ(window.GetControlRect(IdSurfaceLabel), (ControlRect{11, 347, 156, 13}));
    EXPECT_TRUE(window.Shown(IdSurfaceList) && window.Shown(IdSurfaceLabel));
    Select("tex [0001]");
    EXPECT_FALSE(window.Shown(IdSurfaceList) || window.Shown(IdSurfaceLabel));
    EXPECT_EQ(window.GetControlRect(IdEntryList), (ControlRect{10, 26, 181, 463}));

    for (const int wanted : {500, 60, 0}) {  // widened, narrowed again, back to the first layout
        viewer.listWidening = wanted;
        LayoutControls(window, 1000, 423);
        const int shown = Layout_Widening(wanted, 1000);
        EXPECT_EQ(window.GetControlRect(IdGlView), (ControlRect{199 + shown, 26, 790 - shown, 386})) << wanted;
        EXPECT_EQ(window.GetControlRect(IdEntryList).width, 181 + shown);
        EXPECT_EQ(window.GetControlRect(IdInfoLine).x, 199 + shown);
        EXPECT_EQ(window.GetControlRect(IdFindBar).width, 181 + shown);
    }
}

// Sound times as the bar shows them: tenths rounded down.
TEST(SoundBar, TimesReadMinutesSecondsAndTenths)
{
    const std::pair<double, const char *> cases[] = {
        {0, "0:00.0"}, {4.0, "0:04.0"}, {59.99, "0:59.9"}, {61.25, "1:01.2"}, {3600, "60:00.0"},
        {-1, "0:00.0"}, {std::nan(""), "0:00.0"},
    };
    for (const auto &[seconds, text] : cases)
        EXPECT_EQ(App_FormatSoundTime(seconds), text) << seconds;
}

TEST_F(ViewerHandlers, ExportsWriteOrSayWhyNot)
{
    const Bytes texture = Fixture_Texture(16, 8, 3, 2, Fixture_PictureColour);
    Open("e.pak", {{"data", Text("abc")}, {"tex", texture}, {"stub", Text("SYT short texture")}});
    // Raw export and the dump dialog's OK, which stays open unless the dump was written.
    Select("data [0000]");
    const Lines cannotOpen{Export_Message(ExportResult::CannotOpen)};
    const Lines cannotWrite{Export_Message(ExportResult::WriteFailed)};
    const std::pair<std::optional<std::string>, Lines> targets[] = {
        {std::nullopt, {}},
        {dir / "out.txt", {}},
        {dir / "no/such/dir/out.raw", cannotOpen},
        {"/dev/full", cannotWrite},
    };
    for (const auto &[target, messages] : targets) {
        Answer(CmdExportRaw, target);
        EXPECT_EQ(window.messages, messages) << target.value_or("(cancel)");
        window.messages.clear();
        window.answers.push_back(target);
        EXPECT_EQ(BinText_OnOk(window, DumpOptions{}), target && messages.empty()) << target.value_or("(cancel)");
        EXPECT_EQ(window.messages, messages);
    }
    EXPECT_EQ(window.dialogs.back().filter, "Text (*.txt)|*.txt;*.[tT][xX][tT]|All Files (*.*)|*");
    EXPECT_EQ(Fixture_ReadFile(dir / "out.txt"), Text("00000000: 61, 62, 63"));
    Answer(CmdExportRaw, dir / "out.raw");
    EXPECT_EQ(Fixture_ReadFile(dir / "out.raw"), Text("abc"));
    EXPECT_EQ(window.dialogs.back().filter, "DKM Data (*.raw)|*.raw;*.[rR][aA][wW]|All Files (*.*)|*");
    EXPECT_TRUE(window.dialogs.back().save && window.dialogs.back().overwritePrompt);

    Select("tex [0001]");
    Answer(CmdExportInterpreted, dir / "out.dds");
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(window.dialogs.back().filter, "Texture (*.dds)|*.dds;*.[dD][dD][sS]|All Files (*.*)|*");
    EXPECT_EQ(memcmp(Fixture_ReadFile(dir / "out.dds").data(), "DDS ", 4), 0);
    Answer(CmdExportPng, dir / "out.png");
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(window.dialogs.back().filter, "PNG Image (*.png)|*.png;*.[pP][nN][gG]|All Files (*.*)|*");
    if (Installed(kPillow)) {
        const std::string size = "import sys, PIL.Image as I; print(I.open(sys.argv[1]).size)";
        EXPECT_EQ(Output("/usr/bin/python3 -c '" + size + "' " + Quoted(dir / "out.png")), "(16, 8)\n");
    }

    // A texture without a whole header: said before any file is named.
    Select("stub [0002]");
    const size_t asked = window.dialogs.size();
    Answer(CmdExportInterpreted, dir / "stub.dds");
    EXPECT_EQ(window.dialogs.size(), asked);
    EXPECT_EQ(window.messages, Lines{Export_Message(ExportResult::TooShort)});
}

TEST_F(ViewerHandlers, ExitAndCancelShutDownInOrder)
{
    for (int command : {CmdExit, CmdCancel}) {
        InitMainDialog(window);
        Open("q.pak", {{"snd", Text("OggS-stream")}});
        Select("snd [0000]");
        viewer.preview.model = reinterpret_cast<Model *>(0x30de1);  // as a frame that parsed a model leaves it
        viewer.session.globalPak.hasIndex = true;
        window.log.clear();

        OnCommand(window, command);
        EXPECT_EQ(window.log, (Lines{"S_ClearRecord", "S_Shutdown", "Model_Free", "timer stop", "GL_Release",
                                     "end " + std::to_string(command)}));
        EXPECT_TRUE(!viewer.mainDialog && viewer.session.selectedEntry == -1 && window.entryLines.empty());
        EXPECT_TRUE(!viewer.session.mainPak.hasIndex && !viewer.session.globalPak.hasIndex);
        EXPECT_TRUE(viewer.preview.CurrentResource.empty() && !viewer.preview.soundRecord && !viewer.preview.model);
        EXPECT_EQ(window.GetLabel(IdFileLabel), "No file loaded.");
        EXPECT_EQ(window.GetLabel(IdInfoLine), "No resource selected.");
    }
}

// Export > "Export All...": a Cancel partway keeps whole files; a second run skips them.
TEST_F(ViewerHandlers, BatchExportCancelledPartwayKeepsWholeFilesAndWritesNoMore)
{
    std::vector<FixtureEntry> entries;
    for (int i = 0; i < 40; ++i)
        entries.push_back({"folder\\entry" + std::to_string(i) + ".txt",
                           i % 2 ? Fixture_LzoBlock(Bytes(50000, static_cast<uint8_t>('a' + i % 26)))
                                 : Text(std::string(30000 + i, 'x'))});
    EXPECT_FALSE(window.Enabled(CmdExportAll));
    Open("BATCH.PAK", entries);
    ASSERT_TRUE(window.Enabled(CmdExportAll));

    window.batchAnswer = BatchExportRequest{dir / "out", 0, false};
    window.cancelAfter = 5;
    OnCommand(window, CmdExportAll);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].rfind("Cancelled after 5 of 40 entries.\n5 written", 0), 0u) << window.messages[0];
    ASSERT_GE(window.progress.size(), 5u);
    EXPECT_EQ(window.progress[0].total, 40u);
    EXPECT_EQ(window.progress[4].current, "folder\\entry4.txt [0004]");
    // Exactly the first five, each complete; no temporary file is left.
    std::set<std::string> expected;
    for (int i = 0; i < 5; ++i) {
        expected.insert("folder/entry" + std::to_string(i) + ".txt");
        const Bytes want = i % 2 ? Bytes(50000, static_cast<uint8_t>('a' + i % 26))
                                 : Text(std::string(30000 + i, 'x'));
        EXPECT_EQ(Fixture_ReadFile(dir / ("out/folder/entry" + std::to_string(i) + ".txt")), want) << i;
    }
    EXPECT_EQ(FilesUnder(dir / "out"), expected);

    // Again without Cancel: the five are kept (no Overwrite), the rest written.
    window.cancelAfter = 0;
    window.messages.clear();
    OnCommand(window, CmdExportListed);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].rfind("35 written", 0), 0u) << window.messages[0];
    EXPECT_NE(window.messages[0].find("5 skipped"), std::string::npos);
    EXPECT_EQ(FilesUnder(dir / "out").size(), 40u);
}

// The find bar shows the session's lines (its rules are test_session.cpp's),
// the count, and the preview of the selection while it stays listed.
TEST_F(ViewerHandlers, FindNarrowsTheListAndClosesBackToIt)
{
    Open("f.pak", {{"textures\\env\\Stone_Wall", kTexture}, {"textures\\ui\\compass", kTexture},
                   {"scripts\\intro.xml", Text("<?xml version=\"1.0\"?><a/>")}, {"notes.txt", Text("abc")}});
    EXPECT_EQ(window.opened, Lines{dir / "f.pak"});
    Select("scripts\\intro.xml [0002]");
    OnCommand(window, CmdEditFind);
    EXPECT_TRUE(window.Shown(IdFindBar));
    EXPECT_EQ(window.GetControlRect(IdEntryList), (ControlRect{10, 62, 181, 350}));  // below the bar

    const Lines all{"notes.txt [0003]", "scripts\\intro.xml [0002]", "textures\\env\\Stone_Wall [0000]",
                    "textures\\ui\\compass [0001]"};
    const struct {
        const char *text;
        int kind;
        Lines lines;
        const char *selected;  // "" none
        const char *count;
    } cases[] = {
        {"", KindXml, {all[1]}, "scripts\\intro.xml [0002]", "1 of 4 listed"},  // kept while the kinds are read
        {"", KindTexture, {all[2], all[3]}, "", "2 of 4 listed"},  // the selection leaves
        {"zzz", -1, {}, "", "no entry matches"},
    };
    for (const auto &c : cases) {
        OnFindChanged(window, c.text, c.kind);
        // Kinds are read a slice per tick until every entry is known.
        for (int tick = 0; tick < 100 && viewer.session.kindScanNext < viewer.session.listOrder.size(); ++tick)
            OnFrameTimer();
        EXPECT_EQ(window.entryLines, c.lines) << c.text << " " << c.kind;
        EXPECT_EQ(window.GetEntryLineText(window.selection), c.selected) << c.text << " " << c.kind;
        EXPECT_EQ(window.status[1], c.count) << c.text << " " << c.kind;
        // The preview goes with the selected line, as after an archive is opened.
        EXPECT_EQ(Offered(), *c.selected ? "text raw dump interpreted " : "") << c.text << " " << c.kind;
        EXPECT_EQ(App_ListedSlots().size(), c.lines.size());
    }
    EXPECT_EQ(window.GetLabel(IdInfoLine), "No resource selected.");

    OnFindChanged(window, "wall", -1);
    Select("textures\\env\\Stone_Wall [0000]");
    EXPECT_EQ(App_ListedSlots(), std::vector<int>{0});
    OnFindClose(window);
    EXPECT_FALSE(window.Shown(IdFindBar));
    EXPECT_EQ(window.GetControlRect(IdEntryList), (ControlRect{10, 26, 181, 386}));
    EXPECT_EQ(window.entryLines, all);
    EXPECT_EQ(window.GetEntryLineText(window.selection), "textures\\env\\Stone_Wall [0000]");
    EXPECT_EQ(window.GetLabel(IdInfoLine), "Resource: Texture (0.00MB)");
}

TEST_F(ViewerHandlers, FramesOnlyWhenThePictureCanChange)
{
    Open("r.pak", {{"tex", kTexture}});
    Select("tex [0000]");
    viewer.preview.textureOffset[0] = 5;
    const auto framesIn3Ticks = [&](auto change) {
        r_local.leftDragActive = viewer.preview.animating = false;
        OnFrameTimer();  // draws what earlier steps asked for
        change();
        window.log.clear();
        for (int tick = 0; tick < 3; ++tick)
            OnFrameTimer();
        return std::count(window.log.begin(), window.log.end(), "frame");
    };
    EXPECT_EQ(framesIn3Ticks([] {}), 0);
    EXPECT_EQ(framesIn3Ticks([&] { Select("tex [0000]"); }), 1);
    EXPECT_EQ(framesIn3Ticks([&] { OnCommand(window, CmdViewXml); }), 1);
    EXPECT_EQ(framesIn3Ticks([] { r_local.leftDragActive = true; }), 3);
    EXPECT_EQ(framesIn3Ticks([] { viewer.preview.animating = true; }), 3);
    EXPECT_EQ(framesIn3Ticks([&] { OnMouseMove(window, viewer.preview, viewer.viewHidden, 0, 300, 200); }), 0);
    EXPECT_EQ(framesIn3Ticks([&] {
                  OnMouseMove(window, viewer.preview, viewer.viewHidden, MouseLeft, 300, 200);
                  OnMouseMove(window, viewer.preview, viewer.viewHidden, MouseLeft, 310, 200);
                  r_local.leftDragActive = false;
              }),
              1);
    viewer.preview.textureOffset[0] = 5;
    EXPECT_EQ(framesIn3Ticks([&] { OnCommand(window, CmdChannelsAlpha); }), 1);
    EXPECT_TRUE(window.Checked(CmdChannelsAlpha));
    EXPECT_EQ(viewer.preview.textureOffset[0], 5);  // the slide stays
    EXPECT_EQ(framesIn3Ticks([] { viewer.viewHidden = r_local.leftDragActive = true; }), 0);
}

}  // namespace
