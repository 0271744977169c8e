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
