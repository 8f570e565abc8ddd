// Export jobs: entries of an archive written into a folder (quillon-cli
// extract, the viewer's Export All and Export Listed) and single entries
// written to a chosen file (quillon-cli export and dump, the viewer's Export
// menu). No UI: callers are told of progress and may cancel between entries.
#pragma once

#include "export/export.h"
#include "export/gltf_writer.h"
#include "pak/pak.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

struct Model;

// The form an entry is written in, chosen per kind: its bytes unless a
// form below applies to the entry's kind.
struct ExportForms {
    bool interpreted = false;  // .dds, .obj, and the textual kinds and .ogg under their extension
    bool wav = false;          // sounds decoded to 16-bit PCM WAV (in place of .ogg)
    bool png = false;          // textures decoded to PNG (their largest level)
    bool glb = false;          // models as one glTF binary file with their materials' textures
    bool gltf = false;         // models as .gltf with STEM.bin and STEM_N.png beside it
    bool objMtl = false;       // models as .obj, their materials merged into dkexport.mtl beside
                               // it and their textures as PNGs in textures/ there
};
// (A kind takes the first form that applies to it: wav; png; glb, gltf, objMtl; interpreted.)

// Which entries a job takes. Every stored entry by default; otherwise those
// of `slots` (when useSlots), whose name matches `match` (when hasMatch) and
// whose kind is one of `kinds` (when not empty).
struct ExportSelection {
    bool useSlots = false;
    std::vector<int> slots;
    bool hasMatch = false;
    std::string match;  // glob, as Pak_MatchGlob reads it
    std::vector<ResourceKind> kinds;
};

struct ExportJobOptions {
    ExportSelection selection;
    ExportForms forms;
    bool overwrite = false;  // replace files that exist (kept by default)
    int workers = 0;         // threads that read and convert; 0: one per core, at most 4
    // A GLOBAL.PAK the caller has loaded (hasIndex) and leaves unchanged
    // while the job runs (the viewer's), searched for models' materials; null:
    // the job looks up GLOBAL.PAK beside the archive when a material needs it.
    PakArchive *global = nullptr;
};

enum class ExportOutcome {
    Written,
    Skipped,   // a file of that name exists and overwrite is off
    Failed,
    Filtered,  // not of a chosen kind: nothing was written, nothing to report
};

// What became of one entry. `path` is relative to the output folder, '/'-separated.
struct ExportEntryResult {
    ExportOutcome outcome = ExportOutcome::Filtered;
    std::string path;
    std::string message;  // why it failed (empty otherwise)
    uint64_t bytes = 0;   // written
};

struct ExportJobSummary {
    size_t written = 0, skipped = 0, failed = 0;
    uint64_t bytesWritten = 0;
    bool cancelled = false;
    bool folderFailed = false;  // the output folder could not be made or opened
    std::string folderMessage;
};

// Told of every entry the selection took, in record order, on the caller's
// thread, with `done` of `total` entries handled and their stored bytes.
struct ExportProgress {
    size_t done = 0, total = 0;
    uint64_t doneBytes = 0, totalBytes = 0;
};
using ExportReport = std::function<void(const PakEntry &entry, const ExportEntryResult &result,
                                        const ExportProgress &progress)>;

// Writes the selected entries of `archive` into `folder` (created when
// missing), in record order, under their safe names (Export_SafeComponents):
// never outside the folder, never through a link, duplicates of this run
// numbered with their record number, existing files kept unless overwrite.
// Every file is written beside its place under a temporary name and renamed
// into place once complete, so no partial file is ever left. Entries are
// read and converted by a small pool of threads; a failure is reported and
// the job goes on. `cancel` (may be null) is looked at between entries.
ExportJobSummary Export_RunJob(const PakArchive &archive, const std::string &folder,
                               const ExportJobOptions &options, const ExportReport &report,
                               const std::atomic<bool> *cancel = nullptr);

// The slots `selection` names before kinds are known (kinds need the bytes).
std::vector<int> Export_SelectSlots(const PakArchive &archive, const ExportSelection &selection);

// ---- one entry (export_forms.cpp, export_entry.cpp) ----

// Whether an interpreted export of `resource` (of `kind`) can be written,
// decided before a file is named: Ok, NotOffered, TooShort (a texture
// without its header) or NoModel (a model whose parse, `model`, failed).
ExportResult Export_CheckInterpreted(ResourceKind kind, std::span<const uint8_t> resource, const Model *model);

// Writes `resource` in the form `forms` gives its kind to the open `file`
// (not the glTF forms, which are several files). The OBJ of a model writes
// `model`, or one parsed here when null.
ExportStatus Export_WriteForm(FILE *file, ResourceKind kind, std::span<const uint8_t> resource,
                              const ExportForms &forms, const Model *model);

// Whether `file` holds exactly what Export_WriteForm writes of `resource` (of
// `kind`) in the form `forms` gives it, so that an exported file the user
// left alone is known as such. The form is written into a temporary file in
// the folder `dirFd`, compared and removed; its bytes as they are need none.
// Not Ok (and `same` false) when the form cannot be made: why.
ExportStatus Export_CompareForm(int dirFd, ResourceKind kind, std::span<const uint8_t> resource,
                                const ExportForms &forms, std::span<const uint8_t> file, bool &same);

// One entry written to a file of the user's choice (quillon-cli export and
// dump, the viewer's Export menu).
struct ExportEntryRequest {
    ResourceKind kind = KindUnknown;
    std::span<const uint8_t> resource;
    ExportForms forms;                    // none set: the bytes as held
    const DumpOptions *dump = nullptr;    // the Binary-Text Dump instead of a form
    const Model *model = nullptr;         // the model to write (the view's); null: parsed from `resource`
    const PakArchive *archive = nullptr;  // where a model's materials are looked up (may be null)
    PakArchive *global = nullptr;         // its GLOBAL.PAK, kept by the caller; null: looked up for this export only
    bool overwriteTextures = false;       // replace PNGs already in textures/ beside an OBJ
};

// The refusals decided before a file is named: a form asked of a kind that
// has none (NotTexture, NotModel, NotSound, NotOffered), a texture without
// its header (TooShort), a model that does not parse (NoModel).
ExportStatus Export_CheckEntry(const ExportEntryRequest &request);

// Checks, then writes the entry to `path` ("-": standard output, except for
// the glTF forms) whole or not at all; the OBJ+MTL form also writes
// dkexport.mtl and textures/ in the folder of `path`. On success
// `surfacesDropped` tells of surfaces the model's parse left out.
ExportStatus Export_WriteEntry(const ExportEntryRequest &request, const std::string &path);

// A model's glTF written to a file of the user's choice with the materials
// given, as Export_WriteEntry writes it: the .glb whole or not at all; the
// .gltf with STEM.bin and STEM_N.png beside it, all or none, its companions
// replacing files of their names but never a link, each other or the .gltf.
ExportStatus Export_WriteGltf(const std::string &path, const Model &model, std::span<const GltfMaterialInput> materials,
                              GltfForm form);

// The extension the form gives a file of `kind`: "dds", "obj", "wav", ... or
// "" to keep the entry's name as it is; `replaces` is the extension it takes
// the place of ("ogg" for a .wav), or null.
const char *Export_FormExtension(ResourceKind kind, const ExportForms &forms, const char **replaces);

// ---- names inside the output folder (export_names.cpp) ----

// The relative path, as folder components with the file name last, that an
// entry is written to: only the name's safe components survive, and an empty
// result becomes "entry_%04i" from the record number.
std::vector<std::string> Export_SafeComponents(const PakEntry &entry);

// The safe components of any relative path ('/' or '\\' between them): a
// drive prefix, empty, "." and ".." components dropped, characters no file
// name may hold made '_'. Empty when nothing is left.
std::vector<std::string> Export_SafePathComponents(std::string_view path);

// Appends "." + extension to the file name unless it already ends with it
// (case ignored).
void Export_AddExtension(std::vector<std::string> &components, const char *extension);

// Puts "." + to in place of a final "." + from (case ignored), or appends it
// when the file name does not end so.
void Export_ReplaceExtension(std::vector<std::string> &components, const char *from, const char *to);

// Gives the file name the extension of the form `forms` gives `kind`
// (Export_FormExtension): in place of the one it replaces, or added.
void Export_AddFormExtension(std::vector<std::string> &components, ResourceKind kind, const ExportForms &forms);

// Puts "_%04i" (the record number) before the file name's extension, or at
// its end when it has none.
void Export_AddRecordSuffix(std::vector<std::string> &components, int32_t index, int round);

// Components joined with '/'.
std::string Export_JoinPath(const std::vector<std::string> &components, size_t count);

// The names one export run gives its entries, taken in record order: the
// entry's safe path with the extension of its form, and the record number
// (Export_AddRecordSuffix) when an earlier entry of the run took that path,
// case ignored. The one naming rule of a folder export: `update` finds the
// entry of an exported file by it.
class ExportNamer {
public:
    // The path, as components, of `entry` (of `kind`) in the form `forms`
    // gives its kind; no form set: its name as it is. The path is then taken.
    std::vector<std::string> Name(const PakEntry &entry, ResourceKind kind, const ExportForms &forms);
    // Reserves `name` beside the file `components` names, as another file of
    // this run (a glTF's companion); false when the run has a file or folder of that name.
    bool Claim(const std::vector<std::string> &components, const std::string &name);

private:
    std::unordered_set<std::string> used_;  // paths taken, case folded (files and their folders)
};
