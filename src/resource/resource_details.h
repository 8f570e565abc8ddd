// What the viewer tells about one entry beyond its kind: the facts of its
// header (texture size and format, sound rate, channels and length, model
// counts) and where it is stored; and the lines of the hex view of kinds that
// have no preview. Plain C++ over the format readers: the viewer's status bar
// and quillon-cli share them.
#pragma once

#include "resource/resource_kind.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

struct PakArchive;
struct PakEntry;

struct ResourceDetails {
    ResourceKind kind = KindUnknown;
    uint64_t size = 0;        // bytes of the resource, expanded when stored compressed
    uint64_t storedSize = 0;  // bytes its archive file holds for it
    std::string file;         // name of that file, without its folder
    bool compressed = false;  // stored as an LZO block

    // Textures with a whole header.
    bool hasTexture = false;
    uint32_t width = 0, height = 0;  // pixels of the largest level
    uint32_t mipCount = 0;           // as the header says
    const char *textureFormat = "";  // "DXT1" .. "DXT5"

    // Sounds whose Vorbis headers read.
    bool hasSound = false;
    int32_t rate = 0;      // samples per second
    int32_t channels = 0;
    int64_t samples = -1;  // per channel, from the last page's granule position; -1 when none was found

    // Models that parse.
    bool hasModel = false;
    uint64_t surfaces = 0, vertices = 0, triangles = 0;  // triangles as drawn, strips included
};

// The details of `entry` of `archive` whose resource (already loaded, expanded
// when it was stored compressed) is `resource`. Reads only the resource and
// the entry's record; a resource that is damaged simply has fewer details.
// A model is parsed (and released) to count it; a sound's headers are read
// and its length taken from its last page, without decoding it.
ResourceDetails Resource_Describe(const PakArchive &archive, const PakEntry &entry,
                                  std::span<const uint8_t> resource, bool compressed);

// One line of text for a status bar (without " in FILE" when `file` is empty),
// e.g. "12,345 bytes in GLOBAL_01.PAK,
// compressed (4,096 stored); 256 x 256 DXT1, 9 mip levels". UTF-8 text: the
// file name is the file system's.
std::string Resource_FormatDetails(const ResourceDetails &details);

// Hex view: line `line` (16 bytes from byte 16 x line) as
// "0000abc0  53 59 54 01 00 00 00 00  80 00 00 00 ff 00 00 00  SYT............."
// (offset, bytes in hex, bytes as text with '.' for what is not printable
// ASCII), short lines padded so the text column stays aligned. Writes at most
// kHexLineChars characters and a NUL into `out`; returns the length, 0 for a
// line past the end.
constexpr size_t kHexLineChars = 76;
size_t Resource_HexLine(std::span<const uint8_t> bytes, uint64_t line, char (&out)[kHexLineChars + 1]);

// Lines of the hex view of `size` bytes.
inline uint64_t Resource_HexLineCount(uint64_t size)
{
    return (size + 15) / 16;
}
