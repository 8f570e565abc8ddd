// The wx side of the viewer: the main window (a wxFrame with a panel that
// holds its controls). A menu command runs from its row of the command
// table; the other events go to the handlers of main_dialog.h, which change
// the window through ViewerWindow.
#pragma once

#include "app/main_dialog.h"
#include "app/settings.h"

#include <wx/filehistory.h>
#include <wx/frame.h>
#include <wx/timer.h>

#include <unordered_map>

class wxPanel;
class wxListBox;
class wxCheckBox;
class wxTextCtrl;
class wxStaticText;
class wxChoice;
class EntryListCtrl;
class EntryTreeCtrl;
class GalleryPanel;
class GlCanvas;
class HexViewCtrl;
class SoundBar;

class CQuillonDlg : public wxFrame, public ViewerWindow {
public:
    CQuillonDlg();
    ~CQuillonDlg() override;

    // ViewerWindow
    bool ControlExists(ControlId id) const override;
    void SetLabel(ControlId id, const std::string &text) override;
    std::string GetLabel(ControlId id) const override;
    void ShowControl(ControlId id, bool show) override;
    bool IsControlShown(ControlId id) const override;
    ControlRect GetControlRect(ControlId id) const override;
    void ResizeControl(ControlId id, int width, int height) override;
    void MoveControl(ControlId id, int x, int y) override;
    void GetClientSize(int &width, int &height) const override;
    void SetTextView(const std::string &text) override;
    bool IsPlayOnClickChecked() const override;
    void SetPlayOnClickChecked(bool checked) override;
    void SetEntryLines(std::vector<const char *> lines) override;
    int GetEntrySelection() const override;
    std::string GetEntryLineText(int line) const override;
    void SetEntrySelection(int line) override;
    void ResetFindBar() override;
    void FocusFindBar() override;
    void FocusEntryList() override;
    void SetStatusField(int field, const std::string &text) override;
    void SetHexBytes(const std::vector<uint8_t> *bytes) override;
    void SetSoundBar(const SoundBarView &view) override;
    void NoteOpenedArchive(const std::string &path) override;
    void ShowEntryTree(bool shown) override;
    void ResetEntryTree() override;
    void RefreshEntryTree() override;
    uint64_t GetTreeSelection() const override;
    bool AskFolderName(std::string &path) override;
    void ClearSurfaceList() override;
    void AddSurfaceRow(const std::string &text) override;
    bool IsSurfaceRowSelected(int row) const override;
    void EnableMenuItem(Command command, bool enable) override;
    bool IsMenuItemEnabled(Command command) const override;
    void CheckMenuItem(Command command, bool check) override;
    void StartFrameTimer(int intervalMs) override;
    void StopFrameTimer() override;
    bool AskFileName(const FileDialogRequest &request, std::string &path) override;
    void ShowMessage(const std::string &text) override;
    void RunAboutBox() override;
    void RunDumpDialog() override;
    void RunWindowCommand(int command) override;
    bool AskBatchExport(const std::vector<std::string> &forms, BatchExportRequest &request) override;
    void RunJob(const WindowJob &job) override;
    void EndMainDialog(int result) override;
    // Editing the archive (edit_window.cpp).
    SaveChoice AskSaveChanges(const std::string &question) override;
    bool AskYesNo(const std::string &question) override;
    bool AskFileNames(const FileDialogRequest &request, std::vector<std::string> &paths) override;
    bool AskText(const std::string &title, const std::string &prompt, std::string &text) override;
    void ShowUnsaved(bool unsaved) override;
    void RunTitledJob(const std::string &title, const WindowJob &job) override;
    // Edit > "Used By..." (used_by_dialog.cpp).
    void ShowUsedBy(const std::string &title, std::vector<UsedByLine> lines) override;
    bool IsGalleryShown() const override;

    // Whether the open archive may be replaced or closed: asks to save
    // edits that wait. Every way of opening another archive asks it first.
    bool MayLeaveArchive();

    // Parts that tests and the benchmark reach directly.
    wxWindow *Control(ControlId id) const;
    EntryListCtrl *EntryList() const { return entryList_; }
    EntryTreeCtrl *EntryTree() const { return entryTree_; }
    GalleryPanel *Gallery() const { return gallery_; }
    HexViewCtrl *HexView() const { return hexView_; }
    SoundBar *SoundBarCtrl() const { return soundBar_; }
    wxTextCtrl *FindText() const { return findText_; }
    wxChoice *FindKind() const { return findKind_; }
    wxFileHistory &RecentArchives() { return recent_; }
    wxPanel *Panel() const { return panel_; }
    bool HasEnded() const { return ended_; }
    int Result() const { return result_; }
    // Parent of the modal dialogs opened now: the dump dialog while it runs.
    wxWindow *DialogParent() const { return dialogParent_ ? dialogParent_ : const_cast<CQuillonDlg *>(this); }

    // The folder a file dialog for `request` starts in (the working directory
    // until one is kept), and the noting of the file chosen in it: the
    // dialogs run here and the tests' answers both note what was chosen.
    wxString StartFolder(const FileDialogRequest &request) const;
    void NoteChosenFile(const FileDialogRequest &request, const wxString &path);

    // Selects a line of the entry list as a click does (selection event included).
    void SelectEntryLine(int line);

    // Opens an archive or a folder named on the command line, dropped on the
    // window or picked from the recent ones, as File > Open or Open Folder
    // do after their dialogs.
    bool OpenPath(const std::string &path);
    // Selects and previews the stored entry `name` (case ignored) as a click
    // would: in the tree, in the first archive that holds it; otherwise in
    // the list. False when no shown archive holds it.
    bool SelectEntryNamed(const std::string &name);

private:
    void CreateControls();
    void CreateFindBar();
    void CreateMenu();
    void OnMenu(wxCommandEvent &event);
    void OnRecent(wxCommandEvent &event);
    void SaveRecent();
    void OnFindInput();
    void GoToFoundLines();
    void OnEntryListClick(wxMouseEvent &event);
    bool FocusIn(const wxWindow *area) const;
    void OnCharHook(wxKeyEvent &event);
    void OnClose(wxCloseEvent &event);
    void OnPanelSize(wxSizeEvent &event);
    void OnTimerTick();
    void OnViewMouse(wxMouseEvent &event);
    void PlaceOnScreen();
    void ShowTitle();

    wxPanel *panel_ = nullptr;
    EntryListCtrl *entryList_ = nullptr;
    EntryTreeCtrl *entryTree_ = nullptr;
    GalleryPanel *gallery_ = nullptr;
    wxTextCtrl *textView_ = nullptr;
    wxCheckBox *playOnClick_ = nullptr;
    wxListBox *surfaceList_ = nullptr;
    GlCanvas *glView_ = nullptr;
    HexViewCtrl *hexView_ = nullptr;
    SoundBar *soundBar_ = nullptr;
    wxPanel *findBar_ = nullptr;
    wxTextCtrl *findText_ = nullptr;
    wxChoice *findKind_ = nullptr;
    bool quietSelection_ = false;  // a selection made by the handlers themselves: no handler runs
    wxFileHistory recent_{kRecentArchives};
    wxMenuItem *recentItem_ = nullptr;  // File > "Open &Recent"
    bool glViewOnScreen_ = false;  // as of the last tick
    std::unordered_map<int, wxWindow *> controls_;
    wxTimer timer_;
    int timerIntervalMs_ = 0;  // 0 while the frame timer is stopped
    wxWindow *dialogParent_ = nullptr;
    std::string lastBatchFolder_;  // offered again by the next batch export
    wxString places_[3];           // by FilePlace: where the file dialogs start; empty: the working directory
    wxString titlePath_;           // the open archive or folder, named in the title
    bool unsaved_ = false;         // the title's mark of edits not yet saved
    int menusOpen_ = 0;  // menus of the bar open now (a submenu counts on its own)
    bool ended_ = false;
    int wheelRotation_ = 0;  // wheel turns not yet a whole notch
    int result_ = 0;
};
