// Classification of resources and the texts built from them.
#include "resource/resource_kind.h"
#include "base/ascii.h"
#include "base/bytes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const char kMaterialMagic[] = "// THIS FILE WAS GENERATED FROM RENDERTOOLS";  // 43 characters
const char kXmlMagic[] = "<?xml version=";                                  // 14 characters

// The listing, with its terminating NUL, fits a 64 KiB buffer.
constexpr size_t kListingCapacity = 65536;


bool StartsWith(const uint8_t *bytes, size_t length, size_t at, const char *magic, size_t n)
{
    return at <= length && n <= length - at && memcmp(bytes + at, magic, n) == 0;
}

}  // namespace

const ResourceKindInfo &ResourceKind_Info(ResourceKind kind)
{
    return kResourceKinds[(kind >= 0 && kind < KindCount) ? kind : KindUnknown];
}

const char *ResourceKind_CliName(ResourceKind kind)
{
    return ResourceKind_Info(kind).cliName;
}

bool ResourceKind_FromCliName(const std::string &word, ResourceKind &kind)
{
    for (int i = 0; i < KindCount; ++i) {
        if (Ascii_Equal(word, kResourceKinds[i].cliName)) {
            kind = static_cast<ResourceKind>(i);
            return true;
        }
    }
    return false;
}

ResourceKind ClassifyResource(const uint8_t *bytes, size_t length)
{
    if (!bytes)
        return KindUnknown;
    if (length > 3 && memcmp(bytes, "SYT", 3) == 0)
        return KindTexture;
    if (length > 43 && memcmp(bytes, kMaterialMagic, 43) == 0)
        return KindMaterial;
    if (length > 14 && memcmp(bytes, kXmlMagic, 14) == 0)
        return KindXml;
    // A byte-order mark or stray bytes may precede the declaration.
    for (size_t at = 1; at <= 3; ++at)
        if (StartsWith(bytes, length, at, kXmlMagic, 14))
            return KindXml;
    if (StartsWith(bytes, length, 0, "<!--", 4))
        return KindXml;
    if (length > 20 && memcmp(bytes, "EIFF", 4) == 0) {
        if (memcmp(bytes + 16, "MODL", 4) == 0)
            return KindModel;
        if (memcmp(bytes + 16, "PTMC", 4) == 0)
            return KindEffectMedia;
        return KindUnknownMedia;
    }
    if (length > 4 && memcmp(bytes, "OggS", 4) == 0)
        return KindOggVorbis;
    if (length > 4 && bytes[0] == 0x57 && bytes[1] == 0xE0 && bytes[2] == 0xE0 && bytes[3] == 0x57)
        return KindCharacterData;
    if (length < 3)
        return KindUnknown;
    // Only the first half is looked at; NUL bytes count as text. A piece at a
    // time with its bytes OR-ed together, which the compiler does many at once.
    const size_t half = length / 2;
    for (size_t at = 0; at < half; at += 4096) {
        const size_t end = std::min(half, at + 4096);
        uint8_t any = 0;
        for (size_t i = at; i < end; ++i)
            any |= bytes[i];
        if (any & 0x80)
            return KindUnknown;
    }
    return KindText;
}

bool ClassifyResourcePrefix(const uint8_t *bytes, size_t n, size_t length, ResourceKind &kind)
{
    if (n >= length) {
        kind = ClassifyResource(bytes, length);
        return true;
    }
    if (n < 44)
        return false;
    // A signature found, or a byte past 0x7F in the first half of the prefix
    // (which lies in the first half of the whole), is the whole's answer too.
    kind = ClassifyResource(bytes, n);
    return kind != KindText;
}

bool ResourceKind_IsTextual(ResourceKind kind)
{
    return ResourceKind_Info(kind).textual;
}

bool ResourceKind_IsGraphic(ResourceKind kind)
{
    return ResourceKind_Info(kind).graphic;
}

std::string BuildDependencyListing(std::span<const uint8_t> bytes)
{
    std::string text = "Dependencies:\r\n";
    const size_t length = bytes.size();
    if (length < 32)
        return text;
    const uint64_t section = Bytes_ReadU32LE(bytes.data() + 28);
    if (section + 52 > length)
        return text;
    const uint32_t count = Bytes_ReadU32LE(bytes.data() + section + 48);
    uint64_t at = section + 52;
    for (uint32_t r = 0; r < count; ++r) {
        if (at + 6 > length)
            break;
        const int32_t nameLength = static_cast<int32_t>(Bytes_ReadU32LE(bytes.data() + at + 2));
        // A negative length would step backwards and never end; it ends the listing.
        if (nameLength < 0 || at + 6 + static_cast<uint64_t>(nameLength) > length)
            break;
        if (nameLength > 0) {
            const char *name = reinterpret_cast<const char *>(bytes.data() + at + 6);
            size_t n = strnlen(name, static_cast<size_t>(nameLength));
            if (text.size() + n + 2 + 1 > kListingCapacity)
                break;
            text.append(name, n);
            text += "\r\n";
        }
        at += 6 + static_cast<uint64_t>(nameLength);
    }
    return text;
}

void ResourceText_ForEachPiece(ResourceKind kind, std::span<const uint8_t> bytes,
                               const std::function<void(const char *, size_t)> &piece)
{
    if (kind == KindEffectMedia) {
        const std::string listing = BuildDependencyListing(bytes);
        piece(listing.data(), listing.size());
        return;
    }
    if (bytes.empty())
        return;
    // The view shows the text up to its first NUL, so nothing after it is given.
    const char *at = reinterpret_cast<const char *>(bytes.data());
    const char *nul = static_cast<const char *>(memchr(at, 0, bytes.size()));
    const char *end = nul ? nul : at + bytes.size();
    while (at < end) {
        const char *lf = static_cast<const char *>(memchr(at, '\n', static_cast<size_t>(end - at)));
        if (!lf) {
            piece(at, static_cast<size_t>(end - at));
            return;
        }
        if (lf > at)
            piece(at, static_cast<size_t>(lf - at));
        piece("\r\n", 2);
        at = lf + 1;
    }
}

std::string BuildResourceText(ResourceKind kind, std::span<const uint8_t> bytes)
{
    std::string text;
    ResourceText_ForEachPiece(kind, bytes, [&](const char *piece, size_t n) { text.append(piece, n); });
    return text;
}

std::string FormatResourceInfo(ResourceKind kind, size_t length)
{
    const float megabytes = static_cast<float>(static_cast<double>(length) * (1.0 / 1024) * (1.0 / 1024));
    char line[512];
    snprintf(line, sizeof line, "Resource: %s (%.02fMB)", ResourceKind_Info(kind).displayName,
             static_cast<double>(megabytes));
    return line;
}
