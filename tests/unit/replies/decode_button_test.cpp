#include <gtest/gtest.h>

#include <stdexcept>

#include "app/props.h"
#include "support/appfixture.h"

TEST(UUDecoderButton, HidesTheMainWindowMeanwhileAndAlwaysBringsItBack)
{
    TAppFixture app;
    app.WriteDetails();
    app.desk.SetClipboardQuietly("something the user copied");
    TfrmProps props({});
    props.FormCreate();
    // Starting leaves the user's clipboard alone; only the wizard empties it.
    EXPECT_EQ(app.desk.ClipboardText(), "something the user copied");
    props.Show();

    bool hiddenMeanwhile = false;
    std::vector<std::string> opened;
    bool fail = false;
    app.desk.OnShowModal = [&](TForm& form) {
        if (form.ClassName() == "TfrmTips") return static_cast<int>(mrOk);
        opened.push_back(form.ClassName());
        hiddenMeanwhile = !props.Visible();
        EXPECT_EQ(app.desk.ClipboardText(), "");
        if (fail) throw std::runtime_error("broken wizard");
        return static_cast<int>(mrCancel);
    };
    int destroyedBefore = app.desk.formsDestroyed;
    props.btnDecoderTools.Click();
    EXPECT_TRUE(hiddenMeanwhile);
    EXPECT_TRUE(props.Visible());
    fail = true;
    EXPECT_THROW(props.btnDecoderTools.Click(), std::runtime_error);
    EXPECT_TRUE(props.Visible());
    EXPECT_EQ(opened, (std::vector<std::string>{"TfrmDecode", "TfrmDecode"}));
    EXPECT_EQ(app.desk.formsDestroyed - destroyedBefore, 2);
}
