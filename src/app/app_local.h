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

// View > "Save View As &PNG...": the view's frame at its size, through a
// temporary file renamed into place; failures are reported.
void App_SaveViewImage(ViewerWindow &window);

// The preview's commands of the View menu and the wheel over the view.
void App_ViewCommand(int command);
// `notches` of the wheel (positive: turned away from the user) at view point (x, y).
void App_OnViewWheel(int notches, int x, int y);

// An archive or folder was accepted as the open one: its name on the file
// label, the list (or tree) shown, the recent list told, the batch exports enabled.
void App_ShowOpened(ViewerWindow &window, const std::string &path);

// No entry selected: its preview released, the panes hidden, the Export items gray.
void App_ClearSelection(ViewerWindow &window);

// Hides the GL view, text view, hex view and "&Play on click" box.
void App_HidePanes(ViewerWindow &window);
