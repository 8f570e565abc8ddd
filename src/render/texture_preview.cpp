// The texture preview: the selected texture as a flat image at one texel per
// pixel, slid by textureOffset.
#include "render/render.h"
#include "render/gl_procs.h"
#include "texture/texture.h"

namespace {
constexpr GLuint kPreviewTexture = 1;  // names 2 and up belong to materials
}

void DrawTexturePreview()
{
    PreviewState &preview = viewer.preview;
    if (preview.CurrentResource.empty() || preview.resourceKind != KindTexture)
        return;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, kPreviewTexture);
    if (!preview.previewPrepared) {
        UploadTexture(kPreviewTexture, preview.CurrentResource.data(),
                      static_cast<int32_t>(preview.CurrentResource.size()));
        // Also after a failed upload: it is not retried every frame.
        preview.previewPrepared = true;
    }
    // A resource shorter than its header has no size to show.
    TextureHeader header;
    if (Texture_ReadHeader(preview.CurrentResource, header)) {
        const float x0 = preview.textureOffset[0], y0 = preview.textureOffset[1];
        const float w = static_cast<float>(header.width), h = static_cast<float>(header.height);
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
    glDisable(GL_TEXTURE_2D);
}
