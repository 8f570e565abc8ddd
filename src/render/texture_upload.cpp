// DXT blocks go to GL as they stand: no decompression, no copy.
#include "render/render.h"
#include "render/gl_procs.h"
#include "texture/texture.h"

namespace {

GLenum InternalFormat(uint32_t format)
{
    switch (format) {
    case 1: return GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
    case 3: return GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
    default: return GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;  // DXT2 and DXT4 too
    }
}

}  // namespace

void UploadTexture(uint32_t textureName, const uint8_t *header, int32_t resourceSize)
{
    if (!viewer.compressionSupported)
        return;
    glBindTexture(GL_TEXTURE_2D, textureName);

    TextureHeader fields;
    if (!header || resourceSize < 0 ||
        !Texture_ReadHeader({header, static_cast<size_t>(resourceSize)}, fields))
        return;
    // Only the largest level goes up; linear minification needs no others.
    const uint32_t w = fields.width == 0 ? 1 : fields.width;
    const uint32_t h = fields.height == 0 ? 1 : fields.height;
    const uint64_t levelSize = Texture_LevelSize(w, h, fields.format);
    // Compared without adding to the level size, which may be as large as UINT64_MAX.
    if (levelSize > static_cast<uint64_t>(resourceSize) - kTextureHeaderSize)
        return;
    // The level fits a resource of at most 2 GiB, so its sides fit GLsizei.
    glProcs.glCompressedTexImage2DARB(GL_TEXTURE_2D, 0, InternalFormat(fields.format), static_cast<GLsizei>(w),
                                      static_cast<GLsizei>(h), 0, static_cast<GLsizei>(levelSize),
                                      header + kTextureHeaderSize);

    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<float>(viewer.uploadWrapS));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<float>(viewer.uploadWrapT));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // Whatever names this texture looks different from now on.
    viewer.redrawPending = true;
}
