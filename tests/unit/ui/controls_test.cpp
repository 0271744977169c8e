#include <gtest/gtest.h>

#include "support/scripteddesktop.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/desktop.h"

TEST(Controls, EventsFireOnChangesOnly)
{
    int edits = 0, clicks = 0, radios = 0, combos = 0;
    TEdit edit("txtEmail");
    edit.OnChange = [&] { ++edits; };
    edit.SetText("a");
    edit.SetText("a");
    TCheckBox box("chk", "x");
    box.OnClick = [&] { ++clicks; };
    box.SetChecked(true);
    box.SetChecked(true);
    TRadioGroup group("opt", "Enabled", {"Y&es", "&No"});
    group.OnClick = [&] { ++radios; };
    group.SetItemIndex(1);
    group.SetItemIndex(7);   // out of range selects nothing
    TComboBox combo("cbo");
    combo.OnChange = [&] { ++combos; };
    combo.Items().Add("a@x");
    combo.SetItemIndex(0);   // from code: no event
    combo.UserSelect(0);
    EXPECT_EQ(edits, 1);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(radios, 2);
    EXPECT_EQ(group.ItemIndex(), -1);
    EXPECT_EQ(combos, 1);
    EXPECT_EQ(combo.Text(), "a@x");
    combo.Items().Clear();
    EXPECT_EQ(combo.ItemIndex(), -1);
    EXPECT_EQ(combo.Text(), "");
}

TEST(RunGuarded, ReportsWithTheSenderAndCarriesOn)
{
    ScriptedDesktop desk;
    std::string seen;
    SetExceptionHandler([&](const TComponent& sender, const std::exception& e) {
        seen = sender.ClassName() + ":" + e.what();
    });
    TButton btn("btnGo", "&Go");
    btn.OnClick = [] { throw std::runtime_error("boom"); };
    RunGuarded(btn, [&] { btn.Click(); });
    EXPECT_EQ(seen, "TButton:boom");
    // A handler that fails in turn is swallowed: the event loop must go on.
    SetExceptionHandler([](const TComponent&, const std::exception&) { throw std::runtime_error("x"); });
    EXPECT_NO_THROW(RunGuarded(btn, [&] { btn.Click(); }));
    SetExceptionHandler(nullptr);
}

TEST(PlaceFormOnScreen, CentresWithRounding)
{
    ScriptedDesktop desk;
    struct Case {
        int sw, sh, w, h, left, top;
    } cases[] = {
        {1024, 768, 520, 278, 252, 245},
        {1921, 1081, 520, 278, 700, 402},   // 700.5 and 401.5: halves go to even
        {400, 300, 520, 278, -60, 11},      // a window larger than the screen
    };
    for (const auto& c : cases) {
        desk.screen = {c.sw, c.sh};
        TForm form("frm");
        form.SetBounds({0, 0, c.w, c.h});
        PlaceFormOnScreen(form, 0.5, 0.5);
        EXPECT_EQ(form.Bounds().left, c.left) << c.sw;
        EXPECT_EQ(form.Bounds().top, c.top) << c.sh;
    }
}

TEST(ScriptedDesktop, ModalFormClosedByItsTimer)
{
    ScriptedDesktop desk;
    TForm form("frmNotice");
    TTimer timer("Timer1", 2000);
    timer.OnTimer = [&] { form.SetModalResult(mrOk); };
    timer.SetEnabled(true);
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(desk.NowMs(), 2000);
    EXPECT_FALSE(form.Visible());
}
