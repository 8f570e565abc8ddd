// Edit > Replace, Add Files, Remove, Rename, Undo and Redo, and File > Save and
// Save As: the window's side. The edits wait in the session, which shows the
// archive as a save would leave it and saves (on a worker, through the
// archive writer); then the archive is read again from disk.
#include "app/app_local.h"
#include "app/app_texts.h"
#include "app/command_refresh.h"
#include "app/edit_commands.h"
#include "app/exports.h"
#include "app/folder_mode.h"
#include "app/find.h"
#include "app/selection.h"
#include "app/outside_edits.h"
#include "base/file_io.h"
#include "import/import.h"
#include "pakwrite/pakwrite.h"
#include "resource/resource_details.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr const char *kImportFilter =
    "All Files (*.*)|*.*|Images (*.png;*.tga;*.jpg;*.jpeg;*.bmp;*.dds)|*.png;*.tga;*.jpg;*.jpeg;*.bmp;*.dds|"
    "Sounds (*.wav;*.ogg)|*.wav;*.ogg|Models (*.obj;*.gltf;*.glb)|*.obj;*.gltf;*.glb";

std::string FileName(const std::string &path)
{
    const size_t sep = path.find_last_of("\\/");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string EntryName(int slot)
{
    const PakEntry &entry = viewer.session.mainPak.entries[static_cast<size_t>(slot)];
    return std::string(entry.name, strnlen(entry.name, sizeof entry.name));
}

bool HasSelectedEntry()
{
    return viewer.session.mainPak.hasIndex && viewer.session.selectedEntry >= 0 &&
           static_cast<size_t>(viewer.session.selectedEntry) < viewer.session.mainPak.entries.size();
}

struct Converted {
    bool tried = false;  // false: the job was cancelled before this file
    ImportResult result;
};

// Reads and converts each file by its extension on a worker, under the
// progress dialog; `old` is the resource a replacement keeps parts of (a
// texture's header, all of a model but its vertex data).
std::vector<Converted> ConvertFiles(ViewerWindow &window, const std::vector<std::string> &paths,
                                    std::span<const uint8_t> old)
{
    std::vector<Converted> converted(paths.size());
    window.RunTitledJob("Converting", [&](const JobProgressSink &progress, const std::atomic<bool> &cancel) {
        for (size_t i = 0; i < paths.size() && !cancel; ++i) {
            converted[i].tried = true;
            progress({i, paths.size(), FileName(paths[i])});  // a big image takes a while
            std::vector<uint8_t> bytes;
            const BaseRead read = Base_ReadFile(paths[i], bytes);
            if (read == BaseRead::Ok)
                converted[i].result =
                    Import_Convert(Import_Choose(FileName(paths[i]), ClassifyResource(old)), bytes, old,
                                   TextureImportOptions{}, SoundImportOptions{}, Import_ModelOptions(paths[i]));
            else
                converted[i].result.message = Base_ReadFailure(read, paths[i]);
            progress({i + 1, paths.size(), FileName(paths[i])});
        }
    });
    return converted;
}

// "a texture", "a text file": a kind as the replace question names it.
std::string KindNoun(int kind)
{
    static constexpr const char *kNouns[KindCount] = {
        "a file of unknown kind", "a texture", "a material", "an XML file", "a model",
        "an effect",              "a media file", "a text file", "a sound", "character data"};
    return kind >= 0 && kind < KindCount ? kNouns[kind] : kNouns[KindUnknown];
}

// Files made elsewhere that never become entries by their kind alone.
std::string ModelRefusal(const std::string &path)
{
    return FileName(path) +
           ": models are not made from files (their container holds fields whose meaning nobody knows); a model "
           "file only gives new vertex data to an entry that holds a model.";
}

std::string Refusal(const std::string &path, const std::string &why)
{
    return FileName(path) + " was not imported: " + why;
}

// "textures/props" -> "textures\props\": entries name folders with '\'.
std::string FolderPrefix(std::string prefix)
{
    std::replace(prefix.begin(), prefix.end(), '/', '\\');
    if (!prefix.empty() && prefix.back() != '\\')
        prefix += '\\';
    return prefix;
}

// Shows the archive with the edits as they stand, keeping `select` (a slot,
// -1 for the selected entry) selected while it is listed, and its preview current.
void ShowEdits(ViewerWindow &window, int select)
{
    window.SetEntryLines({});  // the lines point into the text made again below
    Session_ShowEdits(viewer.session, select);
    App_ApplyFind(window);
    OnSelchangeEntryList(window);
    if (viewer.session.selectedEntry < 0) {
        viewer.viewHidden = true;
        App_HidePanes(window);
    }
    window.ShowUnsaved(Session_AnyEdits(viewer.session));
    if (viewer.session.folderMode)
        window.RefreshEntryTree();
    App_RefreshCommands(window);
}

// "A.PAK", "A.PAK and B.PAK", "A.PAK, B.PAK and C.PAK".
std::string ArchiveNames(const std::vector<std::string> &paths)
{
    std::string names;
    for (size_t i = 0; i < paths.size(); ++i)
        names += (i == 0 ? "" : i + 1 == paths.size() ? " and " : ", ") + FileName(paths[i]);
    return names;
}

// The tree's archive of `path` forgets its lines, so that they are read
// again from the archive as saved.
void ReadTreeArchiveAgain(const std::string &path)
{
    for (TreeArchive &archive : viewer.session.tree.archives)
        if (archive.file.path == path) {
            archive.read = archive.refused = false;
            archive.lines = EntryLines{};
            archive.kinds.clear();
            archive.nodes.clear();
            archive.children.clear();
            ArchiveTree_ReadLines(archive);
        }
}

// Folder mode: every archive with edits saved into itself, each under its
// own lock and crash-safe as one archive is; an archive that fails keeps its
// edits and the others are saved all the same. The folder's tree shows the
// archives as saved afterwards.
bool SaveFolderEdits(ViewerWindow &window)
{
    const std::vector<std::string> paths = Session_EditedArchives(viewer.session);
    std::vector<SessionSave> saves;
    for (const std::string &path : paths)
        saves.push_back(Session_PrepareSaveOf(viewer.session, path));
    std::vector<SessionSaveOutcome> outcomes(saves.size());
    window.RunTitledJob("Saving", [&](const JobProgressSink &progress, const std::atomic<bool> &cancel) {
        for (size_t i = 0; i < saves.size(); ++i) {
            outcomes[i] = Session_Save(
                saves[i], [&](size_t done, size_t total, const std::string &name) { progress({done, total, name}); },
                cancel);
            if (!outcomes[i].saved && outcomes[i].error.empty())
                outcomes[i].error = "nothing was saved.";
        }
    });
    // The tree's lines are read again below: nothing stays selected in it.
    App_ClearSelection(window);
    size_t written = 0;
    std::string failures, notes;
    bool mainSaved = false;
    for (size_t i = 0; i < saves.size(); ++i) {
        const std::string &path = saves[i].path;
        if (!outcomes[i].saved) {
            failures += "\nCould not save " + FileName(path) + ": " + outcomes[i].error;
            continue;
        }
        written += outcomes[i].written;
        for (const std::string &note : outcomes[i].notes)
            notes += "\n" + FileName(path) + ": " + note;
        if (path == viewer.session.mainPak.path)
            mainSaved = true;
        else
            viewer.session.otherEdits.erase(path);
        ReadTreeArchiveAgain(path);
    }
    if (mainSaved) {
        // The archive as saved, read again from disk.
        viewer.session.edits = ArchiveEdits{};
        PakArchive opened;
        if (Pak_OpenArchive(viewer.session.mainPak.path, opened) == PakOpenResult::Ok)
            viewer.session.mainPak = std::move(opened);
        else
            Pak_Release(viewer.session.mainPak);
    }
    window.ResetEntryTree();
    window.ShowUnsaved(Session_AnyEdits(viewer.session));
    App_RefreshCommands(window);
    window.ShowMessage(std::to_string(written) + (written == 1 ? " entry written" : " entries written") + notes +
                       failures);
    return failures.empty();
}

// Puts the file at `path` in place of the selected entry, once converted;
// a refusal or a No to the kind's question changes nothing.
void ReplaceSelected(ViewerWindow &window, const std::string &path)
{
    if (!HasSelectedEntry())
        return;
    const int slot = viewer.session.selectedEntry;
    if (Import_IsModelFile(path) && viewer.preview.resourceKind != KindModel) {
        window.ShowMessage(ModelRefusal(path));
        return;
    }
    // A texture that is replaced lends the new one its header; a model keeps all but its vertex data.
    std::vector<uint8_t> old;
    if (viewer.preview.resourceKind == KindTexture || viewer.preview.resourceKind == KindModel)
        old = viewer.preview.CurrentResource;
    Converted converted = ConvertFiles(window, {path}, old).front();
    if (!converted.tried)
        return;
    if (!converted.result.ok) {
        window.ShowMessage(Refusal(path, converted.result.message));
        return;
    }
    // An entry that would change its kind is most likely the wrong one.
    const int before = viewer.preview.resourceKind, after = ClassifyResource(converted.result.bytes);
    if (before != after && !window.AskYesNo("Replace " + KindNoun(before) + " with " + KindNoun(after) + "?"))
        return;
    App_PushReplace(window, slot, std::move(converted.result.bytes), path);
}

// Adds the files at `paths` as entries under `prefix`, named as quillon-cli
// names them, once converted; one Undo takes them back together.
void AddFiles(ViewerWindow &window, const std::vector<std::string> &paths, const std::string &prefix)
{
    // Every name is checked before anything is converted.
    std::string refused;
    std::vector<std::string> names;
    for (const std::string &path : paths) {
        names.push_back(prefix + Import_EntryName(FileName(path), Import_Choose(FileName(path))));
        if (Import_IsModelFile(path))
            refused += "\n" + ModelRefusal(path);
        else if (std::string why; !PakWrite_CheckName(names.back(), why))
            refused += "\n" + why;
    }
    if (!refused.empty()) {
        window.ShowMessage("Nothing was added:" + refused);
        return;
    }
    const std::vector<Converted> converted = ConvertFiles(window, paths, {});
    const int32_t command = Edits_NextCommand(viewer.session.edits);
    int first = -1;
    size_t added = 0;
    std::string failures;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (!converted[i].tried)
            continue;
        if (!converted[i].result.ok) {
            failures += "\n" + Refusal(paths[i], converted[i].result.message);
            continue;
        }
        PendingEdit edit;
        edit.kind = EditKind::Add;
        edit.name = names[i];
        edit.source = paths[i];
        edit.resource = std::make_shared<const std::vector<uint8_t>>(converted[i].result.bytes);
        edit.command = command;
        const int slot = Edits_Push(viewer.session.edits, viewer.session.mainPak, std::move(edit));
        first = first < 0 ? slot : first;
        ++added;
    }
    if (added > 0)
        ShowEdits(window, first);
    if (!failures.empty())
        window.ShowMessage(std::to_string(added) + " of " + std::to_string(paths.size()) + " files added." + failures);
}

// After a save: what was written is read back as the open archive. No edit
// waits any more, so leaving the archive asks nothing.
bool ReadBack(ViewerWindow &window, const std::string &path)
{
    PakArchive opened;
    if (!App_ReadArchive(window, path, opened))
        return false;
    App_ShowArchive(window, path, std::move(opened));
    return true;
}

}  // namespace

void OnEditReplace(ViewerWindow &window)
{
    if (!HasSelectedEntry())
        return;
    FileDialogRequest request;
    request.filter = FileDialogFilter(kImportFilter);
    std::string path;
    if (window.AskFileName(request, path))
        ReplaceSelected(window, path);
}

// The selected entry's folder ("textures\props\"): the likeliest place for
// its new neighbours.
static std::string SelectedFolder()
{
    if (!HasSelectedEntry())
        return std::string();
    const std::string name = EntryName(viewer.session.selectedEntry);
    const size_t sep = name.find_last_of("\\/");
    return sep == std::string::npos ? std::string() : name.substr(0, sep + 1);
}

void OnEditAddFiles(ViewerWindow &window)
{
    if (!viewer.session.mainPak.hasIndex)
        return;
    FileDialogRequest request;
    request.filter = FileDialogFilter(kImportFilter);
    std::vector<std::string> paths;
    if (!window.AskFileNames(request, paths) || paths.empty())
        return;
    static std::string lastPrefix;
    std::string prefix = lastPrefix.empty() ? SelectedFolder() : lastPrefix;
    if (!window.AskText("Add Files", "Folder of the new entries (for example textures\\props\\):", prefix))
        return;
    prefix = FolderPrefix(prefix);
    lastPrefix = prefix;
    AddFiles(window, paths, prefix);
}

void OnEditRemove(ViewerWindow &window)
{
    if (!HasSelectedEntry())
        return;
    PendingEdit edit;
    edit.kind = EditKind::Remove;
    edit.slot = viewer.session.selectedEntry;
    Edits_Push(viewer.session.edits, viewer.session.mainPak, std::move(edit));
    ShowEdits(window, -1);
}

void OnEditRename(ViewerWindow &window)
{
    if (!HasSelectedEntry())
        return;
    const int slot = viewer.session.selectedEntry;
    std::string name = EntryName(slot);
    if (!window.AskText("Rename", "New name of the entry:", name))
        return;
    std::replace(name.begin(), name.end(), '/', '\\');
    if (std::string why; !PakWrite_CheckName(name, why)) {
        window.ShowMessage(why);
        return;
    }
    if (name == EntryName(slot))
        return;
    PendingEdit edit;
    edit.kind = EditKind::Rename;
    edit.slot = slot;
    edit.name = name;
    Edits_Push(viewer.session.edits, viewer.session.mainPak, std::move(edit));
    ShowEdits(window, slot);
}

void OnEditUndo(ViewerWindow &window)
{
    const int select = Session_Undo(viewer.session);
    if (select != kSessionNothingDone)
        ShowEdits(window, select);
}

void OnEditRedo(ViewerWindow &window)
{
    const int select = Session_Redo(viewer.session);
    if (select != kSessionNothingDone)
        ShowEdits(window, select);
}

void OnFileSaveAs(ViewerWindow &window)
{
    if (!viewer.session.mainPak.hasIndex)
        return;
    FileDialogRequest request;
    request.filter = FileDialogFilter(kPakFilter);
    request.defaultExtension = ".pak";
    request.save = true;
    request.overwritePrompt = true;
    request.archive = true;
    std::string path;
    if (window.AskFileName(request, path))
        App_SaveEdits(window, path);
}

void App_PushReplace(ViewerWindow &window, int slot, std::vector<uint8_t> resource, const std::string &source)
{
    PendingEdit edit;
    edit.kind = EditKind::Replace;
    edit.slot = slot;
    edit.source = source;
    edit.resource = std::make_shared<const std::vector<uint8_t>>(std::move(resource));
    Edits_Push(viewer.session.edits, viewer.session.mainPak, std::move(edit));
    ShowEdits(window, slot == viewer.session.selectedEntry ? slot : -1);
}

bool App_DropOnList(ViewerWindow &window, const std::vector<std::string> &paths, int line)
{
    if (!viewer.session.mainPak.hasIndex || viewer.session.folderMode || paths.empty())
        return false;
    if (line < 0 || static_cast<size_t>(line) >= App_ListedSlots().size()) {
        AddFiles(window, paths, SelectedFolder());
        return true;
    }
    window.SetEntrySelection(line);
    OnSelchangeEntryList(window);
    if (paths.size() != 1) {
        window.ShowMessage("One file replaces one entry: drop several files below the lines to add them.");
        return true;
    }
    if (HasSelectedEntry() &&
        window.AskYesNo("Replace " + EntryName(viewer.session.selectedEntry) + " with " + FileName(paths[0]) + "?"))
        ReplaceSelected(window, paths[0]);
    return true;
}

void OnFileSave(ViewerWindow &window)
{
    if (Session_AnyEdits(viewer.session))
        App_SaveEdits(window, "");
}

bool App_SaveEdits(ViewerWindow &window, const std::string &output)
{
    if (viewer.session.folderMode && output.empty())
        return SaveFolderEdits(window);
    const SessionSave save = Session_PrepareSave(viewer.session, output);
    const std::string &path = save.path;
    SessionSaveOutcome outcome;
    window.RunTitledJob("Saving", [&](const JobProgressSink &progress, const std::atomic<bool> &cancel) {
        outcome = Session_Save(
            save, [&](size_t done, size_t total, const std::string &name) { progress({done, total, name}); }, cancel);
    });
    if (!outcome.saved) {
        window.ShowMessage("Could not save " + FileName(output.empty() ? path : output) + ": " + outcome.error);
        return false;
    }
    // What is on disk now is shown, with the same entry selected where it still is.
    const std::string line = HasSelectedEntry() ? viewer.session.mainPak.entries[static_cast<size_t>(viewer.session.selectedEntry)].displayName : "";
    viewer.session.edits = ArchiveEdits{};
    if (viewer.session.folderMode) {
        // Save As left the folder's archive as it is on disk, and the folder stays open.
        App_ClearSelection(window);
        PakArchive opened;
        if (Pak_OpenArchive(path, opened) == PakOpenResult::Ok)
            viewer.session.mainPak = std::move(opened);
        window.RefreshEntryTree();
        window.ShowUnsaved(Session_AnyEdits(viewer.session));
        App_RefreshCommands(window);
        window.ShowMessage(std::to_string(outcome.written) +
                           (outcome.written == 1 ? " entry written to " : " entries written to ") + FileName(output));
        return true;
    }
    window.ShowUnsaved(false);
    if (!ReadBack(window, output.empty() ? path : output))
        ReadBack(window, path);
    for (size_t i = 0; !line.empty() && i < App_ListedSlots().size(); ++i)
        if (window.GetEntryLineText(static_cast<int>(i)) == line) {
            window.SetEntrySelection(static_cast<int>(i));
            OnSelchangeEntryList(window);
            break;
        }
    std::string report = std::to_string(outcome.written) + (outcome.written == 1 ? " entry written" : " entries written");
    for (const std::string &note : outcome.notes)
        report += "\n" + note;
    window.ShowMessage(report);
    return true;
}

bool App_MayLeaveArchive(ViewerWindow &window)
{
    const std::vector<std::string> edited = Session_EditedArchives(viewer.session);
    if (edited.empty())
        return true;
    switch (window.AskSaveChanges("Save changes to " + ArchiveNames(edited) + "?")) {
    case SaveChoice::Save: return App_SaveEdits(window, "");
    case SaveChoice::Discard:
        Session_DropOtherEdits(viewer.session);
        viewer.session.edits.log.clear();
        ShowEdits(window, -1);
        return true;
    default: return false;
    }
}

int App_LineMark(long line)
{
    if (viewer.session.folderMode) {
        // The find's lines across the folder: each of its archive's edits.
        if (line < 0 || static_cast<size_t>(line) >= viewer.session.folderHits.size())
            return 0;
        const Session::FolderHit hit = viewer.session.folderHits[static_cast<size_t>(line)];
        const TreeArchive &archive = viewer.session.tree.archives[static_cast<size_t>(hit.archive)];
        const ArchiveEdits *edits = Session_EditsOf(viewer.session, archive.file.path);
        return edits ? static_cast<int>(Edits_Mark(*edits, archive.lines.slots[static_cast<size_t>(hit.line)])) : 0;
    }
    const std::vector<int> &slots = App_ListedSlots();
    return line >= 0 && static_cast<size_t>(line) < slots.size()
               ? static_cast<int>(Edits_Mark(viewer.session.edits, slots[static_cast<size_t>(line)]))
               : 0;
}

int App_TreeMark(uint64_t item)
{
    size_t archive = 0;
    int line = -1;
    if (!ArchiveTree_Entry(viewer.session.tree, item, archive, line))
        return 0;
    const TreeArchive &shown = viewer.session.tree.archives[archive];
    const ArchiveEdits *edits = Session_EditsOf(viewer.session, shown.file.path);
    return edits && static_cast<size_t>(line) < shown.lines.size()
               ? static_cast<int>(Edits_Mark(*edits, shown.lines.slots[static_cast<size_t>(line)]))
               : 0;
}
