#include "app/entry_list_ctrl.h"

#include <algorithm>
#include <cstring>

EntryListCtrl::EntryListCtrl(wxWindow *parent, wxWindowID id, const wxPoint &pos, const wxSize &size)
    : wxListCtrl(parent, id, pos, size,
                 wxLC_REPORT | wxLC_VIRTUAL | wxLC_NO_HEADER | wxLC_SINGLE_SEL | wxBORDER_SUNKEN)
{
    AppendColumn("");
    FitColumn();
    Bind(wxEVT_SIZE, [this](wxSizeEvent &event) {
        event.Skip();
        FitColumn();
    });
    if (wxWindow *lines = LinesWindow()) {
        lines->Bind(wxEVT_MOTION, [this](wxMouseEvent &event) {
            event.Skip();
            int flags = 0;
            ShowTip(HitTest(event.GetPosition(), flags));
        });
        lines->Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent &event) {
            event.Skip();
            ShowTip(-1);
        });
    }
}

void EntryListCtrl::ShowTip(long line)
{
    if (line == tipLine_)
        return;
    tipLine_ = line;
    wxWindow *lines = LinesWindow();
    // Only a line the list cuts needs its whole text told.
    const wxString text = line >= 0 ? OnGetItemText(line, 0) : wxString();
    if (!text.empty() && GetTextExtent(text).x + 12 > GetClientSize().x)
        lines->SetToolTip(text);
    else
        lines->UnsetToolTip();
}

void EntryListCtrl::FitColumn()
{
    SetColumnWidth(0, std::max({GetClientSize().x, linesWidth_, 1}));
}

int EntryListCtrl::WidestLine() const
{
    // Measuring every line would take longer than the list may to appear:
    // the longest few by characters hold the widest one in any usual font.
    constexpr size_t kMeasured = 8;
    std::pair<size_t, const char *> longest[kMeasured] = {};
    for (const char *line : lines_) {
        const size_t length = strlen(line);
        if (length <= longest[kMeasured - 1].first)
            continue;
        size_t at = kMeasured - 1;
        for (; at > 0 && longest[at - 1].first < length; --at)
            longest[at] = longest[at - 1];
        longest[at] = {length, line};
    }
    int widest = 0;
    for (const auto &[length, line] : longest)
        if (line)
            widest = std::max(widest, GetTextExtent(wxString(line, wxConvISO8859_1, length)).x);
    return widest > 0 ? widest + 12 : 0;  // the margins the list draws around a line
}

void EntryListCtrl::SetLines(std::vector<const char *> lines)
{
    // Drop the selection first: its line number would point at another text.
    long selected = Selection();
    if (selected >= 0 && selected < GetItemCount())
        SetItemState(selected, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    lines_ = std::move(lines);
    ShowTip(-1);
    linesWidth_ = WidestLine();
    FitColumn();
    SetItemCount(static_cast<long>(lines_.size()));
    if (!lines_.empty())
        EnsureVisible(0);
    Refresh();
}

std::string EntryListCtrl::LineText(long line) const
{
    if (line < 0 || static_cast<size_t>(line) >= lines_.size())
        return std::string();
    return lines_[static_cast<size_t>(line)];
}

wxString EntryListCtrl::OnGetItemText(long item, long) const
{
    if (item < 0 || static_cast<size_t>(item) >= lines_.size())
        return wxString();
    // Names are single-byte text.
    const char *text = lines_[static_cast<size_t>(item)];
    return wxString(text, wxConvISO8859_1);
}

wxColour App_MarkColour(int mark)
{
    // Edited lines (replaced, renamed) in blue, added ones in green, as
    // EntryMark numbers them; the control's own colours otherwise.
    static const wxColour kMarkColours[] = {wxNullColour, wxColour(0, 70, 200), wxColour(0, 130, 40),
                                            wxColour(0, 70, 200)};
    return mark > 0 && mark < static_cast<int>(std::size(kMarkColours)) ? kMarkColours[mark] : wxNullColour;
}

wxItemAttr *EntryListCtrl::OnGetItemAttr(long item) const
{
    const wxColour colour = App_MarkColour(marks_ ? marks_(item) : 0);
    if (!colour.IsOk())
        return nullptr;
    markAttr_.SetTextColour(colour);
    return &markAttr_;
}
