// The window's side of Edit > "Edit Externally", Copy, Paste and
// Preferences: the user's programs started, the files they save watched and
// taken back, and the clipboard.
#pragma once

#include "outside/outside.h"

#include <string>

class CQuillonDlg;

// Runs those commands in `frame`; false for any other command.
bool App_OutsideCommand(CQuillonDlg &frame, int command);

// Lines dragged out of `frame`'s entry list or tree carry their entry as a
// file in its editable form (written into the window's folder first), for a file
// manager to copy.
void App_AttachOutside(CQuillonDlg &frame);
// What such a drag carries: the selected entry's file, written first; null
// (the status bar says why) when there is none.
class wxFileDataObject;
wxFileDataObject *App_DragData(CQuillonDlg &frame);

// The program the preferences name for a kind's files; "" for the desktop's.
std::string App_LoadExternalEditor(OutsideProgram program);
void App_SaveExternalEditor(OutsideProgram program, const std::string &path);
