// The narrow interface through which the main window's handlers read and change
// the window. The wx frame implements it; tests drive the same handlers through
// a recording fake. Controls are named by their ids (1000-1017), commands by their
// menu ids (the rows of the command table carry what each command runs).
#pragma once

#include <atomic>
#include <functional>
#include <cstdint>
#include <string>
#include <vector>

enum ControlId : int {
    IdOk = 1,            // hidden default button; File > "E&xit" sends the same command
    IdCancel = 2,        // hidden; target of Escape and of closing the window
    IdEntryList = 1000,  // entries of the open archive
    IdFileLabel = 1001,  // "No file loaded." or the archive's file name
    IdInfoLine = 1002,   // "No resource selected." or kind and size
    IdGlView = 1003,     // drawing area of textures and models
    IdTextView = 1004,   // text of text-like resources
    IdPlayOnClick = 1005,
    IdSurfaceList = 1006,
    IdSurfaceLabel = 1007,
    IdFindBar = 1010,  // above the entry list while Edit > "&Find..." is on: text field and kind choice
    IdHexView = 1011,  // in the text view's place: bytes of kinds that have no preview
    IdSoundBar = 1012,  // under "&Play on click" while a sound is selected: play/stop, position, seek
    IdListSash = 1013,  // between the entry list and the right-hand pane: drags the list wider
    IdEntryTree = 1014,  // in the entry list's place: archives, folders and entries
    IdFindContents = 1015,  // the find bar's "In contents" toggle
    IdFindStop = 1016,      // beside it while a search of the contents runs: ends it
    IdGallery = 1017,    // in the view's place while View > "As &Gallery" is on: the listed entries as thumbnails
};

enum Command : int {
    CmdExit = 1,  // same as OK
    CmdCancel = 2,
    CmdFileOpen = 32771,
    CmdAbout = 32773,
    CmdExportRaw = 32774,
    CmdExportInterpreted = 32775,
    CmdAccelRaw = 32776,          // F2
    CmdAccelInterpreted = 32777,  // F3
    CmdAccelHelp = 32778,         // F1
    CmdExportDump = 32780,
    CmdViewModels = 32781,
    CmdViewSurfaces = 32782,
    CmdViewTextures = 32783,
    CmdViewMaterials = 32784,
    CmdViewXml = 32785,
    CmdViewOther = 32786,
    CmdViewModelMaterials = 32787,
    CmdEditFind = 32790,
    CmdChannelsRgba = 32791,  // View > Channels, in TextureChannels order
    CmdChannelsRed = 32792,
    CmdChannelsGreen = 32793,
    CmdChannelsBlue = 32794,
    CmdChannelsAlpha = 32795,
    CmdChannelsChecker = 32796,
    CmdSoundReplay = 32797,  // Space
    CmdSoundStopAll = 32798, // Shift+Space
    // Batch export of the whole list or of the lines listed.
    CmdExportAll = 32800,
    CmdExportListed = 32801,
    // Export forms other programs read.
    CmdExportPng = 32802,     // textures
    CmdExportGltf = 32803,    // models: .glb or .gltf by the name chosen
    CmdExportObjMtl = 32804,  // models: .obj with dkexport.mtl and textures/
    CmdExportWav = 32805,     // sounds
    // The preview's zoom, level and framing, and the view saved as a picture.
    CmdViewZoomIn = 32810,
    CmdViewZoomOut = 32811,
    CmdViewActualSize = 32812,
    CmdViewFit = 32813,
    CmdViewMipLarger = 32814,   // [
    CmdViewMipSmaller = 32815,  // ]
    CmdViewFrameModel = 32816,  // F
    CmdViewSaveImage = 32817,
    // Editing the open archive: edits wait in a log until File > Save writes them.
    CmdFileSave = 32840,
    CmdFileSaveAs = 32841,
    CmdEditReplace = 32842,
    CmdEditAddFiles = 32843,
    CmdEditRemove = 32844,
    CmdEditRename = 32845,
    CmdEditUndo = 32846,
    CmdEditRedo = 32847,   // Ctrl+Y
    CmdAccelRedo = 32848,  // Ctrl+Shift+Z, the other usual key of Redo
    // A folder of archives at once, and the tree.
    CmdFileOpenFolder = 32850,
    CmdViewAsTree = 32851,
    CmdViewLookEverywhere = 32852,
    CmdEditUsedBy = 32853,  // what names the selected entry
    // An entry edited in the user's own programs, the clipboard, and the programs chosen.
    CmdEditExternally = 32880,  // Ctrl+E
    CmdEditCopy = 32881,        // Ctrl+C
    CmdEditPaste = 32882,       // Ctrl+V
    CmdEditPreferences = 32883,
    CmdFileMods = 32858,  // the Mods window of the open game folder
    // The listed entries as a grid of thumbnails, and the thumbnails' side.
    CmdViewAsGallery = 32854,
    CmdViewThumbs64 = 32855,
    CmdViewThumbs128 = 32856,
    CmdViewThumbs256 = 32857,
};

// A place that names an entry, as Edit > "Used By..." lists it.
struct UsedByLine {
    int32_t archive = -1;  // the folder's archive (its place in viewer.session.tree); -1: the open archive
    int32_t slot = -1;     // the entry that names it, in that archive's index
    std::string text;      // the line shown
};

// The answer to "Save changes to NAME.PAK?".
enum class SaveChoice { Save, Discard, Cancel };

constexpr int kFrameTimerId = 1027;
constexpr int kFrameTimerMs = 10;  // 0 would spin a core on GTK without painting

// What Export > "Export &All..." and "Export &Listed..." ask for.
struct BatchExportRequest {
    std::string folder;
    int form = 0;            // index into the offered forms
    bool overwrite = false;  // replace files that exist
};

// The state of a long job as the window shows it.
struct JobProgress {
    size_t done = 0, total = 0;
    std::string current;  // the entry line being handled
};
using JobProgressSink = std::function<void(const JobProgress &)>;
using WindowJob = std::function<void(const JobProgressSink &progress, const std::atomic<bool> &cancel)>;

// What the sound bar shows of the selected sound.
struct SoundBarView {
    double position = 0, length = 0;  // seconds
    bool playing = false;             // the button offers Stop rather than Play
    bool canPlay = true;              // false without an audio device
    bool operator==(const SoundBarView &) const = default;
};

// What View > "Save View As &PNG..." asks for beside the file name.
struct ViewImageChoice {
    int scale = 1;             // 1, 2 or 4 times the view's size
    bool transparent = false;  // alpha 0 where nothing is drawn
};

struct ControlRect {
    int x = 0, y = 0, width = 0, height = 0;  // client pixels of the main window
    bool operator==(const ControlRect &) const = default;
};

// What a save or open dialog asks for. `filter` is in the "desc|pattern|..." form.
struct FileDialogRequest {
    std::string filter;
    std::string defaultExtension;  // ".raw"; empty for none
    bool save = false;
    bool overwritePrompt = false;
    // A name offered in the save dialog (bytes as the archive holds them).
    std::string proposedName;
    // An archive is chosen (File > Open, Save As): the dialog starts where the
    // last archive was. Other open dialogs start where the last files were
    // imported from, other save dialogs where the last files were exported to.
    bool archive = false;
    // When set, the dialog also offers the picture's size and background,
    // starting from this choice, and leaves the user's choice here.
    ViewImageChoice *imageChoice = nullptr;
};

class ViewerWindow {
public:
    virtual ~ViewerWindow() = default;

    // Controls
    virtual bool ControlExists(ControlId id) const = 0;
    virtual void SetLabel(ControlId id, const std::string &text) = 0;
    virtual std::string GetLabel(ControlId id) const = 0;
    virtual void ShowControl(ControlId id, bool show) = 0;
    virtual bool IsControlShown(ControlId id) const = 0;
    virtual ControlRect GetControlRect(ControlId id) const = 0;
    virtual void ResizeControl(ControlId id, int width, int height) = 0;  // keeps its position
    virtual void MoveControl(ControlId id, int x, int y) = 0;            // keeps its size
    virtual void GetClientSize(int &width, int &height) const = 0;

    // The text view's content (shown up to its first NUL).
    virtual void SetTextView(const std::string &text) = 0;

    // "&Play on click"
    virtual bool IsPlayOnClickChecked() const = 0;
    virtual void SetPlayOnClickChecked(bool checked) = 0;

    // Entry list: one line per pointer; the texts stay valid until the list is
    // emptied or refilled.
    virtual void SetEntryLines(std::vector<const char *> lines) = 0;
    virtual int GetEntrySelection() const = 0;  // -1 when none
    virtual std::string GetEntryLineText(int line) const = 0;
    // Selects a line (-1: none) without running the selection handler.
    virtual void SetEntrySelection(int) {}

    virtual void ClearSurfaceList() = 0;
    // Rows of the surface list (multiple selection), appended in order by the
    // model's preparation; whether row `row` is selected (hidden surface).
    virtual void AddSurfaceRow(const std::string &) {}
    virtual bool IsSurfaceRowSelected(int) const { return false; }

    // The find bar: empties its text and sets its kind choice to every kind;
    // puts the keyboard focus into its text.
    virtual void ResetFindBar() {}
    virtual void FocusFindBar() {}
    // Gives the keyboard focus to the entry list.
    virtual void FocusEntryList() {}

    // Status bar under the window: field 0 the selected entry's details, field 1 the list's count,
    // field 2 the texture preview's zoom and shown level (there only while it holds text).
    virtual void SetStatusField(int, const std::string &) {}

    // The sound bar's position, length and button (IdSoundBar).
    virtual void SetSoundBar(const SoundBarView &) {}

    // The hex view shows `*bytes` (read whenever it draws, so it never holds
    // on to a buffer that was released); null shows nothing.
    virtual void SetHexBytes(const std::vector<uint8_t> *) {}

    // Menu
    virtual void EnableMenuItem(Command command, bool enable) = 0;
    virtual bool IsMenuItemEnabled(Command command) const = 0;
    virtual void CheckMenuItem(Command command, bool check) = 0;

    // Timer `kFrameTimerId`
    virtual void StartFrameTimer(int intervalMs) = 0;
    virtual void StopFrameTimer() = 0;

    // Modal dialogs. The file dialogs give false when cancelled.
    virtual bool AskFileName(const FileDialogRequest &request, std::string &path) = 0;
    virtual void ShowMessage(const std::string &text) = 0;
    virtual void RunAboutBox() = 0;
    virtual void RunDumpDialog() = 0;  // calls BinText_OnOk when OK is pressed
    // Edit Externally, Copy, Paste, Preferences, File > Mods and the gallery:
    // the programs, the clipboard, the watched files, the Mods window and the
    // thumbnails are the real window's alone.
    virtual void RunWindowCommand(int) {}

    // Asks for the folder, one of `forms` and Overwrite of a batch export;
    // false when cancelled.
    virtual bool AskBatchExport(const std::vector<std::string> &forms, BatchExportRequest &request)
    {
        (void)forms, (void)request;
        return false;
    }
    // Runs `job` with a progress dialog (entries done of total, the current
    // name, Cancel that sets `cancel`) while the window stays responsive;
    // returns once the job has ended. `progress` may be called from another
    // thread. Without a dialog the job simply runs.
    virtual void RunJob(const WindowJob &job)
    {
        std::atomic<bool> cancel{false};
        job([](const JobProgress &) {}, cancel);
    }
    // An archive or a folder was accepted as the open one (File > Open, or another way in).
    virtual void NoteOpenedArchive(const std::string &) {}

    // The tree of viewer.session.tree in the entry list's place (folder mode, View >
    // As Tree): shown instead of the list, or the list again.
    virtual void ShowEntryTree(bool) {}
    // viewer.session.tree was replaced: the tree shows it afresh, every node closed.
    virtual void ResetEntryTree() {}
    // The tree's entries are drawn again (their edit marks changed).
    virtual void RefreshEntryTree() {}
    // The tree's selected item (an ArchiveTree item); 0 when none.
    virtual uint64_t GetTreeSelection() const { return 0; }
    // File > "Open &Folder...": asks for a folder; false when cancelled.
    virtual bool AskFolderName(std::string &) { return false; }
    // ---- editing the archive ----
    // Asks `question` with Save, Discard and Cancel.
    virtual SaveChoice AskSaveChanges(const std::string &) { return SaveChoice::Cancel; }
    // Asks `question` with Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string &) { return false; }
    // An open dialog that takes several files; false when cancelled.
    virtual bool AskFileNames(const FileDialogRequest &, std::vector<std::string> &) { return false; }
    // Asks for one line of text, offering `text`; false when cancelled.
    virtual bool AskText(const std::string &, const std::string &, std::string &) { return false; }
    // The title tells whether anything waits for a save.
    virtual void ShowUnsaved(bool) {}
    // RunJob under a progress dialog of that title.
    virtual void RunTitledJob(const std::string &, const WindowJob &job) { RunJob(job); }
    // Shows the places beside the window under `title`; choosing one selects its entry.
    virtual void ShowUsedBy(const std::string &, std::vector<UsedByLine>) {}

    // The gallery stands in the right-hand pane: the previews stay hidden.
    virtual bool IsGalleryShown() const { return false; }

    // Ends the main window with the given result (1 OK, 2 Cancel).
    virtual void EndMainDialog(int result) = 0;
};
