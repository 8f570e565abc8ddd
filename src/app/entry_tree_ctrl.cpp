#include "app/entry_tree_ctrl.h"
#include "app/entry_list_ctrl.h"

#include "session/archive_tree.h"

#include <wx/time.h>

#include <algorithm>

#ifdef __WXGTK__
#include <dlfcn.h>
#endif

static_assert(sizeof(void *) >= sizeof(TreeItem), "tree items are carried in the toolkit's item pointer");

namespace {

wxDataViewItem ToWx(TreeItem item)
{
    return wxDataViewItem(reinterpret_cast<void *>(static_cast<uintptr_t>(item)));
}

TreeItem FromWx(const wxDataViewItem &item)
{
    return static_cast<TreeItem>(reinterpret_cast<uintptr_t>(item.GetID()));
}

// Labels are archive bytes, single-byte text.
wxString ShownText(const std::string &text)
{
    return wxString(text.data(), wxConvISO8859_1, text.size());
}

}  // namespace

// GTK asks for the children of every container it shows, to draw its arrow:
// an archive not yet opened answers with one stand-in child, so that showing
// a folder reads no index, and its children replace the stand-in when it opens.
class ArchiveTreeModel : public wxDataViewModel {
public:
    explicit ArchiveTreeModel(ArchiveTree &tree) : tree_(tree) {}

    static constexpr uint32_t kStandIn = 0xFFFFFFFFu;
    std::vector<char> opened;  // per archive: its children are the real ones

    // Replaces an archive's stand-in by its children.
    void OpenArchive(TreeItem item)
    {
        const size_t a = static_cast<size_t>((item >> 32) - 1);
        if (static_cast<uint32_t>(item) != 0 || a >= opened.size() || opened[a])
            return;
        opened[a] = true;
        const wxDataViewItem parent = ToWx(item);
        ItemDeleted(parent, ToWx(ArchiveTree_Item(a, kStandIn)));
        wxDataViewItemArray children;
        GetChildren(parent, children);
        ItemsAdded(parent, children);
    }

    unsigned GetColumnCount() const override { return 1; }
    wxString GetColumnType(unsigned) const override { return "string"; }
    void GetValue(wxVariant &value, const wxDataViewItem &item, unsigned) const override
    {
        value = IsStandIn(FromWx(item)) ? wxString() : ShownText(ArchiveTree_Label(tree_, FromWx(item)));
    }
    bool SetValue(const wxVariant &, const wxDataViewItem &, unsigned) override { return false; }
    bool GetAttr(const wxDataViewItem &item, unsigned, wxDataViewItemAttr &attr) const override
    {
        const wxColour colour = App_MarkColour(marks ? marks(FromWx(item)) : 0);
        if (!colour.IsOk())
            return false;
        attr.SetColour(colour);
        return true;
    }
    std::function<int(uint64_t)> marks;
    wxDataViewItem GetParent(const wxDataViewItem &item) const override
    {
        const TreeItem tree = FromWx(item);
        return ToWx(IsStandIn(tree) ? tree & ~0xFFFFFFFFull : ArchiveTree_Parent(tree_, tree));
    }
    bool IsContainer(const wxDataViewItem &item) const override
    {
        return ArchiveTree_IsContainer(tree_, FromWx(item));
    }
    bool HasContainerColumns(const wxDataViewItem &) const override { return true; }
    unsigned GetChildren(const wxDataViewItem &item, wxDataViewItemArray &children) const override
    {
        const TreeItem parent = FromWx(item);
        const size_t a = static_cast<size_t>((parent >> 32) - 1);
        if (parent != 0 && static_cast<uint32_t>(parent) == 0 && a < opened.size() && !opened[a]) {
            children.push_back(ToWx(ArchiveTree_Item(a, kStandIn)));
            return 1;
        }
        const std::vector<TreeItem> items = ArchiveTree_Children(tree_, parent);
        children.reserve(items.size());
        for (TreeItem child : items)
            children.push_back(ToWx(child));
        return static_cast<unsigned>(items.size());
    }

private:
    static bool IsStandIn(TreeItem item) { return item != 0 && static_cast<uint32_t>(item) == kStandIn; }
    ArchiveTree &tree_;
};

EntryTreeCtrl::EntryTreeCtrl(wxWindow *parent, wxWindowID id, const wxPoint &pos, const wxSize &size,
                             ArchiveTree &tree)
    : wxDataViewCtrl(parent, id, pos, size, wxDV_NO_HEADER | wxDV_SINGLE | wxBORDER_SUNKEN), tree_(tree)
{
    model_ = new ArchiveTreeModel(tree);
    AssociateModel(model_);
    model_->DecRef();  // the control holds it
    Bind(wxEVT_DATAVIEW_ITEM_EXPANDING, [this](wxDataViewEvent &event) {
        model_->OpenArchive(FromWx(event.GetItem()));
        event.Skip();
    });
    AppendTextColumn("", 0, wxDATAVIEW_CELL_INERT, wxCOL_WIDTH_AUTOSIZE, wxALIGN_LEFT);
#ifdef __WXGTK__
    // GTK's own search would take the typed letters into a box of its own,
    // and the arrows after them: typing jumps here as on every system. GTK is
    // in the process already (the toolkit runs on it), found by name so that
    // the build needs none of its headers.
    using EnableSearch = void (*)(void *treeView, int enable);
    if (auto enableSearch = reinterpret_cast<EnableSearch>(dlsym(RTLD_DEFAULT, "gtk_tree_view_set_enable_search")))
        enableSearch(GtkGetTreeView(), 0);
#endif
    Bind(wxEVT_CHAR, &EntryTreeCtrl::OnChar, this);
    Bind(wxEVT_KEY_DOWN, &EntryTreeCtrl::OnKeyDown, this);
    if (wxWindow *main = GetMainWindow(); main && main != this) {
        main->Bind(wxEVT_CHAR, &EntryTreeCtrl::OnChar, this);
        main->Bind(wxEVT_KEY_DOWN, &EntryTreeCtrl::OnKeyDown, this);
    }
}

void EntryTreeCtrl::Reset()
{
    model_->opened.assign(tree_.archives.size(), false);
    model_->Cleared();
    if (tree_.archives.size() == 1)
        Open(ArchiveTree_Item(0, 0));
}

void EntryTreeCtrl::Open(uint64_t item)
{
    model_->OpenArchive(item);
    Expand(ToWx(item));
}

uint64_t EntryTreeCtrl::SelectedItem() const
{
    return FromWx(GetSelection());
}

void EntryTreeCtrl::SelectItem(uint64_t item)
{
    const wxDataViewItem wx = ToWx(item);
    EnsureVisible(wx);
    // The keyboard goes on from the item selected, not from where it was before.
    SetCurrentItem(wx);
    Select(wx);
}

void EntryTreeCtrl::Choose(uint64_t item)
{
    if (item == 0 || item == SelectedItem())
        return;
    SelectItem(item);
    wxDataViewEvent changed(wxEVT_DATAVIEW_SELECTION_CHANGED, this, ToWx(item));
    ProcessWindowEvent(changed);
}

bool EntryTreeCtrl::Opened(uint64_t item) const
{
    return ArchiveTree_IsContainer(tree_, item) && IsExpanded(ToWx(item));
}

uint64_t EntryTreeCtrl::Below(uint64_t item) const
{
    if (Opened(item))
        if (const TreeItem child = ArchiveTree_EdgeChild(tree_, item, false))
            return child;
    for (; item != 0; item = ArchiveTree_Parent(tree_, item))
        if (const TreeItem next = ArchiveTree_Sibling(tree_, item, 1))
            return next;
    return 0;
}

uint64_t EntryTreeCtrl::LastShown(uint64_t under) const
{
    TreeItem item = under;
    while ((item == 0 || Opened(item)) && ArchiveTree_EdgeChild(tree_, item, true))
        item = ArchiveTree_EdgeChild(tree_, item, true);
    return item;
}

uint64_t EntryTreeCtrl::Above(uint64_t item) const
{
    const TreeItem previous = ArchiveTree_Sibling(tree_, item, -1);
    return previous ? LastShown(previous) : ArchiveTree_Parent(tree_, item);
}

void EntryTreeCtrl::OnKeyDown(wxKeyEvent &event)
{
    // The keys move from the selected item through the shown ones, as the
    // tree's own model says; the toolkit's cursor may lag behind a selection
    // made by typing. Right opens a closed node and goes into an open one;
    // Left closes an open node and goes up from anything else.
    const TreeItem item = SelectedItem();
    const int key = event.GetKeyCode();
    if (event.HasAnyModifiers()) {
        event.Skip();
        return;
    }
    const int page = std::max(1, GetCountPerPage() - 1);
    TreeItem to = 0;
    switch (key) {
    case WXK_RIGHT:
        if (item && ArchiveTree_IsContainer(tree_, item) && !IsExpanded(ToWx(item)))
            Open(item);
        else if (Opened(item))
            to = ArchiveTree_EdgeChild(tree_, item, false);
        break;
    case WXK_LEFT:
        if (Opened(item))
            Collapse(ToWx(item));
        else
            to = ArchiveTree_Parent(tree_, item);
        break;
    case WXK_DOWN: to = item ? Below(item) : ArchiveTree_EdgeChild(tree_, 0, false); break;
    case WXK_UP: to = item ? Above(item) : 0; break;
    case WXK_HOME: to = ArchiveTree_EdgeChild(tree_, 0, false); break;
    case WXK_END: to = LastShown(0); break;
    case WXK_PAGEDOWN:
    case WXK_PAGEUP:
        to = item;
        for (int i = 0; i < page; ++i)
            if (const TreeItem next = key == WXK_PAGEDOWN ? Below(to) : Above(to))
                to = next;
        break;
    default:
        event.Skip();
        return;
    }
    Choose(to);
}

void EntryTreeCtrl::OnChar(wxKeyEvent &event)
{
    // Typing jumps to the next shown item whose text starts with what was
    // typed within the last second, as in a file manager.
    const wxChar c = event.GetUnicodeKey();
    if (c == WXK_NONE || c < ' ' || event.HasAnyModifiers()) {
        event.Skip();
        return;
    }
    const long now = static_cast<long>(wxGetLocalTimeMillis().GetValue());
    typed_ = now - typedAtMs_ < 1000 ? typed_ + c : wxString(c);
    typedAtMs_ = now;

    // From the selected item (past it for a new first letter) through the
    // shown ones, round to the top once.
    const TreeItem selected = SelectedItem();
    const TreeItem first = ArchiveTree_EdgeChild(tree_, 0, false);
    TreeItem item = !selected ? first : typed_.length() == 1 ? Below(selected) : selected;
    const wxString wanted = typed_.Lower();
    for (bool wrapped = false;; item = Below(item)) {
        if (!item) {
            if (wrapped || !first)
                return;
            wrapped = true;
            item = first;
        }
        if (ShownText(Label(item)).Lower().StartsWith(wanted)) {
            Choose(item);
            return;
        }
    }
}

void EntryTreeCtrl::SetMarks(std::function<int(uint64_t item)> marks)
{
    model_->marks = std::move(marks);
}

std::string EntryTreeCtrl::Label(uint64_t item) const
{
    return ArchiveTree_Label(tree_, item);
}
