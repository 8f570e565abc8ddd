// The gallery (control 1015) in the view's place: the listed entries as a
// grid of thumbnails with their names, drawn a screen at a time. Pictures are
// made by the thumbnail queue's workers, the visible ones first, and kept in
// a bounded cache; this window only draws what they made.
#pragma once

#include "app/gallery.h"

#include <wx/bitmap.h>
#include <wx/vscroll.h>

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

class CQuillonDlg;

class GalleryPanel : public wxVScrolledWindow {
public:
    GalleryPanel(wxWindow *parent, wxWindowID id, CQuillonDlg &frame);
    ~GalleryPanel() override;

    // Runs View > "As &Gallery" and the thumbnail sizes; false for other commands.
    bool OnCommand(int command);

    // On: the pane shows the grid of the listed entries at the selected one.
    // Off: the selected entry's preview again.
    void ShowGallery(bool shown);
    // The list's lines (or the tree) changed: the cells are made again once
    // the change is through.
    void ListChanged();
    // The thumbnails' side, 64, 128 or 256 (its menu item marked, kept in the settings).
    int ThumbSize() const { return size_; }
    void SetThumbSize(int size);

    // What tests and the benchmark read.
    const GalleryCells &Cells() const { return gallery_; }
    // A cell's square in client pixels; empty while it is not on screen.
    wxRect ThumbRect(size_t cell) const;
    // The last paint drew every cell on screen as it stays (its picture or its kind).
    bool ScreenComplete() const { return screenComplete_; }
    size_t CacheBytes() const { return cache_.Bytes(); }

private:
    wxCoord OnGetRowHeight(size_t row) const override;
    int Columns() const;
    int CellWidth() const;
    void Rebuild();
    void Relayout();
    void OnPaint(wxPaintEvent &event);
    void DrawCell(wxDC &dc, size_t i, const wxRect &cell, bool selected, bool &complete,
                  std::unordered_map<std::string, wxBitmap> &drawn);
    void Request();
    void TakeResults();
    void OnKeyDown(wxKeyEvent &event);
    void OnChar(wxKeyEvent &event);
    void OnLeftDown(wxMouseEvent &event);
    void OnLeftDClick(wxMouseEvent &event);
    void OnWheel(wxMouseEvent &event);
    int HitTest(const wxPoint &point) const;
    // Selects cell `i` as the list or the tree would (the selection handler
    // runs), and scrolls it into sight.
    void SelectCell(int i);
    void ShowCell(int i);
    void FollowSelection();

    CQuillonDlg &frame_;
    GalleryCells gallery_;
    uint32_t generation_ = 0;  // of the cells: results of older ones are dropped
    int size_ = 128;
    ThumbCache cache_{kGalleryCacheBytes};
    std::unordered_map<std::string, wxBitmap> bitmaps_;  // the pictures drawn last, ready to draw
    std::unique_ptr<ThumbQueue> queue_;
    std::mutex resultsLock_;
    std::vector<ThumbResult> results_;  // made, not yet taken in by the window's thread
    bool rebuildPosted_ = false;
    bool screenComplete_ = false;
    int wheelRotation_ = 0;
    wxString typed_;
    long typedAtMs_ = 0;
};
