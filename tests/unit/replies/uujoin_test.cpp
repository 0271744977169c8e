#include <gtest/gtest.h>

#include "mail/codecerror.h"
#include "mail/uucode.h"
#include "replies/savedmail.h"
#include "replies/uujoin.h"

namespace {

std::string Bytes(size_t n, int seed)
{
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>((i * 37 + static_cast<size_t>(seed) * 11) & 0xFF);
    return s;
}

// Data lines of data, each ended by CR LF.
std::string UU(const std::string& data)
{
    std::string out;
    UUEncodeLines(data, out);
    return out;
}

std::string Verdict(const TUUFile& f)
{
    const char* status[] = {"complete", "incomplete", "failed"};
    return f.name + " " + status[static_cast<int>(f.status)] + (f.reason.empty() ? "" : ": " + f.reason);
}

} // namespace

TEST(UUParts, PartNumbersInSubjects)
{
    struct Case {
        std::string subject;
        int number, total;
        std::string key;
    } cases[] = {
        {"file.zip (2/5)", 2, 5, "file.zip"},
        {"file.zip [2/5]", 2, 5, "file.zip"},
        {"Re: File.zip part 2 of 5", 2, 5, "file.zip"},
        {"file.zip 2/5", 2, 5, "file.zip"},
        {"file.zip [2 of 5]", 2, 5, "file.zip"},
        // A bracketed number wins over a date-like one after it.
        {"file.zip (3/9) sent 01/12/2026", 3, 9, "file.zip sent 01/12/2026"},
        {"report 5/3", 0, 0, "report 5/3"},
        {"(99999999999/2)", 0, 0, "(99999999999/2)"},
        {"2 of 5 without part", 0, 0, "2 of 5 without part"},
    };
    for (const auto& c : cases) {
        TPartNumber pn = ParsePartNumber(c.subject);
        EXPECT_EQ(pn.number, c.number) << c.subject;
        EXPECT_EQ(pn.total, c.total) << c.subject;
        EXPECT_EQ(pn.key, c.key) << c.subject;
    }
}

TEST(UUParts, DataFoundInMailText)
{
    const std::string data = Bytes(100, 1);
    // A full line whose trailing zeros (blanks to old encoders) a server
    // stripped: it still gives 45 bytes.
    const std::string zeros(45, '\0');
    struct Case {
        std::string label, text;
        std::string data;
        bool begins, ends;
        long long size;
    } cases[] = {
        {"whole file with signature and size", "Hi\r\n\r\nbegin 644 a\r\n" + UU(data) + "`\r\nend\r\nsize 100\r\n-- \r\nBot\r\n", data, true, true, 100},
        {"stripped line and stripped blank terminator", "begin 644 a\n" + std::string("M") + "\n" + UU(data) + "\nend\n", zeros + data, true, true, -1},
        {"middle part: the signature is no data", UU(Bytes(90, 2)) + "-- \r\nBot\r\n", Bytes(90, 2), false, false, -1},
        {"short line without an end after it is text", UU(Bytes(45, 3)) + "#0V%T\r\nmore text\r\n", Bytes(45, 3), false, false, -1},
    };
    for (const auto& c : cases) {
        std::vector<TUUPiece> pieces = ScanUUPieces(c.text, "s");
        ASSERT_EQ(pieces.size(), 1u) << c.label;
        EXPECT_EQ(pieces[0].data, c.data) << c.label;
        EXPECT_EQ(!pieces[0].beginLine.empty(), c.begins) << c.label;
        EXPECT_EQ(pieces[0].hasEnd, c.ends) << c.label;
        EXPECT_EQ(pieces[0].size, c.size) << c.label;
    }
    // A broken line inside the data is an error that names the line.
    std::string broken = "begin 644 a\r\n" + UU(Bytes(135, 4));
    broken[13 + 61 + 2 + 10] = 'x';
    try {
        ScanUUPieces(broken, "");
        ADD_FAILURE() << "no error";
    } catch (const ECodecError& e) {
        EXPECT_STREQ(e.what(), "Invalid Character in line 3");
    }
}

TEST(UUParts, JoinedByNumberOrByData)
{
    // Four parts of one file: begin, two middles, end with its size line.
    const std::string data = Bytes(45 * 6 + 20, 5);
    std::string uu = UU(data);
    auto lines = [&](size_t from, size_t count) { return uu.substr(from * 63, count * 63); };
    const std::string last = uu.substr(6 * 63) + "`\r\nend\r\nsize " + std::to_string(data.size()) + "\r\n";
    const std::string texts[] = {"begin 644 f.bin\r\n" + lines(0, 2), lines(2, 2), lines(4, 2), last};
    auto pieces = [&](std::vector<int> order, std::vector<std::string> subjects) {
        std::vector<TUUPiece> all;
        for (size_t i = 0; i < order.size(); ++i)
            for (TUUPiece& p : ScanUUPieces(texts[order[i]], subjects[i])) all.push_back(std::move(p));
        return all;
    };
    struct Case {
        std::string label;
        std::vector<int> order;
        std::vector<std::string> subjects;
        std::string verdict;
    } cases[] = {
        {"numbered, out of order", {3, 1, 0, 2}, {"f (4/4)", "f (2/4)", "f (1/4)", "f (3/4)"}, "f.bin complete"},
        {"numbered, one missing", {3, 0, 2}, {"f (4/4)", "f (1/4)", "f (3/4)"}, "f.bin incomplete: missing part 2 of 4"},
        {"no numbers, the end first: begin first, end last", {3, 0, 1, 2}, {"f", "f", "f", "f"}, "f.bin complete"},
        {"no numbers, a middle part missing: the size line tells", {0, 1, 3}, {"f", "f", "f"},
         "f.bin incomplete: the parts hold 200 of the 290 bytes the sender announced: a part is missing before the last"},
        {"no numbers, no end", {0, 1}, {"", ""}, "f.bin incomplete: no end line: the last part is missing"},
        {"no numbers, no begin", {1, 3}, {"f", "f"}, "\"f\" incomplete: missing part 1"},
        {"the end numbered before a middle part", {0, 3, 1}, {"f (1/3)", "f (2/3)", "f (3/3)"},
         "f.bin failed: part 2 ends the file but more parts follow: the parts are out of order"},
    };
    for (const auto& c : cases) {
        std::vector<TUUPiece> all = pieces(c.order, c.subjects);
        std::vector<TUUFile> files = JoinPieces(all);
        ASSERT_EQ(files.size(), 1u) << c.label;
        EXPECT_EQ(Verdict(files[0]), c.verdict) << c.label;
        if (files[0].status != TUUStatus::Complete) continue;
        std::string joined;
        for (const TUUPiece* p : files[0].parts) joined += p->data;
        EXPECT_EQ(joined, data) << c.label;
    }
}

TEST(UUParts, NumberedNamesKeepTheExtension)
{
    EXPECT_EQ(NumberedName("file.tar.gz", 1), "file.tar (1).gz");
    EXPECT_EQ(NumberedName("README", 2), "README (2)");
    EXPECT_EQ(NumberedName(".profile", 3), ".profile (3)");
}
