// Sound: Ogg Vorbis resources decoded to 16-bit PCM, and the sound module that
// queues, streams and plays them on one audio device (mono, 44100 Hz, signed
// 16-bit) through a small buffer layer over SDL2. Everything here runs on the
// window's thread; only the buffer layer's mixer runs on SDL's audio thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

// Opaque to users of the module: decoder state (sound_local.h), a channel's
// ring in the buffer layer, the mono-44100 converter and the output device.
struct OggStream;
struct SoundBuffer;
struct SoundConverter;
struct SoundDevice;

// ---------------------------------------------------------------------------
// Records and requests

// An encoded sound as the module holds it: "OGG!" and a heap copy of the Ogg
// Vorbis bytes. Owned by the slot that names it.
struct SoundRecord {
    char magic[4];      // 'O', 'G', 'G', '!': the module tells streams by the 'O' alone
    uint8_t *data;      // owned copy of the encoded bytes
    uint32_t size;      // bytes at data
};

// A raw PCM record, the other kind a request may name: any memory whose first
// byte is not 'O', holding its byte count (u32) at byte 40 and 16-bit mono
// 44100 Hz samples from byte 44. The viewer itself never makes one.
constexpr uint32_t kRawRecordSizeOffset = 40;
constexpr uint32_t kRawRecordHeaderBytes = 44;

constexpr int kSoundSlotCount = 512;
constexpr int kSoundNameBytes = 1024;

struct SoundSlot {
    char name[kSoundNameBytes];  // NUL-terminated
    void *extra;                 // a second owned buffer; the viewer never sets it
    SoundRecord *record;         // owned
};

// One queued play request. The viewer's requests: no position, 1.0, noSteal
// set, owner -1, channel -1 (any channel but 0).
struct PlayRequest {
    const void *record;  // a SoundRecord, or a raw PCM record (first byte not 'O')
    bool hasPosition;
    float position[3];   // not set when !hasPosition
    float scale;         // 1.0; never read by the module
    bool noSteal;
    int32_t owner;
    int32_t channel;     // -1: let the module choose
};

// ---------------------------------------------------------------------------
// The buffer layer's format and result codes

// Output format of the device and of every channel ring.
struct WaveFormat {
    uint16_t formatTag;       // 1 = PCM
    uint16_t channels;        // 1
    uint32_t samplesPerSec;   // 44100
    uint32_t avgBytesPerSec;  // 88200
    uint16_t blockAlign;      // 2
    uint16_t bitsPerSample;   // 16
    uint16_t extraBytes;      // 0
};

// Result codes of the buffer layer. They keep the values of the sound API the
// module was first written for, so that S_ErrorString describes them.
constexpr int32_t kSoundOk = 0;
constexpr int32_t kSoundErrInvalidParam = static_cast<int32_t>(0x80070057u);
constexpr int32_t kSoundErrOutOfMemory = static_cast<int32_t>(0x8007000Eu);
constexpr int32_t kSoundErrInvalidCall = static_cast<int32_t>(0x88780032u);
constexpr int32_t kSoundErrBadFormat = static_cast<int32_t>(0x88780064u);
constexpr int32_t kSoundErrNoDriver = static_cast<int32_t>(0x88780078u);
constexpr int32_t kSoundErrGeneric = static_cast<int32_t>(0x80004005u);

// Status bits of a channel.
constexpr uint32_t kSoundStatusPlaying = 0x1;
constexpr uint32_t kSoundStatusLooping = 0x4;

// ---------------------------------------------------------------------------
// Module state

constexpr int kSoundMaxChannels = 79;               // room in the table; 2 are created
constexpr uint32_t kSoundRingBytes = 2097152;       // 2 MiB ring per channel, ~23.8 s
constexpr uint32_t kSoundBlockBytes = 262144;       // 256 KiB written ahead at a time
constexpr int32_t kStreamPcmBytes = 524288;         // a stream's staging buffer: two blocks
constexpr int kConvSamples = 4096;                  // the shared conversion buffer
constexpr int kSoundPrintBytes = 4096;

// One channel: its ring in the buffer layer and what plays on it.
struct SoundChannel {
    SoundBuffer *buffer;         // the 2 MiB ring, owned; null when not created
    bool spatial;                // 3D positioning in force; always cleared here
    bool playing;                // holds a started sound
    bool noSteal;                // a playing channel with this flag is never taken over
    uint32_t endBytes;           // 262144 for a stream, the byte count for raw PCM; takeover key
    int32_t owner;               // from the request; -1 when the channel stops
    const uint8_t *rawRecord;    // raw PCM record playing, or null
    OggStream *stream;           // stream playing, owned, or null
    SoundConverter *converter;   // its mono-44100 converter, owned; null when not needed
    uint32_t written;            // bytes written into the ring since the stream started
    uint32_t played;             // bytes the play cursor has passed since then
    uint32_t lastCursor;         // play cursor seen at the previous fill
};

// The sound module's part of the viewer's state. Written only by src/sound.
struct SoundState {
    // Diagnostics (S_Print): the last message, kept so that it can be inspected.
    char printBuffer[kSoundPrintBytes];
    uint32_t printCount;                  // messages printed since start-up

    // Decoder (sound_decode.cpp): rewritten by every S_StreamDecode call.
    int16_t convBuffer[kConvSamples];
    int32_t convSize;                     // frames that fit: 4096 / channels of the stream

    // Output (sound_module.cpp over sound_buffer.cpp).
    SoundDevice *device;                  // the opened device; null when stopped
    WaveFormat waveFormat;
    bool listener;                        // output mixing; without it S_Update and S_StartSound do nothing
    SoundChannel channels[kSoundMaxChannels];
    int32_t channelCount;                 // created by the last successful S_Init; 0 before
    bool deferredPending;                 // a deferred 3D setting awaits its commit
    float lastPosition[3];                // listener values last passed to S_Update
    float lastAngles[3];

    // Requests and records (sound_module.cpp).
    std::vector<PlayRequest> playQueue;   // appended by the selection, emptied in order by S_Update
    SoundSlot soundSlots[kSoundSlotCount];  // the viewer uses slot 0 only
};

extern SoundState soundState;

// ---------------------------------------------------------------------------
// Diagnostics and records

// Formats a sound message by printf rules into soundState.printBuffer (4096
// bytes, truncated) and shows it nowhere.
#if defined(__GNUC__) || defined(__clang__)
#define S_PRINTF_FORMAT __attribute__((format(printf, 1, 2)))
#else
#define S_PRINTF_FORMAT
#endif
void S_Print(const char *format, ...) S_PRINTF_FORMAT;

// Copies `resource` (the selected entry's bytes) into a new record held by
// slot 0 as "__curasset"; null when there are no bytes or no memory. A record
// slot 0 already held is released first, and nothing that plays it survives.
SoundRecord *S_LoadCurrentAsset(std::span<const uint8_t> resource);

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

// ---------------------------------------------------------------------------
// The module

// Opens the default audio device and creates channels 0 and 1; 1 on success.
// On failure 0, a message through S_Print, and a module that stays silent.
// A module still running is shut down first.
int S_Init();

// Stops everything and releases the device, channels, streams, every slot's
// record and every queued request.
void S_Shutdown();

// One timer tick: starts queued sounds and keeps streaming channels fed.
void S_Update(const float position[3], const float angles[3]);

// Appends the viewer's request for a record to playQueue (any channel but 0,
// noSteal, owner -1); a null record is ignored.
void S_QueuePlay(SoundRecord *record);

// Starts a record on a channel (-1: the module chooses one, never channel 0);
// returns the channel, or -1 when nothing could be started.
int S_StartSound(int channel, const void *record, bool noSteal, int owner);

// Keeps a streaming channel's ring fed ahead of its play cursor; false once the
// sound is over.
bool S_StreamFill(int channel);

// Plays raw 16-bit mono PCM once on a channel; the buffer layer's result.
int32_t S_PlayRawData(int channel, uint32_t size, const uint8_t *data);

// Description of a result code; "I don't know." for unknown codes.
const char *S_ErrorString(int32_t code);
