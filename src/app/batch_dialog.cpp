// The batch export's two windows: the choice of folder, form and Overwrite,
// and the progress dialog under which the job runs on its own thread while
// the main window keeps its timer, sound and frames.
#include "app/dialogs.h"
#include "app/app_texts.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/filepicker.h>
#include <wx/gauge.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include <mutex>
#include <thread>

bool App_AskBatchExport(wxWindow *parent, const wxString &title, const std::vector<std::string> &forms,
                        BatchExportRequest &request)
{
    wxDialog dialog(parent, wxID_ANY, title);
    auto *sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(new wxStaticText(&dialog, wxID_ANY, "Into the folder:"), 0, wxLEFT | wxRIGHT | wxTOP, 10);
    auto *folder = new wxDirPickerCtrl(&dialog, wxID_ANY, wxString::FromUTF8(request.folder), "Export into",
                                       wxDefaultPosition, wxSize(420, -1), wxDIRP_USE_TEXTCTRL);
    sizer->Add(folder, 0, wxEXPAND | wxALL, 10);
    sizer->Add(new wxStaticText(&dialog, wxID_ANY, "As:"), 0, wxLEFT | wxRIGHT, 10);
    auto *form = new wxChoice(&dialog, wxID_ANY);
    for (const std::string &name : forms)
        form->Append(wxString::FromUTF8(name));
    form->SetSelection(std::clamp(request.form, 0, static_cast<int>(forms.size()) - 1));
    sizer->Add(form, 0, wxEXPAND | wxALL, 10);
    auto *overwrite = new wxCheckBox(&dialog, wxID_ANY, "&Overwrite files that exist");
    overwrite->SetValue(request.overwrite);
    sizer->Add(overwrite, 0, wxLEFT | wxRIGHT | wxBOTTOM, 10);
    sizer->Add(dialog.CreateSeparatedButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 10);
    dialog.SetSizerAndFit(sizer);
    for (;;) {
        if (dialog.ShowModal() != wxID_OK)
            return false;
        request.folder = std::string(folder->GetPath().utf8_str());
        if (!request.folder.empty())
            break;
        wxMessageBox("Choose the folder to export into.", kAppName, wxOK | wxICON_NONE, &dialog);
    }
    request.form = form->GetSelection();
    request.overwrite = overwrite->GetValue();
    return true;
}

namespace {

// The progress dialog: a gauge, "N of M" and the current name, refreshed a
// few times a second from what the job's thread last reported.
class JobDialog : public wxDialog {
public:
    JobDialog(wxWindow *parent, const wxString &title, const wxString &counted)
        : wxDialog(parent, wxID_ANY, title), timer_(this), counted_(counted)
    {
        auto *sizer = new wxBoxSizer(wxVERTICAL);
        count_ = new wxStaticText(this, wxID_ANY, "Starting...");
        sizer->Add(count_, 0, wxLEFT | wxRIGHT | wxTOP, 10);
        gauge_ = new wxGauge(this, wxID_ANY, 1000, wxDefaultPosition, wxSize(420, -1));
        sizer->Add(gauge_, 0, wxEXPAND | wxALL, 10);
        name_ = new wxStaticText(this, wxID_ANY, "", wxDefaultPosition, wxSize(420, -1),
                                 wxST_ELLIPSIZE_MIDDLE | wxST_NO_AUTORESIZE);
        sizer->Add(name_, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);
        auto *cancel = new wxButton(this, wxID_CANCEL, "Cancel");
        sizer->Add(cancel, 0, wxALIGN_RIGHT | wxALL, 10);
        SetSizerAndFit(sizer);
        // Cancel and closing the dialog stop the job between entries; the
        // dialog stays until the job has ended.
        Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { RequestCancel(); }, wxID_CANCEL);
        Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent &) { RequestCancel(); });
        Bind(wxEVT_TIMER, [this](wxTimerEvent &) { Refresh(); });
    }

    void Run(const WindowJob &job)
    {
        std::thread worker([this, &job] {
            job([this](const JobProgress &p) {
                std::lock_guard lock(mutex_);
                progress_ = p;
            }, cancel_);
            std::lock_guard lock(mutex_);
            finished_ = true;
        });
        timer_.Start(50);
        ShowModal();
        timer_.Stop();
        worker.join();
    }

private:
    void RequestCancel()
    {
        cancel_ = true;
        count_->SetLabel("Cancelling after the current entry...");
    }

    void Refresh()
    {
        JobProgress p;
        bool finished;
        {
            std::lock_guard lock(mutex_);
            p = progress_;
            finished = finished_;
        }
        if (finished) {
            timer_.Stop();
            EndModal(wxID_OK);
            return;
        }
        // "Starting..." stays until the job has told how much there is.
        if (!cancel_ && p.total > 0)
            count_->SetLabel(wxString::Format("%zu of %zu ", p.done, p.total) + counted_);
        gauge_->SetValue(p.total ? static_cast<int>(1000 * p.done / p.total) : 0);
        name_->SetLabel(wxString(p.current.data(), wxConvISO8859_1, p.current.size()));
    }

    wxTimer timer_;
    wxString counted_;  // what the job counts: "entries", "files"
    wxStaticText *count_, *name_;
    wxGauge *gauge_;
    std::atomic<bool> cancel_{false};
    std::mutex mutex_;
    JobProgress progress_;
    bool finished_ = false;
};

}  // namespace

void App_RunJobDialog(wxWindow *parent, const wxString &title, const WindowJob &job, const wxString &counted)
{
    JobDialog dialog(parent, title, counted);
    dialog.Run(job);
}
