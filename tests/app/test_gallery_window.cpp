// View > "As Gallery" in the real window under a virtual display: the
// thumbnails read back from the screen, each colour in its cell in name
// order; a replaced texture's new picture; clicks, keys and the wheel
// through the toolkit's own dispatch.
#include "model_fixtures.h"
#include "temp_dir.h"
#include "test_data.h"
#include "app/command_table.h"
#include "app/entry_tree_ctrl.h"
#include "app/gallery_panel.h"
#include "export/png_writer.h"
#include "gl_test_view.h"
#include "texture/texture.h"

#include <wx/menu.h>
#include <wx/textctrl.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Names in the list's order, each texture of one colour.
const Rgb kRed{220, 30, 30}, kGreen{40, 200, 60}, kBlue{30, 60, 220}, kYellow{230, 220, 40};
const Pixel kPurple{150, 40, 200};
const char *const kNames[] = {"a_red", "b_green", "c_blue", "d_half", "f_stone", "g_box", "h_readme.txt"};

// Of one colour, with every mip level.
Bytes SolidTexture(BlockColour colour, uint32_t side = 64)
{
    uint32_t levels = 1;
    for (uint32_t s = side; s > 1; s /= 2)
        ++levels;
    return Fixture_Texture(side, side, 1, levels, colour);
}

// Left half transparent (DXT5, alpha 0), right half yellow.
Bytes HalfTransparent()
{
    Bytes t = Fixture_Texture(64, 64, 5, 1, Solid<230, 220, 40>);
    for (uint32_t block = 0; block < 256; ++block)
        if (block % 16 < 8)
            t[kTextureHeaderSize + 16 * block] = 0;  // alpha0 0, alpha1 0: every texel transparent
    return t;
}

// The window's gallery and what the screen shows of it.
class GalleryTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (StartWx())
            CloseWindow(frame);
    }
    // A menu item chosen as its menu delivers it.
    void Menu(Command command)
    {
        wxMenu *menu = nullptr;
        wxMenuItem *item = frame->GetMenuBar()->FindItem(Command_ToWxId(command), &menu);
        ASSERT_TRUE(item && menu);
        menu->SendEvent(item->GetId(), item->IsCheckable() ? !item->IsChecked() : -1);
        Pump(30);
    }
    bool Complete()
    {
        const bool complete = PumpUntil(5000, [&] { return gallery->ScreenComplete(); });
        Pump(100);  // the server shows what was painted
        return complete;
    }
    // The colour the screen shows at a cell's point (dx, dy) from its square's centre.
    Pixel CellPixel(size_t cell, int dx = 0, int dy = 0)
    {
        const wxRect square = gallery->ThumbRect(cell);
        const wxImage shot = ScreenImage(frame);
        const wxPoint at = gallery->ClientToScreen(square.GetPosition() + wxPoint(square.width / 2 + dx, square.height / 2 + dy)) -
                           frame->GetScreenPosition();
        if (!wxRect(shot.GetSize()).Contains(at)) {
            ADD_FAILURE() << "cell " << cell << " is not on screen";
            return {-1, -1, -1};
        }
        return {shot.GetRed(at.x, at.y), shot.GetGreen(at.x, at.y), shot.GetBlue(at.x, at.y)};
    }
    void Click(size_t cell, bool twice = false)
    {
        wxUIActionSimulator sim;
        sim.MouseMove(gallery->ClientToScreen(gallery->ThumbRect(cell).GetPosition() + wxPoint(10, 10)));
        Pump(20);
        if (twice)
            sim.MouseDblClick();
        else
            sim.MouseClick();
    }
    std::string SelectedName() const
    {
        return viewer.session.selectedEntry < 0 ? "" : viewer.session.mainPak.entries[viewer.session.selectedEntry].name;
    }

    TempDir dir;
    SeamWindow *frame = nullptr;
    GalleryPanel *gallery = nullptr;
};

class GalleryWindowTest : public GalleryTest {
protected:
    void SetUp() override
    {
        if (!StartWx())
            GTEST_SKIP() << "no display";
        const float centre[3] = {0, 0, 0}, half[3] = {1, 1, 1};
        ModelFixture box;
        box.surfaces.push_back(Fixture_Box("f_stone.mat", centre, half));
        ASSERT_TRUE(Fixture_WritePak(archive, {{{"a_red", SolidTexture(Solid<220, 30, 30>)},
                                                {"b_green", SolidTexture(Solid<40, 200, 60>, 256)},
                                                {"c_blue", SolidTexture(Solid<30, 60, 220>)},
                                                {"d_half", HalfTransparent()},
                                                {"f_stone", MaterialBytes("numTextures 1 Texture 0 WRAP WRAP b_green")},
                                                {"g_box", Fixture_Model(box)},
                                                {"h_readme.txt", Fixture_FromString("Some words\r\n")}}}));
        TextureImage image{64, 64, {}};
        for (int i = 0; i < 64 * 64; ++i)
            image.rgba.insert(image.rgba.end(), {uint8_t(kPurple.r), uint8_t(kPurple.g), uint8_t(kPurple.b), 255});
        Bytes file;
        ASSERT_TRUE(Png_Encode(image, file));
        ASSERT_TRUE(Fixture_WriteFile(png, file));
        ViewerState_Reset();
        R_ResetState();
        frame = OpenWindow(archive);
        gallery = frame->Gallery();
    }
    void Key(int key)
    {
        gallery->SetFocus();
        Pump(20);
        wxUIActionSimulator().Char(key);
        Pump(60);
    }

    const std::string archive = dir / "Gallery.PAK";
    const std::string png = dir / "purple.png";
};

TEST_F(GalleryWindowTest, ThumbnailsSitInTheirCellsInNameOrder)
{
    ASSERT_TRUE(ClickLine(*frame, "a_red [0000]"));
    Menu(CmdViewAsGallery);
    ASSERT_TRUE(gallery->IsShown());
    EXPECT_TRUE(frame->IsMenuItemEnabled(CmdViewAsGallery));
    EXPECT_FALSE(frame->Control(IdGlView)->IsShown());
    ASSERT_TRUE(Complete());
    ASSERT_EQ(gallery->Cells().cells.size(), 7u);

    // The material shows its diffuse texture; the checkerboard shows through
    // the transparent half.
    const struct {
        size_t cell;
        int dx;
        Rgb colour;
    } cases[] = {
        {0, 0, kRed}, {1, 0, kGreen}, {2, 0, kBlue}, {3, 16, kYellow}, {4, 0, kGreen},
    };
    for (const auto &c : cases)
        EXPECT_TRUE(ShowsBlock(CellPixel(c.cell, c.dx), c.colour)) << c.cell << ": " << CellPixel(c.cell, c.dx);
    const Pixel board = CellPixel(3, -20, -20);
    EXPECT_TRUE(Near(board, {255, 255, 255}, 2) || Near(board, {204, 204, 204}, 2)) << board;
    EXPECT_NE(CellPixel(3, -20, -20), CellPixel(3, -12, -20));  // squares of the board side by side
    // The model and the text show an icon of their kind, not a picture.
    EXPECT_EQ(gallery->Cells().cells[5].kind, KindModel);
    EXPECT_EQ(gallery->Cells().cells[6].kind, KindText);

    // The size from the menu, then from Ctrl and the wheel.
    Menu(CmdViewThumbs64);
    ASSERT_TRUE(Complete());
    EXPECT_EQ(gallery->ThumbRect(0).width, 64);
    EXPECT_TRUE(ShowsBlock(CellPixel(2), kBlue));
    wxMouseEvent wheel(wxEVT_MOUSEWHEEL);
    wheel.SetControlDown(true);
    wheel.m_wheelRotation = 240;
    wheel.m_wheelDelta = 120;
    wheel.SetEventObject(gallery);
    gallery->GetEventHandler()->ProcessEvent(wheel);
    ASSERT_TRUE(Complete());
    EXPECT_EQ(gallery->ThumbSize(), 256);
    EXPECT_TRUE(frame->GetMenuBar()->IsChecked(Command_ToWxId(CmdViewThumbs256)));
    EXPECT_TRUE(ShowsBlock(CellPixel(0), kRed));
}

TEST_F(GalleryWindowTest, ClicksKeysAndTypingMoveTheSelection)
{
    Menu(CmdViewThumbs128);
    Menu(CmdViewAsGallery);
    ASSERT_TRUE(Complete());
    const int columns = gallery->ThumbRect(1).y == gallery->ThumbRect(0).y ? [&] {
        int n = 1;
        while (gallery->ThumbRect(n).y == gallery->ThumbRect(0).y)
            ++n;
        return n;
    }() : 1;
    ASSERT_GE(columns, 2);

    // A click selects, and the list follows.
    Click(1);
    ASSERT_TRUE(PumpUntil(2000, [&] { return SelectedName() == "b_green"; })) << SelectedName();
    EXPECT_EQ(frame->GetEntryLineText(frame->GetEntrySelection()), "b_green [0001]");
    EXPECT_FALSE(frame->Control(IdGlView)->IsShown());

    const struct {
        int key;
        std::string selected;
    } keys[] = {
        {WXK_RIGHT, "c_blue"},
        {WXK_LEFT, "b_green"},
        {WXK_DOWN, kNames[std::min(1 + columns, 6)]},  // a row down, or the last
        {WXK_HOME, "a_red"},
        {WXK_END, "h_readme.txt"},
        {'g', "g_box"},
        {'c', "c_blue"},
    };
    for (const auto &k : keys) {
        Key(k.key);
        EXPECT_TRUE(PumpUntil(1000, [&] { return SelectedName() == k.selected; })) << k.key << ": " << SelectedName();
        Pump(1100 * (k.key == 'g'));  // typing starts again
    }

    // Enter opens the entry in the usual preview, the gallery closed.
    Key(WXK_RETURN);
    ASSERT_TRUE(PumpUntil(1000, [&] { return !gallery->IsShown(); }));
    EXPECT_TRUE(frame->Control(IdGlView)->IsShown());
    EXPECT_FALSE(frame->GetMenuBar()->IsChecked(Command_ToWxId(CmdViewAsGallery)));
    EXPECT_EQ(SelectedName(), "c_blue");

    // A double click does too.
    Menu(CmdViewAsGallery);
    ASSERT_TRUE(Complete());
    ASSERT_FALSE(gallery->ThumbRect(3).IsEmpty());  // on screen with the selected one
    Click(3, true);
    ASSERT_TRUE(PumpUntil(2000, [&] { return !gallery->IsShown(); }));
    EXPECT_EQ(SelectedName(), "d_half");
    EXPECT_TRUE(frame->Control(IdGlView)->IsShown());
}

TEST_F(GalleryWindowTest, AReplacedTextureShowsItsNewPictureAndMark)
{
    Menu(CmdViewAsGallery);
    ASSERT_TRUE(Complete());
    ASSERT_TRUE(ShowsBlock(CellPixel(2), kBlue));
    // Replace the blue one from a purple PNG.
    Click(2);
    ASSERT_TRUE(PumpUntil(2000, [&] { return SelectedName() == "c_blue"; }));
    frame->answers.push_back(png);
    Menu(CmdEditReplace);
    ASSERT_TRUE(PumpUntil(3000, [&] { return gallery->Cells().cells.size() == 7 && gallery->Cells().cells[2].mark != 0; }));
    ASSERT_TRUE(Complete());
    EXPECT_TRUE(Near(CellPixel(2), kPurple, 12)) << CellPixel(2);
    EXPECT_TRUE(ShowsBlock(CellPixel(0), kRed));
    // The mark's corner, in the list's colour of a replaced line.
    const wxRect square = gallery->ThumbRect(2);
    EXPECT_EQ(CellPixel(2, square.width / 2 - 3, -square.height / 2 + 1), (Pixel{0, 70, 200}));
    // Undo brings the old picture back.
    Menu(CmdEditUndo);
    ASSERT_TRUE(PumpUntil(3000, [&] { return gallery->Cells().cells[2].mark == 0; }));
    ASSERT_TRUE(Complete());
    EXPECT_TRUE(ShowsBlock(CellPixel(2), kBlue));
}

// In a folder the gallery holds every archive's entries while the tree
// shows them, and the find's lines across the archives while it narrows them;
// a click selects the entry in its own archive.
TEST_F(GalleryTest, AFolderShowsTheEntriesOfEveryArchive)
{
    if (!StartWx())
        GTEST_SKIP() << "no display";
    ASSERT_TRUE(Fixture_WritePak(dir / "M01_ASH.PAK", {{{"a_red", SolidTexture(Solid<220, 30, 30>)},
                                                       {"b_green", SolidTexture(Solid<40, 200, 60>)}}}));
    ASSERT_TRUE(Fixture_WritePak(dir / "M02_BRINE.PAK", {{{"a_blue", SolidTexture(Solid<30, 60, 220>)}}}));
    frame = FreshWindow();
    gallery = frame->Gallery();
    ASSERT_TRUE(frame->OpenPath(dir.path));
    Menu(CmdViewAsGallery);
    ASSERT_TRUE(Complete());
    ASSERT_EQ(gallery->Cells().cells.size(), 3u);
    EXPECT_TRUE(ShowsBlock(CellPixel(0), kRed));
    EXPECT_TRUE(ShowsBlock(CellPixel(1), kGreen));
    EXPECT_TRUE(ShowsBlock(CellPixel(2), kBlue));

    Click(2);
    ASSERT_TRUE(PumpUntil(2000, [&] { return SelectedName() == "a_blue"; })) << SelectedName();
    EXPECT_EQ(fs::path(viewer.session.mainPak.path).filename(), "M02_BRINE.PAK");
    EXPECT_EQ(frame->EntryTree()->Label(frame->EntryTree()->SelectedItem()), "a_blue [0000]");

    // The find bar narrows the cells to its lines: "a_" in both archives.
    Menu(CmdEditFind);
    frame->FindText()->SetValue("a_");
    ASSERT_TRUE(PumpUntil(2000, [&] { return gallery->Cells().cells.size() == 2; }));
    ASSERT_TRUE(Complete());
    EXPECT_TRUE(ShowsBlock(CellPixel(0), kRed));
    EXPECT_TRUE(ShowsBlock(CellPixel(1), kBlue));
    Click(0);
    ASSERT_TRUE(PumpUntil(2000, [&] { return SelectedName() == "a_red"; })) << SelectedName();
    EXPECT_EQ(fs::path(viewer.session.mainPak.path).filename(), "M01_ASH.PAK");
}

}  // namespace
