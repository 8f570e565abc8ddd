// Editing the archive (edit_commands.cpp).
#pragma once

#include "viewer/viewer_state.h"
#include "viewer/viewer_window.h"

#include <cstdint>
#include <string>
#include <vector>

// Edit > Replace, Add Files, Remove, Rename, Undo, Redo and File > Save, Save As.
void OnEditReplace(ViewerWindow &window);
void OnEditAddFiles(ViewerWindow &window);
void OnEditRemove(ViewerWindow &window);
void OnEditRename(ViewerWindow &window);
void OnEditUndo(ViewerWindow &window);
void OnEditRedo(ViewerWindow &window);
void OnFileSave(ViewerWindow &window);
void OnFileSaveAs(ViewerWindow &window);

// Files dropped on the entry list: on a listed line, one file replaces that
// entry once the user agrees; elsewhere they are added as Add Files adds
// them, under the selected entry's folder. False, doing nothing, where the
// open archive takes no edits (none open, a folder's).
bool App_DropOnList(ViewerWindow &window, const std::vector<std::string> &paths, int line);

// Writes the waiting edits into the archive (`output` empty) or into a new set
// `output`, on a worker under the progress dialog, then opens what was written
// and says how many entries it holds. False, after saying why, when nothing
// was saved: the archive is as it was and the edits still wait.
bool App_SaveEdits(ViewerWindow &window, const std::string &output);

// Asked by everything that replaces or closes the open archive: with edits
// waiting, "Save changes to NAME.PAK?" with Save, Discard and Cancel. True when
// the archive may go (saved, discarded, or nothing waited).
bool App_MayLeaveArchive(ViewerWindow &window);

// The EntryMark of line `line` of the list, and of an item of the tree.
int App_LineMark(long line);
int App_TreeMark(uint64_t item);
