// Editing outside: an entry written in the form the user's own programs edit
// (an image editor, a sound editor, a text editor), and the edited file taken
// back into a resource the way Edit > Replace and `quillon-cli replace` take a
// file. Shared by `quillon-cli edit` and the window's Edit > "Edit
// Externally". Formats layer: no wx.
#pragma once

#include "export/export_jobs.h"
#include "import/import.h"
#include "pak/pak.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The form an entry goes out in: a texture as a PNG of its largest level, a
// sound as a 16-bit WAV, a material, XML or text entry as its bytes under its
// extension, anything else as its bytes under its own name.
ExportForms Outside_Forms(ResourceKind kind);

// Which of the user's programs edits a kind (the window's preferences hold one each).
enum class OutsideProgram { Image, Sound, Text, Other };
OutsideProgram Outside_ProgramFor(ResourceKind kind);

// The name the entry goes out under, one the user knows it by: the last part
// of its name made safe, with its form's extension ("stone_wall_d.png").
std::string Outside_FileName(const PakEntry &entry, ResourceKind kind);

// Writes `resource` (of `kind`) in its form as `folder`/`name`, whole or not at
// all, replacing a file of that name. The file's path, or "" with `error` set.
std::string Outside_Write(const std::string &folder, const std::string &name, ResourceKind kind,
                          std::span<const uint8_t> resource, std::string &error);

// The resource an edited file makes in place of `old` (of `kind`): a PNG made
// a texture again with every level, keeping `old`'s header and block format;
// a WAV encoded to Ogg Vorbis; the other forms their bytes as they are.
// `unchanged` when that is what `old` holds already. A refusal leaves why in
// `message`, led by the file's name.
struct OutsideTakeBack {
    bool ok = false;
    bool unchanged = false;
    std::vector<uint8_t> bytes;
    std::string message;
};
OutsideTakeBack Outside_TakeBack(ResourceKind kind, std::span<const uint8_t> file, std::span<const uint8_t> old,
                                 const std::string &fileName, const SoundImportOptions &sound = {});

// A new, empty folder of this run's own for the files that go out, under the
// user's cache folder (quillon/edit-PID-N). "" with `error` set when none can be made.
std::string Outside_MakeFolder(std::string &error);

// The words of a command line (QUILLON_EDITOR, --with): blanks separate them;
// '...' or "..." keep what they hold as it is, blanks and the other quote
// included; there are no escapes, so a Windows path keeps its backslashes.
// False, with `error` set, for an unclosed quote or a line of no words.
bool Outside_SplitCommand(const std::string &line, std::vector<std::string> &words, std::string &error);
