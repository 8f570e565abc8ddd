// Byte readers and file helpers shared by the files of pak/ only.
#pragma once

#include <cstdint>
#include <cstdio>

inline uint16_t Pak_ReadU16LE(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t Pak_ReadU32LE(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint32_t Pak_ReadU32BE(const uint8_t *p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

// Length of an open file in bytes, or -1; the position is kept.
int64_t Pak_FileLength(FILE *file);

// Seeks from the start with a 64-bit position; false on failure.
bool Pak_SeekSet(FILE *file, int64_t position);
