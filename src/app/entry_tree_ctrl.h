// The archive tree (control 1012) in the entry list's place: the archives of
// a folder (or the one archive of View > As Tree), the folders their entry
// names make, and the entries. Virtual: the model answers from viewer.session.tree,
// whose archives are read and built only when their nodes are opened.
#pragma once

#include <wx/dataview.h>

#include <cstdint>
#include <functional>
#include <string>

struct ArchiveTree;
class ArchiveTreeModel;

class EntryTreeCtrl : public wxDataViewCtrl {
public:
    EntryTreeCtrl(wxWindow *parent, wxWindowID id, const wxPoint &pos, const wxSize &size, ArchiveTree &tree);

    // The tree was replaced: shown afresh, every node closed but a lone archive's.
    void Reset();
    // Opens a node as a click on its arrow does.
    void Open(uint64_t item);
    // The selected item as viewer.session.tree names it (0 when none), and back.
    uint64_t SelectedItem() const;
    void SelectItem(uint64_t item);
    // The shown text of an item.
    std::string Label(uint64_t item) const;
    // Entries whose `marks` is not 0 (an EntryMark) are drawn in its colour.
    void SetMarks(std::function<int(uint64_t item)> marks);

private:
    void OnChar(wxKeyEvent &event);
    void OnKeyDown(wxKeyEvent &event);
    bool Opened(uint64_t item) const;
    // The shown item after or before `item` (0 when none), and the last one shown.
    uint64_t Below(uint64_t item) const;
    uint64_t Above(uint64_t item) const;
    uint64_t LastShown(uint64_t under) const;
    // Selects `item` as the user would, the selection handler told.
    void Choose(uint64_t item);
    ArchiveTree &tree_;
    ArchiveTreeModel *model_ = nullptr;
    wxString typed_;       // what typing has asked for so far
    long typedAtMs_ = 0;   // when the last key of it came
};
