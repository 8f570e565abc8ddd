// quillon-cli edit: one entry out in the form the user's own program edits,
// that program run and waited for, and the file taken back as `replace`
// takes a file. The archive is read before and locked only for the save, so
// a long editing session holds no other writer off; an entry that another
// program changed meanwhile is left alone.
#include "cli.h"

#include "base/file_io.h"
#include "base/platform.h"
#include "outside/outside.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

// The program and its arguments (the file's path goes last): --with, else
// $QUILLON_EDITOR, $VISUAL, $EDITOR. Empty: the desktop's program. False
// (reported) when the one given cannot be read.
bool ChooseCommand(const CliArgs &args, std::vector<std::string> &command)
{
    std::string line, from = "--with";
    if (args.hasWith) {
        // An existing file is one program, blanks in its path or not.
        if (Sys_PathKind(args.with, true) == SysKind::File) {
            command = {args.with};
            return true;
        }
        line = args.with;
    } else {
        for (const char *name : {"QUILLON_EDITOR", "VISUAL", "EDITOR"}) {
            const char *value = getenv(name);
            if (value && *value) {
                line = value;
                from = std::string("$") + name;
                break;
            }
        }
        if (line.empty())
            return true;
    }
    std::string error;
    if (!Outside_SplitCommand(line, command, error)) {
        Cli_Report(from + ": " + error);
        return false;
    }
    return true;
}

// Runs the program on `path` and waits; with no program, the desktop's,
// then the user's Enter. False (reported) when it failed or could not start.
bool RunEditor(std::vector<std::string> command, const std::string &path, const std::string &fileName)
{
    if (command.empty()) {
        if (!Sys_OpenWithDesktop(path)) {
            Cli_Report("The desktop has no program that opens " + fileName +
                       ": give one with --with or QUILLON_EDITOR.");
            return false;
        }
        // The desktop's program runs on by itself: the user says when the file is saved.
        Cli_Report(fileName + " is open in the desktop's program. Save it there, then press Enter here.");
        std::string answer;
        std::getline(std::cin, answer);
        return true;
    }
    const std::string program = command.front();
    command.push_back(path);
    const int status = Sys_RunAndWait(command);
    if (status < 0) {
        Cli_Report("Cannot run " + program + ": " + strerror(errno));
        return false;
    }
    if (status != 0) {
        Cli_Report(program + " ended with status " + std::to_string(status) + ": nothing was replaced.");
        return false;
    }
    return true;
}

}  // namespace

int Cli_Edit(const CliArgs &args)
{
    PakArchive archive;
    std::vector<uint8_t> resource;
    if (!Cli_OpenArchive(args.positional[0], archive))
        return kExitFailed;
    const int slot = Cli_FindEntry(archive, args.positional[1]);
    if (slot < 0 || !Cli_LoadEntry(archive, archive.entries[static_cast<size_t>(slot)], resource))
        return kExitFailed;
    std::vector<std::string> command;
    if (!ChooseCommand(args, command))
        return kExitFailed;

    const ResourceKind kind = ClassifyResource(resource);
    const std::string fileName = Outside_FileName(archive.entries[static_cast<size_t>(slot)], kind);
    std::string error;
    const std::string folder = Outside_MakeFolder(error);
    const std::string path = folder.empty() ? folder : Outside_Write(folder, fileName, kind, resource, error);
    std::vector<uint8_t> written, edited;
    if (path.empty() || !Cli_ReadFile(path, written)) {
        if (!error.empty())
            Cli_Report(error);
        if (!folder.empty())
            Sys_RemoveTree(folder);
        return kExitFailed;
    }
    // The user's work is never thrown away: a file that changed stays until it is in the archive.
    bool keep = false;
    auto finish = [&](int status) {
        if (keep)
            Cli_Report("The edited file is kept: " + path);
        else
            Sys_RemoveTree(folder);
        return status;
    };
    const bool ran = RunEditor(command, path, fileName);
    if (Base_ReadFile(path, edited) != BaseRead::Ok) {
        Cli_Report("Cannot read " + path + " back: nothing was replaced.");
        return finish(kExitFailed);
    }
    keep = edited != written;
    if (!ran)
        return finish(kExitFailed);
    if (!keep) {
        Cli_WriteStdout("no change\n");
        return finish(kExitOk);
    }
    SoundImportOptions sound;
    sound.quality = args.quality;
    OutsideTakeBack back = Outside_TakeBack(kind, edited, resource, fileName, sound);
    if (!back.ok) {
        Cli_Report(back.message + "\nNothing was replaced.");
        return finish(kExitFailed);
    }
    if (!back.message.empty())
        Cli_Report(fileName + ": " + back.message);
    if (back.unchanged) {
        keep = false;
        Cli_WriteStdout("no change\n");
        return finish(kExitOk);
    }

    PakWriter writer;
    if (!Cli_OpenWriter(args, writer))
        return finish(kExitFailed);
    const int now = Cli_FindEntry(writer.archive, args.positional[1]);
    std::vector<uint8_t> current;
    if (now != slot || Pak_LoadEntry(writer.archive, writer.archive.entries[static_cast<size_t>(now)], current) !=
                           PakLoadResult::Ok || current != resource) {
        Cli_Report(args.positional[1] + " changed in " + args.positional[0] +
                   " while it was edited: nothing was replaced.");
        return finish(kExitFailed);
    }
    if (!PakWrite_Replace(writer, slot, back.bytes, args.compress, error)) {
        Cli_Report(error);
        return finish(kExitFailed);
    }
    const std::string conversion = Cli_ConversionName(kind == KindTexture    ? ImportAs::Texture
                                                      : kind == KindOggVorbis ? ImportAs::Sound
                                                                              : ImportAs::Raw,
                                                      edited);
    const int status =
        Cli_SaveAndReport(args, writer, "1 entry replaced" + (conversion.empty() ? "" : " (" + conversion + ")"));
    keep = status != kExitOk;
    return finish(status);
}
