#include <gtest/gtest.h>

#include <cstdio>

#include "core/profile.h"
#include "requests/suggest.h"
#include "unit/requests/fixture.h"

namespace {
struct Suggest : ::testing::Test, TRequestsFixture {
    Suggest()
    {
        ftp.Items().Assign({"f1", "f2"});
        binary.Items().Assign({"b1", "b2", "B2"});
        pages.Items().Assign({"p1", "p2"});
        root.Write("uservers.dat", "[b2]\r\nverbBinaryHttp=getb2\r\n[p2]\r\nverbPagesHttp=getp2\r\n");
    }
    std::vector<std::string> Selected() const { return {ftp.Text(), binary.Text(), pages.Text()}; }
};

const char* const kSuggestions = "[Servers]\r\nFTP=f2\r\nHTTPBinary=b2\r\nHTTPPages=p2\r\n";
const char* const kChoices = "[Servers]\r\nFTP=f1\r\nHTTPBinary=b1\r\nHTTPPages=p1\r\n";
} // namespace

TEST_F(Suggest, QuestionsAndWhatTheStartWrites)
{
    struct Answer {
        const char* about;
        int answer;
    };
    struct Case {
        const char* name;
        const char* suggestions;   // nullptr: no Suggest.Ini
        const char* choices;       // nullptr: no TOLVAR.INI
        std::vector<Answer> answers;
        std::vector<std::string> selected;
        const char* iniAfter;      // nullptr: TOLVAR.INI not written
    } cases[] = {
        {"first start, nothing chosen yet", kSuggestions, nullptr, {}, {"f2", "b2", "p2"}, nullptr},
        {"yes for the binary server only", kSuggestions, kChoices,
         {{"Ftp Server", mrNo}, {"Http Binary Server", mrYes}, {"Http Page Server", mrNo}}, {"f1", "b2", "p1"},
         "[Servers]\r\nFTP=f1\r\nHTTPBinary=b2\r\nHTTPPages=p1\r\n"},
        {"no to every question", kSuggestions, kChoices,
         {{"Ftp Server", mrNo}, {"Http Binary Server", mrNo}, {"Http Page Server", mrNo}}, {"f1", "b1", "p1"},
         kChoices},
        {"second start: used file, no question", "[Servers]\r\nUsed=1\r\nFTP=f2\r\nHTTPBinary=b2\r\nHTTPPages=p2\r\n",
         kChoices, {}, {"f1", "b1", "p1"}, kChoices},
        {"names differing in case differ", "[Servers]\r\nHTTPBinary=B2\r\n", "[Servers]\r\nHTTPBinary=b2\r\n",
         {{"set to b2 but we believe B2 is better", mrYes}}, {"f1", "B2", "p1"},
         "[Servers]\r\nHTTPBinary=B2\r\nFTP=f1\r\nHTTPPages=p1\r\n"},
        {"no suggestion file: switch to nothing", nullptr, "[Servers]\r\nHTTPPages=p2\r\n",
         {{"set to p2 but we believe  is better", mrYes}}, {"f1", "b1", "p1"},
         "[Servers]\r\nHTTPPages=p1\r\nFTP=f1\r\nHTTPBinary=b1\r\n"},
        {"a name not in the list", "[Servers]\r\nUsed=1\r\n", "[Servers]\r\nFTP=gone\r\n", {}, {"f1", "b1", "p1"},
         "[Servers]\r\nFTP=gone\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(root.File("Suggest.Ini").c_str());
        std::remove(config.File("tolvar/TOLVAR.INI").c_str());
        if (c.suggestions) root.Write("Suggest.Ini", c.suggestions);
        if (c.choices) WriteIni(c.choices);
        for (auto* list : {&ftp, &binary, &pages}) list->SetItemIndex(-1);
        desk.shown.clear();
        for (const auto& a : c.answers) desk.ExpectDialog(a.about, a.answer);
        std::vector<bool> tray;

        ChooseServersAtStart(Lists(), window, [&](bool active) { tray.push_back(active); });

        EXPECT_EQ(desk.PendingExpectations(), 0);
        EXPECT_EQ(desk.shown.size(), c.answers.size());
        EXPECT_EQ(Selected(), c.selected);
        EXPECT_EQ(Ini(), c.iniAfter ? c.iniAfter : (c.choices ? c.choices : ""));
        EXPECT_TRUE(TIniFile(root.File("Suggest.Ini")).ReadBool("Servers", "Used", false));
        bool fresh = !c.suggestions || std::string(c.suggestions).find("Used=1") == std::string::npos;
        EXPECT_EQ(tray, fresh ? (std::vector<bool>{false, true}) : std::vector<bool>{});
    }
}

TEST_F(Suggest, TheQuestionInFullAndTheCachesAfterIt)
{
    root.Write("Suggest.Ini", kSuggestions);
    WriteIni("[Servers]\r\nHTTPPages=p1\r\nFTP=f2\r\nHTTPBinary=b2\r\n");
    const std::string question = "The Http Page Server is set to p1 but we believe p2 is better right now.\r\n\n"
                                 "Press Yes to accept this change. Press No to continue using p1";
    desk.ExpectDialog(question, mrYes);
    ChooseServersAtStart(Lists(), window);
    ASSERT_EQ(desk.shown.size(), 1u);
    EXPECT_EQ(desk.shown[0].text, question);
    EXPECT_EQ(desk.shown[0].type, TMsgDlgType::mtInformation);
    EXPECT_EQ(desk.shown[0].buttons, unsigned(mbYes | mbNo));
    EXPECT_EQ(desk.shown[0].helpContext, 0);
    EXPECT_TRUE(desk.shown[0].topmost);
    EXPECT_EQ(Prefs().pageVerb, "getp2 ");
    EXPECT_EQ(Prefs().binaryVerb, "getb2 ");
}
