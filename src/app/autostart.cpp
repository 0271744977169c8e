#include "app/autostart.h"

#include <filesystem>

#include "core/error.h"
#include "core/fileutil.h"
#include "core/profile.h"

namespace {
// An Exec value: the path in double quotes with the characters the desktop
// entry rules reserve escaped, and "%" doubled so no field code is read.
std::string QuotedExec(const std::string& path)
{
    std::string out = "\"";
    // The quoting rule escapes with a backslash, and the file's string rule
    // escapes that backslash again: a literal backslash takes four.
    for (char c : path) {
        if (c == '\\')
            out += "\\\\\\\\";
        else if (c == '"' || c == '`' || c == '$')
            out += std::string("\\\\") + c;
        else if (c == '%')
            out += "%%";
        else
            out += c;
    }
    return out + "\"";
}
} // namespace

std::string AutostartPath()
{
    // The settings file's folder is <config>/tolvar/; autostart sits beside.
    std::string ini = SettingsIniPath();
    std::string config = ini.substr(0, ini.rfind("/tolvar/"));
    return config + "/autostart/tolvar.desktop";
}

bool AutostartEnabled() { return FileExists(AutostartPath()); }

std::string AutostartEntry(const std::string& program)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tolvar\n"
           "Comment=Requests web pages and files by e-mail\n"
           "Exec=" + QuotedExec(program) + "\n"
           "Icon=tolvar\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool SetAutostart(bool on, const std::string& program)
{
    std::string path = AutostartPath();
    std::error_code ec;
    if (!on) {
        std::filesystem::remove(path, ec);
        if (ec) ReportError("SetAutostart", "Cannot remove " + path + ": " + ec.message());
        return !ec;
    }
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    // WriteFileAtomic reports its own failure.
    return WriteFileAtomic(path, AutostartEntry(program));
}
