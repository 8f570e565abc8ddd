// The main window on wxWidgets: a frame whose panel holds the controls at
// their dialog-unit positions. It forwards every event to the
// handlers of main_dialog.h and implements ViewerWindow for them.
#include "app/quillon_dlg.h"
#include "app/app_texts.h"
#include "app/dialogs.h"
#include "app/entry_list_ctrl.h"
#include "app/gl_canvas.h"
#include "app/hex_view.h"

#include <wx/accel.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dnd.h>
#include <wx/fileconf.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/iconbndl.h>
#include <wx/listbox.h>
#include <wx/log.h>
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

namespace {

struct CommandId {
    int command;
    int wxId;
};

// Every command's wx id, below wx's limit of 0x7FFF and clear of its stock ids.
constexpr CommandId kCommandIds[] = {
    {CmdExit, wxID_HIGHEST + 1},
    {CmdCancel, wxID_HIGHEST + 2},
    {CmdFileOpen, wxID_HIGHEST + 3},
    {CmdAbout, wxID_HIGHEST + 4},
    {CmdExportRaw, wxID_HIGHEST + 5},
    {CmdExportInterpreted, wxID_HIGHEST + 6},
    {CmdAccelRaw, wxID_HIGHEST + 7},
    {CmdAccelInterpreted, wxID_HIGHEST + 8},
    {CmdAccelHelp, wxID_HIGHEST + 9},
    {CmdExportDump, wxID_HIGHEST + 10},
    {CmdViewModels, wxID_HIGHEST + 11},
    {CmdViewSurfaces, wxID_HIGHEST + 12},
    {CmdViewTextures, wxID_HIGHEST + 13},
    {CmdViewMaterials, wxID_HIGHEST + 14},
    {CmdViewXml, wxID_HIGHEST + 15},
    {CmdViewOther, wxID_HIGHEST + 16},
    {CmdViewModelMaterials, wxID_HIGHEST + 17},
    {CmdEditFind, wxID_HIGHEST + 18},
    {CmdChannelsRgba, wxID_HIGHEST + 19},
    {CmdChannelsRed, wxID_HIGHEST + 20},
    {CmdChannelsGreen, wxID_HIGHEST + 21},
    {CmdChannelsBlue, wxID_HIGHEST + 22},
    {CmdChannelsAlpha, wxID_HIGHEST + 23},
    {CmdChannelsChecker, wxID_HIGHEST + 24},
    {CmdSoundReplay, wxID_HIGHEST + 25},
    {CmdSoundStopAll, wxID_HIGHEST + 26},
    {CmdExportAll, wxID_HIGHEST + 27},
    {CmdExportListed, wxID_HIGHEST + 28},
    {CmdExportPng, wxID_HIGHEST + 29},
    {CmdExportGltf, wxID_HIGHEST + 30},
    {CmdExportObjMtl, wxID_HIGHEST + 31},
    {CmdExportWav, wxID_HIGHEST + 32},
};
constexpr int kFirstCommandWxId = wxID_HIGHEST + 1;
constexpr int kLastCommandWxId = wxID_HIGHEST + 28;

// The find bar's kind choice: its labels and the kinds they narrow the list to.
struct FindKindChoice {
    const char *label;
    int kind;  // -1: every kind
};
constexpr FindKindChoice kFindKinds[] = {
    {"All kinds", -1},        {"Textures", KindTexture},
    {"Models", KindModel},    {"Materials", KindMaterial},
    {"XML", KindXml},         {"Text", KindText},
    {"Sounds", KindOggVorbis}, {"Effects", KindEffectMedia},
    {"Characters", KindCharacterData}, {"Other media", KindUnknownMedia},
    {"Unknown", KindUnknown},
};

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

// The main window's client area, in dialog units: the controls end at x 412 and y 254.
constexpr int kTemplateWidth = 419;
constexpr int kTemplateHeight = 261;

// Resource text as the text view shows it: UTF-8 when it is valid, otherwise
// single-byte Latin-1 (the resources are ANSI text). GTK breaks a line at a
// lone CR as well as at LF, so the CR put before each LF is dropped here.
// Plain ASCII, the usual case, is widened in one pass: a 1 MiB text must reach
// the view within a few milliseconds.
wxString DisplayText(const std::string &text)
{
    const size_t n = text.size();
    auto dropped = [&](size_t i) {
        return text[i] == '\r' && i + 1 < n && (text[i + 1] == '\n' || text[i + 1] == '\r');
    };
    bool ascii = true;
    for (unsigned char c : text)
        ascii &= c < 0x80;
    wxString shown;
    if (ascii) {
        wxStringBufferLength buffer(shown, n);
        wchar_t *out = buffer;
        size_t length = 0;
        for (size_t i = 0; i < n; ++i)
            if (!dropped(i))
                out[length++] = static_cast<wchar_t>(text[i]);
        buffer.SetLength(length);
        return shown;
    }
    std::string lines;
    lines.reserve(n);
    for (size_t i = 0; i < n; ++i)
        if (!dropped(i))
            lines += text[i];
    shown = wxString::FromUTF8(lines.data(), lines.size());
    if (shown.empty() && !lines.empty())
        shown = wxString(lines.data(), wxConvISO8859_1, lines.size());
    return shown;
}

}  // namespace

wxString App_PathText(const std::string &bytes)
{
    wxString text = wxString::FromUTF8(bytes.data(), bytes.size());
    if (text.empty() && !bytes.empty())
        text = wxString(bytes.data(), wxConvISO8859_1, bytes.size());
    return text;
}

std::string App_PathFromWx(const wxString &path)
{
#ifdef __WXMSW__
    return std::string(path.utf8_str());
#else
    return std::string(path.fn_str());
#endif
}

wxString App_PathToWx(const std::string &path)
{
#ifdef __WXMSW__
    return wxString::FromUTF8(path.data(), path.size());
#else
    return wxString(path.c_str(), *wxConvFileName);
#endif
}

void App_OpenSettings()
{
    wxString folder;
    wxGetEnv("XDG_CONFIG_HOME", &folder);
#ifdef __WXMSW__
    if (folder.empty() || !wxFileName(folder).IsAbsolute())
        wxGetEnv("APPDATA", &folder);
#endif
    if (folder.empty() || !wxFileName(folder).IsAbsolute())
        folder = wxFileName::GetHomeDir() + "/.config";
    const wxFileName file(folder + "/quillon", "quillon.conf");
    wxLogNull quiet;  // settings that cannot be kept are not worth a message box
    file.Mkdir(wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    delete wxConfigBase::Set(new wxFileConfig(kAppName, "", file.GetFullPath(), "", wxCONFIG_USE_LOCAL_FILE));
}

int Command_ToWxId(int command)
{
    for (const CommandId &entry : kCommandIds)
        if (entry.command == command)
            return entry.wxId;
    return wxID_NONE;
}

int Command_FromWxId(int wxId)
{
    for (const CommandId &entry : kCommandIds)
        if (entry.wxId == wxId)
            return entry.command;
    return 0;
}

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

    wxAcceleratorEntry keys[] = {
        {wxACCEL_NORMAL, WXK_F1, Command_ToWxId(CmdAccelHelp)},
        {wxACCEL_NORMAL, WXK_F2, Command_ToWxId(CmdAccelRaw)},
        {wxACCEL_NORMAL, WXK_F3, Command_ToWxId(CmdAccelInterpreted)},
        {wxACCEL_CTRL, 'O', Command_ToWxId(CmdFileOpen)},
    };
    SetAcceleratorTable(wxAcceleratorTable(4, keys));

    Bind(wxEVT_MENU, &CQuillonDlg::OnMenu, this, kFirstCommandWxId, kLastCommandWxId);
    Bind(wxEVT_MENU, &CQuillonDlg::OnRecent, this, wxID_FILE1, wxID_FILE1 + kRecentArchives - 1);
    Bind(wxEVT_BUTTON, &CQuillonDlg::OnMenu, this, IdOk, IdCancel);
    Bind(wxEVT_CHAR_HOOK, &CQuillonDlg::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &CQuillonDlg::OnClose, this);
    // A help request opens the About box and counts as handled.
    Bind(wxEVT_HELP, [this](wxHelpEvent &) { RunAboutBox(); });
    Bind(wxEVT_TIMER, [this](wxTimerEvent &) { OnTimerTick(); }, kFrameTimerId);
    panel_->Bind(wxEVT_SIZE, &CQuillonDlg::OnPanelSize, this);
    // Moves over the view and over the window's free area reach the mouse
    // handler, as they reached the dialog.
    panel_->Bind(wxEVT_MOTION, &CQuillonDlg::OnViewMouse, this);
    glView_->Bind(wxEVT_MOTION, &CQuillonDlg::OnViewMouse, this);
    // A released button ends its drag at once, so that frames stop with it.
    for (wxWindow *w : {static_cast<wxWindow *>(panel_), static_cast<wxWindow *>(glView_)}) {
        w->Bind(wxEVT_LEFT_UP, &CQuillonDlg::OnViewMouse, this);
        w->Bind(wxEVT_RIGHT_UP, &CQuillonDlg::OnViewMouse, this);
    }
    entryList_->Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent &) {
        if (!quietSelection_)
            OnSelchangeEntryList(*this);
    });
    if (wxWindow *lines = entryList_->LinesWindow())
        lines->Bind(wxEVT_LEFT_DOWN, &CQuillonDlg::OnEntryListClick, this);
    findText_->Bind(wxEVT_TEXT, [this](wxCommandEvent &) { OnFindInput(); });
    findKind_->Bind(wxEVT_CHOICE, [this](wxCommandEvent &) { OnFindInput(); });
    // Every control that would take a dropped file as text takes it as an archive.
    for (wxWindow *w : std::initializer_list<wxWindow *>{this, panel_, textView_, findText_})
        w->SetDropTarget(new ArchiveDropTarget(this));

    if (wxConfigBase *settings = wxConfigBase::Get(false)) {
        settings->SetPath("/RecentArchives");
        recent_.Load(*settings);
        settings->SetPath("/");
        recentItem_->Enable(recent_.GetCount() > 0);
    }
    surfaceList_->Bind(wxEVT_LISTBOX, [](wxCommandEvent &) {
        if (viewer.services.Model_ApplySurfaceHiding)
            viewer.services.Model_ApplySurfaceHiding();
    });

    SetClientSize(panel_->ConvertDialogToPixels(wxSize(kTemplateWidth, kTemplateHeight)));
    InitMainDialog(*this);
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
    for (const FindKindChoice &choice : kFindKinds)
        findKind_->Append(choice.label);
    findKind_->SetSelection(0);
    auto *row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(findText_, 1, wxALIGN_CENTER_VERTICAL);
    row->Add(findKind_, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 2);
    findBar_->SetSizer(row);
    findBar_->SetSize(list.width, row->GetMinSize().y);
    findBar_->Layout();
    // Enter or Down in the text goes on to the list.
    findText_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent &) { FocusEntryList(); });
    findText_->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent &event) {
        if (event.GetKeyCode() == WXK_DOWN)
            FocusEntryList();
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
    viewer.glWindow = glView_;
    textView_ = new wxTextCtrl(p, IdTextView, "", at(133, 16), size(279, 238),
                               wxTE_MULTILINE | wxTE_DONTWRAP | wxHSCROLL | wxVSCROLL | wxBORDER_SUNKEN);
    playOnClick_ = App_FitHeight(new wxCheckBox(p, IdPlayOnClick, kPlayOnClick, at(133, 18), size(129, 8)));
    surfaceList_ = new wxListBox(p, IdSurfaceList, at(7, 176), size(121, 78), 0, nullptr,
                                 wxLB_MULTIPLE | wxLB_ALWAYS_SB | wxBORDER_SUNKEN);
    auto *surfaceLabel = new wxStaticText(p, IdSurfaceLabel, kSurfaceLabel, at(7, 167), size(104, 8));
    hexView_ = new HexViewCtrl(p, IdHexView, at(133, 16), size(279, 238));
    hexView_->Hide();

    for (wxWindow *w : std::initializer_list<wxWindow *>{ok, cancel, entryList_, fileLabel, infoLine, glView_,
                                                         textView_, playOnClick_, surfaceList_, surfaceLabel,
                                                         hexView_})
        controls_[w->GetId()] = w;
}

void CQuillonDlg::CreateMenu()
{
    auto item = [](wxMenu *menu, int command, const char *text, wxItemKind kind = wxITEM_NORMAL) {
        menu->Append(Command_ToWxId(command), text, "", kind);
    };
    auto *file = new wxMenu;
    item(file, CmdFileOpen, "&Open");
    auto *recentMenu = new wxMenu;
    recentItem_ = file->AppendSubMenu(recentMenu, "Open &Recent");
    recentItem_->Enable(false);  // until there is an archive to list
    recent_.UseMenu(recentMenu);
    item(file, CmdExit, "E&xit");
    auto *edit = new wxMenu;
    item(edit, CmdEditFind, "&Find...\tCtrl+F");
    auto *exportMenu = new wxMenu;
    item(exportMenu, CmdExportRaw, "&Raw (F2)");
    item(exportMenu, CmdExportInterpreted, "&Interpreted (F3)");
    item(exportMenu, CmdExportDump, "&Binary-Text Dump");
    item(exportMenu, CmdExportPng, "As &PNG...");
    item(exportMenu, CmdExportGltf, "As gl&TF...");
    item(exportMenu, CmdExportObjMtl, "As OBJ with &materials...");
    item(exportMenu, CmdExportWav, "As &WAV...");
    exportMenu->AppendSeparator();
    item(exportMenu, CmdExportAll, "Export &All...");
    item(exportMenu, CmdExportListed, "Export &Listed...");
    auto *view = new wxMenu;
    item(view, CmdViewModels, "&Models", wxITEM_CHECK);
    item(view, CmdViewModelMaterials, "Mod&el materials", wxITEM_CHECK);
    item(view, CmdViewSurfaces, "Model &surfaces", wxITEM_CHECK);
    view->AppendSeparator();
    item(view, CmdViewTextures, "&Textures", wxITEM_CHECK);
    item(view, CmdViewMaterials, "M&aterials", wxITEM_CHECK);
    item(view, CmdViewXml, "&XML", wxITEM_CHECK);
    item(view, CmdViewOther, "&Other", wxITEM_CHECK);
    auto *channels = new wxMenu;
    item(channels, CmdChannelsRgba, "RGB&A", wxITEM_RADIO);
    item(channels, CmdChannelsRed, "&R", wxITEM_RADIO);
    item(channels, CmdChannelsGreen, "&G", wxITEM_RADIO);
    item(channels, CmdChannelsBlue, "&B", wxITEM_RADIO);
    item(channels, CmdChannelsAlpha, "A&lpha as grey", wxITEM_RADIO);
    item(channels, CmdChannelsChecker, "RGB over &checkerboard", wxITEM_RADIO);
    view->AppendSeparator();
    view->AppendSubMenu(channels, "&Channels");
    auto *help = new wxMenu;
    item(help, CmdAbout, "&About... (F1)");

    auto *bar = new wxMenuBar;
    bar->Append(file, "&File");
    bar->Append(edit, "&Edit");
    bar->Append(exportMenu, "&Export");
    bar->Append(view, "&View");
    bar->Append(help, "&Help");
    SetMenuBar(bar);
}

void CQuillonDlg::OnMenu(wxCommandEvent &event)
{
    int command = event.GetEventType() == wxEVT_BUTTON ? event.GetId() : Command_FromWxId(event.GetId());
    if (command != 0 && !ended_)
        OnCommand(*this, command);
}

void CQuillonDlg::OnRecent(wxCommandEvent &event)
{
    const size_t index = static_cast<size_t>(event.GetId() - wxID_FILE1);
    if (index >= recent_.GetCount() || ended_)
        return;
    const wxString chosen = recent_.GetHistoryFile(index);
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
    wxConfigBase *settings = wxConfigBase::Get(false);
    if (!settings)
        return;
    wxLogNull quiet;  // settings that cannot be kept are not worth a message box
    settings->SetPath("/RecentArchives");
    recent_.Save(*settings);
    settings->SetPath("/");
    settings->Flush();
}

bool CQuillonDlg::OpenPath(const std::string &path)
{
    return !ended_ && OpenMainArchive(*this, path);
}

void CQuillonDlg::NoteOpenedArchive(const std::string &path)
{
    // Kept whole, so that it opens again from wherever the viewer starts.
    wxFileName file(App_PathToWx(path));
    file.MakeAbsolute();
    recent_.AddFileToHistory(file.GetFullPath());
    SaveRecent();
}

void CQuillonDlg::OnFindInput()
{
    // Lines are archive bytes shown as Latin-1, so the text is matched as
    // Latin-1 too; a character that has no Latin-1 form can match nothing.
    const wxString typed = findText_->GetValue();
    std::string text;
    text.reserve(typed.length());
    for (wxUniChar c : typed)
        text += c.GetValue() < 0x100 ? static_cast<char>(c.GetValue()) : '\0';
    const int choice = findKind_->GetSelection();
    const int kind = choice >= 0 && static_cast<size_t>(choice) < std::size(kFindKinds) ? kFindKinds[choice].kind : -1;
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
    if (key == WXK_ESCAPE && modifiers == wxMOD_NONE) {
        // Escape in the find bar closes it; anywhere else it is the dialog's Cancel.
        if (findBar_->IsShown() && FocusIn(findBar_))
            OnFindClose(*this);
        else
            OnCommand(*this, CmdCancel);
        return;
    }
    // Space plays the selected sound again and Shift+Space silences, where a
    // space types nothing: in the entry list, the view and the hex view.
    if (key == WXK_SPACE && (FocusIn(entryList_) || FocusIn(glView_) || FocusIn(hexView_))) {
        if (modifiers == wxMOD_NONE)
            OnCommand(*this, CmdSoundReplay);
        else if (modifiers == wxMOD_SHIFT)
            OnCommand(*this, CmdSoundStopAll);
        return;  // Ctrl+Space would take the list's selection away
    }
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
    if (onScreen && !glViewOnScreen_ && viewer.services.GL_Init) {
        const ControlRect view = GetControlRect(IdGlView);
        viewer.services.GL_Init(view.width, view.height);
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
    OnMouseMove(*this, flags, point.x, point.y);
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
    if (wxWindow *w = Control(id))
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
}

void CQuillonDlg::MoveControl(ControlId id, int x, int y)
{
    if (wxWindow *w = Control(id))
        w->Move(x, y);
}

void CQuillonDlg::GetClientSize(int &width, int &height) const
{
    const wxSize client = panel_->GetClientSize();
    width = client.x;
    height = client.y;
}

void CQuillonDlg::SetTextView(const std::string &text)
{
    textView_->ChangeValue(DisplayText(text));  // also puts the caret at the start
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

void CQuillonDlg::FocusEntryList()
{
    entryList_->SetFocus();
}

void CQuillonDlg::SetStatusField(int field, const std::string &text)
{
    if (GetStatusBar() && field >= 0 && field < GetStatusBar()->GetFieldsCount())
        SetStatusText(App_PathText(text), field);
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
    surfaceList_->Append(wxString::FromUTF8(text));
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
    // The working directory is where the dialogs start, as the system dialog does.
    wxFileDialog dialog(DialogParent(), request.save ? "Save As" : "Open", wxGetCwd(), "", request.filter, style);
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
        return true;
    }
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
    if (chosen)
        lastBatchFolder_ = request.folder;
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
    Destroy();
}
