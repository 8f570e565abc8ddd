// Selection of an entry: release the previous one, load the new one, classify
// it and set up the right-hand pane, the Export items and the info line.
#include "app/app_local.h"
#include "app/app_texts.h"
#include "app/find_contents.h"
#include "app/folder_mode.h"
#include "app/preview_pane.h"
#include "app/command_refresh.h"
#include "app/selection.h"
#include "render/render.h"
#include "resource/resource_details.h"

#include <cstring>
#include <new>

bool LoadSelectedEntry(ViewerWindow &window)
{
    const int slot = viewer.session.selectedEntry;
    if (slot < 0 || static_cast<size_t>(slot) >= viewer.session.mainPak.entries.size())
        return false;
    // An edit waiting for a save shows its new resource.
    if (const std::vector<uint8_t> *pending = Edits_Resource(viewer.session.edits, slot)) {
        viewer.preview.CurrentResource = *pending;
        viewer.preview.entryCompressed = false;
        return true;
    }
    const PakEntry &entry = viewer.session.mainPak.entries[static_cast<size_t>(slot)];
    PakLoadResult result =
        Pak_LoadEntry(viewer.session.mainPak, entry, viewer.preview.CurrentResource, &viewer.preview.entryCompressed);
    if (result != PakLoadResult::Ok) {
        window.ShowMessage(Pak_LoadMessage(result, viewer.session.mainPak, entry));
        return false;
    }
    return true;
}

namespace {

// The toolkit needs several times a text's length to show it and gives up on
// hundreds of megabytes; the view shows the start of a longer text.
constexpr size_t kTextViewMaxBytes = 16u << 20;

std::string TextViewText(ResourceKind kind, std::span<const uint8_t> bytes)
{
    if (kind == KindEffectMedia || bytes.size() <= kTextViewMaxBytes)
        return BuildResourceText(kind, bytes);
    const std::span<const uint8_t> head = bytes.first(kTextViewMaxBytes);
    std::string text = BuildResourceText(kind, head);
    // Cut only when the text (which ends at its first NUL) goes on past the cap.
    if (!memchr(head.data(), 0, head.size()) && bytes[kTextViewMaxBytes] != 0)
        text += kTextViewCut;
    return text;
}

}  // namespace

void ShowResourcePreview(ViewerWindow &window)
{
    // Only called once an entry was loaded; an empty resource is still a
    // resource (of kind Unknown), so the panes follow it.
    PreviewState &preview = viewer.preview;
    const ResourceKind kind = ClassifyResource(preview.CurrentResource);
    preview.resourceKind = kind;
    R_RequestRedraw();
    if (window.IsGalleryShown()) {  // the gallery keeps the pane
        viewer.viewHidden = true;
        App_HidePanes(window);
        return;
    }

    bool graphic = ResourceKind_IsGraphic(kind);
    bool textual = ResourceKind_IsTextual(kind);
    if (!viewer.previewEnabled[kind]) {
        graphic = textual = false;
        viewer.viewHidden = true;
        window.ShowControl(IdGlView, false);
    } else if (graphic) {
        viewer.viewHidden = false;
        window.ShowControl(IdGlView, true);
    } else {
        viewer.viewHidden = true;
        window.ShowControl(IdGlView, false);
    }

    if (textual) {
        window.SetTextView(TextViewText(kind, preview.CurrentResource));
        window.ShowControl(IdTextView, true);
    } else {
        window.ShowControl(IdTextView, false);
    }
    if (window.ControlExists(IdHexView)) {
        const bool hex = viewer.previewEnabled[kind] && ResourceKind_Info(kind).showsHex;
        window.SetHexBytes(hex ? &preview.CurrentResource : nullptr);
        window.ShowControl(IdHexView, hex);
    }
    window.ShowControl(IdPlayOnClick, kind == KindOggVorbis);
    App_ShowSoundBar(window);
}

void ShowResourceInfo(ViewerWindow &window)
{
    ShowResourcePreview(window);
    const PreviewState &preview = viewer.preview;
    App_RefreshCommands(window);
    window.SetLabel(IdInfoLine, FormatResourceInfo(preview.resourceKind, preview.CurrentResource.size()));

    const int slot = viewer.session.selectedEntry;
    if (slot >= 0 && static_cast<size_t>(slot) < viewer.session.mainPak.entries.size()) {
        window.SetStatusField(0, App_SelectionDetails());
        // The kind filter of the find bar need not read this entry again.
        if (static_cast<size_t>(slot) < viewer.session.entryKinds.size())
            viewer.session.entryKinds[static_cast<size_t>(slot)] = static_cast<int8_t>(preview.resourceKind);
    }
}

void OnSelchangeEntryList(ViewerWindow &window)
{
    viewer.session.selectedEntry = -1;
    App_ReleasePreview();
    App_RefreshCommands(window);

    // The tree and a folder's find lines name the entry themselves, its
    // archive made the open one; the contents search's lines are its slots.
    int slot = App_FolderSelection(window);
    if (int found; slot == kSelectionInList && App_ContentsSelection(window, found))
        slot = found;
    if (slot == kSelectionInList) {
        const PakArchive &pak = viewer.session.mainPak;
        const int line = window.GetEntrySelection();
        if (!pak.hasIndex || line < 0 || line >= pak.header.count) {
            App_ShowNoResource(window);
            return;
        }
        // The line's text is all the list holds; it leads back to the entry.
        slot = Pak_FindEntryByLine(pak, window.GetEntryLineText(line));
    } else if (slot < 0) {
        App_ShowNoResource(window);
        return;
    }
    if (slot >= 0)
        viewer.session.selectedEntry = slot;
    App_RefreshCommands(window);

    // A line that matches nothing, or an entry whose file cannot be read,
    // leaves the pane, info line and surface list as they were.
    if (!LoadSelectedEntry(window))
        return;

    try {
        window.ClearSurfaceList();
        ShowResourceInfo(window);
        if (viewer.showSurfaceList)
            App_LayoutToClient(window);

        if (viewer.preview.resourceKind == KindOggVorbis && window.IsPlayOnClickChecked())
            App_QueueSelectedSound();
    } catch (const std::bad_alloc &) {
        // A resource too large to show on this machine: said, and nothing of it kept.
        App_ReleasePreview();
        App_RefreshCommands(window);
        viewer.viewHidden = true;
        App_HidePanes(window);
        App_ShowNoResource(window);
        const PakEntry &entry = viewer.session.mainPak.entries[static_cast<size_t>(viewer.session.selectedEntry)];
        window.ShowMessage(Pak_LoadMessage(PakLoadResult::NoMemory, viewer.session.mainPak, entry));
    }
}

std::string App_EditedDetails(int slot, ResourceDetails details)
{
    const EntryMark mark = Edits_Mark(viewer.session.edits, slot);
    if (mark == EntryMark::Added)
        details.file.clear();  // no file holds it yet: the save chooses one
    const std::string line = Resource_FormatDetails(details);
    return mark == EntryMark::None ? line : std::string(Edits_MarkWord(mark)) + " (not saved); " + line;
}

std::string App_SelectionDetails()
{
    const int slot = viewer.session.selectedEntry;
    if (slot < 0 || static_cast<size_t>(slot) >= viewer.session.mainPak.entries.size())
        return std::string();
    const PreviewState &preview = viewer.preview;
    const PakEntry &entry = viewer.session.mainPak.entries[static_cast<size_t>(slot)];
    std::string text =
        App_EditedDetails(slot, Resource_Describe(viewer.session.mainPak, entry, preview.CurrentResource, preview.entryCompressed));
    if (!preview.foundElsewhere.empty()) {
        text += "; found outside it: ";
        for (size_t i = 0; i < preview.foundElsewhere.size(); ++i)
            text += (i ? ", " : "") + preview.foundElsewhere[i];
    }
    return text;
}
