// The texture preview: the selected texture as a flat image at one texel per
// pixel, slid by textureOffset, showing the channels View > Channels picks.
#include "render/render.h"
#include "render/gl_procs.h"
#include "texture/texture.h"

namespace {
constexpr GLuint kPreviewTexture = 1;  // names 2 and up belong to materials

// 8 x 8 pixel squares: the window-aligned 32 x 32 stipple that lays the dark
// squares of the checkerboard over its light ground.
struct CheckerStipple {
    GLubyte rows[128];
    CheckerStipple()
    {
        for (int y = 0; y < 32; ++y)
            for (int b = 0; b < 4; ++b)
                rows[y * 4 + b] = ((y / 8) % 2) ? 0x00 : 0xFF;
        // Each byte covers 8 pixels, one square: alternate them along the row.
        for (int y = 0; y < 32; ++y)
            for (int b = 0; b < 4; ++b)
                if (b % 2)
                    rows[y * 4 + b] ^= 0xFF;
    }
};

void Quad(float x0, float y0, float w, float h)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(x0, y0, 0);
    glTexCoord2f(1, 0);
    glVertex3f(x0 + w, y0, 0);
    glTexCoord2f(1, 1);
    glVertex3f(x0 + w, y0 + h, 0);
    glTexCoord2f(0, 1);
    glVertex3f(x0, y0 + h, 0);
    glEnd();
}

// Light and dark grey squares under the picture, where alpha lets them through.
void DrawChecker(float x0, float y0, float w, float h)
{
    static const CheckerStipple kStipple;
    glDisable(GL_TEXTURE_2D);
    glColor3ub(204, 204, 204);
    Quad(x0, y0, w, h);
    glPolygonStipple(kStipple.rows);
    glEnable(GL_POLYGON_STIPPLE);
    glColor3ub(153, 153, 153);
    Quad(x0, y0, w, h);
    glDisable(GL_POLYGON_STIPPLE);
    glColor4f(1, 1, 1, 1);
    glEnable(GL_TEXTURE_2D);
}

// The texture unit's colour for the channel mode: a colour channel alone
// through the modulation by a primary colour, alpha copied into the colour.
void BeginChannels(TextureChannels channels)
{
    switch (channels) {
    case ChannelsRed:
        glColor4f(1, 0, 0, 1);
        break;
    case ChannelsGreen:
        glColor4f(0, 1, 0, 1);
        break;
    case ChannelsBlue:
        glColor4f(0, 0, 1, 1);
        break;
    case ChannelsAlpha:
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_REPLACE);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_TEXTURE);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_ALPHA);
        break;
    case ChannelsChecker:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        break;
    case ChannelsRgba:
        break;
    }
}

// Back to the state every other drawing expects.
void EndChannels()
{
    glColor4f(1, 1, 1, 1);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_BLEND);
}

}  // namespace

void DrawTexturePreview(PreviewState &preview, TextureChannels channels)
{
    if (preview.CurrentResource.empty() || preview.resourceKind != KindTexture)
        return;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, kPreviewTexture);
    if (!preview.previewPrepared) {
        UploadTextureLevel(kPreviewTexture, preview.CurrentResource.data(),
                           static_cast<int32_t>(preview.CurrentResource.size()), preview.textureMipLevel);
        // Also after a failed upload: it is not retried every frame.
        preview.previewPrepared = true;
    }
    // A resource shorter than its header has no size to show. The top level
    // is drawn at the header's sides whatever the resource holds; a smaller
    // level exists only when it is stored.
    TextureHeader header;
    uint32_t levelW = 0, levelH = 0;
    const bool sized = preview.textureMipLevel == 0 ? Texture_ReadHeader(preview.CurrentResource, header)
                                                    : R_ShownTextureSize(preview, levelW, levelH);
    if (sized) {
        if (preview.textureMipLevel == 0) {
            levelW = header.width;
            levelH = header.height;
        }
        const float scale = R_TextureScale(preview);
        const float x0 = preview.textureOffset[0], y0 = preview.textureOffset[1];
        const float w = static_cast<float>(levelW) * scale, h = static_cast<float>(levelH) * scale;
        // Enlarged texels stay sharp squares; at one texel per pixel nearest
        // and linear agree on whole-pixel offsets and nearest also keeps a
        // half-pixel offset left by zooming sharp.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, scale >= 1 ? GL_NEAREST : GL_LINEAR);
        if (channels == ChannelsRgba) {
            Quad(x0, y0, w, h);
        } else {
            if (channels == ChannelsChecker)
                DrawChecker(x0, y0, w, h);
            glBindTexture(GL_TEXTURE_2D, kPreviewTexture);
            BeginChannels(channels);
            Quad(x0, y0, w, h);
            EndChannels();
        }
    }
    glDisable(GL_TEXTURE_2D);
}
