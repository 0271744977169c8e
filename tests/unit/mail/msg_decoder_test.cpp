#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>

#include "mail/msdecoder.h"
#include "mail/uucode.h"
#include "msg_testing.h"
#include "support/tempdir.h"

namespace {

std::string AllBytes()
{
    std::string s;
    for (int i = 0; i < 300; ++i) s += static_cast<char>((i * 7) & 0xFF);
    return s;
}

std::string UU(const std::string& data)
{
    std::string out;
    UUEncodeLines(data, out);
    return out;
}

TmsMessage& Load(TmsMessage& message, const std::string& text)
{
    message.Clear();
    std::istringstream in(text);
    message.LoadFromStream(in);
    return message;
}

struct Att {
    std::string name, data;
};

void ExpectAttachments(const TmsMessage& m, const std::vector<Att>& want, const std::string& label)
{
    ASSERT_EQ(m.Attachments().Count(), static_cast<int>(want.size())) << label;
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(m.Attachments().Items(static_cast<int>(i)).FileName(), want[i].name) << label;
        EXPECT_EQ(m.Attachments().Items(static_cast<int>(i)).Data(), want[i].data) << label << " " << want[i].name;
    }
}

const std::string kPseudo = "PseudoHeader: x\r\n\r\n";
const char* kErrorLine = "The following error has been occured while processing the message:";

} // namespace

TEST(MessageDecoder, UUBlocks)
{
    const std::string bytes = AllBytes();
    struct Case {
        std::string label, text;
        std::vector<std::string> body;
        std::vector<Att> atts;
    } cases[] = {
        {"one block", kPseudo + "begin 600 cat.txt\r\n#0V%T\r\n`\r\nend\r\n", {}, {{"cat.txt", "Cat"}}},
        {"binary bytes", kPseudo + "begin 644 data.bin\r\n" + UU(bytes) + "`\r\nend\r\ntrailing text\r\n", {}, {{"data.bin", bytes}}},
        {"text before, two blocks, text between dropped",
         "Subject: x\r\n\r\nHello\r\n\r\nthere\r\nbegin 600 a\r\n#0V%T\r\n`\r\nend\r\nsignature\r\nbegin 600 b\r\n" + UU("dog!") +
             " \r\nEND\r\n",
         {"Hello", "", "there"}, {{"a", "Cat"}, {"b", "dog!"}}},
        {"no name, four-digit mode, quoted, folders", kPseudo + "begin 600 \r\n#0V%T\r\n`\r\nend\r\nbegin 0600 x.zip\r\n`\r\nend\r\n" +
             "begin 644 \"two words.txt\"\r\n`\r\nend\r\nbegin 644 ../../etc/passwd\r\n`\r\nend\r\nbegin 644 ..\r\n`\r\nend\r\n",
         {}, {{"att.0", "Cat"}, {"att.1", ""}, {"two words.txt", ""}, {"passwd", ""}, {"att.4", ""}}},
        {"capital begin, CR CR LF line ends, no end line", "X: y\r\r\n\r\r\nBEGIN 600 c.bin\r\r\n#0V%T\r\r\n", {}, {{"c.bin", "Cat"}}},
    };
    for (const auto& c : cases) {
        TmsMessage m;
        Load(m, c.text);
        EXPECT_EQ(m.Encoding(), meUU) << c.label;
        EXPECT_EQ(m.Body(), c.body) << c.label;
        ExpectAttachments(m, c.atts, c.label);
    }
}

TEST(MessageDecoder, BadInputKeepsTheOriginalAndEarlierFiles)
{
    const std::string good = "begin 600 good.txt\r\n#0V%T\r\n`\r\nend\r\n";
    const std::string mimeTop = "Mime-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"B\"\r\n\r\n";
    // Groups nested far deeper than any real mail, each closed properly.
    std::string deep = "Mime-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b0\"\r\n\r\n";
    for (int i = 1; i < 40; ++i)
        deep += "--b" + std::to_string(i - 1) + "\r\nContent-Type: multipart/mixed; boundary=\"b" + std::to_string(i) + "\"\r\n\r\n";
    deep += "--b39\r\n\r\nx\r\n";
    for (int i = 39; i >= 0; --i) deep += "--b" + std::to_string(i) + "--\r\n";
    struct Case {
        std::string label, text, error;
        std::vector<Att> before;
    } cases[] = {
        {"lower-case letter in UU data", kPseudo + good + "begin 600 bad.txt\r\n#0V%t\r\n`\r\nend\r\n", "Error decoding the attachment",
         {{"good.txt", "Cat"}}},
        {"tab in UU data", kPseudo + "begin 600 bad.txt\r\n#0\tV%\r\n", "Error decoding the attachment", {}},
        {"no boundary line", mimeTop + "text only\r\n", "Cannot find boundary", {}},
        {"no boundary parameter", "Mime-Version: 1.0\r\nContent-Type: multipart/mixed\r\n\r\n--B\r\n", "Cannot find boundary", {}},
        {"groups nested too deep", deep, "Error decoding the attachment", {}},
    };
    for (const auto& c : cases) {
        TmsMessage m;
        ASSERT_NO_THROW(Load(m, c.text)) << c.label;
        // The error lines follow whatever body text was read before the failure.
        ASSERT_GE(m.Body().size(), 3u) << c.label;
        EXPECT_EQ(std::vector<std::string>(m.Body().end() - 3, m.Body().end()),
                  (std::vector<std::string>{kErrorLine, c.error, "The original message will be stored as an attachment"}))
            << c.label;
        std::vector<Att> want = c.before;
        want.push_back({"original.eml", c.text});
        ExpectAttachments(m, want, c.label);
        EXPECT_EQ(m.Attachments().Items(m.Attachments().Count() - 1).ContentType(), "message/rfc822") << c.label;
    }
}

TEST(MessageDecoder, MimeMultipartWithBase64AndQuotedPrintable)
{
    const std::string text = CrLf({
        "From: \"Robot, The\" <robot@there.example>",
        "To: me@here.example (Me Myself), \"Other, A\" <other@here.example>",
        "Subject: =?iso-8859-1?Q?caf=E9_files?= =?utf-8?B?IQ==?=",
        "MIME-Version: 1.0",
        "Content-Type: multipart/mixed;",
        "\tboundary=\"outer\"",
        "",
        "This is a multipart message in MIME format",
        "--outer",
        "Content-Type: multipart/alternative; boundary=\"inner\"",
        "",
        "--inner",
        "Content-Type: text/plain; charset=\"iso-8859-1\"",
        "Content-Transfer-Encoding: quoted-printable",
        "",
        "Hello caf=E9, a long line that was =",
        "cut.",
        "",
        "--inner",
        "Content-Type: text/html",
        "",
        "<p>Hello</p>",
        "--inner--",
        "",
        "--outer",
        "Content-Type: application/octet-stream; name=\"data.bin\"",
        "Content-Transfer-Encoding: Base64",
        "",
        "AP/+gA==",
        "Zm9vYmFy",
        "",
        "--outer",
        "Content-Type: text/plain",
        "Content-Transfer-Encoding: quoted-printable",
        "Content-Disposition: attachment; filename=\"../notes.txt\"",
        "",
        "a =3D b=09   ",
        "tail=",
        "",
        "--outer",
        "Content-Type: application/x-thing",
        "Content-Transfer-Encoding: x-uue",
        "",
        "begin 600 ignored",
        "#0V%T",
        "`",
        "end",
        "--outer--",
        "epilogue",
    });
    TmsMessage m;
    Load(m, text);
    EXPECT_EQ(m.Sender().Name(), "Robot, The");
    EXPECT_EQ(m.Sender().Address(), "robot@there.example");
    ASSERT_EQ(m.Recipients().Count(), 2);
    EXPECT_EQ(m.Recipients().Items(0).Address(), "me@here.example");
    EXPECT_EQ(m.Recipients().Items(0).Name(), "Me Myself");
    EXPECT_EQ(m.Recipients().Items(1).Address(), "other@here.example");
    EXPECT_EQ(m.Subject(), "caf\xE9 files!");
    EXPECT_EQ(m.CharSet(), csISO8859);
    EXPECT_EQ(m.Body(), (std::vector<std::string>{"Hello caf\xE9, a long line that was cut."}));
    ExpectAttachments(m, {{"_alt.0", "<p>Hello</p>"},
                          {"data.bin", std::string("\0\xff\xfe\x80", 4) + "foobar"},
                          {"notes.txt", "a = b\t\r\ntail"},
                          {"ignored", "Cat"}},
                      "multipart");
    EXPECT_EQ(m.Attachments().Items(1).ContentType(), "application/octet-stream");
    EXPECT_EQ(m.Attachments().Items(2).ContentType(), "text/plain");
}

TEST(MessageDecoder, MimeSinglePartAndOwnWriterRoundTrip)
{
    TmsMessage m;
    Load(m, "MIME-Version: 1.0\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n\r\nZm9v\r\n");
    ExpectAttachments(m, {{"att.0", "foo"}}, "single part");
    Load(m, "MIME-Version: 1.0\r\nContent-Type: text/plain\r\n\r\nline 1\r\n\r\nline 3\r\n");
    EXPECT_EQ(m.Body(), (std::vector<std::string>{"line 1", "", "line 3"}));
    EXPECT_EQ(m.Attachments().Count(), 0);

    // What our own writer sends comes back.
    TmsMessage sent;
    Address(sent);
    sent.SetSubject("Files");
    sent.Body() = {"See the files."};
    sent.Attachments().Add().SetFileName("a.bin");
    sent.Attachments().Items(0).SetData(AllBytes());
    sent.SetEncoding(meUU);
    Load(m, SaveText(sent));
    EXPECT_EQ(m.Subject(), "Files");
    EXPECT_EQ(m.Body(), (std::vector<std::string>{"See the files.", ""}));
    ExpectAttachments(m, {{"a.bin", AllBytes()}}, "own UU mail");
    sent.SetEncoding(meMIME);
    Load(m, SaveText(sent));
    EXPECT_EQ(m.Body(), (std::vector<std::string>{"See the files."}));
    ExpectAttachments(m, {{"a.bin", AllBytes()}}, "own MIME mail");
}

TEST(MessageDecoder, FailuresThatReachTheCaller)
{
    TTempDir dir;
    TmsMessage m;
    EXPECT_THROW(m.LoadFromFile(dir.File("missing.tmp")), EInOutError);
    EXPECT_THROW(Load(m, "From: Bad <no.end\r\n\r\n"), EMessageParserError);

    // A stream without end is refused once it passes the size limit.
    struct Endless : std::streambuf {
        char buf[65536];
        int_type underflow() override
        {
            std::fill(std::begin(buf), std::end(buf), 'M');
            setg(buf, buf, buf + sizeof buf);
            return 'M';
        }
    } endless;
    std::istream in(&endless);
    EXPECT_THROW(m.LoadFromStream(in), EMessageTooLarge);
    // A small mail of short lines whose count character says 45 bytes each
    // would decode to more than the limit: refused, not kept as original.eml.
    std::string tiny = kPseudo + "begin 600 f\r\n";
    for (size_t i = 0; i <= kMaxMessageSize / 45; ++i) tiny += "M\r\n";
    EXPECT_THROW(Load(m, tiny), EMessageTooLarge);

    dir.Write("ok.tmp", kPseudo + "begin 600 f\r\n#0V%T\r\n`\r\nend\r\n");
    m.LoadFromFile(dir.File("ok.tmp"));
    ExpectAttachments(m, {{"f", "Cat"}}, "file");
}

TEST(MessageDecoder, HeaderHelpers)
{
    TmsHeaders h = {"Subject: =?utf-8?Q?a_b?= and =?x?Q?unclosed", "X-Long: one", " two", "Content-Type: text/plain; name=\"a;b\""};
    EXPECT_EQ(HeaderValue(h, "subject"), "a b and =?x?Q?unclosed");
    EXPECT_EQ(HeaderValue(h, "X-Long:"), "one two");
    EXPECT_EQ(HeaderValue(h, "X-Missing"), "");
    EXPECT_EQ(HeaderParameter(HeaderValue(h, "Content-Type"), "name"), "a;b");
    struct Case {
        std::string text, name, address;
    } cases[] = {
        {"Name Here <a@b.example>", "Name Here", "a@b.example"},
        {"a@b.example (Name Here)", "Name Here", "a@b.example"},
        {" a@b.example ", "", "a@b.example"},
    };
    for (const auto& c : cases) {
        TmsMailAddress a;
        ParseAddress(c.text, a);
        EXPECT_EQ(a.Name(), c.name) << c.text;
        EXPECT_EQ(a.Address(), c.address) << c.text;
    }
}

TEST(MessageDecoder, EncodedWordsOfAHugeHeaderAreDecodedInOnePass)
{
    // Openings that never become a word, each once searched to the end of
    // the value for its close: 240 KB took seconds.
    std::string notWords, unclosed;
    for (int i = 0; i < 40000; ++i) notWords += "=?a?Xb";
    for (int i = 0; i < 30000; ++i) unclosed += "=?a?Q?x";
    struct Case {
        std::string value, decoded;
    } cases[] = {
        {notWords + "=?utf-8?Q?x_y?= <a@b.example>", notWords + "x y <a@b.example>"},
        {"=?utf-8?B?eA==?= " + unclosed, "x " + unclosed},
    };
    for (const auto& c : cases) {
        auto addresses = HeaderAddresses({"To: " + c.value}, "To");
        ASSERT_EQ(addresses.size(), 1u);
        EXPECT_TRUE(addresses[0] == c.decoded) << c.value.substr(0, 40);
    }
}
