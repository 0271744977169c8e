#include <gtest/gtest.h>

#include "core/error.h"
#include "core/fileutil.h"
#include "mail/msmsg.h"
#include "mail/uucode.h"
#include "replies/decode.h"
#include "replies/update.h"
#include "support/scripteddesktop.h"
#include "support/tempdir.h"

namespace {
std::string UUFile(const std::string& name, const std::string& data)
{
    std::string lines;
    UUEncodeLines(data, lines);
    return "begin 644 " + name + "\r\n" + lines + "`\r\nend\r\n";
}

std::string UpdateMail(const std::string& files)
{
    return "From: updates@example.org\r\nSubject: fresh servers\r\n\r\nSome words first.\r\n"
           "---Begin Tolvar Update File---\r\n" +
           files + "---End Tolvar Update File---\r\nRegards\r\n";
}

struct Update : ::testing::Test {
    Update()
    {
        SetErrorBox([this](const std::string& text, int, bool) { reports.push_back(text); });
    }
    ~Update() override { SetErrorBox(nullptr); }
    void Process(const std::string& text)
    {
        ProcessUpdateFile(text, message, [this] { ++restarts; });
        EXPECT_FALSE(FileExists(DecoderScratchFile())) << "scratch file left behind";
        EXPECT_EQ(message.Attachments().Count(), 0) << "decoded files left in the message";
    }
    TTempRoot root;
    ScriptedDesktop desk;
    TmsMessage message;
    int restarts = 0;
    std::vector<std::string> reports;
};
} // namespace

TEST_F(Update, TextsWithoutAnUpdatePassThrough)
{
    const std::string files = UUFile("uservers.dat", "[x]\r\n");
    for (const std::string& text : {std::string("http://host/"), std::string("plain words"),
                                    "---End Tolvar Update File---" + files + "---Begin Tolvar Update File---",
                                    "---Begin Tolvar Update File---" + files,
                                    UpdateMail("no encoded file here\r\n")}) {
        Process(text);
        EXPECT_FALSE(FileExists(root.File("uservers.dat"))) << text;
    }
    EXPECT_EQ(restarts, 0);
    EXPECT_TRUE(desk.shown.empty());
}

TEST_F(Update, TwoFilesFromAMailWithDoubledCarriageReturnsRestartOnce)
{
    std::string catalogue = "[getweb@bymail.example.net]\r\nType=0\r\n";
    std::string tag = std::string("DistInfo=\x01\xFF binary", 18);
    std::string mail = UpdateMail(UUFile("uservers.dat", catalogue) + UUFile("DistInfo.Dat", tag));
    std::string doubled;
    for (char c : mail) doubled += c == '\r' ? std::string("\r\r") : std::string(1, c);
    desk.ExpectDialog("Tolvar will restart with fresh data");
    Process(doubled);
    EXPECT_EQ(root.Read("uservers.dat"), catalogue);
    EXPECT_EQ(root.Read("DistInfo.Dat"), tag);
    EXPECT_EQ(restarts, 1);
    EXPECT_TRUE(desk.shown.back().topmost);
}

TEST_F(Update, NeverReplacesTheProgramAndReportsWhatItCouldNotWrite)
{
    root.Write("tolvar", "the program");
    desk.ExpectDialog("Tolvar will restart with fresh data");
    Process(UpdateMail(UUFile("tolvar", "evil") + UUFile("tips.dat", "tip\r\n")));
    EXPECT_EQ(root.Read("tolvar"), "the program");
    EXPECT_EQ(root.Read("tips.dat"), "tip\r\n");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("ProcessUpdateFile: tolvar"), std::string::npos);
    EXPECT_EQ(restarts, 1);
}
