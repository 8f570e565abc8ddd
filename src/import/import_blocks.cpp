// One 4 x 4 block of pixels to a DXT block. Two encoders each try it and the
// block keeps whichever half (colour, alpha) came out closer to the pixels:
// libsquish's range fit and stb_dxt's refined fit. The pair costs a few
// microseconds a block and is never worse than either; libsquish's cluster fit
// is there for those who wait thirty times longer for a little more on noise.
#include "import/import_local.h"

#include <squish.h>

#include <cstring>

#include <stb/stb_dxt.h>

namespace {

// Squared errors of a block's colour (channels 0-2) and alpha (channel 3)
// against the pixels the mask keeps.
struct Errors {
    uint32_t colour = 0, alpha = 0;
};

Errors Measure(const uint8_t pixels[64], int mask, const uint8_t *block, int flags)
{
    uint8_t decoded[64];
    squish::Decompress(decoded, block, flags);
    Errors e;
    for (int i = 0; i < 16; ++i) {
        if (!(mask & (1 << i)))
            continue;
        for (int k = 0; k < 4; ++k) {
            const int d = decoded[4 * i + k] - pixels[4 * i + k];
            (k < 3 ? e.colour : e.alpha) += static_cast<uint32_t>(d * d);
        }
    }
    return e;
}

}  // namespace

void Import_EncodeBlock(const uint8_t pixels[64], int mask, int flags, bool clusterFit, uint8_t *out)
{
    const bool dxt1 = flags & squish::kDxt1, dxt5 = flags & squish::kDxt5;
    squish::CompressMasked(pixels, mask, out, flags | (clusterFit ? squish::kColourClusterFit : squish::kColourRangeFit));
    if (clusterFit || mask == 0)
        return;
    // stb_dxt has no transparent entry: DXT1 blocks that need one stay libsquish's.
    int first = -1;
    for (int i = 0; i < 16; ++i) {
        if (!(mask & (1 << i)))
            continue;
        if (first < 0)
            first = i;
        if (dxt1 && pixels[4 * i + 3] < 128)
            return;
    }
    // stb_dxt takes whole blocks: pixels outside the image repeat one inside it.
    uint8_t whole[64];
    for (int i = 0; i < 16; ++i)
        memcpy(whole + 4 * i, pixels + 4 * ((mask & (1 << i)) ? i : first), 4);
    const int blockSize = dxt1 ? 8 : 16, colourAt = dxt1 ? 0 : 8;
    uint8_t other[16];
    memcpy(other, out, blockSize);
    if (dxt5)
        stb_compress_dxt_block(other, whole, 1, STB_DXT_HIGHQUAL);
    else
        stb_compress_dxt_block(other + colourAt, whole, 0, STB_DXT_HIGHQUAL);  // DXT3 keeps libsquish's alpha
    const Errors mine = Measure(pixels, mask, out, flags), theirs = Measure(pixels, mask, other, flags);
    if (theirs.colour < mine.colour)
        memcpy(out + colourAt, other + colourAt, 8);
    if (dxt5 && theirs.alpha < mine.alpha)
        memcpy(out, other, 8);
}
