// PNG files of decoded textures: 8-bit RGBA, written for speed over size
// (batch exports of whole archives).
#pragma once

#include "texture/texture_decode.h"

#include <cstdint>
#include <cstdio>
#include <vector>

// Writes `image` as a PNG to the open file. False when the image is empty or
// its pixel count does not match its sides, or a write failed (the file then
// holds part of a PNG).
bool Png_Write(FILE *file, const TextureImage &image);

// The same PNG into `out` (replacing what it held); false as above.
bool Png_Encode(const TextureImage &image, std::vector<uint8_t> &out);
