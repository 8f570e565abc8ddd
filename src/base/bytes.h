// Reading archive bytes: little-endian values taken byte by byte (never a
// cast of a pointer onto file bytes), and the one parser of decimal integer
// text that saturates instead of overflowing.
#pragma once

#include <cstdint>
#include <string_view>

inline uint16_t Bytes_ReadU16LE(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t Bytes_ReadU32LE(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint32_t Bytes_ReadU32BE(const uint8_t *p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

// Leading blanks, an optional sign, then digits up to the first non-digit; no
// digits is 0. The magnitude saturates at INT64_MAX.
inline int64_t Bytes_ParseInteger(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value > (INT64_MAX - digit) / 10) {
            value = INT64_MAX;
            break;
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}
