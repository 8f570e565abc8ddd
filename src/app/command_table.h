// The window's commands in one table: every menu item, accelerator key and
// window key, the menus that hold them, what each runs and when it is
// offered. The menu bar, the wx ids, the accelerator table, the window's key
// hook, the gray items and the dispatch of OnCommand are all made from it, so
// a command is one row and its handler.
#pragma once

#include "app/command_refresh.h"
#include "viewer/viewer_window.h"

#include <span>

class wxAcceleratorTable;
class wxMenu;
class wxMenuBar;
class wxMenuItem;

enum class AppMenu {
    None,  // a key only
    Bar,   // the menu bar itself: its rows are the menus
    File,
    Recent,  // File > "Open &Recent", filled by the recent archives, not by rows
    Edit,
    Export,
    View,
    Channels,
    Sound,
    Thumbs,  // View > "T&humbnail Size"
    Help,
};

enum class CommandKind {
    Item,
    Check,
    Radio,      // one of the neighbouring radio items is marked
    Separator,
    Submenu,    // opens the menu `opens`
    Accel,      // a key of the accelerator table, in no menu
    WindowKey,  // a key the window reads itself where it types nothing (Escape, Space)
};

// Where the window's key hook takes a row's plain key: only where the key
// would type nothing.
enum class KeyArea {
    Anywhere,
    Lines,  // the entry list, the tree, the hex view and the GL view
    View,   // the GL view alone (letters elsewhere are the lines' type-ahead)
};

class ViewerWindow;
// What a row runs; `command` is the row's id (rows may share a handler).
using CommandRun = void (*)(ViewerWindow &window, int command);
// Whether the row is offered now (its menu item not gray, its keys acting),
// read from the viewer's state; null: always.
using CommandEnabled = bool (*)();

struct CommandRow {
    int id;              // a Command; 0 for separators and submenus
    const char *label;   // the menu item's text, mnemonic included; "" for keys
    CommandKind kind;
    const char *key;     // "F2", "Ctrl+F", ...: shown beside a menu item and bound; "" none
    AppMenu menu;        // the menu it belongs to, in row order
    AppMenu opens = AppMenu::None;
    CommandRun run = nullptr;
    CommandEnabled enabled = nullptr;
    // A key the window's key hook reads itself ("Space", "Shift+Space", "[",
    // "F", "Escape"), in `area`; "" none.
    const char *plainKey = "";
    KeyArea area = KeyArea::Anywhere;
};

std::span<const CommandRow> App_CommandTable();
// The row of command `id`; null when there is none.
const CommandRow *App_CommandRow(int id);

// Runs one menu, accelerator, window key or button command through its row:
// nothing while the row is not offered. Then every menu item is set afresh.
void OnCommand(ViewerWindow &window, int command);

// Grays or enables every menu item by its row, from the viewer's state; what
// App_RefreshCommands runs once InitMainDialog has handed it in.
void App_RefreshCommandRows(ViewerWindow &window);

// wx refuses menu ids of 0x7FFF and above: the commands keep their numbers
// and each gets the wx id of its place in the table, in one contiguous range.
int Command_ToWxId(int command);    // wxID_NONE when the id is no command
int Command_FromWxId(int wxId);     // 0 when the id is no command
int App_FirstCommandWxId();
int App_LastCommandWxId();

// The menu bar with every menu row; `recent` becomes File > "Open &Recent",
// whose item is put in `recentItem`.
wxMenuBar *App_MakeMenuBar(wxMenu *recent, wxMenuItem *&recentItem);
// The keys of the Accel rows.
wxAcceleratorTable App_MakeAccelerators();
