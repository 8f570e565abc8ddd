// Sound resources: Ogg Vorbis decoded to 16-bit PCM, the conversion to the
// player's mono 44100 Hz, and 16-bit PCM WAV files. libogg and libvorbis only:
// no audio device (the player is src/audio), so quillon-cli links it alone.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include <ogg/ogg.h>
#include <vorbis/codec.h>

struct SoundConverter;

// An encoded sound as the module holds it: "OGG!" and a heap copy of the Ogg
// Vorbis bytes. Owned by the slot that names it.
struct SoundRecord {
    char magic[4];      // 'O', 'G', 'G', '!': the module tells streams by the 'O' alone
    uint8_t *data;      // owned copy of the encoded bytes
    uint32_t size;      // bytes at data
};

constexpr int32_t kStreamPcmBytes = 524288;  // a stream's staging buffer: two player blocks
constexpr uint32_t kSoundBlockBytes = 262144;  // 256 KiB decoded ahead at a time by the player
constexpr int kConvSamples = 4096;            // the shared conversion buffer
constexpr int kSoundPrintBytes = 4096;

// The decoder's shared buffers and the sound diagnostics. Written only by
// src/sound; the player (src/audio) prints through S_Print too.
struct SoundDecodeState {
    // Diagnostics (S_Print): the last message, kept so that it can be inspected.
    char printBuffer[kSoundPrintBytes];
    uint32_t printCount;  // messages printed since start-up
    // Rewritten by every S_StreamDecode call.
    int16_t convBuffer[kConvSamples];
    int32_t convSize;  // frames that fit: 4096 / channels of the stream
};

// One per thread: export jobs decode sounds on several threads at once.
extern thread_local constinit SoundDecodeState soundDecode;

// Formats a sound message by printf rules into soundDecode.printBuffer (4096
// bytes, truncated) and shows it nowhere.
#if defined(__GNUC__) || defined(__clang__)
#define S_PRINTF_FORMAT __attribute__((format(printf, 1, 2)))
#else
#define S_PRINTF_FORMAT
#endif
void S_Print(const char *format, ...) S_PRINTF_FORMAT;

constexpr int32_t kOggFeedBytes = 4096;

// The decoder state of one playing stream; zero-filled at creation, owned by
// the channel that plays it.
struct OggStream {
    ogg_sync_state sync;
    ogg_stream_state stream;
    ogg_page page;
    ogg_packet packet;
    vorbis_info info;
    vorbis_comment comment;
    vorbis_dsp_state dsp;
    vorbis_block block;
    const SoundRecord *source;   // not owned
    const uint8_t *readPos;      // next byte of source->data for the sync layer
    uint8_t *pcm;                // kStreamPcmBytes of staging for the ring, owned
    int32_t pcmFill;             // bytes waiting in pcm
    // A destination that filled up left this page's packets (and perhaps
    // synthesised audio) to be taken first by the next decode call.
    bool pageOpen;
    bool pageEos;                // that page ends the stream
};

// ---------------------------------------------------------------------------
// Decoding (PCM: signed 16-bit, native byte order, channels interleaved in the
// order libvorbis gives them, at the stream's own rate)

// Opens a stream over a record and reads its three Vorbis headers; null, with
// everything it built released, when the record is not readable Ogg Vorbis.
OggStream *S_StreamOpen(const SoundRecord *record);

// Decodes onward into dest and returns the bytes written. Stops at the first
// check point (input needed, or end of stream) after maxBytes, so a call may
// return more than maxBytes, but never writes more than `capacity` bytes:
// audio that does not fit stays in the stream for the next call. 0 at the end.
int32_t S_StreamDecode(OggStream *stream, uint8_t *dest, int32_t maxBytes, int32_t capacity);

// Decodes and drops the next `frames` frames, so that the next decode call
// starts at that sample; returns the frames dropped (fewer when the sound ends
// first).
int64_t S_StreamSkip(OggStream *stream, int64_t frames);

// The length of a record's sound, from the granule position of its last page
// and the rate of its headers; false when it does not open or no page gives a
// position.
bool S_SoundLength(const SoundRecord *record, double &seconds);
// The same of Ogg Vorbis bytes that no record holds.
bool S_SoundLength(std::span<const uint8_t> ogg, double &seconds);

// Releases the stream and all it owns but its record; null is ignored.
void S_StreamClose(OggStream *stream);

// Sample rate and channel count of an open stream.
int32_t S_StreamRate(const OggStream *stream);
int32_t S_StreamChannels(const OggStream *stream);

// Decodes a whole Ogg Vorbis resource to interleaved PCM with its own rate and
// channel count; false when it does not open, or its PCM would pass maxBytes.
constexpr size_t kDecodeAllLimit = size_t(1) << 30;
bool S_DecodeAll(std::span<const uint8_t> ogg, std::vector<uint8_t> &pcm, int32_t &rate,
                 int32_t &channels, size_t maxBytes = kDecodeAllLimit);

// Writes a 16-bit PCM WAV file (44-byte header, then pcm) at `rate` with
// `channels` interleaved; false on bad arguments, too much data or a write failure.
bool S_WriteWav(FILE *file, std::span<const uint8_t> pcm, int32_t rate, int32_t channels);

enum class WavResult { Ok, NotDecodable, TooLong, WriteFailed };

// Decodes a whole Ogg Vorbis resource into a 16-bit PCM WAV file at its own
// rate and channel count, a piece at a time, so memory does not grow with the
// sound's length (a file that cannot seek is decoded whole first). TooLong
// when the samples would pass maxBytes; the file is then incomplete.
WavResult S_WriteWavFromOgg(FILE *file, std::span<const uint8_t> ogg, size_t maxBytes = kDecodeAllLimit);

// Scales one batch of `frames` float frames by 32767 with truncation and
// clamping into out (interleaved); true when a sample had to be clamped.
bool S_ConvertBatch(float **pcm, int channels, int frames, int16_t *out);

// ---------------------------------------------------------------------------
// Mono 44100 Hz conversion between decoder and ring (sound_convert.cpp)

// Lowest and highest stream rates that are converted; others play as silence.
constexpr int32_t kConvMinRate = 1000;
constexpr int32_t kConvMaxRate = 384000;

// Makes the converter a stream needs: *converter stays null for a stream that
// is already mono 44100 Hz. False when the stream's rate cannot be converted.
bool S_ConverterOpen(const OggStream *stream, SoundConverter **converter);
void S_ConverterClose(SoundConverter *converter);

// S_StreamDecode for the ring: mono 44100 Hz bytes, at least maxBytes unless
// the sound ends, never more than capacity. 0 once the sound is over.
int32_t S_DecodeForRing(OggStream *stream, SoundConverter *converter, uint8_t *dest, int32_t maxBytes,
                        int32_t capacity);
