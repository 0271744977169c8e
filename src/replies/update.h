#pragma once
#include <functional>
#include <set>
#include <string>

// An update mail copied to the clipboard: the UUencoded files between
// "---Begin Tolvar Update File---" and "---End Tolvar Update File---" replace
// data files of the program folder, and restart runs so the program starts
// again on them. Any other text passes through untouched.
//
// All or nothing: every file is decoded in memory and its name checked
// before anything is written; a bad block or a name that is not one of the
// program's data files writes nothing and says why (box and log). The user
// is asked first, shown the names. The files replaced are kept in
// backup/<date-time>/, and each new one is written beside its target,
// flushed and renamed into place, so a full disk leaves the old files whole.
void ProcessUpdateFile(const std::string& text, const std::function<void()>& restart);

// Why an update may not write a file of this name ("" when it may): only
// the program's data files (the catalogue, the templates it names, tips,
// help pages under help/, the extension lists, the suggestions, the
// distribution and test message texts, and new files of their kinds).
// templates: the template file names the catalogues name.
std::string UpdateFileRefusal(const std::string& name, const std::set<std::string>& templates);
