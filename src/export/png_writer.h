// PNG files of decoded textures: 8-bit RGBA, written for speed over size
// (batch exports of whole archives).
#pragma once

#include "texture/texture_decode.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Writes `image` as a PNG to the open file. False when the image is empty or
// its pixel count does not match its sides, or the encoder failed (out of
// memory, a write failed: the file then holds part of a PNG); the encoder's
// own words are then in `*error` (may be null; empty when it said nothing).
bool Png_Write(FILE *file, const TextureImage &image, std::string *error = nullptr);

// The same PNG into `out` (replacing what it held); false as above.
bool Png_Encode(const TextureImage &image, std::vector<uint8_t> &out, std::string *error = nullptr);

// The sentence that adds the encoder's words to a failure's message; "" when it said nothing.
std::string Png_FailureDetail(const std::string &error);
