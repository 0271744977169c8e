#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "core/error.h"
#include "mail/uucode.h"
#include "replies/update.h"
#include "support/filesizelimit.h"
#include "support/scripteddesktop.h"
#include "support/tempdir.h"

namespace fs = std::filesystem;

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

const std::string kOld = "[old@bymail.example.net]\r\nType=0\r\n";
const std::string kNew = "[new@bymail.example.net]\r\nType=0\r\nfilePagesHttp=new-pages.tpl\r\n";

struct Update : ::testing::Test {
    Update()
    {
        SetErrorBox([this](const std::string& text, int, bool) { reports.push_back(text); });
        root.Write("uservers.dat", kOld);
    }
    ~Update() override { SetErrorBox(nullptr); }
    void Process(const std::string& text) { ProcessUpdateFile(text, [this] { ++restarts; }); }
    // Every file under the program folder but the log, by its relative name.
    std::set<std::string> Files() const
    {
        std::set<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(root.Path()))
            if (e.is_regular_file()) names.insert(fs::relative(e.path(), root.Path()).string());
        names.erase("DebugLog.Txt");
        return names;
    }
    TTempRoot root;
    ScriptedDesktop desk;
    int restarts = 0;
    std::vector<std::string> reports;
};
} // namespace

TEST_F(Update, TextsWithoutAnUpdatePassThrough)
{
    const std::string file = UUFile("uservers.dat", kNew);
    for (const std::string& text : {std::string("http://host/"),
                                    "---End Tolvar Update File---" + file + "---Begin Tolvar Update File---",
                                    "---Begin Tolvar Update File---" + file,
                                    // Only what stands between the banners counts.
                                    file + UpdateMail("no encoded file here\r\n")}) {
        Process(text);
        EXPECT_EQ(root.Read("uservers.dat"), kOld) << text;
    }
    EXPECT_EQ(Files(), std::set<std::string>{"uservers.dat"});
    EXPECT_EQ(restarts, 0);
    EXPECT_TRUE(desk.shown.empty());
    EXPECT_TRUE(reports.empty());
}

TEST_F(Update, AskedFilesAreReplacedWithTheOldOnesKept)
{
    std::string mail = UpdateMail(UUFile("uservers.dat", kNew) + UUFile("new-pages.tpl", "GET \xFE\r\n") +
                                  UUFile("help/index.html", "<p>help</p>"));
    std::string doubled;
    for (char c : mail) doubled += c == '\r' ? std::string("\r\r") : std::string(1, c);
    desk.ExpectDialog("Apply this update? uservers.dat, new-pages.tpl, help/index.html - Tolvar will restart", mrYes);
    Process(doubled);
    ASSERT_EQ(desk.shown.size(), 1u) << (reports.empty() ? "" : reports[0]);
    EXPECT_TRUE(desk.shown[0].topmost);
    EXPECT_EQ(desk.shown[0].buttons, unsigned(mbYes | mbNo));
    EXPECT_EQ(root.Read("uservers.dat"), kNew);
    EXPECT_EQ(root.Read("new-pages.tpl"), "GET \xFE\r\n");
    EXPECT_EQ(root.Read("help/index.html"), "<p>help</p>");
    EXPECT_EQ(restarts, 1);
    // The one file replaced is kept; nothing else is left behind.
    std::set<std::string> files = Files();
    ASSERT_EQ(files.size(), 4u);
    std::string backup = *files.begin();
    EXPECT_TRUE(backup.starts_with("backup/") && backup.ends_with("/uservers.dat")) << backup;
    EXPECT_EQ(root.Read(backup), kOld);
}

TEST_F(Update, AnyFaultOrNoWritesNothing)
{
    const std::string good = UUFile("uservers.dat", kNew);
    std::string badChar = UUFile("DistInfo.Dat", "[General]\r\nDistInfo=x\r\n");
    badChar[badChar.find('\n') + 3] = 'a';   // lower case is no UU character
    struct Case {
        std::string files;
        std::string reason;   // "" when the user is asked and says No
    } cases[] = {
        {good + badChar, "DistInfo.Dat, encoded line 1: Invalid Character"},
        {good + "begin 644 tips.dat\r\n#0V%T\r\n", "tips.dat has no \"end\" line"},
        {good + UUFile("Installer.Flg", ""), "Installer.Flg may not be replaced by an update: flag files"},
        {good + UUFile("History.Dat", "http://x/\r\n"), "History.Dat may not be replaced by an update: it holds"},
        {good + UUFile("../outside.dat", "x"), "its name holds a folder"},
        {good + good, "uservers.dat is carried twice"},
        {good, ""},
    };
    for (const auto& c : cases) {
        reports.clear();
        if (c.reason.empty()) desk.ExpectDialog("Apply this update? uservers.dat", mrNo);
        Process(UpdateMail(c.files));
        EXPECT_EQ(desk.PendingExpectations(), 0);
        if (c.reason.empty()) {
            EXPECT_TRUE(reports.empty());
        } else {
            ASSERT_EQ(reports.size(), 1u) << c.reason;
            EXPECT_NE(reports[0].find(c.reason), std::string::npos) << reports[0];
            EXPECT_NE(reports[0].find("Nothing was changed"), std::string::npos) << reports[0];
        }
        EXPECT_EQ(Files(), std::set<std::string>{"uservers.dat"}) << c.reason;
        EXPECT_EQ(root.Read("uservers.dat"), kOld) << c.reason;
    }
    EXPECT_NE(root.Read("DebugLog.Txt").find("Invalid Character"), std::string::npos) << "reasons are logged";
    EXPECT_EQ(restarts, 0);
}

TEST_F(Update, AFullDiskLeavesTheOldFilesWhole)
{
    root.Write("tips.dat", "0,old tip\r\n");
    desk.ExpectDialog("Apply this update?", mrYes);
    {
        TFileSizeLimit full(4096);   // the new tips do not fit; the log still does
        Process(UpdateMail(UUFile("uservers.dat", kNew) + UUFile("tips.dat", std::string(8000, 't'))));
    }
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("tips.dat could not be written (File too large)"), std::string::npos) << reports[0];
    EXPECT_EQ(root.Read("uservers.dat"), kOld);
    EXPECT_EQ(root.Read("tips.dat"), "0,old tip\r\n");
    EXPECT_EQ(Files(), (std::set<std::string>{"tips.dat", "uservers.dat"})) << "no temporary file or backup left";
    EXPECT_EQ(restarts, 0);
}

TEST(UpdateFileRefusal, OnlyTheProgramsDataFiles)
{
    const std::set<std::string> templates{"bymail-pages.tpl"};
    struct Case {
        std::string name;
        std::string refusal;   // a part of it; "" when allowed
    } cases[] = {
        {"uservers.dat", ""},
        {"Test Message.Txt", ""},
        {"Suggest.Ini", ""},
        {"nbinary.ext", ""},
        {"new-list.dat", ""},
        {"bymail-pages.tpl", ""},
        {"help/index.html", ""},
        {"other.tpl", "not one of Tolvar's data files"},
        {"help/notes.txt", "only help pages"},
        {"help/sub/a.html", "folder"},
        {"docs/a.dat", "folder"},
        {"..\\evil.dat", "folder"},
        {"..", "hidden"},
        {".profile.dat", "hidden"},
        {"tolvar", "the program itself"},
        {"AllowDuplicateInstance.Flg", "flag files"},
        {"history.dat", "request history"},
        {"Queue.Dat", "queued requests"},
        {"DebugLog.Txt", "a log"},
        {"SMTP.LOG", "a log"},
        {"qt.conf", "how the program starts"},
        {"uudecoder.tmp", "not one of Tolvar's data files"},
        {"a\nb.dat", "control characters"},
        {"", "no name"},
    };
    for (const auto& c : cases) {
        std::string refusal = UpdateFileRefusal(c.name, templates);
        if (c.refusal.empty())
            EXPECT_EQ(refusal, "") << c.name;
        else
            EXPECT_NE(refusal.find(c.refusal), std::string::npos) << c.name << ": " << refusal;
    }
}
