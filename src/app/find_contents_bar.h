// The find bar's "In contents" toggle and its Stop button (wx).
#pragma once

#include <unordered_map>

class CQuillonDlg;
class wxBoxSizer;
class wxWindow;

// Puts the toggle and Stop in a second row under the bar's `row` and returns
// the bar's sizer holding both rows; the controls go into `controls` by id.
wxBoxSizer *App_AddFindContents(CQuillonDlg &frame, wxWindow *bar, wxBoxSizer *row,
                                std::unordered_map<int, wxWindow *> &controls);
