// File > Open and File > "Open &Folder..." (open_archive.cpp).
#pragma once

#include "viewer/viewer_state.h"
#include "viewer/viewer_window.h"

#include <string>

void OnFileOpen(ViewerWindow &window);

// Opens `path` as the main archive, as File > Open does after its dialog.
// False (with the message shown and nothing changed) when the file is refused.
bool OpenMainArchive(ViewerWindow &window, const std::string &path);

// File > "Open &Folder...".
void OnFileOpenFolder(ViewerWindow &window);

// Opens `path` as a folder of archives: the tree shows its archives, each
// selected entry's archive becomes the open one. False (with the message
// shown and nothing changed) when the folder cannot be read or holds none.
bool App_OpenFolder(ViewerWindow &window, const std::string &path);
