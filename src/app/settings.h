// The user's settings: the recent archives and folders, View > As Tree and the gallery's thumbnail size, kept between runs.
#pragma once

class wxFileHistory;

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

// The gallery's thumbnail side: 64, 128 (without settings) or 256.
int App_LoadThumbSize();
void App_SaveThumbSize(int size);
