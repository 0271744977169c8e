#include "replies/tips.h"

#include <climits>

#include "core/exception.h"
#include "core/fileutil.h"
#include "core/flagguard.h"
#include "core/localroot.h"
#include "core/strutil.h"
#include "requests/prefs.h"
#include "ui/application.h"
#include "ui/desktop.h"

namespace {
// Set while ShowTips has a window up.
bool gTipsShowing = false;

int HelpContextOf(const std::string& text)
{
    long long v = StrToIntDef(text, LLONG_MIN);
    if (v < INT_MIN || v > INT_MAX) throw Exception("'" + text + "' is not a valid integer value");
    return static_cast<int>(v);
}

// Brings the tray icon back however the modal window ends.
class TTrayAside {
public:
    explicit TTrayAside(const std::function<void(bool)>& setActive) : setActive_(setActive)
    {
        if (setActive_) setActive_(false);
    }
    ~TTrayAside()
    {
        if (setActive_) setActive_(true);
    }
    TTrayAside(const TTrayAside&) = delete;
    TTrayAside& operator=(const TTrayAside&) = delete;

private:
    const std::function<void(bool)>& setActive_;
};
} // namespace

TfrmTips::TfrmTips(std::function<void()> saveTipSettings)
    : TForm("frmTips"), saveTipSettings_(std::move(saveTipSettings))
{
    SetCaption("Tolvar - Tip of the Day");
    SetBounds({0, 0, kClientWidth, kClientHeight});
    btnOk.SetDefault(true);
    btnOk.SetCancel(true);
    btnOk.OnClick = [this] { btnOkClick(); };
    btnNext.OnClick = [this] { btnNextClick(); };
    btnPrevious.OnClick = [this] { btnPreviousClick(); };
    btnHelp.OnClick = [this] { btnHelpClick(); };
    OnShow = [this] { btnOk.SetFocus(); };
    if (HasDesktop()) {
        PlaceFormOnScreen(*this, 0.5, 0.5);
        Desk().FormCreated(*this);
    }
    // A tips file that cannot be read still gives a window, with an empty
    // box and the position left where it was.
    RunGuarded(*this, [this] { FormCreate(); });
    chkShowTips.OnClick = [this] { chkShowTipsClick(); };
}

TfrmTips::~TfrmTips()
{
    if (HasDesktop()) Desk().FormDestroyed(*this);
}

void TfrmTips::FormCreate()
{
    chkShowTips.SetChecked(Prefs().tipsEnabled);
    std::string path = LocalRoot() + "tips.dat";
    if (!FileExists(path)) throw EInOutError("File not found");
    tips_.LoadFromFile(path);
    btnNextClick();
}

void TfrmTips::btnNextClick()
{
    int count = tips_.Count();
    // Without tips there is no position to move to; keep the saved one.
    if (count == 0) throw Exception("List index out of bounds (0)");
    int& number = Prefs().tipNumber;
    // A stored number past the end (a shorter tips file) starts over.
    number = (number >= 0 && number < count - 1) ? number + 1 : 0;
    if (saveTipSettings_) saveTipSettings_();
    Display();
}

void TfrmTips::btnPreviousClick()
{
    int count = tips_.Count();
    if (count == 0) throw Exception("List index out of bounds (0)");
    int& number = Prefs().tipNumber;
    number = (number > 0 && number < count) ? number - 1 : count - 1;
    if (saveTipSettings_) saveTipSettings_();
    Display();
}

void TfrmTips::Display()
{
    const std::string& line = tips_[Prefs().tipNumber];
    size_t comma = line.find(',');
    StaticText1.SetCaption(comma == std::string::npos ? line : line.substr(comma + 1));
    // The help button keeps its state when the context cannot be read.
    helpContext_ = HelpContextOf(comma == std::string::npos ? std::string() : line.substr(0, comma));
    btnHelp.SetEnabled(helpContext_ != 0);
}

void TfrmTips::chkShowTipsClick()
{
    Prefs().tipsEnabled = chkShowTips.Checked();
    if (saveTipSettings_) saveTipSettings_();
}

void TfrmTips::btnOkClick()
{
    SetModalResult(mrOk);
    Hide();
}

void TfrmTips::btnHelpClick()
{
    Desk().ShowHelp(helpContext_);
    btnOkClick();
}

void ShowTips(const TTipsHooks& hooks)
{
    if (gTipsShowing) return;
    TFlagGuard showing(gTipsShowing);
    TfrmTips tips(hooks.SaveTipSettings);
    TTrayAside aside(hooks.SetTrayActive);
    tips.ShowModal();
}
