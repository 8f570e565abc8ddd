// The window's own commands (window_commands.cpp): File > "E&xit" with the
// shut-down, Edit > "&Find...", the View menu's toggles and channels.
#pragma once

#include "scene/scene.h"
#include "viewer/viewer_state.h"
#include "viewer/viewer_window.h"

#include <string>
#include <vector>

// Sets the View check marks from the toggles, then shows the current line again.
void RefreshViewChecks(ViewerWindow &window);

// File > "E&xit", the hidden Cancel, Escape and closing the window: asks
// about waiting edits, then shuts down and ends the window with `command`.
void OnLeaveViewer(ViewerWindow &window, int command);
// Edit > "&Find...": opens the find bar and puts the focus in it.
void OnEditFind(ViewerWindow &window);
// View > Models, Textures, Materials, XML, Other: flips the previews of those kinds.
void OnViewPreviewToggle(ViewerWindow &window, int command);
void OnViewSurfaces(ViewerWindow &window);
void OnViewModelMaterials(ViewerWindow &window);
// View > Channels: how the texture is drawn.
void OnViewChannels(ViewerWindow &window, int command);

// Releases everything in its fixed order; run by OK and Cancel before the window ends.
void ShutdownViewer(ViewerWindow &window);

// The radio mark of View > Channels.
void App_CheckChannels(ViewerWindow &window);

// What the model in the view looks its materials up in: the session's
// archives (the folder's others when View > "Look in every archive" is on),
// its waiting edits, the view's texture upload and View > model materials.
SceneSources App_SceneSources();
// The surface list's selection, one flag per surface of the selection's model.
std::vector<bool> App_SelectedSurfaceRows(const ViewerWindow &window);
// The rows of a model just prepared go into the surface list while it is shown.
void App_ShowSurfaceRows(const std::vector<std::string> &rows);
