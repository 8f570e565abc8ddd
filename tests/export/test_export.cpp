// Byte-for-byte and .dds exports and the Binary-Text Dump.
#include "temp_dir.h"
#include "export/export.h"
#include "test_data.h"

#include <cstring>
#include <gtest/gtest.h>
#include <numeric>

using namespace std::string_literals;
using Writer = std::function<ExportResult(FILE *)>;

namespace {

// What a writer leaves in a file, through the same open, flush and close checks as a real export.
std::string Written(const Writer &write, ExportResult expected = ExportResult::Ok)
{
    TempDir dir;
    EXPECT_EQ(Export_ToPath(dir / "out", "wb", write), expected);
    return ReadText(dir / "out");
}

std::string Dump(const Bytes &bytes, int32_t format, bool hex = true, bool big = false, const char *offset = "0")
{
    const DumpOptions options{format, big, hex, Dump_ParseOffsetText(offset)};
    return Written(
        [&](FILE *f) { return Export_WriteDump(f, bytes, options) ? ExportResult::Ok : ExportResult::WriteFailed; });
}

const Bytes kTwenty = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};

}  // namespace

// Material, XML, text and sound go out byte for byte; kinds without a form write nothing.
TEST(Export, ByteForByteKindsAndKindsWithoutAForm)
{
    std::string all(256 * 3, '\0');
    std::iota(all.begin(), all.end(), 0);
    const Bytes bytes(all.begin(), all.end());
    for (ResourceKind kind : {KindMaterial, KindXml, KindText, KindOggVorbis})
        EXPECT_EQ(Written([&](FILE *f) { return Export_WriteInterpreted(f, kind, bytes); }), all);
    for (ResourceKind kind : {KindUnknown, KindEffectMedia, KindUnknownMedia, KindCharacterData})
        EXPECT_EQ(Written([&](FILE *f) { return Export_WriteInterpreted(f, kind, bytes); }, ExportResult::NotOffered),
                  "");
}

// A failed open and a failed write (caught at the latest by the close); a
// texture without its whole header has no .dds form and leaves nothing.
// (Pillow and ImageMagick read the .dds files themselves in tests/convert.)
TEST(Export, FailuresAndShortTextures)
{
    const auto raw = [](FILE *f) { return Export_WriteRaw(f, kTwenty) ? ExportResult::Ok : ExportResult::WriteFailed; };
    EXPECT_EQ(Export_ToPath("/dev/full", "wb", raw), ExportResult::WriteFailed);
    EXPECT_EQ(Export_ToPath("/no/such/folder/out", "wb", raw), ExportResult::CannotOpen);
    const Bytes texture = Fixture_Texture(4, 4, 1, 1, BlockShade);
    EXPECT_EQ(Written([&](FILE *f) { return Export_WriteDds(f, {texture.data(), 128}); }).size(), 128u);
    EXPECT_EQ(Written([&](FILE *f) { return Export_WriteDds(f, {texture.data(), 127}); }, ExportResult::TooShort), "");
}

TEST(Export, DumpLinesAndValues)
{
    EXPECT_EQ(Dump(kTwenty, DumpUnsignedByte),
              "00000000: 00, 01, 02, 03, 04, 05, 06, 07, 08, 09, 0a, 0b, 0c, 0d, 0e, 0f,\n00000016: 10, 11, 12, 13");
    EXPECT_EQ(Dump(kTwenty, DumpShort, false),
              "00000000: 256, 770, 1284, 1798, 2312, 2826, 3340, 3854,\n00000016: 4368, 4882");
    EXPECT_EQ(Dump(kTwenty, DumpUnsignedInt, true, true), "00000000: 00010203, 04050607, 08090a0b, 0c0d0e0f, 10111213");
    const float f[] = {1.5f, -2.0f, 1e10f};
    const double d[] = {-2.25, 1e300};
    Bytes floats(sizeof f), doubles(sizeof d);
    memcpy(floats.data(), f, sizeof f);
    memcpy(doubles.data(), d, sizeof d);
    EXPECT_EQ(Dump(floats, DumpFloat), "00000000: 1.500000,\n00000004: -2.000000,\n00000008: 10000000000.000000");
    const std::string dd = Dump(doubles, DumpDouble, false);  // the longest "%f" text fits
    EXPECT_EQ(dd.substr(0, 32), "00000000: -2.250000,\n00000008: 1");
    EXPECT_EQ(dd.size(), 31u + 301 + 7);

    // bytes, format, hexadecimal, big-endian, value ("" for an empty file)
    const std::tuple<Bytes, int32_t, bool, bool, const char *> rows[] = {
        {{0, 0, 1}, DumpInt, false, false, ""},          {{0xFB}, DumpByte, false, true, "-05"},
        {{0x05}, DumpByte, false, false, "005"},         {{0x80}, DumpUnsignedByte, false, false, "128"},
        {{0, 0x80}, DumpShort, true, false, "ffff8000"}, {{0x80, 0}, DumpShort, true, true, "ffff8000"},
        {{0, 0x80}, DumpShort, false, false, "-32768"},  {{0, 0x80}, DumpUnsignedShort, true, false, "8000"},
        {{0xFF, 0xFF}, DumpUnsignedShort, false, false, "65535"}, {Bytes(4, 0xFF), DumpInt, true, false, "ffffffff"},
        {Bytes(4, 0xFF), DumpInt, false, false, "-1"}, {Bytes(4, 0xFF), DumpUnsignedInt, false, false, "4294967295"},
        {{0x3F, 0xC0, 0, 0}, DumpFloat, true, true, "1.500000"},  // "&Hexadecimal" changes nothing
        {{0, 0, 0, 0, 0, 0, 0x02, 0xC0}, DumpDouble, true, false, "-2.250000"}};
    for (const auto &[bytes, format, hex, big, value] : rows)
        EXPECT_EQ(Dump(bytes, format, hex, big), *value ? "00000000: "s + value : "") << value;
}

// The offset box's text: leading blanks, a sign, digits up to the first non-digit; it saturates.
TEST(Export, DumpStartOffset)
{
    for (auto [text, value] : {std::pair<const char *, int64_t>{"12abc", 12}, {"  -3", -3}, {"", 0}, {"abc", 0},
                               {"+7", 7}, {"-", 0}, {" \t5", 5}, {"99999999999999999999999", INT64_MAX},
                               {"-99999999999999999999999", -INT64_MAX}})
        EXPECT_EQ(Dump_ParseOffsetText(text), value) << text;
    EXPECT_EQ(Dump(kTwenty, DumpInt, true, false, "16"), "00000016: 13121110");
    EXPECT_EQ(Dump(kTwenty, DumpInt, true, false, "17"), "");
    for (const char *start : {"  -3", "-99999999999999999999999"})  // a negative start is the first byte
        EXPECT_EQ(Dump(kTwenty, DumpUnsignedByte, true, false, start), Dump(kTwenty, DumpUnsignedByte));
    for (const char *past : {"20", "4294967296", "99999999999999999999999"})
        EXPECT_EQ(Dump(kTwenty, DumpUnsignedByte, true, false, past), "") << past;
    EXPECT_EQ(Dump({}, DumpDouble), "");
}
