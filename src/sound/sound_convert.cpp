// Between the decoder and a channel's ring: decoded PCM at the stream's own
// rate and channel count becomes the device's mono 44100 Hz, so that a stereo
// sound, or one recorded at another rate, plays at its own speed and pitch.
//
// Channels are averaged; the rate is changed by linear interpolation with the
// position carried from call to call, so the output does not depend on how
// the ring asks for it and N input frames give exactly ceil(N * 44100 / rate)
// samples. (SDL 2.26's audio stream restarts its phase on every put and loses
// about 1024 samples when flushed.)
#include "sound/sound.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr int64_t kDeviceRate = 44100;
constexpr int32_t kRawBytes = 65536;                 // decoded audio taken per step
constexpr int32_t kHoldSamples = kRawBytes / 2 + 2;  // mono input: one step plus what the last step left

}  // namespace

struct SoundConverter {
    int32_t channels;             // of the stream
    int64_t rate;                 // of the stream
    uint64_t outIndex;            // output samples made so far
    uint64_t inBase;              // input sample number of hold[0]
    int32_t held;                 // input samples in hold
    bool drained;                 // the decoder has nothing more
    int16_t raw[kRawBytes / 2];   // interleaved, as decoded
    int16_t hold[kHoldSamples];   // mono input not yet passed by the output position
};

bool S_ConverterOpen(const OggStream *stream, SoundConverter **converter)
{
    *converter = nullptr;
    const int32_t channels = S_StreamChannels(stream);
    const int32_t rate = S_StreamRate(stream);
    if (channels == 1 && rate == kDeviceRate)
        return true;
    if (channels < 1 || rate < kConvMinRate || rate > kConvMaxRate)
        return false;
    SoundConverter *c = new (std::nothrow) SoundConverter();
    if (!c)
        return false;
    c->channels = channels;
    c->rate = rate;
    *converter = c;
    return true;
}

void S_ConverterClose(SoundConverter *c)
{
    delete c;
}

int32_t S_DecodeForRing(OggStream *stream, SoundConverter *c, uint8_t *dest, int32_t maxBytes, int32_t capacity)
{
    if (!c)
        return S_StreamDecode(stream, dest, maxBytes, capacity);
    if (!stream || !dest || capacity <= 0)
        return 0;
    const int32_t frameBytes = 2 * c->channels;
    const int32_t rawLimit = kRawBytes / frameBytes * frameBytes;
    int32_t produced = 0;
    for (;;) {
        // Output sample k lies at input position k * rate / 44100.
        while (capacity - produced >= 2) {
            const uint64_t x = c->outIndex * static_cast<uint64_t>(c->rate);
            const uint64_t i = x / kDeviceRate;
            const int64_t frac = static_cast<int64_t>(x % kDeviceRate);
            const uint64_t end = c->inBase + static_cast<uint64_t>(c->held);
            if (i >= end)
                break;
            const int64_t a = c->hold[i - c->inBase];
            int64_t b;
            if (i + 1 < end)
                b = c->hold[i + 1 - c->inBase];
            else if (c->drained)
                b = a;  // past the last sample: hold it
            else
                break;
            const int64_t num = a * (kDeviceRate - frac) + b * frac;
            const int16_t v = static_cast<int16_t>(num >= 0 ? (num + kDeviceRate / 2) / kDeviceRate
                                                             : -((-num + kDeviceRate / 2) / kDeviceRate));
            memcpy(dest + produced, &v, 2);
            produced += 2;
            ++c->outIndex;
        }
        if (produced >= maxBytes || capacity - produced < 2 || c->drained)
            return produced;

        // Drop the input the output has passed, then decode about what is still wanted.
        const uint64_t needed = c->outIndex * static_cast<uint64_t>(c->rate) / kDeviceRate;
        const int32_t drop = static_cast<int32_t>(std::min<uint64_t>(needed - c->inBase, c->held));
        std::copy(c->hold + drop, c->hold + c->held, c->hold);
        c->held -= drop;
        c->inBase += static_cast<uint64_t>(drop);

        const int64_t wantSamples = (static_cast<int64_t>(maxBytes) - produced + 1) / 2;
        const int64_t wantFrames = (wantSamples * c->rate + kDeviceRate - 1) / kDeviceRate + 1;
        const int32_t room = (kHoldSamples - c->held) * frameBytes;
        const int32_t ask = static_cast<int32_t>(std::min<int64_t>({wantFrames * frameBytes, rawLimit, room}));
        uint8_t *raw = reinterpret_cast<uint8_t *>(c->raw);
        const int32_t got = ask >= frameBytes ? S_StreamDecode(stream, raw, ask, ask) : 0;
        if (got <= 0) {
            c->drained = true;
            continue;
        }
        const int frames = got / frameBytes;
        for (int j = 0; j < frames; ++j) {
            int32_t sum = 0;
            for (int ch = 0; ch < c->channels; ++ch)
                sum += c->raw[j * c->channels + ch];
            c->hold[c->held + j] = static_cast<int16_t>(sum / c->channels);
        }
        c->held += frames;
    }
}
