// DXT blocks go to GL as they stand: no decompression, no copy.
#include "render/render_local.h"
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

void UploadTexture(uint32_t textureName, const uint8_t *header, int32_t resourceSize, TextureWrap wrap)
{
    UploadTextureLevel(textureName, header, resourceSize, 0, wrap);
}

void UploadTextureLevel(uint32_t textureName, const uint8_t *header, int32_t resourceSize, uint32_t level,
                        TextureWrap wrap)
{
    if (!r_local.compressionSupported)
        return;
    glBindTexture(GL_TEXTURE_2D, textureName);

    if (!header || resourceSize < 0)
        return;
    const std::span<const uint8_t> resource{header, static_cast<size_t>(resourceSize)};
    TextureHeader fields;
    TextureLevel stored;
    if (!Texture_ReadHeader(resource, fields) || !Texture_FindLevel(resource, level, stored))
        return;
    // One level goes up, as GL's level 0: linear minification needs no others.
    // It fits a resource of at most 2 GiB, so its sides and size fit GLsizei.
    glProcs.glCompressedTexImage2DARB(GL_TEXTURE_2D, 0, InternalFormat(fields.format),
                                      static_cast<GLsizei>(stored.width), static_cast<GLsizei>(stored.height), 0,
                                      static_cast<GLsizei>(stored.size), header + stored.offset);

    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<float>(wrap.s));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<float>(wrap.t));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // Whatever names this texture looks different from now on.
    r_local.redrawPending = true;
}
