// Classification by leading bytes, the text view's text, the dependency listing and the info line.
#include "resource/resource_kind.h"
#include "model_fixtures.h"
#include "test_data.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

static std::span<const uint8_t> Span(const std::string &s)
{
    return {reinterpret_cast<const uint8_t *>(s.data()), s.size()};
}

TEST(ResourceKind, ClassifiesByLeadingBytes)
{
    const std::string material = kMaterialHead.substr(0, kMaterialHead.size() - 1), xml = "<?xml version=";
    const std::string eiff = "EIFF\1\0\0\0\0\0\0\0\0\0\0\0"s;  // 16 bytes
    const std::pair<std::string, ResourceKind> rows[] = {
        {"", KindUnknown}, {"ab", KindUnknown}, {"abc", KindText}, {"\0\0\0"s, KindText}, {"SYT", KindText},
        {"SYT\xff", KindTexture}, {"syt1", KindText}, {material, KindText}, {material + "\n", KindMaterial},
        {xml, KindText}, {xml + "\"", KindXml}, {"\xEF\xBB\xBF" + xml + "\"1.0\"?>", KindXml},
        {"\xEF\xBB\xBF<?xml version", KindUnknown},  // the declaration cut short: the mark's high bytes decide
        {"\t\t\t" + xml, KindXml}, {"    " + xml, KindText}, {"<!--", KindXml}, {"<!-", KindText}, {"OggS", KindText},
        {"OggS\0"s, KindOggVorbis}, {eiff + "MODL", KindText},  // 20 bytes are not examined
        {eiff + "MODL\xff", KindModel}, {eiff + "PTMC\xff", KindEffectMedia}, {eiff + "modl\xff", KindUnknownMedia},
        {"\x57\xE0\xE0\x57", KindUnknown}, {"\x57\xE0\xE0\x57\0"s, KindCharacterData}, {"ab\xff", KindText},
        {"abcd\xff\xff\xff\xff", KindText}, {"abc\xff\xff\xff\xff\xff", KindUnknown}};
    for (const auto &[bytes, kind] : rows)
        EXPECT_EQ(ClassifyResource(Span(bytes)), kind) << '"' << bytes << '"';
    EXPECT_EQ(ClassifyResource(nullptr, 100), KindUnknown);
}

// The text view puts CR before every LF up to the first NUL.
TEST(ResourceKind, TextViewTextAndInfoLine)
{
    const std::pair<std::string, std::string> rows[] = {{"a\nb", "a\r\nb"}, {"a\r\nb\n", "a\r\r\nb\r\n"},
                                                        {"\n\n", "\r\n\r\n"}, {"ab\0cd\n"s, "ab"},
                                                        {"\0x"s, ""},         {"caf\xe9\r", "caf\xe9\r"}};
    for (const auto &[in, out] : rows)
        for (ResourceKind kind : {KindText, KindXml, KindMaterial})
            EXPECT_EQ(BuildResourceText(kind, Span(in)), out);
    EXPECT_EQ(FormatResourceInfo(KindXml, 5242), "Resource: XML (events, scripts, etc.) (0.00MB)");
    EXPECT_EQ(FormatResourceInfo(KindCharacterData, 5243), "Resource: Character Data/Animation (0.01MB)");
}

TEST(ResourceKind, DependencyListing)
{
    const size_t count = 64 + 48, first = 64 + 52;  // where the fixture puts them
    const std::tuple<std::vector<std::string>, void (*)(Bytes &), std::string> rows[] = {
        {{"tex/a.dds", "", "b"}, [](Bytes &) {}, "tex/a.dds\r\nb\r\n"},
        {{"ab\0cd"s, "e"}, [](Bytes &) {}, "ab\r\ne\r\n"},
        {{"one", "two"}, [](Bytes &b) { b.pop_back(); }, "one\r\n"},
        {{"one", "two"}, [](Bytes &b) { Fixture_PutU32(b, count, ~0u); }, "one\r\ntwo\r\n"},
        {{"one", "two"}, [](Bytes &b) { Fixture_PutU32(b, first + 2, ~0u); }, ""},  // L = -1
        {{"one"}, [](Bytes &b) { Fixture_PutU32(b, first + 2, 0x7FFFFFFF); }, ""},
        {{"one"}, [](Bytes &b) { Fixture_PutU32(b, 28, 0xFFFFFFF0u); }, ""},
        {{"one"}, [](Bytes &b) { b.resize(31); }, ""}};
    for (const auto &[names, edit, text] : rows) {
        Bytes bytes = Fixture_EffectContainer(names);
        edit(bytes);
        EXPECT_EQ(BuildDependencyListing(bytes), "Dependencies:\r\n" + text);
    }
    // 15 + 545 x 120 bytes of lines; the next line of 121 would leave no room for the NUL
    // of a 65,536-byte listing, so the listing ends before it.
    std::vector<std::string> many(545, std::string(118, 'n'));
    many.insert(many.end(), {std::string(119, 'm'), "x"});
    const std::string listing = BuildDependencyListing(Fixture_EffectContainer(many));
    EXPECT_EQ(listing.size(), 15u + 545 * 120);
    EXPECT_EQ(listing.substr(listing.size() - 3), "n\r\n");
}
