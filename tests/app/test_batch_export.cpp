// Export > "Export All...": the export jobs through the handler, with the
// window's folder choice and progress replaced; a Cancel partway.
#include "app/main_dialog.h"
#include "cli_run.h"
#include "fake_window.h"

#include <gtest/gtest.h>

namespace {

class BatchWindow : public FakeWindow {
public:
    bool AskBatchExport(const std::vector<std::string> &, BatchExportRequest &r) override
    {
        r = request;
        return true;
    }
    // Runs the job as the progress dialog does, pressing Cancel once
    // `cancelAfter` entries were reported.
    void RunJob(const WindowJob &job) override
    {
        std::atomic<bool> cancel{false};
        job([&](const JobProgress &p) {
            progress.push_back(p);
            if (p.done == cancelAfter)
                cancel = true;
        }, cancel);
    }
    BatchExportRequest request;
    size_t cancelAfter = 0;
    std::vector<JobProgress> progress;
};

TEST(BatchExport, CancelPartwayKeepsWholeFilesAndWritesNoMore)
{
    ViewerState_Reset();
    TempDir dir;
    FixtureArchive archive;
    for (int i = 0; i < 40; ++i)
        archive.entries.push_back({"folder\\entry" + std::to_string(i) + ".txt",
                                   i % 2 ? Fixture_LzoBlock(Bytes(50000, static_cast<uint8_t>('a' + i % 26)))
                                         : Fixture_FromString(std::string(30000 + i, 'x'))});
    ASSERT_TRUE(Fixture_WritePak(dir / "BATCH.PAK", archive));
    BatchWindow window;
    InitMainDialog(window);
    ASSERT_FALSE(window.IsMenuItemEnabled(CmdExportAll));
    window.Open(dir / "BATCH.PAK");
    ASSERT_TRUE(window.IsMenuItemEnabled(CmdExportAll));

    window.request = {dir / "out", 0, false};
    window.cancelAfter = 5;
    OnCommand(window, CmdExportAll);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].rfind("Cancelled after 5 of 40 entries.\n5 written", 0), 0u) << window.messages[0];
    ASSERT_GE(window.progress.size(), 5u);
    EXPECT_EQ(window.progress[0].total, 40u);
    EXPECT_EQ(window.progress[4].current, "folder\\entry4.txt [0004]");
    // Exactly the first five, each complete; no temporary file is left.
    std::set<std::string> expected;
    for (int i = 0; i < 5; ++i) {
        expected.insert("folder/entry" + std::to_string(i) + ".txt");
        const Bytes want = i % 2 ? Bytes(50000, static_cast<uint8_t>('a' + i % 26))
                                 : Fixture_FromString(std::string(30000 + i, 'x'));
        EXPECT_EQ(Fixture_ReadFile(dir / ("out/folder/entry" + std::to_string(i) + ".txt")), want) << i;
    }
    EXPECT_EQ(FilesUnder(dir / "out"), expected);

    // Again without Cancel: the five are kept (no Overwrite), the rest written.
    window.cancelAfter = 0;
    window.messages.clear();
    OnCommand(window, CmdExportListed);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].rfind("35 written", 0), 0u) << window.messages[0];
    EXPECT_NE(window.messages[0].find("5 skipped"), std::string::npos);
    EXPECT_EQ(FilesUnder(dir / "out").size(), 40u);
    ShutdownViewer(window);
    ViewerState_Reset();
}

}  // namespace
