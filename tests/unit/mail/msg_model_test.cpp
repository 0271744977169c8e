#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "mail/mailstrings.h"
#include "mail/mimetypes.h"
#include "mail/tempfile.h"
#include "msg_testing.h"
#include "support/tempdir.h"

TEST(MessageModel, ShortTextsAreCutAt255)
{
    std::string longText(300, 'n');
    TmsMessage m;
    m.SetSubject(longText);
    m.Sender().SetName(longText);
    m.Sender().SetAddress(longText);
    auto& r = m.Recipients().Add(longText, longText);
    for (const std::string* s : {&m.Subject(), &m.Sender().Name(), &m.Sender().Address(), &r.Name(), &r.Address()})
        EXPECT_EQ(*s, longText.substr(0, 255));
}

TEST(MessageModel, ListsAreCopiedDeep)
{
    TmsAddressList list;
    list.Add("a@x", "A");
    TmsAddressList copy = list;
    copy.Items(0).SetName("changed");
    copy.Add("b@x");
    EXPECT_EQ(list.Items(0).Name(), "A");
    EXPECT_EQ(list.Count(), 1);

    TmsAttList atts;
    atts.Add().SetData("bytes");
    TmsMessage m;
    m.SetAttachments(atts);
    atts.Items(0).SetData("other");
    EXPECT_EQ(m.Attachments().Items(0).Data(), "bytes");

    EXPECT_THROW(list.Items(1), EMessageError);
    EXPECT_THROW(atts.Items(-1), EMessageError);
}

TEST(MessageModel, CheckMessage)
{
    struct Case {
        std::string sender;
        std::string to, cc, bcc;
        std::string error;
    } cases[] = {
        {"", "a@x", "", "", "The address of sender is required"},
        {"me@x", "", "", "", "At least one Recipient, CC or BCC must be entered"},
        {"me@x", "a@x", "", "", ""},
        {"me@x", "", "c@x", "", ""},
        {"me@x", "", "", "b@x", ""},
    };
    for (const auto& c : cases) {
        TmsMessage m;
        m.Sender().SetAddress(c.sender);
        // An entry without an address counts for nothing.
        m.Recipients().Add("", "Nobody");
        if (!c.to.empty()) m.Recipients().Add(c.to);
        if (!c.cc.empty()) m.CC().Add(c.cc);
        if (!c.bcc.empty()) m.BCC().Add(c.bcc);
        try {
            m.CheckMessage();
            EXPECT_EQ(c.error, "") << c.sender << c.to << c.cc << c.bcc;
        } catch (const EMessageError& e) {
            EXPECT_EQ(e.Message(), c.error) << c.sender << c.to << c.cc << c.bcc;
        }
    }
    EXPECT_EQ(MailString(57100), "The address of sender is required");
}

TEST(MessageModel, ContentTypeResolution)
{
    struct Case {
        TMsgEncoding encoding;
        std::vector<std::string> body;
        std::vector<std::string> files;
        std::string stored;
        std::string type;
    } cases[] = {
        {meUU, {"x"}, {"a.bin"}, "", ""},
        {meMIME, {}, {}, "", "text/plain"},
        {meMIME, {"x"}, {}, "", "text/plain"},
        {meMIME, {"x"}, {}, "Text/HTML", "text/html"},
        {meMIME, {}, {"a.bin"}, "", "application/x-a"},
        {meMIME, {}, {"a.bin", "b.bin"}, "", "multipart/mixed"},
        {meMIME, {"x"}, {"a.bin"}, "text/html", "multipart/mixed"},
        {meMIME, {}, {"dir/_alt.txt", "_ALT.HTM"}, "", "multipart/alternative"},
        {meMIME, {"x"}, {"_alt.txt"}, "", "multipart/alternative"},
        {meMIME, {}, {"_alt.txt", "a.bin"}, "", "multipart/mixed"},
        {meMIME, {}, {"c:\\x\\_HTMBODY.htm"}, "", "text/html"},
        {meMIME, {}, {"_rtfbody.rtf"}, "", "text/rtf"},
        {meMIME, {"x"}, {"_rtfbody.rtf"}, "", "multipart/mixed"},
    };
    for (const auto& c : cases) {
        TmsMessage m;
        m.SetEncoding(c.encoding);
        m.Body() = c.body;
        if (!c.stored.empty()) m.SetContentType(c.stored);
        for (const auto& f : c.files) {
            auto& a = m.Attachments().Add();
            a.SetFileName(f);
            a.SetContentType("Application/X-" + f.substr(0, 1));
        }
        EXPECT_EQ(m.ContentType(), c.type) << c.stored << " " << c.files.size();
    }
}

TEST(MessageModel, ContentTypeIsKeptInLowerCaseAndFollowsAttachmentReplacement)
{
    TmsMessage m;
    EXPECT_EQ(m.ContentType(), "text/plain");
    m.Body() = {"x"};
    m.SetContentType("TEXT/Html");
    EXPECT_EQ(m.ContentType(), "text/html");
    TmsAttList atts;
    atts.Add().SetFileName("a.bin");
    m.SetAttachments(atts);
    m.Attachments().Clear();
    // Replacing the attachments stored "multipart/mixed"; the body alone keeps it.
    EXPECT_EQ(m.ContentType(), "multipart/mixed");
    m.SetAttachments(TmsAttList());
    EXPECT_EQ(m.ContentType(), "text/plain");
}

TEST(MessageModel, ClearEmptiesTheMessage)
{
    TmsMessage m;
    Address(m);
    m.Sender().SetName("n");
    m.CC().Add("c@x");
    m.BCC().Add("b@x");
    m.SetSubject("s");
    m.Body() = {"x"};
    m.Headers() = {"X-A: 1"};
    m.Attachments().Add();
    m.SetEncoding(meUU);
    m.SetCharSet(csISO8859);
    m.SetContentType("text/html");
    m.SetPriority(ptHigh);
    m.Clear();
    EXPECT_TRUE(m.Sender().Name().empty() && m.Sender().Address().empty());
    EXPECT_EQ(m.Recipients().Count() + m.CC().Count() + m.BCC().Count() + m.Attachments().Count(), 0);
    EXPECT_TRUE(m.Subject().empty() && m.Body().empty() && m.Headers().empty());
    EXPECT_EQ(m.Encoding(), meMIME);
    EXPECT_EQ(m.CharSet(), csUSASCII);
    m.Body() = {"x"};
    EXPECT_EQ(m.ContentType(), "text/plain");
}

TEST(Attachments, TransferEncodingFollowsTheType)
{
    struct Case {
        std::string type;
        uint8_t encoding;
    } cases[] = {{"text/plain", teQuotedPrintable}, {"TEXT/HTML", teQuotedPrintable}, {"text/rtf", teQuotedPrintable},
                 {"Message/RFC822", te7Bit},         {"text/css", teBase64},          {"application/octet-stream", teBase64},
                 {"", teBase64}};
    for (const auto& c : cases) EXPECT_EQ(TransferEncodingForType(c.type), c.encoding) << c.type;
}

TEST(Attachments, SystemTableGivesTheType)
{
    if (!std::filesystem::exists("/etc/mime.types")) GTEST_SKIP() << "no /etc/mime.types here";
    TMimeTable table;
    table.LoadFromFile("/etc/mime.types");
    struct Case {
        std::string name, ext;
    } cases[] = {{"a.txt", "txt"}, {"dir/B.HTML", "html"}, {"x.zip", "zip"}, {"m.eml", "eml"}};
    for (const auto& c : cases) {
        TmsAttItem item;
        item.SetFileName(c.name);
        std::string expected = table.TypeOfExtension(c.ext);
        ASSERT_FALSE(expected.empty()) << c.ext;
        EXPECT_EQ(item.ContentType(), expected);
        EXPECT_EQ(item.TransferEncoding(), TransferEncodingForType(expected));
    }
    for (const std::string name : {"noextension", "x.no-such-extension-here", "dir.d/file"}) {
        TmsAttItem item;
        item.SetFileName(name);
        EXPECT_EQ(item.ContentType(), "application/octet-stream") << name;
        EXPECT_EQ(item.TransferEncoding(), teBase64) << name;
    }
    // An empty name changes neither.
    TmsAttItem item;
    item.SetContentType("text/x-kept");
    item.SetFileName("");
    EXPECT_EQ(item.ContentType(), "text/x-kept");
}

TEST(Attachments, MimeTableFormat)
{
    TTempDir dir;
    dir.Write("mime.types", "# comment text/x-no  no\n"
                            "text/plain   txt TEXT\n"
                            "\n"
                            "application/x-first  dup # trailing comment ignored\n"
                            "application/x-second dup\n"
                            "Image/PNG png\n"
                            "application/x-lonely\n");
    TMimeTable table;
    table.LoadFromFile(dir.File("mime.types"));
    struct Case {
        std::string ext, type;
    } cases[] = {{"txt", "text/plain"}, {"Text", "text/plain"},  {"dup", "application/x-first"},
                 {"PNG", "image/png"},  {"no", ""},             {"ignored", ""}, {"", ""}};
    for (const auto& c : cases) EXPECT_EQ(table.TypeOfExtension(c.ext), c.type) << c.ext;

    TMimeTable none;
    none.LoadFromFile(dir.File("missing"));
    EXPECT_EQ(none.TypeOfExtension("txt"), "");
}

TEST(Attachments, SaveAttachmentWritesIntoTheFolder)
{
    TTempDir dir;
    TmsMessage m;
    auto& a = m.Attachments().Add();
    a.SetFileName("plain.bin");
    a.SetData(std::string("\0\1\2", 3));
    auto& b = m.Attachments().Add();
    b.SetFileName("../../escape.txt");
    b.SetData("b");
    auto& c = m.Attachments().Add();
    c.SetFileName("c:\\win\\style.txt");
    c.SetData("c");

    dir.Write("plain.bin", "an older, longer file");
    std::string folder = dir.Path().substr(0, dir.Path().size() - 1); // without the trailing slash
    m.SaveAttachment(0, folder);
    m.SaveAttachment(1, dir.Path());
    m.SaveAttachment(2, dir.Path());
    EXPECT_EQ(dir.Read("plain.bin"), std::string("\0\1\2", 3));
    EXPECT_EQ(dir.Read("escape.txt"), "b");
    EXPECT_EQ(dir.Read("style.txt"), "c");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "../../escape.txt"));

    for (const std::string bad : {"", "dir/", ".."}) {
        m.Attachments().Items(0).SetFileName(bad);
        EXPECT_THROW(m.SaveAttachment(0, dir.Path()), EMessageError) << bad;
    }
    EXPECT_THROW(m.SaveAttachment(3, dir.Path()), EMessageError);
    EXPECT_THROW(m.SaveAttachment(1, dir.File("no-such-folder")), EInOutError);
}

TEST(TempFileStream, UniqueReadableAndAlwaysDeleted)
{
    std::string firstPath;
    {
        TTempFileStream a;
        TTempFileStream b;
        firstPath = a.Path();
        EXPECT_NE(a.Path(), b.Path());
        std::string name = std::filesystem::path(a.Path()).filename().string();
        EXPECT_EQ(name.substr(0, 2), "ms");
        EXPECT_EQ(std::filesystem::path(a.Path()).parent_path(), std::filesystem::temp_directory_path());
        struct stat st{};
        ASSERT_EQ(::stat(a.Path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 077, 0u) << "others must not read a mail being sent";

        std::string data("line\r\n\0\xff", 8);
        a << data;
        EXPECT_EQ(a.Size(), 8);
        EXPECT_EQ(a.ReadAll(), data);
        a.Rewind();
        char first[4] = {};
        a.read(first, 4);
        EXPECT_EQ(std::string(first, 4), "line");
    }
    EXPECT_FALSE(std::filesystem::exists(firstPath));

    // Also when the stream is left by an exception.
    std::string path;
    try {
        TTempFileStream s;
        path = s.Path();
        throw std::runtime_error("send failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(path.empty());
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(TempFileStream, MessageSavedIntoItReadsBack)
{
    TmsMessage m;
    Address(m);
    m.Body() = {"x"};
    TTempFileStream s;
    m.SaveToStream(s);
    EXPECT_EQ(s.ReadAll(), SaveText(m));
}

TEST(TempFileStream, FollowsTmpdir)
{
    TTempDir dir;
    const char* old = std::getenv("TMPDIR");
    std::string saved = old ? old : "";
    ::setenv("TMPDIR", dir.Path().c_str(), 1);
    std::string path;
    {
        TTempFileStream s;
        path = s.Path();
        EXPECT_TRUE(std::filesystem::exists(path));
    }
    if (old) ::setenv("TMPDIR", saved.c_str(), 1);
    else ::unsetenv("TMPDIR");
    EXPECT_EQ(std::filesystem::path(path).parent_path(), std::filesystem::path(dir.Path()).parent_path());
    EXPECT_FALSE(std::filesystem::exists(path));
}
