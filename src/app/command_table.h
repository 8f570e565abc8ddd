// The window's commands in one table: every menu item, accelerator key and
// window key, and the menus that hold them. The menu bar, the wx ids, the
// accelerator table and the range of ids bound to the command handler are all
// made from it, so a command cannot be in a menu without reaching OnCommand.
#pragma once

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

struct CommandRow {
    int id;              // a Command; 0 for separators and submenus
    const char *label;   // the menu item's text, mnemonic included; "" for keys
    CommandKind kind;
    const char *key;     // "F2", "Ctrl+F", ...: shown beside a menu item and bound; "" none
    AppMenu menu;        // the menu it belongs to, in row order
    AppMenu opens = AppMenu::None;
};

std::span<const CommandRow> App_CommandTable();

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
