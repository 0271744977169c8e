#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <regex>
#include <sstream>
#include <vector>

#include "support/mailstamp.h"
#include "core/clock.h"
#include "mail/msmsg.h"
#include "mail/mssmtp.h"
#include "requests/compose.h"
#include "requests/prefs.h"
#include "support/tempdir.h"

namespace {
const char* const kPages = "pages@x.example";
const char* const kBinary = "bin@x.example";
const char* const kFtp = "ftp@x.example";

const char* const kCatalogue = "[pages@x.example]\r\nType=0\r\nSubject=page please\r\n"
                               "[bin@x.example]\r\nType=1\r\nSubject=file please\r\nverbSplit=split\r\n"
                               "[bin2@x.example]\r\nType=1\r\nSubject=other\r\nverbSplit=sp\xFE\r\n"
                               "[ftp@x.example]\r\nType=2\r\nSubject=ftp please\r\nopen=open\r\nbinary=binary\r\n"
                               "uuencode=uuenc\r\nmime=mime\r\nbtoa=btoa\r\nverbSplit=split\r\nverbSplitsuffix=k\r\n"
                               "nosplit=nosplit\r\ncd=chdir\r\nls=dir\r\n";

// A program folder with a catalogue and extension lists, the caches of a
// page robot "send" and a binary robot "getbin" without templates, MIME
// replies split at 60 kB, and a clock that stands still until moved.
struct Compose : ::testing::Test {
    Compose()
    {
        saved = Prefs();
        SetClockForTests([this] { return now; });
        root.Write("uservers.dat", kCatalogue);
        root.Write("nbinary.ext", "html\r\nasp\r\n");
        root.Write("unbinary.txt", "txt\nmisc\n");
        Prefs().pageVerb = "send ";
        Prefs().pageTemplate = "";
        Prefs().binaryVerb = "getbin ";
        Prefs().binaryTemplate = "";
        Prefs().binaryFormat = 1;
        Prefs().splitFiles = true;
        Prefs().chunkSize = 60;
        Prefs().lastHistoryTime = 0;
    }
    ~Compose() override
    {
        Prefs() = saved;
        SetClockForTests({});
    }

    // What the log holds, and a fresh log for the next step.
    std::string TakeLog()
    {
        std::string text = root.Read("DebugLog.Txt");
        std::filesystem::remove(root.File("DebugLog.Txt"));
        return text;
    }
    std::string LogOf(std::initializer_list<std::string> messages) const
    {
        std::string text;
        for (const auto& m : messages)
            text += DateTimeToStr(now) + ": " + m + "\r\n";
        return text;
    }
    // A message as a previous request left it.
    void Stale(TmsMessage& message)
    {
        message.Recipients().Add("old@x.example");
        message.CC().Add("cc@x.example");
        message.BCC().Add("bcc@x.example");
        message.Body() = {"old body"};
        message.SetSubject("old subject");
        message.Sender().SetAddress("old@home.example");
        smtp.SetServer("old.smtp.example");
    }
    bool Prepare(const std::string& url, TmsMessage& message) { return PrepareRequest(url, source, message, smtp); }

    TTempRoot root;
    TPrefs saved;
    TDateTime now = EncodeDateTime(2026, 3, 14, 9, 30, 0);
    TRequestSource source{kPages, kBinary, kFtp, "me@home.example", "smtp.home.example", ""};
    TmsSMTP smtp;
};

std::vector<std::string> Addresses(const TmsAddressList& list)
{
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list.Items(i).Name() + "<" + list.Items(i).Address() + ">");
    return out;
}
} // namespace

TEST_F(Compose, EachUrlFormGoesToItsRobotWithItsBody)
{
    enum Kind { Refused, Unknown, Page, Binary, Ftp };
    struct Case {
        std::string url;
        Kind kind;
        std::string body;
    } cases[] = {
        {"https://host1/a.zip", Binary, "getbin  https://host1/a.zip"},
        {"HTTPS://host1/page.html", Page, "send HTTPS://host1/page.html"},
        {"mailto:x@host1", Unknown, ""},
        {"ftp:/host1/kit.zip", Unknown, ""},
        {"HTTP://HOST1/A.ZIP", Binary, "getbin  HTTP://HOST1/A.ZIP"},
        // Looked up in lower case; a listed line counts when it begins with
        // the extension, and not the other way round.
        {"HTTP://HOST1/INDEX.HTM", Page, "send HTTP://HOST1/INDEX.HTM"},
        {"http://host1/index.html", Page, "send http://host1/index.html"},
        {"http://host1/index.htmlx", Binary, "getbin  http://host1/index.htmlx"},
        {"http://host1/dir/", Page, "send http://host1/dir/"},
        {"http://host1/page.asp?id=7", Page, "send http://host1/page.asp?id=7"},
        {"http://host1/page.zip?id=7", Binary, "getbin  http://host1/page.zip?id=7"},
        {"http://host1/page.asp?v=1.2", Page, "send http://host1/page.asp?v=1.2"},
        {"http://www.host1.com/download", Page, "send http://www.host1.com/download"},
        {"http://host1/download", Page, "send http://host1/download"},
        {"http://www.host1.com", Binary, "getbin  http://www.host1.com"},
        {"http://host1/cgi?file=a.zip", Binary, "getbin  http://host1/cgi?file=a.zip"},
        {"http://host1/cgi?file=a.txt", Page, "send http://host1/cgi?file=a.txt"},
        {"news:comp.os.misc", Page, "send news:comp.os.misc"},
        {"Gopher://host1/9/kit.zip", Binary, "getbin  Gopher://host1/9/kit.zip"},
        {"ftp://host1/kit.zip", Ftp, "open host1\r\nbinary\r\nmime\r\nsplit 60k\r\nget kit.zip\r\nquit\r\n"},
        {"ftp://host1/pub/", Ftp, "open host1\r\nbinary\r\nmime\r\nsplit 60k\r\nchdir /pub\r\ndir\r\nquit\r\n"},
        {"ftp://host1", Ftp, "open \r\nbinary\r\nmime\r\nsplit 60k\r\nget host1\r\nquit\r\n"},
        {"FTP://host1/pub/tools/kit.zip", Ftp,
         "open host1\r\nbinary\r\nmime\r\nsplit 60k\r\nchdir /pub/tools\r\nget kit.zip\r\nquit\r\n"},
        {"http://host1/a b.zip", Refused, ""},
        {"ftp://host1/a b", Refused, ""},
        {"http://host1/a\nquit", Refused, ""},
        {"http://host1/a\rquit", Refused, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        TmsMessage message;
        Stale(message);
        TakeLog();
        bool composes = c.kind == Page || c.kind == Binary || c.kind == Ftp;
        EXPECT_EQ(Prepare(c.url, message), composes);

        if (c.kind == Refused) {
            // Refused before anything is touched or logged.
            EXPECT_EQ(Addresses(message.Recipients()), std::vector<std::string>{"<old@x.example>"});
            EXPECT_EQ(message.Body(), std::vector<std::string>{"old body"});
            EXPECT_EQ(message.Sender().Address(), "old@home.example");
            EXPECT_EQ(smtp.Server(), "old.smtp.example");
            EXPECT_EQ(TakeLog(), "");
            continue;
        }
        // Sender and SMTP server are set whether or not there is a request.
        EXPECT_EQ(message.Sender().Address(), "me@home.example");
        EXPECT_EQ(smtp.Server(), "smtp.home.example");
        EXPECT_EQ(message.CC().Count(), 0);
        EXPECT_EQ(message.BCC().Count(), 0);
        switch (c.kind) {
        case Unknown:
            EXPECT_EQ(message.Recipients().Count(), 0);
            EXPECT_TRUE(message.Body().empty());
            EXPECT_EQ(message.Subject(), "old subject");
            EXPECT_EQ(TakeLog(), "");
            break;
        case Page:
        case Binary: {
            std::string to = c.kind == Page ? kPages : kBinary;
            std::string subject = c.kind == Page ? "page please" : "file please";
            EXPECT_EQ(Addresses(message.Recipients()), std::vector<std::string>{"<" + to + ">"});
            EXPECT_EQ(message.Subject(), subject);
            EXPECT_EQ(message.Body(), std::vector<std::string>{c.body});
            EXPECT_EQ(TakeLog(), LogOf({"To: " + to, "Subject: " + subject, "Body: " + c.body}));
            break;
        }
        case Ftp:
            EXPECT_EQ(Addresses(message.Recipients()), std::vector<std::string>{"<ftp@x.example>"});
            // The FTP robot's own subject replaces whatever the message last carried.
            EXPECT_EQ(message.Subject(), "ftp please");
            EXPECT_EQ(message.Body(), std::vector<std::string>{c.body});
            EXPECT_EQ(TakeLog(), LogOf({"To: ftp@x.example", "Body: " + c.body}));
            break;
        default:
            break;
        }
    }
}

TEST_F(Compose, FtpFormatAndSplitLinesFollowThePreferences)
{
    struct Case {
        int format;
        bool split;
        int chunk;
        const char* lines;
    } cases[] = {
        {0, false, 60, "uuenc\r\nnosplit\r\n"},
        {1, true, 60, "mime\r\nsplit 60k\r\n"},
        {2, true, 1024, "btoa\r\nsplit 1024k\r\n"},
    };
    for (const auto& c : cases) {
        Prefs().binaryFormat = c.format;
        Prefs().splitFiles = c.split;
        Prefs().chunkSize = c.chunk;
        EXPECT_EQ(FtpRequestBody("ftp://h.example/f.tgz", kFtp),
                  std::string("open h.example\r\nbinary\r\n") + c.lines + "get f.tgz\r\nquit\r\n")
            << c.format;
    }
}

TEST_F(Compose, ExtensionListsAreReadForEveryTestAndMayBeMissing)
{
    std::filesystem::remove(root.File("nbinary.ext"));
    std::filesystem::remove(root.File("unbinary.txt"));
    EXPECT_TRUE(IsBinaryUrl("http://host1/a.html"));
    // No extension is always a page.
    EXPECT_FALSE(IsBinaryUrl("http://host1/a"));
    // Lists without a final line end: each list's first line still counts,
    // and only from the beginning of a line.
    root.Write("nbinary.ext", "asp");
    root.Write("unbinary.txt", "html");
    EXPECT_FALSE(IsBinaryUrl("http://host1/a.asp"));
    EXPECT_FALSE(IsBinaryUrl("http://host1/a.html"));
    EXPECT_TRUE(IsBinaryUrl("http://host1/a.tml"));
    EXPECT_TRUE(IsBinaryUrl("http://host1/a.sp"));
}

TEST_F(Compose, FastDuplicateWithinThreeSecondsOfTheHistoryEntry)
{
    const std::string url = "http://host1/index.html";
    TmsMessage message;
    EXPECT_EQ(Prepare(url, message), true);
    // The dispatcher sent it and entered it in the history.
    source.newestHistoryLine = url + " via " + kPages + " on 14/03/26 09:30:00";
    Prefs().lastHistoryTime = now;

    struct Step {
        double seconds;
        std::string url;
        bool result;
    } steps[] = {
        {1.0, url, false},
        {2.9, url, false},
        {2.9, "http://host1/INDEX.html", true}, // the same only without case
        {2.9, "http://host1/other.html", true},
        {3.1, url, true},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(std::to_string(s.seconds) + " " + s.url);
        now = Prefs().lastHistoryTime + s.seconds * kOneSecond;
        Stale(message);
        TakeLog();
        EXPECT_EQ(Prepare(s.url, message), s.result);
        if (!s.result) {
            EXPECT_EQ(TakeLog(), LogOf({"Fast Duplicate Discarded"}));
            EXPECT_EQ(message.Body(), std::vector<std::string>{"old body"});
            EXPECT_EQ(message.Sender().Address(), "old@home.example");
        } else {
            EXPECT_EQ(message.Body(), std::vector<std::string>{"send " + s.url});
        }
    }

    // A history line without a blank has no URL part; an empty history none at all.
    now = Prefs().lastHistoryTime + kOneSecond;
    source.newestHistoryLine = url;
    EXPECT_EQ(Prepare(url, message), true);
    source.newestHistoryLine = "";
    EXPECT_EQ(Prepare(url, message), true);
}

TEST_F(Compose, BinaryTemplatesTakeTheUrlAndTheSplitText)
{
    root.Write("bin.tpl", "ENCODING\r\n\xFD\r\nGET \xFE\r\n\xFE END");
    root.Write("marks.tpl", "\xFE|\xFD");
    root.Write("split-first.tpl", "\xFD \xFE");
    struct Case {
        const char* tpl;
        bool split;
        std::string server;
        std::string url;
        std::string body;
    } cases[] = {
        {"bin.tpl", true, kBinary, "http://host1/kit.zip",
         "ENCODING\r\nsplit 60\r\nGET http://host1/kit.zip\r\nhttp://host1/kit.zip END"},
        {"bin.tpl", false, kBinary, "http://host1/kit.zip",
         "ENCODING\r\n\r\nGET http://host1/kit.zip\r\nhttp://host1/kit.zip END"},
        {"missing.tpl", true, kBinary, "http://host1/kit.zip", ""},
        // Text put in is never taken for a marker.
        {"marks.tpl", true, kBinary, "http://host1/a\xFE\xFD.zip", "http://host1/a\xFE\xFD.zip|split 60"},
        {"split-first.tpl", true, "bin2@x.example", "http://host1/kit.zip", "sp\xFE 60 http://host1/kit.zip"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tpl + std::string(c.split ? " split" : ""));
        Prefs().binaryTemplate = c.tpl;
        Prefs().splitFiles = c.split;
        source.binaryServer = c.server;
        TmsMessage message;
        EXPECT_EQ(Prepare(c.url, message), true);
        EXPECT_EQ(Addresses(message.Recipients()), std::vector<std::string>{"<" + c.server + ">"});
        EXPECT_EQ(message.Body(), std::vector<std::string>{c.body});
    }
}

TEST_F(Compose, PageTemplatesTakeOnlyTheUrl)
{
    root.Write("page.tpl", "GET \xFE\r\n\xFD\r\n");
    root.Write("twice.tpl", "<\xFE><\xFE>");
    struct Case {
        const char* tpl;
        std::string url;
        std::string body;
    } cases[] = {
        {"page.tpl", "http://host1/index.html", "GET http://host1/index.html\r\n\xFD\r\n"},
        {"twice.tpl", "http://host1/\xFE", "<http://host1/\xFE><http://host1/\xFE>"},
        {"missing.tpl", "http://host1/", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tpl);
        Prefs().pageTemplate = c.tpl;
        TmsMessage message;
        EXPECT_EQ(Prepare(c.url, message), true);
        EXPECT_EQ(Addresses(message.Recipients()), std::vector<std::string>{"<pages@x.example>"});
        EXPECT_EQ(message.Body(), std::vector<std::string>{c.body});
    }
}

TEST_F(Compose, TemplatesOutsideTheProgramFolderAreNeverRead)
{
    for (const char* name : {"../outside.tpl", "/etc/hostname", "sub/../../outside.tpl", "..\\outside.tpl"}) {
        SCOPED_TRACE(name);
        Prefs().pageTemplate = name;
        Prefs().binaryTemplate = name;
        for (const char* url : {"http://host1/index.html", "http://host1/kit.zip"}) {
            TmsMessage message;
            EXPECT_THROW(Prepare(url, message), EInOutError) << url;
        }
    }
}

TEST_F(Compose, RequestMailAsWritten)
{
    root.Write("bin.tpl", "ENCODING MIME\r\n\xFD\r\nGETBIN \xFE\r\nEND\r\n");
    const std::string head = "From:      <me@home.example>\r\n";
    const std::string tail = "Mime-Version: 1.0\r\n"
                             "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
                             "Content-Transfer-Encoding: 7bit\r\n"
                             "\r\n";
    struct Case {
        std::string url;
        const char* binaryTemplate;
        std::string mail;
    } cases[] = {
        {"http://host1/index.html", "",
         head + "To:        <pages@x.example>\r\nSubject:  page please\r\n" + tail +
             "send http://host1/index.html\r\n"},
        {"http://host1/kit.zip", "",
         head + "To:        <bin@x.example>\r\nSubject:  file please\r\n" + tail + "getbin  http://host1/kit.zip\r\n"},
        {"http://host1/kit.zip", "bin.tpl",
         head + "To:        <bin@x.example>\r\nSubject:  file please\r\n" + tail +
             "ENCODING MIME\r\nsplit 60\r\nGETBIN http://host1/kit.zip\r\nEND\r\n\r\n"},
        {"ftp://host1/pub/tools/kit.zip", "",
         head + "To:        <ftp@x.example>\r\nSubject:  ftp please\r\n" + tail +
             "open host1\r\nbinary\r\nmime\r\nsplit 60k\r\nchdir /pub/tools\r\nget kit.zip\r\nquit\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url + " " + c.binaryTemplate);
        Prefs().binaryTemplate = c.binaryTemplate;
        TmsMessage message;
        ASSERT_EQ(Prepare(c.url, message), true);
        std::ostringstream out;
        message.SaveToStream(out);
        EXPECT_EQ(WithoutStamp(out.str()), c.mail);
    }
}

TEST_F(Compose, ShippedListsFetchPagesAsPagesAndFilesAsFiles)
{
    const std::string shipped = std::string(TOLVAR_TEST_SUPPORT_DIR) + "/../../data/files/";
    for (const char* name : {"nbinary.ext", "unbinary.txt"}) {
        std::ifstream in(shipped + name, std::ios::binary);
        ASSERT_TRUE(in) << name;
        std::stringstream text;
        text << in.rdbuf();
        root.Write(name, text.str());
        // Every line is read as an extension: no comments, no dots, no capitals.
        std::string line;
        while (std::getline(text, line))
            EXPECT_TRUE(std::regex_match(line, std::regex("[a-z0-9]+\r?"))) << name << ": " << line;
    }
    for (const char* page : {"a.htm", "a.html", "a.shtml", "a.asp", "a.aspx?id=1", "a.php", "a.php3", "a.jsp",
                             "cgi-bin/a.cgi?x=y", "a.pl", "a.txt", "a.xml", "a.css", "a.js"})
        EXPECT_FALSE(IsBinaryUrl(std::string("http://host1/") + page)) << page;
    for (const char* file : {"a.zip", "a.exe", "a.tar.gz", "a.tgz", "a.rar", "a.7z", "a.pdf", "a.doc", "a.jpg", "a.png",
                             "a.gif", "a.mp3", "a.iso", "a.com", "a.bin", "a.z", "a.hqx"})
        EXPECT_TRUE(IsBinaryUrl(std::string("http://host1/") + file)) << file;
}
