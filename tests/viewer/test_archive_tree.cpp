// The tree of a folder's archives, and lookups that go on to the folder's
// other archives.
#include "lookup/lookup.h"
#include "temp_dir.h"
#include "test_data.h"
#include "viewer/archive_tree.h"

#include <gtest/gtest.h>

namespace {

// The tree as indented labels, every node opened.
std::string Draw(ArchiveTree &tree, TreeItem item = 0, int depth = 0)
{
    std::string text;
    for (TreeItem child : ArchiveTree_Children(tree, item)) {
        text += std::string(2 * depth, ' ') + ArchiveTree_Label(tree, child) + "\n";
        EXPECT_EQ(ArchiveTree_Parent(tree, child), item);
        if (ArchiveTree_IsContainer(tree, child))
            text += Draw(tree, child, depth + 1);
    }
    return text;
}

Bytes Str(const std::string &s) { return Fixture_FromString(s); }

TEST(ArchiveTree, FoldersAreTheNamesSplitAtEitherSeparator)
{
    TempDir dir;
    ASSERT_TRUE(Fixture_WritePak(dir / "M01.PAK", {{{"textures\\props\\crate_d", Str("a")},
                                                    {"Textures/Props/box", Str("b")},
                                                    {"textures\\a.tex", Str("c")},
                                                    {"a\\\\b", Str("d")},  // no folder of an empty name
                                                    {"dir\\", Str("e")},   // no last part: its whole line
                                                    {"readme", Str("f")}}}));
    ASSERT_TRUE(Fixture_WritePak(dir / "GLOBAL.PAK", {{{"x", Str("g")}}}));
    // Its shorter records, one of them skipped.
    FixtureArchive shaders{{{"glow", Str("h")}, {"gone", {}, -1, 0, true}}};
    shaders.shaderForm = true;
    ASSERT_TRUE(Fixture_WritePak(dir / "SHADERS.PAK", shaders));
    ArchiveTree tree;
    std::string error;
    ASSERT_TRUE(ArchiveTree_OpenFolder(dir.path, tree, error)) << error;
    // No lines are made until a node opens, but the counts are the lines'.
    ASSERT_EQ(tree.archives.size(), 3u);
    EXPECT_FALSE(tree.archives[1].read);
    EXPECT_EQ(ArchiveTree_Label(tree, ArchiveTree_Item(2, 0)), "SHADERS.PAK (1 entry)");
    EXPECT_EQ(Draw(tree),
              "GLOBAL.PAK (1 entry)\n"
              "  x [0000]\n"
              "M01.PAK (6 entries)\n"
              "  a\n"
              "    b [0003]\n"
              "  dir\n"
              "    dir\\ [0004]\n"
              "  Textures\n"  // named as the first line in list order names it
              "    Props\n"
              "      box [0001]\n"
              "      crate_d [0000]\n"
              "    a.tex [0002]\n"
              "  readme [0005]\n"
              "SHADERS.PAK (1 entry)\n"
              "  glow [0000]\n");
    size_t archive = 0;
    int line = -1;
    const TreeItem crate = ArchiveTree_Children(tree, ArchiveTree_Children(tree, ArchiveTree_Item(1, 0))[2])[0];
    ASSERT_TRUE(ArchiveTree_Entry(tree, ArchiveTree_Children(tree, crate)[1], archive, line));
    EXPECT_EQ(archive, 1u);
    EXPECT_EQ(tree.archives[1].lines.Line(static_cast<size_t>(line)), "textures\\props\\crate_d [0000]");
    EXPECT_FALSE(ArchiveTree_Entry(tree, crate, archive, line));  // a folder
    EXPECT_EQ(ArchiveTree_Label(tree, ArchiveTree_Item(7, 0)), "");  // names nothing
}

TEST(ArchiveTree, LookupsGoOnToTheOtherArchivesInNameOrder)
{
    TempDir dir;
    const Bytes texture = Fixture_Texture(8, 8, 1, 1, BlockShade);
    ASSERT_TRUE(Fixture_WritePak(dir / "GLOBAL.PAK", {{{"stone", MaterialBytes("")}}}));
    ASSERT_TRUE(Fixture_WritePak(dir / "A.PAK", {{{"own_d", texture}}}));
    ASSERT_TRUE(Fixture_WritePak(dir / "C.PAK", {{{"crate_d", texture}, {"moss_d", texture}}}));
    ASSERT_TRUE(Fixture_WritePak(dir / "b.pak", {{{"CRATE_D", texture}, {"moss_d", Str("not a texture")}}}));
    ArchiveTree tree;
    std::string error;
    ASSERT_TRUE(ArchiveTree_OpenFolder(dir.path, tree, error)) << error;
    PakArchive main, global;
    ASSERT_EQ(Pak_OpenArchive(dir / "A.PAK", main), PakOpenResult::Ok);

    std::vector<std::string> found;
    LookupArchives archives;
    archives.main = &main;
    archives.global = &global;
    archives.elsewhere = [&](const std::string &name, ResourceKind kind, std::vector<uint8_t> &bytes,
                             std::string &archive) {
        return ArchiveTree_LookElsewhere(tree, main.path, name, kind, bytes, archive);
    };
    archives.foundOutside = [&](const std::string &name, const std::string &archive) {
        found.push_back(name + " in " + archive);
    };
    const struct {
        const char *name;
        ResourceKind kind;
        bool found;
        const char *where;  // "" when in the archive itself
    } cases[] = {
        {"own_d", KindTexture, true, ""},
        {"stone", KindMaterial, true, "stone in GLOBAL.PAK"},
        {"crate_d", KindTexture, true, "crate_d in b.pak"},  // b before C, case ignored
        {"moss_d", KindTexture, true, "moss_d in C.PAK"},    // b's is of another kind
        {"nowhere", KindTexture, false, ""},
    };
    std::vector<uint8_t> bytes;
    for (const auto &c : cases) {
        found.clear();
        EXPECT_EQ(Lookup_Find(archives, c.name, c.kind, bytes), c.found) << c.name;
        EXPECT_EQ(found, *c.where ? std::vector<std::string>{c.where} : std::vector<std::string>{}) << c.name;
    }
    archives.elsewhere = nullptr;  // the window's "Look in every archive" is off
    EXPECT_FALSE(Lookup_Find(archives, "moss_d", KindTexture, bytes));
}

}  // namespace
