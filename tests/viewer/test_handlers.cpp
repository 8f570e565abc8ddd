// The main window's handlers driven through the recording fake window:
// opening, selection and panes, View toggles, layout, exports, dump, shut-down.
#include "app/app_texts.h"
#include "app/main_dialog.h"
#include "fake_window.h"
#include "fixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> *gLog = nullptr;
SoundRecord *const kFakeSound = reinterpret_cast<SoundRecord *>(0x5011d);
Model *const kFakeModel = reinterpret_cast<Model *>(0x30de1);

void LogStep(const char *step)
{
    if (gLog)
        gLog->push_back(step);
}

// Services that only record their calls, in order.
void InstallRecordingServices()
{
    ViewerServices &s = viewer.services;
    s.GL_Init = [](int, int) {
        LogStep("GL_Init");
        return true;
    };
    s.GL_Release = [] { LogStep("GL_Release"); };
    s.GL_RunFrame = [] { LogStep("frame"); };
    s.S_Init = [] { LogStep("S_Init"); };
    s.S_Shutdown = [] { LogStep("S_Shutdown"); };
    s.S_Update = [] { LogStep("S_Update"); };
    s.S_LoadCurrentAsset = [] {
        LogStep("S_LoadCurrentAsset");
        return kFakeSound;
    };
    s.S_ClearRecord = [](SoundRecord *) { LogStep("S_ClearRecord"); };
    s.S_QueuePlay = [](SoundRecord *) { LogStep("S_QueuePlay"); };
    s.Model_Free = [](Model *) { LogStep("Model_Free"); };
}

Bytes Text(const std::string &s) { return Fixture_FromString(s); }

Bytes Model20(size_t length)
{
    Bytes b(length, 0);
    memcpy(b.data(), "EIFF", 4);
    memcpy(b.data() + 16, "MODL", 4);
    return b;
}

class ViewerHandlers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ViewerState_Reset();
        dir = fs::path(::testing::TempDir()) /
              ("viewer_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        gLog = &window.log;
        InitMainDialog(window);
        window.log.clear();
    }
    void TearDown() override
    {
        gLog = nullptr;
        ViewerState_Reset();
        fs::remove_all(dir);
    }

    std::string Path(const std::string &name) const { return (dir / name).string(); }

    // Writes the archive and opens it through File > Open.
    void Open(const std::string &name, const FixtureArchive &archive)
    {
        ASSERT_TRUE(Fixture_WritePak(Path(name), archive));
        OpenThroughDialog(Path(name));
    }
    void OpenThroughDialog(const std::string &path)
    {
        window.answers.push_back(path);
        OnCommand(window, CmdFileOpen);
    }
    void Select(const std::string &line)
    {
        window.Select(line);
        OnSelchangeEntryList(window);
    }

    FakeWindow window;
    fs::path dir;
};

TEST_F(ViewerHandlers, StartsWithPanesHiddenExportsGrayAndChecksSet)
{
    EXPECT_EQ(window.GetLabel(IdFileLabel), "No file loaded.");
    EXPECT_EQ(window.GetLabel(IdInfoLine), "No resource selected.");
    for (ControlId id : {IdGlView, IdTextView, IdPlayOnClick, IdSurfaceList, IdSurfaceLabel})
        EXPECT_FALSE(window.Shown(id)) << id;
    EXPECT_TRUE(window.playOnClick);
    EXPECT_TRUE(viewer.viewHidden);
    EXPECT_EQ(window.timerInterval, 10);
    for (Command c : {CmdExportRaw, CmdExportInterpreted, CmdExportDump})
        EXPECT_FALSE(window.Enabled(c)) << c;
    for (Command c : {CmdViewModels, CmdViewModelMaterials, CmdViewTextures, CmdViewMaterials, CmdViewXml,
                      CmdViewOther})
        EXPECT_TRUE(window.Checked(c)) << c;
    EXPECT_FALSE(window.Checked(CmdViewSurfaces));
    EXPECT_EQ(window.GetControlRect(IdGlView), (ControlRect{199, 26, 418, 386}));
}

TEST_F(ViewerHandlers, OpenFillsTheListInCaseInsensitiveOrder)
{
    FixtureArchive a;
    for (const char *name : {"b", "_x", "A", "a"})
        a.entries.push_back({name, Text("abc")});
    a.entries.push_back({"gone", {}, -1, 0, true});  // skipped record 4
    a.entries.push_back({"after", Text("abc")});
    Open("Mixed.Pak", a);

    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(window.dialogs.at(0).filter, "PAK Files (*.pak)|*.pak;*.[pP][aA][kK]");
    EXPECT_FALSE(window.dialogs.at(0).save);
    EXPECT_EQ(window.GetLabel(IdFileLabel), "Mixed.Pak");
    EXPECT_EQ(window.GetLabel(IdInfoLine), "No resource selected.");
    EXPECT_EQ(window.entryLines,
              (std::vector<std::string>{"_x [0001]", "A [0002]", "a [0003]", "after [0005]", "b [0000]"}));
}

TEST_F(ViewerHandlers, FiveDigitNumbersSortBeforeFourDigitOnes)
{
    FixtureArchive a;
    a.entries.assign(10001, FixtureEntry{"a", Text("x")});
    Open("big.pak", a);
    ASSERT_EQ(window.entryLines.size(), 10001u);
    auto at = [&](const char *line) {
        return std::find(window.entryLines.begin(), window.entryLines.end(), line) - window.entryLines.begin();
    };
    EXPECT_LT(at("a [10000]"), at("a [9999]"));
}

TEST_F(ViewerHandlers, RefusedOpenLeavesThePreviousArchiveListedAndSelectable)
{
    FixtureArchive a;
    a.entries.push_back({"note", Text("hello world")});
    Open("first.pak", a);
    ASSERT_EQ(window.entryLines.size(), 1u);

    ASSERT_TRUE(Fixture_WriteFile(Path("short.pak"), Text("PAK_1234")));
    ASSERT_TRUE(Fixture_WriteFile(Path("x.pak.bak"), Fixture_PakBytes(a)));
    ASSERT_TRUE(Fixture_WriteFile(Path("pak"), Fixture_PakBytes(a)));
    ASSERT_TRUE(Fixture_WriteFile(Path("wrong.pak"), Text("PAK-0123456789abcdef")));
    const struct {
        std::string path;
        const char *message;
    } refusals[] = {
        {Path("missing.pak"), "There was an error opening the file."},
        {Path("x.pak.bak"), "Expected actual filename to have .pak extension."},
        {Path("pak"), "Expected actual filename to have .pak extension."},
        {Path("short.pak"), "This file is not Duskmoor entry-point PAK. GLOBAL.PAK, M01_NIGHTMARE.PAK, "
                            "M02_FENHOLT1.PAK, and so on are all valid entry files."},
        {Path("wrong.pak"), "This file is not Duskmoor entry-point PAK. GLOBAL.PAK, M01_NIGHTMARE.PAK, "
                            "M02_FENHOLT1.PAK, and so on are all valid entry files."},
    };
    Select("note [0000]");
    for (const auto &r : refusals) {
        window.messages.clear();
        OpenThroughDialog(r.path);
        EXPECT_EQ(window.messages, std::vector<std::string>{r.message}) << r.path;
        EXPECT_EQ(window.GetLabel(IdFileLabel), "first.pak");
        EXPECT_EQ(window.entryLines, std::vector<std::string>{"note [0000]"});
        EXPECT_EQ(window.GetLabel(IdInfoLine), "Resource: Text (0.00MB)");
        EXPECT_EQ(viewer.preview.CurrentResource, Text("hello world"));
    }
    // A cancelled dialog changes nothing either.
    window.answers.push_back(std::nullopt);
    OnCommand(window, CmdFileOpen);
    EXPECT_EQ(window.GetLabel(IdFileLabel), "first.pak");

    Select("note [0000]");
    EXPECT_EQ(window.textView, "hello world");
    EXPECT_TRUE(window.Shown(IdTextView));
}

TEST_F(ViewerHandlers, SelectionSetsPaneInfoLineAndExportItems)
{
    const std::string xml = "<?xml version=\"1.0\"?>\n<a/>\n";
    FixtureArchive a;
    a.entries = {
        {"empty", {}},
        {"ab", Text("ab")},
        {"abc", Text("abc")},
        {"tex", Fixture_Texture(8, 8, 1, 1, Fixture_PictureColour)},
        {"xml", Text(xml)},
        {"ogg", Text("OggS-stream")},
        {"fx", Fixture_EffectContainer({"one.tex", "", "two.snd"})},
        {"model", Model20(64)},
        {"eiff20", Model20(20)},
        {"packed", Fixture_LzoBlock(Text("line one\nline two\n")), 0},  // in companion 00
        {"big", Bytes(1572864, 'a')},
    };
    Open("kinds.pak", a);

    const struct {
        const char *line;
        const char *info;
        bool gl, text, play, exports, interpreted;
        const char *textView;  // nullptr: not checked
    } cases[] = {
        {"empty [0000]", "Resource: Unknown (0.00MB)", false, false, false, false, false, nullptr},
        {"ab [0001]", "Resource: Unknown (0.00MB)", false, false, false, true, false, nullptr},
        {"abc [0002]", "Resource: Text (0.00MB)", false, true, false, true, true, "abc"},
        {"tex [0003]", "Resource: Texture (0.00MB)", true, false, false, true, true, nullptr},
        {"xml [0004]", "Resource: XML (events, scripts, etc.) (0.00MB)", false, true, false, true, true,
         "<?xml version=\"1.0\"?>\r\n<a/>\r\n"},
        {"ogg [0005]", "Resource: Ogg Vorbis (audio) (0.00MB)", false, false, true, true, true, nullptr},
        {"fx [0006]", "Resource: Effect/Media (0.00MB)", false, true, false, true, false,
         "Dependencies:\r\none.tex\r\ntwo.snd\r\n"},
        // No OBJ writer is installed yet, so models offer no interpreted export.
        {"model [0007]", "Resource: Model (0.00MB)", true, false, false, true, false, nullptr},
        // Not examined for "MODL": a 20-byte "EIFF" falls through to the text rule.
        {"eiff20 [0008]", "Resource: Text (0.00MB)", false, true, false, true, true, "EIFF"},
        {"packed [0009]", "Resource: Text (0.00MB)", false, true, false, true, true,
         "line one\r\nline two\r\n"},
        {"big [0010]", "Resource: Text (1.50MB)", false, true, false, true, true, nullptr},
    };
    for (const auto &c : cases) {
        window.textView.clear();
        Select(c.line);
        EXPECT_EQ(window.GetLabel(IdInfoLine), c.info) << c.line;
        EXPECT_EQ(window.Shown(IdGlView), c.gl) << c.line;
        EXPECT_EQ(viewer.viewHidden, !c.gl) << c.line;
        EXPECT_EQ(window.Shown(IdTextView), c.text) << c.line;
        EXPECT_EQ(window.Shown(IdPlayOnClick), c.play) << c.line;
        EXPECT_EQ(window.Enabled(CmdExportRaw), c.exports) << c.line;
        EXPECT_EQ(window.Enabled(CmdExportDump), c.exports) << c.line;
        EXPECT_EQ(window.Enabled(CmdExportInterpreted), c.interpreted) << c.line;
        if (c.textView) {
            EXPECT_EQ(window.textView, c.textView) << c.line;
        }
    }
}

TEST_F(ViewerHandlers, NoSelectionOrNoArchiveSaysNoResourceSelected)
{
    window.SetLabel(IdInfoLine, "stale");
    OnSelchangeEntryList(window);
    EXPECT_EQ(window.GetLabel(IdInfoLine), "No resource selected.");

    FixtureArchive a;
    a.entries = {{"a", Text("abc")}, {"b", Text("abc")}};
    Open("two.pak", a);
    Select("a [0000]");
    for (int selection : {-1, 2, 7}) {  // none, or not below the header's count
        window.selection = selection;
        OnSelchangeEntryList(window);
        EXPECT_EQ(window.GetLabel(IdInfoLine), "No resource selected.") << selection;
        EXPECT_FALSE(window.Enabled(CmdExportRaw));
        EXPECT_TRUE(viewer.preview.CurrentResource.empty());
        EXPECT_EQ(viewer.selectedEntry, -1);
    }
}

TEST_F(ViewerHandlers, MissingCompanionKeepsPaneAndInfoLine)
{
    FixtureArchive a;
    a.entries = {{"here", Text("visible text")}, {"away", Text("abc"), 3}};
    Open("M01_TEST.pak", a);
    fs::remove(Path("M01_TEST_03.PAK"));
    Select("here [0000]");
    Select("away [0001]");
    EXPECT_EQ(window.messages, std::vector<std::string>{"Could not open the desired PAK entry, because '" +
                                                        Path("M01_TEST_03.PAK") + "' could not be opened."});
    EXPECT_EQ(window.GetLabel(IdInfoLine), "Resource: Text (0.00MB)");
    EXPECT_TRUE(window.Shown(IdTextView));
    EXPECT_EQ(window.textView, "visible text");
    EXPECT_FALSE(window.Enabled(CmdExportRaw));
    EXPECT_TRUE(viewer.preview.CurrentResource.empty());
}

TEST_F(ViewerHandlers, ViewTogglesReReadTheSelectedEntry)
{
    FixtureArchive a;
    a.entries = {{"tex", Fixture_Texture(8, 8, 1, 1, Fixture_PictureColour)}, {"note", Text("first")}};
    Open("t.pak", a);
    Select("tex [0000]");
    ASSERT_TRUE(window.Shown(IdGlView));

    OnCommand(window, CmdViewTextures);
    EXPECT_FALSE(window.Checked(CmdViewTextures));
    EXPECT_FALSE(window.Shown(IdGlView));
    EXPECT_FALSE(window.Shown(IdTextView));
    EXPECT_TRUE(viewer.viewHidden);
    EXPECT_EQ(window.GetLabel(IdInfoLine), "Resource: Texture (0.00MB)");
    EXPECT_TRUE(window.Enabled(CmdExportRaw));
    EXPECT_TRUE(window.Enabled(CmdExportInterpreted));

    // The toggle reads the entry again from the file, not from memory.
    Select("note [0001]");
    a.entries[1].bytes = Text("fresh");
    ASSERT_TRUE(Fixture_WritePak(Path("t.pak"), a));
    OnCommand(window, CmdViewXml);
    EXPECT_EQ(window.textView, "fresh");
    OnCommand(window, CmdViewOther);
    EXPECT_FALSE(window.Checked(CmdViewOther));
    EXPECT_FALSE(window.Shown(IdTextView));
    EXPECT_EQ(window.GetLabel(IdInfoLine), "Resource: Text (0.00MB)");
    OnCommand(window, CmdViewOther);
    EXPECT_TRUE(window.Shown(IdTextView));

    OnCommand(window, CmdViewModelMaterials);
    EXPECT_FALSE(viewer.modelMaterialsEnabled);
    EXPECT_FALSE(window.Checked(CmdViewModelMaterials));
}

TEST_F(ViewerHandlers, PlayOnClickQueuesTheSoundOncePerSelection)
{
    InstallRecordingServices();
    FixtureArchive a;
    a.entries = {{"snd", Text("OggS-stream")}, {"note", Text("abc")}};
    Open("s.pak", a);
    window.log.clear();
    Select("snd [0000]");
    EXPECT_EQ(window.log, (std::vector<std::string>{"S_LoadCurrentAsset", "S_QueuePlay"}));

    // A View toggle re-runs the selection: the playing sound is silenced by a
    // restart of the module, then the entry plays again.
    window.log.clear();
    OnCommand(window, CmdViewModels);
    EXPECT_EQ(window.log, (std::vector<std::string>{"S_ClearRecord", "S_Shutdown", "S_Init",
                                                    "S_LoadCurrentAsset", "S_QueuePlay"}));

    window.log.clear();
    window.playOnClick = false;
    Select("snd [0000]");
    EXPECT_EQ(window.log, (std::vector<std::string>{"S_ClearRecord", "S_Shutdown", "S_Init"}));
    // Disabled previews still play.
    window.playOnClick = true;
    viewer.previewEnabled[KindOggVorbis] = false;
    window.log.clear();
    Select("snd [0000]");
    EXPECT_EQ(window.log, (std::vector<std::string>{"S_LoadCurrentAsset", "S_QueuePlay"}));
    EXPECT_TRUE(window.Shown(IdPlayOnClick));
}

TEST_F(ViewerHandlers, LayoutFollowsTheArithmetic)
{
    const struct {
        int cx, cy;
        ControlRect pane, list;
    } sizes[] = {
        {628, 423, {199, 26, 418, 386}, {10, 26, 181, 386}},
        {1000, 700, {199, 26, 790, 663}, {10, 26, 181, 663}},
        {217, 44, {199, 26, 8, 8}, {10, 26, 181, 8}},  // below 218 x 45: never smaller than 8 x 8
        {0, 0, {199, 26, 8, 8}, {10, 26, 181, 8}},
    };
    for (const auto &s : sizes) {
        LayoutControls(window, s.cx, s.cy);
        EXPECT_EQ(window.GetControlRect(IdGlView), s.pane) << s.cx;
        EXPECT_EQ(window.GetControlRect(IdTextView), s.pane) << s.cx;
        EXPECT_EQ(window.GetControlRect(IdEntryList), s.list) << s.cx;
    }
}

TEST_F(ViewerHandlers, SurfaceListTakesRoomOnlyForModels)
{
    FixtureArchive a;
    a.entries = {{"model", Model20(64)}, {"tex", Fixture_Texture(8, 8, 1, 1, Fixture_PictureColour)}};
    Open("m.pak", a);
    window.clientWidth = 700;
    window.clientHeight = 500;
    OnCommand(window, CmdViewSurfaces);
    EXPECT_TRUE(window.Checked(CmdViewSurfaces));
    EXPECT_FALSE(window.Shown(IdSurfaceList));
    EXPECT_EQ(window.GetControlRect(IdEntryList).height, 463);

    Select("model [0000]");
    EXPECT_TRUE(window.Shown(IdSurfaceList));
    EXPECT_TRUE(window.Shown(IdSurfaceLabel));
    EXPECT_EQ(window.GetControlRect(IdEntryList).height, 463 - 144);
    EXPECT_EQ(window.GetControlRect(IdSurfaceList), (ControlRect{11, 362, 181, 126}));
    EXPECT_EQ(window.GetControlRect(IdSurfaceLabel), (ControlRect{11, 347, 156, 13}));
    EXPECT_GE(window.surfaceListClears, 1);

    Select("tex [0001]");
    EXPECT_FALSE(window.Shown(IdSurfaceList));
    EXPECT_FALSE(window.Shown(IdSurfaceLabel));
    EXPECT_EQ(window.GetControlRect(IdEntryList).height, 463);

    // Tiny windows keep an 8-pixel entry list even with the surface list shown.
    Select("model [0000]");
    LayoutControls(window, 100, 100);
    EXPECT_EQ(window.GetControlRect(IdEntryList).height, 8);
}

TEST_F(ViewerHandlers, AcceleratorsFollowTheMenuItems)
{
    FixtureArchive a;
    a.entries = {{"ab", Text("ab")}, {"abc", Text("abc")}};
    Open("k.pak", a);
    window.dialogs.clear();

    OnCommand(window, CmdAccelRaw);  // nothing selected: Raw is gray
    OnCommand(window, CmdAccelInterpreted);
    OnCommand(window, CmdAccelHelp);
    EXPECT_TRUE(window.dialogs.empty());
    EXPECT_EQ(window.aboutRuns, 0);

    Select("ab [0000]");  // Unknown: Raw offered, Interpreted not
    OnCommand(window, CmdAccelInterpreted);
    EXPECT_TRUE(window.dialogs.empty());
    OnCommand(window, CmdAccelRaw);
    ASSERT_EQ(window.dialogs.size(), 1u);
    EXPECT_EQ(window.dialogs[0].filter, "DKM Data (*.raw)|*.raw;*.[rR][aA][wW]|All Files (*.*)|*");
    EXPECT_EQ(window.dialogs[0].defaultExtension, ".raw");
    EXPECT_TRUE(window.dialogs[0].save && window.dialogs[0].overwritePrompt);

    Select("abc [0001]");
    OnCommand(window, CmdAccelInterpreted);
    ASSERT_EQ(window.dialogs.size(), 2u);
    EXPECT_EQ(window.dialogs[1].filter, "Text (*.txt)|*.txt;*.[tT][xX][tT]|All Files (*.*)|*");
    EXPECT_EQ(window.dialogs[1].defaultExtension, ".txt");

    OnCommand(window, CmdAbout);
    OnCommand(window, CmdExportDump);
    EXPECT_EQ(window.aboutRuns, 1);
    EXPECT_EQ(window.dumpRuns, 1);
}

TEST_F(ViewerHandlers, ExportsWriteOrSayWhyNot)
{
    const Bytes stored = Text("LZO\x01 not really compressed");
    const Bytes texture = Fixture_Texture(16, 8, 3, 2, Fixture_PictureColour);
    FixtureArchive a;
    a.entries = {{"stored", stored}, {"tex", texture}, {"stub", Text("SYT short texture")}};
    Open("e.pak", a);
    fs::create_directories(Path("ro"));

    Select("stored [0000]");
    const struct {
        std::optional<std::string> target;
        std::vector<std::string> messages;
    } raws[] = {
        {std::nullopt, {}},
        {Path("out.raw"), {}},
        {Path("no/such/dir/out.raw"), {"Could not open file for writing."}},
        {Path("ro"), {"Could not open file for writing."}},  // a directory
        {"/dev/full", {"Could not write the file."}},
    };
    for (const auto &r : raws) {
        window.messages.clear();
        window.answers.push_back(r.target);
        OnCommand(window, CmdExportRaw);
        EXPECT_EQ(window.messages, r.messages) << r.target.value_or("(cancel)");
    }
    EXPECT_EQ(Fixture_ReadFile(Path("out.raw")), stored);  // failed decompression: the stored bytes

    Select("tex [0001]");
    window.messages.clear();
    window.answers.push_back(Path("out.dds"));
    OnCommand(window, CmdExportInterpreted);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(window.dialogs.back().filter, "Texture (*.dds)|*.dds;*.[dD][dD][sS]|All Files (*.*)|*");
    const Bytes dds = Fixture_ReadFile(Path("out.dds"));
    ASSERT_EQ(dds.size(), texture.size());
    EXPECT_EQ(memcmp(dds.data(), "DDS ", 4), 0);
    EXPECT_TRUE(std::equal(dds.begin() + 128, dds.end(), texture.begin() + 128));

    window.answers.push_back("/dev/full");
    OnCommand(window, CmdExportInterpreted);
    EXPECT_EQ(window.messages, std::vector<std::string>{"Could not write the file."});

    // A texture without a whole header: said before any file is named.
    Select("stub [0002]");
    window.messages.clear();
    const size_t asked = window.dialogs.size();
    OnCommand(window, CmdExportInterpreted);
    EXPECT_EQ(window.dialogs.size(), asked);
    EXPECT_EQ(window.messages,
              std::vector<std::string>{"This texture is too short to hold its header, so it has no .dds form."});
}

TEST_F(ViewerHandlers, DumpDialogStaysOpenUnlessTheDumpWasWritten)
{
    Bytes bytes(20);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i);
    FixtureArchive a;
    a.entries = {{"data", bytes}};
    Open("d.pak", a);
    Select("data [0000]");
    DumpOptions options;  // Unsigned Byte, hexadecimal, from 0

    const struct {
        std::optional<std::string> target;
        bool closes;
        std::vector<std::string> messages;
    } runs[] = {
        {std::nullopt, false, {}},
        {Path("none/out.txt"), false, {"Could not open file for writing."}},
        {"/dev/full", false, {"Could not write the file."}},
        {Path("out.txt"), true, {}},
    };
    for (const auto &r : runs) {
        window.messages.clear();
        window.answers.push_back(r.target);
        EXPECT_EQ(BinText_OnOk(window, options), r.closes) << r.target.value_or("(cancel)");
        EXPECT_EQ(window.messages, r.messages);
    }
    EXPECT_EQ(window.dialogs.back().filter, "Text (*.txt)|*.txt;*.[tT][xX][tT]|All Files (*.*)|*");
    const Bytes text = Fixture_ReadFile(Path("out.txt"));
    EXPECT_EQ(std::string(text.begin(), text.end()),
              "00000000: 00, 01, 02, 03, 04, 05, 06, 07, 08, 09, 0a, 0b, 0c, 0d, 0e, 0f,\n"
              "00000016: 10, 11, 12, 13");
}

TEST_F(ViewerHandlers, ExitCancelAndCloseShutDownInOrder)
{
    for (int command : {CmdExit, CmdCancel}) {
        ViewerState_Reset();
        FakeWindow w;
        gLog = &w.log;
        InstallRecordingServices();
        InitMainDialog(w);
        FixtureArchive a;
        a.entries = {{"snd", Text("OggS-stream")}};
        ASSERT_TRUE(Fixture_WritePak(Path("q.pak"), a));
        w.answers.push_back(Path("q.pak"));
        OnCommand(w, CmdFileOpen);
        w.Select("snd [0000]");
        OnSelchangeEntryList(w);
        viewer.preview.model = kFakeModel;  // as a frame that parsed a model leaves it
        viewer.globalPak.hasIndex = true;
        w.log.clear();

        OnCommand(w, command);
        EXPECT_EQ(w.log, (std::vector<std::string>{"S_ClearRecord", "S_Shutdown", "Model_Free", "timer stop",
                                                   "GL_Release", "end " + std::to_string(command)}));
        EXPECT_EQ(viewer.mainDialog, nullptr);
        EXPECT_EQ(viewer.selectedEntry, -1);
        EXPECT_FALSE(viewer.mainPak.hasIndex);
        EXPECT_FALSE(viewer.globalPak.hasIndex);
        EXPECT_TRUE(viewer.preview.CurrentResource.empty());
        EXPECT_EQ(viewer.preview.soundRecord, nullptr);
        EXPECT_EQ(viewer.preview.model, nullptr);
        EXPECT_TRUE(w.entryLines.empty());
        EXPECT_EQ(w.GetLabel(IdFileLabel), "No file loaded.");
        EXPECT_EQ(w.GetLabel(IdInfoLine), "No resource selected.");
    }
}

TEST_F(ViewerHandlers, FrameTimerDrawsOnlyWhileTheViewIsShown)
{
    InstallRecordingServices();
    viewer.viewHidden = true;
    OnFrameTimer();
    viewer.viewHidden = false;
    OnFrameTimer();
    EXPECT_EQ(window.log, (std::vector<std::string>{"S_Update", "S_Update", "frame"}));
}

// The list's order is one fixed case-insensitive byte order, whatever the
// locale: '_' (between 'Z' and 'a') sorts after letters, and a line that is a
// prefix of another comes first.
TEST(ViewerEntryListOrder, AgreesWithTheLineComparison)
{
    PakArchive archive;
    const char alphabet[] = "aAbBzZ_-.09[] ~\x7f\xe9";
    uint32_t seed = 12345;
    for (int i = 0; i < 3000; ++i) {
        PakEntry entry{};
        seed = seed * 1103515245u + 12345u;
        const int length = 1 + static_cast<int>((seed >> 16) % 6);
        for (int k = 0; k < length; ++k) {
            seed = seed * 1103515245u + 12345u;
            entry.name[k] = alphabet[(seed >> 16) % (sizeof alphabet - 1)];
        }
        entry.index = i;
        if (i % 7 != 3)  // some slots stay empty, as skipped records do
            Pak_FormatDisplayName(entry);
        archive.entries.push_back(entry);
    }
    const std::vector<int> order = Pak_SortedLines(archive);
    std::vector<int> expected;
    for (int i = 0; i < static_cast<int>(archive.entries.size()); ++i)
        if (archive.entries[i].displayName[0] != '\0')
            expected.push_back(i);
    std::stable_sort(expected.begin(), expected.end(), [&](int x, int y) {
        return Pak_CompareLines(archive.entries[x].displayName, archive.entries[y].displayName) < 0;
    });
    EXPECT_EQ(order, expected);
}

TEST(ViewerFileDialogFilter, MatchesEveryCaseOnCaseSensitiveSystems)
{
    EXPECT_EQ(FileDialogFilter("PAK Files (*.pak)|*.pak"), "PAK Files (*.pak)|*.pak;*.[pP][aA][kK]");
    EXPECT_EQ(FileDialogFilter("A (*.b2)|*.b2;*.x|All Files (*.*)|*.*"),
              "A (*.b2)|*.b2;*.[bB]2;*.x;*.[xX]|All Files (*.*)|*");
    EXPECT_EQ(FileDialogFilter("Odd|*|Num|*.123"), "Odd|*|Num|*.123");
}

}  // namespace
