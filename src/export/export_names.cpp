// Where an export job puts an entry: the name's safe path inside the output folder.
// Entry names are archive bytes, so nothing in them may lead outside it.
#include "export/export_jobs.h"
#include "base/ascii.h"

#include <cstring>

namespace {

// Characters that are not allowed in file names somewhere (and control
// characters) become '_', so an archive extracts the same everywhere.
char SafeChar(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || (c != '\0' && strchr(":*?\"<>|", c)))
        return '_';
    return c;
}

bool IsDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::vector<std::string> Export_SafePathComponents(std::string_view path)
{
    std::string name(path);
    // "C:\dir\x" and "C:x" name a drive; what follows is kept as a relative path.
    if (name.size() >= 2 && IsDriveLetter(name[0]) && name[1] == ':')
        name.erase(0, 2);

    std::vector<std::string> components;
    std::string part;
    auto endPart = [&]() {
        // Empty, "." and ".." components would climb or mean nothing: dropped.
        if (!part.empty() && part != "." && part != "..") {
            for (char &c : part)
                c = SafeChar(c);
            components.push_back(part);
        }
        part.clear();
    };
    for (char c : name) {
        if (c == '/' || c == '\\')
            endPart();
        else
            part += c;
    }
    endPart();
    return components;
}

std::vector<std::string> Export_SafeComponents(const PakEntry &entry)
{
    std::vector<std::string> components =
        Export_SafePathComponents(std::string_view(entry.name, strnlen(entry.name, sizeof entry.name)));
    if (components.empty()) {
        char fallback[32];
        snprintf(fallback, sizeof fallback, "entry_%04i", static_cast<int>(entry.index));
        components.push_back(fallback);
    }
    return components;
}

void Export_AddExtension(std::vector<std::string> &components, const char *extension)
{
    std::string &file = components.back();
    const std::string dotted = std::string(".") + extension;
    if (file.size() >= dotted.size() && Ascii_Equal(std::string_view(file).substr(file.size() - dotted.size()), dotted))
        return;
    file += dotted;
}

void Export_ReplaceExtension(std::vector<std::string> &components, const char *from, const char *to)
{
    std::string &file = components.back();
    const std::string dotted = std::string(".") + from;
    // A name that is nothing but the extension keeps it: it would be left empty.
    if (file.size() > dotted.size() && Ascii_Equal(std::string_view(file).substr(file.size() - dotted.size()), dotted))
        file.erase(file.size() - dotted.size());
    Export_AddExtension(components, to);
}

void Export_AddFormExtension(std::vector<std::string> &components, ResourceKind kind, const ExportForms &forms)
{
    const char *replaces = nullptr;
    const char *extension = Export_FormExtension(kind, forms, &replaces);
    if (replaces)
        Export_ReplaceExtension(components, replaces, extension);
    else if (extension[0] != '\0')
        Export_AddExtension(components, extension);
}

void Export_AddRecordSuffix(std::vector<std::string> &components, int32_t index, int round)
{
    char suffix[48];
    if (round == 0)
        snprintf(suffix, sizeof suffix, "_%04i", static_cast<int>(index));
    else
        snprintf(suffix, sizeof suffix, "_%04i_%i", static_cast<int>(index), round);
    std::string &file = components.back();
    // A leading dot starts a hidden name, not an extension.
    size_t dot = file.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        file += suffix;
    else
        file.insert(dot, suffix);
}

std::string Export_JoinPath(const std::vector<std::string> &components, size_t count)
{
    std::string path;
    for (size_t i = 0; i < count && i < components.size(); ++i) {
        if (i > 0)
            path += '/';
        path += components[i];
    }
    return path;
}

namespace {


}  // namespace

std::vector<std::string> ExportNamer::Name(const PakEntry &entry, ResourceKind kind, const ExportForms &forms)
{
    std::vector<std::string> components = Export_SafeComponents(entry);
    Export_AddFormExtension(components, kind, forms);
    // Names differing in case are one file where the folder ignores case.
    if (used_.count(Ascii_Folded(Export_JoinPath(components, components.size())))) {
        const std::vector<std::string> base = components;
        for (int round = 0;; ++round) {
            components = base;
            Export_AddRecordSuffix(components, entry.index, round);
            if (!used_.count(Ascii_Folded(Export_JoinPath(components, components.size()))))
                break;
        }
    }
    for (size_t n = 1; n <= components.size(); ++n)
        used_.insert(Ascii_Folded(Export_JoinPath(components, n)));
    return components;
}

bool ExportNamer::Claim(const std::vector<std::string> &components, const std::string &name)
{
    std::vector<std::string> beside = components;
    beside.back() = name;
    return used_.insert(Ascii_Folded(Export_JoinPath(beside, beside.size()))).second;
}
