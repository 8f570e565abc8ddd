// UploadTexture and DrawTexturePreview in a real context.
#include "gl_test_view.h"
#include "test_data.h"
#include "texture/texture.h"
#include "render/render_local.h"

namespace {

constexpr auto Green = Solid<10, 220, 120>;

class TextureTest : public GlViewTest {
protected:
    void Show(Bytes texture, float x, float y)
    {
        viewer.preview = PreviewState{};
        viewer.preview.CurrentResource = std::move(texture);
        viewer.preview.resourceKind = KindTexture;
        viewer.preview.textureOffset[0] = x;
        viewer.preview.textureOffset[1] = y;
        App_DrawViewFrame();
    }
    bool Shows(int x, int y, Rgb colour) const { return ShowsBlock(At(x, y), colour); }
    // A fresh texture name filled by UploadTexture from `bytes`.
    static GLuint Upload(const Bytes &bytes, TextureWrap wrap = {})
    {
        GLuint name = 0;
        glGenTextures(1, &name);
        UploadTexture(name, bytes.data(), static_cast<int32_t>(bytes.size()), wrap);
        glBindTexture(GL_TEXTURE_2D, name);
        return name;
    }
    static GLint Level0(GLenum what)
    {
        GLint value = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, what, &value);
        return value;
    }
    static GLint Parameter(GLenum what)
    {
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, what, &value);
        return value;
    }
};

TEST_F(TextureTest, BlocksAppearAtNativeSizeAndMoveWithTheOffset)
{
    const int offsets[][2] = {{0, 0}, {37, 21}, {-6, 10}};
    for (uint32_t format : {1u, 5u}) {
        for (const auto &o : offsets) {
            Show(Fixture_Texture(64, 32, format, 1, BlockShade), static_cast<float>(o[0]), static_cast<float>(o[1]));
            SCOPED_TRACE("format " + std::to_string(format) + " at " + std::to_string(o[0]) + "," +
                         std::to_string(o[1]));
            for (uint32_t by = 0; by < 8; ++by)
                for (uint32_t bx = 0; bx < 16; ++bx) {
                    const int x = o[0] + static_cast<int>(bx) * 4 + 1, y = o[1] + static_cast<int>(by) * 4 + 2;
                    if (x >= 0) {
                        EXPECT_TRUE(Shows(x, y, BlockShade(bx, by, 16, 8))) << bx << "," << by << " " << At(x, y);
                    }
                }
            // Exactly 64 x 32 pixels: the last row and column are the image's, the next are not.
            EXPECT_TRUE(Shows(o[0] + 63, o[1] + 31, BlockShade(15, 7, 16, 8)));
            EXPECT_EQ(At(o[0] + 64, o[1] + 5), kClearGrey);
            EXPECT_EQ(At(o[0] + 10, o[1] + 32), kClearGrey);
            if (o[1] > 0) {
                EXPECT_EQ(At(o[0] + 10, o[1] - 1), kClearGrey);
            }
        }
    }
}

TEST_F(TextureTest, UploadsOnlyWhenTheTopLevelFits)
{
    const struct {
        uint32_t width, height, format;
        size_t topLevel;  // bytes after the header
        GLint internalFormat;
    } cases[] = {
        {256, 256, 1, 32768, GL_COMPRESSED_RGB_S3TC_DXT1_EXT},
        {5, 3, 5, 32, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT},
        {8, 8, 2, 64, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT},
        {8, 8, 3, 64, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT},
        {8, 8, 4, 64, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT},
        {8, 8, 77, 64, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT},
        {0, 0, 1, 8, GL_COMPRESSED_RGB_S3TC_DXT1_EXT},  // no size: one block
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " format " + std::to_string(c.format));
        Bytes full = Fixture_Texture(c.width, c.height, c.format, 1, Green);
        full.resize(kTextureHeaderSize + c.topLevel);  // the fixture always writes at least one block
        Upload(full);
        EXPECT_EQ(std::tuple(Level0(GL_TEXTURE_WIDTH), Level0(GL_TEXTURE_HEIGHT), Level0(GL_TEXTURE_INTERNAL_FORMAT)),
                  std::tuple(GLint(std::max(c.width, 1u)), GLint(std::max(c.height, 1u)), c.internalFormat));
        EXPECT_EQ(std::tuple(Parameter(GL_TEXTURE_WRAP_S), Parameter(GL_TEXTURE_WRAP_T),
                             Parameter(GL_TEXTURE_MIN_FILTER), Parameter(GL_TEXTURE_MAG_FILTER)),
                  std::tuple(GL_CLAMP, GL_CLAMP, GL_LINEAR, GL_LINEAR));

        // One byte short: nothing uploaded and no parameter set (GL's own default wrap stays).
        Upload(Bytes(full.begin(), full.end() - 1));
        EXPECT_EQ(std::tuple(Level0(GL_TEXTURE_WIDTH), Parameter(GL_TEXTURE_WRAP_S), Parameter(GL_TEXTURE_MIN_FILTER)),
                  std::tuple(0, GL_REPEAT, GL_NEAREST_MIPMAP_LINEAR));
    }
    // Sides near 2^32: the top level's size must not wrap to one that fits.
    for (uint32_t format : {5u, 3u}) {
        Bytes huge = Fixture_Texture(8, 8, format, 1, Green);
        std::fill(huge.begin() + 28, huge.begin() + 36, 0xFF);  // width and height 0xFFFFFFFF
        Upload(huge);
        EXPECT_EQ(Level0(GL_TEXTURE_WIDTH), 0) << format;
        EXPECT_EQ(Parameter(GL_TEXTURE_WRAP_S), GL_REPEAT) << format;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The wrap pair given goes with the upload.
    Upload(Fixture_Texture(8, 8, 1, 1, Green), {GL_REPEAT, GL_CLAMP_TO_EDGE});
    EXPECT_EQ(std::pair(Parameter(GL_TEXTURE_WRAP_S), Parameter(GL_TEXTURE_WRAP_T)),
              std::pair(GL_REPEAT, GL_CLAMP_TO_EDGE));
}

TEST_F(TextureTest, ResourcesShorterThanTheHeaderShowNothing)
{
    for (size_t length : {4u, 60u, 127u}) {
        Bytes stub(length, 0);
        memcpy(stub.data(), "SYT1", 4);
        Upload(stub);
        EXPECT_EQ(Level0(GL_TEXTURE_WIDTH), 0) << length;
        Show(stub, 0, 0);
        EXPECT_TRUE(viewer.preview.previewPrepared) << length;  // not retried every frame
        EXPECT_TRUE(At(0, 0) == kClearGrey && At(2, 2) == kClearGrey) << length;
    }
    UploadTexture(9, nullptr, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureTest, UploadsOncePerSelection)
{
    Show(Fixture_Texture(16, 16, 1, 1, Green), 0, 0);
    EXPECT_TRUE(Shows(4, 4, Green(0, 0, 1, 1)));
    // Later frames only draw: new bytes under the same selection are not uploaded.
    viewer.preview.CurrentResource = Fixture_Texture(16, 16, 1, 1, BlockShade);
    App_DrawViewFrame();
    EXPECT_TRUE(Shows(4, 4, Green(0, 0, 1, 1)));
    viewer.preview.previewPrepared = false;
    App_DrawViewFrame();
    EXPECT_TRUE(Shows(5, 5, BlockShade(1, 1, 4, 4)));
}

TEST_F(TextureTest, WithoutCompressionNoPictureIsShown)
{
    r_local.compressionSupported = false;
    Show(Fixture_Texture(64, 32, 5, 1, BlockShade), 0, 0);
    glBindTexture(GL_TEXTURE_2D, 1);
    EXPECT_EQ(Level0(GL_TEXTURE_WIDTH), 0);
    EXPECT_FALSE(Shows(1, 2, BlockShade(0, 0, 16, 8)));
    EXPECT_EQ(At(64, 5), kClearGrey);
}

}  // namespace
