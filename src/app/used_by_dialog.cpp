// Edit > "Used By...": the places that name an entry, in a small window beside
// the main one; choosing a place selects its entry in the list or the tree,
// as a click there would.
#include "app/entry_tree_ctrl.h"
#include "app/quillon_dlg.h"
#include "viewer/archive_tree.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/sizer.h>

namespace {

constexpr const char *kDialogName = "usedBy";

// The tree's item of `slot` in its archive `a`, building the archive's
// folders; 0 when it has none.
TreeItem TreeItemOf(size_t a, int32_t slot)
{
    if (a >= viewer.session.tree.archives.size())
        return 0;
    TreeArchive &archive = viewer.session.tree.archives[a];
    ArchiveTree_Build(archive);
    for (size_t n = 0; n < archive.nodes.size(); ++n) {
        const int32_t line = archive.nodes[n].line;
        if (line >= 0 && static_cast<size_t>(line) < archive.lines.size() &&
            archive.lines.slots[static_cast<size_t>(line)] == slot)
            return ArchiveTree_Item(a, static_cast<uint32_t>(n));
    }
    return 0;
}

// Selects the entry of `place` where the window shows it; false when no
// shown line or item is it.
bool SelectPlace(CQuillonDlg &frame, const UsedByLine &place)
{
    if (frame.EntryTree()->IsShown()) {
        const TreeItem item = TreeItemOf(place.archive < 0 ? 0 : static_cast<size_t>(place.archive), place.slot);
        if (item == 0)
            return false;
        frame.EntryTree()->Open(item & ~0xFFFFFFFFull);  // its archive's node
        frame.EntryTree()->SelectItem(item);
        OnSelchangeEntryList(frame);
        return true;
    }
    if (viewer.session.folderMode) {
        for (size_t i = 0; i < viewer.session.folderHits.size(); ++i) {
            const Session::FolderHit hit = viewer.session.folderHits[i];
            if (hit.archive == place.archive &&
                viewer.session.tree.archives[static_cast<size_t>(hit.archive)].lines.slots[static_cast<size_t>(hit.line)] ==
                    place.slot) {
                frame.SelectEntryLine(static_cast<int>(i));
                return true;
            }
        }
        return false;
    }
    const std::vector<int> &slots = App_ListedSlots();
    for (size_t i = 0; i < slots.size(); ++i)
        if (slots[i] == place.slot) {
            frame.SelectEntryLine(static_cast<int>(i));
            return true;
        }
    return false;
}

class UsedByDialog : public wxDialog {
public:
    explicit UsedByDialog(CQuillonDlg &frame)
        : wxDialog(&frame, wxID_ANY, "Used By", wxDefaultPosition, wxDefaultSize,
                   wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER, kDialogName),
          frame_(frame)
    {
        list_ = new wxListBox(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0, nullptr, wxLB_SINGLE | wxLB_HSCROLL);
        auto *close = new wxButton(this, wxID_CLOSE, "Close");
        auto *sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(list_, 1, wxEXPAND | wxALL, 6);
        sizer->Add(close, 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, 6);
        SetSizer(sizer);
        SetSize(FromDIP(wxSize(520, 280)));
        SetEscapeId(wxID_CLOSE);
        // The toolkit selects the first line when the list takes the focus:
        // only a line the user moved to or clicked is chosen.
        list_->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent &event) {
            userMoved_ = true;
            event.Skip();
        });
        list_->Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent &event) {
            userMoved_ = true;
            event.Skip();
        });
        list_->Bind(wxEVT_LISTBOX, [this](wxCommandEvent &event) {
            if (userMoved_)
                Choose(event.GetSelection());
        });
        list_->Bind(wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent &event) { Choose(event.GetSelection()); });
        close->Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { Hide(); });
        close_ = close;
    }

    void ShowPlaces()
    {
        Show();
        Raise();
        close_->SetFocus();
    }

    void Fill(const std::string &title, std::vector<UsedByLine> lines)
    {
        SetTitle(wxString(title.c_str(), wxConvISO8859_1));
        lines_ = std::move(lines);
        wxArrayString texts;
        for (const UsedByLine &line : lines_)
            texts.Add(wxString(line.text.c_str(), wxConvISO8859_1));  // archive bytes, as the list shows them
        list_->Set(texts);
        userMoved_ = false;
    }

private:
    void Choose(int at)
    {
        if (at < 0 || static_cast<size_t>(at) >= lines_.size() || frame_.HasEnded())
            return;
        const UsedByLine place = lines_[static_cast<size_t>(at)];
        // A find that leaves the entry out gives way to the whole list (or tree).
        if (!SelectPlace(frame_, place) && viewer.findShown) {
            OnFindClose(frame_);
            SelectPlace(frame_, place);
        }
    }

    CQuillonDlg &frame_;
    wxListBox *list_ = nullptr;
    wxButton *close_ = nullptr;
    bool userMoved_ = false;  // a key or a click in the list since it was filled
    std::vector<UsedByLine> lines_;
};

}  // namespace

void CQuillonDlg::ShowUsedBy(const std::string &title, std::vector<UsedByLine> lines)
{
    auto *dialog = dynamic_cast<UsedByDialog *>(wxWindow::FindWindowByName(kDialogName, this));
    if (!dialog)
        dialog = new UsedByDialog(*this);
    dialog->Fill(title, std::move(lines));
    dialog->ShowPlaces();
}
