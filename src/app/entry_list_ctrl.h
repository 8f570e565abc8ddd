// The entry list (control 1000): a virtual report-mode list without a header,
// single selection, one column as wide as the control or as its longest line
// (which then scrolls sideways). It holds only the line texts, already in the
// list's order; a sorted list box takes seconds to fill with 100,000 lines,
// this shows them at once.
#pragma once

#include <wx/listctrl.h>

#include <functional>
#include <string>
#include <vector>

// The colour an EntryMark (by number) gives an entry's text in the list and
// the tree; wxNullColour for none.
wxColour App_MarkColour(int mark);

class EntryListCtrl : public wxListCtrl {
public:
    EntryListCtrl(wxWindow *parent, wxWindowID id, const wxPoint &pos, const wxSize &size);

    // Replaces all lines and clears the selection.
    void SetLines(std::vector<const char *> lines);
    size_t LineCount() const { return lines_.size(); }
    std::string LineText(long line) const;
    long Selection() const { return GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); }
    // Lines whose `marks` is not 0 (an EntryMark) are drawn in its colour.
    void SetLineMarks(std::function<int(long line)> marks) { marks_ = std::move(marks); }
    // The child window that draws the lines and takes their clicks.
    wxWindow *LinesWindow() const { return GetChildren().empty() ? nullptr : GetChildren().front(); }

protected:
    wxString OnGetItemText(long item, long column) const override;
    wxItemAttr *OnGetItemAttr(long item) const override;

private:
    void FitColumn();
    void ShowTip(long line);
    int WidestLine() const;
    std::vector<const char *> lines_;
    std::function<int(long)> marks_;
    mutable wxItemAttr markAttr_;
    int linesWidth_ = 0;  // pixels of the widest line
    long tipLine_ = -1;   // the line whose whole text the tooltip shows
};
