// quillon-cli update: the files of an extracted folder put back into their
// entries. A file is known by the name `extract` gives an entry in one of the
// forms it writes (the bytes, .dds, PNG, WAV, ...), and taken back through the
// importer that form calls for; a file that still holds what `extract` wrote
// leaves its entry untouched.
#include "cli.h"

#include "base/platform.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

// The forms an extracted folder may be in: every mix of --interpreted, --png
// and --wav (none: the bytes as held), and --glb or --gltf (a model's .obj is
// the interpreted form's name already).
std::vector<ExportForms> ExtractForms()
{
    std::vector<ExportForms> all;
    for (int mix = 0; mix < 8; ++mix) {
        ExportForms forms;
        forms.interpreted = mix & 1;
        forms.png = mix & 2;
        forms.wav = mix & 4;
        all.push_back(forms);
    }
    all.push_back({});
    all.back().glb = true;
    all.push_back({});
    all.back().gltf = true;
    return all;
}

// An entry a file may stand for, and the form it would be in.
struct Candidate {
    int32_t slot;
    ExportForms forms;
};

// What a file in this form goes back in through: the importer of the
// extension the form gives (.dds and .png a texture, .wav a sound, a model's
// .obj, .gltf and .glb its vertex data), the bytes for the rest.
ImportAs ImportOfForm(ResourceKind kind, const ExportForms &forms)
{
    const char *replaces = nullptr;
    const char *extension = Export_FormExtension(kind, forms, &replaces);
    return extension[0] == '\0' ? ImportAs::Raw : Import_Choose(std::string("form.") + extension, kind);
}

// The entry's kind as `extract` sees it (its name's extension depends on it);
// unknown when it does not load, as `extract` then writes nothing.
std::vector<ResourceKind> EntryKinds(const PakArchive &archive)
{
    std::vector<ResourceKind> kinds(archive.entries.size(), KindUnknown);
    std::vector<uint8_t> bytes;
    PakOpenFile open;
    for (size_t i = 0; i < archive.entries.size(); ++i)
        if (archive.entries[i].displayName[0] != '\0' &&
            Pak_LoadEntry(archive, archive.entries[i], bytes, nullptr, open) == PakLoadResult::Ok)
            kinds[i] = ClassifyResource(bytes);
    return kinds;
}

// Every path `extract` gives an entry, in every form, with the entries it names.
std::map<std::string, std::vector<Candidate>> ExtractedNames(const PakArchive &archive,
                                                             const std::vector<ResourceKind> &kinds)
{
    std::map<std::string, std::vector<Candidate>> named;
    for (const ExportForms &forms : ExtractForms()) {
        ExportNamer namer;
        for (const PakEntry &entry : archive.entries) {
            if (entry.displayName[0] == '\0')
                continue;
            const std::vector<std::string> path = namer.Name(entry, kinds[static_cast<size_t>(entry.index)], forms);
            named[Export_JoinPath(path, path.size())].push_back({entry.index, forms});
        }
    }
    return named;
}

}  // namespace

int Cli_Update(const CliArgs &args)
{
    PakWriter writer;
    if (!Cli_OpenWriter(args, writer))
        return kExitFailed;
    const std::string folder = args.positional[1];
    const int folderFd = Sys_OpenFolder(folder);
    if (Sys_PathKind(folder, true) != SysKind::Folder || folderFd < 0) {
        Cli_Report("'" + folder + "' is not a folder.");
        if (folderFd >= 0)
            Sys_Close(folderFd);
        return kExitFailed;
    }
    std::vector<std::string> skipped, unreadable;
    const std::vector<PakFolderFile> listed = PakWrite_ListFolder(folder, skipped, &unreadable);
    for (const std::string &path : skipped)
        Cli_Report("skipped (no regular file): " + path);
    if (!unreadable.empty()) {
        for (const std::string &why : unreadable)
            Cli_Report("cannot read the folder " + why);
        Cli_Report("Nothing was updated.");
        return kExitFailed;
    }

    const PakArchive &archive = writer.archive;
    const std::vector<ResourceKind> kinds = EntryKinds(archive);
    const std::map<std::string, std::vector<Candidate>> named = ExtractedNames(archive, kinds);
    size_t replaced = 0, added = 0, unnamed = 0, failed = 0;
    std::vector<uint8_t> bytes, current;
    std::string error, path;
    // Reports a refusal led by `lead` (unless it names the file already).
    auto fail = [&](const std::string &lead) {
        if (!error.empty())
            Cli_Report(error.rfind(path, 0) == 0 ? error : lead + ": " + error);
        error.clear();
        ++failed;
    };
    // "replace LINE (PATH, image to texture)": the dry run's line.
    auto line = [&](const char *what, const std::string &name, const std::string &conversion) {
        return Cli_Escaped(std::string(what) + " " + name + " (" + path + (conversion.empty() ? "" : ", " + conversion) +
                           ")") + "\n";
    };
    for (const PakFolderFile &file : listed) {
        // `extract` names files with '/' between folders where entries have '\\'.
        std::string relative = file.name;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        path = file.path;
        const auto found = named.find(relative);
        ImportAs as = ImportAs::Raw;
        if (found == named.end()) {
            if (!args.addNew) {
                ++unnamed;
                continue;
            }
            if (!Cli_ChooseImport(args, path, as, error) || !Cli_ReadFile(path, bytes)) {
                fail(path);
                continue;
            }
            const std::string name = Import_EntryName(file.name, as);
            const std::string conversion = Cli_ConversionName(as, bytes);
            // A dry run converts too: what it lists is what a real run does.
            if (!Cli_Import(args, as, path, bytes, {}, error) ||
                (!args.dryRun && PakWrite_Add(writer, name, bytes, args.compress, error) < 0)) {
                fail(path);
                continue;
            }
            if (args.dryRun)
                Cli_WriteStdout(line("add", name, conversion));
            ++added;
            continue;
        }

        const std::vector<Candidate> &candidates = found->second;
        std::set<int32_t> slots;
        for (const Candidate &c : candidates)
            slots.insert(c.slot);
        if (slots.size() > 1) {
            std::string lines;
            for (int32_t slot : slots)
                lines += std::string(lines.empty() ? "" : ", ") + archive.entries[static_cast<size_t>(slot)].displayName;
            error = "`extract` gives this name to more than one entry (" + lines + "), in different forms; "
                    "put it back with `replace`.";
            fail(path);
            continue;
        }
        const int32_t slot = *slots.begin();
        const PakEntry &entry = archive.entries[static_cast<size_t>(slot)];
        const ResourceKind kind = kinds[static_cast<size_t>(slot)];
        if (!Cli_ReadFile(path, bytes)) {
            ++failed;
            continue;
        }
        // A file that holds what `extract` wrote in any of its forms was left
        // alone; an entry that does not load is replaced all the same.
        bool same = false;
        const bool loaded = Pak_LoadEntry(archive, entry, current) == PakLoadResult::Ok;
        for (size_t i = 0; loaded && i < candidates.size() && !same; ++i)
            (void)Export_CompareForm(folderFd, kind, current, candidates[i].forms, bytes, same);
        if (same)
            continue;
        if (!loaded)
            current.clear();

        bool agreed = true;
        for (size_t i = 0; i < candidates.size(); ++i) {
            const ImportAs back = ImportOfForm(kind, candidates[i].forms);
            agreed &= i == 0 || back == as;
            as = back;
        }
        if (args.hasAs)
            as = args.as;
        else if (!agreed)
            as = Import_Choose(path, kind);  // a name of two forms: its extension decides
        const std::string conversion = Cli_ConversionName(as, bytes);
        if (!Cli_Import(args, as, path, bytes, current, error)) {
            fail(path);
            continue;
        }
        // An edited image saved again as it was, or a file put back before, makes
        // the resource the entry holds (the importers give the same bytes for the
        // same file): nothing to write.
        if (loaded && bytes == current)
            continue;
        if (args.dryRun) {
            Cli_WriteStdout(line("replace", entry.displayName, conversion));
        } else if (!PakWrite_Replace(writer, slot, bytes, args.compress, error)) {
            fail(entry.displayName);
            continue;
        }
        ++replaced;
    }
    Sys_Close(folderFd);
    if (unnamed > 0)
        Cli_Report(Cli_Count(unnamed, "file", "files") + " in '" + folder +
                   "' name no entry and were left out (--add adds them).");
    if (failed > 0) {
        Cli_Report("Nothing was changed: " + Cli_Count(failed, "file", "files") + " could not be put back.");
        return kExitFailed;
    }
    const std::string done = Cli_Count(replaced, "entry", "entries") + " replaced, " +
                             Cli_Count(added, "entry", "entries") + " added";
    if (args.dryRun || (replaced + added == 0 && !args.hasOutput)) {
        Cli_WriteStdout(done + (args.dryRun ? " (dry run: nothing changed)\n" : "\n"));
        return kExitOk;
    }
    return Cli_SaveAndReport(args, writer, done);
}
