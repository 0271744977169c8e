#include <gtest/gtest.h>

#include <cstdio>
#include <utility>

#include "app/props.h"
#include "core/error.h"
#include "core/profile.h"
#include "replies/tips.h"
#include "requests/prefs.h"
#include "support/appfixture.h"
#include "ui/application.h"

namespace {
// Reports go to a box, as in the program, so the test sees each one.
struct TipsTest : ::testing::Test {
    TipsTest()
    {
        Prefs() = TPrefs();
        SetErrorBox(
            [](const std::string& text, int help, bool) { MessageDlg(text, TMsgDlgType::mtWarning, mbOK, help); });
        SetExceptionHandler([](const TComponent& sender, const std::exception& e) {
            ReportError(sender.ClassName(), std::string("UH ") + e.what());
        });
    }
    ~TipsTest() override
    {
        SetErrorBox(nullptr);
        SetExceptionHandler(nullptr);
        Checkpoint = 0;
        Prefs() = TPrefs();
    }
    // Each save the window asks for, with the position at that moment.
    std::vector<int> saved;
    std::function<void()> Save()
    {
        return [this] { saved.push_back(Prefs().tipNumber); };
    }
    TAppFixture app;
};

const char* const kThreeTips = "0,First tip\r\n12,Second, with a comma\r\n7,Third tip\r\n";
} // namespace

TEST_F(TipsTest, CreationNextAndPreviousWrapAndSaveEveryStep)
{
    app.root.Write("tips.dat", kThreeTips);
    enum Op { Create, Next, Previous };
    struct Case {
        int stored;
        Op op;
        int number;
        const char* text;
        bool help;
    } cases[] = {
        {0, Create, 1, "Second, with a comma", true}, // a first start opens on the second line
        {2, Create, 0, "First tip", false},
        {9, Create, 0, "First tip", false}, // a stored number past a shorter file
        {-3, Create, 0, "First tip", false},
        {1, Next, 0, "First tip", false}, // created on 2, Next wraps
        {1, Previous, 1, "Second, with a comma", true},
        {2, Previous, 2, "Third tip", true}, // created on 0, Previous wraps
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "stored " << c.stored << " op " << c.op);
        Prefs().tipNumber = c.stored;
        saved.clear();
        TfrmTips tips(Save());
        if (c.op == Next) tips.btnNext.Click();
        if (c.op == Previous) tips.btnPrevious.Click();
        EXPECT_EQ(Prefs().tipNumber, c.number);
        ASSERT_EQ(saved.size(), c.op == Create ? 1u : 2u);
        EXPECT_EQ(saved.back(), c.number);
        EXPECT_EQ(tips.StaticText1.Caption(), c.text);
        EXPECT_EQ(tips.btnHelp.Enabled(), c.help);
    }
    EXPECT_TRUE(app.desk.shown.empty());
}

TEST_F(TipsTest, UnreadableTipsAreReportedAndSpoilNothing)
{
    struct Case {
        const char* file;       // nullptr: no tips.dat
        const char* atCreation; // the report while the window is made, if any
        const char* onNext;
        const char* text;
        int number; // the position after Next
    } cases[] = {
        {nullptr, "File not found", "List index out of bounds", "", 0},
        {"", "List index out of bounds", "List index out of bounds", "", 0},
        {"0,a\r\n5,b\r\nno comma here\r\n", nullptr, "'' is not a valid integer value", "no comma here", 2},
        {"0,a\r\n5,b\r\nx9,bad, context\r\n", nullptr, "'x9' is not a valid integer value", "bad, context", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.onNext);
        if (c.file)
            app.root.Write("tips.dat", c.file);
        else
            std::remove(app.root.File("tips.dat").c_str());
        Prefs().tipNumber = 0;
        saved.clear();
        if (c.atCreation) app.desk.ExpectDialog(std::string("Error in TfrmTips.0 with UH ") + c.atCreation);
        TfrmTips tips(Save());
        bool help = tips.btnHelp.Enabled();
        app.desk.ExpectDialog(std::string("Error in TButton.0 with UH ") + c.onNext);
        RunGuarded(tips.btnNext, [&] { tips.btnNext.Click(); });
        EXPECT_EQ(tips.StaticText1.Caption(), c.text);
        EXPECT_EQ(tips.btnHelp.Enabled(), help) << "the Help button keeps its state";
        EXPECT_EQ(Prefs().tipNumber, c.number);
        EXPECT_EQ(saved.size(), c.atCreation ? 0u : 2u) << "no tips, no position to save";
    }
}

TEST_F(TipsTest, StartNowAndTheDailyTimerShowOneTipAtATime)
{
    app.WriteDetails();
    app.root.Write("tips.dat", kThreeTips);
    std::vector<std::string> seen;
    TfrmProps* main = nullptr;
    app.desk.OnShowModal = [&](TForm& form) {
        auto& tips = static_cast<TfrmTips&>(form);
        seen.push_back(tips.StaticText1.Caption());
        EXPECT_FALSE(app.desk.trayActive) << "the tray icon steps aside";
        // Neither "Now" nor the daily tick opens a second window meanwhile.
        if (TfrmProps* poke = std::exchange(main, nullptr)) {
            poke->btnNow.Click();
            for (int i = 0; i < 14401; ++i)
                poke->Timer1Timer();
            main = poke;
        }
        tips.btnHelp.Click();
        return mrNone;
    };

    TfrmProps silent({"/s"});
    silent.FormCreate();
    EXPECT_TRUE(seen.empty()) << "a silent start shows no tip";
    EXPECT_EQ(TIniFile(app.IniPath()).ReadInteger("General", "TipNumber", -1), 1) << "the unseen window moved on";

    TfrmProps props({});
    main = &props;
    props.FormCreate();
    EXPECT_EQ(seen, std::vector<std::string>{"Third tip"});
    EXPECT_EQ(app.desk.helpShown, std::vector<int>{7});
    EXPECT_TRUE(app.desk.trayActive);
    EXPECT_EQ(TIniFile(app.IniPath()).ReadInteger("General", "TipNumber", -1), 0);

    props.btnNow.Click();
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen.back(), "Second, with a comma");

    // Switched off: no tip by day, but "Now" still opens one.
    main = nullptr;
    props.chkShowTips.SetChecked(false);
    for (int i = 0; i < 14401; ++i)
        props.Timer1Timer();
    EXPECT_EQ(seen.size(), 2u);
    props.btnNow.Click();
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(TIniFile(app.IniPath()).ReadString("General", "TipEnabled", ""), "0");
    props.chkShowTips.SetChecked(true);
    for (int i = 0; i < 14401; ++i)
        props.Timer1Timer();
    EXPECT_EQ(seen.size(), 4u);
}
