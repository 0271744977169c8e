#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "mail/mimetypes.h"
#include "mail/tempfile.h"
#include "msg_testing.h"
#include "support/filesizelimit.h"
#include "support/tempdir.h"

TEST(MessageModel, ListsAreCopiedDeepAndCheckTheirIndex)
{
    TmsAddressList list;
    list.Add("a@x", std::string(300, 'n'));
    EXPECT_EQ(list.Items(0).Name().size(), 255u);
    TmsAddressList copy = list;
    copy.Items(0).SetName("changed");
    EXPECT_EQ(list.Items(0).Name().size(), 255u);

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
        std::string sender, to, cc, bcc, error;
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
        m.Recipients().Add("", "Nobody"); // an entry without an address counts for nothing
        if (!c.to.empty()) m.Recipients().Add(c.to);
        if (!c.cc.empty()) m.CC().Add(c.cc);
        if (!c.bcc.empty()) m.BCC().Add(c.bcc);
        std::string error;
        try {
            m.CheckMessage();
        } catch (const EMessageError& e) {
            error = e.Message();
        }
        EXPECT_EQ(error, c.error) << c.sender << c.to << c.cc << c.bcc;
    }
}

TEST(MessageModel, ContentTypeResolution)
{
    struct Case {
        TMsgEncoding encoding;
        std::vector<std::string> body, files;
        std::string stored, type;
    } cases[] = {
        {meUU, {"x"}, {"a.bin"}, "", ""},
        {meMIME, {}, {}, "", "text/plain"},
        {meMIME, {"x"}, {}, "Text/HTML", "text/html"},
        {meMIME, {}, {"a.bin"}, "", "application/x-a"},
        {meMIME, {}, {"a.bin", "b.bin"}, "", "multipart/mixed"},
        {meMIME, {"x"}, {"a.bin"}, "text/html", "multipart/mixed"},
        {meMIME, {"x"}, {"dir/_alt.txt", "_ALT.HTM"}, "", "multipart/alternative"},
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
    // Replacing the attachments as a whole stores a type the body alone keeps.
    TmsMessage m;
    m.Body() = {"x"};
    TmsAttList atts;
    atts.Add();
    m.SetAttachments(atts);
    m.Attachments().Clear();
    EXPECT_EQ(m.ContentType(), "multipart/mixed");
    m.Clear();
    m.Body() = {"x"};
    EXPECT_EQ(m.ContentType(), "text/plain");
}

TEST(Attachments, TypeAndEncodingFromTheSystemTable)
{
    if (!std::filesystem::exists("/etc/mime.types")) GTEST_SKIP() << "no /etc/mime.types here";
    std::pair<std::string, uint8_t> cases[] = {
        {"a.txt", teQuotedPrintable}, {"dir/B.HTML", teQuotedPrintable}, {"m.eml", te7Bit}, {"x.zip", teBase64}};
    for (const auto& [name, encoding] : cases) {
        TmsAttItem item;
        item.SetFileName(name);
        EXPECT_NE(item.ContentType(), "application/octet-stream") << name;
        EXPECT_EQ(item.TransferEncoding(), encoding) << name;
    }
    for (const std::string name : {"noextension", "x.no-such-extension-here", "dir.d/file"}) {
        TmsAttItem item;
        item.SetFileName(name);
        EXPECT_EQ(item.ContentType(), "application/octet-stream") << name;
        EXPECT_EQ(item.TransferEncoding(), teBase64) << name;
    }
}

TEST(Attachments, MimeTableFormat)
{
    TTempDir dir;
    dir.Write("mime.types", "# comment text/x-no  no\n"
                            "text/plain   txt TEXT\n\n"
                            "application/x-first  dup # trailing comment ignored\n"
                            "application/x-second dup\n"
                            "Image/PNG png\n");
    TMimeTable table;
    table.LoadFromFile(dir.File("mime.types"));
    std::pair<std::string, std::string> cases[] = {{"Text", "text/plain"}, {"dup", "application/x-first"},
                                                   {"PNG", "image/png"},   {"no", ""},
                                                   {"ignored", ""},        {"", ""}};
    for (const auto& [ext, type] : cases) EXPECT_EQ(table.TypeOfExtension(ext), type) << ext;
    TMimeTable none;
    none.LoadFromFile(dir.File("missing"));
    EXPECT_EQ(none.TypeOfExtension("txt"), "");
}

TEST(Attachments, SaveAttachmentStaysInTheFolder)
{
    TTempDir dir;
    TmsMessage m;
    std::pair<std::string, std::string> files[] = {
        {"plain.bin", std::string("\0\1\2", 3)}, {"../../escape.txt", "b"}, {"c:\\win\\style.txt", "c"}};
    for (const auto& [name, data] : files) {
        auto& a = m.Attachments().Add();
        a.SetFileName(name);
        a.SetData(data);
    }
    dir.Write("plain.bin", "an older, longer file");
    m.SaveAttachment(0, dir.Path().substr(0, dir.Path().size() - 1)); // no trailing slash
    m.SaveAttachment(1, dir.Path());
    m.SaveAttachment(2, dir.Path());
    EXPECT_EQ(dir.Read("plain.bin"), files[0].second);
    EXPECT_EQ(dir.Read("escape.txt"), "b");
    EXPECT_EQ(dir.Read("style.txt"), "c");
    {
        // A full disk: the file saved before stays whole, no scrap is left.
        TFileSizeLimit full(16);
        m.Attachments().Items(0).SetData(std::string(64, 'x'));
        EXPECT_THROW(m.SaveAttachment(0, dir.Path()), EInOutError);
    }
    EXPECT_EQ(dir.Read("plain.bin"), files[0].second);
    auto entries = std::filesystem::directory_iterator(dir.Path());
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 3);

    for (const std::string bad : {"", "dir/", ".."}) {
        m.Attachments().Items(0).SetFileName(bad);
        EXPECT_THROW(m.SaveAttachment(0, dir.Path()), EMessageError) << bad;
    }
    EXPECT_THROW(m.SaveAttachment(3, dir.Path()), EMessageError);
    EXPECT_THROW(m.SaveAttachment(1, dir.File("no-such-folder")), EInOutError);
}

TEST(TempFileStream, PrivateUniqueReadableAndAlwaysDeleted)
{
    TTempDir dir;
    const char* old = std::getenv("TMPDIR");
    std::string saved = old ? old : "";
    ::setenv("TMPDIR", dir.Path().c_str(), 1);
    std::string first, second;
    try {
        TTempFileStream a, b;
        first = a.Path();
        second = b.Path();
        EXPECT_EQ(std::filesystem::path(first).filename().string().substr(0, 2), "ms");
        EXPECT_EQ(std::filesystem::path(first).parent_path(), std::filesystem::path(dir.Path()).parent_path());
        struct stat st{};
        ASSERT_EQ(::stat(first.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 077, 0u) << "others must not read a mail being sent";

        TmsMessage m;
        Address(m);
        m.Body() = {"x"};
        m.SaveToStream(a);
        std::string text = SaveText(m);
        EXPECT_EQ(WithoutStamp(a.ReadAll()), text);
        a.Rewind();
        char head[5] = {};
        a.read(head, 5);
        EXPECT_EQ(std::string(head, 5), "From:");
        throw std::runtime_error("send failed");
    } catch (const std::runtime_error&) {
    }
    if (old) ::setenv("TMPDIR", saved.c_str(), 1);
    else ::unsetenv("TMPDIR");
    EXPECT_NE(first, second);
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_FALSE(std::filesystem::exists(second));
}
