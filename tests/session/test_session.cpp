// The session alone: its list, find, kind scan, edits and save, read back by
// the archive reader.
#include "session/session.h"
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
    void Edit(EditKind kind, int slot, const std::string &name = "", const std::string &text = "")
    {
        PendingEdit edit;
        edit.kind = kind;
        edit.slot = slot;
        edit.name = name;
        if (!text.empty())
            edit.resource = std::make_shared<const std::vector<uint8_t>>(Fixture_FromString(text));
        Session_ShowEdits(session, Edits_Push(session.edits, session.mainPak, std::move(edit)));
        Session_ApplyFind(session);
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

// Edits show in the list as a save will leave them; Undo and Redo step through them.
TEST_F(SessionTest, EditsShowInTheListAsASaveLeavesThem)
{
    Edit(EditKind::Rename, 0, "scripts\\renamed.txt");
    Edit(EditKind::Add, -1, "mods\\new.txt", "new");
    Edit(EditKind::Remove, 1);
    const Lines edited{"mods\\new.txt [0003]", "scripts\\renamed.txt [0000]", "textures\\t [0002]"};
    EXPECT_EQ(Listed(session), edited);
    EXPECT_EQ(Edits_Mark(session.edits, 3), EntryMark::Added);
    EXPECT_NE(session.entryKinds[3], kSessionKindUnknownYet);  // known without reading the disk

    Session_ShowEdits(session, Session_Undo(session));
    Session_ApplyFind(session);
    EXPECT_EQ(Listed(session), (Lines{"mods\\new.txt [0003]", "scripts\\b.txt [0001]", "scripts\\renamed.txt [0000]",
                                      "textures\\t [0002]"}));
    EXPECT_EQ(Session_Redo(session), -1);  // a Remove done again selects nothing
    Session_ShowEdits(session, -1);
    Session_ApplyFind(session);
    EXPECT_EQ(Listed(session), edited);
    EXPECT_EQ(Session_Redo(session), kSessionNothingDone);
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

// A save writes what the list shows, and is refused, writing nothing, when
// the archive changed on disk since it was opened or the save was cancelled.
TEST_F(SessionTest, ASaveWritesTheEditsOrIsRefusedWithNothingWritten)
{
    Edit(EditKind::Remove, 0);
    Edit(EditKind::Replace, 2, "", "text now");
    const SessionSave save = Session_PrepareSave(session, "");
    const std::atomic<bool> go{false}, stop{true};
    const auto quiet = [](size_t, size_t, const std::string &) {};

    const struct {
        const char *what;
        bool changeOnDisk;
        const std::atomic<bool> &cancel;
        const char *error;
    } refusals[] = {
        {"changed", true, go, "changed on disk"},
        {"cancelled", false, stop, "cancelled"},
    };
    const Bytes opened = Fixture_ReadFile(archive);
    for (const auto &c : refusals) {
        if (c.changeOnDisk)
            ASSERT_TRUE(Fixture_WritePak(archive, {{{"x", Bytes{1}}, {"y", Bytes{2}}, {"z", Bytes{3}}}}));
        const Bytes before = Fixture_ReadFile(archive);
        const SessionSaveOutcome outcome = Session_Save(save, quiet, c.cancel);
        EXPECT_FALSE(outcome.saved) << c.what;
        EXPECT_NE(outcome.error.find(c.error), std::string::npos) << outcome.error;
        EXPECT_EQ(Fixture_ReadFile(archive), before) << c.what;
        ASSERT_TRUE(Fixture_WriteFile(archive, opened));
    }

    const SessionSaveOutcome outcome = Session_Save(save, quiet, go);
    ASSERT_TRUE(outcome.saved) << outcome.error;
    EXPECT_EQ(outcome.written, 2u);
    PakArchive saved;
    ASSERT_EQ(Pak_OpenArchive(archive, saved), PakOpenResult::Ok);
    EXPECT_EQ(Pak_FindEntryByLine(saved, "scripts\\a.txt [0000]"), -1);
    Bytes bytes;
    ASSERT_EQ(Pak_LoadEntry(saved, saved.entries[2], bytes), PakLoadResult::Ok);
    EXPECT_EQ(bytes, Fixture_FromString("text now"));
}

}  // namespace
