// The save dialog's own controls for View > "Save View As &PNG...": the
// picture's size (1, 2 or 4 times the view's) and a transparent background.
#pragma once

#include "viewer/viewer_window.h"

#include <wx/filedlg.h>
#include <wx/filedlgcustomize.h>

class ViewImageHook : public wxFileDialogCustomizeHook {
public:
    // Starts from `choice` and leaves the user's choice there when the dialog is accepted.
    explicit ViewImageHook(ViewImageChoice &choice) : choice_(choice) {}
    void AddCustomControls(wxFileDialogCustomize &customizer) override;
    void TransferDataFromCustomControls() override;

private:
    ViewImageChoice &choice_;
    wxFileDialogChoice *scale_ = nullptr;
    wxFileDialogCheckBox *transparent_ = nullptr;
};
