// Small pieces of test data that several folders' tests build resources from.
#pragma once

#include "fixtures.h"
#include "export/export.h"
#include "model/model.h"

#include <cstdio>
#include <string>

// The first line that makes a resource a material file.
inline const std::string kMaterialHead = "// THIS FILE WAS GENERATED FROM RENDERTOOLS\n";

inline Bytes MaterialBytes(const std::string &body)
{
    return Fixture_FromString(kMaterialHead + body);
}

// Block colours for Fixture_Texture: every block the same.
template <uint8_t R, uint8_t G, uint8_t B>
Rgb Solid(uint32_t, uint32_t, uint32_t, uint32_t)
{
    return {R, G, B};
}

// Block colours for Fixture_Texture: each of up to 16 x 8 blocks its own.
inline Rgb BlockShade(uint32_t bx, uint32_t by, uint32_t, uint32_t)
{
    return {static_cast<uint8_t>(20 + bx * 14), static_cast<uint8_t>(30 + by * 25), static_cast<uint8_t>(200 - bx * 9)};
}

// What Model_WriteObj writes for `model`; `ok` receives its result.
inline std::string ObjText(const Model *model, bool *ok = nullptr)
{
    FILE *file = tmpfile();
    const bool written = Model_WriteObj(file, model);
    if (ok)
        *ok = written;
    std::string text(static_cast<size_t>(ftell(file)), '\0');
    rewind(file);
    text.resize(fread(text.data(), 1, text.size(), file));
    fclose(file);
    return text;
}
