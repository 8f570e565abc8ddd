// The Mods window: wx controls over the handlers of mods.h.
#include "app/mods_dialog.h"

#include "app/mods.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/weakref.h>

namespace {

class ModsDialog : public wxDialog {
public:
    ModsDialog(wxWindow *parent, ViewerWindow &window)
        : wxDialog(parent, wxID_ANY, "Mods", wxDefaultPosition, wxDefaultSize,
                   wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
          window_(window)
    {
        SetName("quillon-mods");
        auto *sizer = new wxBoxSizer(wxVERTICAL);
        folder_ = new wxStaticText(this, wxID_ANY, "");
        sizer->Add(folder_, 0, wxALL, 10);
        sizer->Add(new wxStaticText(this, wxID_ANY, "Applied, first applied first:"), 0, wxLEFT | wxRIGHT, 10);
        applied_ = new wxListBox(this, wxID_ANY, wxDefaultPosition, wxSize(520, 120));
        sizer->Add(applied_, 1, wxEXPAND | wxALL, 10);
        auto *row = new wxBoxSizer(wxHORIZONTAL);
        apply_ = new wxButton(this, IdModsApply, "&Apply Mod...");
        restore_ = new wxButton(this, IdModsRestore, "&Restore");
        row->Add(apply_, 0, wxRIGHT, 10);
        row->Add(restore_);
        sizer->Add(row, 0, wxLEFT | wxRIGHT | wxBOTTOM, 10);

        sizer->Add(new wxStaticText(this, wxID_ANY, "Conflicts between mods:"), 0, wxLEFT | wxRIGHT, 10);
        compared_ = new wxListBox(this, wxID_ANY, wxDefaultPosition, wxSize(520, 80));
        sizer->Add(compared_, 0, wxEXPAND | wxALL, 10);
        row = new wxBoxSizer(wxHORIZONTAL);
        row->Add(new wxButton(this, IdModsCompareAdd, "A&dd Mod..."), 0, wxRIGHT, 10);
        row->Add(new wxButton(this, IdModsCompareClear, "C&lear"));
        sizer->Add(row, 0, wxLEFT | wxRIGHT | wxBOTTOM, 10);
        conflicts_ = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxSize(520, 100),
                                    wxTE_MULTILINE | wxTE_READONLY | wxTE_DONTWRAP);
        sizer->Add(conflicts_, 1, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 10);
        sizer->Add(CreateSeparatedButtonSizer(wxCLOSE), 0, wxEXPAND | wxALL, 10);
        SetSizerAndFit(sizer);

        Bind(wxEVT_BUTTON, [this](wxCommandEvent &) {
            if (App_ModsApply(window_, game_))
                Reread();
        }, IdModsApply);
        Bind(wxEVT_BUTTON, [this](wxCommandEvent &) {
            if (App_ModsRestore(window_, game_))
                Reread();
        }, IdModsRestore);
        Bind(wxEVT_BUTTON, [this](wxCommandEvent &) {
            const std::string mod = App_ModsAskMod(window_);
            if (mod.empty())
                return;
            mods_.push_back(mod);
            compared_->Append(wxString::FromUTF8(mod));
            ShowConflicts();
        }, IdModsCompareAdd);
        Bind(wxEVT_BUTTON, [this](wxCommandEvent &) {
            mods_.clear();
            compared_->Clear();
            ShowConflicts();
        }, IdModsCompareClear);
        Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { Destroy(); }, wxID_CLOSE);
        Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent &) { Destroy(); });
        Reread();
        ShowConflicts();
    }

    // The game folder of what the main window has open, and its applied mods.
    void Reread()
    {
        game_ = App_ModsGameFolder();
        applied_->Clear();
        apply_->Enable(!game_.empty());
        restore_->Enable(false);
        if (game_.empty()) {
            folder_->SetLabel("Open a game folder, or one of its archives, to apply mods to it.");
            return;
        }
        folder_->SetLabel(wxString::FromUTF8("Game folder: " + game_));
        std::string error;
        const std::vector<std::string> lines = App_ModsApplied(game_, error);
        for (const std::string &line : lines)
            applied_->Append(wxString::FromUTF8(line));
        if (!error.empty())
            applied_->Append(wxString::FromUTF8(error));
        else if (lines.empty())
            applied_->Append("No mod is applied.");
        restore_->Enable(!lines.empty());
    }

private:
    void ShowConflicts() { conflicts_->SetValue(wxString::FromUTF8(App_ModsConflictText(mods_))); }

    ViewerWindow &window_;
    std::string game_;
    std::vector<std::string> mods_;
    wxStaticText *folder_ = nullptr;
    wxListBox *applied_ = nullptr;
    wxListBox *compared_ = nullptr;
    wxButton *apply_ = nullptr;
    wxButton *restore_ = nullptr;
    wxTextCtrl *conflicts_ = nullptr;
};

wxWeakRef<ModsDialog> shown;  // the one Mods window, while it is open

}  // namespace

void App_ShowModsDialog(wxWindow *parent, ViewerWindow &window)
{
    if (!shown)
        shown = new ModsDialog(parent, window);
    else
        shown->Reread();
    shown->Show();
    shown->Raise();
}

wxDialog *App_ModsDialog()
{
    return shown.get();
}
