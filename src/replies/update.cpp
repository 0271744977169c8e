#include "replies/update.h"

#include <ctime>
#include <filesystem>
#include <vector>

#include "core/deblog.h"
#include "core/error.h"
#include "core/exception.h"
#include "core/fileutil.h"
#include "core/flagguard.h"
#include "core/localroot.h"
#include "core/profile.h"
#include "core/strutil.h"
#include "mail/codecerror.h"
#include "mail/filename.h"
#include "mail/uucode.h"
#include "requests/catalogue.h"
#include "ui/desktop.h"

namespace {
const std::string kBegin = "---Begin Tolvar Update File---";
const std::string kEnd = "---End Tolvar Update File---";
const std::string kHelpFolder = "help/";

struct TUpdateFile {
    std::string name;
    std::string data;
};

// Stops the whole update; the message says why, in the user's terms.
class EUpdateRefused : public Exception {
public:
    using Exception::Exception;
};

// The non-empty lines; CR, LF and their doublings (mail programs that
// double the carriage return) all end a line.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos) end = text.size();
        if (end > at) lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

bool IsOctalMode(const std::string& mode)
{
    if (mode.size() < 3 || mode.size() > 4) return false;
    for (char c : mode)
        if (c < '0' || c > '7') return false;
    return true;
}

// "begin", a blank, the mode, a blank and the name (in double quotes when
// it needs them). false for any line not starting with "begin "; a line
// that does but is no begin line refuses the update.
bool BeginLine(const std::string& line, std::string& name)
{
    if (!line.starts_with("begin ")) return false;
    size_t blank = line.find(' ', 6);
    std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    if (!IsOctalMode(line.substr(6, blank == std::string::npos ? std::string::npos : blank - 6)) || rest.empty())
        throw EUpdateRefused("\"" + line + "\" is no begin line of an encoded file");
    if (rest[0] == '"') {
        size_t close = rest.find('"', 1);
        if (close == std::string::npos) throw EUpdateRefused("\"" + line + "\" has an unclosed file name");
        name = rest.substr(1, close - 1);
    } else {
        while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.pop_back();
        name = rest;
    }
    return true;
}

// Every encoded file, decoded whole or refused: a bad character, a begin
// line inside a file or a missing "end" line stops it all.
std::vector<TUpdateFile> DecodeFiles(const std::string& text)
{
    std::vector<TUpdateFile> files;
    const std::vector<std::string> lines = Lines(text);
    std::string name;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!BeginLine(lines[i], name)) continue;   // words around the files
        TUpdateFile file{name, {}};
        bool ended = false;
        for (size_t n = 1; ++i < lines.size(); ++n) {
            const std::string& line = lines[i];
            ended = SameText(line, "end");
            if (ended) break;
            if (line.starts_with("begin ")) break;
            try {
                file.data += UUDecodeLine(line);
            } catch (const ECodecError& e) {
                throw EUpdateRefused(name + ", encoded line " + std::to_string(n) + ": " + e.what());
            }
        }
        if (!ended) throw EUpdateRefused(name + " has no \"end\" line: the file is incomplete");
        files.push_back(std::move(file));
    }
    return files;
}

void AddTemplateNames(const std::string& catalogueText, std::set<std::string>& names)
{
    const TMemIniFile catalogue(catalogueText);
    for (const auto& server : catalogue.ReadSections())
        for (const char* key : {"filePagesHttp", "fileBinaryHttpU", "fileBinaryHttpM"}) {
            std::string name = catalogue.ReadString(server, key, "");
            if (!name.empty()) names.insert(name);
        }
}

// The names are checked against the catalogue in place and the one the
// update brings: each may name templates the other does not.
void CheckNames(const std::vector<TUpdateFile>& files)
{
    std::set<std::string> templates, seen;
    try {
        AddTemplateNames(ReadFileString(CatalogueFileName()), templates);
    } catch (const std::exception&) {
        // An unreadable catalogue names nothing.
    }
    for (const auto& f : files)
        if (f.name == "uservers.dat") AddTemplateNames(f.data, templates);
    for (const auto& f : files) {
        std::string why = UpdateFileRefusal(f.name, templates);
        if (!why.empty()) throw EUpdateRefused(f.name + " may not be replaced by an update: " + why);
        if (!seen.insert(f.name).second) throw EUpdateRefused(f.name + " is carried twice");
    }
}

std::string NameList(const std::vector<TUpdateFile>& files)
{
    std::string names;
    for (const auto& f : files) names += (names.empty() ? "" : ", ") + f.name;
    return names;
}

// LocalRoot() + "backup/<date-time>/", one not used before.
std::string NewBackupFolder()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    const std::string base = LocalRoot() + "backup/" + stamp;
    std::string folder = base;
    for (int n = 2; std::filesystem::exists(folder); ++n) folder = base + "-" + std::to_string(n);
    return folder + "/";
}

struct TTarget {
    std::string path;
    bool existed = false;
    std::string old;
    std::string temp;
};

// Raises EInOutError naming the file.
template <class F> void OnFile(const std::string& name, F&& step)
{
    try {
        step();
    } catch (const std::exception& e) {
        throw EInOutError(name + " could not be written (" + e.what() + ")");
    }
}

// Puts back the files already renamed into place and drops the rest.
void RollBack(std::vector<TTarget>& targets, size_t renamed)
{
    for (size_t i = 0; i < targets.size(); ++i) {
        TTarget& t = targets[i];
        if (i >= renamed) {
            if (!t.temp.empty()) DeleteFile(t.temp);
        } else if (!t.existed) {
            DeleteFile(t.path);
        } else {
            try {
                ReplaceFileContents(t.path, t.old);
            } catch (const std::exception& e) {
                LogDebug("Update: " + t.path + " not put back (" + e.what() + "); its copy is in backup/");
            }
        }
    }
}

// Returns the backup folder ("" when no file was replaced). Raises with
// every file as it was.
std::string WriteFiles(const std::vector<TUpdateFile>& files)
{
    std::vector<TTarget> targets;
    bool anyOld = false;
    for (const auto& f : files) {
        TTarget t;
        t.path = LocalRoot() + f.name;
        if (std::filesystem::exists(t.path) && !FileExists(t.path))
            throw EInOutError(f.name + " is in the way: it is not a file");
        t.existed = FileExists(t.path);
        if (t.existed) OnFile(f.name, [&] { t.old = ReadFileString(t.path); });
        anyOld = anyOld || t.existed;
        targets.push_back(std::move(t));
    }
    std::string backup = anyOld ? NewBackupFolder() : std::string();
    size_t renamed = 0;
    try {
        for (size_t i = 0; i < files.size(); ++i) {
            if (!targets[i].existed) continue;
            std::string copy = backup + files[i].name;
            OnFile("backup/" + files[i].name, [&] {
                std::filesystem::create_directories(FolderOfPath(copy));
                ReplaceFileContents(copy, targets[i].old);
            });
        }
        for (size_t i = 0; i < files.size(); ++i)
            OnFile(files[i].name, [&] {
                std::filesystem::create_directories(FolderOfPath(targets[i].path));
                targets[i].temp = WriteTempFileBeside(targets[i].path, files[i].data);
            });
        for (; renamed < files.size(); ++renamed)
            OnFile(files[renamed].name, [&] { MoveTempFileOver(targets[renamed].temp, targets[renamed].path); });
    } catch (...) {
        RollBack(targets, renamed);
        // Only a folder of copies that nothing needs any more goes.
        std::error_code ec;
        if (!backup.empty() && renamed == 0) std::filesystem::remove_all(backup, ec);
        throw;
    }
    return backup;
}

void Refuse(const std::string& reason)
{
    ReportError("ProcessUpdateFile", reason + ". Nothing was changed");
}
} // namespace

std::string UpdateFileRefusal(const std::string& name, const std::set<std::string>& templates)
{
    for (char c : name)
        if (static_cast<unsigned char>(c) < ' ' || c == '\x7F') return "its name holds control characters";
    std::string file = name.starts_with(kHelpFolder) ? name.substr(kHelpFolder.size()) : name;
    const std::string lower = LowerCase(file);
    auto is = [&](const char* extension) { return lower.ends_with(extension); };
    if (file.empty()) return "it has no name";
    if (file.find_first_of("/\\") != std::string::npos) return "its name holds a folder";
    if (file[0] == '.') return "hidden files are not data files";
    if (file != name) return is(".html") || is(".htm") ? "" : "only help pages go into the help folder";
    if (name == "tolvar" || name == ExtractFileName(ExecutablePath())) return "it is the program itself";
    if (is(".flg")) return "flag files steer the program";
    if (lower == "history.dat") return "it holds your request history";
    if (lower == "queue.dat") return "it holds your queued requests";
    if (lower == "debuglog.txt" || is(".log")) return "it is a log";
    if (lower == "qt.conf") return "it would change how the program starts";
    if (lower == "tolvar.ini") return "it is the settings file's name";
    if (templates.count(name)) return "";
    // The catalogue, tips, Suggest.Ini, DistInfo.Dat, nbinary.ext,
    // unbinary.txt, "Test Message.Txt", and new files of those kinds.
    for (const char* kind : {".dat", ".ini", ".ext", ".txt"})
        if (is(kind)) return "";
    return "it is not one of Tolvar's data files";
}

void ProcessUpdateFile(const std::string& text, const std::function<void()>& restart)
{
    size_t b = text.find(kBegin);
    if (b == std::string::npos) return;
    size_t from = b + kBegin.size();
    size_t e = text.find(kEnd, from);
    if (e == std::string::npos) return;
    // The question below lets clipboard changes through; one update at a time.
    static bool busy = false;
    if (busy) {
        LogDebug("Update file ignored: another one is being applied");
        return;
    }
    TFlagGuard guard(busy);
    std::vector<TUpdateFile> files;
    try {
        files = DecodeFiles(text.substr(from, e - from));
        CheckNames(files);
    } catch (const EUpdateRefused& refused) {
        Refuse(refused.what());
        return;
    }
    if (files.empty()) return;
    const std::string names = NameList(files);
    // No window of its own: kept on top so it is seen over whatever the user copied from.
    if (Desk().MessageDlg({"Apply this update? " + names + " - Tolvar will restart", TMsgDlgType::mtConfirmation,
                           mbYes | mbNo, 0, true}) != mrYes) {
        LogDebug("Update not applied: " + names);
        return;
    }
    std::string backup;
    try {
        backup = WriteFiles(files);
    } catch (const std::exception& failed) {
        Refuse(failed.what());
        return;
    }
    LogDebug("Update applied: " + names + (backup.empty() ? "" : "; the files replaced are in " + backup));
    if (restart) restart();
}
