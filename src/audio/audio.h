// The sound player: the module that queues, streams and plays sound records
// on one audio device (mono, 44100 Hz, signed 16-bit) through a small buffer
// layer over SDL2. Everything here runs on the window's thread; only the
// buffer layer's mixer runs on SDL's audio thread. Decoding is src/sound.
#pragma once

#include "sound/sound.h"

#include <cstdint>
#include <span>
#include <vector>

// Opaque to users of the module: a channel's ring in the buffer layer and the
// output device.
struct SoundBuffer;
struct SoundDevice;

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
    double startSeconds; // where a stream starts playing; 0 from its beginning
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

// Result codes of the buffer layer. They keep fixed values so that S_ErrorString
// describes each of them.
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
    double startSeconds;         // the point of the sound the stream started at
};

// The sound module's part of the viewer's state. Written only by src/audio.
struct SoundState {
    // Output (audio_module.cpp over audio_buffer.cpp).
    SoundDevice *device;                  // the opened device; null when stopped
    WaveFormat waveFormat;
    bool listener;                        // output mixing; without it S_Update and S_StartSound do nothing
    SoundChannel channels[kSoundMaxChannels];
    int32_t channelCount;                 // created by the last successful S_Init; 0 before
    bool deferredPending;                 // a deferred 3D setting awaits its commit
    float lastPosition[3];                // listener values last passed to S_Update
    float lastAngles[3];

    // Requests and records (audio_module.cpp).
    std::vector<PlayRequest> playQueue;   // appended by the selection, emptied in order by S_Update
    SoundSlot soundSlots[kSoundSlotCount];  // the viewer uses slot 0 only
};

extern SoundState soundState;

// ---------------------------------------------------------------------------
// Records

// Copies `resource` (the selected entry's bytes) into a new record held by
// slot 0 as "__curasset"; null when there are no bytes or no memory. A record
// slot 0 already held is released first, and nothing that plays it survives.
SoundRecord *S_LoadCurrentAsset(std::span<const uint8_t> resource);

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

// Stops every channel and drops every queued request; the records stay, so
// a sound can be queued again at once.
void S_StopAll();

// Appends the viewer's request for a record to playQueue (any channel but 0,
// noSteal, owner -1); a null record is ignored.
void S_QueuePlay(SoundRecord *record);
// The same request starting `seconds` into a stream (the transport's seek).
void S_QueuePlayFrom(SoundRecord *record, double seconds);

// Where a channel playing a stream of `record` is, in seconds of the sound
// (from the play cursor, so it advances with what is heard); false when no
// channel plays it.
bool S_PlayingPosition(const SoundRecord *record, double &seconds);

// Starts a record on a channel (-1: the module chooses one, never channel 0);
// returns the channel, or -1 when nothing could be started.
// A stream starts decoding `startSeconds` into the sound.
int S_StartSound(int channel, const void *record, bool noSteal, int owner, double startSeconds = 0);

// Keeps a streaming channel's ring fed ahead of its play cursor; false once the
// sound is over.
bool S_StreamFill(int channel);

// Plays raw 16-bit mono PCM once on a channel; the buffer layer's result.
int32_t S_PlayRawData(int channel, uint32_t size, const uint8_t *data);

// Description of a result code; "I don't know." for unknown codes.
const char *S_ErrorString(int32_t code);

// ---------------------------------------------------------------------------
// Buffer layer (audio_buffer.cpp): one SDL2 device mixing channel rings.

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

