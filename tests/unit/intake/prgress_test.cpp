#include <gtest/gtest.h>

#include "intake/prgress.h"
#include "intake/status.h"
#include "support/scripteddesktop.h"
#include "support/tempdir.h"

TEST(TfrmProgress, PlacementKeepsClearOfTheEdges)
{
    const int w = TfrmProgress::kWidth, h = TfrmProgress::kHeight;
    struct Case {
        TPoint pointer;
        TSize screen;
        TPoint at;
    } cases[] = {
        {{0, 0}, {1024, 768}, {w + 50, h + 50}},
        {{1023, 767}, {1024, 768}, {1024 - 50 - w, 768 - 50 - h}},
        {{500, 400}, {1024, 768}, {500, 400}},
        // A screen too small for both rules: bottom and right win.
        {{0, 0}, {200, 100}, {200 - 50 - w, 100 - 50 - h}},
    };
    for (const auto& c : cases) {
        TPoint at = TfrmProgress::Placement(c.pointer, c.screen, w, h);
        EXPECT_EQ(at.x, c.at.x) << c.pointer.x << "," << c.pointer.y;
        EXPECT_EQ(at.y, c.at.y) << c.pointer.x << "," << c.pointer.y;
    }
}

TEST(TfrmProgress, CaptionShowsTheHostAndCutsTheMiddle)
{
    struct Case {
        std::string url, caption;
    } cases[] = {
        {"http://a/b", "a/b"},
        {"news:comp.lang.c", "news:comp.lang.c"},
        {"ftp://" + std::string(32, 'x'), std::string(32, 'x')},
        {"http://www.example.com/" + std::string(60, 'p') + "/setup-1.2.zip",
         "www.example.com.../setup-1.2.zip"},
        {"http://" + std::string(33, 'h'), std::string(15, 'h') + "..." + std::string(14, 'h')},
    };
    for (const auto& c : cases) EXPECT_EQ(TfrmProgress::ProgressCaption(c.url), c.caption) << c.url;
}

TEST(ShowTransientMessage, ClosesAfterTwoSecondsThenRecordsRequesting)
{
    TTempRoot root;
    ScriptedDesktop desk;
    desk.cursor = {0, 0};
    std::string shownText;
    bool barHidden = false;
    desk.OnShowModal = [&](TForm& form) {
        auto& notice = static_cast<TfrmProgress&>(form);
        shownText = notice.Label1.Caption();
        barHidden = !notice.ProgressBar1.Visible();
        EXPECT_EQ(notice.Bounds().left, TfrmProgress::kWidth + 50);
        return mrNone;   // nothing the user does closes it; its timer does
    };
    ResetStatus();
    ShowTransientMessage("Duplicate Request");
    EXPECT_EQ(shownText, "Duplicate Request");
    EXPECT_TRUE(barHidden);
    EXPECT_EQ(desk.NowMs(), 2000);
    EXPECT_EQ(LastStatus(), "Requesting");
    EXPECT_NE(root.Read("DebugLog.Txt").find(": Requesting\r\n"), std::string::npos);
    EXPECT_EQ(desk.formsCreated, std::vector<std::string>{"TfrmProgress"});
    EXPECT_EQ(desk.formsDestroyed, 1);
}
