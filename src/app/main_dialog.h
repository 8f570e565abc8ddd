// Handlers of the main window. They read the window through ViewerWindow, call
// the archive, classification and export code, and update the window through
// the same interface; the wx frame only forwards its events here.
//
// This header gathers them all for the window and its tests. The handlers
// themselves include only the headers of what they call, and call downwards:
// the start-up (main_dialog.cpp) above the command table, the table above the
// commands it runs, those above the archive's opening and editing, the find
// and the list's modes, the selection, and at the bottom the layout, the sound
// bar, the exports and the gray items' refresh (command_refresh.h), which the
// start-up hands the table's walk to.
#pragma once

#include "app/batch_export.h"
#include "app/command_table.h"
#include "app/edit_commands.h"
#include "app/exports.h"
#include "app/find.h"
#include "app/list_width.h"
#include "app/open_archive.h"
#include "app/preview_bars.h"
#include "app/selection.h"
#include "app/window_commands.h"
#include "viewer/viewer_state.h"
#include "viewer/viewer_window.h"
#include "export/export_jobs.h"
#include "render/render.h"
#include "scene/scene.h"

#include <string>

// ---- the main window's start-up (main_dialog.cpp) ----

// Dialog initialisation: labels, services, frame timer, panes hidden, "&Play on
// click" ticked, layout, Export items gray, View check marks.
void InitMainDialog(ViewerWindow &window);

// Timer 1027: the sound module's tick, then one frame unless the view is hidden.
void OnFrameTimer();
