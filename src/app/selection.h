// Selection of an entry (selection.cpp): what the list, the tree or the
// find's lines name is loaded, classified and shown.
#pragma once

#include "viewer/viewer_state.h"
#include "viewer/viewer_window.h"

#include <string>

void OnSelchangeEntryList(ViewerWindow &window);

// Reads the selected entry into CurrentResource; false, after its message,
// when the holding file cannot be read.
bool LoadSelectedEntry(ViewerWindow &window);

// Sets resourceKind and the live pane.
void ShowResourcePreview(ViewerWindow &window);

// ShowResourcePreview, then the Export items and the info line.
void ShowResourceInfo(ViewerWindow &window);

// The status bar's line of a slot's details, led by "replaced", "added" or
// "renamed" while its edit waits.
struct ResourceDetails;
std::string App_EditedDetails(int slot, ResourceDetails details);

// The status bar's details of the selected entry, with the model's
// materials and textures found outside its archive.
std::string App_SelectionDetails();
