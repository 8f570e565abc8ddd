// The right-hand pane emptied (preview_pane.cpp); the selection and the
// list's modes both let a selection go through it.
#pragma once

#include "viewer/viewer_window.h"

// Frees the current resource, silences and drops its sound, frees its model,
// and clears the whole per-selection block.
void App_ReleasePreview();
// Info line "No resource selected." and no details in the status bar.
void App_ShowNoResource(ViewerWindow &window);
// Hides the GL view, text view, hex view, "&Play on click" box and sound bar.
void App_HidePanes(ViewerWindow &window);
// No entry selected: its preview released, the panes hidden, the Export items gray.
void App_ClearSelection(ViewerWindow &window);
