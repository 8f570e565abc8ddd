// The About box and the Binary-Text Dump dialog. Positions are in dialog
// units, converted with the dialog's font.
#include "app/dialogs.h"
#include "app/app_texts.h"
#include "app/main_dialog.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/iconbndl.h>
#include <wx/settings.h>
#include <wx/radiobut.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "res/quillon_32.xpm"
#include "res/quillon_48.xpm"

#include <quillon_version.h>

#include <string_view>

// The caption names the version too; a new version in project() stops here
// until the caption says the same.
static_assert(std::string_view(kAboutCaption).ends_with("(version " QUILLON_VERSION ")"),
              "kAboutCaption must name the project's version");

wxIconBundle App_IconBundle()
{
    wxIconBundle icons;
    icons.AddIcon(wxIcon(quillon_32));
    icons.AddIcon(wxIcon(quillon_48));
    return icons;
}

wxFont App_TemplateFont(wxWindow *frame)
{
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    const double scale = frame->GetDPIScaleFactor();
    for (double points = font.GetFractionalPointSize(); points >= 6.0; points -= 0.5) {
        font.SetFractionalPointSize(points);
        frame->SetFont(font);
        const wxSize base = frame->ConvertDialogToPixels(wxSize(4, 8));
        if (base.x <= 6 * scale && base.y <= 13 * scale)
            break;
    }
    return font;
}

// Dialog units to pixels of `dialog`.
static wxPoint Dlu(wxWindow *dialog, int x, int y)
{
    return dialog->ConvertDialogToPixels(wxPoint(x, y));
}
static wxSize DluSize(wxWindow *dialog, int w, int h)
{
    return dialog->ConvertDialogToPixels(wxSize(w, h));
}

CAboutDlg::CAboutDlg(wxWindow *parent) : wxDialog(parent, wxID_ANY, kAboutCaption)
{
    SetFont(App_TemplateFont(this));
    SetClientSize(DluSize(this, 235, 135));
    new wxStaticBitmap(this, wxID_ANY, wxBitmap(quillon_32), Dlu(this, 7, 9));
    new wxStaticText(this, wxID_ANY, kAboutText, Dlu(this, 33, 7), DluSize(this, 195, 26));
    auto *ok = new wxButton(this, wxID_OK, "OK", Dlu(this, 175, 34), DluSize(this, 53, 16));
    ok->SetDefault();
    new wxStaticText(this, wxID_ANY, kAboutHowTo, Dlu(this, 7, 42));
    // The help text keeps its CR LF pairs; GTK shows a lone LF per break.
    wxString help = wxString::FromUTF8(kHelpText);
    help.Replace("\r\n", "\n");
    new wxTextCtrl(this, 1004, help, Dlu(this, 7, 51), DluSize(this, 221, 77),
                   wxTE_MULTILINE | wxTE_READONLY | wxVSCROLL | wxBORDER_SUNKEN);
    // The version, in the free line between the text and "How to use:"; made
    // last so that the template's controls keep their order.
    new wxStaticText(this, wxID_ANY, "Version " QUILLON_VERSION, Dlu(this, 33, 33), DluSize(this, 135, 8));
    // A help request inside the box opens nothing further.
    Bind(wxEVT_HELP, [](wxHelpEvent &) {});
    ok->SetFocus();
}

CBinTextDlg::CBinTextDlg(wxWindow *parent, ViewerWindow &window)
    : wxDialog(parent, wxID_ANY, kDumpCaption), window_(window)
{
    SetFont(App_TemplateFont(this));
    SetClientSize(DluSize(this, 255, 94));
    new wxStaticText(this, wxID_ANY, kDumpIntro, Dlu(this, 7, 7), DluSize(this, 241, 18));
    new wxStaticText(this, wxID_ANY, kDumpFormatLabel, Dlu(this, 7, 28));
    // Ids 1006..1013 in data-format order, four to a row; one group.
    static const int columnX[4] = {7, 47, 117, 162}, columnWidth[4] = {38, 68, 43, 86};
    for (int i = 0; i < DumpFormatCount; ++i) {
        formats_[i] = App_FitHeight(new wxRadioButton(this, 1006 + i, kDumpFormatNames[i],
                                                      Dlu(this, columnX[i % 4], 38 + (i / 4) * 11),
                                                      DluSize(this, columnWidth[i % 4], 10),
                                                      i == 0 ? wxRB_GROUP : 0));
    }
    bigEndian_ = App_FitHeight(
        new wxCheckBox(this, 1005, kDumpBigEndian, Dlu(this, 7, 62), DluSize(this, 58, 10)));
    hexadecimal_ = App_FitHeight(
        new wxCheckBox(this, 1014, kDumpHexadecimal, Dlu(this, 67, 62), DluSize(this, 70, 10)));
    new wxStaticText(this, wxID_ANY, kDumpOffsetLabel, Dlu(this, 7, 78));
    offset_ = new wxTextCtrl(this, 1004, "", Dlu(this, 50, 75), DluSize(this, 60, 13));
    auto *ok = new wxButton(this, wxID_OK, "OK", Dlu(this, 144, 74), DluSize(this, 50, 14));
    new wxButton(this, wxID_CANCEL, "Cancel", Dlu(this, 198, 74), DluSize(this, 50, 14));
    ok->SetDefault();

    // Every opening starts from the same options.
    formats_[DumpUnsignedByte]->SetValue(true);
    hexadecimal_->SetValue(true);
    bigEndian_->SetValue(false);
    offset_->ChangeValue("0");

    Bind(wxEVT_BUTTON, &CBinTextDlg::OnOK, this, wxID_OK);
    Bind(wxEVT_HELP, [](wxHelpEvent &) {});
}

DumpOptions CBinTextDlg::GatherOptions() const
{
    DumpOptions options;
    options.dataFormat = DumpUnsignedByte;
    for (int i = 0; i < DumpFormatCount; ++i) {
        if (formats_[i]->GetValue()) {
            options.dataFormat = i;  // the first checked one wins
            break;
        }
    }
    options.bigEndian = bigEndian_->GetValue();
    options.hexadecimal = hexadecimal_->GetValue();
    options.startOffset = Dump_ParseOffsetText(offset_->GetValue().ToStdString().substr(0, 511));
    return options;
}

void CBinTextDlg::OnOK(wxCommandEvent &)
{
    DumpOptions options = GatherOptions();
    dataFormat = options.dataFormat;
    if (BinText_OnOk(window_, options))
        EndModal(wxID_OK);
}
