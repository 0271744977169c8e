#include <gtest/gtest.h>

#include <filesystem>

#include "core/error.h"
#include "intake/histqueue.h"
#include "requests/prefs.h"
#include "support/filesizelimit.h"
#include "support/scripteddesktop.h"
#include "support/tempdir.h"

namespace {
struct Lists : ::testing::Test {
    Lists()
    {
        // Notices close themselves after two virtual seconds.
        hq.SendRequest = [this](const std::string& url) {
            sent.push_back(url);
            EXPECT_TRUE(hq.QueueSending() || !expectQueueSending);
            return sendResult;
        };
        hq.ApplyPreferences = [this] { ++applied; };
        SetErrorBox([this](const std::string& text, int, bool) { reports.push_back(text); });
    }
    ~Lists() override { SetErrorBox(nullptr); }
    void Queue(std::initializer_list<const char*> urls)
    {
        for (const char* u : urls) lstQueue.Items().Add(u);
    }

    TTempRoot root;
    ScriptedDesktop desk;
    TListBox lstHistory{"lstHistory"}, lstQueue{"lstQueue"};
    TCheckBox chkNever{"chkNever"};
    THistoryQueue hq{lstHistory, lstQueue, chkNever};
    std::vector<std::string> sent, reports;
    bool sendResult = true;
    bool expectQueueSending = false;
    int applied = 0;
};
} // namespace

TEST_F(Lists, HistoryKeeps250NewestAndSavesEachInsertion)
{
    for (int i = 1; i <= 251; ++i) hq.AddToHistory("getweb@bymail.example.net", "http://h/" + std::to_string(i));
    ASSERT_EQ(lstHistory.Items().Count(), 250);
    EXPECT_EQ(THistoryQueue::UrlPart(lstHistory.Items()[0]), "http://h/251");
    EXPECT_EQ(THistoryQueue::UrlPart(lstHistory.Items()[249]), "http://h/2");
    EXPECT_EQ(lstHistory.Items()[0], "http://h/251 via getweb@bymail.example.net on 03/14/26 09:26:53");
    EXPECT_EQ(root.Read("History.Dat"), lstHistory.Items().Text());
    EXPECT_EQ(Prefs().lastHistoryTime, Now());
}

TEST_F(Lists, FilesLoadWholeWithAnyLineEnds)
{
    std::string history;
    for (int i = 0; i < 300; ++i) history += "http://h/" + std::to_string(i) + " via s on d t\r\n";
    root.Write("History.Dat", history);
    root.Write("Queue.Dat", "http://a/\rhttp://b/\nhttp://c/\r\nnot a url at all");
    hq.LoadFiles();
    EXPECT_EQ(lstHistory.Items().Count(), 300);
    EXPECT_EQ(lstQueue.Items().Lines(),
              (std::vector<std::string>{"http://a/", "http://b/", "http://c/", "not a url at all"}));
    hq.AddToHistory("s", "http://new/");
    EXPECT_EQ(lstHistory.Items().Count(), 250);
}

TEST_F(Lists, DuplicateTests)
{
    lstHistory.Items().Add("http://Old/page via s on 01/01/98 10:00:00");
    lstHistory.Items().Add("nospace");
    Queue({"http://Q/"});
    struct Case {
        const char* url;
        bool inHistory, inQueue;
    } cases[] = {
        {"http://old/PAGE", true, false},
        {"nospace", true, false},
        {"http://q/", false, true},
        {"http://old/page via", false, false},
        {"http://other/", false, false},
    };
    for (const auto& c : cases) {
        int beeps = desk.beeps;
        EXPECT_EQ(hq.IsInList(c.url, lstHistory), c.inHistory) << c.url;
        EXPECT_EQ(hq.IsInList(c.url, lstQueue), c.inQueue) << c.url;
        EXPECT_EQ(desk.beeps - beeps, int(c.inHistory) + int(c.inQueue)) << c.url;
    }
}

TEST_F(Lists, QueueRequestNormalisesRefusesDuplicatesAndHonoursNever)
{
    hq.QueueRequest("http://host/page#frag");
    EXPECT_EQ(lstQueue.Items().Lines(), std::vector<std::string>{"http://host/page"});
    EXPECT_EQ(root.Read("Queue.Dat"), "http://host/page\r\n") << "saved at once, not at shutdown";
    EXPECT_EQ(applied, 1);
    int beeps = desk.beeps;
    hq.QueueRequest("HTTP://HOST/PAGE");
    EXPECT_EQ(lstQueue.Items().Count(), 1);
    EXPECT_EQ(desk.beeps, beeps + 1);
    chkNever.SetChecked(true);
    size_t notices = desk.formsCreated.size();
    hq.QueueRequest("http://else/");
    EXPECT_EQ(lstQueue.Items().Count(), 1);
    EXPECT_EQ(desk.formsCreated.size(), notices) << "no notice with Never ticked";
}

TEST_F(Lists, SendQueueStopsAtTheFirstFailureAndKeepsTheRest)
{
    Queue({"http://a/", "http://b/", "http://c/"});
    expectQueueSending = true;
    int calls = 0;
    hq.SendRequest = [&](const std::string& url) {
        EXPECT_TRUE(hq.QueueSending());
        sent.push_back(url);
        return ++calls < 2;   // the second send fails
    };
    hq.SendQueue();
    EXPECT_EQ(sent, (std::vector<std::string>{"http://a/", "http://b/"}));
    EXPECT_EQ(lstQueue.Items().Lines(), (std::vector<std::string>{"http://b/", "http://c/"}));
    EXPECT_EQ(root.Read("Queue.Dat"), "http://b/\r\nhttp://c/\r\n");
    EXPECT_FALSE(hq.QueueSending());
    hq.SendRequest = [&](const std::string& url) {
        sent.push_back(url);
        return true;
    };
    sent.clear();
    hq.btnSendClick();
    EXPECT_EQ(sent, (std::vector<std::string>{"http://b/", "http://c/"}));
    EXPECT_EQ(lstQueue.Items().Count(), 0);
}

TEST_F(Lists, QueueSendingIsClearedWhenASendThrows)
{
    Queue({"http://a/"});
    hq.SendRequest = [](const std::string&) -> bool { throw std::runtime_error("composer failed"); };
    EXPECT_THROW(hq.SendQueue(), std::runtime_error);
    EXPECT_FALSE(hq.QueueSending());
    lstQueue.SetItemIndex(0);
    EXPECT_THROW(hq.RequestNow1Click(), std::runtime_error);
    EXPECT_FALSE(hq.QueueSending());
    EXPECT_EQ(lstQueue.Items().Count(), 1);
}

TEST_F(Lists, QueueMenuCommands)
{
    Queue({"http://a/", "http://b/", "http://c/"});
    lstHistory.Items().Add("http://x/ via s on d t");
    lstHistory.SetItemIndex(0);
    EXPECT_FALSE(hq.lstQueueMouseDown(-1));
    EXPECT_TRUE(hq.lstQueueMouseDown(2));
    hq.Delete1Click();
    EXPECT_EQ(lstQueue.Items().Lines(), (std::vector<std::string>{"http://a/", "http://b/"}));
    EXPECT_EQ(lstHistory.Items().Count(), 1) << "the history selection plays no part";
    sendResult = false;
    hq.lstQueueMouseDown(1);
    hq.RequestNow1Click();
    EXPECT_EQ(lstQueue.Items().Count(), 2) << "a failed send leaves the item";
    sendResult = true;
    hq.RequestNow1Click();
    EXPECT_EQ(lstQueue.Items().Lines(), std::vector<std::string>{"http://a/"});
    EXPECT_FALSE(hq.QueueSending());
    hq.DeleteAll1Click();
    EXPECT_EQ(lstQueue.Items().Count(), 0);
    EXPECT_EQ(root.Read("Queue.Dat"), "");
}

TEST_F(Lists, HistoryMenuCommands)
{
    hq.AddToHistory("getweb@bymail.example.net", "http://host/p.html");
    EXPECT_TRUE(hq.lstHistoryMouseDown(0));
    desk.ExpectDialog("http://host/p.html\r\n\nVia: getweb@bymail.example.net\r\n\nDate/Time: 03/14/26 09:26:53");
    hq.mnuShowDetailClick();
    EXPECT_EQ(desk.shown.back().type, TMsgDlgType::mtCustom);

    sendResult = false;
    hq.mnuRequestAgainClick();
    EXPECT_EQ(sent.back(), "http://host/p.html");
    EXPECT_EQ(lstQueue.Items().Lines(), std::vector<std::string>{"http://host/p.html"});

    lstQueue.Items().Clear();
    chkNever.SetChecked(true);
    size_t notices = desk.formsCreated.size();
    hq.mnuRequestAgainClick();
    EXPECT_EQ(lstQueue.Items().Count(), 0);
    EXPECT_EQ(desk.formsCreated.size(), notices);

    hq.mnuHelpClick();
    EXPECT_EQ(desk.helpShown.back(), 10);
    hq.mnuDeletefromHistoryClick();
    EXPECT_EQ(lstHistory.Items().Count(), 0);
    EXPECT_EQ(root.Read("History.Dat"), "");
}

TEST_F(Lists, AFailedSaveKeepsTheOldFileWhole)
{
    Queue({"http://a/"});
    hq.SaveQueue();
    // The disk fills up: the longer queue cannot be saved (the log's few
    // lines still fit).
    TFileSizeLimit full(4096);
    hq.QueueRequest("http://b/" + std::string(5000, 'x'));
    EXPECT_EQ(root.Read("Queue.Dat"), "http://a/\r\n");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("WriteFileAtomic: " + root.File("Queue.Dat")), std::string::npos);
    EXPECT_EQ(lstQueue.Items().Count(), 2) << "the request stays queued in memory";
}
