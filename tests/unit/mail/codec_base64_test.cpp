#include <gtest/gtest.h>

#include <random>

#include "mail/base64.h"
#include "mail/codecerror.h"

namespace {

std::string RandomBytes(size_t size, unsigned seed)
{
    std::mt19937 engine(seed);
    std::string s(size, '\0');
    for (char& c : s) c = static_cast<char>(engine() & 0xFF);
    return s;
}

std::vector<std::string> SplitCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(text.substr(pos) + "<no line end>");
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

} // namespace

TEST(Base64, KnownVectorsBothWays)
{
    struct Case {
        std::string plain, encoded;
    } cases[] = {{"", ""},
                 {"f", "Zg=="},
                 {"fo", "Zm8="},
                 {"foo", "Zm9v"},
                 {"foob", "Zm9vYg=="},
                 {"fooba", "Zm9vYmE="},
                 {"foobar", "Zm9vYmFy"},
                 {std::string("\0\xff\xfe\x80", 4), "AP/+gA=="},
                 {"\xfb\xff", "+/8="}};
    for (const auto& c : cases) {
        EXPECT_EQ(Base64Encode(c.plain), c.encoded) << c.encoded;
        EXPECT_EQ(Base64EncodedSize(c.plain.size()), c.encoded.size());
        EXPECT_EQ(Base64DecodeLine(c.encoded), c.plain) << c.encoded;
    }
}

TEST(Base64, MailLinesHold57BytesIn76Characters)
{
    struct Case {
        size_t size;
        std::vector<size_t> lineLengths;
    } cases[] = {{0, {}}, {1, {4}}, {56, {76}}, {57, {76}}, {58, {76, 4}}, {114, {76, 76}}, {115, {76, 76, 4}}};
    for (const auto& c : cases) {
        std::string data = RandomBytes(c.size, static_cast<unsigned>(c.size));
        std::string out = "keep:";
        Base64EncodeLines(data, out);
        ASSERT_EQ(out.substr(0, 5), "keep:");
        auto lines = SplitCrLf(out.substr(5));
        std::vector<size_t> lengths;
        for (const auto& l : lines) lengths.push_back(l.size());
        EXPECT_EQ(lengths, c.lineLengths) << c.size;
        EXPECT_EQ(Base64Decode(out.substr(5)), data) << c.size;
    }
}

TEST(Base64, RoundTripOfEverySizeUpToThreeLines)
{
    for (size_t size = 0; size <= 3 * 57 + 2; ++size) {
        std::string data = RandomBytes(size, static_cast<unsigned>(size) + 1000);
        std::string lines;
        Base64EncodeLines(data, lines);
        ASSERT_EQ(Base64Decode(lines), data) << size;
        ASSERT_EQ(Base64DecodeLine(Base64Encode(data)), data) << size;
    }
}

TEST(Base64, DecodingALine)
{
    struct Case {
        std::string line, plain;
    } cases[] = {
        {"QQ", "A"},         // no padding: the bits there are
        {"QUI", "AB"},
        {"QQ==", "A"},       // each trailing "=" drops a byte
        {"QU=I", "A@\x08"}, // an inner "=" counts as 0 and drops nothing
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Base64DecodeLine(c.line), c.plain) << c.line;
    EXPECT_EQ(Base64Decode("Zm9v\r\nYmFy\nYg==\r"), "foobarb");
}

TEST(Base64, CharactersOutsideTheAlphabetAreRefused)
{
    for (std::string bad : {"Zm9v!", "Zm 9v", "Zm9v\r", "Zm-_", "\x80QQ"}) {
        try {
            Base64DecodeLine(bad);
            ADD_FAILURE() << bad;
        } catch (const ECodecError& e) {
            EXPECT_STREQ(e.what(), "Invalid Character");
        }
    }
}
