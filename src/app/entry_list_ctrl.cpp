#include "app/entry_list_ctrl.h"

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
}

void EntryListCtrl::FitColumn()
{
    SetColumnWidth(0, std::max(GetClientSize().x, 1));
}

void EntryListCtrl::SetLines(std::vector<const char *> lines)
{
    // Drop the selection first: its line number would point at another text.
    long selected = Selection();
    if (selected >= 0 && selected < GetItemCount())
        SetItemState(selected, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    lines_ = std::move(lines);
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
