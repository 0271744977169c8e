#pragma once
#include <string>

#include "app/secrets.h"

class TfrmProps;

// The user's settings: TOLVAR.INI, the controls of the main window's pages
// that show them, and the process-wide values (requests/prefs.h).

// Reads the settings file into the controls and the process-wide values
// (not the server keys, which only the start reads, nor the Preferences
// page, which only the start fills) and writes "LocalRoot".
void LoadSettings(TfrmProps& form);
// Writes every setting but the tip keys. Raises EInOutError when the file
// cannot be written.
void SaveSettings(TfrmProps& form);
// Writes "TipNumber" and "TipEnabled" at once and sets the tips check box.
void SaveTipSettings(TfrmProps& form);
// Takes the Preferences page into the process-wide values, re-caches the
// binary server for the format and checks the chunk size (Ok is disabled
// while it is illegal); also enables the controls that depend on others.
void ApplyPreferences(TfrmProps& form);
// The SMTP client's security, user and plain-login choice from " My Details ".
void ApplySmtpLogin(TfrmProps& form);
// The login as the password source needs it, from " My Details ".
TPasswordSource::TLogin SmtpLogin(const TfrmProps& form);
// The security the port of an "host:port" server suggests: 587 STARTTLS,
// 465 SSL/TLS, anything else none.
int SecurityForServer(const std::string& server);

// True when the address and the SMTP server are filled in; otherwise says
// which is empty and opens the window on " My Details ".
bool CheckRequiredFields(TfrmProps& form);

// Start-up steps: the tips check box from the tips setting, and the
// Preferences page from the process-wide values. Neither fires the
// controls' handlers, so nothing is written or checked on the way.
// FillPreferencesPage sets every control of the Preferences page from the
// process-wide values: a control added to the page is filled there, so that
// Cancel restores it too.
void ShowTipsChoice(TfrmProps& form);
void FillPreferencesPage(TfrmProps& form);
// Cancel: after LoadSettings, the Preferences page shows the stored values
// again, with the binary template and the controls that follow them; what
// was typed and cancelled can then not be applied or saved later.
void RestorePreferencesPage(TfrmProps& form);

// The settings pages' controls as a fresh window shows them, and their
// handlers attached.
void SetUpSettingsPages(TfrmProps& form);
