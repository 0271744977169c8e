#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "mail/codecerror.h"
#include "mail/msstamp.h"
#include "mail/mswriter.h"
#include "mail/qpcode.h"
#include "msg_testing.h"

namespace {

const std::string kFrom = "From:      <me@here.example>";
const std::string kTo = "To:        <robot@there.example>";

// Replaces each boundary of the text, in order of appearance in a
// "boundary=" parameter, by {B1}, {B2}...
std::string NameBoundaries(std::string text)
{
    std::regex param("boundary=\"([0-8]{8})\"");
    std::vector<std::string> found;
    for (std::sregex_iterator it(text.begin(), text.end(), param), end; it != end; ++it) found.push_back((*it)[1]);
    for (size_t i = 0; i < found.size(); ++i) {
        std::string name = "{B" + std::to_string(i + 1) + "}";
        for (size_t p; (p = text.find(found[i])) != std::string::npos;) text.replace(p, found[i].size(), name);
    }
    return text;
}

} // namespace

TEST(MessageWriter, RequestMailIsExact)
{
    TmsMessage m;
    Address(m);
    m.SetSubject("Request");
    m.Body().push_back("send http://host1/index.html");
    EXPECT_EQ(SaveText(m), CrLf({kFrom, kTo, "Subject:  Request", "Mime-Version: 1.0",
                                 "Content-Type: text/plain; charset=\"us-ascii\"", "Content-Transfer-Encoding: 7bit", "",
                                 "send http://host1/index.html"}));
}

TEST(MessageWriter, BodyItemsWithSeveralLinesAreSentLineByLine)
{
    TmsMessage m;
    Address(m);
    // A body item may hold CR LF separated lines; a template file may use LF.
    m.Body().push_back("open host1\r\nbinary\r\nquit\r\n");
    m.Body().push_back("a\nb");
    std::string text = SaveText(m);
    EXPECT_EQ(text.substr(text.find("\r\n\r\n") + 4), CrLf({"open host1", "binary", "quit", "", "a", "b"}));
}

TEST(MessageWriter, PeriodsAtLineStartsAreDoubledForSmtp)
{
    TmsMessage m;
    Address(m);
    m.Body() = {".", ".x", "a.", "..", ""};
    std::string text = SaveText(m);
    EXPECT_EQ(text.substr(text.find("\r\n\r\n") + 4), CrLf({"..", "..x", "a.", "...", ""}));
    // The message itself is left as it was.
    EXPECT_EQ(m.Body(), (std::vector<std::string>{".", ".x", "a.", "..", ""}));
    // Quoted-printable lines get the same treatment.
    m.Body() = {std::string(256, 'x'), std::string(65, 'y') + "."};
    text = SaveText(m);
    EXPECT_NE(text.find("\r\n" + std::string(65, 'y') + "=\r\n..\r\n"), std::string::npos) << text;
}

TEST(MessageWriter, LongBodyLineSwitchesToQuotedPrintable)
{
    const std::string l255(255, 'L');
    struct Case {
        std::string line;
        TCharSet charSet;
        std::string head;
        std::vector<std::string> body;
    } cases[] = {
        {l255, csUSASCII, "charset=\"us-ascii\"\r\nContent-Transfer-Encoding: 7bit", {"short", l255}},
        {l255 + "=", csUSASCII, "charset=\"us-ascii\"\r\nContent-Transfer-Encoding: quoted-printable",
         {"short", std::string(65, 'L') + "=", std::string(65, 'L') + "=", std::string(65, 'L') + "=",
          std::string(60, 'L') + "=3D"}},
        {"L=\xe9", csISO8859, "charset=\"iso-8859-1\"\r\nContent-Transfer-Encoding: quoted-printable",
         {"short", "L=3D=E9"}},
    };
    for (const auto& c : cases) {
        TmsMessage m;
        Address(m);
        m.SetCharSet(c.charSet);
        m.Body() = {"short", c.line};
        std::string text = SaveText(m);
        std::string head = "Content-Type: text/plain; " + c.head + "\r\n\r\n";
        ASSERT_NE(text.find(head), std::string::npos) << c.line.size();
        EXPECT_EQ(text.substr(text.find(head) + head.size()), CrLf(c.body)) << c.line.size();
    }
}

TEST(MessageWriter, SenderNames)
{
    std::pair<std::string, std::string> cases[] = {
        {"Ann Smith", "From:     Ann Smith <me@here.example>"},
        {"A. Smith", "From:     \"A. Smith\" <me@here.example>"},
        {"\"A. Smith\"", "From:     \"A. Smith\" <me@here.example>"},
        {"Smith, Ann", "From:     \"Smith, Ann\" <me@here.example>"},
        {"Say \"hi\". Now", "From:     Say \"hi\". Now <me@here.example>"},
    };
    for (const auto& [name, line] : cases) {
        TmsMessage m;
        Address(m);
        m.Sender().SetName(name);
        std::string text = SaveText(m);
        EXPECT_EQ(text.substr(0, text.find("\r\n")), line);
    }
}

TEST(MessageWriter, AddressPriorityAndReceiptLines)
{
    TmsMessage m;
    m.Sender().SetAddress("me@here.example");
    m.Recipients().Add("a@x.example", "Al");
    m.Recipients().Add("b@x.example");
    m.Recipients().Add("c@x.example", "C. Cee");
    m.CC().Add("d@x.example", "Dee");
    m.BCC().Add("hidden@x.example", "Hidden");
    m.SetReturnReceipt(true);
    std::pair<TPriority, std::string> priorities[] = {{ptHigh, "X-Priority: 1\r\n"}, {ptLow, "X-Priority: 5\r\n"}, {ptNormal, ""}};
    for (const auto& [priority, line] : priorities) {
        m.SetPriority(priority);
        std::string text = SaveText(m);
        EXPECT_EQ(text.substr(0, text.find("Mime-Version")),
                  CrLf({"From:      <me@here.example>", "To:       Al <a@x.example>,", "           <b@x.example>,",
                        "          \"C. Cee\" <c@x.example>", "CC:       Dee <d@x.example>",
                        "Return-Receipt-To: <me@here.example>"}) + line);
        EXPECT_EQ(text.find("hidden"), std::string::npos);
    }
}

TEST(MessageWriter, ExtraHeadersLoseTheOnesTheWriterMakes)
{
    TmsMessage m;
    Address(m);
    m.SetSubject("Mine");
    m.Headers() = {"subject: theirs", "\tcontinued", "X-Keep: 1", " folded", "Content-Type: text/html",
                   "To: second", "To: second", "X-Mailer: other", "Mime-Version : 2.0", "CONTENT-TRANSFER-ENCODING: x",
                   "X-Encoding: y", "Received: from a"};
    std::string text = SaveText(m);
    EXPECT_EQ(text.substr(0, text.find("Content-Type: text/plain")),
              CrLf({kFrom, kTo, "X-Keep: 1", " folded", "To: second", "X-Mailer: other", "Received: from a",
                    "Subject:  Mine", "Mime-Version: 1.0"}));
    // The removal is kept in the message.
    EXPECT_EQ(m.Headers(), (TmsHeaders{"X-Keep: 1", " folded", "To: second", "X-Mailer: other", "Received: from a"}));
}

TEST(MessageWriter, UUForm)
{
    TmsMessage m;
    Address(m);
    m.SetEncoding(meUU);
    m.SetSubject("Files");
    m.Body() = {"see below", "."};
    auto& a = m.Attachments().Add();
    a.SetFileName("/some/folder/cat.bin");
    a.SetData("Cat");
    auto& b = m.Attachments().Add();
    b.SetFileName("empty.txt");
    std::string c14(14, 'x');
    auto& c = m.Attachments().Add();
    c.SetFileName("c14");
    c.SetData(c14);
    EXPECT_EQ(SaveText(m), CrLf({kFrom, kTo, "Subject:  Files", "", "see below", "..", "", "begin 600 cat.bin",
                                 "#0V%T`", "`", "end", "", "begin 600 empty.txt", "`", "end", "", "begin 600 c14",
                                 // A 14-byte line begins with a period, which SMTP would take away.
                                 "..>'AX>'AX>'AX>'AX>'@", "`", "end"}));
}

TEST(MessageWriter, SinglePartAttachment)
{
    struct Case {
        std::string fileName;
        std::vector<std::string> head;
    } cases[] = {
        {"dir/data.bin",
         {"Content-Type: application/x-test; name=\"data.bin\"", "Content-Transfer-Encoding: Base64",
          "Content-Disposition: attachment; filename=\"data.bin\""}},
        {"_htmbody.htm", {"Content-Type: text/html", "Content-Transfer-Encoding: Base64"}},
        {"_RTFBODY.RTF", {"Content-Type: text/rtf", "Content-Transfer-Encoding: Base64"}},
    };
    for (const auto& c : cases) {
        TmsMessage m;
        Address(m);
        auto& a = m.Attachments().Add();
        a.SetFileName(c.fileName);
        a.SetContentType("application/x-test");
        a.SetTransferEncoding(teBase64);
        a.SetData("foobar");
        std::vector<std::string> lines = {kFrom, kTo, "Mime-Version: 1.0"};
        lines.insert(lines.end(), c.head.begin(), c.head.end());
        lines.insert(lines.end(), {"", "Zm9vYmFy"});
        EXPECT_EQ(SaveText(m), CrLf(lines)) << c.fileName;
    }
}

TEST(MessageWriter, BodyUnderAnotherTypeIsOnePart)
{
    TmsMessage m;
    Address(m);
    m.SetContentType("Text/HTML");
    m.Body() = {"<p>hi</p>"};
    EXPECT_EQ(SaveText(m), CrLf({kFrom, kTo, "Mime-Version: 1.0", "Content-Type: text/html; charset=\"us-ascii\"",
                                 "Content-Transfer-Encoding: 7bit", "", "<p>hi</p>"}));
}

TEST(MessageWriter, MultipartMixed)
{
    TmsMessage m;
    Address(m);
    m.Body() = {"Hello", "."};
    auto& a = m.Attachments().Add();
    a.SetFileName("c:\\docs\\a.bin");
    a.SetContentType("application/octet-stream");
    a.SetTransferEncoding(teBase64);
    a.SetData("foob");
    auto& t = m.Attachments().Add();
    t.SetFileName("t.txt");
    t.SetContentType("text/plain");
    t.SetTransferEncoding(teQuotedPrintable);
    t.SetData("x=1\r\n");
    auto& r = m.Attachments().Add();
    r.SetFileName("r.eml");
    r.SetContentType("message/rfc822");
    r.SetTransferEncoding(te7Bit);
    r.SetData("Subject: s\r\n\r\n.\r\n");
    EXPECT_EQ(NameBoundaries(SaveText(m)),
              CrLf({kFrom, kTo, "Mime-Version: 1.0", "Content-Type: multipart/mixed; boundary=\"{B1}\"", "",
                    "This is a multipart message in MIME format", "", "--{B1}",
                    "Content-Type: text/plain; charset=\"us-ascii\"", "Content-Transfer-Encoding: 7bit", "", "Hello",
                    "..", "", "--{B1}", "Content-Type: application/octet-stream; name=\"a.bin\"",
                    "Content-Transfer-Encoding: Base64", "Content-Disposition: attachment; filename=\"a.bin\"", "",
                    "Zm9vYg==", "", "--{B1}", "Content-Type: text/plain; name=\"t.txt\"",
                    "Content-Transfer-Encoding: Quoted-Printable",
                    "Content-Disposition: attachment; filename=\"t.txt\"", "", "x=3D1", "", "--{B1}",
                    "Content-Type: message/rfc822; name=\"r.eml\"", "Content-Transfer-Encoding: 7bit",
                    "Content-Disposition: attachment; filename=\"r.eml\"", "", "Subject: s", "", "..", "",
                    "--{B1}--"}));
}

TEST(MessageWriter, AlternativeGroupInsideMixed)
{
    TmsMessage m;
    Address(m);
    m.Body() = {"plain"};
    for (const char* name : {"_alt.htm", "_alt.rtf", "z.bin"}) {
        auto& a = m.Attachments().Add();
        a.SetFileName(name);
        a.SetContentType("application/x-" + std::string(name).substr(name[0] == '_' ? 5 : 2));
        a.SetTransferEncoding(teBase64);
        a.SetData("foo");
    }
    EXPECT_EQ(m.ContentType(), "multipart/mixed");
    EXPECT_EQ(NameBoundaries(SaveText(m)),
              CrLf({kFrom, kTo, "Mime-Version: 1.0", "Content-Type: multipart/mixed; boundary=\"{B1}\"", "",
                    "This is a multipart message in MIME format", "", "--{B1}",
                    "Content-Type:  multipart/alternative; boundary=\"{B2}\"", "Content-Transfer-Encoding: 7bit", "",
                    "--{B2}", "Content-Type: text/plain; charset=\"us-ascii\"", "Content-Transfer-Encoding: 7bit", "",
                    "plain", "", "--{B2}", "Content-Type: application/x-htm", "Content-Transfer-Encoding: Base64",
                    "", "Zm9v", "", "--{B2}", "Content-Type: application/x-rtf", "Content-Transfer-Encoding: Base64",
                    "", "Zm9v", "", "--{B2}--", "", "--{B1}", "Content-Type: application/x-bin; name=\"z.bin\"",
                    "Content-Transfer-Encoding: Base64", "Content-Disposition: attachment; filename=\"z.bin\"", "",
                    "Zm9v", "", "--{B1}--"}));
}

TEST(MessageWriter, AllAlternativesMakeMultipartAlternative)
{
    TmsMessage m;
    Address(m);
    for (const char* name : {"_alt.txt", "_ALT.htm"}) {
        auto& a = m.Attachments().Add();
        a.SetFileName(name);
        a.SetContentType("text/plain");
        a.SetTransferEncoding(teQuotedPrintable);
        a.SetData("v");
    }
    EXPECT_EQ(NameBoundaries(SaveText(m)),
              CrLf({kFrom, kTo, "Mime-Version: 1.0", "Content-Type: multipart/alternative; boundary=\"{B1}\"", "",
                    "This is a multipart message in MIME format", "", "--{B1}", "Content-Type: text/plain",
                    "Content-Transfer-Encoding: Quoted-Printable", "", "v=", "", "--{B1}", "Content-Type: text/plain",
                    "Content-Transfer-Encoding: Quoted-Printable", "", "v=", "", "--{B1}--"}));
}

TEST(MessageWriter, BoundariesAreEightDigitsUpToEightAndVary)
{
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) seen.insert(MakeBoundary());
    for (const auto& b : seen) EXPECT_TRUE(std::regex_match(b, std::regex("[0-8]{8}"))) << b;
    EXPECT_GT(seen.size(), 45u);
}

TEST(MessageWriter, WritesFromTheStreamStart)
{
    TmsMessage m;
    Address(m);
    m.Body() = {"x"};
    std::ostringstream out;
    out << "old text that is longer than nothing";
    m.SaveToStream(out);
    std::string first = out.str();
    m.SaveToStream(out);
    EXPECT_EQ(WithoutStamp(out.str()), WithoutStamp(first));
    EXPECT_EQ(first.substr(0, 5), "From:");
}

TEST(MessageWriter, FailuresAreRaised)
{
    TmsMessage m;
    Address(m);
    m.SetCharSet(csISO8859);
    m.Body() = {std::string(kQPParagraphLimit, 'p')};
    EXPECT_THROW(SaveText(m), ECodecError);

    m.Body() = {"x"};
    std::ostringstream broken;
    broken.setstate(std::ios::badbit);
    EXPECT_THROW(m.SaveToStream(broken), EInOutError);
}

TEST(MessageStamp, DateInLocalTimeWithOffsetAndUniqueIdsOfTheSendersDomain)
{
    struct Case {
        const char* tz;
        std::time_t when;
        const char* date;
    } cases[] = {
        {"UTC0", 1796713397, "Tue, 08 Dec 2026 07:03:17 +0000"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1796713397, "Tue, 08 Dec 2026 08:03:17 +0100"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1782948600, "Thu, 02 Jul 2026 01:30:00 +0200"},
        {"<-0330>3:30", 1782948600, "Wed, 01 Jul 2026 20:00:00 -0330"},
    };
    std::string saved = getenv("TZ") ? getenv("TZ") : "";
    bool had = getenv("TZ") != nullptr;
    for (const auto& c : cases) {
        setenv("TZ", c.tz, 1);
        tzset();
        EXPECT_EQ(MailDate(c.when), c.date) << c.tz;
    }
    had ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
    tzset();

    std::pair<std::string, std::string> senders[] = {
        {"me@example.org", "example.org"},
        {"nobody", "localhost"},
        {"me@ex ample.org\r\nBcc: x", "example.orgBccx"},  // nothing can bend the header
    };
    std::set<std::string> ids;
    for (const auto& [sender, domain] : senders) {
        std::string id = NewMessageId(sender);
        EXPECT_TRUE(std::regex_match(id, std::regex("<[0-9a-f]+\\.[0-9a-f]+\\.[0-9a-f]{16}@" + domain + ">"))) << id;
        ids.insert(id);
        ids.insert(NewMessageId(sender));
    }
    EXPECT_EQ(ids.size(), 6u);
}
