// How the texture preview places the selected texture: the zoom about a point
// of the view, Fit, Actual Size and the stored level shown. Plain arithmetic
// over the preview and the view's size, no GL; the slide (textureOffset, the picture's top-left
// corner in view pixels) works the same at every zoom.
#include "render/render_local.h"
#include "texture/texture.h"

#include <algorithm>
#include <cmath>

namespace {

float StepScale(int step)
{
    return std::ldexp(1.0f, step);
}

// Moves the picture so that the texel under view point (x, y) at `from` view
// pixels per texel stays under it at `to`.
void ScaleAbout(PreviewState &preview, float from, float to, float x, float y)
{
    float *offset = preview.textureOffset;
    offset[0] = x - (x - offset[0]) * (to / from);
    offset[1] = y - (y - offset[1]) * (to / from);
}

}  // namespace

float R_TextureScale(const PreviewState &p)
{
    if (p.textureFitScale > 0)
        return p.textureFitScale;
    return StepScale(std::clamp(p.textureZoomStep, kTextureZoomMinStep, kTextureZoomMaxStep));
}

void R_ZoomTexture(PreviewState &p, int steps, float x, float y)
{
    if (steps == 0)
        return;
    const float from = R_TextureScale(p);
    int step = std::clamp(p.textureZoomStep, kTextureZoomMinStep, kTextureZoomMaxStep);
    if (p.textureFitScale > 0) {
        // The powers of two on either side of the fitted scale; the first
        // step lands on the nearer one in the step's direction.
        const int below = static_cast<int>(std::floor(std::log2(p.textureFitScale)));
        const bool exact = StepScale(below) == p.textureFitScale;
        step = steps > 0 ? below + 1 : (exact ? below - 1 : below);
        steps += steps > 0 ? -1 : 1;
    }
    p.textureFitScale = 0;
    p.textureZoomStep = std::clamp(step + steps, kTextureZoomMinStep, kTextureZoomMaxStep);
    ScaleAbout(p, from, R_TextureScale(p), x, y);
    r_local.redrawPending = true;
}

void R_TextureActualSize(PreviewState &p)
{
    const float from = R_TextureScale(p);
    p.textureFitScale = 0;
    p.textureZoomStep = 0;
    ScaleAbout(p, from, 1.0f, r_local.viewWidth * 0.5f, r_local.viewHeight * 0.5f);
    p.textureOffset[0] = std::round(p.textureOffset[0]);
    p.textureOffset[1] = std::round(p.textureOffset[1]);
    r_local.redrawPending = true;
}

void R_FitTexture(PreviewState &p)
{
    uint32_t w, h;
    if (!R_ShownTextureSize(p, w, h))
        return;
    const float vw = static_cast<float>(r_local.viewWidth), vh = static_cast<float>(r_local.viewHeight);
    const float scale = std::clamp(std::min(vw / static_cast<float>(w), vh / static_cast<float>(h)),
                                   StepScale(kTextureZoomMinStep), StepScale(kTextureZoomMaxStep));
    p.textureFitScale = scale;
    p.textureOffset[0] = (vw - static_cast<float>(w) * scale) * 0.5f;
    p.textureOffset[1] = (vh - static_cast<float>(h) * scale) * 0.5f;
    r_local.redrawPending = true;
}

bool R_ShownTextureSize(const PreviewState &p, uint32_t &width, uint32_t &height)
{
    width = height = 0;
    TextureLevel level;
    if (p.resourceKind != KindTexture || !Texture_FindLevel(p.CurrentResource, p.textureMipLevel, level))
        return false;
    width = level.width;
    height = level.height;
    return true;
}

void R_SetTextureMipLevel(PreviewState &p, int level)
{
    if (p.resourceKind != KindTexture)
        return;
    const uint32_t stored = Texture_StoredLevels(p.CurrentResource);
    const uint32_t chosen = level <= 0 || stored == 0 ? 0 : std::min(static_cast<uint32_t>(level), stored - 1);
    if (chosen == p.textureMipLevel)
        return;
    p.textureMipLevel = chosen;
    // The next frame uploads the chosen level into the preview's texture.
    p.previewPrepared = false;
    r_local.redrawPending = true;
}
