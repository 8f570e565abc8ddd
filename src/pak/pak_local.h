// File helpers shared by the files of pak/ only.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/bytes.h"


// Length of an open file in bytes, or -1; the position is kept.
int64_t Pak_FileLength(FILE *file);

// Seeks from the start with a 64-bit position; false on failure.
bool Pak_SeekSet(FILE *file, int64_t position);
