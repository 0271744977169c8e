#include <gtest/gtest.h>

#include "intake/capture.h"

TEST(IsSupportedUrl, SchemesLinesAndBlanks)
{
    struct Case {
        std::string text;
        bool supported;
    } cases[] = {
        {"http://host/", true},
        {"HTTP://HOST/", true},
        {"ftp://host/file", true},
        {"news:group", true},
        {"gopher://host/", true},
        {"https://host/", true},
        {"HTTPS://host/", true},
        {"mailto:x@y", false},
        {"https:/host/", false},
        {" http://host/", false},
        {"http://host/\r\nmore", false},
        {"http://host/\nmore", false},
        {"http://host/\n", false},   // clean the edges first
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsSupportedUrl(c.text), c.supported) << c.text;
}

TEST(CleanEdges, TrailingBlanksAndOneLineBreakGo)
{
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"http://host/page.html\n", "http://host/page.html"},
        {"http://host/page.html\r\n", "http://host/page.html"},
        {"http://host/page.html \t\r\n", "http://host/page.html"},
        {"http://host/page.html\n  ", "http://host/page.html"},
        {"http://host/a\n\n", "http://host/a\n"},   // only one line break
        {"http://host/a\r", "http://host/a\r"},      // a lone CR is no line end here
        {" http://host/ ", " http://host/"},          // the front stays as it is
        {"http://host/a\nb\n", "http://host/a\nb"},
    };
    for (const auto& c : cases) EXPECT_EQ(CleanEdges(c.in), c.out) << c.in;
}

TEST(UnsupportedUrlReason, OnlyTextThatLooksLikeALinkGetsOne)
{
    struct Case {
        const char* text;
        const char* reason;
    } cases[] = {
        {"mailto:x@y", "mailto: URLs are not supported"},
        {"FILE:///etc/motd", "file: URLs are not supported"},
        {"svn+ssh://host/repo", "svn+ssh: URLs are not supported"},
        {"https://host/", ""},
        {"news:group", ""},
        {"Note: see page 4", ""},
        {"c:\\temp", ""},
        {"mailto:", ""},
        {"just words", ""},
        {"mailto:x\ny", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(UnsupportedUrlReason(c.text), c.reason) << c.text;
}

TEST(WithPathSlash, OnlySchemesWithAPath)
{
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"http://host", "http://host/"},
        {"https://host", "https://host/"},
        {"ftp://host", "ftp://host/"},
        {"gopher://host", "gopher://host/"},
        {"http://host/a", "http://host/a"},
        {"news:comp.os.linux.announce", "news:comp.os.linux.announce"},
    };
    for (const auto& c : cases) EXPECT_EQ(WithPathSlash(c.in), c.out) << c.in;
}

TEST(NormaliseUrl, EmbeddedTargetsAndFragments)
{
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"http://host/page.html#part", "http://host/page.html"},
        {"http://gate/cgi?go=http://site/file.zip", "http://site/file.zip"},
        {"http://gate/?ftp://site/file", "ftp://site/file"},
        {"http://gate/?u=http://a/#x&ftp://b/c", "ftp://b/c"},   // ftp wins over a second http
        {"HTTP://gate/?u=HTTP://site/x", "HTTP://site/x"},
        {"ftp://host/a#b", "ftp://host/a#b"},
        {"news:group#x", "news:group#x"},
        {"https://host/page.html#part", "https://host/page.html"},
        {"https://gate/?u=http://site/a.zip", "http://site/a.zip"},
        {"http://gate/?u=https://site/a.zip", "https://site/a.zip"},
        {"https://gate/?u=https://site/#x", "https://site/#x"},
        {"https://gate/?ftp://site/file", "ftp://site/file"},
        {"http://host/", "http://host/"},
    };
    for (const auto& c : cases) EXPECT_EQ(NormaliseUrl(c.in), c.out) << c.in;
}
