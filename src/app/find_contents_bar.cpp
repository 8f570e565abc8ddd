// The find bar's second row: "In contents", and Stop while a search of the
// contents runs. The handlers are find_contents.cpp's.
#include "app/find_contents_bar.h"
#include "app/find.h"
#include "app/find_contents.h"
#include "app/quillon_dlg.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>

wxBoxSizer *App_AddFindContents(CQuillonDlg &frame, wxWindow *bar, wxBoxSizer *row,
                                std::unordered_map<int, wxWindow *> &controls)
{
    auto *inContents = new wxCheckBox(bar, IdFindContents, "In contents");
    inContents->SetToolTip("Find the text inside the entries: the list shows the entries that hold it, "
                           "each with its first line that does");
    auto *stop = new wxButton(bar, IdFindStop, "Stop", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT);
    stop->SetToolTip("Stop searching the contents; what was found stays listed");
    auto *second = new wxBoxSizer(wxHORIZONTAL);
    second->Add(inContents, 0, wxALIGN_CENTER_VERTICAL);
    second->AddStretchSpacer();
    second->Add(stop, 0, wxALIGN_CENTER_VERTICAL);
    // The row keeps the button's height while it is hidden, so the bar never changes height.
    second->SetMinSize(wxSize(-1, stop->GetBestSize().y));
    auto *rows = new wxBoxSizer(wxVERTICAL);
    rows->Add(row, 0, wxEXPAND);
    rows->Add(second, 0, wxEXPAND | wxTOP, 1);
    stop->Hide();
    stop->Bind(wxEVT_SHOW, [bar](wxShowEvent &event) {
        bar->Layout();
        event.Skip();
    });

    inContents->Bind(wxEVT_CHECKBOX, [&frame](wxCommandEvent &event) { App_SetFindInContents(frame, event.IsChecked()); });
    stop->Bind(wxEVT_BUTTON, [&frame](wxCommandEvent &) { App_StopContents(frame); });
    // A new window starts with the toggle off, whatever the last one left.
    App_SetFindInContents(frame, false);
    controls[IdFindContents] = inContents;
    controls[IdFindStop] = stop;
    return rows;
}
