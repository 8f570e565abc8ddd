// quillon-cli's outputs on the sample archives, held as one hash per run:
// whatever a command prints, the status it ends with and every byte it writes.
// A reshaping of the code must leave every row as it is. After a change meant
// to alter an output, QUILLON_CLI_SNAPSHOT=FILE writes the table anew into FILE
// (then copy it over cli_snapshot.txt and say why in the commit).
#include "cli_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct SnapshotRun {
    std::string label;
    std::vector<std::string> args;     // run in the test's folder: paths are relative
    std::vector<std::string> written;  // files and folders whose bytes count too
    bool freshCopy = false;            // work/ is a new copy of the samples first
};

// Every command and form on the samples: s/ holds them, g/ the same archives
// as a game folder names them (PAK_*), work/ a copy the writers change.
std::vector<SnapshotRun> Runs()
{
    std::vector<SnapshotRun> runs = {
        {"help", {"--help"}, {}},
        {"help-man", {"--help-man"}, {}},
        {"version", {"--version"}, {}},
        {"usage-error", {"list"}, {}},
        {"unknown-option", {"list", "s/GLOBAL.PAK", "--wav"}, {}},
        {"list", {"list", "s/GLOBAL.PAK"}, {}},
        {"list-long", {"list", "s/GLOBAL.PAK", "--long"}, {}},
        {"list-json", {"list", "s/GLOBAL.PAK", "--json"}, {}},
        {"list-shaders", {"list", "s/SHADERS.PAK", "--json"}, {}},
        {"list-m01", {"list", "s/M01_NIGHTMARE.PAK", "--long"}, {}},
        {"list-folder", {"list", "s", "--json"}, {}},
        {"list-folder-r", {"list", ".", "-r"}, {}},
        {"show-text", {"show", "s/GLOBAL.PAK", "#0"}, {}},
        {"show-json", {"show", "s/GLOBAL.PAK", "#4", "--json"}, {}},
        {"show-effect", {"show", "s/GLOBAL.PAK", "#9"}, {}},
        {"show-model", {"show", "s/GLOBAL.PAK", "#31", "--json"}, {}},
        {"show-sound", {"show", "s/GLOBAL.PAK", "#20", "--json"}, {}},
        {"show-skipped", {"show", "s/GLOBAL.PAK", "#8"}, {}},
        {"show-line", {"show", "s/GLOBAL.PAK", "docs\\readme.txt [0000]"}, {}},
        {"export-raw", {"export", "s/GLOBAL.PAK", "#4", "-o", "-"}, {}},
        {"export-dds", {"export", "s/GLOBAL.PAK", "#4", "-o", "-", "--interpreted"}, {}},
        {"export-obj", {"export", "s/GLOBAL.PAK", "#21", "-o", "-", "--interpreted"}, {}},
        {"export-wav", {"export", "s/GLOBAL.PAK", "#17", "-o", "-", "--wav"}, {}},
        {"export-png", {"export", "s/GLOBAL.PAK", "#1", "-o", "-", "--png"}, {}},
        {"export-gltf", {"export", "s/GLOBAL.PAK", "#21", "-o", "e1/door.gltf", "--gltf"}, {"e1"}},
        {"export-glb", {"export", "s/M01_NIGHTMARE.PAK", "#5", "-o", "e2/altar.glb", "--glb"}, {"e2"}},
        {"export-obj-mtl", {"export", "s/GLOBAL.PAK", "#28", "-o", "e3/lava.obj", "--obj-mtl"}, {"e3"}},
        {"export-refused", {"export", "s/GLOBAL.PAK", "#0", "-o", "e4/x.wav", "--wav"}, {"e4"}},
        {"dump", {"dump", "s/GLOBAL.PAK", "#0", "-o", "-"}, {}},
        {"dump-float", {"dump", "s/GLOBAL.PAK", "#31", "-o", "-", "--format", "float", "--big-endian"}, {}},
        {"dump-int", {"dump", "s/GLOBAL.PAK", "#10", "-o", "-", "--format", "int", "--decimal", "--offset", "12"}, {}},
        {"extract", {"extract", "s/GLOBAL.PAK", "-o", "x1"}, {"x1"}},
        {"extract-forms", {"extract", "s/GLOBAL.PAK", "-o", "x2", "--interpreted", "--wav", "--png", "--jobs", "3"}, {"x2"}},
        {"extract-gltf", {"extract", "s/GLOBAL.PAK", "-o", "x3", "--gltf", "--kind", "model"}, {"x3"}},
        {"extract-glb", {"extract", "s/M01_NIGHTMARE.PAK", "-o", "x4", "--glb", "--png"}, {"x4"}},
        {"extract-obj-mtl", {"extract", "s/GLOBAL.PAK", "-o", "x5", "--obj-mtl", "--match", "models/*"}, {"x5"}},
        {"extract-again", {"extract", "s/GLOBAL.PAK", "-o", "x1", "--match", "*.xml"}, {"x1"}},
        {"extract-overwrite", {"extract", "s/GLOBAL.PAK", "-o", "x1", "--match", "*.xml", "--overwrite"}, {"x1"}},
        {"extract-folder", {"extract", "s", "-o", "x6", "--kind", "text,xml,material"}, {"x6"}},
        {"sheet", {"sheet", "s/GLOBAL.PAK", "-o", "sheet.png", "--size", "32"}, {"sheet.png"}},
        {"sheet-json", {"sheet", "s", "-o", "sheet2.png", "--size", "16", "--columns", "3", "--json"}, {"sheet2.png"}},
        {"find", {"find", "g", "stone"}, {}},
        {"find-glob", {"find", "g", "*.ogg", "--json", "--kind", "ogg"}, {}},
        {"grep", {"grep", "s", "texture"}, {}},
        {"grep-regex", {"grep", "s/GLOBAL.PAK", "^ *Z[a-z]+ ", "--regex", "--json"}, {}},
        {"grep-case", {"grep", "s", "ZWrite", "--case", "--all-kinds"}, {}},
        {"grep-none", {"grep", "s", "no such words"}, {}},
        {"refs", {"refs", "s", "textures\\fx\\flame_d"}, {}},
        {"refs-json", {"refs", "s", "materials/env/stone_wall", "--json"}, {}},
        {"verify", {"verify", "s/GLOBAL.PAK"}, {}},
        {"verify-json", {"verify", "s/M01_NIGHTMARE.PAK", "--json"}, {}},
        {"replace-new", {"replace", "s/GLOBAL.PAK", "#0", "s/SHADERS.PAK", "-o", "n1/NEW.PAK"}, {"n1"}},
        {"add-new", {"add", "s/GLOBAL.PAK", "docs/added.txt", "s/SHADERS.PAK", "-o", "n2/NEW.PAK", "--compress", "best"},
         {"n2"}},
        {"remove-new", {"remove", "s/GLOBAL.PAK", "#3", "-o", "n3/NEW.PAK", "--compact"}, {"n3"}},
        {"rename-new", {"rename", "s/GLOBAL.PAK", "#0", "docs\\README.TXT", "-o", "n4/NEW.PAK"}, {"n4"}},
        {"replace", {"replace", "work/GLOBAL.PAK", "#14", "s/SHADERS.PAK"}, {"work"}, true},
        {"add", {"add", "work/GLOBAL.PAK", "a/b", "s/SHADERS.PAK", "--compress", "none"}, {"work"}},
        {"add-slash", {"add", "work/GLOBAL.PAK", "textures/env/added", "x2/textures/ui/compass.png"}, {"work"}},
        {"remove", {"remove", "work/GLOBAL.PAK", "#2"}, {"work"}},
        {"rename", {"rename", "work/GLOBAL.PAK", "#6", "scripts/renamed.xml"}, {"work"}},
        {"list-edited", {"list", "work/GLOBAL.PAK", "--long"}, {}},
        {"diff", {"diff", "s", "work"}, {}},
        {"diff-stat", {"diff", "s", "work", "--stat", "--json"}, {}},
        {"verify-edited", {"verify", "work/GLOBAL.PAK", "--json"}, {}},
        {"update-dry", {"update", "work/M01_NIGHTMARE.PAK", "x4", "--dry-run"}, {"work"}, true},
        {"update", {"update", "work/M01_NIGHTMARE.PAK", "x4", "--add"}, {"work"}},
        {"pack", {"pack", "x1", "-o", "p1/PACKED.PAK"}, {"p1"}},
        {"pack-parts", {"pack", "x6", "-o", "p2/PACKED.PAK", "--part-size", "1K", "--jobs", "2"}, {"p2"}},
        {"pack-refused", {"pack", "x2", "-o", "p4/PACKED.PAK"}, {"p4"}},
        {"pack-as-raw", {"pack", "x4", "-o", "p3/RAW.PAK", "--as", "raw", "--compress", "fast"}, {"p3"}},
        {"mod-make", {"mod", "make", "s", "work", "-o", "mods/one", "--name", "one"}, {"mods"}},
        {"mod-conflicts", {"mod", "conflicts", "mods/one", "mods/one"}, {}},
        {"mod-apply-dry", {"mod", "apply", "mods/one", "game", "--dry-run"}, {"game"}},
        {"mod-apply", {"mod", "apply", "mods/one", "game"}, {"game/GLOBAL.PAK", "game/M01_NIGHTMARE.PAK"}},
        {"mod-status", {"mod", "status", "game"}, {}},
        {"mod-restore", {"mod", "restore", "game"}, {"game/GLOBAL.PAK", "game/M01_NIGHTMARE.PAK"}},
    };
    for (const char *command : {"list", "show", "export", "dump", "extract", "sheet", "find", "grep", "refs", "diff",
                                "replace", "add", "remove", "rename", "update", "pack", "mod", "verify"})
        runs.push_back({std::string("help-") + command, {command, "--help"}, {}});
    return runs;
}

// FNV-1a, 64 bits: enough to tell a changed byte, and written out here so the
// table does not depend on a library's hash.
struct Hash {
    uint64_t value = 1469598103934665603ull;
    void Add(std::string_view bytes)
    {
        for (unsigned char c : bytes)
            value = (value ^ c) * 1099511628211ull;
        Add8(bytes.size());
    }
    void Add8(uint64_t n)
    {
        for (int i = 0; i < 8; ++i)
            value = (value ^ ((n >> (i * 8)) & 0xFF)) * 1099511628211ull;
    }
};

// A file's bytes, or a folder's files by relative name (sorted), with their bytes.
void HashWritten(Hash &h, const fs::path &path)
{
    if (fs::is_regular_file(path)) {
        h.Add(ReadText(path.string()));
        return;
    }
    if (!fs::is_directory(path)) {
        h.Add("<none>");
        return;
    }
    std::map<std::string, fs::path> files;
    for (const auto &e : fs::recursive_directory_iterator(path))
        files[fs::relative(e.path(), path).generic_string() + (e.is_directory() ? "/" : "")] = e.path();
    for (const auto &[name, full] : files) {
        h.Add(name);
        // A set's lock file holds the process number of its last writer.
        if (fs::is_regular_file(full) && full.extension() != ".lock")
            h.Add(ReadText(full.string()));
    }
}

std::string Hex(uint64_t v)
{
    char text[17];
    snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
    return text;
}

}  // namespace

TEST(CliSnapshot, OutputsOnTheSamplesStayByteIdentical)
{
    TempDir dir;
    ASSERT_TRUE(MakeSamples(dir / "s", dir));
    // A game's folder: the same archives under the names `find` reads.
    fs::create_directories(dir / "g");
    for (const char *name : {"GLOBAL.PAK", "GLOBAL_00.PAK", "GLOBAL_01.PAK", "M01_NIGHTMARE.PAK", "M01_NIGHTMARE_00.PAK"})
        fs::copy_file(dir / (std::string("s/") + name), dir / (std::string("g/PAK_") + name));
    fs::copy(dir / "s", dir / "game");
    for (const char *folder : {"e1", "e2", "e3", "e4", "n1", "n2", "n3", "n4", "p1", "p2", "p3", "p4"})
        fs::create_directory(dir / folder);

    std::map<std::string, std::string> expected;
    {
        std::ifstream table(QUILLON_CLI_SNAPSHOT_TABLE);
        std::string label, hash;
        while (table >> label >> hash)
            expected[label] = hash;
    }
    const char *rewrite = getenv("QUILLON_CLI_SNAPSHOT");
    std::ostringstream written;
    for (const SnapshotRun &run : Runs()) {
        if (run.freshCopy) {
            fs::remove_all(dir / "work");
            fs::copy(dir / "s", dir / "work");
        }
        const CliResult r = RunProgram(QUILLON_CLI, run.args, dir, "", dir.path);
        Hash h;
        h.Add8(static_cast<uint64_t>(r.status));
        // verify tells how long it took.
        h.Add(std::regex_replace(r.out, std::regex(" in [0-9]+\\.[0-9]+ s"), " in - s"));
        h.Add(r.err);
        for (const std::string &path : run.written)
            HashWritten(h, dir / path);
        written << run.label << ' ' << Hex(h.value) << '\n';
        if (rewrite)
            fprintf(stderr, "%-18s status %d, %zu bytes out, %zu err: %s\n", run.label.c_str(), r.status, r.out.size(),
                    r.err.size(), r.err.substr(0, r.err.find('\n')).c_str());
        if (!rewrite)
            EXPECT_EQ(expected[run.label], Hex(h.value))
                << run.label << ": status " << r.status << "\n" << r.err << r.out.substr(0, 2000);
    }
    if (rewrite) {
        std::ofstream(rewrite) << written.str();
        GTEST_SKIP() << "table written to " << rewrite;
    }
}
