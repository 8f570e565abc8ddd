// The Binary-Text Dump writer. The first input bytes choose the options as
// the dialog would hold them: byte 0 the format (two values outside the table
// included), byte 1 "&Big Endian" (bit 0) and "&Hexadecimal" (bit 1), byte 2
// the length of the offset box's text that follows; the rest is the resource.
// The output is captured and its shape checked against the element count.
#include "export/export.h"
#include "fuzz_util.h"

#include <algorithm>
#include <string>

namespace {

constexpr size_t kOptionBytes = 3;
constexpr size_t kMaxOffsetText = 40;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The offset box's text may hold anything the user types or pastes.
    const std::string whole(reinterpret_cast<const char *>(data), size);
    const int64_t anyOffset = Dump_ParseOffsetText(whole);
    const size_t firstNonBlank = whole.find_first_not_of(" \t\n\v\f\r");
    if (firstNonBlank != std::string::npos && firstNonBlank < 510 && whole[firstNonBlank] == '-')
        FUZZ_CHECK(anyOffset <= 0);
    else
        FUZZ_CHECK(anyOffset >= 0);

    if (size < kOptionBytes)
        return 0;
    DumpOptions options;
    options.dataFormat = static_cast<int32_t>(data[0] % (DumpFormatCount + 2)) - 1;
    options.bigEndian = (data[1] & 1) != 0;
    options.hexadecimal = (data[1] & 2) != 0;
    const size_t textLength = std::min<size_t>(data[2] % (kMaxOffsetText + 1), size - kOptionBytes);
    options.startOffset =
        Dump_ParseOffsetText(std::string(reinterpret_cast<const char *>(data) + kOptionBytes, textLength));
    const std::span<const uint8_t> resource(data + kOptionBytes + textLength, size - kOptionBytes - textLength);

    char *text = nullptr;
    size_t textSize = 0;
    FILE *file = open_memstream(&text, &textSize);
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(Export_WriteDump(file, resource, options));
    FUZZ_CHECK(fclose(file) == 0);
    const std::string out(text, textSize);
    free(text);

    // One value per whole element from the start offset; a negative offset starts at 0.
    const bool valid = options.dataFormat >= 0 && options.dataFormat < DumpFormatCount;
    const int32_t format = valid ? options.dataFormat : DumpUnsignedByte;
    const size_t elementSize = Dump_ElementSize(options.dataFormat);
    FUZZ_CHECK(elementSize == Dump_ElementSize(format));
    const uint64_t start = options.startOffset > 0 ? static_cast<uint64_t>(options.startOffset) : 0;
    const uint64_t values = start <= resource.size() ? (resource.size() - start) / elementSize : 0;
    if (values == 0) {
        FUZZ_CHECK(out.empty());
        return 0;
    }
    const uint64_t commas = static_cast<uint64_t>(std::count(out.begin(), out.end(), ','));
    const uint64_t breaks = static_cast<uint64_t>(std::count(out.begin(), out.end(), '\n'));
    const bool onePerLine = format == DumpFloat || format == DumpDouble;
    FUZZ_CHECK(commas == values - 1);
    FUZZ_CHECK(breaks == (onePerLine ? values - 1 : (values - 1) / static_cast<uint64_t>(Dump_PerLine(format))));
    char lead[32];
    snprintf(lead, sizeof lead, "%08llu: ", static_cast<unsigned long long>(start));
    FUZZ_CHECK(out.rfind(lead, 0) == 0);
    FUZZ_CHECK(out.back() != ',' && out.back() != '\n' && out.back() != ' ');
    return 0;
}
