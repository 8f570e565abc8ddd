// quillon-cli over hostile archives, and writing among links, pipes and on a full
// disk; the runner's time limit turns a hang into a failure.
#include "cli_run.h"
#include "export/export.h"
#include "model_fixtures.h"
#include "test_data.h"

#include <gtest/gtest.h>
#include <cmath>
#include <memory>
#include <thread>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasuresMemory = false;  // the sanitizer's shadow and quarantine swamp the figures
#else
constexpr bool kMeasuresMemory = true;
#endif

Bytes Str(const std::string &s) { return Fixture_FromString(s); }

// Block colours for Fixture_Texture that no PNG compresses.
Rgb Grain(uint32_t bx, uint32_t by, uint32_t, uint32_t)
{
    const uint32_t h = ((bx * 73856093u) ^ (by * 19349663u)) * 2654435761u;
    return {static_cast<uint8_t>(h >> 24), static_cast<uint8_t>(h >> 16), static_cast<uint8_t>(h >> 8)};
}

}  // namespace

// A companion that is missing, a folder or a FIFO fails its own entries, once
// each and never waited on; the entry-point file's entries are still written.
TEST(CliHostile, CompanionsThatAreNoFiles)
{
    TempDir dir;
    const std::string pak = dir / "H.PAK", out = dir / "out.bin", companion = dir / "H_00.PAK";
    ASSERT_TRUE(Fixture_WritePak(pak, {{{"c", Str("in the companion"), 0}, {"m", Str("main")}}}));
    const std::vector<std::vector<std::string>> commands = {
        {"show", pak, "c [0000]"},
        {"export", pak, "c [0000]", "-o", out},
        {"export", pak, "c [0000]", "-o", out, "--interpreted"},
        {"extract", pak, "-o", dir / "x", "--interpreted"},
        {"list", pak, "--long"},
    };
    for (const std::string kind : {"missing", "folder", "fifo"}) {
        fs::remove_all(companion);
        fs::remove_all(dir / "x");
        ASSERT_TRUE(kind == "missing" ||
                    (kind == "fifo" ? mkfifo(companion.c_str(), 0600) : mkdir(companion.c_str(), 0700)) == 0);
        for (const auto &args : commands) {
            const CliResult r = RunCli(args, dir);
            EXPECT_EQ(r.status, 1) << args[0] << " " << kind;
            EXPECT_NE(r.err.find(companion), std::string::npos) << r.err;
            EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
            EXPECT_FALSE(fs::exists(out)) << args[0];
        }
        EXPECT_EQ(FilesUnder(dir / "x"), std::set<std::string>{"m.txt"}) << kind;
    }
}

// Declared lengths and expansions that reach a gigabyte: only what a stream
// really yields is held, once, and never twice for the text it prints.
TEST(CliHostile, ExpansionBombsStayWithinOneCopy)
{
    TempDir dir;
    const std::string pak = dir / "B.PAK";
    const size_t noiseSize = 4u << 20, textSize = 64u << 20;
    {  // held only while the archive is written: a child's peak counts what its parent held
        Bytes noise(noiseSize);
        for (uint32_t i = 0, x = 7; i < noise.size(); ++i, x = x * 1103515245u + 12345u)
            noise[i] = static_cast<uint8_t>(x >> 24);
        Bytes lie = Fixture_LzoBlock(noise, false);  // 4 MB that declares 1 GB
        lie[4] = 0x40, lie[5] = lie[6] = lie[7] = 0;
        Bytes text(textSize, 'a');
        for (size_t i = 63; i < text.size(); i += 64)
            text[i] = '\n';
        const Bytes bomb = Fixture_LzoBlock(text, false);
        ASSERT_TRUE(Fixture_WritePak(pak, {{{"lie", lie}, {"bomb", bomb, 0}, {"bomb2", bomb, 1}}}));
    }

    // command, peak resident megabytes allowed, standard output (empty: captured), what it prints first
    const std::tuple<std::vector<std::string>, long, std::string, std::string> rows[] = {
        {{"list", pak, "--long"}, 100, "", "bomb [0001]\tText\t67108864\t"},
        {{"show", pak, "lie [0000]"}, 40, "", "Resource: Unknown (4.00MB)\n"},
        {{"export", pak, "lie [0000]", "-o", dir / "lie.bin"}, 40, "", ""},
        {{"show", pak, "bomb [0001]"}, 100, "/dev/null", ""},
        // one copy per reading thread
        {{"extract", pak, "-o", dir / "x", "--interpreted", "--jobs", "2"}, 170, "", ""},
    };
    for (const auto &[args, peakMb, stdoutPath, start] : rows) {
        const CliResult r = RunCli(args, dir, stdoutPath);
        EXPECT_EQ(r.status, 0) << args[0] << ": " << r.err;
        EXPECT_EQ(r.out.substr(0, start.size()), start) << args[0];
        if (kMeasuresMemory) {
            EXPECT_LT(r.peakKb, peakMb * 1024) << args[0] << " " << args[2];
        }
    }
    EXPECT_EQ(fs::file_size(dir / "lie.bin"), noiseSize);
    EXPECT_EQ(fs::file_size(dir / "x/bomb2.txt"), textSize);
}

// Control bytes of a name reach a terminal escaped; a pipe gets the exact
// line, which then works as an ENTRY argument. Messages are always escaped.
TEST(CliHostile, NamesWithControlBytes)
{
    TempDir dir;
    const std::string pak = dir / "N.PAK", line = "a\x1b[2Jb [0000]";
    ASSERT_TRUE(Fixture_WritePak(pak, {{{"a\x1b[2Jb", Str("text")}}}));
    EXPECT_EQ(RunCli({"list", pak}, dir).out, line + "\n");
    EXPECT_EQ(RunCli({"show", pak, line}, dir).status, 0);

    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(terminal >= 0 && grantpt(terminal) == 0 && unlockpt(terminal) == 0);
    EXPECT_EQ(RunCli({"list", pak}, dir, ptsname(terminal)).status, 0);
    char shown[256];
    const ssize_t n = read(terminal, shown, sizeof shown);
    close(terminal);
    EXPECT_EQ(std::string(shown, std::max<ssize_t>(n, 0)), "a\\x1b[2Jb [0000]\r\n");

    const CliResult r = RunCli({"show", pak, "z\x1b]0;title\x07"}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("'z\\x1b]0;title\\x07'"), std::string::npos) << r.err;
}

// What is already in the output folder: a file, hard link or pipe of an entry's
// name is kept, and with --overwrite replaced; a symbolic link is never
// followed and fails its entry. Nothing outside changes, no temporary file is left.
TEST(CliHostile, WhatIsAlreadyInTheOutputFolder)
{
    TempDir dir;
    const std::string out = dir / "out";
    ASSERT_TRUE(Fixture_WritePak(dir / "X.PAK", {{{"keep.txt", Str("new")}, {"linked.txt", Str("entry bytes")},
                                                  {"pipe.txt", Str("piped")}, {"dir\\f", Str("f")},
                                                  {"link\\file", Str("2")}, {"target", Str("3")},
                                                  {"dangling", Str("4")}}}));
    fs::create_directories(out);
    fs::create_directories(dir / "elsewhere");
    ASSERT_TRUE(Fixture_WriteFile(out + "/keep.txt", Str("old")));
    ASSERT_EQ(chmod((out + "/keep.txt").c_str(), 0600), 0);
    ASSERT_TRUE(Fixture_WriteFile(dir / "outside.txt", Str("keep me")));
    ASSERT_EQ(link((dir / "outside.txt").c_str(), (out + "/linked.txt").c_str()), 0);
    ASSERT_EQ(mkfifo((out + "/pipe.txt").c_str(), 0666), 0);
    fs::create_directory_symlink(dir / "elsewhere", out + "/link");
    fs::create_symlink(dir / "outside.txt", out + "/target");
    fs::create_symlink(dir / "created.txt", out + "/dangling");

    // options, the summary, what keep.txt then holds
    const std::tuple<std::vector<std::string>, std::string, std::string> runs[] = {
        {{}, "1 entries written, 1 bytes, 3 skipped, 3 failed\n", "old"},
        {{"--overwrite"}, "4 entries written, 20 bytes, 0 skipped, 3 failed\n", "new"}};
    for (const auto &[options, summary, kept] : runs) {
        std::vector<std::string> args{"extract", dir / "X.PAK", "-o", out};
        args.insert(args.end(), options.begin(), options.end());
        const CliResult r = RunCli(args, dir);
        EXPECT_EQ(std::tie(r.status, r.out), std::tuple(1, summary)) << r.err;
        EXPECT_EQ(r.err.find("keep.txt [0000]: skipped: exists (keep.txt)\n") != std::string::npos, kept == "old");
        for (const char *failed : {"link\\file [0004]: ", "target [0005]: ", "dangling [0006]: "})
            EXPECT_NE(r.err.find(failed), std::string::npos) << failed << r.err;
        EXPECT_EQ(ReadText(out + "/keep.txt"), kept);
        EXPECT_EQ(fs::status(out + "/keep.txt").permissions(), fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(ReadText(dir / "outside.txt"), "keep me");
        EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
        EXPECT_FALSE(fs::exists(dir / "created.txt"));
    }
    EXPECT_EQ(ReadText(out + "/linked.txt"), "entry bytes");
    EXPECT_EQ(ReadText(out + "/pipe.txt"), "piped");
    EXPECT_EQ(ReadText(out + "/dir/f"), "f");
    EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 7);  // no temporary file beside them
}

// A writer that fails inside the output folder is reported with the path as
// the user gave it, never with the handle it was given (/proc/self/fd/N).
TEST(CliHostile, MessagesNameThePathsTheUserGave)
{
    TempDir dir;
    ASSERT_TRUE(MakeSamples(dir / "s", dir));
    const std::string out = dir / "out";
    // what stands in the way, the options, the path the messages name
    const std::tuple<std::string, std::vector<std::string>, std::string> rows[] = {
        {"models/env/dkexport.mtl", {"--obj-mtl"}, out + "/models/env/dkexport.mtl"},
    };
    for (const auto &[blocker, options, shown] : rows) {
        fs::remove_all(out);
        fs::create_directories(out + "/" + blocker);
        std::vector<std::string> args{"extract", dir / "s/GLOBAL.PAK", "-o", out + "/"};
        args.insert(args.end(), options.begin(), options.end());
        const CliResult r = RunCli(args, dir);
        EXPECT_EQ(r.status, 1) << blocker;
        EXPECT_NE(r.err.find(shown), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("/proc/self/"), std::string::npos) << r.err;
    }
}

// As an ordinary user (root writes anything): a file the user may not write is
// refused and left as it was; a writable file in a folder that takes no new
// file is written in place; a replaced file keeps its mode and owner.
TEST(CliHostile, FilesTheUserMayOrMayNotReplace)
{
    constexpr uid_t kNobody = 65534;
    std::vector<std::string> as;  // the command that runs quillon-cli as that user
    if (getuid() == 0) {
        if (access("/usr/bin/setpriv", X_OK) != 0)
            GTEST_SKIP() << "running as root without setpriv: cannot run quillon-cli as an ordinary user";
        as = {"--reuid=65534", "--regid=65534", "--clear-groups", QUILLON_CLI};
    }
    TempDir dir;
    const uid_t user = as.empty() ? getuid() : kNobody;
    const gid_t group = as.empty() ? getgid() : kNobody;
    ASSERT_TRUE(Fixture_WritePak(dir / "X.PAK", {{{"e", Str("new")}}}));
    ASSERT_EQ(chmod(dir.path.c_str(), 0777), 0);
    ASSERT_EQ(mkdir((dir / "shut").c_str(), 0777), 0);

    // command, target, its mode, folder mode, exit status, what the target then holds
    const std::tuple<std::string, std::string, mode_t, mode_t, int, std::string> rows[] = {
        {"export", "read-only.txt", 0444, 0777, 1, "old"},
        {"dump", "read-only.txt", 0444, 0777, 1, "old"},
        {"export", "shut/writable.txt", 0666, 0555, 0, "new"},
        {"export", "private.txt", 0600, 0777, 0, "new"},
    };
    for (const auto &[command, target, mode, folderMode, status, holds] : rows) {
        const std::string path = dir / target;
        ASSERT_EQ(chmod((dir / "shut").c_str(), 0777), 0);
        ASSERT_TRUE(Fixture_WriteFile(path, Str("old")));
        ASSERT_EQ(chown(path.c_str(), user, group), 0);
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
        ASSERT_EQ(chmod((dir / "shut").c_str(), folderMode), 0);
        std::vector<std::string> args = as;
        for (const std::string &a : {command, dir / "X.PAK", std::string("#0"), std::string("-o"), path})
            args.push_back(a);
        const CliResult r = as.empty() ? RunCli(args, dir) : RunProgram("/usr/bin/setpriv", args, dir);
        EXPECT_EQ(r.status, status) << command << " " << target << ": " << r.err;
        EXPECT_EQ(r.err, status ? "Could not open file for writing.\n" : "") << target;
        EXPECT_EQ(ReadText(path), holds) << command << " " << target;
        struct stat st {};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(std::tuple(st.st_mode & 07777, st.st_uid, st.st_gid), std::tuple(mode, user, group)) << target;
    }
    EXPECT_EQ(FilesUnder(dir / "shut"), std::set<std::string>{"writable.txt"});
    EXPECT_EQ(FilesUnder(dir.path), (std::set<std::string>{".stderr", ".stdout", "X.PAK", "private.txt", "read-only.txt",
                                                      "shut/writable.txt"}));
}

// On a full disk every writer fails and leaves the old file, with no partial
// one; a glTF's files are all written or none.
TEST(CliHostile, AFullDiskLeavesTheOldFile)
{
    TempDir dir;
    const std::string disk = dir / "disk", pak = dir / "X.PAK";
    ASSERT_EQ(mkdir(disk.c_str(), 0777), 0);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << strerror(errno);
    // The model's buffer alone is 2 MB, the texture's PNG some 4 MB.
    ASSERT_TRUE(Fixture_WritePak(pak, {{{"big.txt", Bytes(2 << 20, 'x')}, {"m", Fixture_Model(Fixture_LargeModel(2, 60000))},
                                        {"t", Fixture_Texture(2048, 2048, 1, 1, Grain)}}}));
    const std::set<std::string> old{"big.txt", "m.glb", "m.gltf", "t.png"};
    for (const std::string &name : old)
        ASSERT_TRUE(Fixture_WriteFile(disk + "/" + name, Str("old")));
    const std::vector<std::vector<std::string>> commands = {
        {"export", pak, "#0", "-o", disk + "/big.txt"},
        {"dump", pak, "#0", "-o", disk + "/big.txt"},
        {"extract", pak, "-o", disk, "--overwrite", "--match", "big.txt"},
        {"export", pak, "#1", "-o", disk + "/m.glb", "--glb"},
        {"export", pak, "#1", "-o", disk + "/m.gltf", "--gltf"},
        {"extract", pak, "-o", disk, "--overwrite", "--match", "m", "--glb"},
        {"extract", pak, "-o", disk, "--overwrite", "--match", "m", "--gltf"},
        {"export", pak, "#2", "-o", disk + "/t.png", "--png"},
    };
    for (const auto &command : commands) {
        CliResult r = RunCli(command, dir);
        EXPECT_EQ(r.status, 1) << command[0];
        EXPECT_NE(r.err.find(Export_Message(ExportResult::WriteFailed)), std::string::npos) << command[0] << r.err;
        // libpng's words join ours; its own line never shows.
        EXPECT_EQ(r.err.find("The PNG encoder said: Write Error.") != std::string::npos, command.back() == "--png") << r.err;
        EXPECT_EQ(r.err.find("libpng"), std::string::npos) << r.err;
        for (const std::string &name : old)
            EXPECT_EQ(ReadText(disk + "/" + name), "old") << command[0] << " " << name;
        EXPECT_EQ(FilesUnder(disk), old) << command[0] << " " << command.back();
    }
    umount(disk.c_str());
}

// A .gltf's .bin and PNGs keep the promises of every output file: a name
// that another entry of the run takes, or that a link or (without
// --overwrite) a file holds, gives the companion a name of its own, which the
// .gltf names. Nothing outside the folder changes; no temporary file stays.
TEST(CliHostile, TheGltfCompanionsTakeNamesOfTheirOwn)
{
    TempDir dir;
    const float centre[3] = {0, 0, 0}, half[3] = {1, 1, 1};
    ModelFixture box;
    box.surfaces = {Fixture_Box("a", centre, half)};
    const std::string pak = dir / "G.PAK", out = dir / "out", held = dir / "held";
    ASSERT_TRUE(Fixture_WritePak(pak, {{{"box.bin", Str("entry 0")}, {"box", Fixture_Model(box)},
                                        {"box_0.png", Str("entry 2")},
                                        {"a", MaterialBytes("numTextures 1 Texture 0 WRAP WRAP t_d")},
                                        {"t_d", Fixture_Texture(8, 8, 1, 1, Solid<200, 0, 0>)}}}));
    ASSERT_TRUE(Fixture_WriteFile(dir / "outside", Str("keep me")));
    fs::create_directories(held);
    fs::create_symlink(dir / "outside", held + "/box.bin");
    ASSERT_TRUE(Fixture_WriteFile(held + "/box_0.png", Str("old")));

    // arguments, the folder, the names the .gltf gives its buffer and image, how box_0.png starts
    const std::tuple<std::vector<std::string>, std::string, std::string, std::string, std::string> rows[] = {
        {{"extract", pak, "-o", out, "--gltf"}, out, "box_0001.bin", "box_0.png", "\x89PNG"},
        {{"extract", pak, "-o", held, "--gltf", "--match", "box"}, held, "box_0001.bin", "box_0_0001.png", "old"},
        {{"extract", pak, "-o", held, "--gltf", "--match", "box", "--overwrite"}, held, "box_0001.bin", "box_0.png",
         "\x89PNG"},
        {{"export", pak, "#1", "-o", held + "/box.gltf", "--gltf"}, held, "box_0000.bin", "box_0.png", "\x89PNG"},
    };
    for (const auto &[args, folder, bin, png, start] : rows) {
        const CliResult r = RunCli(args, dir);
        EXPECT_EQ(r.status, 0) << args[0] << " " << args.back() << ": " << r.err;
        const std::string gltf = ReadText(folder + "/box.gltf");
        EXPECT_NE(gltf.find("\"uri\": \"" + bin + "\""), std::string::npos) << args.back() << gltf;
        EXPECT_NE(gltf.find("\"uri\": \"" + png + "\""), std::string::npos) << args.back() << gltf;
        EXPECT_EQ(ReadText(folder + "/box_0.png").substr(0, 4), start) << args.back();
        EXPECT_EQ(ReadText(dir / "outside"), "keep me");
        for (const std::string &name : FilesUnder(folder))
            EXPECT_EQ(name.find(".quillon-"), std::string::npos) << name;
    }
    EXPECT_EQ(ReadText(out + "/box.bin"), "entry 0");
    EXPECT_EQ(ReadText(out + "/box_0_0002.png"), "entry 2");
    EXPECT_EQ(fs::file_size(out + "/box_0001.bin"), 24u * 32u + 36u * 2u);
}

// Exports into one folder from several processes at once each merge their
// materials into dkexport.mtl in turn: none is lost.
TEST(CliHostile, ConcurrentObjExportsKeepEveryMaterial)
{
    constexpr int kProcesses = 4, kModels = 10;
    TempDir dir;
    const float centre[3] = {0, 0, 0}, half[3] = {1, 1, 1};
    FixtureArchive a;
    for (int p = 0; p < kProcesses; ++p)
        for (int m = 0; m < kModels; ++m) {
            ModelFixture model;
            model.surfaces = {Fixture_Box("mat_" + std::to_string(p) + "_" + std::to_string(m), centre, half)};
            a.entries.push_back({"p" + std::to_string(p) + "_" + std::to_string(m), Fixture_Model(model)});
        }
    ASSERT_TRUE(Fixture_WritePak(dir / "C.PAK", a));
    std::vector<std::unique_ptr<TempDir>> captures;
    std::vector<std::thread> runs;
    std::vector<CliResult> results(kProcesses);
    for (int p = 0; p < kProcesses; ++p) {
        captures.push_back(std::make_unique<TempDir>());
        runs.emplace_back([&, p] {
            results[p] = RunCli({"extract", dir / "C.PAK", "-o", dir / "out", "--obj-mtl", "--jobs", "1", "--match",
                                 "p" + std::to_string(p) + "_*"},
                                *captures[p]);
        });
    }
    for (std::thread &t : runs)
        t.join();
    for (const CliResult &r : results)
        EXPECT_EQ(r.status, 0) << r.err;
    const std::string mtl = ReadText(dir / "out/dkexport.mtl");
    for (int p = 0; p < kProcesses; ++p)
        for (int m = 0; m < kModels; ++m)
            EXPECT_NE(mtl.find("newmtl mat_" + std::to_string(p) + "_" + std::to_string(m) + "\n"), std::string::npos)
                << p << " " << m;
}

// The OBJ form against what a model or the folder holds: a material name with
// a line break and numbers that are not finite stay out of the OBJ's lines;
// textures whose names differ only in separators keep files of their own; a
// dkexport.mtl that is a FIFO or a link is never waited on nor read, and its
// entry fails without leaving an .obj; a cap on surfaces is told.
TEST(CliHostile, TheObjFormKeepsItsLines)
{
    TempDir dir;
    const float centre[3] = {0, 0, 0}, half[3] = {1, 1, 1};
    ModelFixture model;
    model.surfaces = {Fixture_Box("evil\nv 9 9 9", centre, half), Fixture_Box("a", centre, half),
                      Fixture_Box("b", centre, half)};
    model.surfaces[0].vertices[0].position[0] = NAN;
    const std::string text = "numTextures 1 Texture 0 WRAP WRAP ";
    FixtureArchive a;
    a.entries = {{"m", Fixture_Model(model)},
                 {"a", MaterialBytes(text + "t/x_d")},
                 {"b", MaterialBytes(text + "t_x_d")},
                 {"t/x_d", Fixture_Texture(8, 8, 1, 1, Solid<200, 0, 0>)},
                 {"t_x_d", Fixture_Texture(8, 8, 1, 1, Solid<0, 200, 0>)}};
    ModelFixture many;
    for (int i = 0; i < kModelMaxSurfaces + 5; ++i)
        many.surfaces.push_back(Fixture_Box("s", centre, half));
    a.entries.push_back({"many", Fixture_Model(many)});
    ASSERT_TRUE(Fixture_WritePak(dir / "M.PAK", a));

    CliResult r = RunCli({"export", dir / "M.PAK", "m [0000]", "-o", dir / "m.obj", "--obj-mtl"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, Export_NonFiniteMessage(1) + "\n");
    const std::string obj = ReadText(dir / "m.obj");
    EXPECT_NE(obj.find("usemtl evil_v 9 9 9\n"), std::string::npos);
    EXPECT_EQ(obj.find("nan"), std::string::npos);
    EXPECT_EQ(obj.find("\nv 9"), std::string::npos);
    std::set<std::string> textures = FilesUnder(dir / "textures");
    ASSERT_EQ(textures.size(), 2u);
    EXPECT_TRUE(textures.count("t_x_d.png"));

    r = RunCli({"export", dir / "M.PAK", "many [0005]", "-o", dir / "many.obj", "--interpreted"}, dir);
    EXPECT_EQ(r.err, Export_SurfacesLeftOutMessage(5) + "\n");

    for (const std::string kind : {"fifo", "link"}) {
        const std::string out = dir / kind, mtl = out + "/dkexport.mtl";
        fs::create_directories(out);
        ASSERT_TRUE(Fixture_WriteFile(dir / "secret", Str("newmtl secret\n")));
        if (kind == "fifo")
            ASSERT_EQ(mkfifo(mtl.c_str(), 0600), 0);
        else
            fs::create_symlink(dir / "secret", mtl);
        r = RunCli({"export", dir / "M.PAK", "m [0000]", "-o", out + "/m.obj", "--obj-mtl"}, dir);
        EXPECT_EQ(r.status, 1) << kind;
        EXPECT_FALSE(fs::exists(out + "/m.obj")) << kind;
        r = RunCli({"extract", dir / "M.PAK", "-o", out, "--obj-mtl", "--match", "m"}, dir);
        EXPECT_EQ(std::pair(r.status, r.out), std::pair(1, std::string("0 entries written, 0 bytes, 0 skipped, 1 failed\n")))
            << kind;
        EXPECT_FALSE(fs::exists(out + "/m.obj")) << kind;
        EXPECT_EQ(ReadText(dir / "secret"), "newmtl secret\n");
    }
}
