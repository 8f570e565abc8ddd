#include "export/json_text.h"

#include <cstdint>
#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at bytes[at] (shortest form, no
// surrogates, at most U+10FFFF), or 0.
size_t Utf8Length(std::string_view bytes, size_t at)
{
    const auto b = [&](size_t i) { return static_cast<uint8_t>(bytes[at + i]); };
    const uint8_t lead = b(0);
    size_t n;
    uint8_t lo = 0x80, hi = 0xBF;  // the range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        n = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        lo = lead == 0xE0 ? 0xA0 : 0x80;
        hi = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        lo = lead == 0xF0 ? 0x90 : 0x80;
        hi = lead == 0xF4 ? 0x8F : 0xBF;
    } else
        return 0;
    if (bytes.size() - at < n || b(1) < lo || b(1) > hi)
        return 0;
    for (size_t i = 2; i < n; ++i)
        if (b(i) < 0x80 || b(i) > 0xBF)
            return 0;
    return n;
}

}  // namespace

std::string Json_ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (size_t at = 0; at < bytes.size();) {
        const size_t n = Utf8Length(bytes, at);
        if (n > 0) {
            out.append(bytes, at, n);
            at += n;
        } else {
            const uint8_t c = static_cast<uint8_t>(bytes[at++]);
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string Json_Quote(std::string_view bytes)
{
    std::string out = "\"";
    for (char c : Json_ToUtf8(bytes)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<uint8_t>(c) < 0x20) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}
