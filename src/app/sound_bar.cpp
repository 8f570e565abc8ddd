#include "app/sound_bar.h"
#include "app/main_dialog.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/stattext.h>

#include <cmath>

namespace {

// The slider counts milliseconds of the sound.
int ToSlider(double seconds)
{
    return static_cast<int>(std::lround(std::max(seconds, 0.0) * 1000.0));
}

}  // namespace

SoundBar::SoundBar(wxWindow *parent, wxWindowID id, const wxPoint &pos, int width, ViewerWindow &window)
    : wxPanel(parent, id, pos, wxDefaultSize, wxTAB_TRAVERSAL), window_(window)
{
    button_ = new wxButton(this, wxID_ANY, "Stop", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT);
    button_->SetMinSize(button_->GetBestSize());  // the wider label: Play and Stop take the same room
    button_->SetLabel("Play");
    slider_ = new wxSlider(this, wxID_ANY, 0, 0, 1);
    time_ = new wxStaticText(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxST_NO_AUTORESIZE);
    // Wide enough for the longest time, so that the slider does not jump as it changes.
    time_->SetMinSize(wxSize(time_->GetTextExtent("00:00.0 / 00:00.0").x + 4, -1));
    auto *row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(button_, 0, wxALIGN_CENTER_VERTICAL);
    row->Add(slider_, 1, wxALIGN_CENTER_VERTICAL | wxLEFT, 4);
    row->Add(time_, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 4);
    SetSizer(row);
    SetSize(width, row->GetMinSize().y);
    Layout();
    ShowTime(0);

    button_->Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { App_SoundBarPlayStop(window_); });
    // A held thumb only shows where it is; the sound goes there when it is let go.
    slider_->Bind(wxEVT_SCROLL_THUMBTRACK, [this](wxScrollEvent &) {
        dragging_ = true;
        ShowTime(slider_->GetValue() / 1000.0);
    });
    slider_->Bind(wxEVT_SCROLL_THUMBRELEASE, [this](wxScrollEvent &) {
        dragging_ = false;
        Seek();
    });
    slider_->Bind(wxEVT_SLIDER, [this](wxCommandEvent &) {
        if (!dragging_)
            Seek();
    });
}

void SoundBar::Seek()
{
    // Keys, clicks and a release can all report the one change.
    if (slider_->GetValue() != ToSlider(shown_.position))
        App_SoundBarSeek(window_, slider_->GetValue() / 1000.0);
}

void SoundBar::ShowTime(double position)
{
    const wxString text = App_FormatSoundTime(position) + " / " + App_FormatSoundTime(shown_.length);
    if (time_->GetLabel() != text)
        time_->SetLabel(text);
}

void SoundBar::Set(const SoundBarView &view)
{
    if (view == shown_)
        return;
    shown_ = view;
    button_->SetLabel(view.playing ? "Stop" : "Play");
    button_->Enable(view.canPlay);
    if (!dragging_) {
        const int length = std::max(ToSlider(view.length), 1);
        if (slider_->GetMax() != length)
            slider_->SetRange(0, length);
        slider_->SetValue(ToSlider(view.position));
        ShowTime(view.position);
    }
}
