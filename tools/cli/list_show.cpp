// quillon-cli list and show: the entry list and the info line / text view.
#include "cli.h"
#include "base/platform.h"

#include "export/json_text.h"
#include "resource/resource_details.h"

#include <cstdio>
#include <set>

std::string Cli_HexBytes(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

namespace {

// The file name part of a path (after its last '/' or '\').
std::string FileNameOf(const std::string &path)
{
    size_t sep = path.find_last_of("\\/");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

// The --long columns of one entry. An entry that cannot be loaded still gets
// its stored size and file; what only its bytes tell is "-".
std::string LongColumns(const PakArchive &archive, const PakEntry &entry, std::vector<uint8_t> &bytes,
                        std::set<std::string> &reported, bool &failed, bool terminal)
{
    std::string file = FileNameOf(Pak_EntryFileOnDisk(archive, entry));
    if (terminal)
        file = Cli_Escaped(file);
    bool compressed = false;
    PakLoadResult result = Pak_LoadEntry(archive, entry, bytes, &compressed);
    std::string columns;
    if (result == PakLoadResult::Ok) {
        ResourceKind kind = ClassifyResource(bytes.data(), bytes.size());
        columns = std::string(ResourceKind_Info(kind).displayName) + "\t" + std::to_string(bytes.size());
    } else {
        failed = true;
        // A missing companion fails every entry it holds; say so once.
        std::string message = Pak_LoadMessage(result, archive, entry);
        if (result != PakLoadResult::CannotOpen)
            message = std::string(entry.displayName) + ": " + message;
        if (reported.insert(message).second)
            Cli_Report(message);
        columns = "-\t-";
    }
    columns += "\t" + std::to_string(entry.size) + "\t" + file + "\t";
    columns += result != PakLoadResult::Ok ? "-" : compressed ? "yes" : "no";
    return columns;
}

// One entry as a JSON object (no line end). An entry that cannot be loaded
// gives null for what only its bytes tell, and its message as "error".
std::string JsonEntry(const PakArchive &archive, const PakEntry &entry, std::vector<uint8_t> &bytes, bool &failed)
{
    const std::string file = FileNameOf(Pak_EntryFileOnDisk(archive, entry));
    std::string out = "{\"line\":" + Json_Quote(entry.displayName) + ",\"lineBytes\":\"" +
                      Cli_HexBytes(entry.displayName) + "\",\"record\":" + std::to_string(entry.index);
    bool compressed = false;
    const PakLoadResult result = Pak_LoadEntry(archive, entry, bytes, &compressed);
    if (result != PakLoadResult::Ok) {
        failed = true;
        return out + ",\"kind\":null,\"size\":null,\"storedSize\":" + std::to_string(entry.size) +
               ",\"file\":" + Json_Quote(file) + ",\"compressed\":null,\"error\":" +
               Json_Quote(Pak_LoadMessage(result, archive, entry)) + "}";
    }
    const ResourceDetails d = Resource_Describe(archive, entry, bytes, compressed);
    out += std::string(",\"kind\":\"") + ResourceKind_CliName(d.kind) + "\",\"size\":" + std::to_string(d.size) +
           ",\"storedSize\":" + std::to_string(d.storedSize) + ",\"file\":" + Json_Quote(d.file) +
           ",\"compressed\":" + (d.compressed ? "true" : "false");
    if (d.hasTexture)
        out += ",\"width\":" + std::to_string(d.width) + ",\"height\":" + std::to_string(d.height) +
               ",\"format\":" + Json_Quote(d.textureFormat) + ",\"mipLevels\":" + std::to_string(d.mipCount);
    if (d.hasSound) {
        out += ",\"rate\":" + std::to_string(d.rate) + ",\"channels\":" + std::to_string(d.channels);
        if (d.samples >= 0 && d.rate > 0) {
            char seconds[64];
            snprintf(seconds, sizeof seconds, "%.3f", static_cast<double>(d.samples) / d.rate);
            out += ",\"samples\":" + std::to_string(d.samples) + ",\"seconds\":" + seconds;
        } else {
            out += ",\"samples\":null,\"seconds\":null";
        }
    }
    if (d.hasModel)
        out += ",\"surfaces\":" + std::to_string(d.surfaces) + ",\"vertices\":" + std::to_string(d.vertices) +
               ",\"triangles\":" + std::to_string(d.triangles);
    return out + "}";
}

}  // namespace

int Cli_List(const CliArgs &args)
{
    PakArchive archive;
    if (!Cli_OpenArchive(args.positional[0], archive))
        return kExitFailed;
    return Cli_ListArchive(args, archive, "");
}

int Cli_ListArchive(const CliArgs &args, const PakArchive &archive, const std::string &label)
{
    // On a terminal a name's control bytes are shown escaped; into a pipe or
    // file the lines stay exact, so that they still work as ENTRY arguments.
    const bool terminal = Sys_IsTerminal(fileno(stdout));
    std::vector<uint8_t> bytes;  // one entry at a time: loading releases a large previous one
    std::set<std::string> reported;
    bool failed = false;
    std::string out;
    const std::string lead = label.empty() ? "" : (terminal ? Cli_Escaped(label) : label) + "\t";
    for (int slot : Pak_SortedLines(archive)) {
        const PakEntry &entry = archive.entries[slot];
        if (args.json) {
            out += JsonEntry(archive, entry, bytes, failed) + "\n";
            if (!label.empty())
                out.insert(1, "\"archive\":" + Json_Quote(label) + ",");
            if (!Cli_WriteStdout(out))  // one entry at a time
                return kExitFailed;
            out.clear();
            continue;
        }
        out += lead;
        out += terminal ? Cli_Escaped(entry.displayName) : std::string(entry.displayName);
        if (args.longList)
            out += "\t" + LongColumns(archive, entry, bytes, reported, failed, terminal);
        out += '\n';
        if (out.size() >= 65536) {
            if (!Cli_WriteStdout(out))
                return kExitFailed;
            out.clear();
        }
    }
    Cli_WriteStdout(out);
    return failed ? kExitFailed : kExitOk;
}

int Cli_Show(const CliArgs &args)
{
    PakArchive archive;
    if (!Cli_OpenArchive(args.positional[0], archive))
        return kExitFailed;
    int slot = Cli_FindEntry(archive, args.positional[1]);
    if (slot < 0)
        return kExitFailed;
    std::vector<uint8_t> bytes;
    if (args.json) {
        bool failed = false;
        const std::string out = JsonEntry(archive, archive.entries[slot], bytes, failed) + "\n";
        return Cli_WriteStdout(out) && !failed ? kExitOk : kExitFailed;
    }
    if (!Cli_LoadEntry(archive, archive.entries[slot], bytes))
        return kExitFailed;

    ResourceKind kind = ClassifyResource(bytes.data(), bytes.size());
    Cli_WriteStdout(FormatResourceInfo(kind, bytes.size()) + "\n");
    // Written piece by piece: a text as large as the resource is never built.
    if (ResourceKind_IsTextual(kind))
        ResourceText_ForEachPiece(kind, bytes, [](const char *piece, size_t n) { Cli_WriteStdout(piece, n); });
    return kExitOk;
}
