// Helpers shared by the sound tests.
#pragma once

#include "host.h"
#include "ogg_fixtures.h"
#include "sound/sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

// A record over bytes the test keeps alive.
inline SoundRecord RecordOver(const Bytes &bytes)
{
    return SoundRecord{{'O', 'G', 'G', '!'}, const_cast<uint8_t *>(bytes.data()), static_cast<uint32_t>(bytes.size())};
}

inline int16_t SampleAt(const Bytes &b, size_t i)
{
    return static_cast<int16_t>(b[2 * i] | (b[2 * i + 1] << 8));
}

// A libvorbisenc tone with noise in it, at any length, channel count and rate.
inline Bytes Tone(double seconds, int channels = 1, long rate = 44100)
{
    return Fixture_OggVorbis({.channels = channels, .rate = rate, .seconds = seconds, .quality = 0.0f, .noise = 0.1f});
}

struct Decoded {
    bool opened = false;
    int32_t rate = 0, channels = 0;
    Bytes pcm;
};

// Decodes the whole stream in calls asking for `ask` bytes with room for
// `capacity`, as the stream's own PCM or as the ring's mono 44100 Hz. Every
// call must keep to its room, and a call past the end must give nothing.
inline Decoded Decode(const Bytes &ogg, int32_t ask = 32768, int32_t capacity = kStreamPcmBytes, bool ring = false)
{
    Decoded d;
    SoundRecord record = RecordOver(ogg);
    OggStream *s = S_StreamOpen(&record);
    SoundConverter *converter = nullptr;
    if (!s || (ring && !S_ConverterOpen(s, &converter))) {
        S_StreamClose(s);
        return d;
    }
    d = {true, S_StreamRate(s), S_StreamChannels(s)};
    Bytes buffer(static_cast<size_t>(capacity) + 16, 0xEE);
    auto next = [&] {
        return ring ? S_DecodeForRing(s, converter, buffer.data(), ask, capacity)
                    : S_StreamDecode(s, buffer.data(), ask, capacity);
    };
    for (int32_t got; (got = next()) > 0;) {
        EXPECT_LE(got, capacity);
        d.pcm.insert(d.pcm.end(), buffer.begin(), buffer.begin() + got);
    }
    EXPECT_EQ(next(), 0);
    EXPECT_TRUE(std::all_of(buffer.end() - 16, buffer.end(), [](uint8_t b) { return b == 0xEE; }));
    S_ConverterClose(converter);
    S_StreamClose(s);
    return d;
}

// The whole sound as the ring is fed it: mono 44100 Hz.
inline Bytes RingPcm(const Bytes &ogg)
{
    return Decode(ogg, kSoundBlockBytes, kStreamPcmBytes, true).pcm;
}
