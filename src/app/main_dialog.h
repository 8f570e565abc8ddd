// Handlers of the main window. They read the window through ViewerWindow, call
// the archive, classification and export code, and update the window through
// the same interface; the wx frame only forwards its events here.
#pragma once

#include "app/command_table.h"
#include "viewer/viewer_state.h"
#include "viewer/viewer_window.h"
#include "export/export_jobs.h"
#include "render/render.h"
#include "scene/scene.h"

#include <string>

// ---- main window (main_dialog.cpp) ----

// What the model in the view looks its materials up in: the session's
// archives (the folder's others when View > "Look in every archive" is on),
// its waiting edits, the view's texture upload and View > model materials.
SceneSources App_SceneSources();
// The surface list's selection, one flag per surface of the selection's model.
std::vector<bool> App_SelectedSurfaceRows(const ViewerWindow &window);
// The rows of a model just prepared go into the surface list while it is shown.
void App_ShowSurfaceRows(const std::vector<std::string> &rows);

// Dialog initialisation: labels, services, frame timer, panes hidden, "&Play on
// click" ticked, layout, Export items gray, View check marks.
void InitMainDialog(ViewerWindow &window);

// Fits the panes and lists to a client area of cx x cy pixels.
void LayoutControls(ViewerWindow &window, int cx, int cy);

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

// Timer 1027: the sound module's tick, then one frame unless the view is hidden.
void OnFrameTimer();

// Releases everything in its fixed order; run by OK and Cancel before the window ends.
void ShutdownViewer(ViewerWindow &window);

// ---- File > Open (open_archive.cpp) ----

void OnFileOpen(ViewerWindow &window);

// Opens `path` as the main archive, as File > Open does after its dialog.
// False (with the message shown and nothing changed) when the file is refused.
bool OpenMainArchive(ViewerWindow &window, const std::string &path);

// ---- selection (selection.cpp) ----

void OnSelchangeEntryList(ViewerWindow &window);

// Reads the selected entry into CurrentResource; false, after its message,
// when the holding file cannot be read.
bool LoadSelectedEntry(ViewerWindow &window);

// Sets resourceKind and the live pane.
void ShowResourcePreview(ViewerWindow &window);

// ShowResourcePreview, then the Export items and the info line.
void ShowResourceInfo(ViewerWindow &window);

// ---- batch exports (batch_export.cpp) ----

// Export > "Export &All..." (every entry) or "Export &Listed..." (the lines the
// list shows): asks for a folder and a form, runs the export jobs under the
// window's progress dialog and shows what was written, skipped and failed.
void OnExportBatch(ViewerWindow &window, bool listedOnly);

// The forms the batch export offers, in the order of BatchExportRequest::form.
std::vector<std::string> App_BatchFormNames();

// The summary shown when a batch export ends: counts, the folder, the failures
// (the first 20), and how far a cancelled job came.
std::string App_BatchSummary(const ExportJobSummary &summary, const std::vector<std::string> &failures,
                             const std::string &folder, size_t total);

// ---- find bar and the listed lines (find.cpp) ----

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

// The list's order for the archive just opened: its lines' text kept together,
// every kind unknown.
void App_SetListOrder(std::vector<int> order);

// One slice (a few milliseconds) of classifying entries for the kind filter.
void App_ContinueKindScan(ViewerWindow &window);

// ---- editing the archive (edit_commands.cpp) ----

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

// The status bar's line of a slot's details, led by "replaced", "added" or
// "renamed" while its edit waits.
struct ResourceDetails;
std::string App_EditedDetails(int slot, ResourceDetails details);

// The EntryMark of line `line` of the list, and of an item of the tree.
int App_LineMark(long line);
int App_TreeMark(uint64_t item);

// ---- sound keys (selection.cpp) ----

// Space: the selected sound from its start, whatever "&Play on click" says.
void App_ReplaySound();
// Shift+Space: silence.
void App_StopAllSounds();

// ---- the sound bar (preview_bars.cpp) ----

// Its button: Stop (keeping the place) while the selected sound plays, Play
// from the bar's place otherwise (from the start once at the end).
void App_SoundBarPlayStop(ViewerWindow &window);
// Its slider: the bar's place; a playing sound goes on from there.
void App_SoundBarSeek(ViewerWindow &window, double seconds);
// "m:ss.s", tenths rounded down.
std::string App_FormatSoundTime(double seconds);

// ---- the entry list's width (list_width.cpp) ----

// The sash dragged to widen the list by `widening` pixels (0: its first
// width); `done` when the drag ends, which keeps what the window could show.
// Returns the widening shown.
int App_DragListSash(ViewerWindow &window, int widening, bool done);

// ---- exports (exports.cpp) ----

void OnExportRaw(ViewerWindow &window);
void Export_Interpreted(ViewerWindow &window);
// Export > "As &PNG...", "As gl&TF...", "As OBJ with &materials...", "As &WAV...".
void Export_AsForm(ViewerWindow &window, Command command);

// Whether Export > "&Interpreted (F3)" can write the current kind.
bool Export_InterpretedOffered(ResourceKind kind);

// OK of the dump dialog: asks for the file and writes the dump. True when the
// dump was written and the dialog may close; false leaves it open.
bool BinText_OnOk(ViewerWindow &window, const DumpOptions &options);

// A dialog filter whose patterns also match upper- and mixed-case names on
// case-sensitive file systems: "*.pak" becomes "*.pak;*.[pP][aA][kK]" (the
// plain pattern first, so a save dialog still appends ".pak"), "*.*" becomes "*".
std::string FileDialogFilter(const std::string &filter);
