// The Binary-Text Dump: comma-separated values of one numeric type.
#include "export/export.h"
#include "base/bytes.h"

#include <cctype>
#include <cinttypes>
#include <cstring>

namespace {

struct FormatRow {
    size_t size;
    int perLine;
};

const FormatRow kFormats[DumpFormatCount] = {
    {1, 16}, {1, 16}, {2, 8}, {2, 8}, {4, 8}, {4, 8}, {4, 8}, {8, 8},
};

int32_t ClampFormat(int32_t dataFormat)
{
    return (dataFormat >= 0 && dataFormat < DumpFormatCount) ? dataFormat : DumpUnsignedByte;
}

// The element's bytes as a little-endian number, reversed first for big-endian.
uint64_t LoadElement(const uint8_t *bytes, size_t size, bool bigEndian)
{
    uint64_t v = 0;
    for (size_t i = 0; i < size; ++i) {
        size_t at = bigEndian ? i : size - 1 - i;
        v = (v << 8) | bytes[at];
    }
    return v;
}

}  // namespace

size_t Dump_ElementSize(int32_t dataFormat)
{
    return kFormats[ClampFormat(dataFormat)].size;
}

int Dump_PerLine(int32_t dataFormat)
{
    return kFormats[ClampFormat(dataFormat)].perLine;
}

int64_t Dump_ParseOffsetText(const std::string &text)
{
    // The edit box holds at most 511 characters.
    return Bytes_ParseInteger(std::string_view(text).substr(0, 511));
}

const char *FormatElement(const uint8_t *bytes, int32_t dataFormat, bool bigEndian, bool hexadecimal,
                          char out[512])
{
    const int32_t format = ClampFormat(dataFormat);
    const uint64_t v = LoadElement(bytes, kFormats[format].size, bigEndian);
    switch (format) {
    case DumpByte: {
        // Widened to 32 bits before hex printing: 0x80 prints as ffffff80.
        int32_t s = static_cast<int8_t>(v);
        snprintf(out, 512, hexadecimal ? "%02x" : "%03i", hexadecimal ? static_cast<unsigned>(s) : s);
        break;
    }
    case DumpUnsignedByte:
        snprintf(out, 512, hexadecimal ? "%02x" : "%03i", static_cast<unsigned>(v));
        break;
    case DumpShort: {
        int32_t s = static_cast<int16_t>(v);
        if (hexadecimal)
            snprintf(out, 512, "%04x", static_cast<unsigned>(s));
        else
            snprintf(out, 512, "%i", s);
        break;
    }
    case DumpUnsignedShort:
        snprintf(out, 512, hexadecimal ? "%04x" : "%i", static_cast<unsigned>(v));
        break;
    case DumpInt: {
        int32_t s = static_cast<int32_t>(static_cast<uint32_t>(v));
        if (hexadecimal)
            snprintf(out, 512, "%08x", static_cast<unsigned>(s));
        else
            snprintf(out, 512, "%i", s);
        break;
    }
    case DumpUnsignedInt:
        snprintf(out, 512, hexadecimal ? "%08x" : "%u", static_cast<unsigned>(v));
        break;
    case DumpFloat: {
        uint32_t bits = static_cast<uint32_t>(v);
        float f;
        memcpy(&f, &bits, sizeof f);
        snprintf(out, 512, "%f", static_cast<double>(f));
        break;
    }
    default: {
        double d;
        memcpy(&d, &v, sizeof d);
        snprintf(out, 512, "%f", d);
        break;
    }
    }
    return out;
}

bool Export_WriteDump(FILE *file, std::span<const uint8_t> bytes, const DumpOptions &options)
{
    const int32_t format = ClampFormat(options.dataFormat);
    const size_t size = kFormats[format].size;
    const int perLine = kFormats[format].perLine;
    const bool onePerLine = format == DumpFloat || format == DumpDouble;
    uint64_t offset = options.startOffset > 0 ? static_cast<uint64_t>(options.startOffset) : 0;
    char value[512];
    char piece[600];
    bool ok = true;
    for (uint64_t i = 0; offset <= bytes.size() && size <= bytes.size() - offset; ++i, offset += size) {
        const char *text = FormatElement(bytes.data() + offset, format, options.bigEndian, options.hexadecimal, value);
        int n;
        if (i == 0)
            n = snprintf(piece, sizeof piece, "%08" PRIu64 ": %s", offset, text);
        else if (onePerLine || i % static_cast<uint64_t>(perLine) == 0)
            n = snprintf(piece, sizeof piece, ",\n%08" PRIu64 ": %s", offset, text);
        else
            n = snprintf(piece, sizeof piece, ", %s", text);
        if (n > 0 && fwrite(piece, 1, static_cast<size_t>(n), file) != static_cast<size_t>(n))
            ok = false;
    }
    return ok;
}
