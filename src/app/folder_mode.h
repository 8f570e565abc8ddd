// The window's handlers for a folder of archives and for the tree (no wx):
// the open archive replaced, the tree's selection, the find bar across every
// archive, the exports of a folder, View > "As T&ree" and "Look in every archive".
#pragma once

#include "viewer/viewer_state.h"
#include "viewer/viewer_window.h"

#include <string>

// Reads `path` as an archive into `opened`; false, with the message shown,
// when the file is refused.
bool App_ReadArchive(ViewerWindow &window, const std::string &path, PakArchive &opened);

// Makes `opened`, read from `path`, the open archive in place of whatever is
// open, without asking about waiting edits: OpenMainArchive asks first, a
// save reads back what it wrote when nothing waits any more.
void App_ShowArchive(ViewerWindow &window, const std::string &path, PakArchive opened);

// After one archive was accepted: folder mode ends, and the tree shows the
// archive when View > "As T&ree" is on.
void App_NoteArchiveOpened(ViewerWindow &window);

// Returned by App_FolderSelection when the plain list of one archive holds the selection.
constexpr int kSelectionInList = -2;

// The slot in mainPak of the entry selected in the tree, or in the find's
// lines of a folder, making its archive the open one first; -1 when no entry
// is selected or its archive cannot be read (said in a message);
// kSelectionInList when neither the tree nor a folder's lines are shown.
int App_FolderSelection(ViewerWindow &window);

// The find bar in folder mode: the list holds the lines of every archive
// that the find text finds, "ARCHIVE.PAK: line". False outside folder mode.
bool App_FolderFind(ViewerWindow &window);

// One slice of reading the kinds of the entries the find text finds in a
// folder, for the find bar's kind choice; the list takes in what was found
// every so often. False outside folder mode.
bool App_ContinueFolderKinds(ViewerWindow &window);

// The tree stands in the list's place unless the find bar narrows the lines.
void App_ShowTreeOrList(ViewerWindow &window);

// View > "As T&ree" and View > "Look in every archive".
void OnViewAsTree(ViewerWindow &window);
void OnViewLookEverywhere(ViewerWindow &window);

// The count of the find bar's lines for the status bar: "N of M listed",
// "no entry matches", or empty while nothing narrows the lines.
std::string App_ListedCountText(size_t listed, size_t total);
