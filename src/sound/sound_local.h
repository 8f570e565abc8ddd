// Internals of the sound module, shared by the files of sound/ (and its tests):
// the decoder's stream record, the buffer layer over SDL2 and the converter
// that turns decoded PCM into the device's mono 44100 Hz.
#pragma once

#include "sound/sound.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>

// ---------------------------------------------------------------------------
// Decoder (sound_decode.cpp)

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

// Scales one batch of `frames` float frames by 32767 with truncation and
// clamping into out (interleaved); true when a sample had to be clamped.
bool S_ConvertBatch(float **pcm, int channels, int frames, int16_t *out);

// ---------------------------------------------------------------------------
// Buffer layer (sound_buffer.cpp): one SDL2 device mixing channel rings.

// Starts the audio subsystem for a device record; kSoundErrNoDriver when no driver.
int32_t SB_CreateDevice(SoundDevice **device);
// Opens the output in `format` (mixing paused); kSoundErrNoDriver when no device opens.
int32_t SB_OpenOutput(SoundDevice *device, const WaveFormat &format);
// Starts the mixer.
int32_t SB_PlayOutput(SoundDevice *device);
// kSoundErrBadFormat unless the output runs in `format`.
int32_t SB_CheckFormat(SoundDevice *device, const WaveFormat &format);
// Closes the output, ends the audio subsystem and frees the record; buffers must be released first.
void SB_ReleaseDevice(SoundDevice *device);

// A zeroed ring of `bytes` bytes, mixed by the device when played.
int32_t SB_CreateBuffer(SoundDevice *device, uint32_t bytes, SoundBuffer **buffer);
void SB_ReleaseBuffer(SoundBuffer *buffer);
int32_t SB_SetCurrentPosition(SoundBuffer *buffer, uint32_t position);
int32_t SB_Play(SoundBuffer *buffer, bool looping);
int32_t SB_Stop(SoundBuffer *buffer);
int32_t SB_GetStatus(SoundBuffer *buffer, uint32_t *status);
int32_t SB_GetCurrentPosition(SoundBuffer *buffer, uint32_t *playCursor);
// Locks `bytes` at `offset` for writing: the region up to the ring's end, and
// the wrapped rest from the ring's start (null, 0 when none). The mixer waits
// until SB_Unlock.
int32_t SB_Lock(SoundBuffer *buffer, uint32_t offset, uint32_t bytes, void **first, uint32_t *firstBytes,
                void **second, uint32_t *secondBytes);
int32_t SB_Unlock(SoundBuffer *buffer);

// The mixer: sums the playing rings into `bytes` bytes of 16-bit mono with
// clamping and moves their play cursors. SDL's callback calls it; so do tests.
void SB_Mix(SoundDevice *device, uint8_t *out, int bytes);
// Test clock: while set, SDL's callback plays silence and leaves the cursors
// alone, so that only SB_Mix moves them.
void SB_SetManualClock(SoundDevice *device, bool manual);

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
