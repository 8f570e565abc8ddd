// The find bar and the listed lines (find.cpp).
#pragma once

#include "viewer/viewer_state.h"
#include "viewer/viewer_window.h"

#include <string>
#include <vector>

// The find bar's text or kind changed: the list shows the lines that contain
// the text (a glob when it holds '*' or '?', matched against the entry's
// name) and whose entry is of `kind` (-1 for every kind). Kinds not yet known
// are found a slice at a time by OnFrameTimer, and their lines appear as they are.
void OnFindChanged(ViewerWindow &window, const std::string &text, int kind);

// Escape in the find bar: empties and closes it, and lists every line again.
void OnFindClose(ViewerWindow &window);

// The slots of the lines the list shows now, in its order (every stored entry
// while nothing narrows it).
const std::vector<int> &App_ListedSlots();

// Shows listedSlots in the list, keeping the selected entry selected when it is
// still listed; a selected line that left the list runs the selection handler.
void App_ApplyFind(ViewerWindow &window);

// The find bar's "In contents" toggle changed: while on, the find text is
// looked for inside the entries and the list shows the entries that hold
// it, each with its first line that does.
void App_SetFindInContents(ViewerWindow &window, bool on);

// The list's order for the archive just opened: its lines' text kept together,
// every kind unknown.
void App_SetListOrder(std::vector<int> order);

// One slice (a few milliseconds) of classifying entries for the kind filter.
void App_ContinueKindScan(ViewerWindow &window);
