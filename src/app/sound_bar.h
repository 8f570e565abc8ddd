// The sound bar (control 1012): Play/Stop, a slider over the selected
// sound's length that seeks, and its position and length as m:ss.s. It shows
// what the handlers give it and hands its clicks and seeks back to them.
#pragma once

#include "viewer/viewer_window.h"

#include <wx/panel.h>

class wxButton;
class wxSlider;
class wxStaticText;

class SoundBar : public wxPanel {
public:
    SoundBar(wxWindow *parent, wxWindowID id, const wxPoint &pos, int width, ViewerWindow &window);

    void Set(const SoundBarView &view);

    wxButton *Button() const { return button_; }
    wxSlider *Slider() const { return slider_; }
    wxStaticText *Time() const { return time_; }

private:
    void ShowTime(double position);
    void Seek();

    ViewerWindow &window_;
    wxButton *button_ = nullptr;
    wxSlider *slider_ = nullptr;
    wxStaticText *time_ = nullptr;
    SoundBarView shown_;
    bool dragging_ = false;  // the slider's thumb is held: the ticks leave it alone
};
