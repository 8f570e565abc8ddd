// Helpers shared by the main window's handler files; not part of the app's API.
#pragma once

#include "app/preview_pane.h"
#include "viewer/viewer_window.h"

#include <string>
#include <vector>

// LayoutControls with the window's current client size.
void App_LayoutToClient(ViewerWindow &window);

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

// Queues the selected sound `fromSeconds` into it, making its record on the
// first play of the selection; without an audio device it says so instead.
void App_QueueSelectedSound(double fromSeconds = 0);

// ---- the sound bar and the preview's status (preview_bars.cpp) ----

// Shows the sound bar for a selected sound (with its length), hides it otherwise.
void App_ShowSoundBar(ViewerWindow &window);
// True when there is an audio device; otherwise false, and the status bar
// says so the first time in the run.
bool App_QueueSoundNotice(ViewerWindow &window);
// Each tick: the bar follows the playing sound; the status bar's zoom field
// follows the texture preview.
void App_PreviewBarsTick(ViewerWindow &window);

// ---- the entry list's width (list_width.cpp) ----

// Shows the list widened by `widening` (Layout_Widening's share of
// viewer.listWidening): moves the right-hand controls and widens the list's
// column of controls by what changed since the last time.
void App_WidenList(ViewerWindow &window, int widening);
// The sash between the list and the pane, `height` pixels tall.
void App_PlaceListSash(ViewerWindow &window, int height);

// Puts `resource` in place of the entry `slot` as a waiting Replace made from
// `source` and shows the archive with it; the selection stays where it is.
void App_PushReplace(ViewerWindow &window, int slot, std::vector<uint8_t> resource, const std::string &source);
