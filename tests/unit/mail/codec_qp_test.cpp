#include <gtest/gtest.h>

#include <random>

#include "mail/codecerror.h"
#include "mail/qpcode.h"

namespace {

using Lines = std::vector<std::string>;

// Reads encoded lines back the way RFC 2045 says a reader must.
std::string Decode(const Lines& lines)
{
    std::string out;
    for (const std::string& line : lines) {
        bool soft = !line.empty() && line.back() == '=';
        std::string_view text(line.data(), line.size() - (soft ? 1 : 0));
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '=') {
                out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
                i += 2;
            } else {
                out += text[i];
            }
        }
        if (!soft) out += "\r\n";
    }
    return out;
}

std::string Canonical(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\r' || text[i] == '\n') out += "\r\n";
        else out += text[i];
    }
    return out;
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

} // namespace

TEST(QuotedPrintable, CutsLinesAt65Characters)
{
    std::string x70 = Repeat('x', 70);
    struct Case {
        std::string source;
        Lines lines;
    } cases[] = {
        {x70 + "\r\n", {Repeat('x', 65) + "=", "xxxxx"}},
        {Repeat('x', 65) + "\r\n", {Repeat('x', 65)}},
        // The blank nearest the 66th character begins the next line.
        {Repeat('a', 40) + " " + Repeat('b', 20) + " " + Repeat('c', 20) + "\r\n",
         {Repeat('a', 40) + " " + Repeat('b', 20) + "=", " " + Repeat('c', 20)}},
        {Repeat('a', 65) + " " + Repeat('b', 10) + "\r\n", {Repeat('a', 65) + "=", " " + Repeat('b', 10)}},
        // A blank as the first character is no place to cut.
        {" " + Repeat('z', 69) + "\r\n", {" " + Repeat('z', 64) + "=", "zzzzz"}},
        {Repeat('x', 131) + "\r\n", {Repeat('x', 65) + "=", Repeat('x', 65) + "=", "x"}},
    };
    for (const auto& c : cases) EXPECT_EQ(QPEncodeLines(c.source), c.lines) << c.source;
}

TEST(QuotedPrintable, EscapesControlsEqualsSignsAndHighBytes)
{
    struct Case {
        std::string source;
        Lines lines;
    } cases[] = {
        {"a\tb=c\x80\xff\x1f\x7f~\r\n", {"a=09b=3Dc=80=FF=1F\x7f~"}},
        {std::string("nul\0!", 5) + "\r\n", {"nul=00!"}},
        // A blank that ends a line would not survive the trip.
        {"end \r\nmid dle\r\n", {"end=20", "mid dle"}},
        {"  \r\n", {" =20"}},
    };
    for (const auto& c : cases) EXPECT_EQ(QPEncodeLines(c.source), c.lines) << c.source;
}

TEST(QuotedPrintable, LineBreaks)
{
    struct Case {
        std::string source;
        Lines lines;
    } cases[] = {
        {"", {}},
        {"\r\n", {""}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\n\nb\n", {"a", "", "b"}},   // each bare LF is a break of its own
        {"a\r\rb\r", {"a", "", "b"}},
        {"a\n\r\nb\r\n", {"a", "", "b"}},
        // No break at the end: a soft break keeps the text exact.
        {"a\r\nb", {"a", "b="}},
        {"x", {"x="}},
    };
    for (const auto& c : cases) EXPECT_EQ(QPEncodeLines(c.source), c.lines) << c.source;
}

TEST(QuotedPrintable, EscapedLinesStayWithin76Characters)
{
    std::mt19937 engine(42);
    for (int round = 0; round < 200; ++round) {
        std::string source(engine() % 400, '\0');
        for (char& c : source) {
            // Mostly text, some bytes that need escaping, some blanks and breaks.
            unsigned r = engine() % 20;
            c = r < 2 ? ' ' : r < 3 ? '\n' : r < 8 ? static_cast<char>(0x80 + engine() % 128) : static_cast<char>('a' + r);
        }
        Lines lines = QPEncodeLines(source);
        for (const std::string& line : lines) {
            ASSERT_LE(line.size(), 76u) << line;
            ASSERT_NE(line.substr(line.size() - std::min<size_t>(line.size(), 1)), " ") << line;
        }
        ASSERT_EQ(Decode(lines), Canonical(source)) << round;
    }
}

TEST(QuotedPrintable, AllHighBytesLineSplitsBetweenEscapes)
{
    Lines lines = QPEncodeLines(Repeat('\xe9', 60) + "\r\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], [] {
        std::string s;
        for (int i = 0; i < 25; ++i) s += "=E9";
        return s + "=";
    }());
    EXPECT_EQ(Decode(lines), Repeat('\xe9', 60) + "\r\n");
}

TEST(QuotedPrintable, ParagraphLimit)
{
    std::string below = Repeat('p', kQPParagraphLimit - 1);
    std::string out;
    EXPECT_NO_THROW(QPEncode(below + "\r\n" + below, out));
    for (const std::string& source : {Repeat('p', kQPParagraphLimit), "ok\r\n" + Repeat('p', kQPParagraphLimit + 5) + "\r\n"}) {
        try {
            std::string o;
            QPEncode(source, o);
            ADD_FAILURE() << source.size();
        } catch (const ECodecError& e) {
            EXPECT_STREQ(e.what(), "Paragraph is too large");
        }
    }
}

TEST(QuotedPrintable, AppendsCrLfLines)
{
    std::string out = "head\r\n";
    QPEncode("one\r\ntwo=", out);
    EXPECT_EQ(out, "head\r\none\r\ntwo=3D=\r\n");
}
