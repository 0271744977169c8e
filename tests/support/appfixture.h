#pragma once
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/scripteddesktop.h"
#include "support/tempdir.h"

#ifndef TOLVAR_DATA_DIR
#error "TOLVAR_DATA_DIR must name the shipped data folder"
#endif

// A program folder holding the shipped data files, a settings folder of its
// own (XDG_CONFIG_HOME) and a scripted desktop: what a test of the main
// window needs to start it as a user would.
class TAppFixture {
public:
    TAppFixture()
    {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::copy(TOLVAR_DATA_DIR, root.Path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
        previousConfig_ = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
        ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
        fs::create_directories(config.Path() + "tolvar");
        // The tip of the day opens at start; a test that does not look at
        // it closes it at once, as most users do.
        desk.OnShowModal = [](TForm& form) { return form.ClassName() == "TfrmTips" ? mrOk : mrNone; };
    }
    ~TAppFixture()
    {
        if (previousConfig_.empty())
            ::unsetenv("XDG_CONFIG_HOME");
        else
            ::setenv("XDG_CONFIG_HOME", previousConfig_.c_str(), 1);
    }
    std::string IniPath() const { return config.Path() + "tolvar/TOLVAR.INI"; }
    // The user's details filled in, so start-up asks nothing.
    void WriteDetails(const std::string& email = "me@example.org", const std::string& smtp = "127.0.0.1")
    {
        config.Write("tolvar/TOLVAR.INI", "[General]\r\nEmail=" + email + "\r\n[Servers]\r\nSMTP=" + smtp + "\r\n");
    }

    TTempRoot root;
    TTempDir config;
    ScriptedDesktop desk;

private:
    std::string previousConfig_;
};
