// The session alone: its list, find, kind scan, edits and save, read back by
// the archive reader.
#include "session/session.h"
#include "pakwrite/pakwrite.h"
#include "resource/resource_kind.h"
#include "fixtures.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using Lines = std::vector<std::string>;

Lines Listed(const Session &session)
{
    Lines lines;
    for (const char *line : Session_ListedLines(session))
        lines.emplace_back(line);
    return lines;
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Fixture_WritePak(archive, {{{"scripts\\a.txt", Fixture_FromString("A")},
                                                {"scripts\\b.txt", Fixture_FromString("B")},
                                                {"textures\\t", Fixture_Texture(8, 8, 1, 1, Fixture_PictureColour)}}}));
        PakArchive opened;
        ASSERT_EQ(Pak_OpenArchive(archive, opened), PakOpenResult::Ok);
        Session_OpenArchive(session, std::move(opened));
        Session_ApplyFind(session);
    }

    // An edit of the archive, shown as the window shows it.
    void Edit(EditKind kind, int slot, const std::string &name = "", const std::string &text = "", int command = 0)
    {
        PendingEdit edit;
        edit.kind = kind;
        edit.slot = slot;
        edit.name = name;
        edit.command = command;
        if (!text.empty())
            edit.resource = std::make_shared<const std::vector<uint8_t>>(Fixture_FromString(text));
        Session_ShowEdits(session, Edits_Push(session.edits, session.mainPak, std::move(edit)));
        Session_ApplyFind(session);
    }
    // Undo (or Redo) until nothing is left to do; how many commands it took.
    int UndoAll(int (*step)(Session &))
    {
        int commands = 0;
        for (int select; (select = step(session)) != kSessionNothingDone; ++commands) {
            Session_ShowEdits(session, select);
            Session_ApplyFind(session);
        }
        return commands;
    }

    TempDir dir;
    const std::string archive = dir / "Mod.PAK";
    Session session;
};

// The find bar's text, glob and kind, and the kinds read a slice at a time.
TEST_F(SessionTest, FindListsTheLinesOfItsTextAndKind)
{
    const auto scanAll = [&] {
        while (Session_KindsToScan(session))
            Session_ScanKinds(session, std::chrono::steady_clock::now() + std::chrono::seconds(1));
    };
    const int small = ClassifyResource(Fixture_FromString("A"));  // the kind of the scripts' bytes
    const struct {
        const char *text;
        int kind;
        Lines lines;
    } cases[] = {
        {"", -1, {"scripts\\a.txt [0000]", "scripts\\b.txt [0001]", "textures\\t [0002]"}},
        {"B.TXT", -1, {"scripts\\b.txt [0001]"}},  // case ignored
        {"scripts\\*", -1, {"scripts\\a.txt [0000]", "scripts\\b.txt [0001]"}},
        {"*.txt", small, {"scripts\\a.txt [0000]", "scripts\\b.txt [0001]"}},
        {"textures/", -1, {"textures\\t [0002]"}},          // '/' finds '\'
        {"[0001]", -1, {"scripts\\b.txt [0001]"}},          // no '*' or '?': plain text over the line
        {"", KindTexture, {"textures\\t [0002]"}},
        {"0002", small, {}},
        {"nothing", -1, {}},
    };
    for (const auto &c : cases) {
        Session_SetListOrder(session, Pak_SortedLines(session.mainPak));  // every kind unknown again
        session.selectedEntry = 2;
        const SessionChange change = Session_Find(session, c.text, c.kind);
        EXPECT_EQ(change.selectionLeft, Session_ListedLine(session, 2) < 0) << c.text;
        if (c.kind >= 0) {
            EXPECT_TRUE(Listed(session).empty()) << c.text;  // until the kinds are read
            scanAll();
            Session_ApplyFind(session);
        }
        EXPECT_EQ(Listed(session), c.lines) << c.text << " " << c.kind;
    }
}

// Edits show in the list, marked, as a save will leave them, one sequence a
// row; Undo takes a command's edits back together and Redo puts them back.
TEST_F(SessionTest, EditsShowInTheListAsASaveLeavesThem)
{
    const std::string a = "scripts\\a.txt [0000]", b = "scripts\\b.txt [0001]", t = "textures\\t [0002]";
    const Lines opened{a, b, t};
    struct Step {
        EditKind kind;
        int slot;
        const char *name, *text;
        int command;
    };
    using K = EditKind;
    const struct {
        const char *what;
        std::vector<Step> steps;
        Lines lines, marks;  // the listed lines and their marks' words
        int commands;
    } cases[] = {
        {"rename", {{K::Rename, 0, "scripts\\renamed.txt", "", 0}}, {b, "scripts\\renamed.txt [0000]", t},
         {"", "renamed", ""}, 1},
        {"replace", {{K::Replace, 2, "", "text", 0}}, opened, {"", "", "replaced"}, 1},
        {"remove", {{K::Remove, 1, "", "", 0}}, {a, t}, {"", ""}, 1},
        // Two files of one Add Files, the first removed again: the second takes its number.
        {"added and removed",
         {{K::Add, -1, "mods\\one.txt", "1", 7}, {K::Add, -1, "mods\\two.txt", "2", 7}, {K::Remove, 3, "", "", 0}},
         {"mods\\two.txt [0003]", a, b, t}, {"added", "", "", ""}, 2},
        {"rename, add, remove",
         {{K::Rename, 0, "scripts\\renamed.txt", "", 0}, {K::Add, -1, "mods\\new.txt", "new", 0},
          {K::Remove, 1, "", "", 0}},
         {"mods\\new.txt [0003]", "scripts\\renamed.txt [0000]", t}, {"added", "renamed", ""}, 3},
    };
    const auto marks = [&] {
        Lines words;
        for (int slot : session.listedSlots) {
            words.emplace_back(Edits_MarkWord(Edits_Mark(session.edits, slot)));
            if (Edits_Mark(session.edits, slot) == EntryMark::Added) {  // known without reading the disk
                EXPECT_NE(session.entryKinds[static_cast<size_t>(slot)], kSessionKindUnknownYet);
            }
        }
        return words;
    };
    for (const auto &c : cases) {
        for (const Step &step : c.steps)
            Edit(step.kind, step.slot, step.name, step.text, step.command);
        EXPECT_EQ(Listed(session), c.lines) << c.what;
        EXPECT_EQ(marks(), c.marks) << c.what;
        EXPECT_EQ(UndoAll(Session_Undo), c.commands) << c.what;
        EXPECT_EQ(Listed(session), opened) << c.what;
        EXPECT_FALSE(Edits_Pending(session.edits)) << c.what;
        EXPECT_EQ(UndoAll(Session_Redo), c.commands) << c.what;
        EXPECT_EQ(Listed(session), c.lines) << c.what;
        UndoAll(Session_Undo);
    }
}

// In a folder, each archive keeps its edits while another is the open one,
// and shows them again when it comes back.
TEST_F(SessionTest, AFoldersArchivesKeepTheirOwnEdits)
{
    const std::string other = dir / "Other.PAK";
    ASSERT_TRUE(Fixture_WritePak(other, {{{"x.txt", Fixture_FromString("X")}}}));
    session.folderMode = true;
    Edit(EditKind::Rename, 0, "scripts\\renamed.txt");
    const auto open = [&](const std::string &path) {
        PakArchive opened;
        ASSERT_EQ(Pak_OpenArchive(path, opened), PakOpenResult::Ok);
        Session_SwitchArchive(session, std::move(opened));
    };
    open(other);
    EXPECT_FALSE(Edits_Pending(session.edits));
    Edit(EditKind::Replace, 0, "", "Y");
    EXPECT_EQ(Session_EditedArchives(session), (Lines{archive, other}));
    EXPECT_EQ(Session_PrepareSaveOf(session, archive).edited.size(), 1u);

    open(archive);
    EXPECT_EQ(Edits_Mark(session.edits, 0), EntryMark::Renamed);
    EXPECT_STREQ(session.mainPak.entries[0].displayName, "scripts\\renamed.txt [0000]");
    ASSERT_NE(Session_EditsOf(session, other), nullptr);
    EXPECT_EQ(Edits_Mark(*Session_EditsOf(session, other), 0), EntryMark::Replaced);
}

// In a folder the find walks every archive's lines, "ARCHIVE.PAK: line"
// each, and finds the selected line again while it stays listed; kinds not
// read yet leave their lines out until they are read.
TEST_F(SessionTest, AFoldersFindListsTheLinesOfEveryArchive)
{
    ASSERT_TRUE(Fixture_WritePak(dir / "Other.PAK",
                                 {{{"scripts\\x.txt", Fixture_FromString("X")},
                                   {"textures\\y", Fixture_Texture(8, 8, 1, 1, Fixture_PictureColour)}}}));
    std::string error;
    ASSERT_TRUE(ArchiveTree_OpenFolder(dir.path, session.tree, error)) << error;
    session.folderMode = true;
    const Lines textures{"Mod.PAK: textures\\t [0002]", "Other.PAK: textures\\y [0001]"};
    const struct {
        const char *text;
        int kind;
        bool kindsRead;
        Lines lines;
        int keptAt;  // where Other.PAK's texture, selected, is listed
    } cases[] = {
        {"", -1, false, {}, -1},
        {"textures/", -1, false, textures, 1},
        {"*.TXT", -1, false,
         {"Mod.PAK: scripts\\a.txt [0000]", "Mod.PAK: scripts\\b.txt [0001]", "Other.PAK: scripts\\x.txt [0000]"}, -1},
        {"other", -1, false, {}, -1},  // the archive's name is not searched
        {"", KindTexture, false, {}, -1},
        {"", KindTexture, true, textures, 1},
    };
    for (const auto &c : cases) {
        for (TreeArchive &held : session.tree.archives) {
            held.kinds.clear();
            for (size_t i = 0; c.kindsRead && i < held.lines.size(); ++i)
                held.kinds.push_back(held.lines.Line(i).rfind("textures", 0) == 0 ? KindTexture : KindText);
        }
        Session_SetFind(session, c.text, c.kind);
        int keptAt = 0;
        const size_t walked = Session_FindInFolder(session, {1, 1}, keptAt);
        Lines lines;
        for (uint32_t at : session.folderHitAt)
            lines.emplace_back(session.folderHitText.data() + at);
        EXPECT_EQ(lines, c.lines) << c.text << " " << c.kind;
        EXPECT_EQ(keptAt, c.keptAt) << c.text << " " << c.kind;
        EXPECT_EQ(walked, *c.text || c.kind >= 0 ? 5u : 0u) << c.text;
        EXPECT_EQ(session.folderKindsPending, c.kind >= 0 && !c.kindsRead) << c.text;
    }
}

// A save writes what the list shows, into the archive or as a new set, and
// is refused, writing nothing, when the archive changed on disk since it was
// opened, an edit fails, another writer holds the archive's lock, or the save
// was cancelled.
TEST_F(SessionTest, ASaveWritesTheEditsOrIsRefusedWithNothingWritten)
{
    Edit(EditKind::Remove, 0);
    Edit(EditKind::Replace, 2, "", "text now");
    Edit(EditKind::Rename, 1, "scripts\\renamed.txt");
    const SessionSave save = Session_PrepareSave(session, "");
    SessionSave badName = save;  // an edit the writer refuses
    badName.edited.push_back({1, false, false, std::string(65, 'n'), nullptr, "scripts\\b.txt"});
    const std::atomic<bool> go{false}, stop{true};
    const auto quiet = [](size_t, size_t, const std::string &) {};

    enum Before { Nothing, ChangeOnDisk, HoldLock };
    const struct {
        const char *what;
        const SessionSave &save;
        Before before;
        const std::atomic<bool> &cancel;
        std::string error;
    } refusals[] = {
        {"changed", save, ChangeOnDisk, go, "changed on disk"},
        {"failing edit", badName, Nothing, go, "at most 64"},
        {"locked", save, HoldLock, go, PakWrite_LockPath(archive)},  // after the writer's wait
        {"cancelled", save, Nothing, stop, "cancelled"},
    };
    const Bytes opened = Fixture_ReadFile(archive);
    for (const auto &c : refusals) {
        if (c.before == ChangeOnDisk) {
            ASSERT_TRUE(Fixture_WritePak(archive, {{{"x", Bytes{1}}, {"y", Bytes{2}}, {"z", Bytes{3}}}}));
        }
        PakWriter other;
        std::string error;
        if (c.before == HoldLock) {
            ASSERT_TRUE(PakWrite_Open(archive, other, error)) << error;
        }
        const Bytes before = Fixture_ReadFile(archive);
        const SessionSaveOutcome outcome = Session_Save(c.save, quiet, c.cancel);
        EXPECT_FALSE(outcome.saved) << c.what;
        EXPECT_NE(outcome.error.find(c.error), std::string::npos) << outcome.error;
        EXPECT_EQ(Fixture_ReadFile(archive), before) << c.what;
        ASSERT_TRUE(Fixture_WriteFile(archive, opened));
    }

    // Save As first (the archive stays as it was), then Save into the archive.
    for (const std::string &output : {dir / "New.PAK", std::string()}) {
        const SessionSaveOutcome outcome = Session_Save(Session_PrepareSave(session, output), quiet, go);
        ASSERT_TRUE(outcome.saved) << outcome.error;
        EXPECT_EQ(outcome.written, output.empty() ? 3u : 2u) << output;  // the edited entries, or the new set's
        EXPECT_TRUE(output.empty() || Fixture_ReadFile(archive) == opened);
        PakArchive saved;
        ASSERT_EQ(Pak_OpenArchive(output.empty() ? archive : output, saved), PakOpenResult::Ok);
        EXPECT_EQ(Pak_FindEntryByLine(saved, "scripts\\a.txt [0000]"), -1) << output;
        const std::pair<const char *, const char *> kept[] = {{"scripts\\renamed.txt [0001]", "B"},
                                                              {"textures\\t [0002]", "text now"}};
        for (const auto &[line, text] : kept) {
            const int slot = Pak_FindEntryByLine(saved, line);
            ASSERT_GE(slot, 0) << line;
            Bytes bytes;
            ASSERT_EQ(Pak_LoadEntry(saved, saved.entries[static_cast<size_t>(slot)], bytes), PakLoadResult::Ok);
            EXPECT_EQ(bytes, Fixture_FromString(text)) << output << " " << line;
        }
    }
}

}  // namespace
