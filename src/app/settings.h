// The user's settings, kept between runs: the recent archives and folders,
// View > As Tree, the gallery's thumbnail size, the folders the file dialogs
// start in, and the window's place.
#pragma once

class wxFileHistory;
class wxRect;
class wxString;

// How many archives File > "Open &Recent" keeps.
constexpr int kRecentArchives = 8;

// A file under $XDG_CONFIG_HOME (or ~/.config) made wx's current
// configuration. Windows created afterwards read and keep their recent
// archives there; without it they keep none.
void App_OpenSettings();

// The recent archives from the settings, and back into them (written at once,
// so that a viewer that is killed keeps them). Both do nothing without settings.
void App_LoadRecent(wxFileHistory &recent);
void App_SaveRecent(wxFileHistory &recent);

// The pixels the sash added to the entry list's width (0 without settings),
// and back into them.
int App_LoadListWidening();
void App_SaveListWidening(int widening);

// View > "As T&ree": whether one archive opens as a tree (false without settings).
bool App_LoadAsTree();
void App_SaveAsTree(bool asTree);

// The folders the file dialogs start in: where the last archive or folder was
// opened, where the last files were imported from and exported to.
enum class FilePlace { Archive, Import, Export };

// The folder kept for `place` (empty without settings or without one), and back.
wxString App_LoadPlace(FilePlace place);
void App_SavePlace(FilePlace place, const wxString &folder);

// The main window's last position on the screen, its client size and whether
// it was maximized; false without settings or without one kept.
bool App_LoadWindowRect(wxRect &rect, bool &maximized);
void App_SaveWindowRect(const wxRect &rect, bool maximized);

// The gallery's thumbnail side: 64, 128 (without settings) or 256.
int App_LoadThumbSize();
void App_SaveThumbSize(int size);
