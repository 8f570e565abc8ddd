// The gray menu items follow the viewer's state. The handlers below the
// command table ask for it after each change; the table itself, which names
// those handlers, is handed in by the window's start-up.
#pragma once

class ViewerWindow;

// Grays or enables every menu item by its row, from the viewer's state. Run
// after whatever changes what the commands act on (a selection, an open, an edit).
void App_RefreshCommands(ViewerWindow &window);

// What App_RefreshCommands runs: the command table's walk over its rows.
// Nothing is run until InitMainDialog has handed it in.
void App_SetCommandRefresh(void (*refresh)(ViewerWindow &window));
