#include <gtest/gtest.h>

#include <random>

#include "mail/codecerror.h"
#include "mail/uucode.h"

namespace {

std::string RandomBytes(size_t size, unsigned seed)
{
    std::mt19937 engine(seed);
    std::string s(size, '\0');
    for (char& c : s) c = static_cast<char>(engine() & 0xFF);
    return s;
}

} // namespace

TEST(UUEncode, KnownLines)
{
    struct Case {
        std::string data, line;
    } cases[] = {
        {"Cat", "#0V%T`"},            // 3 bytes: 3 * 4 / 3 + 1 = 5 characters
        {"C", "!0P"},                 // 1 byte: 2 characters
        {"Ca", "\"0V$"},              // 2 bytes: 3 characters
        {std::string(3, '\0'), "#`````"}, // zero is the back-quote, never a blank
        {"\xff\xff\xff", "#____`"},
    };
    for (const auto& c : cases) EXPECT_EQ(UUEncodeLine(c.data), c.line) << c.line;
}

TEST(UUEncode, LineLengthFollowsTheByteCount)
{
    struct Case {
        size_t bytes;
        size_t dataChars;
        char count;
    } cases[] = {{1, 2, '!'}, {2, 3, '"'}, {3, 5, '#'}, {4, 6, '$'}, {14, 19, '.'}, {44, 59, 'L'}, {45, 60, 'M'}};
    for (const auto& c : cases) {
        std::string line = UUEncodeLine(RandomBytes(c.bytes, 7));
        EXPECT_EQ(line.size(), 1 + c.dataChars) << c.bytes;
        EXPECT_EQ(line[0], c.count) << c.bytes;
        EXPECT_EQ(line.find(' '), std::string::npos) << c.bytes;
    }
}

TEST(UUEncode, LinesOf45BytesWithCrLf)
{
    std::string data = RandomBytes(100, 3);
    std::string out;
    UUEncodeLines(data, out);
    std::string expected = UUEncodeLine(data.substr(0, 45)) + "\r\n" + UUEncodeLine(data.substr(45, 45)) + "\r\n" +
                           UUEncodeLine(data.substr(90)) + "\r\n";
    EXPECT_EQ(out, expected);
    out.clear();
    UUEncodeLines("", out);
    EXPECT_EQ(out, "");
}

TEST(UUDecode, RoundTripOfEveryLineSize)
{
    for (size_t size = 1; size <= 45; ++size) {
        for (unsigned seed = 0; seed < 5; ++seed) {
            std::string data = RandomBytes(size, seed * 100 + static_cast<unsigned>(size));
            ASSERT_EQ(UUDecodeLine(UUEncodeLine(data)), data) << size;
        }
    }
}

TEST(UUDecode, ReadingLinesFromOtherEncoders)
{
    struct Case {
        std::string line, data;
    } cases[] = {
        {"#0V%T", "Cat"},                      // the usual four characters a group
        {"#0V%T   ", "Cat"},                   // trailing blanks are zero values
        {"#0V", std::string("C`\0", 3)},       // cut short: the rest is zero bits
        {"``", ""},                            // a count of zero
        {"", ""},
        {"M" + std::string(60, '`') + "XYZ", std::string(45, '\0')}, // a full line: extra characters unread
    };
    for (const auto& c : cases) EXPECT_EQ(UUDecodeLine(c.line), c.data) << c.line;
}

TEST(UUDecode, CharactersOutsideTheRangeAreRefused)
{
    for (std::string bad : {"#0v%T", "#0V%T\r", "a0V%T", "#0V%\x7f", "#0V%\x1f"}) {
        try {
            UUDecodeLine(bad);
            ADD_FAILURE() << bad;
        } catch (const ECodecError& e) {
            EXPECT_STREQ(e.what(), "Invalid Character");
        }
    }
}
