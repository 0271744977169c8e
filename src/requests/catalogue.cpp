#include "requests/catalogue.h"

#include <cerrno>
#include <sys/stat.h>

#include "core/deblog.h"
#include "core/exception.h"
#include "core/fileutil.h"
#include "core/localroot.h"
#include "core/profile.h"
#include "requests/prefs.h"
#include "requests/suggest.h"

namespace {
enum { kPageServer = 0, kBinaryServer = 1, kFtpServer = 2, kBinaryServerToo = 3 };

std::string ReadCatalogueText(const std::string& path)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))
        throw EInOutError("File not found");
    return ReadFileString(path);
}

// A header is a line whose first "[" is its first character and whose first
// "]" is its last: lines are taken as they stand, so "[x] " and "[a]b]" are
// no headers.
bool IsHeader(const std::string& line, std::string& name)
{
    if (line.size() < 2 || line[0] != '[' || line.find(']') != line.size() - 1) return false;
    name = line.substr(1, line.size() - 2);
    return true;
}
} // namespace

std::string CatalogueFileName() { return LocalRoot() + "uservers.dat"; }

std::string ReadServerKey(const std::string& server, const std::string& key)
{
    return TIniFile(CatalogueFileName()).ReadString(server, key, "");
}

void LoadServerCatalogue(const TServerLists& lists, TForm& window, const TTrayToggle& tray)
{
    std::string text = ReadCatalogueText(CatalogueFileName());
    // An editor's byte order mark would hide the first header.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    TStrings lines;
    lines.SetText(text);

    lists.ftp.Items().Clear();
    lists.binary.Items().Clear();
    lists.pages.Items().Clear();
    Prefs().distributionTag = TIniFile(LocalRoot() + "DistInfo.Dat").ReadString("General", "DistInfo", "");

    // Read once: a key read per section, each re-reading the file, made a
    // catalogue of thousands of sections take seconds to load.
    const TMemIniFile catalogue(text);
    std::string name;
    for (const auto& line : lines.Lines()) {
        if (!IsHeader(line, name)) continue;
        switch (catalogue.ReadInteger(name, "Type", -1)) {
        case kPageServer: lists.pages.Items().Add(name); break;
        case kBinaryServer:
        case kBinaryServerToo: lists.binary.Items().Add(name); break;
        case kFtpServer: lists.ftp.Items().Add(name); break;
        default: break;
        }
    }
    ChooseServersAtStart(lists, window, tray);
    LogDebug("Loaded Server File");
}

void SelectServerByName(TComboBox& list, const std::string& name)
{
    for (int i = 0; i < list.Items().Count(); ++i)
        if (list.Items()[i] == name) list.SetItemIndex(i);
    if (list.ItemIndex() < 0 && list.Items().Count() > 0) list.SetItemIndex(0);
}

void CachePageServer(const TComboBox& pages)
{
    Prefs().pageVerb = ReadServerKey(pages.Text(), "verbPagesHttp") + " ";
    Prefs().pageTemplate = ReadServerKey(pages.Text(), "filePagesHttp");
}

void CacheBinaryServer(const TComboBox& binary)
{
    TPrefs& prefs = Prefs();
    prefs.binaryVerb = ReadServerKey(binary.Text(), "verbBinaryHttp") + " ";
    switch (prefs.binaryFormat) {
    case 0:
    case 2: prefs.binaryTemplate = ReadServerKey(binary.Text(), "fileBinaryHttpU"); break;
    case 1: prefs.binaryTemplate = ReadServerKey(binary.Text(), "fileBinaryHttpM"); break;
    default: break;
    }
}
