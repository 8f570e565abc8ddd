// The hex view (control 1011): the bytes of a resource that has no preview of
// its own, sixteen to a line as offset, hex and text, in the text view's
// place. A virtual report list: only the lines on screen are ever formatted,
// so a 100 MB resource shows at once.
#pragma once

#include <wx/listctrl.h>

#include <cstdint>
#include <vector>

class HexViewCtrl : public wxListCtrl {
public:
    HexViewCtrl(wxWindow *parent, wxWindowID id, const wxPoint &pos, const wxSize &size);

    // Shows `*bytes`, read again whenever a line is drawn; null shows nothing.
    void SetBytes(const std::vector<uint8_t> *bytes);
    std::string LineText(long line) const;

protected:
    wxString OnGetItemText(long item, long column) const override;

private:
    void FitColumn();
    const std::vector<uint8_t> *bytes_ = nullptr;
    int lineWidth_ = 0;  // pixels of a whole line in the view's font
};
