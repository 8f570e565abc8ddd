// The texture preview zoomed, fitted and at a smaller level, and the view
// saved as a picture, all read back from a real context.
#include "export/export.h"
#include "export/png_writer.h"
#include "gl_test_view.h"
#include "render/render.h"
#include "temp_dir.h"
#include "test_data.h"

namespace {

const Rgb kRed{230, 20, 20}, kGreen{20, 200, 60}, kBlue{30, 40, 220};

// The top-left block blue, the bottom-right one red, the rest green.
Rgb Corners(uint32_t bx, uint32_t by, uint32_t bw, uint32_t bh)
{
    if (bx == 0 && by == 0)
        return kBlue;
    return bx + 1 == bw && by + 1 == bh ? kRed : kGreen;
}

// Each level its own colour: 16, 8 and 4 blocks across.
Rgb ByLevel(uint32_t, uint32_t, uint32_t bw, uint32_t)
{
    return bw == 16 ? kRed : bw == 8 ? kGreen : kBlue;
}

class PreviewView : public GlViewTest {
protected:
    void Select(Bytes texture, float x = 0, float y = 0)
    {
        viewer.preview = PreviewState{};
        viewer.preview.CurrentResource = std::move(texture);
        viewer.preview.resourceKind = KindTexture;
        viewer.preview.textureOffset[0] = x;
        viewer.preview.textureOffset[1] = y;
    }
    bool Shows(int x, int y, Rgb colour) const { return ShowsBlock(At(x, y), colour); }
};

TEST_F(PreviewView, ZoomFitAndLevelsShowTheRightTexels)
{
    // 2x about (37, 21): texel (37, 21), in block (9, 5), stays under the point;
    // 8 pixels to the right is texel 41, the next block, as a sharp square.
    Select(Fixture_Texture(64, 32, 5, 1, BlockShade));
    R_ZoomTexture(viewer.preview, 1, 37, 21);
    App_DrawViewFrame();
    EXPECT_TRUE(Shows(37, 21, BlockShade(9, 5, 16, 8))) << At(37, 21);
    EXPECT_TRUE(Shows(45, 21, BlockShade(10, 5, 16, 8))) << At(45, 21);
    EXPECT_TRUE(Shows(42, 21, BlockShade(9, 5, 16, 8))) << At(42, 21);

    // 512 x 256 fitted into 256 x 192: half size, centred from top to bottom.
    Select(Fixture_Texture(512, 256, 1, 1, Corners));
    R_FitTexture(viewer.preview);
    App_DrawViewFrame();
    EXPECT_TRUE(Shows(0, 32, kBlue)) << At(0, 32);
    EXPECT_TRUE(Shows(kWidth - 1, 32 + 127, kRed)) << At(kWidth - 1, 159);
    EXPECT_TRUE(Shows(128, 96, kGreen));
    EXPECT_EQ(At(128, 31), kClearGrey);
    EXPECT_EQ(At(128, 160), kClearGrey);

    // Level 2 of 64 x 64 is 16 x 16 in its own colour.
    Select(Fixture_Texture(64, 64, 1, 3, ByLevel));
    App_DrawViewFrame();
    EXPECT_TRUE(Shows(40, 40, kRed));
    R_SetTextureMipLevel(viewer.preview, 2);
    App_DrawViewFrame();
    EXPECT_TRUE(Shows(5, 5, kBlue)) << At(5, 5);
    EXPECT_TRUE(Shows(15, 15, kBlue));
    EXPECT_EQ(At(16, 5), kClearGrey);
}

TEST_F(PreviewView, TheSavedPictureIsTheFrameShown)
{
    Select(Fixture_Texture(64, 32, 5, 1, BlockShade), 10, 20);
    App_DrawViewFrame();
    std::vector<uint8_t> shown(static_cast<size_t>(kWidth) * kHeight * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, shown.data());

    TextureImage picture;
    ASSERT_TRUE(R_CaptureView(1, true, picture));
    TempDir dir;
    const std::string path = dir / "view.png";
    ASSERT_EQ(Export_ToPath(path, "wb",
                            [&](FILE *file) { return Png_Write(file, picture) ? ExportResult::Ok : ExportResult::WriteFailed; }),
              ExportResult::Ok);
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    wxImage read(path, wxBITMAP_TYPE_PNG);
    ASSERT_TRUE(read.IsOk() && read.HasAlpha());
    ASSERT_EQ(read.GetWidth(), kWidth);
    ASSERT_EQ(read.GetHeight(), kHeight);
    int mismatched = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t *s = &shown[(static_cast<size_t>(kHeight - 1 - y) * kWidth + x) * 4];
            const bool inside = x >= 10 && x < 74 && y >= 20 && y < 52;
            mismatched += read.GetRed(x, y) != s[0] || read.GetGreen(x, y) != s[1] || read.GetBlue(x, y) != s[2] ||
                          read.GetAlpha(x, y) != (inside ? 255 : 0);
        }
    EXPECT_EQ(mismatched, 0);

    // Twice the size: every pixel of the view twice over each way; opaque throughout without the option.
    ASSERT_TRUE(R_CaptureView(2, false, picture));
    ASSERT_EQ(std::pair(picture.width, picture.height), std::pair(2u * kWidth, 2u * kHeight));
    for (int by = 0; by < 8; ++by)
        for (int bx = 0; bx < 16; ++bx) {
            const size_t x = 2 * (10 + bx * 4 + 1), y = 2 * (20 + by * 4 + 2);
            const uint8_t *q = &picture.rgba[(y * picture.width + x) * 4];
            EXPECT_TRUE(ShowsBlock({q[0], q[1], q[2]}, BlockShade(bx, by, 16, 8))) << bx << "," << by;
        }
    EXPECT_EQ(picture.rgba[3], 255);
    EXPECT_FALSE(R_CaptureView(kCaptureMaxScale + 1, false, picture));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
