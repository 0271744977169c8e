#pragma once
#include <functional>
#include <string>

#include "ui/controls.h"
#include "ui/strings.h"

// The tip of the day: one line of tips.dat at a time, browsed with Next and
// Previous. The position is Prefs().tipNumber and is saved at every step, so
// the next window (or the next start) opens on the tip after it.
//
// tips.dat, in LocalRoot: one tip a line, "<help context>,<text>"; the text
// is everything after the first comma, and a context of 0 has no help topic.
class TfrmTips : public TForm {
public:
    // saveTipSettings writes the tip number and the tips choice at once; the
    // main window passes its own, which also updates its check box.
    explicit TfrmTips(std::function<void()> saveTipSettings);
    ~TfrmTips() override;
    std::string ClassName() const override { return "TfrmTips"; }

    static constexpr int kClientWidth = 363;
    static constexpr int kClientHeight = 204;

    TLabel Label1{"Label1", "Did you know?"};
    // The tip's text, in the sunken box.
    TLabel StaticText1{"StaticText1"};
    TButton btnOk{"btnOk", "&Ok"};
    TButton btnNext{"btnNext", "&Next"};
    TButton btnPrevious{"btnPrevious", "&Previous"};
    TButton btnHelp{"btnHelp", "&Help"};
    TCheckBox chkShowTips{"chkShowTips", "Show these tips"};

    void btnOkClick();
    void btnNextClick();
    void btnPreviousClick();
    void btnHelpClick();
    void chkShowTipsClick();

    const TStrings& Tips() const { return tips_; }
    // The help context of the tip on display.
    int HelpContext() const { return helpContext_; }

private:
    void FormCreate();
    void Display();

    std::function<void()> saveTipSettings_;
    TStrings tips_;
    int helpContext_ = 0;
};

// What the tips window needs from the window that opens it.
struct TTipsHooks {
    std::function<void()> SaveTipSettings;
    // The tray icon steps aside while the tip is up.
    std::function<void(bool active)> SetTrayActive;
};

// Opens a new tip window modally and frees it when it closes. Does nothing
// while a window it opened is still up, so the daily timer and "Now" never
// stack a second one.
void ShowTips(const TTipsHooks& hooks);
