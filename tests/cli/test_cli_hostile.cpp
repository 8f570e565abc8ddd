// quillon-cli over hostile archives; the runner's time limit turns a hang into a failure.
#include "cli_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasuresMemory = false;  // the sanitizer's shadow and quarantine swamp the figures
#else
constexpr bool kMeasuresMemory = true;
#endif

Bytes Str(const std::string &s) { return Fixture_FromString(s); }

void MakeSpecial(const std::string &path, bool fifo)
{
    ASSERT_EQ(fifo ? mkfifo(path.c_str(), 0600) : mkdir(path.c_str(), 0700), 0) << path;
}

}  // namespace

TEST(CliHostile, FoldersAndFifosAreNoArchives)
{
    TempDir dir;
    const std::string pak = dir / "H.PAK", out = dir / "out.bin";
    ASSERT_TRUE(Fixture_WritePak(pak, {{{"c", Str("in the companion"), 0}, {"m", Str("main")}}}));
    const std::string refused = "Could not open the desired PAK entry, because '" + (dir / "H_00.PAK") +
                                "' could not be opened.\n";
    const std::vector<std::vector<std::string>> commands = {
        {"show", pak, "c [0000]"},
        {"export", pak, "c [0000]", "-o", out},
        {"export", pak, "c [0000]", "-o", out, "--interpreted"},
        {"extract", pak, "-o", dir / "x", "--interpreted"},
        {"list", pak, "--long"},
    };
    for (bool fifo : {false, true}) {
        fs::remove_all(dir / "H_00.PAK");
        MakeSpecial(dir / "H_00.PAK", fifo);
        for (const auto &args : commands) {
            const CliResult r = RunCli(args, dir);
            EXPECT_EQ(r.status, 1) << args[0] << " fifo " << fifo;
            EXPECT_NE(r.err.find(refused), std::string::npos) << r.err;
            EXPECT_FALSE(fs::exists(out)) << args[0];
        }
        // The archive itself.
        MakeSpecial(dir / (fifo ? "F.PAK" : "D.PAK"), fifo);
        const CliResult r = RunCli({"list", dir / (fifo ? "F.PAK" : "D.PAK")}, dir);
        EXPECT_EQ(std::tie(r.status, r.err), std::tuple(1, "There was an error opening the file.\n"s)) << fifo;
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
