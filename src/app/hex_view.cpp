#include "app/hex_view.h"

#include "resource/resource_details.h"

HexViewCtrl::HexViewCtrl(wxWindow *parent, wxWindowID id, const wxPoint &pos, const wxSize &size)
    : wxListCtrl(parent, id, pos, size,
                 wxLC_REPORT | wxLC_VIRTUAL | wxLC_NO_HEADER | wxLC_SINGLE_SEL | wxBORDER_SUNKEN)
{
    SetFont(wxFont(wxFontInfo(GetFont().GetPointSize()).Family(wxFONTFAMILY_TELETYPE)));
    lineWidth_ = GetTextExtent(wxString('0', kHexLineChars)).x + 12;
    AppendColumn("");
    FitColumn();
    Bind(wxEVT_SIZE, [this](wxSizeEvent &event) {
        event.Skip();
        FitColumn();
    });
}

void HexViewCtrl::FitColumn()
{
    // As wide as a line, or the view when it is wider: the rest scrolls.
    SetColumnWidth(0, std::max(GetClientSize().x, lineWidth_));
}

void HexViewCtrl::SetBytes(const std::vector<uint8_t> *bytes)
{
    bytes_ = bytes;
    const uint64_t lines = bytes ? Resource_HexLineCount(bytes->size()) : 0;
    SetItemCount(static_cast<long>(lines));
    if (lines > 0)
        EnsureVisible(0);
    Refresh();
}

std::string HexViewCtrl::LineText(long line) const
{
    char text[kHexLineChars + 1];
    if (!bytes_ || line < 0)
        return std::string();
    return std::string(text, Resource_HexLine(*bytes_, static_cast<uint64_t>(line), text));
}

wxString HexViewCtrl::OnGetItemText(long item, long) const
{
    // The bytes may have been released since the count was set: a line past
    // their end is empty.
    return wxString::FromAscii(LineText(item).c_str());
}
