#include <gtest/gtest.h>

#include <sys/stat.h>

#include "core/clock.h"
#include "core/deblog.h"
#include "core/error.h"
#include "support/tempdir.h"

namespace {
struct FixedClock {
    FixedClock() { SetClockForTests([] { return EncodeDateTime(2026, 3, 14, 9, 26, 53); }); }
    ~FixedClock() { SetClockForTests(nullptr); }
};
} // namespace

TEST(LogDebug, LineFormatAndEmbeddedBreaks)
{
    TTempRoot root;
    FixedClock clock;
    LogDebug("Started Tolvar");
    LogDebug("two\r\nlines");
    // The C locale's short date and long time.
    EXPECT_EQ(root.Read("DebugLog.Txt"),
              "03/14/26 09:26:53: Started Tolvar\r\n03/14/26 09:26:53: two\r\nlines\r\n");
}

TEST(ReportError, QuotesCheckpointAndLogsBeforeTheBox)
{
    TTempRoot root;
    FixedClock clock;
    std::vector<std::string> boxes;
    bool logHadLine = false;
    SetErrorBox([&](const std::string& text, int help, bool withHelp) {
        boxes.push_back(text + "|" + std::to_string(help) + "|" + (withHelp ? "help" : "ok"));
        logHadLine = root.Read("DebugLog.Txt").find(text) != std::string::npos;
    });
    Checkpoint = 0;
    ReportError("TfrmProps", "UH boom");
    Checkpoint = 4400;
    ReportErrorWithHelp("Request Failed", "The last successful operation was <Openning>", 9002);
    SetErrorBox(nullptr);
    Checkpoint = 0;
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "Error in TfrmProps.0 with UH boom|0|ok");
    EXPECT_EQ(boxes[1], "Error in Request Failed.4400 with The last successful operation was <Openning>|9002|help");
    EXPECT_TRUE(logHadLine);
}

TEST(LogDebug, UnwritableLogWarnsOnceAndNeverRaises)
{
    TTempRoot root;
    // A folder where the log file should be fails for every user, root too.
    ::mkdir(root.File("DebugLog.Txt").c_str(), 0700);
    std::vector<std::string> boxes;
    SetErrorBox([&](const std::string& text, int, bool) { boxes.push_back(text); });
    EXPECT_NO_THROW(LogDebug("one"));
    EXPECT_NO_THROW(LogDebug("two"));
    EXPECT_NO_THROW(ReportError("Somewhere", "failed"));
    SetErrorBox(nullptr);
    // The log's failure is announced once; the report still reaches the user.
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[0].find("DebugLog.Txt cannot be written"), std::string::npos);
    EXPECT_EQ(boxes[1].rfind("Error in Somewhere.", 0), 0u);
}
