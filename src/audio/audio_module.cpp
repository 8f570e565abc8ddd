// The sound module: start-up and shut-down of the output, the play queue, the
// channel choice, and the streaming of decoded audio into each channel's 2 MiB
// ring a 256 KiB block ahead of its play cursor.
#include "audio/audio.h"
#include "base/bytes.h"

#include <cstdlib>
#include <cstring>
#include <new>

SoundState soundState;

namespace {

constexpr int32_t kRefillAhead = 131072;   // at or below this much queued, the ring gets a block
constexpr int32_t kTopUpBytes = 32768;     // decoded per tick while enough is queued
constexpr int32_t kEndMargin = 10000;      // the sound is over once no more than this is queued
constexpr uint32_t kRawTailBytes = 50000;  // silence behind raw PCM: covers a tick's latency
constexpr int32_t kErrUninitialized = static_cast<int32_t>(0x887800AAu);

uint32_t ChannelStatus(const SoundChannel &c)
{
    uint32_t status = 0;
    SB_GetStatus(c.buffer, &status);
    return status;
}

void CloseChannelStream(SoundChannel &c)
{
    S_StreamClose(c.stream);
    S_ConverterClose(c.converter);
    c.stream = nullptr;
    c.converter = nullptr;
    c.written = 0;
    c.played = 0;
    c.lastCursor = 0;
}

void StopChannel(SoundChannel &c)
{
    c.owner = -1;
    SB_Stop(c.buffer);
    c.noSteal = false;
    c.playing = false;
}

// A channel whose stream did not open still plays its ring for one block
// before S_Update stops it: let that be silence, not the last sound heard.
void SilenceRing(SoundChannel &c)
{
    void *first, *second;
    uint32_t firstBytes, secondBytes;
    if (SB_Lock(c.buffer, 0, kSoundRingBytes, &first, &firstBytes, &second, &secondBytes) != kSoundOk)
        return;
    memset(first, 0, firstBytes);
    SB_Unlock(c.buffer);
}

void ReleaseSlot(SoundSlot &slot)
{
    std::free(slot.extra);
    if (slot.record) {
        delete[] slot.record->data;
        delete slot.record;
    }
    memset(&slot, 0, sizeof slot);
}

// Releases a slot's record once nothing can reach it any more: channels that
// stream it stop, and requests that name it leave the queue.
void ForgetSlot(SoundSlot &slot)
{
    SoundState &s = soundState;
    if (slot.record) {
        for (SoundChannel &c : s.channels) {
            if (c.stream && c.stream->source == slot.record) {
                StopChannel(c);
                CloseChannelStream(c);
            }
        }
        std::erase_if(s.playQueue, [&](const PlayRequest &r) { return r.record == slot.record; });
    }
    ReleaseSlot(slot);
}


}  // namespace

SoundRecord *S_LoadCurrentAsset(std::span<const uint8_t> resource)
{
    if (resource.empty() || resource.size() > UINT32_MAX)
        return nullptr;
    SoundRecord *record = new (std::nothrow) SoundRecord();
    if (!record)
        return nullptr;
    record->data = new (std::nothrow) uint8_t[resource.size()];
    if (!record->data) {
        delete record;
        return nullptr;
    }
    memcpy(record->data, resource.data(), resource.size());
    record->size = static_cast<uint32_t>(resource.size());
    memcpy(record->magic, "OGG!", 4);

    SoundSlot &slot = soundState.soundSlots[0];
    ForgetSlot(slot);
    memcpy(slot.name, "__curasset", sizeof "__curasset");
    slot.extra = nullptr;
    slot.record = record;
    return record;
}

int S_Init()
{
    SoundState &s = soundState;
    if (s.device)
        S_Shutdown();
    memset(s.lastPosition, 0, sizeof s.lastPosition);
    memset(s.lastAngles, 0, sizeof s.lastAngles);
    for (SoundChannel &c : s.channels)
        c = SoundChannel{};
    s.channelCount = 0;

    SoundDevice *device = nullptr;
    int32_t result = SB_CreateDevice(&device);
    if (result != kSoundOk) {
        S_Print("DirectSound failed to initialize.\n(creating, err result %s)\n", S_ErrorString(result));
        return 0;
    }
    s.device = device;
    s.waveFormat = WaveFormat{1, 1, 44100, 88200, 2, 16, 0};
    // This output needs no window: there is no cooperative level to set.
    result = SB_OpenOutput(device, s.waveFormat);
    if (result != kSoundOk) {
        S_Print("DirectSound failed to create\na sound buffer. (err result %s)\n", S_ErrorString(result));
        return 0;
    }
    result = SB_PlayOutput(device);
    if (result != kSoundOk) {
        S_Print("Failed to play on primary buffer. (err result %s)\n", S_ErrorString(result));
        return 0;
    }
    result = SB_CheckFormat(device, s.waveFormat);
    if (result != kSoundOk) {
        S_Print("DirectSound failed to set wave format. (err result %s)\n", S_ErrorString(result));
        return 0;
    }
    s.listener = true;
    for (int i = 0; i < 2; ++i) {
        result = SB_CreateBuffer(device, kSoundRingBytes, &s.channels[i].buffer);
        if (result != kSoundOk) {
            S_Print("DirectSound failed to create\nsecondary sound buffer. (err result %s)\n",
                    S_ErrorString(result));
            return 0;
        }
    }
    for (SoundSlot &slot : s.soundSlots)
        memset(&slot, 0, sizeof slot);
    s.channelCount = 2;
    return 1;
}

void S_Shutdown()
{
    SoundState &s = soundState;
    s.listener = false;
    for (SoundChannel &c : s.channels) {
        CloseChannelStream(c);
        if (c.buffer) {
            SB_Stop(c.buffer);
            SB_ReleaseBuffer(c.buffer);
        }
        c = SoundChannel{};
    }
    SB_ReleaseDevice(s.device);
    s.device = nullptr;
    for (SoundSlot &slot : s.soundSlots)
        ReleaseSlot(slot);
    s.channelCount = 0;
    s.deferredPending = false;
    // A request still queued names a record just released: it must never start.
    s.playQueue.clear();
}

void S_StopAll()
{
    SoundState &s = soundState;
    for (int i = 0; i < s.channelCount; ++i) {
        SoundChannel &c = s.channels[i];
        if (!c.buffer)
            continue;
        StopChannel(c);
        CloseChannelStream(c);
    }
    s.playQueue.clear();
}

void S_QueuePlay(SoundRecord *record)
{
    if (!record)
        return;
    PlayRequest request{};
    request.record = record;
    request.scale = 1.0f;
    request.noSteal = true;
    request.owner = -1;
    request.channel = -1;
    soundState.playQueue.push_back(request);
}

void S_QueuePlayFrom(SoundRecord *record, double seconds)
{
    S_QueuePlay(record);
    if (record && seconds > 0)
        soundState.playQueue.back().startSeconds = seconds;
}

bool S_PlayingPosition(const SoundRecord *record, double &seconds)
{
    seconds = 0;
    SoundState &s = soundState;
    for (int i = 0; i < s.channelCount; ++i) {
        const SoundChannel &c = s.channels[i];
        if (!c.playing || !c.stream || c.stream->source != record)
            continue;
        // What the cursor passed since the last fill counted its moves.
        uint32_t cursor = c.lastCursor;
        if (ChannelStatus(c) & kSoundStatusPlaying)
            SB_GetCurrentPosition(c.buffer, &cursor);
        uint32_t moved = cursor - c.lastCursor;
        if (c.lastCursor > cursor)
            moved += kSoundRingBytes;
        const uint64_t played = static_cast<uint64_t>(c.played) + moved;
        seconds = c.startSeconds + static_cast<double>(played) / s.waveFormat.avgBytesPerSec;
        return true;
    }
    return false;
}

void S_Update(const float position[3], const float angles[3])
{
    SoundState &s = soundState;
    if (!s.listener)
        return;
    // The listener's orientation would follow these; the viewer never moves it.
    for (int i = 0; i < 3; ++i) {
        s.lastPosition[i] = position ? position[i] : 0.0f;
        s.lastAngles[i] = angles ? angles[i] : 0.0f;
    }

    // Requests queued while these start wait for the next tick; the copy keeps
    // its capacity, so a tick allocates nothing.
    static std::vector<PlayRequest> pending;
    pending.assign(s.playQueue.begin(), s.playQueue.end());
    s.playQueue.clear();
    for (const PlayRequest &request : pending)
        if (request.record)
            S_StartSound(request.channel, request.record, request.noSteal, request.owner, request.startSeconds);
    pending.clear();

    bool active = false;
    for (int i = 0; i < s.channelCount; ++i) {
        SoundChannel &c = s.channels[i];
        if (!c.playing)
            continue;
        const uint32_t status = ChannelStatus(c);
        if (c.stream) {
            if (S_StreamFill(i)) {
                active = true;
            } else {
                StopChannel(c);
                CloseChannelStream(c);
            }
        } else if (status & kSoundStatusPlaying) {
            uint32_t cursor = 0;
            SB_GetCurrentPosition(c.buffer, &cursor);
            if (cursor > c.endBytes)
                StopChannel(c);
            active = true;
        } else {
            c.playing = false;
        }
    }
    // The deferred 3D settings have nothing to send on this output.
    if (s.deferredPending && active)
        s.deferredPending = false;
}

int S_StartSound(int channel, const void *record, bool noSteal, int owner, double startSeconds)
{
    SoundState &s = soundState;
    if (!s.listener || !record)
        return -1;
    const uint8_t *bytes = static_cast<const uint8_t *>(record);
    const bool isStream = bytes[0] == 'O';
    s.deferredPending = true;

    if (channel != -1) {
        if (channel < 0 || channel >= s.channelCount)
            return -1;
    } else {
        if (s.channelCount < 2)
            return -1;
        // Channel 0 is kept for callers that name it. The first idle channel
        // wins; when all play, the one with the least to play that may be
        // taken over.
        int fallback = -1;
        for (int i = 1; i < s.channelCount; ++i) {
            const SoundChannel &c = s.channels[i];
            if (!c.noSteal && (fallback < 0 || c.endBytes < s.channels[fallback].endBytes))
                fallback = i;
            if (!(ChannelStatus(c) & kSoundStatusPlaying)) {
                channel = i;
                break;
            }
        }
        if (channel < 0)
            channel = fallback;
        if (channel < 0)
            return -1;
    }

    SoundChannel &c = s.channels[channel];
    SB_Stop(c.buffer);
    c.spatial = false;
    CloseChannelStream(c);
    c.owner = owner;
    if (isStream) {
        c.endBytes = kSoundBlockBytes;
        c.rawRecord = nullptr;
        c.stream = S_StreamOpen(static_cast<const SoundRecord *>(record));
        c.startSeconds = 0;
        // The samples before the start are decoded and dropped at the
        // stream's own rate, before any conversion has seen them.
        if (c.stream && startSeconds > 0) {
            const int64_t frames = static_cast<int64_t>(startSeconds * S_StreamRate(c.stream));
            c.startSeconds = static_cast<double>(S_StreamSkip(c.stream, frames)) / S_StreamRate(c.stream);
        }
        if (c.stream && !S_ConverterOpen(c.stream, &c.converter)) {
            S_StreamClose(c.stream);
            c.stream = nullptr;
        }
    } else {
        c.endBytes = Bytes_ReadU32LE(bytes + kRawRecordSizeOffset);
        c.rawRecord = bytes;
        c.stream = nullptr;
    }
    c.noSteal = noSteal;

    if (isStream) {
        SB_Stop(c.buffer);
        if (!c.stream)
            SilenceRing(c);
        S_StreamFill(channel);  // the first fill, at ring offset 0
        SB_SetCurrentPosition(c.buffer, 0);
        SB_Play(c.buffer, true);
        c.playing = true;
        return channel;
    }
    S_PlayRawData(channel, c.endBytes, bytes + kRawRecordHeaderBytes);
    return channel;
}

bool S_StreamFill(int channel)
{
    if (channel < 0 || channel >= kSoundMaxChannels)
        return false;
    SoundChannel &c = soundState.channels[channel];
    OggStream *stream = c.stream;
    if (!stream)
        return false;

    uint32_t writePos = 0;
    if (ChannelStatus(c) & kSoundStatusPlaying) {
        uint32_t cursor = 0;
        SB_GetCurrentPosition(c.buffer, &cursor);
        uint32_t moved = cursor - c.lastCursor;
        if (c.lastCursor > cursor)
            moved += kSoundRingBytes;  // the cursor wrapped from the ring's end to its start
        c.played += moved;
        c.lastCursor = cursor;
        writePos = c.written;
    } else {
        c.played = 0;
        c.lastCursor = 0;
    }
    const int32_t ahead = c.played <= writePos ? static_cast<int32_t>(writePos - c.played) : 0;

    if (ahead > kRefillAhead) {
        if (stream->pcmFill < static_cast<int32_t>(kSoundBlockBytes))
            stream->pcmFill += S_DecodeForRing(stream, c.converter, stream->pcm + stream->pcmFill, kTopUpBytes,
                                               kStreamPcmBytes - stream->pcmFill);
        return true;
    }
    if (stream->pcmFill < static_cast<int32_t>(kSoundBlockBytes))
        stream->pcmFill +=
            S_DecodeForRing(stream, c.converter, stream->pcm + stream->pcmFill,
                            static_cast<int32_t>(kSoundBlockBytes) - stream->pcmFill, kStreamPcmBytes - stream->pcmFill);
    if (stream->pcmFill <= 0)
        return ahead > kEndMargin;  // over once the cursor is within 10,000 bytes of the end

    uint32_t n = static_cast<uint32_t>(stream->pcmFill);
    stream->pcmFill = 0;
    if (n < kSoundBlockBytes) {
        memset(stream->pcm + n, 0, kSoundBlockBytes - n);
        n = kSoundBlockBytes;
    }
    void *first, *second;
    uint32_t firstBytes, secondBytes;
    if (SB_Lock(c.buffer, writePos % kSoundRingBytes, n, &first, &firstBytes, &second, &secondBytes) != kSoundOk)
        return false;
    memcpy(first, stream->pcm, firstBytes);
    if (second && secondBytes && firstBytes < n)
        memcpy(second, stream->pcm + firstBytes, secondBytes);
    SB_Unlock(c.buffer);
    c.written += n;
    return true;
}

int32_t S_PlayRawData(int channel, uint32_t size, const uint8_t *data)
{
    SoundState &s = soundState;
    if (channel > s.channelCount - 1)
        channel = s.channelCount - 1;
    if (s.channelCount == 0) {
        S_Print("S_PlayRawData call without initializing sound system.\n");
        return kErrUninitialized;
    }
    if (channel < 0)
        channel = 0;
    SoundChannel &c = s.channels[channel];
    const uint64_t lockBytes = uint64_t(size) + kRawTailBytes;
    if (lockBytes > kSoundRingBytes)
        return kSoundErrInvalidParam;
    void *first, *second;
    uint32_t firstBytes, secondBytes;
    int32_t result =
        SB_Lock(c.buffer, 0, static_cast<uint32_t>(lockBytes), &first, &firstBytes, &second, &secondBytes);
    if (result != kSoundOk)
        return result;
    uint8_t *region = static_cast<uint8_t *>(first);
    if (size < firstBytes)
        memset(region + size, 0, firstBytes - size);
    if (size <= firstBytes && data && size > 0)
        memcpy(region, data, size);
    result = SB_Unlock(c.buffer);
    if (result != kSoundOk)
        return result;
    SB_SetCurrentPosition(c.buffer, 0);
    SB_Play(c.buffer, false);
    c.playing = true;
    return kSoundOk;
}

const char *S_ErrorString(int32_t code)
{
    struct Text {
        uint32_t code;
        const char *text;
    };
    static const Text kTexts[] = {
        {0x0878000A, "The buffer was created, but another 3-D algorithm was substituted."},
        {0x80004001, "The function called is not supported at this time."},
        {0x80004002, "The requested COM interface is not available."},
        {0x80004005, "An undetermined error occurred inside the DirectSound subsystem."},
        {0x80040110, "The object does not support aggregation."},
        {0x80070005, "The request failed because access was denied."},
        {0x8007000E, "The DirectSound subsystem could not allocate sufficient memory to complete the caller's request."},
        {0x80070057, "An invalid parameter was passed to the returning function."},
        {0x8878000A, "The request failed because resources, such as a priority level, were already in use by another caller."},
        {0x8878001E, "The buffer control (volume, pan, and so on) requested by the caller is not available. Controls must be specified when the buffer is created, using the dwFlags member of DSBUFFERDESC."},
        {0x88780032, "This function is not valid for the current state of this object."},
        {0x88780046, "A cooperative level of DSSCL_PRIORITY or higher is required."},
        {0x88780064, "The specified wave format is not supported."},
        {0x88780078, "No sound driver is available for use, or the given GUID is not a valid DirectSound device ID."},
        {0x88780082, "The object is already initialized."},
        {0x88780096, "The buffer memory has been lost and must be restored."},
        {0x887800A0, "Another application has a higher priority level, preventing this call from succeeding."},
        {0x887800AA, "The Initialize method has not been called or has not been called successfully before other methods were called."},
        {0x887800B4, "The buffer size is not great enough to enable effects processing."},
        {0x887800C8, "A circular loop of send effects was detected."},
        {0x887800D2, "The GUID specified in an audiopath file does not match a valid mix-in buffer."},
        {0x887800DC, "The effects requested could not be found on the system, or they are in the wrong order or in the wrong location; for example, an effect expected in hardware was found in software."},
        {0x88781161, "The requested object was not found."},
    };
    for (const Text &t : kTexts)
        if (t.code == static_cast<uint32_t>(code))
            return t.text;
    return "I don't know.";
}
