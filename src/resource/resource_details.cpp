// The details of an entry: where it is stored and what its header says.
#include "resource/resource_details.h"

#include "model/model.h"
#include "pak/pak.h"
#include "sound/sound.h"
#include "texture/texture.h"

#include <cstdio>
#include <cstring>

namespace {

// The largest Ogg page: a 27-byte header, 255 lacing values, 255 x 255 body bytes.
constexpr size_t kMaxOggPage = 27 + 255 + 255 * 255;

// The granule position of the last whole audio page of stream `serial` within
// the final stretch of the bytes: for Vorbis the number of samples per channel
// up to the end. Pages are read by libogg, which checks each one's length and
// checksum, so damaged bytes only leave -1; so do the header pages alone
// (granule 0), which say nothing of the length.
int64_t LastGranule(std::span<const uint8_t> bytes, int serial)
{
    // Two pages' worth, so that the start of the last page is always inside.
    const size_t tail = bytes.size() < 2 * kMaxOggPage ? bytes.size() : 2 * kMaxOggPage;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    int64_t granule = -1;
    char *buffer = ogg_sync_buffer(&sync, static_cast<long>(tail));
    if (buffer) {
        memcpy(buffer, bytes.data() + bytes.size() - tail, tail);
        ogg_sync_wrote(&sync, static_cast<long>(tail));
        ogg_page page;
        for (;;) {
            const long got = ogg_sync_pageseek(&sync, &page);
            if (got == 0)
                break;  // nothing whole is left
            if (got < 0)
                continue;  // bytes skipped up to the next capture pattern
            if (ogg_page_serialno(&page) == serial && ogg_page_granulepos(&page) > 0)
                granule = ogg_page_granulepos(&page);
        }
    }
    ogg_sync_clear(&sync);
    return granule;
}

void DescribeSound(std::span<const uint8_t> resource, ResourceDetails &d)
{
    if (resource.size() > UINT32_MAX)
        return;
    // The stream only reads through the record; the cast lends it the bytes.
    SoundRecord record{{'O', 'G', 'G', '!'}, const_cast<uint8_t *>(resource.data()),
                       static_cast<uint32_t>(resource.size())};
    OggStream *stream = S_StreamOpen(&record);
    if (!stream)
        return;
    d.hasSound = true;
    d.rate = S_StreamRate(stream);
    d.channels = S_StreamChannels(stream);
    d.samples = LastGranule(resource, stream->stream.serialno);
    S_StreamClose(stream);
}

void DescribeModel(std::span<const uint8_t> resource, ResourceDetails &d)
{
    Model *model = Model_Parse(resource.data(), resource.size());
    if (!model)
        return;
    d.hasModel = true;
    d.surfaces = model->surfaces.size();
    for (const ModelSurface &s : model->surfaces) {
        d.vertices += static_cast<uint64_t>(s.vertexCount);
        if (s.indicesPerElement == 1)  // a strip: one triangle per index after the first two
            d.triangles += s.elementCount > 2 ? static_cast<uint64_t>(s.elementCount - 2) : 0;
        else
            d.triangles += static_cast<uint64_t>(s.elementCount);
    }
    Model_Free(model);
}

// 1234567 -> "1,234,567"
std::string Grouped(uint64_t value)
{
    std::string digits = std::to_string(value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<size_t>(at), ",");
    return digits;
}

std::string Counted(uint64_t value, const char *one, const char *many)
{
    return Grouped(value) + " " + (value == 1 ? one : many);
}

}  // namespace

ResourceDetails Resource_Describe(const PakArchive &archive, const PakEntry &entry,
                                  std::span<const uint8_t> resource, bool compressed)
{
    ResourceDetails d;
    d.kind = ClassifyResource(resource);
    d.size = resource.size();
    d.storedSize = entry.size;
    const std::string path = Pak_EntryFileOnDisk(archive, entry);
    const size_t sep = path.find_last_of("\\/");
    d.file = sep == std::string::npos ? path : path.substr(sep + 1);
    d.compressed = compressed;

    TextureHeader header;
    switch (d.kind) {
    case KindTexture:
        if (Texture_ReadHeader(resource, header)) {
            d.hasTexture = true;
            d.width = header.width;
            d.height = header.height;
            d.mipCount = header.mipCount;
            d.textureFormat = Texture_FourCC(header.format);
        }
        break;
    case KindOggVorbis:
        DescribeSound(resource, d);
        break;
    case KindModel:
        DescribeModel(resource, d);
        break;
    default:
        break;
    }
    return d;
}

std::string Resource_FormatDetails(const ResourceDetails &d)
{
    std::string line = Counted(d.size, "byte", "bytes");
    if (!d.file.empty())  // a resource no file holds yet has none
        line += " in " + d.file;
    if (d.compressed)
        line += ", compressed (" + Grouped(d.storedSize) + " stored)";
    if (d.hasTexture) {
        line += "; " + std::to_string(d.width) + " x " + std::to_string(d.height) + " " + d.textureFormat + ", " +
                Counted(d.mipCount, "mip level", "mip levels");
    } else if (d.hasSound) {
        line += "; " + Grouped(static_cast<uint64_t>(d.rate)) + " Hz, " +
                Counted(static_cast<uint64_t>(d.channels), "channel", "channels");
        if (d.samples >= 0 && d.rate > 0) {
            char seconds[48];
            snprintf(seconds, sizeof seconds, ", %.2f s", static_cast<double>(d.samples) / d.rate);
            line += seconds;
        }
    } else if (d.hasModel) {
        line += "; " + Counted(d.surfaces, "surface", "surfaces") + ", " + Counted(d.vertices, "vertex", "vertices") +
                ", " + Counted(d.triangles, "triangle", "triangles");
    }
    return line;
}
