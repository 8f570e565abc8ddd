// Export > "As &PNG...", "As gl&TF...", "As OBJ with &materials...", "As &WAV...":
// each offered for its kind only, through the recording fake window.
#include "temp_dir.h"
#include "app/main_dialog.h"
#include "fake_window.h"
#include "fixtures.h"
#include "../convert/readers.h"

#include <gtest/gtest.h>

namespace {

std::string FormsOffered(const FakeWindow &window)
{
    std::string words;
    for (auto [command, word] : {std::pair{CmdExportPng, "png "}, {CmdExportGltf, "gltf "},
                                 {CmdExportObjMtl, "obj "}, {CmdExportWav, "wav "}})
        words += window.Enabled(command) ? word : "";
    return words;
}

}  // namespace

TEST(FormExports, EachItemIsOfferedForItsKindAndThePngReads)
{
    ViewerState_Reset();
    FakeWindow window;
    TempDir dir;
    InitMainDialog(window);
    EXPECT_EQ(FormsOffered(window), "");
    ASSERT_TRUE(Fixture_WritePak(dir / "A.PAK", {{{"tex", Fixture_Texture(8, 8, 1, 1, Fixture_PictureColour)},
                                                  {"note", Fixture_FromString("plain words")}}}));
    window.Open(dir / "A.PAK");
    const std::pair<const char *, const char *> rows[] = {{"tex [0000]", "png "}, {"note [0001]", ""}};
    for (auto [line, offered] : rows) {
        window.Click(line);
        EXPECT_EQ(FormsOffered(window), offered) << line;
    }
    window.Click("tex [0000]");
    window.answers.push_back(dir / "out.png");
    OnCommand(window, CmdExportPng);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(window.dialogs.back().filter, "PNG Image (*.png)|*.png;*.[pP][nN][gG]|All Files (*.*)|*");
    if (Installed(kPillow)) {
        int status;
        const std::string size = Output("/usr/bin/python3 -c 'import sys, PIL.Image as I; print(I.open(sys.argv[1]).size)' " +
                                            Quoted(dir / "out.png"),
                                        &status);
        EXPECT_EQ(size, "(8, 8)\n");
    }
    ViewerState_Reset();
}
