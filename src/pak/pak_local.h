// File helpers shared by the files of pak/ only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "base/bytes.h"
#include "pak/pak.h"


// Length of an open file in bytes, or -1; the position is kept.
int64_t Pak_FileLength(FILE *file);

// Seeks from the start with a 64-bit position; false on failure.
bool Pak_SeekSet(FILE *file, int64_t position);

// Opens an archive file for reading, only when it is a regular file: a folder,
// FIFO or device is refused without blocking. The descriptor (or -1), and
// the file's length in `length`.
int Pak_OpenRegularFile(const std::string &path, int64_t *length);

// The same as a stdio stream ("rb"), or null.
FILE *Pak_OpenRegularStream(const std::string &path, int64_t *length);

// Expands the LZO1X stream in[0, inLength) into out, which has `capacity`
// bytes of room: the bytes produced, or -1 when the stream is refused (it
// reads past its end, writes past the room, refers before the output's
// start, or does not end exactly at its end marker), as lzo1x_decompress_safe
// accepts and refuses streams. Bytes of the room past those produced may be
// written over.
int64_t Pak_ExpandLzo1x(const uint8_t *in, size_t inLength, uint8_t *out, size_t capacity);
