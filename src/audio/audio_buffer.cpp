// The buffer layer: one SDL2 audio device whose callback mixes channel rings.
// Each ring has a play cursor, plays looping or once, and is written only
// between SB_Lock and SB_Unlock, which hold SDL's device lock so that the
// mixer never reads a half-written region.
#include "audio/audio.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <new>

struct SoundBuffer {
    SoundDevice *device;
    uint8_t *ring;
    uint32_t size;       // bytes, even
    uint32_t cursor;     // next byte the mixer reads
    bool playing;
    bool looping;
    bool locked;         // between SB_Lock and SB_Unlock
};

struct SoundDevice {
    bool subsystem;                  // SDL's audio subsystem started for this device
    SDL_AudioDeviceID id;            // 0 until the output opens
    SDL_AudioSpec obtained;          // as the device runs
    bool manualClock;                // tests move the cursors themselves
    SoundBuffer *buffers[kSoundMaxChannels];  // mixed in creation order
    int bufferCount;
};

namespace {

constexpr int kMixChunk = 1024;  // samples summed per pass

// Holds SDL's device lock, which is also held around every callback.
class DeviceLock {
public:
    explicit DeviceLock(const SoundDevice *device) : id_(device ? device->id : 0)
    {
        if (id_)
            SDL_LockAudioDevice(id_);
    }
    ~DeviceLock()
    {
        if (id_)
            SDL_UnlockAudioDevice(id_);
    }
    DeviceLock(const DeviceLock &) = delete;
    DeviceLock &operator=(const DeviceLock &) = delete;

private:
    SDL_AudioDeviceID id_;
};

// Adds up to `count` samples of a playing ring into acc, moving its cursor;
// a one-shot ring stops at its end, a looping one goes on from its start.
void MixBuffer(SoundBuffer *b, int32_t *acc, int count)
{
    uint32_t pos = b->cursor;
    int i = 0;
    while (i < count && b->playing) {
        const int take = static_cast<int>(std::min<uint32_t>((b->size - pos) / 2, count - i));
        const uint8_t *src = b->ring + pos;
        for (int k = 0; k < take; ++k) {
            int16_t sample;
            memcpy(&sample, src + 2 * k, 2);
            acc[i + k] += sample;
        }
        i += take;
        pos += 2 * static_cast<uint32_t>(take);
        if (pos >= b->size) {
            pos = 0;
            if (!b->looping)
                b->playing = false;
        }
    }
    b->cursor = pos;
}

// The mixer proper; the caller holds the device lock.
void MixLocked(SoundDevice *d, uint8_t *out, int bytes)
{
    int32_t acc[kMixChunk];
    const int samples = bytes / 2;
    for (int done = 0; done < samples;) {
        const int n = std::min(kMixChunk, samples - done);
        std::fill(acc, acc + n, 0);
        for (int b = 0; b < d->bufferCount; ++b)
            if (d->buffers[b]->playing)
                MixBuffer(d->buffers[b], acc, n);
        for (int k = 0; k < n; ++k) {
            const int16_t v = static_cast<int16_t>(std::clamp(acc[k], -32768, 32767));
            memcpy(out + 2 * (done + k), &v, 2);
        }
        done += n;
    }
    if (bytes & 1)
        out[bytes - 1] = 0;
}

void SDLCALL Callback(void *userdata, Uint8 *stream, int len)
{
    SoundDevice *d = static_cast<SoundDevice *>(userdata);
    if (d->manualClock)
        memset(stream, 0, static_cast<size_t>(len));
    else
        MixLocked(d, stream, len);
}

}  // namespace

int32_t SB_CreateDevice(SoundDevice **device)
{
    *device = nullptr;
    SoundDevice *d = new (std::nothrow) SoundDevice();
    if (!d)
        return kSoundErrOutOfMemory;
    // Our programs start from their own main (wx's WinMain in the window), not
    // SDL's, so SDL is told that what its main would have prepared is ready.
    SDL_SetMainReady();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        delete d;
        return kSoundErrNoDriver;
    }
    d->subsystem = true;
    *device = d;
    return kSoundOk;
}

int32_t SB_OpenOutput(SoundDevice *d, const WaveFormat &format)
{
    if (!d || d->id)
        return kSoundErrInvalidCall;
    if (format.formatTag != 1 || format.bitsPerSample != 16 || format.channels == 0)
        return kSoundErrBadFormat;
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(format.samplesPerSec);
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(format.channels);
    want.samples = 1024;
    want.callback = Callback;
    want.userdata = d;
    // No changes allowed: SDL converts to whatever the hardware takes, so the
    // callback always mixes in the rings' own format.
    d->id = SDL_OpenAudioDevice(nullptr, 0, &want, &d->obtained, 0);
    return d->id ? kSoundOk : kSoundErrNoDriver;
}

int32_t SB_PlayOutput(SoundDevice *d)
{
    if (!d || !d->id)
        return kSoundErrInvalidCall;
    SDL_PauseAudioDevice(d->id, 0);
    return kSoundOk;
}

int32_t SB_CheckFormat(SoundDevice *d, const WaveFormat &format)
{
    if (!d || !d->id)
        return kSoundErrInvalidCall;
    const bool same = d->obtained.freq == static_cast<int>(format.samplesPerSec) &&
                      d->obtained.channels == format.channels && d->obtained.format == AUDIO_S16SYS;
    return same ? kSoundOk : kSoundErrBadFormat;
}

void SB_ReleaseDevice(SoundDevice *d)
{
    if (!d)
        return;
    if (d->id)
        SDL_CloseAudioDevice(d->id);
    if (d->subsystem)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    delete d;
}

int32_t SB_CreateBuffer(SoundDevice *d, uint32_t bytes, SoundBuffer **buffer)
{
    *buffer = nullptr;
    if (!d || bytes == 0 || (bytes & 1))
        return kSoundErrInvalidParam;
    SoundBuffer *b = new (std::nothrow) SoundBuffer();
    if (!b)
        return kSoundErrOutOfMemory;
    b->ring = new (std::nothrow) uint8_t[bytes]();
    if (!b->ring) {
        delete b;
        return kSoundErrOutOfMemory;
    }
    b->device = d;
    b->size = bytes;
    DeviceLock lock(d);
    if (d->bufferCount == kSoundMaxChannels) {
        delete[] b->ring;
        delete b;
        return kSoundErrOutOfMemory;
    }
    d->buffers[d->bufferCount++] = b;
    *buffer = b;
    return kSoundOk;
}

void SB_ReleaseBuffer(SoundBuffer *b)
{
    if (!b)
        return;
    SoundDevice *d = b->device;
    {
        DeviceLock lock(d);
        if (b->locked) {
            b->locked = false;
            if (d->id)
                SDL_UnlockAudioDevice(d->id);
        }
        SoundBuffer **end = d->buffers + d->bufferCount;
        SoundBuffer **it = std::find(d->buffers, end, b);
        if (it != end) {
            std::copy(it + 1, end, it);
            --d->bufferCount;
        }
    }
    delete[] b->ring;
    delete b;
}

int32_t SB_SetCurrentPosition(SoundBuffer *b, uint32_t position)
{
    if (!b || position >= b->size)
        return kSoundErrInvalidParam;
    DeviceLock lock(b->device);
    b->cursor = position & ~1u;
    return kSoundOk;
}

int32_t SB_Play(SoundBuffer *b, bool looping)
{
    if (!b)
        return kSoundErrInvalidParam;
    DeviceLock lock(b->device);
    b->playing = true;
    b->looping = looping;
    return kSoundOk;
}

int32_t SB_Stop(SoundBuffer *b)
{
    if (!b)
        return kSoundErrInvalidParam;
    DeviceLock lock(b->device);
    b->playing = false;
    return kSoundOk;
}

int32_t SB_GetStatus(SoundBuffer *b, uint32_t *status)
{
    *status = 0;
    if (!b)
        return kSoundErrInvalidParam;
    DeviceLock lock(b->device);
    if (b->playing)
        *status = kSoundStatusPlaying | (b->looping ? kSoundStatusLooping : 0);
    return kSoundOk;
}

int32_t SB_GetCurrentPosition(SoundBuffer *b, uint32_t *playCursor)
{
    *playCursor = 0;
    if (!b)
        return kSoundErrInvalidParam;
    DeviceLock lock(b->device);
    *playCursor = b->cursor;
    return kSoundOk;
}

int32_t SB_Lock(SoundBuffer *b, uint32_t offset, uint32_t bytes, void **first, uint32_t *firstBytes,
                void **second, uint32_t *secondBytes)
{
    *first = *second = nullptr;
    *firstBytes = *secondBytes = 0;
    if (!b || bytes == 0 || bytes > b->size || offset >= b->size)
        return kSoundErrInvalidParam;
    if (b->locked)
        return kSoundErrInvalidCall;
    if (b->device->id)
        SDL_LockAudioDevice(b->device->id);
    b->locked = true;
    *first = b->ring + offset;
    *firstBytes = std::min(bytes, b->size - offset);
    if (*firstBytes < bytes) {
        *second = b->ring;
        *secondBytes = bytes - *firstBytes;
    }
    return kSoundOk;
}

int32_t SB_Unlock(SoundBuffer *b)
{
    if (!b || !b->locked)
        return kSoundErrInvalidCall;
    b->locked = false;
    if (b->device->id)
        SDL_UnlockAudioDevice(b->device->id);
    return kSoundOk;
}

void SB_Mix(SoundDevice *d, uint8_t *out, int bytes)
{
    if (!d || !out || bytes <= 0)
        return;
    DeviceLock lock(d);
    MixLocked(d, out, bytes);
}

void SB_SetManualClock(SoundDevice *d, bool manual)
{
    if (!d)
        return;
    DeviceLock lock(d);
    d->manualClock = manual;
}
