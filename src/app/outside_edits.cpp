// The session's side of editing outside, copying and pasting: the selected
// entry handed out, and what comes back made a waiting Replace.
#include "app/outside_edits.h"

#include "app/app_local.h"
#include "viewer/viewer_state.h"
#include "export/png_writer.h"
#include "outside/outside.h"

#include <cstring>

namespace {

bool Selected()
{
    return viewer.session.mainPak.hasIndex && viewer.session.selectedEntry >= 0 &&
           static_cast<size_t>(viewer.session.selectedEntry) < viewer.session.mainPak.entries.size();
}

std::string NameOf(const PakEntry &entry)
{
    return std::string(entry.name, strnlen(entry.name, sizeof entry.name));
}

// What the entry holds now: its waiting edit's resource, else its bytes on disk.
bool CurrentResource(int slot, std::vector<uint8_t> &bytes)
{
    if (const std::vector<uint8_t> *pending = Edits_Resource(viewer.session.edits, slot)) {
        bytes = *pending;
        return true;
    }
    return Pak_LoadEntry(viewer.session.mainPak, viewer.session.mainPak.entries[static_cast<size_t>(slot)], bytes) ==
           PakLoadResult::Ok;
}

}  // namespace

bool App_OutsideOffered()
{
    return Selected();
}

bool App_PasteOffered()
{
    return Selected();
}

bool App_SelectedSource(OutsideSource &source)
{
    if (!Selected())
        return false;
    source.archive = viewer.session.mainPak.path;
    source.slot = viewer.session.selectedEntry;
    source.entry = viewer.session.mainPak.entries[static_cast<size_t>(source.slot)];
    source.name = NameOf(source.entry);
    source.resource = viewer.preview.CurrentResource;
    source.kind = ClassifyResource(source.resource);
    return true;
}

std::string App_TakeBackOutside(ViewerWindow &window, const OutsideSource &source, std::span<const uint8_t> file,
                                const std::string &fileName)
{
    const std::string lead = fileName + " changed outside, but ";
    const size_t slot = static_cast<size_t>(source.slot);
    if (!viewer.session.mainPak.hasIndex || viewer.session.mainPak.path != source.archive || slot >= viewer.session.mainPak.entries.size() ||
        NameOf(viewer.session.mainPak.entries[slot]) != source.name)
        return lead + source.name + " is no longer open: nothing was replaced.";
    std::vector<uint8_t> old;
    if (!CurrentResource(source.slot, old))
        old.clear();  // an entry that does not load is replaced all the same
    OutsideTakeBack back = Outside_TakeBack(source.kind, file, old, fileName);
    if (!back.ok)
        return back.message + " (nothing was replaced)";
    if (back.unchanged)
        return std::string();
    App_PushReplace(window, source.slot, std::move(back.bytes), fileName);
    return "replaced from " + fileName + " (edited outside)";
}

bool App_CopySelected(CopiedContent &content)
{
    const PreviewState &preview = viewer.preview;
    if (!Selected() || preview.CurrentResource.empty())
        return false;
    content.picture = preview.resourceKind == KindTexture;
    if (content.picture)
        return Texture_DecodeLevel(preview.CurrentResource, preview.textureMipLevel, content.image, nullptr);
    if (!ResourceKind_IsTextual(preview.resourceKind))
        return false;
    content.text = BuildResourceText(preview.resourceKind, preview.CurrentResource);
    return true;
}

std::string App_PasteImage(ViewerWindow &window, const TextureImage &image)
{
    if (!Selected())
        return std::string();
    if (viewer.preview.resourceKind != KindTexture)
        return "Paste puts a picture in place of a texture: select a texture first.";
    const std::string name = NameOf(viewer.session.mainPak.entries[static_cast<size_t>(viewer.session.selectedEntry)]);
    if (!window.AskYesNo("Replace " + name + " with the picture on the clipboard?"))
        return std::string();
    std::vector<uint8_t> png;
    std::string error;
    if (!Png_Encode(image, png, &error))
        return "The clipboard's picture was not pasted: " + error;
    OutsideSource source;
    App_SelectedSource(source);
    OutsideTakeBack back = Outside_TakeBack(KindTexture, png, viewer.preview.CurrentResource, "the clipboard's picture");
    if (!back.ok)
        return back.message + " (nothing was replaced)";
    App_PushReplace(window, source.slot, std::move(back.bytes), "the clipboard");
    return "replaced from the clipboard's picture";
}
