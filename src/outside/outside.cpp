// The editable form of an entry and the way back from it.
#include "outside/outside.h"

#include "base/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

ExportForms Outside_Forms(ResourceKind kind)
{
    ExportForms forms;
    forms.png = kind == KindTexture;
    forms.wav = kind == KindOggVorbis;
    // The textual kinds' interpreted form is their bytes under their extension.
    // (An effect list has none: it goes out as its bytes under its own name.)
    forms.interpreted = ResourceKind_IsTextual(kind);
    return forms;
}

OutsideProgram Outside_ProgramFor(ResourceKind kind)
{
    if (kind == KindTexture)
        return OutsideProgram::Image;
    if (kind == KindOggVorbis)
        return OutsideProgram::Sound;
    return ResourceKind_IsTextual(kind) ? OutsideProgram::Text : OutsideProgram::Other;
}

std::string Outside_FileName(const PakEntry &entry, ResourceKind kind)
{
    std::vector<std::string> components = Export_SafeComponents(entry);
    Export_AddFormExtension(components, kind, Outside_Forms(kind));
    return components.back();
}

std::string Outside_Write(const std::string &folder, const std::string &name, ResourceKind kind,
                          std::span<const uint8_t> resource, std::string &error)
{
    ExportEntryRequest request;
    request.kind = kind;
    request.resource = resource;
    request.forms = Outside_Forms(kind);
    const std::string path = folder + "/" + name;
    const ExportStatus status = Export_WriteEntry(request, path);
    if (!status.Ok()) {
        error = name + ": " + Export_Message(status);
        return std::string();
    }
    return path;
}

OutsideTakeBack Outside_TakeBack(ResourceKind kind, std::span<const uint8_t> file, std::span<const uint8_t> old,
                                 const std::string &fileName, const SoundImportOptions &sound)
{
    // Chosen by the form the file went out in, never by its name: an entry
    // that holds a PNG file as its bytes goes out and comes back as bytes.
    const ExportForms forms = Outside_Forms(kind);
    const ImportAs as = forms.png && kind == KindTexture    ? ImportAs::Texture
                        : forms.wav && kind == KindOggVorbis ? ImportAs::Sound
                                                             : ImportAs::Raw;
    OutsideTakeBack back;
    ImportResult result = Import_Convert(as, file, old, TextureImportOptions{}, sound);
    if (!result.ok) {
        back.message = fileName + ": " + result.message;
        return back;
    }
    back.ok = true;
    back.bytes = std::move(result.bytes);
    back.unchanged = back.bytes.size() == old.size() && std::equal(old.begin(), old.end(), back.bytes.begin());
    back.message = std::move(result.message);
    return back;
}

std::string Outside_MakeFolder(std::string &error)
{
    std::string cache = Sys_CacheFolder();
    // One separator between the parts: a watcher names the folder without a doubled one.
    while (cache.size() > 1 && (cache.back() == '/' || cache.back() == '\\'))
        cache.pop_back();
    const std::string base = cache + "/quillon";
    if (cache.empty() || !Sys_MakeFolders(base)) {
        error = "Cannot make a folder under '" + (cache.empty() ? std::string("the cache folder") : cache) +
                "': " + strerror(errno);
        return std::string();
    }
    const int dirFd = Sys_OpenFolder(base);
    if (dirFd < 0) {
        error = "Cannot open '" + base + "': " + strerror(errno);
        return std::string();
    }
    // Named by the process, numbered within it: runs at once never share one.
    std::string made;
    for (int n = 1; n < 10000 && made.empty(); ++n) {
        const std::string name = "edit-" + std::to_string(Sys_ProcessId()) + "-" + std::to_string(n);
        if (Sys_MakeSubfolder(dirFd, name))
            made = base + "/" + name;
        else if (errno != EEXIST)
            break;
    }
    if (made.empty())
        error = "Cannot make a folder in '" + base + "': " + strerror(errno);
    Sys_Close(dirFd);
    return made;
}

bool Outside_SplitCommand(const std::string &line, std::vector<std::string> &words, std::string &error)
{
    words.clear();
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (const char c : line) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                word += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;  // '' is an empty word
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote) {
        error = std::string("the command line '") + line + "' has an unclosed " + (quote == '"' ? "\"" : "'");
        return false;
    }
    if (inWord)
        words.push_back(word);
    if (words.empty()) {
        error = "the command line is empty";
        return false;
    }
    return true;
}
