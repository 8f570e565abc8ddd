// The text of a material file: keys and their value words, read with the
// token scanner. Keys and value words are matched with case ignored.
#include "base/bytes.h"
#include "base/ascii.h"
#include "material/material.h"
#include "material/scanner.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

bool Is(const char *a, const char *b)
{
    return Ascii_Equal(a, b);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

const char *SkipSpace(const char *p)
{
    while (*p && isspace(static_cast<unsigned char>(*p)))
        ++p;
    return p;
}

// An integer value, held to 2^40 either way so that later arithmetic cannot overflow.
int64_t ParseInteger(const char *text)
{
    const int64_t value = Bytes_ParseInteger(text);
    return std::clamp<int64_t>(value, -(INT64_C(1) << 40), INT64_C(1) << 40);
}

// A decimal floating-point text: optional sign, digits, optional fraction and
// exponent, read up to the first character that does not fit; no number gives 0.
// Independent of the locale's decimal point.
float ParseFloat(const char *text)
{
    const char *p = SkipSpace(text);
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    const char *start = p;
    bool digits = false;
    while (IsDigit(*p))
        ++p, digits = true;
    if (*p == '.') {
        ++p;
        while (IsDigit(*p))
            ++p, digits = true;
    }
    if (!digits)
        return 0.0f;
    if (*p == 'e' || *p == 'E') {
        const char *e = p + 1;
        if (*e == '+' || *e == '-')
            ++e;
        if (IsDigit(*e)) {
            while (IsDigit(*e))
                ++e;
            p = e;
        }
    }
    double value = 0.0;
    const std::from_chars_result result = std::from_chars(start, p, value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large is infinite, too small is zero, as a C library read gives them.
        const char *mantissaEnd = start;
        while (mantissaEnd < p && *mantissaEnd != 'e' && *mantissaEnd != 'E')
            ++mantissaEnd;
        const char *exponent = mantissaEnd < p ? mantissaEnd + 1 : p;
        value = (exponent < p && *exponent == '-') ? 0.0 : HUGE_VAL;
    }
    return static_cast<float>(negative ? -value : value);
}

uint32_t WrapMode(const char *word)
{
    if (Is(word, "WRAP"))
        return kGlRepeat;
    if (Is(word, "BORDER"))
        return kGlClampToBorder;
    return kGlClamp;
}

// The last two characters of a name, exactly: "wall_D" is no diffuse map.
bool HasSuffix(const std::string &name, const char *suffix)
{
    return name.size() >= 2 && name.compare(name.size() - 2, 2, suffix) == 0;
}

// Which of the three maps a material's texture lists have settled. They hold
// for the whole text: a later "numTextures" list does not undo an earlier one.
struct MapsFound {
    bool diffuse = false, normal = false, specular = false;
};

// The "Texture" entries after "numTextures n". With one entry it is the
// diffuse map; with more, the first is a provisional diffuse map until a
// "_d" one replaces it (unless the class is "LerpMaskSkin"), and the first
// "_n" and "_s" ones are the normal and specular maps.
void ReadTextureList(TextScanner *scanner, int64_t n, const std::string &className, MapsFound &found,
                     MaterialText &out)
{
    bool &diffuseFound = found.diffuse, &normalFound = found.normal, &specularFound = found.specular;
    ScanToken token;
    for (int64_t i = 0; i < n; ++i) {
        Scan_NextToken(scanner, &token);
        if (!Is(token.text, "Texture"))
            return;
        Scan_NextToken(scanner, &token);  // not interpreted
        uint32_t wrap[2];
        Scan_NextToken(scanner, &token);
        wrap[0] = WrapMode(token.text);
        Scan_NextToken(scanner, &token);
        wrap[1] = WrapMode(token.text);
        Scan_NextToken(scanner, &token);
        const std::string name = token.text;

        if (n == 1) {
            out.diffuseName = name;
            out.diffuseWrap[0] = wrap[0];
            out.diffuseWrap[1] = wrap[1];
            continue;
        }
        if (name.size() < 2)
            continue;
        if (!diffuseFound && (HasSuffix(name, "_d") || out.diffuseName.empty())) {
            out.diffuseName = name;
            out.diffuseWrap[0] = wrap[0];
            out.diffuseWrap[1] = wrap[1];
            diffuseFound = HasSuffix(name, "_d") || Is(className.c_str(), "LerpMaskSkin");
        } else if (!normalFound && HasSuffix(name, "_n")) {
            out.normalName = name;
            normalFound = true;
            out.sharedWrap[0] = wrap[0];
            out.sharedWrap[1] = wrap[1];
        } else if (!specularFound && HasSuffix(name, "_s")) {
            out.specularName = name;
            specularFound = true;
            out.sharedWrap[0] = wrap[0];
            out.sharedWrap[1] = wrap[1];
        }
    }
}

}  // namespace

MaterialText Mat_ParseText(const char *text, size_t length, const char *materialName)
{
    MaterialText out;
    Material &m = out.material;
    std::string className;
    MapsFound found;
    TextScanner *scanner = Scan_FromText(text, length);
    if (!scanner)
        return out;
    ScanToken key, value;
    while (Scan_NextToken(scanner, &key)) {
        const char *k = key.text;
        if (Is(k, "numTextures")) {
            Scan_NextToken(scanner, &value);
            const int64_t n = ParseInteger(value.text);
            if (n > 0)
                ReadTextureList(scanner, n, className, found, out);
        } else if (Is(k, "Class")) {
            Scan_NextToken(scanner, &value);
            className = value.text;
        } else if (Is(k, "AlphaTestMode")) {
            Scan_NextToken(scanner, &value);
            if (Is(value.text, "NONE"))
                m.alphaRef = 0.0f;
        } else if (Is(k, "FinalBlend")) {
            Scan_NextToken(scanner, &value);
            if (Is(value.text, "ALPHA")) {
                m.blendSrc = kGlSrcAlpha;
                m.blendDst = kGlOneMinusSrcAlpha;
            } else if (Is(value.text, "ADD")) {
                m.blendSrc = kGlOne;
                m.blendDst = kGlOne;
            } else if (Is(value.text, "MULTIPLY")) {
                m.blendSrc = kGlDstColor;
                m.blendDst = kGlZero;
            }
        } else if (Is(k, "ZTest")) {
            Scan_NextToken(scanner, &value);
            if (Is(value.text, "FALSE"))
                m.noDepthTest = 1;
        } else if (Is(k, "ZWrite")) {
            Scan_NextToken(scanner, &value);
            if (Is(value.text, "FALSE"))
                m.noDepthWrite = 1;
        } else if (Is(k, "BackfaceCull")) {
            Scan_NextToken(scanner, &value);
            if (Is(value.text, "FALSE"))
                m.noCull = 1;
        } else if (Is(k, "UVelocity")) {
            Scan_NextToken(scanner, &value);
            m.uVelocity = ParseFloat(value.text);
        } else if (Is(k, "VVelocity")) {
            Scan_NextToken(scanner, &value);
            m.vVelocity = ParseFloat(value.text);
            // A fixed speed for this one material, whatever its text says.
            if (materialName && Is(materialName, "blooddripfull.mat"))
                m.vVelocity = -0.04f;
        }
    }
    Scan_Free(scanner);
    return out;
}

std::string Mat_EntryName(const char *materialName)
{
    std::string name = materialName ? materialName : "";
    if (name.size() > 4 && Ascii_Equal(std::string_view(name).substr(name.size() - 4), ".mat"))
        name.resize(name.size() - 4);
    return name;
}

std::array<MaterialMapLookup, 3> Mat_MapLookups(const MaterialText &parsed)
{
    return {{{parsed.diffuseName, "__missingtexture", {parsed.diffuseWrap[0], parsed.diffuseWrap[1]}},
             {parsed.normalName, nullptr, {parsed.sharedWrap[0], parsed.sharedWrap[1]}},
             {parsed.specularName, nullptr, {parsed.sharedWrap[0], parsed.sharedWrap[1]}}}};
}
