// File > "Mods...": the window's side of the mod library (the same calls
// the CLI's `mod` commands make), with the questions, refusals and the
// archives read again after a change.
#include "base/ascii.h"
#include "app/mods.h"

#include "app/folder_mode.h"
#include "app/open_archive.h"
#include "base/platform.h"
#include "mod/mod.h"


namespace {

// The most lines of a dry run a question shows.
constexpr size_t kShownLines = 30;

std::string Leaf(const std::string &path)
{
    const size_t sep = path.find_last_of(kSysPathSeparators);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

// Tabs of the library's lines as spaces, for a message box.
std::string Shown(std::string line)
{
    for (char &c : line)
        if (c == '\t')
            c = ' ';
    return line;
}

// The first archive with edits that wait for a save (the open one, or in
// a folder any of its archives) that is one of `archives` of the game
// folder; empty when none is.
std::string EditedAmong(const std::string &gameFolder, const std::vector<std::string> &archives)
{
    for (const std::string &editedPath : Session_EditedArchives(viewer.session)) {
        const std::string edited = Sys_ResolvePath(editedPath);
        for (const std::string &name : archives) {
            const std::string path = gameFolder + "/" + name;
            const std::string resolved = Sys_ResolvePath(path);
            if ((!resolved.empty() && resolved == edited) || Ascii_Equal(path, editedPath))
                return name;
        }
    }
    return {};
}

// After a mod went on or came off: the folder or archive read again, unless
// edits wait (in archives the mod did not touch), which a new read would drop.
void ReadAgain(ViewerWindow &window)
{
    if (Session_AnyEdits(viewer.session))
        return;
    if (viewer.session.folderMode) {
        const std::string folder = viewer.session.tree.folder;
        (void)App_OpenFolder(window, folder);
    } else if (viewer.session.mainPak.hasIndex) {
        const std::string path = viewer.session.mainPak.path;
        (void)OpenMainArchive(window, path);
    }
}

std::string Refusal(const std::string &archive)
{
    return "'" + archive + "' has edits that are not saved, and the mod touches it. Save them or undo them first.";
}

}  // namespace

std::string App_ModsGameFolder()
{
    if (viewer.session.folderMode)
        return viewer.session.tree.folder;
    if (!viewer.session.mainPak.hasIndex)
        return {};
    const std::string folder = Sys_ParentFolder(viewer.session.mainPak.path);
    return folder.empty() ? "." : folder;
}

std::vector<std::string> App_ModsApplied(const std::string &gameFolder, std::string &error)
{
    std::vector<std::string> lines;
    std::vector<ModApplied> applied;
    if (!Mod_Status(gameFolder, applied, error))
        return lines;
    for (const ModApplied &a : applied) {
        std::string line = std::to_string(a.record) + "  " + a.name + (a.complete ? "" : " (not applied whole)") + "  ";
        for (size_t i = 0; i < a.archives.size(); ++i)
            line += (i ? " " : "") + a.archives[i];
        lines.push_back(line);
    }
    return lines;
}

std::string App_ModsAskMod(ViewerWindow &window)
{
    FileDialogRequest request;
    request.filter = "Mods (mod.json, *.zip)|mod.json;*.zip|All Files (*.*)|*.*";
    std::string path;
    if (!window.AskFileName(request, path))
        return {};
    // A mod folder is chosen by its mod.json.
    if (Ascii_Equal(Leaf(path), "mod.json")) {
        const std::string folder = Sys_ParentFolder(path);
        return folder.empty() ? "." : folder;
    }
    return path;
}

bool App_ModsApply(ViewerWindow &window, const std::string &gameFolder)
{
    const std::string path = App_ModsAskMod(window);
    if (path.empty())
        return false;
    Mod mod;
    std::string error;
    if (!Mod_Read(path, mod, error)) {
        window.ShowMessage(error);
        return false;
    }
    std::vector<std::string> touched;
    for (const ModArchive &archive : mod.archives)
        touched.push_back(archive.name);
    if (const std::string edited = EditedAmong(gameFolder, touched); !edited.empty()) {
        window.ShowMessage(Refusal(edited));
        return false;
    }
    ModApplyOptions options;
    options.dryRun = true;
    ModApplyReport report;
    if (!Mod_Apply(path, gameFolder, options, report, error)) {
        std::string text = error;
        for (size_t i = 0; i < report.differs.size() && i < kShownLines; ++i)
            text += "\n" + Shown(report.differs[i]);
        if (report.differs.size() > kShownLines)
            text += "\n... and " + std::to_string(report.differs.size() - kShownLines) + " more";
        window.ShowMessage(text);
        return false;
    }
    std::string question = "Apply the mod '" + mod.name + "' to '" + gameFolder + "'? It makes " +
                            std::to_string(report.lines.size()) + (report.lines.size() == 1 ? " edit:" : " edits:");
    for (size_t i = 0; i < report.lines.size() && i < kShownLines; ++i)
        question += "\n" + Shown(report.lines[i]);
    if (report.lines.size() > kShownLines)
        question += "\n... and " + std::to_string(report.lines.size() - kShownLines) + " more";
    if (!window.AskYesNo(question))
        return false;
    options.dryRun = false;
    report = {};
    const bool applied = Mod_Apply(path, gameFolder, options, report, error);
    if (!applied)
        window.ShowMessage(error);
    ReadAgain(window);
    return applied;
}

bool App_ModsRestore(ViewerWindow &window, const std::string &gameFolder)
{
    std::vector<ModApplied> applied;
    std::string error;
    if (!Mod_Status(gameFolder, applied, error) || applied.empty()) {
        window.ShowMessage(applied.empty() && error.empty() ? "No mod is applied to '" + gameFolder + "'." : error);
        return false;
    }
    const ModApplied &last = applied.back();
    if (const std::string edited = EditedAmong(gameFolder, last.archives); !edited.empty()) {
        window.ShowMessage(Refusal(edited));
        return false;
    }
    if (!window.AskYesNo("Take the mod '" + last.name + "' off '" + gameFolder + "'?"))
        return false;
    std::string name;
    const bool restored = Mod_Restore(gameFolder, 5, name, error);
    if (!restored)
        window.ShowMessage(error);
    ReadAgain(window);
    return restored;
}

std::string App_ModsConflictText(const std::vector<std::string> &paths)
{
    std::vector<Mod> mods(paths.size());
    std::string error;
    for (size_t i = 0; i < paths.size(); ++i)
        if (!Mod_Read(paths[i], mods[i], error))
            return error;
    std::string text;
    for (const ModConflict &c : Mod_Conflicts(mods)) {
        std::string names;
        for (const std::string &m : c.mods)
            names += (names.empty() ? "" : ", ") + m;
        text += c.archive + "  " + c.name + " #" + std::to_string(c.occurrence) + "  " + names + "\n";
    }
    if (paths.size() < 2)
        return "Add two or more mods to see the entries they both touch.";
    return text.empty() ? "No entry is touched by two of these mods." : text;
}
