// Helpers shared by the main window's handler files; not part of the app's API.
#pragma once

#include "viewer/viewer_window.h"

// Frees the current resource, silences and drops its sound, frees its model,
// and clears the whole per-selection block.
void App_ReleasePreview();

// Grays "&Raw (F2)", "&Binary-Text Dump", "&Interpreted (F3)" and the form exports.
void App_GrayExportItems(ViewerWindow &window);

// LayoutControls with the window's current client size.
void App_LayoutToClient(ViewerWindow &window);

// Info line "No resource selected." and no details in the status bar.
void App_ShowNoResource(ViewerWindow &window);

// Hides the GL view, text view, hex view and "&Play on click" box.
void App_HidePanes(ViewerWindow &window);
