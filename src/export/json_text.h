// Archive bytes as JSON text. Names in archives are bytes in no declared
// encoding: valid UTF-8 passes through, and every byte that is not part of a
// valid UTF-8 sequence is read as Latin-1 (U+0080..U+00FF), so any name gives
// valid UTF-8 that shows what the bytes most likely meant.
#pragma once

#include <string>
#include <string_view>

// The bytes as valid UTF-8, unquoted and unescaped.
std::string Json_ToUtf8(std::string_view bytes);

// The bytes as a JSON string literal, quotes included: Json_ToUtf8, with '"',
// '\\' and the control characters below U+0020 escaped.
std::string Json_Quote(std::string_view bytes);
