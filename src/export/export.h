// Writers of exported files: raw bytes, the interpreted forms (.dds and the
// byte-for-byte kinds) and the Binary-Text Dump. Plain C++ over stdio.
#pragma once

#include "resource/resource_kind.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

struct Model;
struct ModelSurface;

enum class ExportResult {
    Ok,
    CannotOpen,          // "Could not open file for writing."
    WriteFailed,         // a write or the close failed: the file is incomplete (detail: an encoder's words, or none)
    NotOffered,          // the kind has no interpreted form
    TooShort,            // a texture shorter than its 128-byte header
    PngTooShort,         // the same, asked for its PNG form
    NoModel,             // a model that could not be parsed
    NotTexture,          // the PNG form of another kind
    NotModel,            // a glTF or OBJ form of another kind
    NotSound,            // the WAV form of another kind
    TextureUndecodable,  // the PNG form of a texture that does not decode (detail: why)
    SoundUndecodable,    // the WAV form of a sound that does not decode
    SoundTooLong,        // the WAV form of a sound of more than 1 GiB of samples
    NoStandardOutput,    // a form written as several files, asked for standard output
    GltfFailed,          // the glTF writer refused the model or a file (detail: which and why)
    CompanionFailed,     // a file beside the output (the material library, a texture) failed (detail)
};

// What an export did: the result and, for the results that name one, the
// detail (the decoder's reason, the file and why it failed).
struct ExportStatus {
    ExportResult result = ExportResult::Ok;
    std::string detail;
    int32_t surfacesDropped = 0;  // of the model written (Model::surfacesDropped); a warning, not a failure
    int64_t nonFinite = 0;        // numbers of the OBJ written as 0; a warning too

    ExportStatus() = default;
    ExportStatus(ExportResult r, std::string d = {}) : result(r), detail(std::move(d)) {}
    bool Ok() const { return result == ExportResult::Ok; }
};

// Message box text for a failed export (empty for Ok).
std::string Export_Message(ExportResult result, const std::string &detail = {});
inline std::string Export_Message(const ExportStatus &status)
{
    return Export_Message(status.result, status.detail);
}

// What an OBJ export says after writing a model that the parse left
// `surfaces` surfaces out of (Model::surfacesDropped; only a corrupt model has any).
std::string Export_SurfacesLeftOutMessage(int32_t surfaces);

// What an OBJ export says after writing `numbers` numbers that were not
// finite as 0.
std::string Export_NonFiniteMessage(int64_t numbers);

// Writes all bytes; false when fewer were stored.
bool Export_WriteRaw(FILE *file, std::span<const uint8_t> bytes);

// The .dds form of a texture resource: a 128-byte DDS header made from the
// texture header, then the resource's bytes from offset 128 on. Writes nothing
// and returns TooShort for a resource shorter than the header.
ExportResult Export_WriteDds(FILE *file, std::span<const uint8_t> resource);

// The 128-byte DDS header for a texture resource; false when it is too short.
bool Export_BuildDdsHeader(std::span<const uint8_t> resource, uint8_t out[128]);

// The interpreted form of every kind but models: .dds for textures, the bytes
// unchanged for material, XML, text and Ogg Vorbis.
ExportResult Export_WriteInterpreted(FILE *file, ResourceKind kind, std::span<const uint8_t> resource);

// Save-dialog filter of the interpreted export, "%s (*.%s)|*.%s|All Files (*.*)|*.*".
std::string Export_InterpretedFilter(ResourceKind kind);

// Runs `write` on a new file beside `path` (opened with `mode`) and renames it
// over `path` once it was written and closed; reports a failed open, write or
// close. On failure `path` keeps what it held and no other file is left. An
// existing file the user may not write is refused (CannotOpen), a replaced one
// keeps its permissions, and one whose folder takes no new file is written in
// place (a failure then leaves what was written).
ExportResult Export_ToPath(const std::string &path, const char *mode,
                           const std::function<ExportResult(FILE *)> &write);

// ---- models ----

// Writes the model as WaveFront OBJ text (LF line ends) naming dkexport.mtl;
// a null model writes nothing. Material names are written as
// Mtl_LineSafeName gives them, numbers that are not finite as 0 (counted in
// `*nonFinite`, may be null). False when a write failed (the text is then
// incomplete).
bool Model_WriteObj(FILE *file, const Model *model, int64_t *nonFinite = nullptr);

// ---- Binary-Text Dump ----

enum DumpFormat : int32_t {
    DumpByte = 0,
    DumpUnsignedByte = 1,
    DumpShort = 2,
    DumpUnsignedShort = 3,
    DumpInt = 4,
    DumpUnsignedInt = 5,
    DumpFloat = 6,
    DumpDouble = 7,
    DumpFormatCount = 8
};

struct DumpOptions {
    int32_t dataFormat = DumpUnsignedByte;
    bool bigEndian = false;
    bool hexadecimal = true;
    int64_t startOffset = 0;
};

// Element size in bytes of a format (1, 2, 4 or 8).
size_t Dump_ElementSize(int32_t dataFormat);

// Values per line for the integer formats: 16 for bytes, 8 otherwise.
int Dump_PerLine(int32_t dataFormat);

// The offset box's text as a number: leading blanks, an optional sign, digits
// up to the first non-digit; no digits is 0. Saturates instead of overflowing.
int64_t Dump_ParseOffsetText(const std::string &text);

// The text of one element at `bytes` (size of the format) into `out`.
const char *FormatElement(const uint8_t *bytes, int32_t dataFormat, bool bigEndian, bool hexadecimal,
                          char out[512]);

// Writes the dump of `bytes`. A negative start offset starts at the first byte.
// False when a write failed.
bool Export_WriteDump(FILE *file, std::span<const uint8_t> bytes, const DumpOptions &options);
