// File > "Mods...": a window beside the main one that lists the mods applied
// to the open game folder, with Apply Mod..., Restore, and the conflicts of
// the mods added to its comparison. Its buttons call the handlers of mods.h.
#pragma once

class ViewerWindow;
class wxDialog;
class wxWindow;

enum ModsDialogId : int {
    IdModsApply = 1200,  // "&Apply Mod..."
    IdModsRestore,       // "&Restore"
    IdModsCompareAdd,    // "A&dd Mod..." to the comparison
    IdModsCompareClear,  // "C&lear" the comparison
};

// Opens the Mods window over `parent` (the main window, which answers its
// questions as `window`), or brings it up and reads it again when open.
void App_ShowModsDialog(wxWindow *parent, ViewerWindow &window);

// The Mods window while it is open, else null.
wxDialog *App_ModsDialog();
