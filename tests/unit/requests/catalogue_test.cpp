#include <gtest/gtest.h>

#include <cstdio>

#include "core/exception.h"
#include "requests/catalogue.h"
#include "requests/prefs.h"
#include "unit/requests/fixture.h"

namespace {
std::vector<std::string> Lines(const TComboBox& list) { return list.Items().Lines(); }

struct Catalogue : ::testing::Test, TRequestsFixture {};
} // namespace

TEST_F(Catalogue, ListsEachHeaderByTypeInFileOrder)
{
    root.Write("uservers.dat",
               "; comment\r\n"
               "[p1@x.example]\r\nType=0\r\n"
               "[b1@x.example]\r\nType=1\r\n"
               "[f1@x.example]\r\ntype=0x2\r\n"
               "[both@x.example]\r\nType=3\r\n"
               "[none@x.example]\r\nSubject=no type\r\n"
               "[seven@x.example]\r\nType=7\r\n"
               "[blank@x.example] \r\nType=0\r\n"
               " [indented@x.example]\r\nType=0\r\n"
               "[a]b]\r\nType=0\r\n"
               "[p0@x.example]\nType=0\n"
               "[p1@x.example]\r\n");
    root.Write("DistInfo.Dat", "[general]\r\ndistinfo = CD 2026 \r\n");
    // Left from an earlier fill: emptied first.
    pages.Items().Add("stale");
    LoadServerCatalogue(Lists(), window);
    EXPECT_EQ(Prefs().distributionTag, "CD 2026");
    EXPECT_EQ(Lines(pages), (std::vector<std::string>{"p1@x.example", "p0@x.example", "p1@x.example"}));
    EXPECT_EQ(Lines(binary), (std::vector<std::string>{"b1@x.example", "both@x.example"}));
    EXPECT_EQ(Lines(ftp), (std::vector<std::string>{"f1@x.example"}));
    // No settings and no suggestions: the first line of each, no question.
    EXPECT_EQ(pages.ItemIndex(), 0);
    EXPECT_EQ(binary.ItemIndex(), 0);
    EXPECT_EQ(ftp.ItemIndex(), 0);
    EXPECT_TRUE(desk.shown.empty());
    EXPECT_NE(root.Read("DebugLog.Txt").find(": Loaded Server File\r\n"), std::string::npos);
}

TEST_F(Catalogue, ThousandsOfSectionsAreListed)
{
    // Read in one pass: a pass per section took 24 s for these at start.
    std::string text;
    for (int i = 0; i < 4000; ++i)
        text += "[s" + std::to_string(i) + "@x.example]\r\nSubject=s\r\nType=" + std::to_string(i % 4) + "\r\n";
    root.Write("uservers.dat", text);
    LoadServerCatalogue(Lists(), window);
    EXPECT_EQ(pages.Items().Count(), 1000);
    EXPECT_EQ(binary.Items().Count(), 2000);
    EXPECT_EQ(ftp.Items().Count(), 1000);
    EXPECT_EQ(binary.Items()[1999], "s3999@x.example");
}

TEST_F(Catalogue, MissingCatalogueFailsBeforeTouchingTheLists)
{
    pages.Items().Add("kept");
    try {
        LoadServerCatalogue(Lists(), window);
        FAIL() << "no error for a missing catalogue";
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "File not found");
    }
    EXPECT_EQ(Lines(pages), std::vector<std::string>{"kept"});
    EXPECT_EQ(root.Read("DebugLog.Txt").find("Loaded Server File"), std::string::npos);
}

TEST(SelectServerByName, LastExactMatchElseFirstLine)
{
    struct Case {
        std::vector<std::string> items;
        const char* name;
        int expected;
    } cases[] = {
        {{"a", "b", "c"}, "b", 1},
        {{"a", "b", "a"}, "a", 2},
        {{"a", "b"}, "B", 0},
        {{"a", "b"}, "", 0},
        {{}, "a", -1},
    };
    for (const auto& c : cases) {
        TComboBox list;
        list.Items().Assign(c.items);
        SelectServerByName(list, c.name);
        EXPECT_EQ(list.ItemIndex(), c.expected) << c.name;
    }
}

TEST_F(Catalogue, CachesFollowTheSelectedServerAndTheFormat)
{
    root.Write("uservers.dat",
               "[bin@x.example]\r\nverbBinaryHttp=getbin\r\nfileBinaryHttpU=u.tpl\r\nfileBinaryHttpM=m.tpl\r\n"
               "[bare@x.example]\r\n"
               "[page@x.example]\r\nverbPagesHttp = send \r\nfilePagesHttp=p.tpl\r\n");
    binary.Items().Assign({"bin@x.example", "bare@x.example"});
    binary.SetItemIndex(0);
    struct Case {
        int format;
        const char* binaryTemplate;
    } cases[] = {{0, "u.tpl"}, {1, "m.tpl"}, {2, "u.tpl"}, {7, "u.tpl"}};   // 7 keeps what was there
    for (const auto& c : cases) {
        Prefs().binaryFormat = c.format;
        CacheBinaryServer(binary);
        EXPECT_EQ(Prefs().binaryVerb, "getbin ");
        EXPECT_EQ(Prefs().binaryTemplate, c.binaryTemplate) << c.format;
    }
    binary.SetItemIndex(1);
    Prefs().binaryFormat = 1;
    CacheBinaryServer(binary);
    EXPECT_EQ(Prefs().binaryVerb, " ");
    EXPECT_EQ(Prefs().binaryTemplate, "");

    pages.Items().Assign({"page@x.example"});
    pages.SetItemIndex(0);
    CachePageServer(pages);
    EXPECT_EQ(Prefs().pageVerb, "send ");
    EXPECT_EQ(Prefs().pageTemplate, "p.tpl");
}
