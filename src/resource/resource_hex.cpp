// The hex view's lines, made on demand one at a time: a view of a 100 MB
// resource formats only the lines on screen.
#include "resource/resource_details.h"

size_t Resource_HexLine(std::span<const uint8_t> bytes, uint64_t line, char (&out)[kHexLineChars + 1])
{
    static const char kDigits[] = "0123456789abcdef";
    out[0] = '\0';
    if (line >= Resource_HexLineCount(bytes.size()))
        return 0;
    const uint64_t start = line * 16;
    const size_t count = static_cast<size_t>(bytes.size() - start < 16 ? bytes.size() - start : 16);
    size_t n = 0;
    // Offsets above 4 GiB never occur (resources stay below 2 GiB), but a
    // wider one would still be written in full: the shift stops at 8 digits.
    for (int shift = 28; shift >= 0; shift -= 4)
        out[n++] = kDigits[(start >> shift) & 0xF];
    out[n++] = ' ';
    for (size_t i = 0; i < 16; ++i) {
        out[n++] = ' ';
        if (i == 8)
            out[n++] = ' ';
        if (i < count) {
            out[n++] = kDigits[bytes[start + i] >> 4];
            out[n++] = kDigits[bytes[start + i] & 0xF];
        } else {
            out[n++] = ' ';
            out[n++] = ' ';
        }
    }
    out[n++] = ' ';
    out[n++] = ' ';
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[start + i];
        out[n++] = b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.';
    }
    out[n] = '\0';
    return n;
}
