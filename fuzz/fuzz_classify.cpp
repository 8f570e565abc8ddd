// Classification and the texts built from a resource: the text view's text,
// the dependency listing of effect containers and the info line. The input is
// the resource; every text is built whatever the kind, so the listing is
// reached without the fuzzer first having to spell "EIFF...PTMC".
#include "resource/resource_kind.h"
#include "fuzz_util.h"

#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    const ResourceKind kind = ClassifyResource(data, size);
    FUZZ_CHECK(kind >= 0 && kind < KindCount);
    FUZZ_CHECK(ClassifyResource(bytes) == kind);
    FUZZ_CHECK(!(ResourceKind_IsTextual(kind) && ResourceKind_IsGraphic(kind)));

    const std::string info = FormatResourceInfo(kind, size);
    FUZZ_CHECK(info.rfind("Resource: ", 0) == 0 && info.back() == ')');

    // The text of the textual kinds: up to the first NUL, a CR before every LF.
    const std::string text = BuildResourceText(KindText, bytes);
    const uint8_t *nul = size ? static_cast<const uint8_t *>(memchr(data, 0, size)) : nullptr;
    const size_t shown = nul ? static_cast<size_t>(nul - data) : size;
    size_t lineFeeds = 0;
    for (size_t i = 0; i < shown; ++i)
        lineFeeds += data[i] == '\n';
    FUZZ_CHECK(text.size() == shown + lineFeeds);
    FUZZ_CHECK(text.find('\0') == std::string::npos);
    FUZZ_CHECK(BuildResourceText(KindXml, bytes) == text);

    // The listing always has its heading and, with its NUL, fits 64 KiB.
    const std::string listing = BuildDependencyListing(bytes);
    FUZZ_CHECK(listing.rfind("Dependencies:\r\n", 0) == 0);
    FUZZ_CHECK(listing.size() < 65536);
    FUZZ_CHECK(listing.size() >= 2 && listing.compare(listing.size() - 2, 2, "\r\n") == 0);
    FUZZ_CHECK(BuildResourceText(KindEffectMedia, bytes) == listing);
    return 0;
}
