// The modal dialogs of the viewer: the About box, the Binary-Text Dump
// options, and the batch export's choices and progress.
#pragma once

#include "export/export.h"
#include "viewer/viewer_window.h"

#include <wx/dialog.h>

#include <algorithm>

class wxCheckBox;
class wxRadioButton;
class wxTextCtrl;
class ViewerWindow;

// Asks for the folder, form and Overwrite of a batch export (batch_dialog.cpp);
// false when cancelled.
bool App_AskBatchExport(wxWindow *parent, const wxString &title, const std::vector<std::string> &forms,
                        BatchExportRequest &request);

// Runs `job` on a thread of its own under a modal progress dialog whose Cancel
// sets the job's cancel flag; returns when the job has ended.
void App_RunJobDialog(wxWindow *parent, const wxString &title, const WindowJob &job,
                      const wxString &counted = "entries");

class CAboutDlg : public wxDialog {
public:
    explicit CAboutDlg(wxWindow *parent);
};

class CBinTextDlg : public wxDialog {
public:
    // OK runs BinText_OnOk through `window`, which asks for the file name.
    CBinTextDlg(wxWindow *parent, ViewerWindow &window);

    // The options as the controls show them now.
    DumpOptions GatherOptions() const;

    // OK: writes the dump; ends the dialog only when the file was written.
    void OnOK(wxCommandEvent &event);

    wxRadioButton *FormatButton(int format) const { return formats_[format]; }
    wxCheckBox *BigEndianBox() const { return bigEndian_; }
    wxCheckBox *HexadecimalBox() const { return hexadecimal_; }
    wxTextCtrl *OffsetBox() const { return offset_; }

    int32_t dataFormat = DumpUnsignedByte;  // set when OK is pressed

private:
    ViewerWindow &window_;
    wxRadioButton *formats_[DumpFormatCount] = {};
    wxCheckBox *bigEndian_ = nullptr;
    wxCheckBox *hexadecimal_ = nullptr;
    wxTextCtrl *offset_ = nullptr;
};

// The viewer's icon in its two sizes.
class wxIconBundle;
wxIconBundle App_IconBundle();

// The windows' layout arithmetic (cx - 210, cy - 37, ...) is in pixels of
// their own font, whose dialog base units are 6 x 13 pixels at 96 DPI. wx
// takes dialog units from the top-level window's font, so each window gets the
// GUI font at the largest size that keeps those units; its controls inherit it.
class wxFont;
wxFont App_TemplateFont(wxWindow *topLevel);

// Gives a check box or radio button at least the height GTK draws its
// indicator in (the dialogs make them 8 or 10 dialog units high).
template <typename Control>
Control *App_FitHeight(Control *box)
{
    const wxSize size = box->GetSize();
    box->SetSize(wxSize(size.x, std::max(size.y, box->GetBestSize().y)));
    return box;
}
