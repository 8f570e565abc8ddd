// Exports of the selected entry (exports.cpp).
#pragma once

#include "export/export.h"
#include "viewer/viewer_state.h"
#include "viewer/viewer_window.h"

#include <string>

void OnExportRaw(ViewerWindow &window);
void Export_Interpreted(ViewerWindow &window);
// Export > "As &PNG...", "As gl&TF...", "As OBJ with &materials...", "As &WAV...".
void Export_AsForm(ViewerWindow &window, Command command);

// Whether Export > "&Interpreted (F3)" can write the current kind.
bool Export_InterpretedOffered(ResourceKind kind);

// OK of the dump dialog: asks for the file and writes the dump. True when the
// dump was written and the dialog may close; false leaves it open.
bool BinText_OnOk(ViewerWindow &window, const DumpOptions &options);

// A dialog filter whose patterns also match upper- and mixed-case names on
// case-sensitive file systems: "*.pak" becomes "*.pak;*.[pP][aA][kK]" (the
// plain pattern first, so a save dialog still appends ".pak"), "*.*" becomes "*".
std::string FileDialogFilter(const std::string &filter);
