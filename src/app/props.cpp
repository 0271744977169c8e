#include "app/props.h"

#include "app/autostart.h"
#include "app/settings.h"
#include "core/deblog.h"
#include "core/error.h"
#include "core/fileutil.h"
#include "core/localroot.h"
#include "mail/mailstrings.h"
#include "mail/sockerrors.h"
#include "replies/decode.h"
#include "requests/catalogue.h"
#include "replies/update.h"
#include "requests/compose.h"
#include "requests/prefs.h"
#include "ui/application.h"
#include "ui/desktop.h"

#ifndef TOLVAR_VERSION
#define TOLVAR_VERSION "0.0.0"
#endif

namespace {
constexpr int kTrimAfterTicks = 14400;   // a little over a day of 6-second ticks
constexpr long long kLogKeepBytes = 20000;
// Help contexts of the pages, in page order (About has none: the top).
constexpr int kPageHelp[] = {4000, 2000, 4002, 4003, 4004, 7550, 0};
} // namespace

TfrmProps::TfrmProps(std::vector<std::string> args) : TForm("frmProps"), args_(std::move(args))
{
    SetCaption("Tolvar");
    SetBounds({0, 0, 520, 278});

    optEnabled.SetHelpContext(2);
    optConfirm.SetHelpContext(3);
    chkCheckHistory.SetHelpContext(17);
    txtURL.SetHelpContext(22);
    btnGo.SetHelpContext(22);
    btnGo.SetDefault(true);
    txtEmail.SetHelpContext(2000);
    txtSMTP.SetHelpContext(2001);
    cboHTTPServersPages.SetHelpContext(4);
    cboHTTPServersBinary.SetHelpContext(6);
    cboFTPservers.SetHelpContext(7);
    lstHistory.SetHelpContext(9);
    chkOnFailure.SetHelpContext(26);
    chkNotEnabled.SetHelpContext(27);
    chkNever.SetHelpContext(28);
    btnSend.SetHelpContext(29);
    optBinaryFormat.SetHelpContext(7550);
    chkNoSplit.SetHelpContext(7550);
    lblChunkSize.SetHelpContext(7550);
    medChunksize.SetHelpContext(7550);
    chkCaptureHttps.SetHelpContext(7550);
    popHistory.Items = {&mnuShowDetail, &mnuDeletefromHistory, &mnuRequestAgain, &mnuHelp};
    popQueue.Items = {&Delete1, &RequestNow1, &DeleteAll1};
    lblVersion.SetCaption(VersionText());

    btnOk.SetHint("Confirm the changes you made");
    btnCancel.SetHint("Close without changes");
    btnCancel.SetCancel(true);
    btnUnload.SetHint("Remove Tolvar from memory");
    btnUnload.SetHelpContext(19);
    btnDecoderTools.SetHint("For processing files received");

    btnOk.OnClick = [this] { btnOkClick(); };
    btnCancel.OnClick = [this] { btnCancelClick(); };
    btnUnload.OnClick = [this] { btnUnloadClick(); };
    btnHelp.OnClick = [this] { btnHelpClick(); };
    btnDecoderTools.OnClick = [this] { btnDecoderToolsClick(); };
    btnNow.OnClick = [this] { btnNowClick(); };
    chkAutostart.OnClick = [this] { chkAutostartClick(); };
    Timer1.OnTimer = [this] { Timer1Timer(); };
    OnMinimize = [this] { FormResize(); };
    OnCloseQuery = [this] { return FormCloseQuery(); };
    OnShow = [this] {
        Desk().BringToFront(*this);
        // Whoever opens the General page has come to type a URL.
        if (PageControl1.ActivePageIndex() == pgGeneral) txtURL.SetFocus();
    };
    SetUpSettingsPages(*this);
    WireRequests();
}

void TfrmProps::WireRequests()
{
    msSMTP1.SetWinsockLoaded(true);
    msSMTP1.SetDefaultPort(25);
    msSMTP1.SetTimeOut(120);
    msSMTP1.SetMailMessage(&msMessage1);
    dispatcher.PrepareRequest = [this](const std::string& url) {
        TRequestSource source{cboHTTPServersPages.Text(), cboHTTPServersBinary.Text(), cboFTPservers.Text(),
                              txtEmail.Text(),           txtSMTP.Text(),              lists.NewestHistoryLine()};
        if (!PrepareRequest(url, source, msMessage1, msSMTP1)) return false;
        ApplySmtpLogin(*this);
        return true;
    };
    msSMTP1.OnPassword = [this](TagSocket&) { return passwords.Password(SmtpLogin(*this)); };
    // A refused password is not offered again: the next login asks anew.
    msSMTP1.OnError = [this](TagSocket&, std::string& msg) {
        if (msg.rfind(MailString(smLoginRefused), 0) == 0) passwords.Forget(SmtpLogin(*this));
    };
    passwords.AskPassword = [](const std::string& prompt, std::string& password) {
        return Desk().AskPassword(prompt, password);
    };
    dispatcher.UserAddress = [this] { return txtEmail.Text(); };
    dispatcher.WillBeQueued = [this](const std::string& url) { return lists.WillBeQueued(url); };
    dispatcher.DistributionTag = [] { return Prefs().distributionTag; };
    lists.SendRequest = [this](const std::string& url) { return dispatcher.SendRequest(url); };
    lists.RequestRefused = [this] { return dispatcher.Refused(); };
    lists.ApplyPreferences = [this] { ApplyPreferences(*this); };
    capture.DetailsComplete = [this] { return detailsComplete_; };
    capture.ProcessUpdateFile = [this](const std::string& text) {
        ProcessUpdateFile(text, [this] { RestartProgram(); });
    };
    btnGo.OnClick = [this] { capture.btnGoClick(); };
    btnSend.OnClick = [this] { lists.btnSendClick(); };
    mnuShowDetail.OnClick = [this] { lists.mnuShowDetailClick(); };
    mnuDeletefromHistory.OnClick = [this] { lists.mnuDeletefromHistoryClick(); };
    mnuRequestAgain.OnClick = [this] { lists.mnuRequestAgainClick(); };
    mnuHelp.OnClick = [this] { lists.mnuHelpClick(); };
    Delete1.OnClick = [this] { lists.Delete1Click(); };
    RequestNow1.OnClick = [this] { lists.RequestNow1Click(); };
    DeleteAll1.OnClick = [this] { lists.DeleteAll1Click(); };
    TaskIcon1.OnClick = [this] { TaskIcon1Click(); };
    TaskIcon1.OnRightClick = [this](TPoint) { TaskIcon1RightClick(); };
    OnKeyDown = [this](int key, unsigned shift) { return FormKeyDown(key, shift); };
}

TfrmProps::~TfrmProps()
{
    if (created_ && !destroyed_) FormDestroy();
}

std::string TfrmProps::VersionText() { return std::string("Tolvar Version ") + TOLVAR_VERSION; }

bool TfrmProps::JustOne32(bool previousInstanceExists)
{
    std::string flag = LocalRoot() + "AllowDuplicateInstance.Flg";
    if (FileExists(flag)) {
        DeleteFile(flag);
        return true;
    }
    if (!previousInstanceExists) return true;
    Desk().ActivatePreviousInstance("tolvar");
    return false;
}

void TfrmProps::ResetProcessState()
{
    dispatcher.dontSendMode = false;
    capture.superDebug = false;
    tickCount_ = 0;
    Prefs().lastHistoryTime = 0;
}

void TfrmProps::ReadCommandLine()
{
    commandLine_.clear();
    for (const auto& a : args_) commandLine_ += a;
    LogDebug("Cmd:" + commandLine_);
    silentStart_ = commandLine_.find("/s") != std::string::npos;
    showAtFirstTick_ = commandLine_.find("/p") != std::string::npos;
}

void TfrmProps::InstallExceptionHandler()
{
    SetExceptionHandler([](const TComponent& sender, const std::exception& e) {
        ReportError(sender.ClassName(), std::string("UH ") + e.what());
    });
}

void TfrmProps::FormCreate()
{
    try {
        CreateSteps();
    } catch (...) {
        // Even a start that failed half-way leaves a window to reach.
        if (!TaskIcon1.Active() && !Visible()) TaskIcon1RightClick();
        throw;
    }
    if (!TaskIcon1.Active() && !Visible()) TaskIcon1RightClick();
}

void TfrmProps::CreateSteps()
{
    created_ = true;
    ResetProcessState();
    ReadCommandLine();
    LogDebug(VersionText());
    InstallExceptionHandler();
    Desk().ProcessMessages();
    PageControl1.SetActivePageIndex(pgGeneral);
    msSMTP1.SetLogFileName(LocalRoot() + "SMTP.LOG");
    Hide();
    // Started before the steps that can fail, so housekeeping runs even
    // when the server catalogue is missing.
    Timer1.SetEnabled(true);
    Desk().SetTrayHandler([this](TTrayEvent e, TPoint at) {
        RunGuarded(TaskIcon1, [&] { TaskIcon1.TrayEvent(e, at); });
    });
    RefreshTrayIcon();
    TaskIcon1.SetActive(true);
    if (!TaskIcon1.Active()) NoTray();
    chkAutostart.SetChecked(AutostartEnabled());
    // The icon steps aside while the start asks about new servers.
    LoadServerCatalogue({cboFTPservers, cboHTTPServersBinary, cboHTTPServersPages}, *this,
                        [this](bool active) { TaskIcon1.SetActive(active); });
    lists.LoadFiles();
    Checkpoint = 4400;
    LoadSettings(*this);
    Checkpoint = 4401;
    ShowTipsChoice(*this);
    // From here on every clipboard change is seen; the text already there
    // is not, as details complete is still false until the check below.
    Desk().WatchClipboard([this] { RunGuarded(*this, [this] { capture.ClipboardChanged(); }); });
    if (commandLine_.find("/i") != std::string::npos) Hide();
    FillPreferencesPage(*this);
    Hide();
    ApplyPreferences(*this);
    detailsComplete_ = CheckRequiredFields(*this);
    if (Prefs().tipsEnabled && !silentStart_) ShowTips(TipsHooks());
    // The start also makes one tip window it never shows; making it moves
    // the saved position on, so the next start opens on a fresh tip. Only a
    // start that got this far has the stored position to move on from.
    TfrmTips unseen([this] { SaveTipSettings(*this); });
}

bool TfrmProps::CreateWithoutWindow()
{
    created_ = true;
    ResetProcessState();
    InstallExceptionHandler();
    msSMTP1.SetLogFileName(LocalRoot() + "SMTP.LOG");
    LoadServerCatalogue({cboFTPservers, cboHTTPServersBinary, cboHTTPServersPages}, *this);
    lists.LoadFiles();
    LoadSettings(*this);
    // Naming the URL on the command line is the confirmation; nothing here
    // is saved, so the stored choice stays.
    optConfirm.SetItemIndex(2);
    FillPreferencesPage(*this);
    ApplyPreferences(*this);
    detailsComplete_ = CheckRequiredFields(*this);
    return detailsComplete_ && btnOk.Enabled();
}

TTipsHooks TfrmProps::TipsHooks()
{
    return {[this] { SaveTipSettings(*this); }, [this](bool active) { TaskIcon1.SetActive(active); }};
}

void TfrmProps::Timer1Timer()
{
    std::string installerFlag = LocalRoot() + "Installer.Flg";
    if (FileExists(installerFlag)) {
        DeleteFile(installerFlag);
        Desk().Terminate();
        return;
    }
    ++tickCount_;
    if (SendInProgress()) return;
    CheckTray();
    if (tickCount_ > kTrimAfterTicks) {
        tickCount_ = 0;
        TrimFileToSizeCosmetic(DebugLogPath(), kLogKeepBytes);
        LogDebug("Log trimmed");
        if (Prefs().tipsEnabled) ShowTips(TipsHooks());
        return;
    }
    if (showAtFirstTick_ && !Visible()) {
        Show();
        showAtFirstTick_ = false;
    }
}

void TfrmProps::FormResize() { HideWindow(); }

void TfrmProps::HideWindow()
{
    if (TaskIcon1.Active()) {
        // Behind the icon the window is hidden, not minimised: it comes
        // back whole.
        SetMinimizedByUser(false);
        Hide();
    } else {
        Minimize();
    }
}

void TfrmProps::NoTray()
{
    if (noTrayLogged_) return;
    noTrayLogged_ = true;
    LogDebug("No system tray: the window stays in the task bar instead of hiding");
}

void TfrmProps::CheckTray()
{
    if (!TaskIcon1.Recheck()) return;
    if (TaskIcon1.Active()) {
        LogDebug("System tray found: icon added");
        noTrayLogged_ = false;
        return;
    }
    NoTray();
    if (!Visible()) Minimize();
}

void TfrmProps::ComeForward()
{
    if (!Visible()) PlaceFormOnScreen(*this, 0.5, 0.5);
    BringToFront();
}

int TfrmProps::CurrentHelpContext() const { return kPageHelp[PageControl1.ActivePageIndex()]; }

void TfrmProps::chkAutostartClick()
{
    bool want = chkAutostart.Checked();
    if (want == AutostartEnabled()) return;
    // After a failure the box shows what is on disk, not what was asked for.
    if (!SetAutostart(want, ExecutablePath())) chkAutostart.SetChecked(AutostartEnabled());
}

bool TfrmProps::FormCloseQuery()
{
    Checkpoint = 91000;
    bool allow = !Visible();
    if (!allow) btnCancelClick();
    Checkpoint = 91010;
    return allow;
}

void TfrmProps::RestartProgram()
{
    WriteFileString(LocalRoot() + "AllowDuplicateInstance.Flg", "\r");
    // The lists are saved before the new copy starts, so it reads what this
    // copy had rather than the files as they were at its own start.
    FormDestroy();
    Desk().StartProcess(ProgramFile(), args_);
    Desk().Terminate();
}

void TfrmProps::FormDestroy()
{
    if (destroyed_) return;
    destroyed_ = true;
    Timer1.SetEnabled(false);
    Checkpoint = 90000;
    lists.TrimHistory();
    Checkpoint = 90010;
    lists.SaveHistory();
    Checkpoint = 90020;
    lists.SaveQueue();
    Checkpoint = 90021;
    if (HasDesktop()) {
        Desk().WatchClipboard(nullptr);
        TaskIcon1.SetActive(false);
    }
    Checkpoint = 90030;
    Checkpoint = 90050;
    Checkpoint = 90060;
}

void TfrmProps::btnOkClick()
{
    detailsComplete_ = CheckRequiredFields(*this);
    if (!detailsComplete_) return;
    SaveSettings(*this);
    Checkpoint = 2345;
    HideWindow();
}

void TfrmProps::btnCancelClick()
{
    Checkpoint = 4410;
    LoadSettings(*this);
    RestorePreferencesPage(*this);
    Checkpoint = 4411;
    HideWindow();
}

void TfrmProps::RefreshTrayIcon()
{
    Prefs().enabledOff = optEnabled.ItemIndex() == 1;
    TaskIcon1.SetBright(!Prefs().enabledOff);
    TaskIcon1.SetToolTip(Prefs().enabledOff ? "(Tolvar)" : "Tolvar");
}

void TfrmProps::TaskIcon1Click()
{
    // Only the window changes: Ok stores the choice, Cancel brings back the
    // stored one.
    optEnabled.SetItemIndex(Prefs().enabledOff ? 0 : 1);
    RefreshTrayIcon();
    // A click that changed nothing visible but the icon's shade would be
    // easy to miss: say what it did.
    TaskIcon1.ShowMessage(Prefs().enabledOff ? "Tolvar is off \xE2\x80\x94 copied URLs are ignored" : "Tolvar is on");
}

void TfrmProps::TaskIcon1RightClick()
{
    PlaceFormOnScreen(*this, 0.5, 0.5);
    BringToFront();
}

bool TfrmProps::FormKeyDown(int key, unsigned shift)
{
    if ((shift & (ssCtrl | ssAlt)) != (ssCtrl | ssAlt)) return false;
    auto ask = [](const std::string& what, bool on) {
        return MessageDlg(what + (on ? "ON" : "OFF") + ". Change?", TMsgDlgType::mtConfirmation, mbYes | mbNo, 0) != mrNo;
    };
    if ((key == 0x41 || key == 0x61) && ask("Super debug status is: ", capture.superDebug))
        capture.superDebug = !capture.superDebug;
    if (key == 0x31 && ask("Don't send mode is: ", dispatcher.dontSendMode))
        dispatcher.dontSendMode = !dispatcher.dontSendMode;
    return key == 0x41 || key == 0x61 || key == 0x31;
}

void TfrmProps::btnUnloadClick()
{
    Checkpoint = 99999;
    Desk().Terminate();
}

void TfrmProps::btnHelpClick() { Desk().ShowHelp(CurrentHelpContext()); }

void TfrmProps::btnDecoderToolsClick()
{
    // Made when asked for, not at start: opening the wizard empties the
    // clipboard, which must never happen to a user who did not ask.
    Hide();
    try {
        TfrmDecode decoder;
        decoder.ShowModal();
    } catch (...) {
        Show();
        throw;
    }
    Show();
}

void TfrmProps::btnNowClick() { ShowTips(TipsHooks()); }
