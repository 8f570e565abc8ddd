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

// The 44-byte header of a 16-bit PCM WAV file; false when the format or the
// length does not fit its fields.
static bool BuildWavHeader(uint8_t header[kWavHeaderBytes], uint64_t pcmBytes, int32_t rate, int32_t channels)
{
    if (rate <= 0 || channels <= 0 || channels > 65535)
        return false;
    const uint64_t byteRate = uint64_t(rate) * uint64_t(channels) * 2;
    if (byteRate > std::numeric_limits<uint32_t>::max() ||
        pcmBytes > std::numeric_limits<uint32_t>::max() - (kWavHeaderBytes - 8))
        return false;
    const uint32_t dataBytes = static_cast<uint32_t>(pcmBytes);
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
    return true;
}

bool S_WriteWav(FILE *file, std::span<const uint8_t> pcm, int32_t rate, int32_t channels)
{
    uint8_t header[kWavHeaderBytes];
    if (!file || !BuildWavHeader(header, pcm.size(), rate, channels))
        return false;
    if (fwrite(header, 1, sizeof header, file) != sizeof header)
        return false;
    if (!pcm.empty() && fwrite(pcm.data(), 1, pcm.size(), file) != pcm.size())
        return false;
    return fflush(file) == 0 && !ferror(file);
}

WavResult S_WriteWavFromOgg(FILE *file, std::span<const uint8_t> ogg, size_t maxBytes)
{
    // A file that cannot seek back to its header (a pipe) gets the samples
    // decoded whole first, so that the header can go first with its lengths.
    if (!file || fseeko(file, 0, SEEK_CUR) != 0) {
        std::vector<uint8_t> pcm;
        int32_t rate = 0, channels = 0;
        if (!S_DecodeAll(ogg, pcm, rate, channels, maxBytes))
            return rate > 0 && channels > 0 ? WavResult::TooLong : WavResult::NotDecodable;
        return S_WriteWav(file, pcm, rate, channels) ? WavResult::Ok : WavResult::WriteFailed;
    }
    if (ogg.size() > std::numeric_limits<uint32_t>::max())
        return WavResult::NotDecodable;
    SoundRecord record{{'O', 'G', 'G', '!'}, const_cast<uint8_t *>(ogg.data()), static_cast<uint32_t>(ogg.size())};
    OggStream *stream = S_StreamOpen(&record);
    if (!stream)
        return WavResult::NotDecodable;
    const int32_t rate = S_StreamRate(stream), channels = S_StreamChannels(stream);
    WavResult result = WavResult::Ok;
    uint8_t header[kWavHeaderBytes] = {};
    const off_t start = ftello(file);
    if (rate <= 0 || channels <= 0)  // a rejected setup header leaves neither
        result = WavResult::NotDecodable;
    else if (fwrite(header, 1, sizeof header, file) != sizeof header)
        result = WavResult::WriteFailed;
    // Written piece by piece: memory stays one staging buffer, whatever the length.
    uint64_t written = 0;
    while (result == WavResult::Ok) {
        const int32_t got = S_StreamDecode(stream, stream->pcm, kSoundBlockBytes, kStreamPcmBytes);
        if (got <= 0)
            break;
        written += static_cast<uint64_t>(got);
        if (written > maxBytes)
            result = WavResult::TooLong;
        else if (fwrite(stream->pcm, 1, static_cast<size_t>(got), file) != static_cast<size_t>(got))
            result = WavResult::WriteFailed;
    }
    S_StreamClose(stream);
    if (result != WavResult::Ok)
        return result;
    if (!BuildWavHeader(header, written, rate, channels))
        return WavResult::TooLong;
    if (fseeko(file, start, SEEK_SET) != 0 || fwrite(header, 1, sizeof header, file) != sizeof header ||
        fseeko(file, 0, SEEK_END) != 0 || fflush(file) != 0 || ferror(file))
        return WavResult::WriteFailed;
    return WavResult::Ok;
}
