// File > "Mods...": the mods applied to the game folder the window has open,
// applying one, taking the last off, and the conflicts of a chosen set. The
// work is the mod library's, as the CLI's `mod` commands do it; these
// handlers ask, refuse and read the archives again. No wx.
#pragma once

#include "viewer/viewer_window.h"

#include <string>
#include <vector>

// The game folder of what is open: the folder in folder mode, otherwise the
// open archive's folder; empty when nothing is open.
std::string App_ModsGameFolder();

// The applied mods, one line each ("1  name  GLOBAL.PAK M01.PAK"), or the
// reason they cannot be read in `error`.
std::vector<std::string> App_ModsApplied(const std::string &gameFolder, std::string &error);

// Apply Mod...: asks for a mod (its mod.json or its .zip), shows what it
// would do (or why it is refused) and applies it when confirmed; then the
// archives are read again. Refused while the open archive has unsaved edits
// and the mod touches it. True when a mod was applied.
bool App_ModsApply(ViewerWindow &window, const std::string &gameFolder);

// Restore: takes the last applied mod off when confirmed, then reads the
// archives again; refused as Apply is over unsaved edits.
bool App_ModsRestore(ViewerWindow &window, const std::string &gameFolder);

// Asks for one more mod to compare; its path, or empty when cancelled.
std::string App_ModsAskMod(ViewerWindow &window);

// The entries that two or more of `mods` touch, one line each, or why a mod
// cannot be read.
std::string App_ModsConflictText(const std::vector<std::string> &mods);
