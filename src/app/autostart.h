#pragma once
#include <string>

// "Start Tolvar when I log in": an XDG autostart entry,
// ${XDG_CONFIG_HOME:-~/.config}/autostart/tolvar.desktop, that the desktop
// session starts at login.
std::string AutostartPath();
bool AutostartEnabled();
// The entry that starts program (an absolute path) at login.
std::string AutostartEntry(const std::string& program);
// Writes the entry (on) or removes it (off); a failure is reported and
// returns false.
bool SetAutostart(bool on, const std::string& program);
