#include "requests/compose.h"

#include "core/deblog.h"
#include "core/exception.h"
#include "core/fileutil.h"
#include "core/localroot.h"
#include "core/strutil.h"
#include "mail/agsocket.h"
#include "mail/msmsg.h"
#include "requests/catalogue.h"
#include "requests/prefs.h"

namespace {
const std::string kUrlMarker = "\xFE";
const std::string kSplitMarker = "\xFD";
constexpr double kFastDuplicateDays = 3.472222e-5;   // three seconds

std::string Cut255(const std::string& s) { return s.substr(0, 255); }

// The schemes a page or binary robot fetches; the request carries the URL
// as it stands.
bool IsWebFamilyUrl(const std::string& url)
{
    for (const char* scheme : {"http://", "https://", "gopher://", "news:"})
        if (StartsWithNoCase(url, scheme)) return true;
    return false;
}

std::string UrlPartOf(const std::string& line)
{
    auto blank = line.find(' ');
    return blank == std::string::npos ? std::string() : line.substr(0, blank);
}

void Address(TmsMessage& message, const std::string& server)
{
    message.Recipients().Add(server);
    LogDebug("To: " + server);
}

void Subject(TmsMessage& message, const std::string& server)
{
    message.SetSubject(Cut255(ReadServerKey(server, "Subject")));
    LogDebug("Subject: " + message.Subject());
}

std::string SplitText(const std::string& verbSplit)
{
    return Prefs().splitFiles ? verbSplit + " " + std::to_string(Prefs().chunkSize) : std::string();
}

// Both markers in one pass over the template: what is put in is never scanned
// again, so a URL that carries the split marker's byte reaches the robot
// unchanged.
std::string FillBinaryTemplate(const std::string& text, const std::string& url, const std::string& split)
{
    const std::string markers = kUrlMarker + kSplitMarker;
    std::string out;
    size_t from = 0, at;
    while ((at = text.find_first_of(markers, from)) != std::string::npos) {
        out.append(text, from, at - from);
        out += text[at] == kUrlMarker[0] ? url : split;
        from = at + 1;
    }
    out.append(text, from, std::string::npos);
    return out;
}

// Catalogues arrive in update mails: a template name must not reach a file
// outside the program folder, whose text would be mailed to a robot.
std::string ReadTemplateFile(const std::string& name)
{
    bool escapes = !name.empty() && (name[0] == '/' || name[0] == '\\');
    size_t from = 0;
    while (!escapes && from <= name.size()) {
        size_t to = name.find_first_of("/\\", from);
        if (to == std::string::npos) to = name.size();
        escapes = name.compare(from, to - from, "..") == 0;
        from = to + 1;
    }
    if (escapes) throw EInOutError("Template file outside the program folder: " + name);
    return ReadFileString(LocalRoot() + name);
}

std::string BinaryBody(const std::string& url, const std::string& server)
{
    std::string verbSplit = ReadServerKey(server, "verbSplit");
    if (Prefs().binaryTemplate.empty()) return Prefs().binaryVerb + " " + url;
    std::string text = ReadTemplateFile(Prefs().binaryTemplate);
    return FillBinaryTemplate(text, url, SplitText(verbSplit));
}

std::string PageBody(const std::string& url)
{
    if (Prefs().pageTemplate.empty()) return Prefs().pageVerb + url;
    return ReplaceAll(ReadTemplateFile(Prefs().pageTemplate), kUrlMarker, url);
}
} // namespace

bool IsBinaryUrl(const std::string& url)
{
    if (url.empty() || url.back() == '/') return false;
    std::string tested = url;
    std::string ext = ExtractUrlExtension(tested);
    if ((ext.size() > 4 || ext.size() < 2) && tested.find('?') != std::string::npos)
        tested = tested.substr(0, tested.find('?'));
    ext = ExtractUrlExtension(tested);
    if (ext.find('/') != std::string::npos) return false;
    std::string lists = "\n" + ReadFileString(LocalRoot() + "nbinary.ext") + "\n" +
                        ReadFileString(LocalRoot() + "unbinary.txt");
    return lists.find("\n" + LowerCase(ext)) == std::string::npos;
}

std::string FtpRequestBody(const std::string& url, const std::string& server)
{
    auto key = [&](const char* name) { return ReadServerKey(server, name); };
    // Positions as in the URL "ftp://host/dir/file": the host starts at index 6.
    size_t slash = url.size() > 6 ? url.find('/', 6) : std::string::npos;
    std::string host = slash == std::string::npos ? std::string() : url.substr(6, slash - 6);
    auto last = url.rfind('/');
    std::string file = last == std::string::npos ? url : url.substr(last + 1);
    long long dirLength = static_cast<long long>(url.size()) - static_cast<long long>(file.size()) -
                          static_cast<long long>(host.size()) - 7;
    std::string dir = dirLength > 0 ? url.substr(host.size() + 6, static_cast<size_t>(dirLength)) : std::string();

    static const char* const kFormats[] = {"uuencode", "mime", "btoa"};
    int format = Prefs().binaryFormat;
    std::string body = key("open") + " " + host + "\r\n";
    body += key("binary") + "\r\n";
    body += (format >= 0 && format <= 2 ? key(kFormats[format]) : std::string()) + "\r\n";
    if (Prefs().splitFiles)
        body += key("verbSplit") + " " + std::to_string(Prefs().chunkSize) + key("verbSplitsuffix") + "\r\n";
    else
        body += key("nosplit") + "\r\n";
    if (!dir.empty()) body += key("cd") + " " + dir + "\r\n";
    body += (file.empty() ? key("ls") : "get " + file) + "\r\n";
    body += "quit\r\n";
    return body;
}

bool ComposeRequestMail(const std::string& url, const TRequestSource& source, TmsMessage& message)
{
    message.Recipients().Clear();
    message.CC().Clear();
    message.BCC().Clear();
    message.Body().clear();
    if (IsWebFamilyUrl(url)) {
        std::string body;
        if (IsBinaryUrl(url)) {
            Address(message, source.binaryServer);
            Subject(message, source.binaryServer);
            body = BinaryBody(url, source.binaryServer);
        } else {
            Address(message, source.pagesServer);
            Subject(message, source.pagesServer);
            body = PageBody(url);
        }
        message.Body().push_back(body);
        LogDebug("Body: " + body);
        return true;
    }
    if (StartsWithNoCase(url, "ftp://")) {
        Address(message, source.ftpServer);
        // The robot reads only the body; its own subject beats whatever the
        // message last carried (a page request's or the test message's).
        message.SetSubject(Cut255(ReadServerKey(source.ftpServer, "Subject")));
        std::string body = FtpRequestBody(url, source.ftpServer);
        message.Body().push_back(body);
        LogDebug("Body: " + body);
        return true;
    }
    return false;
}

bool PrepareRequest(const std::string& url, const TRequestSource& source, TmsMessage& message, TagSocket& smtp)
{
    // A carriage return would split the body line as surely as a line feed
    // and hand the robot a command of the URL's making.
    if (url.find_first_of("\r\n ") != std::string::npos) return false;
    if (!source.newestHistoryLine.empty() && UrlPartOf(source.newestHistoryLine) == url &&
        Now() - Prefs().lastHistoryTime < kFastDuplicateDays) {
        LogDebug("Fast Duplicate Discarded");
        return false;
    }
    bool result = ComposeRequestMail(url, source, message);
    message.Sender().SetAddress(Cut255(source.email));
    smtp.SetServer(source.smtpServer);
    return result;
}
