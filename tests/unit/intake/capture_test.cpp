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
        {"mailto:x@y", false},
        {"https://host/", false},
        {" http://host/", false},
        {"http://host/\r\nmore", false},
        {"http://host/\nmore", true},   // composition refuses it later
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsSupportedUrl(c.text), c.supported) << c.text;
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
        {"http://host/", "http://host/"},
    };
    for (const auto& c : cases) EXPECT_EQ(NormaliseUrl(c.in), c.out) << c.in;
}
