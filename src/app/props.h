#pragma once
#include <string>
#include <vector>

#include "app/secrets.h"
#include "intake/capture.h"
#include "intake/dispatch.h"
#include "intake/histqueue.h"
#include "intake/taskicon.h"
#include "mail/msmsg.h"
#include "mail/mssmtp.h"
#include "replies/tips.h"
#include "ui/controls.h"

// The hidden main window: a tabbed property sheet behind the tray icon that
// owns the program's shared parts for the whole run. Its pages' logic lives
// in the modules that own them; this class holds the controls and the
// window's life (creation, timer, restart, shutdown).
class TfrmProps : public TForm {
public:
    // args: the command-line parameters, in order.
    explicit TfrmProps(std::vector<std::string> args);
    ~TfrmProps() override;
    std::string ClassName() const override { return "TfrmProps"; }

    // The single-instance component's check, run first during creation:
    // false when this copy must end at once (another copy runs).
    bool JustOne32(bool previousInstanceExists);
    void FormCreate();
    // The start of `tolvar request` when no copy runs: catalogue, lists and
    // settings as FormCreate reads them, without clipboard, tray or tips.
    // False (reported) when no request can be sent.
    bool CreateWithoutWindow();
    void FormDestroy();
    void Timer1Timer();
    void FormResize();
    bool FormCloseQuery();
    void RestartProgram();

    void btnOkClick();
    void btnCancelClick();
    void btnUnloadClick();
    void btnHelpClick();
    // Opens the UUDecoder wizard with the main window hidden meanwhile.
    void btnDecoderToolsClick();
    void btnNowClick();

    // The settings pages' handlers (app/settings.cpp).
    void txtEmailChange();
    void txtSMTPChange();
    void cboSMTPSecurityChange();
    void txtSMTPPasswordCommandChange();
    void optEnabledClick();
    void chkShowTipsClick();
    void chkNeverClick();
    void optBinaryFormatClick();
    void chkNoSplitClick();
    void medChunksizeChange();
    void PageControl1Change();
    void cboHTTPServersPagesChange();
    void cboHTTPServersBinaryChange();
    // The enabled-off flag, the tray picture and its tip from the "Enabled" choice.
    void RefreshTrayIcon();
    void TaskIcon1Click();
    void TaskIcon1RightClick();
    // A later start asked this copy to come forward: the window is shown,
    // restored and raised, whether it was hidden or minimised.
    void ComeForward();
    // Each tick: the icon follows the tray coming and going.
    void CheckTray();
    // "&Ok", "&Cancel", closing and minimising put the window away: hidden
    // behind the icon, or minimised to the task bar when there is no tray.
    void HideWindow();
    // The help context of the page on display.
    int CurrentHelpContext() const override;
    void chkAutostartClick();
    // Ctrl+Alt+A (or keypad 1): super debug; Ctrl+Alt+1: don't-send mode.
    // True when the key was one of them.
    bool FormKeyDown(int key, unsigned shift);

    // --- process state kept by the window
    const std::string& CommandLine() const { return commandLine_; }
    bool SilentStart() const { return silentStart_; }
    bool ShowAtFirstTick() const { return showAtFirstTick_; }
    int TickCount() const { return tickCount_; }
    bool DetailsComplete() const { return detailsComplete_; }
    // True while a request is being sent; the timer leaves its housekeeping
    // alone meanwhile.
    bool SendInProgress() const { return dispatcher.SendInProgress(); }

    static std::string VersionText();

    // --- controls, page by page
    TPageControl PageControl1{"PageControl1",
                              {" General ", " My Details ", " Servers ", " History ", " Queued Requests ",
                               " Preferences ", " About "}};
    enum Page { pgGeneral, pgMyDetails, pgServers, pgHistory, pgQueue, pgPreferences, pgAbout };

    // " General "
    TRadioGroup optEnabled{"optEnabled", "Enabled", {"Y&es", "&No"}};
    TRadioGroup optConfirm{"optConfirm",
                           "When requesting files or pages",
                           {"&Ask me to confirm all requests", "Ask me to confirm &ZIP and EXE files only",
                            "&Just do it"}};
    TCheckBox chkCheckHistory{"chkCheckHistory", "Don't &repeat requests"};
    TLabel lblManualEntry{"lblManualEntry", "Manual entry: Type a URL from a book, magazine, etc. and press Go"};
    TEdit txtURL{"txtURL"};
    TButton btnGo{"btnGo", "&Go"};
    TCheckBox chkShowTips{"chkShowTips", "Enabled"};
    TButton btnNow{"btnNow", "Now"};

    // " My Details "
    TLabel lblEmail{"lblEmail", "A&ddress"};
    TEdit txtEmail{"txtEmail"};
    TLabel lblSMTP{"lblSMTP", "&SMTP server address"};
    TEdit txtSMTP{"txtSMTP"};
    // How to reach a provider's server: encryption and login.
    TLabel lblSMTPSecurity{"lblSMTPSecurity", "Securi&ty"};
    TComboBox cboSMTPSecurity{"cboSMTPSecurity"};
    enum Security { secNone, secStartTLS, secTLS };
    TLabel lblSMTPUser{"lblSMTPUser", "User &name"};
    TEdit txtSMTPUser{"txtSMTPUser"};
    TLabel lblSMTPPasswordCommand{"lblSMTPPasswordCommand", "Pass&word command"};
    TEdit txtSMTPPasswordCommand{"txtSMTPPasswordCommand"};
    TCheckBox chkRememberPassword{"chkRememberPassword", "Remem&ber password"};
    TCheckBox chkPlainLogin{"chkPlainLogin", "Allow login without encr&yption"};
    // The user (or the settings file) has chosen the security; until then it
    // follows the port typed with the server (587 STARTTLS, 465 SSL/TLS).
    bool smtpSecurityChosen = false;

    // " Servers "
    TLabel lblPages{"lblPages", "Http (www) server for &pages"};
    TComboBox cboHTTPServersPages{"cboHTTPServersPages"};
    TLabel lblBinary{"lblBinary", "Http (www) server for progra&m/binary files"};
    TComboBox cboHTTPServersBinary{"cboHTTPServersBinary"};
    TLabel lblFTP{"lblFTP", "&Ftp server"};
    TComboBox cboFTPservers{"cboFTPservers"};

    // " History "
    TListBox lstHistory{"lstHistory"};
    TPopupMenu popHistory{"popHistory"};
    TMenuItem mnuShowDetail{"mnuShowDetail", "&Show Detail"};
    TMenuItem mnuDeletefromHistory{"mnuDeletefromHistory", "&Delete from History"};
    TMenuItem mnuRequestAgain{"mnuRequestAgain", "Request &Again"};
    TMenuItem mnuHelp{"mnuHelp", "&Help"};

    // " Queued Requests "
    TCheckBox chkOnFailure{"chkOnFailure", "On &failure to send"};
    TCheckBox chkNotEnabled{"chkNotEnabled", "When Enabled is set to No"};
    TCheckBox chkNever{"chkNever", "&Never"};
    TListBox lstQueue{"lstQueue"};
    TButton btnSend{"btnSend", "&Send Queue"};
    TPopupMenu popQueue{"popQueue"};
    TMenuItem Delete1{"Delete1", "&Delete"};
    TMenuItem RequestNow1{"RequestNow1", "Request &Now"};
    TMenuItem DeleteAll1{"DeleteAll1", "Delete &All"};

    // " Preferences "
    TRadioGroup optBinaryFormat{"optBinaryFormat", " Binary file return format ", {"&UUencoded", "&MIME", "&Btoa"}};
    TCheckBox chkNoSplit{"chkNoSplit", "&Don't split"};
    TLabel lblChunkSize{"lblChunkSize", "Chun&ksize (Kbytes)"};
    TEdit medChunksize{"medChunksize"};
    TCheckBox chkAutostart{"chkAutostart", "Start Tolvar when I log in"};
    TCheckBox chkCaptureHttps{"chkCaptureHttps", "Capture https:// URLs"};

    // " About "
    TLabel lblVersion{"lblVersion"};

    // Bottom row
    TButton btnOk{"btnOk", "&Ok"};
    TButton btnCancel{"btnCancel", "&Cancel"};
    TButton btnUnload{"btnUnload", "&Unload"};
    TButton btnHelp{"btnHelp", "&Help"};
    TButton btnDecoderTools{"btnDecoderTools", "UUDecoder"};

    TTimer Timer1{"Timer1", 6000};
    TTaskIcon TaskIcon1{"TaskIcon1"};

    // The parts the pages share for the whole run: the request being sent,
    // the SMTP client, the two lists, the dispatcher and the capture.
    TmsMessage msMessage1;
    TmsSMTP msSMTP1;
    THistoryQueue lists{lstHistory, lstQueue, chkNever};
    TDispatcher dispatcher{msMessage1, msSMTP1, lists};
    // The login password: command, memory, Secret Service or the box.
    TPasswordSource passwords{MakeKeyring()};
    TCapture capture{{*this, optEnabled, optConfirm, chkCheckHistory, chkNotEnabled, chkNever, txtURL,
                     chkCaptureHttps},
                    lists, dispatcher};

private:
    void WireRequests();
    void ResetProcessState();
    void ReadCommandLine();
    void InstallExceptionHandler();
    void CreateSteps();
    void NoTray();
    TTipsHooks TipsHooks();

    std::vector<std::string> args_;
    std::string commandLine_;
    bool silentStart_ = false;
    bool showAtFirstTick_ = false;
    bool detailsComplete_ = false;
    int tickCount_ = 0;
    bool created_ = false;
    bool destroyed_ = false;
    bool noTrayLogged_ = false;
};
