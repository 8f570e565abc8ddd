// quillon-cli sheet: textures of distinct solid colours, the sheet read back by
// Pillow, each colour in its cell in list order.
#include "cli_run.h"

#include "../convert/readers.h"
#include "test_data.h"
#include "base/platform.h"

#include <gtest/gtest.h>
#include <regex>
#include <sstream>

namespace {

struct Cell {
    std::string line, kind;
    int x = -1, y = -1, width = 0, height = 0;
    bool error = false;
};

// The cells --json printed, in order.
std::vector<Cell> Cells(const std::string &json)
{
    std::vector<Cell> cells;
    std::istringstream lines(json);
    const std::regex field("\"line\":\"([^\"]*)\".*\"kind\":\"([a-z]*)\",\"x\":(\\d+),\"y\":(\\d+),\"width\":(\\d+),"
                           "\"height\":(\\d+)");
    for (std::string text; std::getline(lines, text);) {
        std::smatch m;
        Cell cell;
        if (std::regex_search(text, m, field))
            cell = {m[1], m[2], std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[5]), std::stoi(m[6])};
        cell.error = text.find("\"error\":") != std::string::npos;
        cells.push_back(cell);
    }
    return cells;
}

// "R G B A" of each pixel asked for, one line each, as Pillow reads the PNG.
std::vector<std::string> Pixels(const std::string &png, const std::vector<std::pair<int, int>> &at)
{
    std::string points;
    for (auto [x, y] : at)
        points += std::to_string(x) + "," + std::to_string(y) + " ";
    const std::string script = "import sys; from PIL import Image; im = Image.open(sys.argv[1]).convert('RGBA')\n"
                               "for p in sys.argv[2:]:\n"
                               "    x, y = map(int, p.split(',')); print(*im.getpixel((x, y)))";
    std::istringstream out(Output("/usr/bin/python3 -c " + Quoted(script) + " " + Quoted(png) + " " + points));
    std::vector<std::string> pixels;
    for (std::string line; std::getline(out, line);)
        pixels.push_back(line);
    return pixels;
}

std::string Colour(Rgb c, int alpha = 255)
{
    const Rgb q = Fixture_Quantise(c);
    return std::to_string(q.r) + " " + std::to_string(q.g) + " " + std::to_string(q.b) + " " + std::to_string(alpha);
}

}  // namespace

TEST(CliSheet, EachColourInItsCellInListOrder)
{
    if (system(kPillow) != 0)
        GTEST_SKIP() << "Pillow is not installed";
    TempDir dir;
    Bytes cut = Fixture_Texture(64, 64, 1, 1, Solid<1, 2, 3>);
    cut.resize(300);
    FixtureArchive fixture;
    // Record order is not list order; the material shows red_d; the text has no cell.
    fixture.entries = {{"c_blue", Fixture_Texture(64, 64, 1, 7, Solid<0, 0, 255>)},
                       {"A_red_d", Fixture_Texture(128, 32, 5, 8, Solid<255, 0, 0>)},
                       {"b_green", Fixture_Texture(16, 16, 1, 1, Solid<0, 255, 0>)},
                       {"d_wall", MaterialBytes("numTextures 1 Texture 0 WRAP WRAP a_red_d")},
                       {"e_notes", Fixture_FromString("plain words")},
                       {"f_cut", cut}};
    ASSERT_TRUE(Fixture_WritePak(dir / "PAK_A.PAK", fixture));

    const CliResult result =
        RunCli({"sheet", dir / "PAK_A.PAK", "-o", dir / "sheet.png", "--size", "16", "--columns", "2", "--json"}, dir);
    EXPECT_EQ(result.status, 1);  // the cut texture is told; the sheet is still written
    EXPECT_NE(result.err.find("f_cut"), std::string::npos) << result.err;
    const std::vector<Cell> cells = Cells(result.out);
    ASSERT_EQ(cells.size(), 5u) << result.out;
    const struct {
        const char *line;
        int cellX, cellY, width, height;
        Rgb colour;
    } rows[] = {
        {"A_red_d [0001]", 0, 0, 16, 4, {255, 0, 0}},
        {"b_green [0002]", 1, 0, 16, 16, {0, 255, 0}},
        {"c_blue [0000]", 0, 1, 16, 16, {0, 0, 255}},
        {"d_wall [0003]", 1, 1, 16, 4, {255, 0, 0}},
    };
    std::vector<std::pair<int, int>> at;
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto &row = rows[i];
        EXPECT_EQ(cells[i].line, row.line);
        // Cells of 16 pixels, 4 apart and from the edge; the thumbnail centred in its cell.
        EXPECT_EQ(cells[i].x, 4 + row.cellX * 20 + (16 - row.width) / 2) << row.line;
        EXPECT_EQ(cells[i].y, 4 + row.cellY * 20 + (16 - row.height) / 2) << row.line;
        EXPECT_EQ(cells[i].width, row.width) << row.line;
        EXPECT_EQ(cells[i].height, row.height) << row.line;
        at.push_back({cells[i].x, cells[i].y});
        at.push_back({cells[i].x + cells[i].width - 1, cells[i].y + cells[i].height - 1});
    }
    EXPECT_TRUE(cells[4].error);
    EXPECT_EQ(cells[4].line, "f_cut [0005]");
    at.push_back({0, 0});  // the gap: transparent
    const std::vector<std::string> pixels = Pixels(dir / "sheet.png", at);
    ASSERT_EQ(pixels.size(), at.size());
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(pixels[2 * i], Colour(rows[i].colour)) << rows[i].line;
        EXPECT_EQ(pixels[2 * i + 1], Colour(rows[i].colour)) << rows[i].line;
    }
    EXPECT_EQ(pixels.back(), "0 0 0 0");

    // A sheet that cannot be written leaves nothing; one with no cell is refused.
    const struct {
        std::vector<std::string> args;
        int status;
        const char *says;
    } refusals[] = {
        {{"sheet", dir / "PAK_A.PAK", "-o", dir / "none/sheet.png"}, 1, "Could not open"},
        {{"sheet", dir / "PAK_A.PAK", "-o", dir / "s2.png", "--match", "zz*"}, 1, "No entry"},
        {{"sheet", dir / "PAK_A.PAK", "-o", dir / "s3.png", "--size", "0"}, 2, "--size"},
        {{"sheet", dir / "PAK_A.PAK", "-o", "-", "--json"}, 2, "standard output"},
    };
    for (const auto &row : refusals) {
        const CliResult refused = RunCli(row.args, dir);
        EXPECT_EQ(refused.status, row.status) << row.args[4];
        EXPECT_NE(refused.err.find(row.says), std::string::npos) << refused.err;
    }
    for (const char *name : {"none", "s2.png", "s3.png", "-"})
        EXPECT_EQ(Sys_PathKind(dir / name, false), SysKind::Missing) << name;
}
