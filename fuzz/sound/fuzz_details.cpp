// Fuzz target: an untrusted resource described as the status bar describes it
// (the kind, a texture's header, a sound's headers and the granule position of
// its last page, a model's counts) and laid out as hex view lines. The seeds are
// Ogg streams, whose last pages the length is read from.
#include "pak/pak.h"
#include "resource/resource_details.h"
#include "fuzz_util.h"

#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    PakArchive archive;
    archive.path = "A.PAK";
    PakEntry entry{};
    entry.part = -1;
    entry.size = static_cast<uint32_t>(size);
    const ResourceDetails d = Resource_Describe(archive, entry, bytes, false);
    FUZZ_CHECK(d.size == size && d.kind == ClassifyResource(bytes) && d.file == "A.PAK");
    FUZZ_CHECK(!d.hasSound || (d.kind == KindOggVorbis && d.rate > 0 && d.channels > 0));
    FUZZ_CHECK(d.samples >= -1);
    FUZZ_CHECK(!d.hasModel || d.surfaces > 0);
    FUZZ_CHECK(Resource_FormatDetails(d).find(" in A.PAK") != std::string::npos);

    // Every line as long as it says, the last one short but aligned, none past the end.
    char line[kHexLineChars + 1];
    const uint64_t lines = Resource_HexLineCount(size);
    for (uint64_t i = 0; i <= lines; ++i) {
        const size_t n = Resource_HexLine(bytes, i, line);
        FUZZ_CHECK(n == strlen(line) && n <= kHexLineChars && (n > 0) == (i < lines));
    }
    return 0;
}
