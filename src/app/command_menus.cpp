// The command table's wx side: the wx ids of its commands, the menu bar and
// the accelerator table.
#include "app/command_table.h"

#include <wx/accel.h>
#include <wx/menu.h>

#include <vector>

namespace {

// Below wx's limit of 0x7FFF and clear of its stock ids.
constexpr int kFirstWxId = wxID_HIGHEST + 1;

bool IsCommand(const CommandRow &row)
{
    return row.id != 0;
}

}  // namespace

int Command_ToWxId(int command)
{
    int wxId = kFirstWxId;
    for (const CommandRow &row : App_CommandTable())
        if (IsCommand(row)) {
            if (row.id == command)
                return wxId;
            ++wxId;
        }
    return wxID_NONE;
}

int Command_FromWxId(int wxId)
{
    int at = kFirstWxId;
    for (const CommandRow &row : App_CommandTable())
        if (IsCommand(row) && at++ == wxId)
            return row.id;
    return 0;
}

int App_FirstCommandWxId()
{
    return kFirstWxId;
}

int App_LastCommandWxId()
{
    int count = 0;
    for (const CommandRow &row : App_CommandTable())
        count += IsCommand(row);
    return kFirstWxId + count - 1;
}

wxMenuBar *App_MakeMenuBar(wxMenu *recent, wxMenuItem *&recentItem)
{
    std::vector<wxMenu *> menus(static_cast<size_t>(AppMenu::Help) + 1, nullptr);
    auto menu = [&](AppMenu which) -> wxMenu *& { return menus[static_cast<size_t>(which)]; };
    menu(AppMenu::Recent) = recent;
    for (const CommandRow &row : App_CommandTable())
        if (row.kind == CommandKind::Submenu && !menu(row.opens))
            menu(row.opens) = new wxMenu;

    auto *bar = new wxMenuBar;
    for (const CommandRow &row : App_CommandTable()) {
        if (row.menu == AppMenu::None)
            continue;
        if (row.menu == AppMenu::Bar) {
            bar->Append(menu(row.opens), row.label);
            continue;
        }
        wxMenu *into = menu(row.menu);
        wxString label = row.label;
        if (*row.key)
            label << '\t' << row.key;
        switch (row.kind) {
        case CommandKind::Separator: into->AppendSeparator(); break;
        case CommandKind::Submenu: {
            wxMenuItem *item = into->AppendSubMenu(menu(row.opens), label);
            if (row.opens == AppMenu::Recent)
                recentItem = item;
            break;
        }
        case CommandKind::Check: into->AppendCheckItem(Command_ToWxId(row.id), label); break;
        case CommandKind::Radio: into->AppendRadioItem(Command_ToWxId(row.id), label); break;
        default: into->Append(Command_ToWxId(row.id), label); break;
        }
    }
    return bar;
}

wxAcceleratorTable App_MakeAccelerators()
{
    std::vector<wxAcceleratorEntry> keys;
    for (const CommandRow &row : App_CommandTable()) {
        wxAcceleratorEntry key;
        if (row.kind == CommandKind::Accel && key.FromString(row.key)) {
            key.Set(key.GetFlags(), key.GetKeyCode(), Command_ToWxId(row.id));
            keys.push_back(key);
        }
    }
    return wxAcceleratorTable(static_cast<int>(keys.size()), keys.data());
}
