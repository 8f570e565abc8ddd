// Edit > "Edit Externally", Copy and Paste: what they read of the open
// archive and the edits they make. No wx: the window's part
// (external_edit.cpp) starts the programs, watches the files and talks to
// the clipboard.
#pragma once

#include "pak/pak.h"
#include "resource/resource_kind.h"
#include "texture/texture_decode.h"
#include "viewer/viewer_window.h"

#include <span>
#include <string>
#include <vector>

// When Edit Externally and Copy (an entry selected) and Paste (an entry of
// one archive selected) are offered.
bool App_OutsideOffered();
bool App_PasteOffered();

// The selected entry as it goes out: the archive it is in, its record, its
// name then, its resource as the window shows it (a waiting edit's) and kind.
struct OutsideSource {
    std::string archive;
    int slot = -1;
    std::string name;
    PakEntry entry{};
    ResourceKind kind = KindUnknown;
    std::vector<uint8_t> resource;
};
// False when no entry is selected and loaded.
bool App_SelectedSource(OutsideSource &source);

// The file `fileName` that `source` went out as now holds `file`: converted
// as Replace converts it and made a waiting Replace of that entry, shown at
// once. Returns the status bar's line: "replaced from NAME (edited outside)",
// or why nothing changed (an empty line when the file makes what the entry
// holds already).
std::string App_TakeBackOutside(ViewerWindow &window, const OutsideSource &source, std::span<const uint8_t> file,
                                const std::string &fileName);

// Edit > Copy: the picture of the texture shown (its level shown, with
// alpha), or the text of an entry shown as text. False when the selection
// gives neither.
struct CopiedContent {
    bool picture = false;
    TextureImage image;
    std::string text;  // archive bytes, as the text view reads them
};
bool App_CopySelected(CopiedContent &content);

// Edit > Paste: `image` in place of the selected texture, as a PNG of it
// would replace it, once the user agrees. Returns the status bar's line.
std::string App_PasteImage(ViewerWindow &window, const TextureImage &image);
