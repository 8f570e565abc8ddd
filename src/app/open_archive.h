// File > Open (open_archive.cpp).
#pragma once

#include "viewer/viewer_state.h"
#include "viewer/viewer_window.h"

#include <string>

void OnFileOpen(ViewerWindow &window);

// Opens `path` as the main archive, as File > Open does after its dialog.
// False (with the message shown and nothing changed) when the file is refused.
bool OpenMainArchive(ViewerWindow &window, const std::string &path);
