// Edit > "Edit Externally": the selected entry written in its editable form
// into a folder of this window's own, opened in the user's program, and taken
// back on every save. The folder is watched with the toolkit's file-system
// watcher; a file is read once it has been quiet for a moment (programs write
// a file in several steps, or write another and rename it over it), and
// removed with its folder when the window closes. Copy and Paste go through
// the toolkit's clipboard; a line dragged out of the list carries its entry
// in the same form, as a file.
#include "app/external_edit.h"

#include "app/display_text.h"
#include "app/entry_list_ctrl.h"
#include "app/entry_tree_ctrl.h"
#include "app/main_dialog.h"
#include "app/outside_edits.h"
#include "app/quillon_dlg.h"
#include "base/file_io.h"
#include "base/platform.h"

#include <wx/button.h>
#include <wx/clipbrd.h>
#include <wx/config.h>
#include <wx/dataobj.h>
#include <wx/dialog.h>
#include <wx/dnd.h>
#include <wx/filename.h>
#include <wx/filepicker.h>
#include <wx/fswatcher.h>
#include <wx/image.h>
#include <wx/imagpng.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/process.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <memory>

namespace {

// How long a file must stay quiet after a change before it is read.
constexpr int kSettleMs = 300;

const char *const kEditorKeys[] = {"/ExternalEditors/Images", "/ExternalEditors/Sounds", "/ExternalEditors/Text",
                                   "/ExternalEditors/Other"};

class SettleTimer : public wxTimer {
public:
    std::function<void()> fire;
    void Notify() override { fire(); }
};

// One entry out: where its file is, and what the file held when last read.
struct OutFile {
    OutsideSource source;
    std::string folder, path, fileName;
    std::vector<uint8_t> seen;
    SettleTimer settle;
};

// The user's program ended: a failure is told, as nothing else would tell it.
class EditorProcess : public wxProcess {
public:
    EditorProcess(CQuillonDlg &frame, const std::string &program) : frame_(&frame), program_(program) {}
    void OnTerminate(int, int status) override
    {
        if (status != 0 && frame_ && !frame_->HasEnded())
            frame_->SetStatusField(0, program_ + " ended with status " + std::to_string(status));
        delete this;
    }

private:
    wxWeakRef<CQuillonDlg> frame_;
    std::string program_;
};

// The files of one window out in the user's programs.
class OutsideEditor : public wxEvtHandler {
public:
    explicit OutsideEditor(CQuillonDlg &frame) : frame_(frame) {}
    ~OutsideEditor() override
    {
        watcher_.reset();
        out_.clear();
        if (!folder_.empty())
            Sys_RemoveTree(folder_);
    }

    void EditSelected();
    wxFileDataObject *DragData();

private:
    OutFile *Write(const OutsideSource &source, std::string &error);
    bool Launch(const OutFile &out, std::string &error);
    void OnWatch(wxFileSystemWatcherEvent &event);
    void Settled(OutFile &out);

    CQuillonDlg &frame_;
    std::string folder_;  // made on the first use
    std::unique_ptr<wxFileSystemWatcher> watcher_;
    std::vector<std::unique_ptr<OutFile>> out_;
    int drags_ = 0;
};

// Each window's editor, made on first use and ended with the window.
std::map<CQuillonDlg *, std::unique_ptr<OutsideEditor>> gEditors;

OutsideEditor &EditorOf(CQuillonDlg &frame)
{
    std::unique_ptr<OutsideEditor> &editor = gEditors[&frame];
    if (!editor) {
        editor = std::make_unique<OutsideEditor>(frame);
        frame.Bind(wxEVT_DESTROY, [&frame](wxWindowDestroyEvent &event) {
            if (event.GetEventObject() == &frame)
                gEditors.erase(&frame);
            event.Skip();
        });
    }
    return *editor;
}

OutFile *OutsideEditor::Write(const OutsideSource &source, std::string &error)
{
    if (folder_.empty() && (folder_ = Outside_MakeFolder(error)).empty())
        return nullptr;
    if (!watcher_) {
        watcher_ = std::make_unique<wxFileSystemWatcher>();
        watcher_->SetOwner(this);
        Bind(wxEVT_FSWATCHER, &OutsideEditor::OnWatch, this);
    }
    // A folder of its own per entry: the file keeps the entry's own name,
    // whatever other entries of that name are out.
    auto out = std::make_unique<OutFile>();
    out->source = source;
    out->folder = folder_ + "/" + std::to_string(out_.size() + 1);
    out->fileName = Outside_FileName(source.entry, source.kind);
    if (!Sys_MakeFolders(out->folder)) {
        error = "Cannot make the folder " + out->folder + ": " + strerror(errno);
        return nullptr;
    }
    out->path = Outside_Write(out->folder, out->fileName, source.kind, source.resource, error);
    if (out->path.empty())
        return nullptr;
    if (const BaseRead read = Base_ReadFile(out->path, out->seen); read != BaseRead::Ok) {
        error = Base_ReadFailure(read, out->path);
        return nullptr;
    }
    wxLogNull quiet;  // a folder that cannot be watched is said below
    if (!watcher_->Add(wxFileName::DirName(App_PathToWx(out->folder)), wxFSW_EVENT_CREATE | wxFSW_EVENT_MODIFY |
                                                                            wxFSW_EVENT_RENAME)) {
        error = "Cannot watch " + out->folder + " for changes.";
        return nullptr;
    }
    OutFile *file = out.get();
    file->settle.fire = [this, file] { Settled(*file); };
    out_.push_back(std::move(out));
    return file;
}

bool OutsideEditor::Launch(const OutFile &out, std::string &error)
{
    // QUILLON_EDITOR wins over the preferences; the file's path goes last.
    std::vector<std::string> words;
    wxString line;
    if (wxGetEnv("QUILLON_EDITOR", &line) && !line.empty()) {
        if (!Outside_SplitCommand(App_PathFromWx(line), words, error)) {
            error = "QUILLON_EDITOR: " + error;
            return false;
        }
    } else if (std::string program = App_LoadExternalEditor(Outside_ProgramFor(out.source.kind)); !program.empty()) {
        words = {program};
    } else {
        if (wxLaunchDefaultApplication(App_PathToWx(out.path)))
            return true;
        error = "No program opens " + out.fileName + ": choose one in Edit > Preferences.";
        return false;
    }
    words.push_back(out.path);
    // Each argument as it is: no shell reads them.
    std::vector<std::wstring> wide;
    for (const std::string &word : words)
        wide.push_back(App_PathToWx(word).ToStdWstring());
    std::vector<const wchar_t *> argv;
    for (const std::wstring &word : wide)
        argv.push_back(word.c_str());
    argv.push_back(nullptr);
    auto *process = new EditorProcess(frame_, words.front());
    if (wxExecute(argv.data(), wxEXEC_ASYNC, process) <= 0) {
        delete process;
        error = "Cannot run " + words.front() + ".";
        return false;
    }
    return true;
}

void OutsideEditor::EditSelected()
{
    OutsideSource source;
    if (!App_SelectedSource(source))
        return;
    std::string error;
    // An entry already out opens again as the user last saved it.
    OutFile *out = nullptr;
    for (const std::unique_ptr<OutFile> &o : out_)
        if (o->source.archive == source.archive && o->source.slot == source.slot && o->source.name == source.name)
            out = o.get();
    if (!out)
        out = Write(source, error);
    if (out && Launch(*out, error))
        frame_.SetStatusField(0, out->fileName + " opened outside: every save there comes back here");
    else
        frame_.ShowMessage(error);
}

wxFileDataObject *OutsideEditor::DragData()
{
    OutsideSource source;
    std::string error;
    if (!App_SelectedSource(source) || (folder_.empty() && (folder_ = Outside_MakeFolder(error)).empty()))
        return nullptr;
    // A folder of its own per drag: the file keeps the entry's name whatever was dragged before.
    const std::string folder = folder_ + "/drag-" + std::to_string(++drags_);
    const std::string path = Sys_MakeFolders(folder)
                                 ? Outside_Write(folder, Outside_FileName(source.entry, source.kind), source.kind,
                                                 source.resource, error)
                                 : std::string();
    if (path.empty()) {
        frame_.SetStatusField(0, error.empty() ? "Cannot make the folder " + folder : error);
        return nullptr;
    }
    auto *data = new wxFileDataObject;
    data->AddFile(App_PathToWx(path));
    return data;
}

void OutsideEditor::OnWatch(wxFileSystemWatcherEvent &event)
{
    if (event.IsError())
        return;
    // Any change in an entry's folder: its file may be written by a rename.
    const wxFileName folder(event.GetPath().GetPath(), ""), renamed(event.GetNewPath().GetPath(), "");
    for (const std::unique_ptr<OutFile> &out : out_) {
        const wxFileName mine(App_PathToWx(out->folder), "");
        if (mine.SameAs(folder) || (renamed.IsOk() && mine.SameAs(renamed)))
            out->settle.StartOnce(kSettleMs);
    }
}

void OutsideEditor::Settled(OutFile &out)
{
    if (frame_.HasEnded())
        return;
    // Not while a dialog holds the window (a save's progress, a question):
    // a save that ends would drop an edit made meanwhile. Tried again after.
    if (!frame_.IsEnabled()) {
        out.settle.StartOnce(kSettleMs);
        return;
    }
    std::vector<uint8_t> bytes;
    // Gone or half written: the next change brings it back.
    if (Base_ReadFile(out.path, bytes) != BaseRead::Ok || bytes == out.seen)
        return;
    out.seen = std::move(bytes);
    const std::string said = App_TakeBackOutside(frame_, out.source, out.seen, out.fileName);
    if (!said.empty())
        frame_.SetStatusField(0, said);
}

// Edit > Preferences: a program for each kind of file, or none for the desktop's.
void RunPreferences(wxWindow *parent)
{
    wxDialog dialog(parent, wxID_ANY, "Preferences");
    auto *grid = new wxFlexGridSizer(2, wxSize(8, 6));
    grid->AddGrowableCol(1);
    const char *const labels[] = {"External editor for images:", "External editor for sounds:",
                                  "External editor for text:", "External editor for other files:"};
    wxFilePickerCtrl *pickers[4];
    for (int i = 0; i < 4; ++i) {
        grid->Add(new wxStaticText(&dialog, wxID_ANY, labels[i]), 0, wxALIGN_CENTER_VERTICAL);
        pickers[i] = new wxFilePickerCtrl(&dialog, wxID_ANY,
                                          App_PathToWx(App_LoadExternalEditor(static_cast<OutsideProgram>(i))),
                                          "Choose a program", wxFileSelectorDefaultWildcardStr, wxDefaultPosition,
                                          wxSize(320, -1), wxFLP_OPEN | wxFLP_FILE_MUST_EXIST | wxFLP_USE_TEXTCTRL);
        grid->Add(pickers[i], 1, wxEXPAND);
    }
    auto *column = new wxBoxSizer(wxVERTICAL);
    column->Add(grid, 1, wxEXPAND | wxALL, 10);
    column->Add(new wxStaticText(&dialog, wxID_ANY,
                                 "Left empty: the desktop's program for the file. QUILLON_EDITOR, when set, wins."),
                0, wxLEFT | wxRIGHT, 10);
    column->Add(dialog.CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 10);
    dialog.SetSizerAndFit(column);
    if (dialog.ShowModal() != wxID_OK)
        return;
    for (int i = 0; i < 4; ++i)
        App_SaveExternalEditor(static_cast<OutsideProgram>(i), App_PathFromWx(pickers[i]->GetPath()));
}

// The clipboard carries pictures as PNG, which needs wx's PNG handler.
void NeedPng()
{
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
}

// The text control the keyboard is in, when Copy and Paste are its own.
wxTextCtrl *FocusedText()
{
    return dynamic_cast<wxTextCtrl *>(wxWindow::FindFocus());
}

void Copy(CQuillonDlg &frame)
{
    if (wxTextCtrl *text = FocusedText(); text && text->CanCopy()) {
        text->Copy();
        return;
    }
    CopiedContent content;
    if (!App_CopySelected(content)) {
        frame.SetStatusField(0, "Copy takes the picture of a texture or the text of a text entry.");
        return;
    }
    NeedPng();
    wxClipboardLocker open;
    if (!open)
        return;
    if (!content.picture) {
        wxTheClipboard->SetData(new wxTextDataObject(App_DisplayText(content.text)));
        return;
    }
    const TextureImage &picture = content.image;
    wxImage image(static_cast<int>(picture.width), static_cast<int>(picture.height), false);
    image.InitAlpha();
    for (size_t i = 0, n = size_t(picture.width) * picture.height; i < n; ++i) {
        image.GetData()[3 * i] = picture.rgba[4 * i];
        image.GetData()[3 * i + 1] = picture.rgba[4 * i + 1];
        image.GetData()[3 * i + 2] = picture.rgba[4 * i + 2];
        image.GetAlpha()[i] = picture.rgba[4 * i + 3];
    }
    // As PNG, which keeps the alpha, and as the system's bitmap for programs that take only that.
    auto *both = new wxDataObjectComposite;
    both->Add(new wxImageDataObject(image), true);
    both->Add(new wxBitmapDataObject(wxBitmap(image)));
    wxTheClipboard->SetData(both);
}

// The picture on the clipboard as RGBA; false when it holds none.
bool ClipboardPicture(TextureImage &picture)
{
    NeedPng();
    wxClipboardLocker open;
    if (!open)
        return false;
    wxImage image;
    wxImageDataObject png;
    wxBitmapDataObject bitmap;
    if (wxTheClipboard->IsSupported(png.GetFormat()) && wxTheClipboard->GetData(png))
        image = png.GetImage();
    else if (wxTheClipboard->IsSupported(wxDF_BITMAP) && wxTheClipboard->GetData(bitmap))
        image = bitmap.GetBitmap().ConvertToImage();
    if (!image.IsOk())
        return false;
    picture.width = static_cast<uint32_t>(image.GetWidth());
    picture.height = static_cast<uint32_t>(image.GetHeight());
    picture.rgba.resize(size_t(picture.width) * picture.height * 4);
    for (size_t i = 0, n = size_t(picture.width) * picture.height; i < n; ++i) {
        picture.rgba[4 * i] = image.GetData()[3 * i];
        picture.rgba[4 * i + 1] = image.GetData()[3 * i + 1];
        picture.rgba[4 * i + 2] = image.GetData()[3 * i + 2];
        picture.rgba[4 * i + 3] = image.HasAlpha() ? image.GetAlpha()[i] : 255;
    }
    return true;
}

void Paste(CQuillonDlg &frame)
{
    if (wxTextCtrl *text = FocusedText(); text && text->IsEditable()) {
        text->Paste();
        return;
    }
    TextureImage picture;
    if (!ClipboardPicture(picture)) {
        frame.SetStatusField(0, "The clipboard holds no picture to paste.");
        return;
    }
    const std::string said = App_PasteImage(frame, picture);
    if (!said.empty())
        frame.SetStatusField(0, said);
}

}  // namespace

std::string App_LoadExternalEditor(OutsideProgram program)
{
    wxConfigBase *settings = wxConfigBase::Get(false);
    wxString path;
    if (settings)
        settings->Read(kEditorKeys[static_cast<int>(program)], &path);
    return App_PathFromWx(path);
}

void App_SaveExternalEditor(OutsideProgram program, const std::string &path)
{
    wxConfigBase *settings = wxConfigBase::Get(false);
    if (!settings)
        return;
    wxLogNull quiet;  // settings that cannot be kept are not worth a message box
    settings->Write(kEditorKeys[static_cast<int>(program)], App_PathToWx(path));
    settings->Flush();
}

void App_AttachOutside(CQuillonDlg &frame)
{
    // The line under the mouse is the selected one by the time a drag begins.
    frame.EntryList()->Bind(wxEVT_LIST_BEGIN_DRAG, [&frame](wxListEvent &event) {
        if (frame.HasEnded() || event.GetIndex() != frame.GetEntrySelection())
            return;
        if (std::unique_ptr<wxFileDataObject> data{App_DragData(frame)}) {
            wxDropSource drag(*data, &frame);
            drag.DoDragDrop(wxDrag_CopyOnly);
        }
    });
    // The tree drags its own rows: it is handed the data of the selected entry.
    EntryTreeCtrl *tree = frame.EntryTree();
    tree->EnableDragSource(wxDF_FILENAME);
    tree->Bind(wxEVT_DATAVIEW_ITEM_BEGIN_DRAG, [&frame, tree](wxDataViewEvent &event) {
        wxFileDataObject *data = nullptr;
        if (!frame.HasEnded() && event.GetItem() == tree->GetSelection())
            data = App_DragData(frame);
        if (!data) {
            event.Veto();
            return;
        }
        event.SetDataObject(data);
        event.SetDragFlags(wxDrag_CopyOnly);
    });
}

wxFileDataObject *App_DragData(CQuillonDlg &frame)
{
    return EditorOf(frame).DragData();
}

bool App_OutsideCommand(CQuillonDlg &frame, int command)
{
    switch (command) {
    case CmdEditExternally: EditorOf(frame).EditSelected(); return true;
    case CmdEditCopy: Copy(frame); return true;
    case CmdEditPaste: Paste(frame); return true;
    case CmdEditPreferences: RunPreferences(frame.DialogParent()); return true;
    default: return false;
    }
}
