// WAV files to Ogg Vorbis sounds (libvorbisenc at a VBR quality), and Ogg
// Vorbis files taken as they are once they are known to open.
#include "import/import_local.h"
#include "base/bytes.h"
#include "sound/sound.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

enum class Sample { Unsigned8, Signed16, Signed24, Signed32, Float32 };

struct Wav {
    Sample sample = Sample::Signed16;
    uint32_t channels = 0, rate = 0, frameBytes = 0;
    std::span<const uint8_t> data;
};

bool Is(const uint8_t *p, const char *id)
{
    return memcmp(p, id, 4) == 0;
}

// Whether four bytes at `at` read as a chunk's name (printable ASCII).
bool ChunkName(std::span<const uint8_t> file, size_t at)
{
    if (at > file.size() || file.size() - at < 4)
        return false;
    return std::all_of(file.begin() + at, file.begin() + at + 4, [](uint8_t c) { return c >= 0x20 && c < 0x7F; });
}

// The sample form of a fmt chunk; an empty string, or why it is not taken.
std::string ReadFormat(std::span<const uint8_t> fmt, Wav &wav)
{
    if (fmt.size() < 16)
        return "The WAV file's format chunk is " + std::to_string(fmt.size()) + " bytes, too short to read.";
    uint32_t tag = Bytes_ReadU16LE(fmt.data());
    wav.channels = Bytes_ReadU16LE(fmt.data() + 2);
    wav.rate = Bytes_ReadU32LE(fmt.data() + 4);
    const uint32_t blockAlign = Bytes_ReadU16LE(fmt.data() + 12), bits = Bytes_ReadU16LE(fmt.data() + 14);
    // The extensible form names its real format in the first two bytes of its
    // subformat GUID; the rest must be the common suffix, or the two bytes
    // mean something else entirely.
    static constexpr uint8_t kGuidSuffix[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (tag == 0xFFFE && fmt.size() >= 40 && memcmp(fmt.data() + 26, kGuidSuffix, sizeof kGuidSuffix) == 0)
        tag = Bytes_ReadU16LE(fmt.data() + 24);
    if (tag == 1 && bits == 8)
        wav.sample = Sample::Unsigned8;
    else if (tag == 1 && bits == 16)
        wav.sample = Sample::Signed16;
    else if (tag == 1 && bits == 24)
        wav.sample = Sample::Signed24;
    else if (tag == 1 && bits == 32)
        wav.sample = Sample::Signed32;
    else if (tag == 3 && bits == 32)
        wav.sample = Sample::Float32;
    else if (tag == 1 || tag == 3)
        return "The WAV file holds " + std::to_string(bits) + "-bit " + (tag == 1 ? "PCM" : "float") +
               " samples; 8, 16, 24 and 32-bit PCM and 32-bit float are taken.";
    else
        return "The WAV file is not PCM (format code " + std::to_string(tag) +
               "); 8, 16, 24 and 32-bit PCM and 32-bit float are taken.";
    if (wav.channels != 1 && wav.channels != 2)
        return "The WAV file has " + std::to_string(wav.channels) + " channels; mono and stereo are taken.";
    if (wav.rate == 0)
        return "The WAV file gives a sample rate of 0.";
    wav.frameBytes = wav.channels * (bits / 8);
    if (blockAlign != wav.frameBytes)
        return "The WAV file's frames are " + std::to_string(blockAlign) + " bytes, not the " +
               std::to_string(wav.frameBytes) + " its samples need.";
    return "";
}

// The WAV's format and samples; an empty string, or why it is refused. The
// chunks are walked by their sizes within the file; a data chunk that claims
// more than the file holds is a truncated file, never read past its end.
std::string ReadWav(std::span<const uint8_t> file, Wav &wav)
{
    if (file.size() < 12 || !Is(file.data(), "RIFF") || !Is(file.data() + 8, "WAVE"))
        return "The file is not a WAV file (no RIFF WAVE header).";
    bool haveFormat = false, haveData = false;
    size_t at = 12;
    while (file.size() - at >= 8) {
        const uint8_t *chunk = file.data() + at;
        const uint32_t size = Bytes_ReadU32LE(chunk + 4);
        const size_t left = file.size() - at - 8;
        if (size > left) {
            if (Is(chunk, "data") || !haveData)
                return "The WAV file is truncated: its \"" + std::string(reinterpret_cast<const char *>(chunk), 4) +
                       "\" chunk says " + std::to_string(size) + " bytes and the file holds " +
                       std::to_string(left) + " after it.";
            break;  // a damaged chunk after the samples costs nothing
        }
        const std::span<const uint8_t> body = file.subspan(at + 8, size);
        if (Is(chunk, "fmt ") && !haveFormat) {
            if (std::string why = ReadFormat(body, wav); !why.empty())
                return why;
            haveFormat = true;
        } else if (Is(chunk, "data") && !haveData) {
            wav.data = body;
            haveData = true;
        }
        // Chunks are padded to even lengths, but some writers leave the pad
        // byte out: then the next chunk's name starts right after the body.
        const size_t next = at + 8 + size;
        at = next + ((size & 1) && !(ChunkName(file, next) && !ChunkName(file, next + 1)));
        if (at > file.size())
            break;
    }
    if (!haveFormat)
        return "The WAV file has no format chunk.";
    if (!haveData)
        return "The WAV file has no data chunk.";
    return "";
}

template <Sample sample>
float SampleAt(const uint8_t *p)
{
    switch (sample) {
    case Sample::Unsigned8: return (p[0] - 128) / 128.0f;
    case Sample::Signed16: return static_cast<int16_t>(Bytes_ReadU16LE(p)) / 32768.0f;
    case Sample::Signed24: {
        const int32_t v = static_cast<int32_t>((p[0] << 8) | (p[1] << 16) | (static_cast<uint32_t>(p[2]) << 24));
        return static_cast<float>(v / 256) / 8388608.0f;
    }
    case Sample::Signed32: return static_cast<float>(static_cast<int32_t>(Bytes_ReadU32LE(p)) / 2147483648.0);
    case Sample::Float32: {
        const uint32_t bits = Bytes_ReadU32LE(p);
        float v;
        memcpy(&v, &bits, 4);
        return std::isfinite(v) ? std::clamp(v, -1.0f, 1.0f) : 0.0f;  // the encoder's sums must stay finite
    }
    }
    return 0;
}

// One chunk of frames into the encoder's channel buffers, the sample form
// chosen once per chunk rather than once per sample.
template <Sample sample>
void Deinterleave(const uint8_t *p, size_t frames, uint32_t channels, float **buffer)
{
    constexpr size_t bytes = sample == Sample::Unsigned8 ? 1 : sample == Sample::Signed16 ? 2
                             : sample == Sample::Signed24 ? 3 : 4;
    for (size_t f = 0; f < frames; ++f)
        for (uint32_t c = 0; c < channels; ++c, p += bytes)
            buffer[c][f] = SampleAt<sample>(p);
}

void Deinterleave(Sample sample, const uint8_t *p, size_t frames, uint32_t channels, float **buffer)
{
    switch (sample) {
    case Sample::Unsigned8: return Deinterleave<Sample::Unsigned8>(p, frames, channels, buffer);
    case Sample::Signed16: return Deinterleave<Sample::Signed16>(p, frames, channels, buffer);
    case Sample::Signed24: return Deinterleave<Sample::Signed24>(p, frames, channels, buffer);
    case Sample::Signed32: return Deinterleave<Sample::Signed32>(p, frames, channels, buffer);
    case Sample::Float32: return Deinterleave<Sample::Float32>(p, frames, channels, buffer);
    }
}

void AppendPage(std::vector<uint8_t> &out, const ogg_page &page)
{
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

struct Encoder {
    vorbis_info info;
    vorbis_comment comment;
    vorbis_dsp_state dsp;
    vorbis_block block;
    ogg_stream_state stream;
    bool started = false;

    Encoder() { vorbis_info_init(&info); }
    ~Encoder()
    {
        if (started) {
            ogg_stream_clear(&stream);
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&dsp);
            vorbis_comment_clear(&comment);
        }
        vorbis_info_clear(&info);
    }
};

// Hands the analysed blocks to the Ogg stream and its full pages to `out`.
void Drain(Encoder &enc, std::vector<uint8_t> &out)
{
    ogg_packet packet;
    ogg_page page;
    while (vorbis_analysis_blockout(&enc.dsp, &enc.block) == 1) {
        vorbis_analysis(&enc.block, nullptr);
        vorbis_bitrate_addblock(&enc.block);
        while (vorbis_bitrate_flushpacket(&enc.dsp, &packet)) {
            ogg_stream_packetin(&enc.stream, &packet);
            while (ogg_stream_pageout(&enc.stream, &page))
                AppendPage(out, page);
        }
    }
}

ImportResult EncodeWav(const Wav &wav, float quality)
{
    Encoder enc;
    if (vorbis_encode_init_vbr(&enc.info, static_cast<long>(wav.channels), static_cast<long>(wav.rate), quality) != 0)
        return Import_Refuse("The Vorbis encoder takes no " + std::to_string(wav.channels) + "-channel sound at " +
                             std::to_string(wav.rate) + " Hz.");
    vorbis_comment_init(&enc.comment);
    vorbis_analysis_init(&enc.dsp, &enc.info);
    vorbis_block_init(&enc.dsp, &enc.block);
    ogg_stream_init(&enc.stream, 0x51494d50);  // one stream per resource: any fixed serial will do
    enc.started = true;

    ImportResult result;
    ogg_packet id, comments, codebooks;
    vorbis_analysis_headerout(&enc.dsp, &enc.comment, &id, &comments, &codebooks);
    ogg_stream_packetin(&enc.stream, &id);
    ogg_stream_packetin(&enc.stream, &comments);
    ogg_stream_packetin(&enc.stream, &codebooks);
    // The headers end their own page, as players expect the audio to start on a fresh one.
    for (ogg_page page; ogg_stream_flush(&enc.stream, &page);)
        AppendPage(result.bytes, page);

    constexpr size_t kFrames = 1024;
    const size_t frames = wav.data.size() / wav.frameBytes;  // a partial last frame is no sample
    for (size_t done = 0; done < frames;) {
        const size_t n = std::min(kFrames, frames - done);
        float **buffer = vorbis_analysis_buffer(&enc.dsp, static_cast<int>(n));
        Deinterleave(wav.sample, wav.data.data() + done * wav.frameBytes, n, wav.channels, buffer);
        vorbis_analysis_wrote(&enc.dsp, static_cast<int>(n));
        Drain(enc, result.bytes);
        done += n;
    }
    vorbis_analysis_wrote(&enc.dsp, 0);
    Drain(enc, result.bytes);
    for (ogg_page page; ogg_stream_flush(&enc.stream, &page);)
        AppendPage(result.bytes, page);
    result.ok = true;
    return result;
}

}  // namespace

ImportResult Import_Sound(std::span<const uint8_t> file, const SoundImportOptions &options)
{
    if (file.size() >= 4 && Is(file.data(), "OggS")) {
        // The player opens streams by their three Vorbis headers: one it cannot open would play as silence.
        if (file.size() > std::numeric_limits<uint32_t>::max())
            return Import_Refuse("The Ogg file is too large for a sound resource.");
        SoundRecord record{{'O', 'G', 'G', '!'}, const_cast<uint8_t *>(file.data()),
                           static_cast<uint32_t>(file.size())};
        OggStream *stream = S_StreamOpen(&record);
        if (!stream)
            return Import_Refuse("The Ogg file is not an Ogg Vorbis stream that can be played.");
        S_StreamClose(stream);
        ImportResult result;
        result.ok = true;
        result.bytes.assign(file.begin(), file.end());
        return result;
    }
    if (!(options.quality >= -0.1f && options.quality <= 1.0f))
        return Import_Refuse("The sound quality must be between -0.1 and 1.0.");
    if (file.size() >= 4 && (Is(file.data(), "RIFX") || Is(file.data(), "RF64")))
        return Import_Refuse(std::string("The file is a ") + (file[1] == 'I' ? "big-endian RIFX" : "RF64") +
                             " WAV; plain RIFF WAV files are taken.");
    // Neither header: a damaged Ogg file is as likely as a damaged WAV file, and the refusal names both.
    if (file.size() < 4 || !Is(file.data(), "RIFF"))
        return Import_Refuse("The file is not a WAV file (no RIFF WAVE header) nor an Ogg Vorbis file (no OggS "
                             "page at its start).");
    Wav wav;
    if (std::string why = ReadWav(file, wav); !why.empty())
        return Import_Refuse(why);
    return EncodeWav(wav, options.quality);
}
