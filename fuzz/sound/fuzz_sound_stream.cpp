// Fuzz target: an untrusted sound resource opened as a stream and decoded to
// its end, the way the player asks for it, both as the stream's own PCM and as
// the ring's mono 44100 Hz. Every call must stay within its capacity, write
// whole frames, and end; the sanitizers watch the staging buffer.
#include "sound/sound.h"
#include "fuzz_util.h"

namespace {

// Hostile streams may expand a few bytes into hours of audio; what matters
// is how each call behaves, so a run stops after this much.
constexpr int64_t kDecodeLimit = 8 << 20;

void DecodeToEnd(const SoundRecord &record, bool throughRing)
{
    OggStream *s = S_StreamOpen(&record);
    if (!s)
        return;
    const int32_t channels = S_StreamChannels(s);
    FUZZ_CHECK(channels >= 0 && channels <= 255);
    if (channels == 0) {
        // A setup header libvorbis rejected: the stream opens but yields nothing.
        FUZZ_CHECK(S_StreamDecode(s, s->pcm, 32768, kStreamPcmBytes) == 0);
        S_StreamClose(s);
        return;
    }
    SoundConverter *converter = nullptr;
    if (throughRing && !S_ConverterOpen(s, &converter)) {
        S_StreamClose(s);
        return;
    }
    const int32_t frameBytes = throughRing ? 2 : 2 * channels;
    int32_t fill = 0;
    int64_t total = 0;
    for (int call = 0; total < kDecodeLimit; ++call) {
        const int32_t ask = call % 3 ? 32768 : static_cast<int32_t>(kSoundBlockBytes) - fill;
        const int32_t capacity = kStreamPcmBytes - fill;
        const int32_t got = throughRing ? S_DecodeForRing(s, converter, s->pcm + fill, ask, capacity)
                                        : S_StreamDecode(s, s->pcm + fill, ask, capacity);
        FUZZ_CHECK(got >= 0 && got <= capacity);
        FUZZ_CHECK(got % frameBytes == 0);
        if (got == 0)
            break;
        total += got;
        fill += got;
        if (fill >= static_cast<int32_t>(kSoundBlockBytes))
            fill = 0;  // the ring took a block
    }
    S_ConverterClose(converter);
    S_StreamClose(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > UINT32_MAX)
        return 0;
    const SoundRecord record{{'O', 'G', 'G', '!'}, const_cast<uint8_t *>(data), static_cast<uint32_t>(size)};
    DecodeToEnd(record, false);
    DecodeToEnd(record, true);
    return 0;
}
