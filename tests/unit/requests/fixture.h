#pragma once
#include <cstdlib>
#include <filesystem>
#include <string>

#include "requests/catalogue.h"
#include "requests/prefs.h"
#include "support/scripteddesktop.h"
#include "support/tempdir.h"

// A program folder, a settings folder of its own and a scripted desktop,
// with the three server lists a main window would carry.
struct TRequestsFixture {
    TRequestsFixture()
    {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        hadConfig = old != nullptr;
        if (old) savedConfig = old;
        ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
        std::filesystem::create_directories(config.Path() + "tolvar");
        Prefs() = TPrefs();
    }
    ~TRequestsFixture()
    {
        if (hadConfig)
            ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        Prefs() = TPrefs();
    }
    std::string Ini() const { return config.Read("tolvar/TOLVAR.INI"); }
    void WriteIni(const std::string& text) const { config.Write("tolvar/TOLVAR.INI", text); }
    TServerLists Lists() { return {ftp, binary, pages}; }

    TTempRoot root;
    TTempDir config;
    ScriptedDesktop desk;
    TForm window{"frmProps"};
    TComboBox ftp{"cboFTPservers"}, binary{"cboHTTPServersBinary"}, pages{"cboHTTPServersPages"};
    bool hadConfig = false;
    std::string savedConfig;
};
