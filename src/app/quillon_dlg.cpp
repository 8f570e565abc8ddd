// The main window on wxWidgets: a frame whose panel holds the controls at
// their dialog-unit positions. It forwards every event to the
// handlers of main_dialog.h and implements ViewerWindow for them.
#include "base/ascii.h"
#include "app/quillon_dlg.h"
#include "app/mods_dialog.h"
#include "app/app_local.h"
#include "app/app_texts.h"
#include "app/command_table.h"
#include "app/dialogs.h"
#include "app/display_text.h"
#include "app/entry_list_ctrl.h"
#include "app/entry_tree_ctrl.h"
#include "app/find_contents_bar.h"
#include "app/external_edit.h"
#include "app/folder_mode.h"
#include "app/gallery_panel.h"
#include "gameset/gameset.h"
#include "app/gl_canvas.h"
#include "app/hex_view.h"
#include "app/list_sash.h"
#include "app/open_archive.h"
#include "app/sound_bar.h"
#include "app/view_image_choice.h"
#include "session/archive_tree.h"

#include <wx/accel.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dirdlg.h>
#include <wx/display.h>
#include <wx/dnd.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/iconbndl.h>
#include <wx/listbox.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <chrono>
#include <optional>

namespace {

// The kind each line of the find bar's kind choice narrows the list to: -1
// ("All kinds") first, then every kind at the place its row gives.
std::vector<int> FindChoiceKinds()
{
    std::vector<int> kinds(KindCount + 1, -1);
    for (int kind = 0; kind < KindCount; ++kind)
        kinds[kResourceKinds[kind].findPlace] = kind;
    return kinds;
}

// Files dropped on the window open as File > Open opens its choice.
class ArchiveDropTarget : public wxFileDropTarget {
public:
    explicit ArchiveDropTarget(CQuillonDlg *frame) : frame_(frame) {}
    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString &files) override
    {
        if (files.empty())
            return false;
        // Shown after the drop has ended, so that a refusal's message box
        // does not hold the dragging application.
        const std::string path = App_PathFromWx(files[0]);
        frame_->CallAfter([frame = frame_, path] { frame->OpenPath(path); });
        return true;
    }

private:
    CQuillonDlg *frame_;
};

// Files dropped on the entry list's lines are edits of the open archive: on
// a line they replace its entry, below the lines they are added. An archive
// or a folder dropped there opens, as anywhere on the window.
class EntryDropTarget : public wxFileDropTarget {
public:
    explicit EntryDropTarget(CQuillonDlg *frame) : frame_(frame) {}
    bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString &files) override
    {
        if (files.empty())
            return false;
        std::vector<std::string> paths;
        for (const wxString &file : files)
            paths.push_back(App_PathFromWx(file));
        int flags = 0;
        const long line = frame_->EntryList()->HitTest(wxPoint(x, y), flags);
        frame_->CallAfter([frame = frame_, paths, line] {
            const std::string &first = paths.front();
            const bool archive = Gameset_IsFolder(first) || wxFileName(App_PathToWx(first)).GetExt().Lower() == "pak";
            if (archive || !App_DropOnList(*frame, paths, static_cast<int>(line)))
                frame->OpenPath(first);
        });
        return true;
    }

private:
    CQuillonDlg *frame_;
};

// Whether a key press is the plain key `name` of a command row: "Space",
// "Shift+Space", "Escape" or one character.
bool PlainKeyIs(const char *name, int key, int modifiers)
{
    std::string rest = name;
    int wanted = wxMOD_NONE;
    if (rest.rfind("Shift+", 0) == 0) {
        wanted = wxMOD_SHIFT;
        rest.erase(0, 6);
    }
    const int code = rest == "Space" ? WXK_SPACE : rest == "Escape" ? WXK_ESCAPE : rest.size() == 1 ? rest[0] : 0;
    return code != 0 && key == code && modifiers == wanted;
}

// The main window's client area, in dialog units: the controls end at x 412 and y 254.
constexpr int kTemplateWidth = 419;
constexpr int kTemplateHeight = 261;

}  // namespace

CQuillonDlg::CQuillonDlg()
    : wxFrame(nullptr, wxID_ANY, kAppName, wxDefaultPosition, wxDefaultSize,
              wxDEFAULT_FRAME_STYLE | wxTAB_TRAVERSAL),
      timer_(this, kFrameTimerId)
{
    SetIcons(App_IconBundle());
    SetFont(App_TemplateFont(this));
    panel_ = new wxPanel(this, wxID_ANY);
    CreateControls();
    CreateFindBar();
    CreateMenu();
    // Under the panel, which keeps the template's client size.
    CreateStatusBar(2);
    const int statusWidths[2] = {-5, -2};
    SetStatusWidths(2, statusWidths);
    SetStatusBarPane(-1);  // the details stay while a menu is open: its items have no help text

    SetAcceleratorTable(App_MakeAccelerators());

    Bind(wxEVT_MENU, &CQuillonDlg::OnMenu, this, App_FirstCommandWxId(), App_LastCommandWxId());
    Bind(wxEVT_MENU, &CQuillonDlg::OnRecent, this, wxID_FILE1, wxID_FILE1 + kRecentArchives - 1);
    Bind(wxEVT_BUTTON, &CQuillonDlg::OnMenu, this, IdOk, IdCancel);
    Bind(wxEVT_CHAR_HOOK, &CQuillonDlg::OnCharHook, this);
    // A menu open from the bar takes the keys: its Escape closes only the menu.
    Bind(wxEVT_MENU_OPEN, [this](wxMenuEvent &event) {
        menusOpen_ += event.GetMenu() && !event.IsPopup();
        event.Skip();
    });
    Bind(wxEVT_MENU_CLOSE, [this](wxMenuEvent &event) {
        menusOpen_ = std::max(0, menusOpen_ - (event.GetMenu() && !event.IsPopup()));
        event.Skip();
    });
    Bind(wxEVT_CLOSE_WINDOW, &CQuillonDlg::OnClose, this);
    // A help request opens the About box and counts as handled.
    Bind(wxEVT_HELP, [this](wxHelpEvent &) { RunAboutBox(); });
    Bind(wxEVT_TIMER, [this](wxTimerEvent &) { OnTimerTick(); }, kFrameTimerId);
    panel_->Bind(wxEVT_SIZE, &CQuillonDlg::OnPanelSize, this);
    // Moves over the view and over the window's free area reach the mouse handler.
    panel_->Bind(wxEVT_MOTION, &CQuillonDlg::OnViewMouse, this);
    glView_->Bind(wxEVT_MOTION, &CQuillonDlg::OnViewMouse, this);
    glView_->Bind(wxEVT_MOUSEWHEEL, [this](wxMouseEvent &event) {
        if (ended_ || event.GetWheelAxis() != wxMOUSE_WHEEL_VERTICAL || event.GetWheelDelta() <= 0)
            return;
        // Whole notches only; a touchpad's small steps add up until they make one.
        wheelRotation_ += event.GetWheelRotation();
        const int notches = wheelRotation_ / event.GetWheelDelta();
        wheelRotation_ -= notches * event.GetWheelDelta();
        // The view draws in the screen's pixels.
        App_OnViewWheel(notches, static_cast<int>(event.GetX() * R_ViewScale()),
                        static_cast<int>(event.GetY() * R_ViewScale()));
    });
    // A released button ends its drag at once, so that frames stop with it.
    for (wxWindow *w : {static_cast<wxWindow *>(panel_), static_cast<wxWindow *>(glView_)}) {
        w->Bind(wxEVT_LEFT_UP, &CQuillonDlg::OnViewMouse, this);
        w->Bind(wxEVT_RIGHT_UP, &CQuillonDlg::OnViewMouse, this);
    }
    entryList_->Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent &) {
        if (!quietSelection_)
            OnSelchangeEntryList(*this);
    });
    entryList_->SetLineMarks([](long line) { return App_LineMark(line); });
    entryTree_->SetMarks([](uint64_t item) { return App_TreeMark(item); });
    if (wxWindow *lines = entryList_->LinesWindow())
        lines->Bind(wxEVT_LEFT_DOWN, &CQuillonDlg::OnEntryListClick, this);
    entryTree_->Bind(wxEVT_DATAVIEW_SELECTION_CHANGED, [this](wxDataViewEvent &) {
        if (!quietSelection_ && !ended_)
            OnSelchangeEntryList(*this);
    });
    findText_->Bind(wxEVT_TEXT, [this](wxCommandEvent &) { OnFindInput(); });
    findKind_->Bind(wxEVT_CHOICE, [this](wxCommandEvent &) { OnFindInput(); });
    // Every control that would take a dropped file as text takes it as an archive.
    for (wxWindow *w : std::initializer_list<wxWindow *>{this, panel_, textView_, findText_})
        w->SetDropTarget(new ArchiveDropTarget(this));
    if (wxWindow *lines = entryList_->LinesWindow())
        lines->SetDropTarget(new EntryDropTarget(this));

    // Two sets share names (every game folder has its GLOBAL.PAK): File >
    // Open Recent shows where each one is.
    recent_.SetMenuPathStyle(wxFH_PATH_SHOW_ALWAYS);
    App_LoadRecent(recent_);
    viewer.asTree = App_LoadAsTree();
    gallery_->SetThumbSize(App_LoadThumbSize());
    recentItem_->Enable(recent_.GetCount() > 0);
    surfaceList_->Bind(wxEVT_LISTBOX, [this](wxCommandEvent &) {
        if (viewer.services.model.ApplySurfaceHiding)
            viewer.services.model.ApplySurfaceHiding(viewer.preview, App_SelectedSurfaceRows(*this));
    });

    for (FilePlace place : {FilePlace::Archive, FilePlace::Import, FilePlace::Export})
        places_[int(place)] = App_LoadPlace(place);
    PlaceOnScreen();
    viewer.listWidening = App_LoadListWidening();
    App_AttachOutside(*this);
    InitMainDialog(*this);
}

// The window at the template's size, or where it was last time (its
// position and client size); either way within the work area of a screen
// that is there now.
void CQuillonDlg::PlaceOnScreen()
{
    SetClientSize(panel_->ConvertDialogToPixels(wxSize(kTemplateWidth, kTemplateHeight)));
    wxRect kept;
    bool maximized = false;
    const bool wasKept = App_LoadWindowRect(kept, maximized);
    int display = wasKept ? wxDisplay::GetFromPoint(kept.GetPosition() + kept.GetSize() / 2) : wxNOT_FOUND;
    if (display == wxNOT_FOUND)
        display = wxDisplay::GetFromWindow(this);
    const wxRect work = wxDisplay(display == wxNOT_FOUND ? 0u : unsigned(display)).GetClientArea();
    // A large font or a scaled screen can make the template larger than the screen.
    if (GetSize().x > work.width || GetSize().y > work.height)
        SetSize(std::min(GetSize().x, work.width), std::min(GetSize().y, work.height));
    if (!wasKept)
        return;
    // The menu bar, the status bar and the frame around the client area, as far as they are known now.
    const wxSize around = GetSize() - wxFrame::GetClientSize();
    const wxSize client(std::min(kept.width, work.width - around.x), std::min(kept.height, work.height - around.y));
    const wxPoint at(std::clamp(kept.x, work.x, std::max(work.x, work.GetRight() + 1 - client.x - around.x)),
                     std::clamp(kept.y, work.y, std::max(work.y, work.GetBottom() + 1 - client.y - around.y)));
    // Once the window is on the screen: before that, a window manager places
    // a new window itself when it comes larger than GTK first measured it.
    CallAfter([this, client, at, maximized] {
        if (ended_)
            return;
        SetClientSize(client);
        Move(at);
        if (maximized)
            Maximize();
    });
}

void CQuillonDlg::CreateFindBar()
{
    // One row where the list's first lines were: the text to find and the
    // kind to narrow to, as wide as the list.
    const ControlRect list = GetControlRect(IdEntryList);
    findBar_ = new wxPanel(panel_, IdFindBar, wxPoint(list.x, list.y), wxSize(list.width, -1));
    findText_ = new wxTextCtrl(findBar_, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxTE_PROCESS_ENTER);
    findText_->SetHint("Find");
    findKind_ = new wxChoice(findBar_, wxID_ANY);
    for (int kind : FindChoiceKinds())
        findKind_->Append(kind < 0 ? "All kinds" : kResourceKinds[kind].findLabel);
    findKind_->SetSelection(0);
    auto *row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(findText_, 1, wxALIGN_CENTER_VERTICAL);
    row->Add(findKind_, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 2);
    row = App_AddFindContents(*this, findBar_, row, controls_);
    findBar_->SetSizer(row);
    findBar_->SetSize(list.width, row->GetMinSize().y);
    findBar_->Layout();
    // Enter or Down in the text goes on to the list, at its first shown line.
    findText_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent &) { GoToFoundLines(); });
    findText_->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent &event) {
        if (event.GetKeyCode() == WXK_DOWN && event.GetModifiers() == wxMOD_NONE)
            GoToFoundLines();
        else
            event.Skip();
    });
    findBar_->Hide();
    controls_[IdFindBar] = findBar_;
}

CQuillonDlg::~CQuillonDlg()
{
    timer_.Stop();
    if (viewer.mainDialog == this)
        viewer.mainDialog = nullptr;
}

void CQuillonDlg::CreateControls()
{
    wxPanel *p = panel_;
    auto at = [p](int x, int y) { return p->ConvertDialogToPixels(wxPoint(x, y)); };
    auto size = [p](int w, int h) { return p->ConvertDialogToPixels(wxSize(w, h)); };

    auto *ok = new wxButton(p, IdOk, "OK", at(362, 7), size(50, 16));
    ok->Hide();
    ok->Disable();
    auto *cancel = new wxButton(p, IdCancel, "Cancel", at(362, 25), size(50, 16));
    cancel->Hide();

    entryList_ = new EntryListCtrl(p, IdEntryList, at(7, 16), size(121, 148));
    auto *fileLabel = new wxStaticText(p, IdFileLabel, "", at(7, 7), size(122, 8), wxST_NO_AUTORESIZE);
    auto *infoLine = new wxStaticText(p, IdInfoLine, "", at(133, 7), size(225, 8), wxST_NO_AUTORESIZE);
    glView_ = new GlCanvas(p, IdGlView, at(133, 16), size(279, 238));
    R_SetSurface(glView_);
    textView_ = new wxTextCtrl(p, IdTextView, "", at(133, 16), size(279, 238),
                               wxTE_MULTILINE | wxTE_DONTWRAP | wxHSCROLL | wxVSCROLL | wxBORDER_SUNKEN);
    playOnClick_ = App_FitHeight(new wxCheckBox(p, IdPlayOnClick, kPlayOnClick, at(133, 18), size(129, 8)));
    surfaceList_ = new wxListBox(p, IdSurfaceList, at(7, 176), size(121, 78), 0, nullptr,
                                 wxLB_MULTIPLE | wxLB_ALWAYS_SB | wxBORDER_SUNKEN);
    auto *surfaceLabel = new wxStaticText(p, IdSurfaceLabel, kSurfaceLabel, at(7, 167), size(104, 8));
    hexView_ = new HexViewCtrl(p, IdHexView, at(133, 16), size(279, 238));
    hexView_->Hide();
    soundBar_ = new SoundBar(p, IdSoundBar, at(133, 30), size(279, 0).x, *this);
    soundBar_->Hide();
    auto *sash = new ListSash(p, IdListSash, *this);
    entryTree_ = new EntryTreeCtrl(p, IdEntryTree, at(7, 16), size(121, 148), viewer.session.tree);
    entryTree_->Hide();
    gallery_ = new GalleryPanel(p, IdGallery, *this);
    gallery_->Hide();

    for (wxWindow *w : std::initializer_list<wxWindow *>{ok, cancel, entryList_, fileLabel, infoLine, glView_,
                                                         textView_, playOnClick_, surfaceList_, surfaceLabel,
                                                         hexView_, soundBar_, sash, entryTree_, gallery_})
        controls_[w->GetId()] = w;
}

void CQuillonDlg::CreateMenu()
{
    auto *recentMenu = new wxMenu;
    SetMenuBar(App_MakeMenuBar(recentMenu, recentItem_));
    recent_.UseMenu(recentMenu);
}

void CQuillonDlg::RunWindowCommand(int command)
{
    if (command == CmdFileMods)
        App_ShowModsDialog(this, *this);
    else if (!gallery_->OnCommand(command))
        App_OutsideCommand(*this, command);
}

void CQuillonDlg::OnMenu(wxCommandEvent &event)
{
    int command = event.GetEventType() == wxEVT_BUTTON ? event.GetId() : Command_FromWxId(event.GetId());
    if (command != 0 && !ended_)
        OnCommand(*this, command);
    if (command == CmdViewAsTree)
        App_SaveAsTree(viewer.asTree);
}

void CQuillonDlg::OnRecent(wxCommandEvent &event)
{
    const size_t index = static_cast<size_t>(event.GetId() - wxID_FILE1);
    if (index >= recent_.GetCount() || ended_)
        return;
    const wxString chosen = recent_.GetHistoryFile(index);
    // Asked before the open, so that a Cancel does not count as a refused file.
    if (!MayLeaveArchive())
        return;
    // One that is refused (moved, deleted) leaves the list.
    if (!OpenPath(App_PathFromWx(chosen)) && index < recent_.GetCount() &&
        recent_.GetHistoryFile(index) == chosen) {
        recent_.RemoveFileFromHistory(index);
        SaveRecent();
    }
}

void CQuillonDlg::SaveRecent()
{
    recentItem_->Enable(recent_.GetCount() > 0);
    App_SaveRecent(recent_);
}

bool CQuillonDlg::OpenPath(const std::string &path)
{
    if (ended_)
        return false;
    return Gameset_IsFolder(path) ? App_OpenFolder(*this, path) : OpenMainArchive(*this, path);
}

bool CQuillonDlg::SelectEntryNamed(const std::string &name)
{
    if (ended_)
        return false;
    if (entryTree_->IsShown()) {
        const TreeItem item = ArchiveTree_FindEntry(viewer.session.tree, name);
        if (item == 0)
            return false;
        entryTree_->Open(item & ~0xFFFFFFFFull);  // its archive's node
        entryTree_->SelectItem(item);
        OnSelchangeEntryList(*this);
        return true;
    }
    for (size_t line = 0; line < viewer.session.listedSlots.size(); ++line) {
        const PakEntry &entry = viewer.session.mainPak.entries[viewer.session.listedSlots[line]];
        if (Ascii_Equal(std::string_view(entry.name, strnlen(entry.name, sizeof entry.name)), name)) {
            SelectEntryLine(static_cast<int>(line));
            return true;
        }
    }
    return false;
}

void CQuillonDlg::NoteOpenedArchive(const std::string &path)
{
    // Kept whole, so that it opens again from wherever the viewer starts.
    wxFileName file(App_PathToWx(path));
    file.MakeAbsolute();
    recent_.AddFileToHistory(file.GetFullPath());
    SaveRecent();

    titlePath_ = file.GetFullPath();
    while (titlePath_.size() > 1 && wxFileName::IsPathSeparator(titlePath_.Last()))
        titlePath_.RemoveLast();  // a folder's name may end in its separator
    ShowTitle();
    // File > Open and Open Folder start where this one is: in a folder's
    // archives, or beside an archive.
    const wxString folder = wxDirExists(titlePath_) ? titlePath_ : wxFileName(titlePath_).GetPath();
    if (places_[int(FilePlace::Archive)] != folder) {
        places_[int(FilePlace::Archive)] = folder;
        App_SavePlace(FilePlace::Archive, folder);
    }
}

void CQuillonDlg::ShowEntryTree(bool shown)
{
    if (entryTree_->IsShown() == shown)
        return;
    entryTree_->Show(shown);
    entryList_->Show(!shown);
}

void CQuillonDlg::RefreshEntryTree()
{
    if (wxWindow *main = entryTree_->GetMainWindow())
        main->Refresh();
}

void CQuillonDlg::ResetEntryTree()
{
    entryTree_->Reset();
    gallery_->ListChanged();
}

uint64_t CQuillonDlg::GetTreeSelection() const
{
    return entryTree_->SelectedItem();
}

bool CQuillonDlg::AskFolderName(std::string &path)
{
    FileDialogRequest request;
    request.archive = true;
    wxDirDialog dialog(DialogParent(), "Open Folder", StartFolder(request), wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK)
        return false;
    path = App_PathFromWx(dialog.GetPath());
    return true;
}

void CQuillonDlg::OnFindInput()
{
    // Lines are archive bytes shown as Latin-1, so the text is matched as
    // Latin-1 too; a character that has no Latin-1 form can match nothing.
    const std::string text = App_Latin1Bytes(findText_->GetValue());
    const int choice = findKind_->GetSelection();
    const std::vector<int> kinds = FindChoiceKinds();
    const int kind = choice >= 0 && static_cast<size_t>(choice) < kinds.size() ? kinds[choice] : -1;
    OnFindChanged(*this, text, kind);
}

void CQuillonDlg::OnEntryListClick(wxMouseEvent &event)
{
    // A single-selection list box keeps its line when the click misses every
    // line, and tells of every click, also on the line already selected.
    int flags = 0;
    const long line = entryList_->HitTest(event.GetPosition(), flags);
    if (line < 0 || line == entryList_->Selection()) {
        entryList_->SetFocus();
        if (line >= 0 && !ended_)
            OnSelchangeEntryList(*this);
        return;  // the list's own handling would drop the selection or ignore the click
    }
    event.Skip();
}

// Whether the keyboard focus is in `area` or one of its children.
bool CQuillonDlg::FocusIn(const wxWindow *area) const
{
    for (const wxWindow *w = wxWindow::FindFocus(); w; w = w->GetParent())
        if (w == area)
            return true;
    return false;
}

void CQuillonDlg::OnCharHook(wxKeyEvent &event)
{
    if (ended_) {
        event.Skip();
        return;
    }
    const int key = event.GetKeyCode();
    const int modifiers = event.GetModifiers();
    if (key == WXK_ESCAPE && menusOpen_ > 0) {
        event.Skip();
        return;
    }
    // While the find bar is open Escape closes it, wherever the focus is (in
    // the list it would otherwise end the window and lose the filter); with
    // the bar closed it is the window's Cancel, by its row.
    if (key == WXK_ESCAPE && modifiers == wxMOD_NONE && findBar_->IsShown()) {
        OnFindClose(*this);
        return;
    }
    // The tree's toolkit would open a search box of its own on Ctrl+F.
    if (key == 'F' && modifiers == wxMOD_CONTROL && FocusIn(entryTree_)) {
        OnCommand(*this, CmdEditFind);
        return;
    }
    // The table's plain keys, in the areas where they type nothing.
    const bool inLines = FocusIn(entryList_) || FocusIn(entryTree_) || FocusIn(hexView_) || FocusIn(glView_);
    for (const CommandRow &row : App_CommandTable()) {
        const bool inArea = row.area == KeyArea::Anywhere || (row.area == KeyArea::Lines && inLines) ||
                            (row.area == KeyArea::View && FocusIn(glView_));
        if (*row.plainKey && inArea && PlainKeyIs(row.plainKey, key, modifiers)) {
            OnCommand(*this, row.id);
            return;
        }
    }
    if (key == WXK_SPACE && inLines)
        return;  // Ctrl+Space would take the list's selection away
    event.Skip();
}

void CQuillonDlg::OnClose(wxCloseEvent &event)
{
    if (ended_) {
        event.Skip();
        return;
    }
    OnCommand(*this, CmdCancel);
}

void CQuillonDlg::OnPanelSize(wxSizeEvent &event)
{
    event.Skip();
    const wxSize client = panel_->GetClientSize();
    LayoutControls(*this, client.x, client.y);
}

void CQuillonDlg::OnTimerTick()
{
    const auto start = std::chrono::steady_clock::now();
    // GTK makes a context current only on a view shown on screen: the view is
    // set up, or brought to the size it got while hidden, when it comes on screen.
    const bool onScreen = glView_->IsShownOnScreen();
    if (onScreen && !glViewOnScreen_ && viewer.services.render.Init) {
        const ControlRect view = GetControlRect(IdGlView);
        viewer.services.render.Init(view.width, view.height);
    }
    glViewOnScreen_ = onScreen;
    OnFrameTimer();

    // The next tick is due one interval after this one began. It is armed
    // afresh each time, at least 1 ms ahead, so that a frame slower than the
    // interval (a big view on a software renderer) never keeps the timer
    // permanently due: GTK paints and lays out only when nothing else is.
    if (timerIntervalMs_ > 0 && !ended_) {
        const auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        timer_.StartOnce(std::max(1, timerIntervalMs_ - static_cast<int>(spent.count())));
    }
}

void CQuillonDlg::OnViewMouse(wxMouseEvent &event)
{
    event.Skip();  // default processing follows
    if (ended_)
        return;
    wxPoint point = event.GetPosition();
    if (event.GetEventObject() == glView_)
        point += glView_->GetPosition();  // into the panel's client pixels
    int flags = 0;
    if (event.LeftIsDown() && event.GetEventType() != wxEVT_LEFT_UP)
        flags |= MouseLeft;
    if (event.RightIsDown() && event.GetEventType() != wxEVT_RIGHT_UP)
        flags |= MouseRight;
    if (event.ShiftDown())
        flags |= MouseShift;
    if (event.ControlDown())
        flags |= MouseControl;
    OnMouseMove(*this, viewer.preview, viewer.viewHidden, flags, point.x, point.y);
}

wxWindow *CQuillonDlg::Control(ControlId id) const
{
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

bool CQuillonDlg::ControlExists(ControlId id) const
{
    return Control(id) != nullptr;
}

void CQuillonDlg::SetLabel(ControlId id, const std::string &text)
{
    // File names and kind names are shown as they are, '&' included.
    if (auto *w = dynamic_cast<wxControl *>(Control(id)))
        w->SetLabelText(App_PathText(text));
}

std::string CQuillonDlg::GetLabel(ControlId id) const
{
    auto *w = dynamic_cast<wxControl *>(Control(id));
    return w ? std::string(w->GetLabelText().utf8_str()) : std::string();
}

void CQuillonDlg::ShowControl(ControlId id, bool show)
{
    wxWindow *w = Control(id);
    if (!w)
        return;
    if (id == IdGlView && show && !w->IsShown()) {
        // The view takes the area of the text or hex view, which it never
        // shows beside: they go first, and the panel paints the area at once,
        // before the view's own window covers it. Where GL presents nothing
        // (Wine on X, its virtual desktop too), a GL window keeps the pixels on
        // the screen under it, which are then the panel's, not the text's.
        bool uncovered = false;
        for (wxWindow *pane : {static_cast<wxWindow *>(textView_), static_cast<wxWindow *>(hexView_)})
            if (pane->IsShown()) {
                pane->Hide();
                uncovered = true;
            }
        if (uncovered)
            panel_->Update();
    }
    w->Show(show);
}

bool CQuillonDlg::IsControlShown(ControlId id) const
{
    wxWindow *w = Control(id);
    return w && w->IsShown();
}

ControlRect CQuillonDlg::GetControlRect(ControlId id) const
{
    wxWindow *w = Control(id);
    if (!w)
        return {};
    wxRect r = w->GetRect();
    return {r.x, r.y, r.width, r.height};
}

void CQuillonDlg::ResizeControl(ControlId id, int width, int height)
{
    if (wxWindow *w = Control(id))
        w->SetSize(wxSize(width, height));
    if (id == IdEntryList)  // the tree stands in the list's place
        entryTree_->SetSize(wxSize(width, height));
    if (id == IdGlView)  // and the gallery in the view's
        gallery_->SetSize(wxSize(width, height));
}

void CQuillonDlg::MoveControl(ControlId id, int x, int y)
{
    if (wxWindow *w = Control(id))
        w->Move(x, y);
    if (id == IdEntryList)
        entryTree_->Move(x, y);
    if (id == IdGlView)
        gallery_->Move(x, y);
}

void CQuillonDlg::GetClientSize(int &width, int &height) const
{
    const wxSize client = panel_->GetClientSize();
    width = client.x;
    height = client.y;
}

void CQuillonDlg::SetTextView(const std::string &text)
{
    textView_->ChangeValue(App_DisplayText(text));  // also puts the caret at the start
}

bool CQuillonDlg::IsPlayOnClickChecked() const
{
    return playOnClick_->GetValue();
}

void CQuillonDlg::SetPlayOnClickChecked(bool checked)
{
    playOnClick_->SetValue(checked);
}

void CQuillonDlg::SetEntryLines(std::vector<const char *> lines)
{
    entryList_->SetLines(std::move(lines));
    gallery_->ListChanged();
}

int CQuillonDlg::GetEntrySelection() const
{
    return static_cast<int>(entryList_->Selection());
}

std::string CQuillonDlg::GetEntryLineText(int line) const
{
    return entryList_->LineText(line);
}

void CQuillonDlg::SetEntrySelection(int line)
{
    quietSelection_ = true;
    const long selected = entryList_->Selection();
    if (line < 0 && selected >= 0)
        entryList_->SetItemState(selected, 0, wxLIST_STATE_SELECTED);
    if (line >= 0 && line < entryList_->GetItemCount()) {
        entryList_->SetItemState(line, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                                 wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        entryList_->EnsureVisible(line);
    }
    quietSelection_ = false;
}

void CQuillonDlg::ResetFindBar()
{
    findText_->ChangeValue("");
    findKind_->SetSelection(0);
}

void CQuillonDlg::FocusFindBar()
{
    findText_->SetFocus();
    findText_->SelectAll();
}

void CQuillonDlg::GoToFoundLines()
{
    FocusEntryList();
    // The list has no current line yet: a Down there would step past the first.
    if (!entryTree_->IsShown() && entryList_->GetItemCount() > 0 && !ended_)
        SelectEntryLine(0);
}

void CQuillonDlg::FocusEntryList()
{
    if (entryTree_->IsShown())
        entryTree_->SetFocus();
    else
        entryList_->SetFocus();
}

void CQuillonDlg::SetStatusField(int field, const std::string &text)
{
    wxStatusBar *bar = GetStatusBar();
    if (!bar || field < 0 || field > 2)
        return;
    // The preview's field is there only while it has something to say.
    if (field == 2 && (bar->GetFieldsCount() == 3) != !text.empty()) {
        const int widths[3] = {-5, -2, -3};
        bar->SetFieldsCount(text.empty() ? 2 : 3, widths);
    }
    const wxString shown = App_PathText(text);
    if (field < bar->GetFieldsCount() && bar->GetStatusText(field) != shown)
        SetStatusText(shown, field);
}

void CQuillonDlg::SetSoundBar(const SoundBarView &view)
{
    soundBar_->Set(view);
}

void CQuillonDlg::SetHexBytes(const std::vector<uint8_t> *bytes)
{
    hexView_->SetBytes(bytes);
}

void CQuillonDlg::SelectEntryLine(int line)
{
    entryList_->SetItemState(line, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                             wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    entryList_->EnsureVisible(line);
}

void CQuillonDlg::ClearSurfaceList()
{
    surfaceList_->Clear();
}

void CQuillonDlg::AddSurfaceRow(const std::string &text)
{
    surfaceList_->Append(App_PathText(text));
}

bool CQuillonDlg::IsSurfaceRowSelected(int row) const
{
    return row >= 0 && static_cast<unsigned>(row) < surfaceList_->GetCount() && surfaceList_->IsSelected(row);
}

void CQuillonDlg::EnableMenuItem(Command command, bool enable)
{
    GetMenuBar()->Enable(Command_ToWxId(command), enable);
}

bool CQuillonDlg::IsMenuItemEnabled(Command command) const
{
    return GetMenuBar()->IsEnabled(Command_ToWxId(command));
}

void CQuillonDlg::CheckMenuItem(Command command, bool check)
{
    GetMenuBar()->Check(Command_ToWxId(command), check);
}

void CQuillonDlg::StartFrameTimer(int intervalMs)
{
    timerIntervalMs_ = std::max(intervalMs, 1);
    timer_.StartOnce(timerIntervalMs_);
}

void CQuillonDlg::StopFrameTimer()
{
    timerIntervalMs_ = 0;
    timer_.Stop();
}

bool CQuillonDlg::AskFileName(const FileDialogRequest &request, std::string &path)
{
    long style = request.save ? wxFD_SAVE : wxFD_OPEN;
    if (request.overwritePrompt)
        style |= wxFD_OVERWRITE_PROMPT;
    const bool proposes = request.save && !request.proposedName.empty();
    wxFileDialog dialog(DialogParent(), request.save ? "Save As" : "Open", StartFolder(request),
                        proposes ? App_PathText(request.proposedName) : wxString(), request.filter, style);
    std::optional<ViewImageHook> imageHook;
    if (request.imageChoice)
        dialog.SetCustomizeHook(imageHook.emplace(*request.imageChoice));
    for (;;) {
        if (dialog.ShowModal() != wxID_OK)
            return false;
        wxString chosen = dialog.GetPath();
        // A name typed without an extension gets the default one, and an
        // existing file under that name is confirmed before it is replaced.
        if (request.save && !request.defaultExtension.empty() && !wxFileName(chosen).HasExt()) {
            chosen += request.defaultExtension;
            if (request.overwritePrompt && wxFileName::FileExists(chosen)) {
                wxString question = wxFileName(chosen).GetFullName() +
                                    " already exists.\nDo you want to replace it?";
                if (wxMessageBox(question, "Confirm Save As", wxYES_NO | wxICON_WARNING, DialogParent()) !=
                    wxYES) {
                    dialog.SetPath(chosen);
                    continue;
                }
            }
        }
        path = App_PathFromWx(chosen);
        NoteChosenFile(request, chosen);
        return true;
    }
}

static FilePlace PlaceOf(const FileDialogRequest &request)
{
    return request.archive ? FilePlace::Archive : request.save ? FilePlace::Export : FilePlace::Import;
}

wxString CQuillonDlg::StartFolder(const FileDialogRequest &request) const
{
    // The working directory, as the system dialog has it, until a place is
    // kept; a kept one that is gone (a removed drive) is passed over.
    const wxString &kept = places_[int(PlaceOf(request))];
    return !kept.empty() && wxDirExists(kept) ? kept : wxGetCwd();
}

void CQuillonDlg::NoteChosenFile(const FileDialogRequest &request, const wxString &path)
{
    // An archive's place is where it opened (NoteOpenedArchive), whichever way it came.
    const FilePlace place = PlaceOf(request);
    wxFileName file(path);
    file.MakeAbsolute();
    if (place == FilePlace::Archive || places_[int(place)] == file.GetPath())
        return;
    places_[int(place)] = file.GetPath();
    App_SavePlace(place, file.GetPath());
}

void CQuillonDlg::ShowMessage(const std::string &text)
{
    // Messages quote paths, in the file system's encoding.
    wxMessageBox(App_PathText(text), kAppName, wxOK | wxICON_NONE, DialogParent());
}

void CQuillonDlg::RunAboutBox()
{
    CAboutDlg about(DialogParent());
    about.ShowModal();
}

void CQuillonDlg::RunDumpDialog()
{
    CBinTextDlg dump(this, *this);
    dialogParent_ = &dump;
    dump.ShowModal();
    dialogParent_ = nullptr;
}

bool CQuillonDlg::AskBatchExport(const std::vector<std::string> &forms, BatchExportRequest &request)
{
    request.folder = lastBatchFolder_;
    const bool chosen = App_AskBatchExport(DialogParent(), "Export", forms, request);
    if (chosen && !request.folder.empty()) {
        lastBatchFolder_ = request.folder;
        // The single exports that follow start in that folder.
        FileDialogRequest exported;
        exported.save = true;
        NoteChosenFile(exported, App_PathToWx(request.folder) + wxFileName::GetPathSeparator());
    }
    return chosen;
}

void CQuillonDlg::RunJob(const WindowJob &job)
{
    App_RunJobDialog(DialogParent(), "Exporting", job);
}

void CQuillonDlg::EndMainDialog(int result)
{
    ended_ = true;
    result_ = result;
    timer_.Stop();
    // The next window opens where this one was; a maximized one keeps its
    // size from before as the size it comes back to.
    wxRect kept(GetPosition(), wxFrame::GetClientSize());
    bool wasMaximized = false;
    if (IsMaximized())
        App_LoadWindowRect(kept, wasMaximized);
    if (!IsIconized())
        App_SaveWindowRect(kept, IsMaximized());
    Destroy();
}
