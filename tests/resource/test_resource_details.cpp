// The status bar's details (sound lengths against ogginfo) and the hex view's lines.
#include "cli_run.h"
#include "fixtures.h"
#include "host.h"
#include "ogg_fixtures.h"
#include "pak/pak.h"
#include "resource/resource_details.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

TEST(ResourceDetails, DescribeTheSampleEntries)
{
    TempDir dir;
    ASSERT_EQ(RunProgram(QUILLON_MAKE_SAMPLES, {dir / "s"}, dir).status, 0);
    PakArchive archive;
    ASSERT_EQ(Pak_OpenArchive(dir / "s/GLOBAL.PAK", archive), PakOpenResult::Ok);
    const std::pair<const char *, const char *> cases[] = {
        {"docs\\readme.txt [0000]", "1,849 bytes in GLOBAL.PAK"},
        {"textures\\env\\stone_wall_d [0001]", "43,832 bytes in GLOBAL_00.PAK; 256 x 256 DXT1, 9 mip levels"},
        {"textures\\ui\\compass [0004]", "11,088 bytes in GLOBAL_01.PAK, compressed (317 stored); 128 x 64 DXT5, 8 mip levels"},
        {"sounds\\ui\\chime.ogg [0016]", "7,347 bytes in GLOBAL.PAK; 44,100 Hz, 1 channel, 0.80 s"},
        {"sounds\\ui\\confirm.ogg [0017]", "5,904 bytes in GLOBAL_00.PAK; 22,050 Hz, 2 channels, 0.60 s"},
        {"sounds\\music\\chapel_bells.ogg [0020]",
         "27,294 bytes in GLOBAL_00.PAK, compressed (23,479 stored); 44,100 Hz, 2 channels, 3.50 s"},
        {"models\\env\\colonnade [0031]", "32,644 bytes in GLOBAL_00.PAK; 30 surfaces, 720 vertices, 360 triangles"},
    };
    std::vector<uint8_t> bytes;
    for (const auto &[line, details] : cases) {
        const int slot = Pak_FindEntryByLine(archive, line);
        ASSERT_GE(slot, 0) << line;
        bool compressed = false;
        ASSERT_EQ(Pak_LoadEntry(archive, archive.entries[slot], bytes, &compressed), PakLoadResult::Ok);
        const ResourceDetails d = Resource_Describe(archive, archive.entries[slot], bytes, compressed);
        // libvorbis' output hangs on the C library's floating point: the sample
        // maker's stereo sounds come out a few bytes apart on Windows, so there
        // only their sound details are compared.
        const std::string text = Resource_FormatDetails(d);
        if (kOnWindows && d.hasSound)
            EXPECT_EQ(text.substr(text.find(';')), strchr(details, ';')) << line;
        else
            EXPECT_EQ(text, details) << line;

        // ogginfo, which we did not write, reads the same length.
        if (d.hasSound && !kOnWindows && access("/usr/bin/ogginfo", X_OK) == 0) {
            ASSERT_TRUE(Fixture_WriteFile(dir / "sound.ogg", bytes));
            const CliResult info = RunProgram("/usr/bin/ogginfo", {dir / "sound.ogg"}, dir);
            const size_t at = info.out.find("Playback length: ");
            ASSERT_NE(at, std::string::npos) << info.out;
            int minutes = 0;
            double seconds = 0;
            ASSERT_EQ(sscanf(info.out.c_str() + at, "Playback length: %dm:%lfs", &minutes, &seconds), 2);
            EXPECT_NEAR(static_cast<double>(d.samples) / d.rate, minutes * 60 + seconds, 0.0015) << line;
        }
        // Cut short anywhere, a resource only loses details.
        for (size_t length : {size_t(0), size_t(3), size_t(127), size_t(200), bytes.size() / 2, bytes.size() - 1})
            Resource_Describe(archive, archive.entries[slot], std::span(bytes).first(length), compressed);
    }
}

TEST(ResourceDetails, DamagedResourcesHaveFewerDetails)
{
    PakArchive archive;
    archive.path = "/x/A.PAK";
    PakEntry entry{};
    entry.part = -1;
    entry.size = 1;
    Bytes ogg = Fixture_OggVorbis(OggFixtureSound{1, 8000, 0.5});
    Bytes noTail(ogg.begin(), ogg.end() - 30);                    // the last page cut
    Bytes noHeaders(ogg.begin(), ogg.begin() + 60);               // stops inside the headers
    Bytes badTail = ogg;
    badTail[badTail.size() - 10] ^= 0xFF;                          // the last page's checksum fails
    const Bytes model = Fixture_FromString("EIFF" + std::string(12, '\0') + "MODL" + std::string(44, '\0'));
    const std::pair<Bytes, const char *> cases[] = {
        {ogg, "; 8,000 Hz, 1 channel, 0.50 s"},
        {noTail, "; 8,000 Hz, 1 channel"},  // no length without a whole last page
        {badTail, "; 8,000 Hz, 1 channel"},
        {noHeaders, ""},
        {Fixture_FromString("SYT short"), ""},
        {model, ""},
    };
    for (const auto &[bytes, tail] : cases) {
        const std::string line = Resource_FormatDetails(Resource_Describe(archive, entry, bytes, false));
        EXPECT_EQ(line.substr(line.find(' ')), std::string(" bytes in A.PAK") + tail) << line;
    }
}

TEST(ResourceDetails, HexLines)
{
    Bytes bytes = Fixture_FromString("SYT\x01 hello, world\x7f\x80 and more");
    const std::pair<uint64_t, const char *> cases[] = {
        {0, "00000000  53 59 54 01 20 68 65 6c  6c 6f 2c 20 77 6f 72 6c  SYT. hello, worl"},
        {1, "00000010  64 7f 80 20 61 6e 64 20  6d 6f 72 65              d.. and more"},
        {2, ""},
    };
    char text[kHexLineChars + 1];
    for (const auto &[line, expected] : cases) {
        EXPECT_EQ(Resource_HexLine(bytes, line, text), strlen(expected)) << line;
        EXPECT_STREQ(text, expected) << line;
    }
    EXPECT_EQ(Resource_HexLineCount(bytes.size()), 2u);
    EXPECT_EQ(Resource_HexLineCount(0), 0u);
}

}  // namespace
