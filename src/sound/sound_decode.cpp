// Ogg Vorbis decoding to 16-bit PCM in the classic decode loop: feed the sync
// layer 4096 bytes at a time, pull pages, pull packets, synthesise, drain PCM.
// The encoded bytes are archive bytes: every step is bounded by the record,
// and no write goes past the destination's capacity.
#include "sound/sound.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <new>

constinit thread_local SoundDecodeState soundDecode{};

void S_Print(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(soundDecode.printBuffer, sizeof soundDecode.printBuffer, format, args);
    va_end(args);
    ++soundDecode.printCount;
}

namespace {

// Hands the sync layer the next piece of the record; 0 when the record is spent.
long Feed(OggStream *s)
{
    const uint8_t *end = s->source->data + s->source->size;
    const size_t left = static_cast<size_t>(end - s->readPos);
    const long n = static_cast<long>(std::min<size_t>(left, kOggFeedBytes));
    char *buffer = ogg_sync_buffer(&s->sync, kOggFeedBytes);
    if (!buffer || n == 0)
        return 0;
    memcpy(buffer, s->readPos, static_cast<size_t>(n));
    s->readPos += n;
    ogg_sync_wrote(&s->sync, n);
    return n;
}

// Moves synthesised audio into dest + produced, one conversion batch at a time,
// as long as whole frames fit below capacity. False when some audio had to stay.
bool Drain(OggStream *s, uint8_t *dest, int32_t &produced, int32_t capacity)
{
    const int channels = s->info.channels;
    const int32_t frameBytes = 2 * channels;
    float **pcm = nullptr;
    int samples;
    while ((samples = vorbis_synthesis_pcmout(&s->dsp, &pcm)) > 0) {
        const int32_t room = (capacity - produced) / frameBytes;
        if (room <= 0)
            return false;
        const int bout = std::min({samples, soundDecode.convSize, room});
        if (S_ConvertBatch(pcm, channels, bout, soundDecode.convBuffer))
            S_Print("Clipping in frame %ld\n", static_cast<long>(s->dsp.sequence));
        const int32_t bytes = frameBytes * bout;
        memcpy(dest + produced, soundDecode.convBuffer, static_cast<size_t>(bytes));
        produced += bytes;
        vorbis_synthesis_read(&s->dsp, bout);
    }
    return true;
}

// Takes the packets of the page last paged in, each synthesised and drained.
// False when dest filled up: the rest waits in the stream for the next call.
bool TakePackets(OggStream *s, uint8_t *dest, int32_t &produced, int32_t capacity)
{
    for (;;) {
        if (!Drain(s, dest, produced, capacity))
            return false;
        const int result = ogg_stream_packetout(&s->stream, &s->packet);
        if (result == 0)
            return true;
        if (result < 0)
            continue;  // a hole in the packets: passed over
        if (vorbis_synthesis(&s->block, &s->packet) == 0)
            vorbis_synthesis_blockin(&s->dsp, &s->block);
    }
}

// Drops up to `left` synthesised frames; true once none are left to drop.
bool Discard(OggStream *s, int64_t &left)
{
    float **pcm = nullptr;
    int samples;
    while (left > 0 && (samples = vorbis_synthesis_pcmout(&s->dsp, &pcm)) > 0) {
        const int n = static_cast<int>(std::min<int64_t>(samples, left));
        vorbis_synthesis_read(&s->dsp, n);
        left -= n;
    }
    return left == 0;
}

}  // namespace

bool S_ConvertBatch(float **pcm, int channels, int frames, int16_t *out)
{
    bool clipped = false;
    for (int c = 0; c < channels; ++c) {
        const float *in = pcm[c];
        int16_t *o = out + c;
        for (int j = 0; j < frames; ++j) {
            const double scaled = in[j] * 32767.0;
            // Clamping before the truncation gives the same value as clamping
            // after it, and keeps huge and non-finite samples (hostile streams
            // make them; NaN ends at -32768) away from the cast.
            double bounded = scaled > -32768.0 ? scaled : -32768.0;
            bounded = bounded < 32767.0 ? bounded : 32767.0;
            o[j * channels] = static_cast<int16_t>(static_cast<int>(bounded));
            clipped |= !(scaled > -32769.0 && scaled < 32768.0);
        }
    }
    return clipped;
}

OggStream *S_StreamOpen(const SoundRecord *record)
{
    if (!record || (!record->data && record->size > 0))
        return nullptr;
    OggStream *s = new (std::nothrow) OggStream();
    if (!s)
        return nullptr;
    s->source = record;
    s->readPos = record->data;
    ogg_sync_init(&s->sync);

    // Every libogg and libvorbis clear function accepts the zero-filled state
    // a failed open leaves, so a refusal releases through S_StreamClose.
    auto refuse = [s](const char *message) -> OggStream * {
        if (message)
            S_Print("%s", message);
        S_StreamClose(s);
        return nullptr;
    };

    Feed(s);
    if (ogg_sync_pageout(&s->sync, &s->page) != 1)
        return refuse(nullptr);
    ogg_stream_init(&s->stream, ogg_page_serialno(&s->page));
    vorbis_info_init(&s->info);
    vorbis_comment_init(&s->comment);
    if (ogg_stream_pagein(&s->stream, &s->page) < 0)
        return refuse("Error reading first page of Ogg bitstream data.\n");
    if (ogg_stream_packetout(&s->stream, &s->packet) != 1)
        return refuse("Error reading initial header packet.\n");
    if (vorbis_synthesis_headerin(&s->info, &s->comment, &s->packet) < 0)
        return refuse("This Ogg bitstream does not contain Vorbis audio data.\n");

    // The comment and setup headers. One more feed follows the last of them.
    int i = 0;
    while (i < 2) {
        while (i < 2) {
            int result = ogg_sync_pageout(&s->sync, &s->page);
            if (result == 0)
                break;
            if (result < 0)
                continue;
            ogg_stream_pagein(&s->stream, &s->page);
            while (i < 2) {
                result = ogg_stream_packetout(&s->stream, &s->packet);
                if (result == 0)
                    break;
                if (result < 0)
                    return refuse("Corrupt secondary header.  Exiting.\n");
                vorbis_synthesis_headerin(&s->info, &s->comment, &s->packet);
                ++i;
            }
        }
        if (Feed(s) == 0 && i < 2)
            return refuse("End of file before finding all Vorbis headers!\n");
    }

    // A failed synthesis set-up leaves a state that yields no audio; the block
    // is set up whatever it returned.
    vorbis_synthesis_init(&s->dsp, &s->info);
    vorbis_block_init(&s->dsp, &s->block);

    s->pcm = new (std::nothrow) uint8_t[kStreamPcmBytes];
    if (!s->pcm)
        return refuse(nullptr);
    s->pcmFill = 0;
    return s;
}

// The destination may fill before a page is done; then this call returns what
// it wrote, and the next call takes the page's remaining audio and packets
// before it pulls another page. Leaving them in libvorbis and libogg this way
// keeps memory bounded whatever a page decodes to.
int32_t S_StreamDecode(OggStream *s, uint8_t *dest, int32_t maxBytes, int32_t capacity)
{
    // libvorbis clears the stream information when it rejects a setup header,
    // whose result the open does not look at: such a stream has no channels
    // and yields nothing.
    if (!s || !dest || capacity <= 0 || s->info.channels < 1)
        return 0;
    soundDecode.convSize = kConvSamples / s->info.channels;
    int32_t produced = 0;

    if (s->pageOpen) {
        if (!TakePackets(s, dest, produced, capacity))
            return produced;
        s->pageOpen = false;
        if (s->pageEos)
            return produced;
    }
    for (;;) {
        const int result = ogg_sync_pageout(&s->sync, &s->page);
        if (result < 0) {
            S_Print("Corrupt or missing data in bitstream; continuing...\n");
            continue;
        }
        if (result == 0) {
            // maxBytes is looked at only here and at the end of the stream:
            // every page already fed is decoded in full.
            const bool end = Feed(s) == 0;
            if (produced >= maxBytes || end)
                return produced;
            continue;
        }
        ogg_stream_pagein(&s->stream, &s->page);
        s->pageOpen = true;
        s->pageEos = ogg_page_eos(&s->page) != 0;
        if (!TakePackets(s, dest, produced, capacity))
            return produced;
        s->pageOpen = false;
        if (s->pageEos)
            return produced;
    }
}

// The same walk over pages and packets as S_StreamDecode, with the audio
// dropped; where it stops, the page stays open for the next decode call.
int64_t S_StreamSkip(OggStream *s, int64_t frames)
{
    if (!s || s->info.channels < 1 || frames <= 0)
        return 0;
    int64_t left = frames;
    for (;;) {
        if (s->pageOpen) {
            for (;;) {
                if (Discard(s, left))
                    return frames;
                const int result = ogg_stream_packetout(&s->stream, &s->packet);
                if (result == 0)
                    break;
                if (result > 0 && vorbis_synthesis(&s->block, &s->packet) == 0)
                    vorbis_synthesis_blockin(&s->dsp, &s->block);
            }
            s->pageOpen = false;
            if (s->pageEos)
                return frames - left;
        }
        const int result = ogg_sync_pageout(&s->sync, &s->page);
        if (result < 0)
            continue;
        if (result == 0) {
            if (Feed(s) == 0)
                return frames - left;
            continue;
        }
        ogg_stream_pagein(&s->stream, &s->page);
        s->pageOpen = true;
        s->pageEos = ogg_page_eos(&s->page) != 0;
    }
}

bool S_SoundLength(std::span<const uint8_t> ogg, double &seconds)
{
    seconds = 0;
    if (ogg.size() > UINT32_MAX)
        return false;
    // The stream only reads through the record; the cast lends it the bytes.
    const SoundRecord record{{'O', 'G', 'G', '!'}, const_cast<uint8_t *>(ogg.data()),
                             static_cast<uint32_t>(ogg.size())};
    return S_SoundLength(&record, seconds);
}

bool S_SoundLength(const SoundRecord *record, double &seconds)
{
    seconds = 0;
    OggStream *stream = record ? S_StreamOpen(record) : nullptr;
    const int32_t rate = S_StreamRate(stream);
    S_StreamClose(stream);
    if (rate <= 0)
        return false;
    // The last page that ends a packet carries the stream's frame count;
    // pages are found from the end by their capture pattern and version 0.
    constexpr size_t kPageHeader = 27;
    const uint8_t *data = record->data;
    for (size_t at = record->size >= kPageHeader ? record->size - kPageHeader + 1 : 0; at-- > 0;) {
        if (memcmp(data + at, "OggS", 4) != 0 || data[at + 4] != 0)
            continue;
        uint64_t bits = 0;
        for (int i = 7; i >= 0; --i)
            bits = bits << 8 | data[at + 6 + i];
        const int64_t granule = static_cast<int64_t>(bits);  // -1: no packet ends on the page
        if (granule >= 0) {
            seconds = static_cast<double>(granule) / rate;
            return true;
        }
    }
    return false;
}

void S_StreamClose(OggStream *s)
{
    if (!s)
        return;
    ogg_stream_clear(&s->stream);
    vorbis_block_clear(&s->block);
    vorbis_dsp_clear(&s->dsp);
    vorbis_comment_clear(&s->comment);
    vorbis_info_clear(&s->info);
    ogg_sync_clear(&s->sync);
    delete[] s->pcm;
    delete s;
}

int32_t S_StreamRate(const OggStream *s)
{
    return s ? static_cast<int32_t>(s->info.rate) : 0;
}

int32_t S_StreamChannels(const OggStream *s)
{
    return s ? s->info.channels : 0;
}
