#include "app/settings.h"

#include <cctype>
#include <climits>

#include "app/props.h"
#include "core/deblog.h"
#include "core/error.h"
#include "core/localroot.h"
#include "core/profile.h"
#include "core/strutil.h"
#include "requests/catalogue.h"
#include "requests/prefs.h"
#include "ui/desktop.h"

namespace {
const char* const kGeneral = "General";
const char* const kServers = "Servers";

enum { kConfirmDefault = 2, kBinaryFormatDefault = 1, kChunkSizeDefault = 60 };

// "SMTPSecurity" values by the index of the security list.
const char* const kSecurityValues[] = {"None", "STARTTLS", "TLS"};

void LoadSmtpLogin(TfrmProps& form, TIniFile& ini)
{
    // Files from before these keys read as no security and no login.
    const std::string unset = "\n";
    std::string security = ini.ReadString(kServers, "SMTPSecurity", unset);
    form.smtpSecurityChosen = security != unset;
    int index = TfrmProps::secNone;
    for (int i = 0; i < 3; ++i)
        if (SameText(security, kSecurityValues[i])) index = i;
    form.cboSMTPSecurity.SetItemIndex(index);
    form.txtSMTPUser.SetText(ini.ReadString(kServers, "SMTPUser", ""));
    form.txtSMTPPasswordCommand.SetText(ini.ReadString(kServers, "SMTPPasswordCommand", ""));
    form.chkRememberPassword.SetChecked(ini.ReadBool(kServers, "SMTPRememberPassword", false));
    form.chkPlainLogin.SetChecked(ini.ReadBool(kServers, "SMTPPlainLogin", false));
}

void SaveSmtpLogin(TfrmProps& form, TIniFile& ini)
{
    int index = form.cboSMTPSecurity.ItemIndex();
    ini.WriteString(kServers, "SMTPSecurity", kSecurityValues[index >= 0 && index < 3 ? index : 0]);
    ini.WriteString(kServers, "SMTPUser", form.txtSMTPUser.Text());
    ini.WriteString(kServers, "SMTPPasswordCommand", form.txtSMTPPasswordCommand.Text());
    ini.WriteBool(kServers, "SMTPRememberPassword", form.chkRememberPassword.Checked());
    ini.WriteBool(kServers, "SMTPPlainLogin", form.chkPlainLogin.Checked());
}

// Sets a box from code without running its click handler.
void SetCheckedQuietly(TCheckBox& box, bool checked)
{
    TNotifyEvent onClick = std::move(box.OnClick);
    box.OnClick = nullptr;
    box.SetChecked(checked);
    box.OnClick = std::move(onClick);
}

// A stored choice that is none of the group's items is as good as missing.
int Choice(int stored, int count, int def) { return stored >= 0 && stored < count ? stored : def; }

// The chunk-size field: blanks around a decimal number; anything else is 0.
int ChunkSizeOf(const std::string& field)
{
    std::string t = Trim(field);
    size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
    if (i == t.size()) return 0;
    long long v = 0;
    for (size_t j = i; j < t.size(); ++j) {
        if (!std::isdigit(static_cast<unsigned char>(t[j]))) return 0;
        v = v * 10 + (t[j] - '0');
        if (v > INT_MAX) return 0;
    }
    return static_cast<int>(t[0] == '-' ? -v : v);
}

void EnableQueueChoices(TfrmProps& form)
{
    bool queuing = !form.chkNever.Checked();
    form.chkOnFailure.SetEnabled(queuing);
    form.chkNotEnabled.SetEnabled(queuing);
}

bool CheckRequiredField(TfrmProps& form, TEdit& field, const TLabel& label)
{
    if (!Trim(field.Text()).empty()) return true;
    // Above everything, as the window is still hidden; the caption keeps its
    // accelerator, shown underlined.
    Desk().MessageDlg({"The required field, " + label.Caption() + " is empty", TMsgDlgType::mtError, mbOK | mbHelp,
                       field.HelpContext(), true, true});
    PlaceFormOnScreen(form, 0.5, 0.5);
    form.Show();
    form.PageControl1.SetActivePageIndex(TfrmProps::pgMyDetails);
    field.SetFocus();
    return false;
}
} // namespace

void LoadSettings(TfrmProps& form)
{
    TPrefs& prefs = Prefs();
    Checkpoint = 1001;
    TIniFile ini(SettingsIniPath());
    Checkpoint = 1002;
    form.txtEmail.SetText(ini.ReadString(kGeneral, "Email", ""));
    form.txtSMTP.SetText(ini.ReadString(kServers, "SMTP", ""));
    LoadSmtpLogin(form, ini);
    Checkpoint = 1003;
    form.optConfirm.SetItemIndex(
        Choice(ini.ReadInteger(kGeneral, "Confirm", kConfirmDefault), 3, kConfirmDefault));
    prefs.binaryFormat =
        Choice(ini.ReadInteger(kGeneral, "prefBinaryFormat", kBinaryFormatDefault), 3, kBinaryFormatDefault);
    prefs.chunkSize = ini.ReadInteger(kGeneral, "ChunkSize", kChunkSizeDefault);
    prefs.splitFiles = ini.ReadBool(kGeneral, "Chunks", false);
    Checkpoint = 1004;
    // Anything but 1 (No) is Yes: a value above 1 is read as Yes, and so is
    // a negative one, which would otherwise select neither.
    form.optEnabled.SetItemIndex(ini.ReadInteger(kGeneral, "Enabled", 0) == 1 ? 1 : 0);
    form.RefreshTrayIcon();
    Checkpoint = 1006;
    form.chkCheckHistory.SetChecked(ini.ReadBool(kGeneral, "CheckHistory", true));
    Checkpoint = 1007;
    form.chkNotEnabled.SetChecked(ini.ReadBool(kGeneral, "chkNotEnabled", false));
    form.chkOnFailure.SetChecked(ini.ReadBool(kGeneral, "chkOnFailure", true));
    form.chkCaptureHttps.SetChecked(ini.ReadBool(kGeneral, "CaptureHttps", true));
    Checkpoint = 1008;
    // Its click would apply the Preferences page, which does not hold the
    // values just read (at start it is not even filled yet) and would
    // overwrite them.
    SetCheckedQuietly(form.chkNever, ini.ReadBool(kGeneral, "chkNever", false));
    EnableQueueChoices(form);
    Checkpoint = 1011;
    prefs.tipNumber = ini.ReadInteger(kGeneral, "TipNumber", 0);
    prefs.tipsEnabled = ini.ReadBool(kGeneral, "TipEnabled", true);
    Checkpoint = 1012;
    try {
        ini.WriteString(kGeneral, "LocalRoot", LocalRoot());
    } catch (const std::exception& e) {
        // Only people read this key; a settings file that cannot be written
        // is reported when the user saves.
        LogDebug(std::string("LocalRoot not written: ") + e.what());
    }
    Checkpoint = 1013;
}

void SaveSettings(TfrmProps& form)
{
    const TPrefs& prefs = Prefs();
    Checkpoint = 1101;
    TIniFile ini(SettingsIniPath());
    Checkpoint = 1102;
    ini.WriteString(kGeneral, "Email", form.txtEmail.Text());
    ini.WriteString(kServers, "SMTP", form.txtSMTP.Text());
    SaveSmtpLogin(form, ini);
    Checkpoint = 1103;
    ini.WriteInteger(kGeneral, "Confirm", form.optConfirm.ItemIndex());
    Checkpoint = 1104;
    ini.WriteInteger(kGeneral, "Enabled", form.optEnabled.ItemIndex());
    ini.WriteInteger(kGeneral, "prefBinaryFormat", prefs.binaryFormat);
    Checkpoint = 1105;
    ini.WriteBool(kGeneral, "CheckHistory", form.chkCheckHistory.Checked());
    ini.WriteBool(kGeneral, "chkOnFailure", form.chkOnFailure.Checked());
    ini.WriteBool(kGeneral, "chkNotEnabled", form.chkNotEnabled.Checked());
    ini.WriteBool(kGeneral, "chkNever", form.chkNever.Checked());
    ini.WriteBool(kGeneral, "CaptureHttps", form.chkCaptureHttps.Checked());
    ini.WriteInteger(kGeneral, "ChunkSize", prefs.chunkSize);
    ini.WriteBool(kGeneral, "Chunks", prefs.splitFiles);
    Checkpoint = 1106;
    ini.WriteString(kServers, "FTP", form.cboFTPservers.Text());
    ini.WriteString(kServers, "HTTPBinary", form.cboHTTPServersBinary.Text());
    ini.WriteString(kServers, "HTTPPages", form.cboHTTPServersPages.Text());
    Checkpoint = 1199;
}

void SaveTipSettings(TfrmProps& form)
{
    TIniFile ini(SettingsIniPath());
    ini.WriteInteger(kGeneral, "TipNumber", Prefs().tipNumber);
    ini.WriteBool(kGeneral, "TipEnabled", Prefs().tipsEnabled);
    SetCheckedQuietly(form.chkShowTips, Prefs().tipsEnabled);
}

void ApplyPreferences(TfrmProps& form)
{
    TPrefs& prefs = Prefs();
    prefs.splitFiles = !form.chkNoSplit.Checked();
    prefs.binaryFormat = form.optBinaryFormat.ItemIndex();
    form.cboHTTPServersBinaryChange();
    prefs.chunkSize = ChunkSizeOf(form.medChunksize.Text());
    form.lblChunkSize.SetEnabled(prefs.splitFiles);
    form.medChunksize.SetEnabled(prefs.splitFiles);
    if (prefs.chunkSize < 1 && prefs.splitFiles) {
        MessageDlg("The Chunksize is not legal", TMsgDlgType::mtError, mbRetry, 0);
        form.Show();
        form.PageControl1.SetActivePageIndex(TfrmProps::pgPreferences);
        form.medChunksize.SetFocus();
        form.btnOk.SetEnabled(false);
    } else {
        form.btnOk.SetEnabled(true);
    }
    EnableQueueChoices(form);
    form.btnSend.SetEnabled(form.lstQueue.Items().Count() >= 1);
}

bool CheckRequiredFields(TfrmProps& form)
{
    return CheckRequiredField(form, form.txtEmail, form.lblEmail) &&
           CheckRequiredField(form, form.txtSMTP, form.lblSMTP);
}

void ShowTipsChoice(TfrmProps& form)
{
    if (Prefs().tipsEnabled) SetCheckedQuietly(form.chkShowTips, true);
}

void FillPreferencesPage(TfrmProps& form)
{
    const TPrefs& prefs = Prefs();
    // The page's handlers would apply it half filled; the start applies it
    // once it is whole.
    TNotifyEvent onFormat = std::move(form.optBinaryFormat.OnClick);
    TNotifyEvent onChunk = std::move(form.medChunksize.OnChange);
    form.optBinaryFormat.OnClick = nullptr;
    form.medChunksize.OnChange = nullptr;
    form.optBinaryFormat.SetItemIndex(prefs.binaryFormat);
    SetCheckedQuietly(form.chkNoSplit, !prefs.splitFiles);
    form.medChunksize.SetText(std::to_string(prefs.chunkSize));
    form.optBinaryFormat.OnClick = std::move(onFormat);
    form.medChunksize.OnChange = std::move(onChunk);
}

void RestorePreferencesPage(TfrmProps& form)
{
    FillPreferencesPage(form);
    form.cboHTTPServersBinaryChange();
    form.lblChunkSize.SetEnabled(Prefs().splitFiles);
    form.medChunksize.SetEnabled(Prefs().splitFiles);
    form.btnOk.SetEnabled(true);
}

void SetUpSettingsPages(TfrmProps& form)
{
    // A fresh system's choices, so the pages make sense even when the start
    // could not load the settings.
    form.optEnabled.SetItemIndex(0);
    form.optConfirm.SetItemIndex(kConfirmDefault);
    form.chkCheckHistory.SetChecked(true);
    form.chkOnFailure.SetChecked(true);
    form.optBinaryFormat.SetItemIndex(kBinaryFormatDefault);
    form.chkNoSplit.SetChecked(true);
    form.chkCaptureHttps.SetChecked(true);
    form.medChunksize.SetText(std::to_string(kChunkSizeDefault));
    form.lblChunkSize.SetEnabled(false);
    form.medChunksize.SetEnabled(false);
    form.cboSMTPSecurity.Items().Clear();
    for (const char* item : {"None", "STARTTLS", "SSL/TLS"}) form.cboSMTPSecurity.Items().Add(item);
    form.cboSMTPSecurity.SetItemIndex(TfrmProps::secNone);

    form.txtEmail.OnChange = [&form] { form.txtEmailChange(); };
    form.txtSMTP.OnChange = [&form] { form.txtSMTPChange(); };
    form.cboSMTPSecurity.OnChange = [&form] { form.cboSMTPSecurityChange(); };
    form.txtSMTPPasswordCommand.OnChange = [&form] { form.txtSMTPPasswordCommandChange(); };
    form.optEnabled.OnClick = [&form] { form.optEnabledClick(); };
    form.chkShowTips.OnClick = [&form] { form.chkShowTipsClick(); };
    form.chkNever.OnClick = [&form] { form.chkNeverClick(); };
    form.optBinaryFormat.OnClick = [&form] { form.optBinaryFormatClick(); };
    form.chkNoSplit.OnClick = [&form] { form.chkNoSplitClick(); };
    form.medChunksize.OnChange = [&form] { form.medChunksizeChange(); };
    form.PageControl1.OnChange = [&form] { form.PageControl1Change(); };
    form.cboHTTPServersPages.OnChange = [&form] { form.cboHTTPServersPagesChange(); };
    form.cboHTTPServersBinary.OnChange = [&form] { form.cboHTTPServersBinaryChange(); };
}

// --- the settings pages' handlers of the main window

void TfrmProps::txtEmailChange() { LogDebug("Email: " + txtEmail.Text()); }
void TfrmProps::txtSMTPChange()
{
    LogDebug("SMTP: " + txtSMTP.Text());
    if (!smtpSecurityChosen) cboSMTPSecurity.SetItemIndex(SecurityForServer(txtSMTP.Text()));
}

void TfrmProps::cboSMTPSecurityChange() { smtpSecurityChosen = true; }

// A command is the password's source; the Secret Service is only for a
// password typed into the box. (The command itself is not logged: it may
// hold a secret.) Whether a Secret Service runs is asked only when a
// password is needed, so starting never waits on the session bus.
void TfrmProps::txtSMTPPasswordCommandChange()
{
    chkRememberPassword.SetEnabled(Trim(txtSMTPPasswordCommand.Text()).empty());
}

int SecurityForServer(const std::string& server)
{
    auto colon = server.find(':');
    std::string port = colon == std::string::npos ? std::string() : Trim(server.substr(colon + 1));
    if (port == "587") return TfrmProps::secStartTLS;
    if (port == "465") return TfrmProps::secTLS;
    return TfrmProps::secNone;
}

TPasswordSource::TLogin SmtpLogin(const TfrmProps& form)
{
    return {Trim(form.txtSMTP.Text()), Trim(form.txtSMTPUser.Text()), Trim(form.txtSMTPPasswordCommand.Text()),
            form.chkRememberPassword.Checked()};
}

void ApplySmtpLogin(TfrmProps& form)
{
    int index = form.cboSMTPSecurity.ItemIndex();
    form.msSMTP1.SetSecurity(index == TfrmProps::secStartTLS ? ssStartTLS
                             : index == TfrmProps::secTLS    ? ssTLS
                                                             : ssNone);
    form.msSMTP1.SetUserName(Trim(form.txtSMTPUser.Text()));
    form.msSMTP1.SetAllowPlainLogin(form.chkPlainLogin.Checked());
}
void TfrmProps::optEnabledClick() { RefreshTrayIcon(); }

void TfrmProps::chkShowTipsClick()
{
    Prefs().tipsEnabled = chkShowTips.Checked();
    SaveTipSettings(*this);
}

void TfrmProps::chkNeverClick() { ApplyPreferences(*this); }
// The shown format is the one requests use and Ok saves.
void TfrmProps::optBinaryFormatClick() { ApplyPreferences(*this); }
void TfrmProps::chkNoSplitClick() { ApplyPreferences(*this); }
void TfrmProps::medChunksizeChange() { ApplyPreferences(*this); }
void TfrmProps::PageControl1Change() { ApplyPreferences(*this); }
void TfrmProps::cboHTTPServersPagesChange() { CachePageServer(cboHTTPServersPages); }
void TfrmProps::cboHTTPServersBinaryChange() { CacheBinaryServer(cboHTTPServersBinary); }
