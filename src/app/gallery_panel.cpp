// The gallery's window: a grid scrolled a row at a time, drawing only the rows
// on screen from the pictures the workers left in the cache, asking for the
// ones it lacks (those on screen first, then the rows nearest to them), and
// moving the list's or the tree's selection as the user moves through it.
#include "app/gallery_panel.h"
#include "app/app_local.h"
#include "app/entry_list_ctrl.h"
#include "app/entry_tree_ctrl.h"
#include "app/main_dialog.h"
#include "app/quillon_dlg.h"
#include "app/settings.h"
#include "viewer/viewer_state.h"

#include <wx/control.h>
#include <wx/dcbuffer.h>
#include <wx/image.h>
#include <wx/settings.h>
#include <wx/time.h>

#include <algorithm>

namespace {

constexpr int kPad = 6;      // pixels around a thumbnail in its cell
constexpr int kChecker = 8;  // side of the checkerboard's squares behind transparent pixels

bool HasPicture(int kind)
{
    return kind == KindTexture || kind == KindMaterial;
}

int SizeOfCommand(int command)
{
    return command == CmdViewThumbs64 ? 64 : command == CmdViewThumbs256 ? 256 : 128;
}

Command CommandOfSize(int size)
{
    return size == 64 ? CmdViewThumbs64 : size == 256 ? CmdViewThumbs256 : CmdViewThumbs128;
}

// The colour of an edited entry's mark and name, as the list draws its line.
wxColour MarkColour(int mark)
{
    return mark == static_cast<int>(EntryMark::Added) ? wxColour(0, 130, 40) : wxColour(0, 70, 200);
}

// The picture over a checkerboard, where its alpha lets it through.
wxBitmap PictureBitmap(const TextureImage &image)
{
    wxImage out(static_cast<int>(image.width), static_cast<int>(image.height), false);
    unsigned char *rgb = out.GetData();
    const uint8_t *p = image.rgba.data();
    for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width; ++x, p += 4, rgb += 3) {
            const int checker = ((x / kChecker) + (y / kChecker)) % 2 ? 204 : 255;
            for (int c = 0; c < 3; ++c)
                rgb[c] = static_cast<unsigned char>((p[c] * p[3] + checker * (255 - p[3]) + 127) / 255);
        }
    return wxBitmap(out);
}

// A simple drawing of a kind that has no picture, with the kind's word under it.
void DrawKindIcon(wxDC &dc, const wxRect &square, int kind)
{
    const wxRect r = wxRect(square).Deflate(square.width / 5);
    const int w = std::max(r.width, 8);
    dc.SetPen(wxPen(wxColour(110, 110, 120), std::max(1, w / 40)));
    dc.SetBrush(wxBrush(wxColour(232, 234, 240)));
    switch (kind) {
    case KindModel: {  // a box seen from above a corner
        const int d = w / 4;
        const wxRect front(r.x, r.y + d, w - d, r.height - d);
        const wxPoint back[] = {{r.x + d, r.y}, {r.x + w, r.y}, {r.x + w, r.y + r.height - d}};
        dc.DrawLine(front.GetTopLeft(), back[0]);
        dc.DrawLine(back[0], back[1]);
        dc.DrawLine(back[1], back[2]);
        dc.DrawLine(front.GetTopRight(), back[1]);
        dc.DrawLine(front.GetBottomRight(), back[2]);
        dc.DrawRectangle(front);
        break;
    }
    case KindOggVorbis: {  // a note
        const int head = w / 4;
        dc.DrawEllipse(r.x + w / 4, r.y + r.height - head - w / 6, head + head / 2, head);
        const int stemX = r.x + w / 4 + head + head / 2 - 1;
        dc.DrawLine(stemX, r.y + r.height - head / 2 - w / 6, stemX, r.y + w / 8);
        dc.DrawLine(stemX, r.y + w / 8, stemX + w / 4, r.y + w / 4);
        break;
    }
    case KindMaterial:  // a lit ball: a material whose texture was not found
        dc.DrawEllipse(r.x + w / 8, r.y + w / 8, w * 3 / 4, w * 3 / 4);
        dc.SetBrush(*wxWHITE_BRUSH);
        dc.DrawEllipse(r.x + w / 3, r.y + w / 4, w / 6, w / 8);
        break;
    case KindTexture:
    case -2: {  // a picture that cannot be shown, or an entry that cannot be read
        dc.DrawRectangle(r);
        dc.DrawLine(r.GetTopLeft(), r.GetBottomRight());
        dc.DrawLine(r.GetTopRight(), r.GetBottomLeft());
        break;
    }
    default: {  // a page of text or bytes
        const int fold = w / 5;
        const wxPoint page[] = {{r.x + w / 6, r.y},
                                {r.x + w * 5 / 6 - fold, r.y},
                                {r.x + w * 5 / 6, r.y + fold},
                                {r.x + w * 5 / 6, r.y + r.height},
                                {r.x + w / 6, r.y + r.height}};
        dc.DrawPolygon(5, page);
        for (int line = 1; line <= 4; ++line)
            dc.DrawLine(r.x + w / 6 + w / 10, r.y + fold + line * r.height / 7, r.x + w * 5 / 6 - w / 10,
                        r.y + fold + line * r.height / 7);
        break;
    }
    }
    const wxString word = kind >= 0 ? wxString(ResourceKind_CliName(static_cast<ResourceKind>(kind))) : "unreadable";
    const wxSize extent = dc.GetTextExtent(word);
    if (extent.x < square.width) {
        dc.SetTextForeground(wxColour(90, 90, 100));
        dc.DrawText(word, square.x + (square.width - extent.x) / 2, square.GetBottom() - extent.y);
    }
}

}  // namespace

GalleryPanel::GalleryPanel(wxWindow *parent, wxWindowID id, CQuillonDlg &frame)
    : wxVScrolledWindow(parent, id, wxDefaultPosition, wxDefaultSize, wxWANTS_CHARS | wxBORDER_SUNKEN),
      frame_(frame)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_LISTBOX));
    Bind(wxEVT_PAINT, &GalleryPanel::OnPaint, this);
    Bind(wxEVT_SIZE, [this](wxSizeEvent &event) {
        event.Skip();
        Relayout();
    });
    Bind(wxEVT_KEY_DOWN, &GalleryPanel::OnKeyDown, this);
    Bind(wxEVT_CHAR, &GalleryPanel::OnChar, this);
    Bind(wxEVT_LEFT_DOWN, &GalleryPanel::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &GalleryPanel::OnLeftDClick, this);
    Bind(wxEVT_MOUSEWHEEL, &GalleryPanel::OnWheel, this);
    // A selection made in the list or the tree is shown here too.
    frame_.EntryList()->Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent &event) {
        event.Skip();
        if (IsShown())
            CallAfter([this] { FollowSelection(); });
    });
    frame_.EntryTree()->Bind(wxEVT_DATAVIEW_SELECTION_CHANGED, [this](wxDataViewEvent &event) {
        event.Skip();
        if (IsShown())
            CallAfter([this] { FollowSelection(); });
    });
}

GalleryPanel::~GalleryPanel()
{
    queue_.reset();  // its workers report into results_
}

bool GalleryPanel::OnCommand(int command)
{
    switch (command) {
    case CmdViewAsGallery:
        ShowGallery(!IsShown());
        return true;
    case CmdViewThumbs64:
    case CmdViewThumbs128:
    case CmdViewThumbs256:
        SetThumbSize(SizeOfCommand(command));
        App_SaveThumbSize(size_);
        return true;
    default:
        return false;
    }
}

void GalleryPanel::ShowGallery(bool shown)
{
    frame_.CheckMenuItem(CmdViewAsGallery, shown);
    if (shown == IsShown())
        return;
    if (!shown) {
        Hide();
        queue_->Want({});
        // The selected entry is shown as a click on it shows it.
        OnSelchangeEntryList(frame_);
        frame_.FocusEntryList();
        return;
    }
    if (!queue_)
        queue_ = std::make_unique<ThumbQueue>(cache_, 0, [this](const ThumbResult &result) {
            bool first = false;
            {
                std::lock_guard lock(resultsLock_);
                first = results_.empty();
                results_.push_back(result);
            }
            if (first)
                CallAfter([this] { TakeResults(); });
        });
    const ControlRect view = frame_.GetControlRect(IdGlView);
    SetSize(view.x, view.y, view.width, view.height);
    viewer.viewHidden = true;
    App_HidePanes(frame_);
    Show();
    Rebuild();
    SetFocus();
}

void GalleryPanel::ListChanged()
{
    if (!IsShown() || rebuildPosted_)
        return;
    // The handlers that change the lines change the state around them too:
    // the cells are made once they are through.
    rebuildPosted_ = true;
    CallAfter([this] {
        rebuildPosted_ = false;
        if (IsShown())
            Rebuild();
    });
}

void GalleryPanel::SetThumbSize(int size)
{
    frame_.CheckMenuItem(CommandOfSize(size), true);
    if (size == size_)
        return;
    const int keep = App_GallerySelectedCell(gallery_);
    const size_t first = GetVisibleRowsBegin() * static_cast<size_t>(Columns());
    size_ = size;
    screenComplete_ = false;
    ++generation_;  // what is being made is of the old size
    for (GalleryCell &cell : gallery_.cells)
        cell.pictureless = false;
    bitmaps_.clear();
    Relayout();
    ShowCell(keep >= 0 ? keep : static_cast<int>(std::min(first, gallery_.cells.size())));
    Refresh();
}

int GalleryPanel::CellWidth() const
{
    return size_ + 2 * kPad + 4;
}

int GalleryPanel::Columns() const
{
    return std::max(1, GetClientSize().x / CellWidth());
}

wxCoord GalleryPanel::OnGetRowHeight(size_t) const
{
    return size_ + 2 * kPad + GetCharHeight() + 2;
}

void GalleryPanel::Relayout()
{
    const size_t columns = static_cast<size_t>(Columns());
    SetRowCount((gallery_.cells.size() + columns - 1) / columns);
    RefreshAll();  // the rows' height may have changed
}

void GalleryPanel::Rebuild()
{
    screenComplete_ = false;  // until it has painted
    App_MakeGalleryCells(gallery_);
    ++generation_;
    Relayout();
    FollowSelection();
    Refresh();
    Request();  // the workers start before the first paint
}

void GalleryPanel::FollowSelection()
{
    const int selected = App_GallerySelectedCell(gallery_);
    if (selected >= 0)
        ShowCell(selected);
    Refresh();
}

void GalleryPanel::ShowCell(int i)
{
    if (i < 0 || static_cast<size_t>(i) >= gallery_.cells.size())
        return;
    const size_t row = static_cast<size_t>(i / Columns());
    const size_t rowHeight = static_cast<size_t>(OnGetRowHeight(0));
    const size_t whole = std::max<size_t>(1, static_cast<size_t>(GetClientSize().y) / rowHeight);
    const size_t first = GetVisibleRowsBegin();
    if (row < first)
        ScrollToRow(row);
    else if (row >= first + whole)
        ScrollToRow(row + 1 - whole);
}

wxRect GalleryPanel::ThumbRect(size_t i) const
{
    const size_t columns = static_cast<size_t>(Columns());
    const size_t row = i / columns, first = GetVisibleRowsBegin();
    if (i >= gallery_.cells.size() || row < first || row >= GetVisibleRowsEnd())
        return wxRect();
    const int margin = (GetClientSize().x - static_cast<int>(columns) * CellWidth()) / 2;
    const int x = margin + static_cast<int>(i % columns) * CellWidth() + (CellWidth() - size_) / 2;
    const int y = static_cast<int>(row - first) * OnGetRowHeight(0) + kPad;
    return wxRect(x, y, size_, size_);
}

int GalleryPanel::HitTest(const wxPoint &point) const
{
    const int columns = Columns();
    const int margin = (GetClientSize().x - columns * CellWidth()) / 2;
    if (point.x < margin || point.y < 0)
        return -1;
    const int column = (point.x - margin) / CellWidth();
    const size_t row = GetVisibleRowsBegin() + static_cast<size_t>(point.y / OnGetRowHeight(0));
    const size_t i = row * static_cast<size_t>(columns) + static_cast<size_t>(column);
    return column < columns && i < gallery_.cells.size() ? static_cast<int>(i) : -1;
}

void GalleryPanel::OnPaint(wxPaintEvent &)
{
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(GetBackgroundColour()));
    dc.Clear();
    dc.SetFont(GetFont());
    const size_t columns = static_cast<size_t>(Columns());
    const int margin = (GetClientSize().x - static_cast<int>(columns) * CellWidth()) / 2;
    const int rowHeight = OnGetRowHeight(0);
    const int selected = App_GallerySelectedCell(gallery_);
    bool complete = true;
    std::unordered_map<std::string, wxBitmap> drawn;
    const size_t first = GetVisibleRowsBegin();
    for (size_t row = first; row < GetVisibleRowsEnd(); ++row)
        for (size_t column = 0; column < columns; ++column) {
            const size_t i = row * columns + column;
            if (i >= gallery_.cells.size())
                break;
            const wxRect cell(margin + static_cast<int>(column) * CellWidth(), static_cast<int>(row - first) * rowHeight,
                              CellWidth(), rowHeight);
            DrawCell(dc, i, cell, static_cast<int>(i) == selected, complete, drawn);
        }
    bitmaps_.swap(drawn);  // pictures scrolled away are let go
    screenComplete_ = complete;
    Request();
}

void GalleryPanel::DrawCell(wxDC &dc, size_t i, const wxRect &cell, bool selected, bool &complete,
                            std::unordered_map<std::string, wxBitmap> &drawn)
{
    const GalleryCell &entry = gallery_.cells[i];
    if (selected) {
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT)));
        dc.DrawRectangle(wxRect(cell).Deflate(1));
    }
    const wxRect square(cell.x + (cell.width - size_) / 2, cell.y + kPad, size_, size_);
    const std::string key = App_GalleryKey(entry, size_);
    wxBitmap picture;
    if (const auto it = bitmaps_.find(key); it != bitmaps_.end())
        picture = it->second;
    else if (const std::shared_ptr<const TextureImage> image = cache_.Find(key))
        picture = PictureBitmap(*image);
    if (picture.IsOk()) {
        drawn[key] = picture;
        dc.DrawBitmap(picture, square.x + (size_ - picture.GetWidth()) / 2, square.y + (size_ - picture.GetHeight()) / 2);
    } else if (entry.kind == -2 || (entry.kind >= 0 && (!HasPicture(entry.kind) || entry.pictureless))) {
        DrawKindIcon(dc, square, entry.kind);
    } else {
        // Not made yet.
        dc.SetPen(wxPen(wxColour(200, 200, 205)));
        dc.SetBrush(wxBrush(wxColour(238, 238, 242)));
        dc.DrawRectangle(square);
        complete = false;
    }
    if (entry.mark != 0) {
        // The corner of an edit that waits for a save.
        const int corner = std::max(8, size_ / 8);
        const wxPoint triangle[] = {{square.GetRight() - corner, square.y}, {square.GetRight() + 1, square.y},
                                    {square.GetRight() + 1, square.y + corner}};
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(MarkColour(entry.mark)));
        dc.DrawPolygon(3, triangle);
    }
    // The name's last part, as much as the cell holds.
    const size_t cut = entry.name.find_last_of("\\/");
    const std::string last = cut == std::string::npos ? entry.name : entry.name.substr(cut + 1);
    const wxString name = wxControl::Ellipsize(wxString(last.c_str(), wxConvISO8859_1), dc, wxELLIPSIZE_END,
                                               cell.width - 4);
    dc.SetTextForeground(selected          ? wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHTTEXT)
                         : entry.mark != 0 ? MarkColour(entry.mark)
                                           : wxSystemSettings::GetColour(wxSYS_COLOUR_LISTBOXTEXT));
    const int width = dc.GetTextExtent(name).x;
    dc.DrawText(name, cell.x + (cell.width - width) / 2, square.GetBottom() + kPad / 2 + 1);
}

void GalleryPanel::Request()
{
    if (!queue_)
        return;
    if (!IsShown() || gallery_.cells.empty()) {
        queue_->Want({});
        return;
    }
    const size_t columns = static_cast<size_t>(Columns());
    const size_t rows = GetRowCount(), first = GetVisibleRowsBegin(), end = GetVisibleRowsEnd();
    const size_t page = std::max<size_t>(end - first, 1);
    std::vector<ThumbRequest> wanted;
    auto ask = [&](size_t row) {
        for (size_t i = row * columns; i < std::min((row + 1) * columns, gallery_.cells.size()); ++i) {
            GalleryCell &cell = gallery_.cells[i];
            if (cell.kind == -2 || (cell.kind >= 0 && (!HasPicture(cell.kind) || cell.pictureless)))
                continue;
            std::string key = App_GalleryKey(cell, size_);
            if (bitmaps_.count(key) || cache_.Find(key)) {
                if (cell.kind < 0)
                    cell.kind = KindTexture;  // only pictured kinds are in the cache
                continue;
            }
            ThumbRequest request;
            request.tag = uint64_t{generation_} << 32 | i;
            request.key = std::move(key);
            request.source = gallery_.sources[static_cast<size_t>(cell.source)];
            request.slot = cell.slot;
            request.size = static_cast<uint32_t>(size_);
            wanted.push_back(std::move(request));
        }
    };
    // The rows on screen, then the rows nearest to them: two screens ahead, one back.
    for (size_t row = first; row < end; ++row)
        ask(row);
    for (size_t d = 0; d < 2 * page; ++d) {
        if (end + d < rows)
            ask(end + d);
        if (d < page && first > d)
            ask(first - 1 - d);
    }
    queue_->Want(std::move(wanted));
}

void GalleryPanel::TakeResults()
{
    std::vector<ThumbResult> taken;
    {
        std::lock_guard lock(resultsLock_);
        taken.swap(results_);
    }
    for (const ThumbResult &result : taken) {
        const size_t i = static_cast<size_t>(result.tag & 0xFFFFFFFFu);
        if (result.tag >> 32 != generation_ || i >= gallery_.cells.size())
            continue;
        GalleryCell &cell = gallery_.cells[i];
        cell.kind = static_cast<int8_t>(result.kind);
        cell.pictureless = !result.pictured;
    }
    Refresh();
}

void GalleryPanel::SelectCell(int i)
{
    if (i < 0 || static_cast<size_t>(i) >= gallery_.cells.size())
        return;
    const GalleryCell &cell = gallery_.cells[static_cast<size_t>(i)];
    if (cell.treeArchive >= 0 && static_cast<size_t>(cell.treeArchive) < viewer.session.tree.archives.size()) {
        // The tree's item of the entry, its archive's folders built.
        TreeArchive &archive = viewer.session.tree.archives[static_cast<size_t>(cell.treeArchive)];
        ArchiveTree_Build(archive);
        for (size_t node = 0; node < archive.nodes.size(); ++node)
            if (archive.nodes[node].line == cell.line) {
                frame_.EntryTree()->Open(ArchiveTree_Item(static_cast<size_t>(cell.treeArchive), 0));
                frame_.EntryTree()->SelectItem(ArchiveTree_Item(static_cast<size_t>(cell.treeArchive),
                                                                static_cast<uint32_t>(node)));
                OnSelchangeEntryList(frame_);
                break;
            }
    } else if (cell.line != frame_.GetEntrySelection()) {
        frame_.SelectEntryLine(cell.line);  // the list's selection handler runs
    }
    ShowCell(i);
    Refresh();
}

void GalleryPanel::OnKeyDown(wxKeyEvent &event)
{
    const int count = static_cast<int>(gallery_.cells.size());
    if (event.HasAnyModifiers() || count == 0) {
        event.Skip();
        return;
    }
    const int columns = Columns();
    const int page = columns * std::max(1, GetClientSize().y / OnGetRowHeight(0));
    const int selected = App_GallerySelectedCell(gallery_);
    int to = selected;
    switch (event.GetKeyCode()) {
    case WXK_LEFT: to = selected - 1; break;
    case WXK_RIGHT: to = selected + 1; break;
    case WXK_UP: to = selected - columns; break;
    case WXK_DOWN: to = selected + columns; break;
    case WXK_PAGEUP: to = selected - page; break;
    case WXK_PAGEDOWN: to = selected + page; break;
    case WXK_HOME: to = 0; break;
    case WXK_END: to = count - 1; break;
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
        // The selected entry in the usual preview.
        if (selected >= 0)
            ShowGallery(false);
        return;
    default:
        event.Skip();
        return;
    }
    if (selected < 0)
        to = static_cast<int>(std::min<size_t>(GetVisibleRowsBegin() * static_cast<size_t>(columns), count - 1));
    // A step past either end stops at it; within a row's reach it stays.
    to = std::clamp(to, 0, count - 1);
    if (to != selected)
        SelectCell(to);
}

void GalleryPanel::OnChar(wxKeyEvent &event)
{
    // Typing jumps to the next entry whose name starts with what was typed
    // within the last second, as in the list.
    const wxChar c = event.GetUnicodeKey();
    if (c == WXK_NONE || c < ' ' || event.HasAnyModifiers() || gallery_.cells.empty()) {
        event.Skip();
        return;
    }
    const long now = static_cast<long>(wxGetLocalTimeMillis().GetValue());
    typed_ = now - typedAtMs_ < 1000 ? typed_ + c : wxString(c);
    typedAtMs_ = now;
    const wxString wanted = typed_.Lower();
    const size_t count = gallery_.cells.size();
    const int selected = App_GallerySelectedCell(gallery_);
    const size_t start = selected < 0 ? 0 : static_cast<size_t>(selected) + (typed_.length() == 1 ? 1 : 0);
    for (size_t n = 0; n < count; ++n) {
        const size_t i = (start + n) % count;
        if (wxString(gallery_.cells[i].name.c_str(), wxConvISO8859_1).Lower().StartsWith(wanted)) {
            SelectCell(static_cast<int>(i));
            return;
        }
    }
}

void GalleryPanel::OnLeftDown(wxMouseEvent &event)
{
    SetFocus();
    const int i = HitTest(event.GetPosition());
    if (i >= 0)
        SelectCell(i);
}

void GalleryPanel::OnLeftDClick(wxMouseEvent &event)
{
    const int i = HitTest(event.GetPosition());
    if (i < 0)
        return;
    SelectCell(i);
    ShowGallery(false);
}

void GalleryPanel::OnWheel(wxMouseEvent &event)
{
    if (!event.ControlDown() || event.GetWheelDelta() <= 0) {
        event.Skip();
        return;
    }
    // Ctrl and the wheel: a notch away from the user a size larger.
    wheelRotation_ += event.GetWheelRotation();
    const int notches = wheelRotation_ / event.GetWheelDelta();
    wheelRotation_ -= notches * event.GetWheelDelta();
    int at = static_cast<int>(std::find(std::begin(kGallerySizes), std::end(kGallerySizes), size_) - kGallerySizes);
    at = std::clamp(at + notches, 0, static_cast<int>(std::size(kGallerySizes)) - 1);
    if (kGallerySizes[at] != size_) {
        SetThumbSize(kGallerySizes[at]);
        App_SaveThumbSize(size_);
    }
}

bool CQuillonDlg::IsGalleryShown() const
{
    return gallery_ && gallery_->IsShown();
}
