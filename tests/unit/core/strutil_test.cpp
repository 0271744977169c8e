#include <gtest/gtest.h>

#include "core/strutil.h"

TEST(ExtractUrlExtension, Cases)
{
    struct Case {
        const char* url;
        const char* ext;
    } cases[] = {
        {"http://host/dir/", ""},
        {"http://host/file.zip", "zip"},
        {"http://host/a.b/file", "b/file"},    // the last dot wins, slashes included
        {"http://host.zip/dir/file", "zip/dir/file"},
        {"news:group", ""},
        {"", ""},
        {"http://host/archive.tar.gz", "gz"},
        {"http://host/file.", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ExtractUrlExtension(c.url), c.ext) << c.url;
}

TEST(PosOfSecond, Cases)
{
    struct Case {
        const char* sub;
        const char* text;
        int pos;
    } cases[] = {
        {"/", "http://host/", 7},
        {"ab", "abab", 3},
        {"ab", "xxab", 0},
        {"ab", "", 0},
        {"http://", "http://gate/?u=http://site/", 16},
        {"aa", "aaa", 0},   // occurrences do not overlap
        {"aa", "aaaa", 3},
    };
    for (const auto& c : cases) EXPECT_EQ(PosOfSecond(c.sub, c.text), c.pos) << c.sub << " in " << c.text;
}

TEST(StrToIntDef, DecimalHexAndJunk)
{
    struct Case {
        const char* text;
        long long value;
    } cases[] = {
        {"60", 60}, {"0x1F", 31}, {"0X10", 16}, {"-3", -3}, {"abc", -1}, {"", -1}, {"12abc", -1}, {"0x", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(StrToIntDef(c.text, -1), c.value) << c.text;
}

TEST(Trim, DropsBlanksAndControlCharacters)
{
    EXPECT_EQ(Trim(" \t www.host/ \r\n"), "www.host/");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim("a b"), "a b");
}

TEST(ReplaceAll, EveryMarkerOnceEvenWhenTheReplacementHoldsIt)
{
    const std::string fe = "\xFE";
    struct Case {
        std::string text, replacement, out;
    } cases[] = {
        {"get " + fe + "\r\n" + fe, "http://h/", "get http://h/\r\nhttp://h/"},
        {fe + fe, fe + "x", fe + "x" + fe + "x"},   // must end, not loop
        {"no marker", "x", "no marker"},
        {fe, "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ReplaceAll(c.text, fe, c.replacement), c.out);
}
