// Fuzz target: an untrusted file imported as a sound. A WAV that is taken
// must become Ogg Vorbis that decodes; an Ogg file goes in unchanged.
#include "import/import.h"
#include "fuzz_util.h"
#include "sound/sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SoundImportOptions options;
    options.quality = 0.0f;
    const ImportResult result = Import_Sound({data, size}, options);
    if (!result.ok) {
        FUZZ_CHECK(!result.message.empty() && result.bytes.empty());
        return 0;
    }
    if (size >= 4 && memcmp(data, "OggS", 4) == 0) {
        FUZZ_CHECK(result.bytes.size() == size && memcmp(result.bytes.data(), data, size) == 0);
        return 0;
    }
    std::vector<uint8_t> pcm;
    int32_t rate = 0, channels = 0;
    FUZZ_CHECK(S_DecodeAll(result.bytes, pcm, rate, channels));
    FUZZ_CHECK((channels == 1 || channels == 2) && rate > 0);
    return 0;
}
