// The main window's parts of editing the archive: the "Save changes" question,
// the dialogs that pick files and take a name, the title's unsaved mark and
// the progress dialog of conversions and saves.
#include "app/app_texts.h"
#include "app/dialogs.h"
#include "app/display_text.h"
#include "app/quillon_dlg.h"

#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/textdlg.h>

SaveChoice CQuillonDlg::AskSaveChanges(const std::string &question)
{
    wxMessageDialog dialog(DialogParent(), App_PathText(question), kAppName, wxYES_NO | wxCANCEL | wxICON_WARNING);
    dialog.SetYesNoCancelLabels("Save", "Discard", "Cancel");
    switch (dialog.ShowModal()) {
    case wxID_YES: return SaveChoice::Save;
    case wxID_NO: return SaveChoice::Discard;
    default: return SaveChoice::Cancel;
    }
}

bool CQuillonDlg::AskFileNames(const FileDialogRequest &request, std::vector<std::string> &paths)
{
    wxFileDialog dialog(DialogParent(), "Open", StartFolder(request), wxString(), request.filter,
                        wxFD_OPEN | wxFD_MULTIPLE | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK)
        return false;
    wxArrayString chosen;
    dialog.GetPaths(chosen);
    if (!chosen.empty())
        NoteChosenFile(request, chosen[0]);
    paths.clear();
    for (const wxString &path : chosen)
        paths.push_back(App_PathFromWx(path));
    return true;
}

bool CQuillonDlg::AskText(const std::string &title, const std::string &prompt, std::string &text)
{
    wxTextEntryDialog dialog(DialogParent(), wxString::FromUTF8(prompt), wxString::FromUTF8(title),
                             wxString(text.data(), wxConvISO8859_1, text.size()));
    if (dialog.ShowModal() != wxID_OK)
        return false;
    text = App_Latin1Bytes(dialog.GetValue());
    return true;
}

bool CQuillonDlg::AskYesNo(const std::string &question)
{
    wxMessageDialog dialog(DialogParent(), App_PathText(question), kAppName, wxYES_NO | wxNO_DEFAULT | wxICON_WARNING);
    return dialog.ShowModal() == wxID_YES;
}

void CQuillonDlg::ShowUnsaved(bool unsaved)
{
    unsaved_ = unsaved;
    ShowTitle();
}

void CQuillonDlg::ShowTitle()
{
    // Every game folder has its GLOBAL.PAK: the title tells which one is
    // open by its name and its folder, after the application's name.
    wxString title = unsaved_ ? wxString("*") + kAppName : wxString(kAppName);
    if (!titlePath_.empty()) {
        const wxFileName path(titlePath_);
        const wxString dash = wxString::FromUTF8(" \xE2\x80\x94 ");
        title += dash + path.GetFullName() + dash + path.GetPath();
    }
    SetTitle(title);
}

void CQuillonDlg::RunTitledJob(const std::string &title, const WindowJob &job)
{
    // Converting counts the user's files; saving, like exporting, the archive's entries.
    App_RunJobDialog(DialogParent(), wxString::FromUTF8(title), job, title == "Converting" ? "files" : "entries");
}

bool CQuillonDlg::MayLeaveArchive()
{
    return !HasEnded() && App_MayLeaveArchive(*this);
}
