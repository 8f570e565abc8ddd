// Helpers shared by the sound tests.
#pragma once

#include "ogg_fixtures.h"
#include "sound/sound_local.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

// A record over bytes the test keeps alive.
inline SoundRecord RecordOver(const Bytes &bytes)
{
    return SoundRecord{{'O', 'G', 'G', '!'}, const_cast<uint8_t *>(bytes.data()), static_cast<uint32_t>(bytes.size())};
}

// A file name of this test process's own under the temporary folder.
inline std::string TempPath(const std::string &name)
{
    const char *dir = getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/quillon-sound-" + std::to_string(getpid()) + "-" + name;
}

// The whole sound as the ring is fed it: mono 44100 Hz.
inline Bytes RingPcm(const Bytes &ogg)
{
    SoundRecord record = RecordOver(ogg);
    OggStream *stream = S_StreamOpen(&record);
    SoundConverter *converter = nullptr;
    Bytes out;
    if (!stream || !S_ConverterOpen(stream, &converter)) {
        S_StreamClose(stream);
        return out;
    }
    for (;;) {
        const int32_t got = S_DecodeForRing(stream, converter, stream->pcm, kSoundBlockBytes, kStreamPcmBytes);
        if (got <= 0)
            break;
        out.insert(out.end(), stream->pcm, stream->pcm + got);
    }
    S_ConverterClose(converter);
    S_StreamClose(stream);
    return out;
}
