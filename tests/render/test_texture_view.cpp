// Texture zoom, Fit and mip levels, and the model wheel, as arithmetic over ViewerState.
#include "render/render_local.h"
#include "test_data.h"
#include "texture/texture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class TextureView : public ::testing::Test {
protected:
    void SetUp() override
    {
        ViewerState_Reset();
        R_ResetState();
        r_local.viewWidth = 400;
        r_local.viewHeight = 300;
        Select(Fixture_Texture(256, 128, 5, 9, Solid<1, 2, 3>));
    }
    void TearDown() override { ViewerState_Reset(); }

    void Select(Bytes texture)
    {
        p = PreviewState{};
        p.CurrentResource = std::move(texture);
        p.resourceKind = KindTexture;
    }
    // The texel (in texels from the picture's corner) under view point (x, y).
    void TexelAt(float x, float y, float &tx, float &ty) const
    {
        tx = (x - p.textureOffset[0]) / R_TextureScale(p);
        ty = (y - p.textureOffset[1]) / R_TextureScale(p);
    }

    PreviewState &p = viewer.preview;
};

TEST_F(TextureView, ZoomKeepsTheTexelUnderThePointAndStopsAtItsLimits)
{
    p.textureOffset[0] = 13;
    p.textureOffset[1] = -7;
    float tx0, ty0;
    TexelAt(150, 90, tx0, ty0);
    const struct {
        int steps;
        float scale;
    } cases[] = {{1, 2}, {2, 8}, {10, 32}, {1, 32}, {-3, 4}, {-20, 1.0f / 16}, {-1, 1.0f / 16}, {4, 1}};
    for (const auto &c : cases) {
        R_ZoomTexture(p, c.steps, 150, 90);
        EXPECT_EQ(R_TextureScale(p), c.scale) << c.steps;
        float tx, ty;
        TexelAt(150, 90, tx, ty);
        EXPECT_NEAR(tx, tx0, 1e-3);
        EXPECT_NEAR(ty, ty0, 1e-3);
    }
    // Back at 1x from integer offsets the picture sits on whole pixels again.
    EXPECT_EQ(p.textureOffset[0], 13);
    EXPECT_EQ(p.textureOffset[1], -7);
}

TEST_F(TextureView, FitCentresTheWholeLevelAndStepsOnToPowersOfTwo)
{
    R_FitTexture(p);  // 256 x 128 in 400 x 300: the width decides
    EXPECT_FLOAT_EQ(R_TextureScale(p), 400.0f / 256);
    EXPECT_FLOAT_EQ(p.textureOffset[0], 0);
    EXPECT_FLOAT_EQ(p.textureOffset[1], (300 - 128 * 400.0f / 256) / 2);
    R_ZoomTexture(p, 1, 200, 150);
    EXPECT_EQ(R_TextureScale(p), 2);
    R_FitTexture(p);
    R_ZoomTexture(p, -1, 200, 150);
    EXPECT_EQ(R_TextureScale(p), 1);

    // A tiny icon is fitted up to 32x at most; Actual Size puts whole pixels back.
    Select(Fixture_Texture(4, 4, 1, 1, Solid<1, 2, 3>));
    R_FitTexture(p);
    EXPECT_EQ(R_TextureScale(p), 32);
    R_TextureActualSize(p);
    EXPECT_EQ(R_TextureScale(p), 1);
    EXPECT_EQ(p.textureOffset[0], std::round(p.textureOffset[0]));
    EXPECT_EQ(p.textureOffset[0], 198);  // the centre texel stays at the centre
}

TEST_F(TextureView, MipLevelsAreThoseStored)
{
    uint32_t w, h;
    const struct {
        int asked;
        uint32_t level, width, height;
    } cases[] = {{2, 2, 64, 32}, {8, 8, 1, 1}, {40, 8, 1, 1}, {-1, 0, 256, 128}};
    for (const auto &c : cases) {
        R_SetTextureMipLevel(p, c.asked);
        EXPECT_EQ(p.textureMipLevel, c.level) << c.asked;
        ASSERT_TRUE(R_ShownTextureSize(p, w, h));
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
    }
    // A header naming more levels than the bytes hold: only the whole ones count.
    Bytes cut = Fixture_Texture(64, 64, 1, 7, Solid<1, 2, 3>);
    TextureLevel level;
    ASSERT_TRUE(Texture_FindLevel(cut, 3, level));
    cut.resize(level.offset + level.size - 1);
    EXPECT_EQ(Texture_StoredLevels(cut), 3u);
    Select(cut);
    R_SetTextureMipLevel(p, 5);
    EXPECT_EQ(p.textureMipLevel, 2u);
    cut.resize(kTextureHeaderSize + 10);
    EXPECT_EQ(Texture_StoredLevels(cut), 0u);
}

TEST_F(TextureView, TheWheelZoomsAModelAsTheRightDragDoes)
{
    p = PreviewState{};
    p.resourceKind = KindModel;
    p.zoomDistance = 300;
    R_WheelZoomModel(p, 2);  // towards the model
    EXPECT_EQ(p.zoomDistance, 300 - 2 * kWheelNotchPixels * 30);
    R_WheelZoomModel(p, -5);
    EXPECT_EQ(p.zoomDistance, 300 + 3 * kWheelNotchPixels * 30);
    EXPECT_EQ(r_local.eyeOrigin[0], p.zoomDistance);
}

}  // namespace
