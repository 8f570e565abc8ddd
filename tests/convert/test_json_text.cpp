// Archive names as JSON strings, read by Python's json module (which refuses
// text that is not UTF-8): each name's code points.
#include "temp_dir.h"
#include "export/json_text.h"
#include "fixtures.h"
#include "readers.h"

#include <gtest/gtest.h>

TEST(JsonText, AnyBytesGiveAStringPythonReads)
{
    // bytes, code points Python reads
    const std::pair<std::string, const char *> rows[] = {
        {"caf\xe9", "63 61 66 e9"},                  // Latin-1
        {"caf\xc3\xa9", "63 61 66 e9"},              // UTF-8
        {"\xe2\x82\xac \xf0\x9f\x98\x80", "20ac 20 1f600"},
        {"\xed\xa0\x80", "ed a0 80"},                // a surrogate is no UTF-8
        {"\xc0\xaf", "c0 af"},                       // nor is an overlong form
        {"\xe2\x82", "e2 82"},                       // nor a cut sequence
        {"\xf4\x90\x80\x80", "f4 90 80 80"},         // nor past U+10FFFF
        {"\x80\xff", "80 ff"},
        {std::string("a\"b\\c\n\x01\x7f\0", 9), "61 22 62 5c 63 a 1 7f 0"},
    };
    std::string document = "[", expected;
    for (const auto &[bytes, points] : rows) {
        document += (document.size() > 1 ? "," : "") + Json_Quote(bytes);
        expected += std::string(points) + "\n";
    }
    TempDir dir;
    ASSERT_TRUE(Fixture_WriteFile(dir / "names.json", Fixture_FromString(document + "]")));

    int status;
    const std::string out = Output("/usr/bin/python3 -c \"import json, sys\n"
                                   "for s in json.load(open(sys.argv[1], encoding='utf-8')): "
                                   "print(' '.join('%x' % ord(c) for c in s))\" " +
                                       Quoted(dir / "names.json"),
                                   &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(out, expected);
}
