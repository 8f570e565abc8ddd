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
