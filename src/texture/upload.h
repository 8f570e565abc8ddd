// Textures on the GL view: the upload of a texture resource into a GL texture
// object and the preview of the selected texture. GL library.
#pragma once

#include <cstdint>

// Binds `textureName` and fills its top level with the resource's DXT blocks as
// they are, with the uploader's wrap modes and linear filtering. Uploads
// nothing when compressed textures are not supported or the resource is
// shorter than its header and top level. Never reads past `resourceSize` bytes.
void UploadTexture(uint32_t textureName, const uint8_t *header, int32_t resourceSize);

// Draws the selected texture at its native size with its top-left corner at
// textureOffset, in the pixel projection of R_Begin2D; uploads it into texture
// name 1 on the first frame of the selection.
void DrawTexturePreview();
