// Resource kinds: classification of a resource by its leading bytes, the
// kind table, the text the text view shows and the info line.
// Plain C++: shared by the viewer, quillon-cli, tests and fuzzers.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

enum ResourceKind : int32_t {
    KindUnknown = 0,
    KindTexture = 1,
    KindMaterial = 2,
    KindXml = 3,
    KindModel = 4,
    KindEffectMedia = 5,
    KindUnknownMedia = 6,
    KindText = 7,
    KindOggVorbis = 8,
    KindCharacterData = 9,
    KindCount = 10
};

// One row per kind: every fact about a kind that is not read from its bytes.
struct ResourceKindInfo {
    const char *displayName;     // text of the info line
    bool hasInterpretedExport;   // Export > "&Interpreted (F3)" offered
    const char *exportExtension; // of that export, "" when none
    bool previewEnabled;         // the View toggle; every row starts true
    const char *cliName;         // the word quillon-cli names it by ("texture", "unknown-media", ...)
    bool textual;                // shown as text: material, XML, text, effect containers
    bool graphic;                // drawn in the GL view: textures and models
    bool showsHex;               // no preview of its own: its bytes in the hex view
    const char *findLabel;       // its line in the find bar's kind choice
    int findPlace;               // where that line stands, 1 being the first after "All kinds"
    int viewCommand;             // the id of the View item that toggles its preview
    const char *viewLabel;       // that item's text, on the first row of the item ("" on the rows it also toggles)
};

// name, interpreted export, its extension, preview, CLI word, textual, graphic, hex;
// find bar line and place; View item id and text.
inline constexpr ResourceKindInfo kResourceKinds[KindCount] = {
    {"Unknown", false, "", true, "unknown", false, false, true, "Unknown", 10, 32786, "&Other"},
    {"Texture", true, "dds", true, "texture", false, true, false, "Textures", 1, 32783, "&Textures"},
    {"Material", true, "mat", true, "material", true, false, false, "Materials", 3, 32784, "M&aterials"},
    {"XML (events, scripts, etc.)", true, "xml", true, "xml", true, false, false, "XML", 4, 32785, "&XML"},
    {"Model", true, "obj", true, "model", false, true, false, "Models", 2, 32781, "&Models"},
    {"Effect/Media", false, "", true, "effect", true, false, false, "Effects", 7, 32786, ""},
    {"Unknown Media Type", false, "", true, "unknown-media", false, false, true, "Other media", 9, 32786, ""},
    {"Text", true, "txt", true, "text", true, false, false, "Text", 5, 32786, ""},
    {"Ogg Vorbis (audio)", true, "ogg", true, "ogg", false, false, false, "Sounds", 6, 32786, ""},
    {"Character Data/Animation", false, "", true, "character", false, false, true, "Characters", 8, 32786, ""},
};

// The row of a kind (previewEnabled as it starts; KindUnknown's for a value that names none).
const ResourceKindInfo &ResourceKind_Info(ResourceKind kind);

// Short lower-case word for a kind as quillon-cli names it ("texture", "unknown-media", ...).
const char *ResourceKind_CliName(ResourceKind kind);

// Parses a quillon-cli kind word; false when it names no kind.
bool ResourceKind_FromCliName(const std::string &word, ResourceKind &kind);

// The first rule that holds decides; pure. An empty span with a null pointer is KindUnknown.
ResourceKind ClassifyResource(const uint8_t *bytes, size_t length);
inline ResourceKind ClassifyResource(std::span<const uint8_t> bytes)
{
    return ClassifyResource(bytes.data(), bytes.size());
}

// The kind of a resource of `length` bytes from its first `n` bytes, when
// they settle it (every signature lies in the first 44 bytes; only text needs
// the first half of the whole): true with `kind` set, else false.
bool ClassifyResourcePrefix(const uint8_t *bytes, size_t n, size_t length, ResourceKind &kind);

// Material, XML, text and effect containers are shown as text.
bool ResourceKind_IsTextual(ResourceKind kind);
// Textures and models are drawn in the GL view.
bool ResourceKind_IsGraphic(ResourceKind kind);

// The text-view text of a textual kind, up to its first NUL: the resource with
// a CR put before every LF, or for KindEffectMedia the dependency listing.
std::string BuildResourceText(ResourceKind kind, std::span<const uint8_t> bytes);

// The same text handed to `piece` part by part, in order, so that a resource of
// any length is written out without a second copy of it.
void ResourceText_ForEachPiece(ResourceKind kind, std::span<const uint8_t> bytes,
                               const std::function<void(const char *, size_t)> &piece);

// "Dependencies:\r\n" and one "name\r\n" per named record of an "EIFF"/"PTMC"
// container, never more than 65,535 characters.
std::string BuildDependencyListing(std::span<const uint8_t> bytes);

// "Resource: %s (%.02fMB)"
std::string FormatResourceInfo(ResourceKind kind, size_t length);
