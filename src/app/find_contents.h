// The find bar's "In contents" and Edit > "Used &By...": the text inside
// entries and what names an entry, found by the gameset's search on a
// worker, in the window's list and in a list of places (no wx).
#pragma once

#include "viewer/viewer_state.h"
#include "viewer/viewer_window.h"

// ---- "In contents" (find_contents.cpp) ----

// The toggle's state: while on, the find text is looked for inside the
// entries of the open archive (or of every archive of a folder); `forget`
// drops what a search found (App_SetFindInContents decides).
void App_SwitchContents(bool on, bool forget);

// From App_ApplyFind: starts the search when the text, the kind or the
// archives changed, and shows the entries found so far. False (any search
// stopped) while the toggle is off or the text empty: the list is the find's.
bool App_ContentsFind(ViewerWindow &window);

// Each tick: takes in what the worker found and shows it every so often.
// Listed while the list holds the search's entries; Ended when the archive
// or folder went away and the find must list afresh.
enum class ContentsTick { Off, Listed, Ended };
ContentsTick App_ContinueContents(ViewerWindow &window);

// The bar's Stop: the search ends where it is; what it found stays listed.
void App_StopContents(ViewerWindow &window);

// The slot of the line selected in one archive's list of found entries;
// false when that list is not shown.
bool App_ContentsSelection(ViewerWindow &window, int &slot);

// ---- "Used By" (used_by.cpp) ----

// Edit > "Used &By...": every place that names the selected entry, in the
// open archive or across the folder, found on a worker under the progress
// dialog, then shown with ShowUsedBy.
void App_UsedBy(ViewerWindow &window);
