#pragma once
#include <string>

// The program folder with its trailing "/": every data file but the settings
// file is LocalRoot() + a fixed name.
const std::string& LocalRoot();
void SetLocalRoot(const std::string& folder);
// The folder of a program path, cut after its last "/" (the whole path when it
// has none).
std::string FolderOfPath(const std::string& path);
// The running executable's full path, and its folder.
std::string ExecutablePath();
std::string ExecutableFolder();

// Where this copy keeps its program-folder files. A copy whose folder it may
// write to is portable: LocalRoot is that folder, as always. A copy installed
// where it may not write (the program in .../bin, its data in
// .../share/tolvar) keeps them in ${XDG_DATA_HOME:-~/.local/share}/tolvar,
// where the installed data files that are missing are copied first; files
// already there are the user's and are never replaced.
struct TProgramFolder {
    std::string localRoot;
    // The installed data folder ("" for a portable copy).
    std::string installedData;
    // What could not be copied from it, one path a line ("" when all was).
    std::string seedFailures;
};
TProgramFolder ChooseProgramFolder(const std::string& exeFolder);
// Sets LocalRoot for the running executable; returns what ChooseProgramFolder
// found.
TProgramFolder SetUpLocalRoot();
// ${XDG_DATA_HOME:-~/.local/share}/tolvar/ (an XDG path that is not absolute
// is ignored, as the XDG rules say).
std::string UserDataFolder();
// The file to start for a restart: the running executable when installed,
// LocalRoot + "tolvar" for a portable copy.
std::string ProgramFile();
// The folder the help pages are read from: the installed data's when
// installed (kept current by each install), else LocalRoot's.
std::string HelpFolder();
