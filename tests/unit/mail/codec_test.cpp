#include <gtest/gtest.h>

#include <random>

#include "mail/base64.h"
#include "mail/codecerror.h"
#include "mail/qpcode.h"
#include "mail/uucode.h"

namespace {

std::string RandomBytes(size_t size, unsigned seed)
{
    std::mt19937 engine(seed);
    std::string s(size, '\0');
    for (char& c : s) c = static_cast<char>(engine() & 0xFF);
    return s;
}

template <class F> void ExpectInvalidCharacter(F decode, std::initializer_list<std::string> lines)
{
    for (const std::string& line : lines) {
        try {
            decode(line);
            ADD_FAILURE() << line;
        } catch (const ECodecError& e) {
            EXPECT_STREQ(e.what(), "Invalid Character");
        }
    }
}

// Reads quoted-printable lines back the way RFC 2045 says a reader must.
std::string QPDecode(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& line : lines) {
        bool soft = !line.empty() && line.back() == '=';
        for (size_t i = 0; i < line.size() - soft; ++i) {
            if (line[i] != '=') {
                out += line[i];
                continue;
            }
            out += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
        if (!soft) out += "\r\n";
    }
    return out;
}

} // namespace

TEST(Base64, KnownVectorsAndRoundTrips)
{
    std::pair<std::string, std::string> cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"foobar", "Zm9vYmFy"},
        {std::string("\0\xff\xfe\x80", 4), "AP/+gA=="}, {"\xfb\xff", "+/8="}};
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(Base64Encode(plain), encoded);
        EXPECT_EQ(Base64DecodeLine(encoded), plain) << encoded;
    }
    // Mail lines: 57 bytes to 76 characters, the rest on a last line.
    for (size_t size = 0; size <= 3 * 57 + 2; ++size) {
        std::string data = RandomBytes(size, static_cast<unsigned>(size)), lines;
        Base64EncodeLines(data, lines);
        size_t full = size / 57, rest = size % 57;
        ASSERT_EQ(lines.size(), full * 78 + (rest ? (rest + 2) / 3 * 4 + 2 : 0)) << size;
        for (size_t i = 0; i < full; ++i) ASSERT_EQ(lines.substr(i * 78 + 76, 2), "\r\n") << size;
        ASSERT_EQ(Base64Decode(lines), data) << size;
    }
}

TEST(Base64, DecodingOneLine)
{
    std::pair<std::string, std::string> cases[] = {
        {"QQ", "A"}, {"QUI", "AB"}, {"QQ==", "A"}, {"QU=I", "A@\x08"}, // an inner "=" is a zero, not an end
    };
    for (const auto& [line, plain] : cases) EXPECT_EQ(Base64DecodeLine(line), plain) << line;
    EXPECT_EQ(Base64Decode("Zm9v\r\nYmFy\nYg==\r"), "foobarb");
    ExpectInvalidCharacter(Base64DecodeLine, {"Zm9v!", "Zm 9v", "Zm9v\r", "Zm-_", "\x80QQ"});
}

TEST(UUCode, LinesAndTheirLengths)
{
    std::pair<std::string, std::string> cases[] = {
        {"Cat", "#0V%T`"}, // 3 bytes: 3 * 4 / 3 + 1 = 5 characters
        {"C", "!0P"},
        {"Ca", "\"0V$"},
        {std::string(3, '\0'), "#`````"}, // zero is the back-quote, never a blank
        {"\xff\xff\xff", "#____`"},
    };
    for (const auto& [data, line] : cases) EXPECT_EQ(UUEncodeLine(data), line);
    std::pair<size_t, size_t> lengths[] = {{4, 6}, {14, 19}, {44, 59}, {45, 60}};
    for (const auto& [bytes, chars] : lengths) {
        std::string line = UUEncodeLine(RandomBytes(bytes, 7));
        EXPECT_EQ(line.size(), 1 + chars) << bytes;
        EXPECT_EQ(line[0], static_cast<char>(32 + bytes));
    }
    std::string data = RandomBytes(100, 3), out;
    UUEncodeLines(data, out);
    EXPECT_EQ(out, UUEncodeLine(data.substr(0, 45)) + "\r\n" + UUEncodeLine(data.substr(45, 45)) + "\r\n" +
                       UUEncodeLine(data.substr(90)) + "\r\n");
}

TEST(UUCode, DecodingOneLine)
{
    for (size_t size = 1; size <= 45; ++size) {
        std::string data = RandomBytes(size, static_cast<unsigned>(size));
        ASSERT_EQ(UUDecodeLine(UUEncodeLine(data)), data) << size;
    }
    std::pair<std::string, std::string> cases[] = {
        {"#0V%T", "Cat"},                                            // four characters a group
        {"#0V%T   ", "Cat"},                                         // blanks are zeros
        {"#0V", std::string("C`\0", 3)},                             // cut short: zero bits complete it
        {"``", ""},
        {"M" + std::string(60, '`') + "XYZ", std::string(45, '\0')}, // beyond 60 characters: unread
    };
    for (const auto& [line, data] : cases) EXPECT_EQ(UUDecodeLine(line), data) << line;
    ExpectInvalidCharacter(UUDecodeLine, {"#0v%T", "#0V%T\r", "a0V%T", "#0V%\x7f", "#0V%\x1f"});
}

TEST(QuotedPrintable, Lines)
{
    const std::string x65(65, 'x'), a40(40, 'a'), b20(20, 'b');
    std::pair<std::string, std::vector<std::string>> cases[] = {
        {std::string(70, 'x') + "\r\n", {x65 + "=", "xxxxx"}},
        {x65 + "\r\n", {x65}},
        {std::string(131, 'x') + "\r\n", {x65 + "=", x65 + "=", "x"}},
        // The blank nearest the 66th character begins the next line...
        {a40 + " " + b20 + " " + b20 + "\r\n", {a40 + " " + b20 + "=", " " + b20}},
        {x65 + " yy\r\n", {x65 + "=", " yy"}},
        // ...but a cut before the first character would make no progress.
        {" " + std::string(69, 'z') + "\r\n", {" " + std::string(64, 'z') + "=", "zzzzz"}},
        {"a\tb=c\x80\xff\x1f\x7f~\r\n", {"a=09b=3Dc=80=FF=1F\x7f~"}},
        {std::string("nul\0!", 5), {"nul=00!="}},
        // Blanks ending a line would not survive the trip.
        {"end \r\nmid dle\r\n  \r\n", {"end=20", "mid dle", " =20"}},
        {"", {}},
        {"\r\n", {""}},
        {"a\n\nb\n", {"a", "", "b"}}, // each bare LF is a break of its own
        {"a\r\rb\r", {"a", "", "b"}},
        {"a\n\r\nb\r\n", {"a", "", "b"}},
        {"a\r\nb", {"a", "b="}}, // no break at the end: a soft break keeps the text exact
    };
    for (const auto& [source, lines] : cases) EXPECT_EQ(QPEncodeLines(source), lines) << source;
    std::string out = "head\r\n";
    QPEncode("one\r\ntwo", out);
    EXPECT_EQ(out, "head\r\none\r\ntwo=\r\n");
}

TEST(QuotedPrintable, EscapedLinesStayWithin76CharactersAndDecodeExactly)
{
    std::mt19937 engine(42);
    for (int round = 0; round < 200; ++round) {
        std::string source(engine() % 400, '\0');
        for (char& c : source) {
            unsigned r = engine() % 20;
            c = r < 2 ? ' ' : r < 3 ? '\n' : r < 8 ? static_cast<char>(0x80 + engine() % 128) : static_cast<char>('a' + r);
        }
        std::vector<std::string> lines = QPEncodeLines(source);
        for (const std::string& line : lines) {
            ASSERT_LE(line.size(), 76u) << line;
            ASSERT_TRUE(line.empty() || line.back() != ' ') << line;
        }
        std::string canonical;
        for (char c : source) canonical += c == '\n' ? std::string("\r\n") : std::string(1, c);
        ASSERT_EQ(QPDecode(lines), canonical) << round;
    }
}

TEST(QuotedPrintable, ParagraphLimit)
{
    std::string below(kQPParagraphLimit - 1, 'p'), out;
    EXPECT_NO_THROW(QPEncode(below + "\r\n" + below, out));
    for (const std::string& source : {std::string(kQPParagraphLimit, 'p'), "ok\r\n" + below + "pp\r\n"}) {
        try {
            QPEncode(source, out);
            ADD_FAILURE() << source.size();
        } catch (const ECodecError& e) {
            EXPECT_STREQ(e.what(), "Paragraph is too large");
        }
    }
}
