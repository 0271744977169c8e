#include <gtest/gtest.h>

#include "app/autostart.h"
#include "app/props.h"
#include "core/fileutil.h"
#include "core/localroot.h"
#include "support/appfixture.h"

TEST(Autostart, ExecQuotesThePathAsDesktopEntriesRequire)
{
    struct Case {
        std::string program, exec;
    } cases[] = {
        {"/usr/local/bin/tolvar", "Exec=\"/usr/local/bin/tolvar\"\n"},
        {"/home/a b/bin/tolvar", "Exec=\"/home/a b/bin/tolvar\"\n"},
        // Reserved characters take an escaped backslash, "%" is doubled.
        {"/x/$HOME`\"%d/tolvar", "Exec=\"/x/\\\\$HOME\\\\`\\\\\"%%d/tolvar\"\n"},
        {"/x\\y/tolvar", "Exec=\"/x\\\\\\\\y/tolvar\"\n"},
    };
    for (const auto& c : cases) EXPECT_NE(AutostartEntry(c.program).find(c.exec), std::string::npos) << AutostartEntry(c.program);
}

TEST(Autostart, TheCheckBoxWritesAndRemovesTheEntryInTheConfigFolder)
{
    TAppFixture app;
    app.WriteDetails();
    TfrmProps props({});
    props.FormCreate();
    std::string entry = app.config.Path() + "autostart/tolvar.desktop";
    EXPECT_FALSE(props.chkAutostart.Checked());
    props.chkAutostart.SetChecked(true);
    ASSERT_TRUE(FileExists(entry));
    EXPECT_NE(ReadFileString(entry).find("Exec=\"" + ExecutablePath() + "\""), std::string::npos);
    // A later start finds it ticked.
    TfrmProps again({});
    again.FormCreate();
    EXPECT_TRUE(again.chkAutostart.Checked());
    props.chkAutostart.SetChecked(false);
    EXPECT_FALSE(FileExists(entry));
}
