// Whole-sound decoding and 16-bit PCM WAV files, for exports outside the
// player: the stream's own rate and channel count, nothing converted.
#include "sound/sound.h"

#include <cstring>
#include <limits>

namespace {

constexpr uint32_t kWavHeaderBytes = 44;

void PutU16(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

bool S_DecodeAll(std::span<const uint8_t> ogg, std::vector<uint8_t> &pcm, int32_t &rate, int32_t &channels,
                 size_t maxBytes)
{
    pcm.clear();
    rate = channels = 0;
    if (ogg.size() > std::numeric_limits<uint32_t>::max())
        return false;
    // The stream reads the caller's bytes in place: this record owns nothing.
    SoundRecord record{{'O', 'G', 'G', '!'}, const_cast<uint8_t *>(ogg.data()), static_cast<uint32_t>(ogg.size())};
    OggStream *stream = S_StreamOpen(&record);
    if (!stream)
        return false;
    rate = S_StreamRate(stream);
    channels = S_StreamChannels(stream);
    bool ok = rate > 0 && channels > 0;  // a rejected setup header leaves neither
    while (ok) {
        const int32_t got = S_StreamDecode(stream, stream->pcm, kSoundBlockBytes, kStreamPcmBytes);
        if (got <= 0)
            break;
        if (pcm.size() + static_cast<size_t>(got) > maxBytes) {
            ok = false;
            break;
        }
        pcm.insert(pcm.end(), stream->pcm, stream->pcm + got);
    }
    S_StreamClose(stream);
    if (!ok)
        pcm.clear();
    return ok;
}

bool S_WriteWav(FILE *file, std::span<const uint8_t> pcm, int32_t rate, int32_t channels)
{
    if (!file || rate <= 0 || channels <= 0 || channels > 65535)
        return false;
    const uint64_t byteRate = uint64_t(rate) * uint64_t(channels) * 2;
    if (byteRate > std::numeric_limits<uint32_t>::max() ||
        pcm.size() > std::numeric_limits<uint32_t>::max() - (kWavHeaderBytes - 8))
        return false;
    const uint32_t dataBytes = static_cast<uint32_t>(pcm.size());
    uint8_t header[kWavHeaderBytes];
    memcpy(header, "RIFF", 4);
    PutU32(header + 4, dataBytes + kWavHeaderBytes - 8);
    memcpy(header + 8, "WAVEfmt ", 8);
    PutU32(header + 16, 16);
    PutU16(header + 20, 1);  // PCM
    PutU16(header + 22, static_cast<uint32_t>(channels));
    PutU32(header + 24, static_cast<uint32_t>(rate));
    PutU32(header + 28, static_cast<uint32_t>(byteRate));
    PutU16(header + 32, static_cast<uint32_t>(channels * 2));
    PutU16(header + 34, 16);
    memcpy(header + 36, "data", 4);
    PutU32(header + 40, dataBytes);
    if (fwrite(header, 1, sizeof header, file) != sizeof header)
        return false;
    if (!pcm.empty() && fwrite(pcm.data(), 1, pcm.size(), file) != pcm.size())
        return false;
    return fflush(file) == 0 && !ferror(file);
}
