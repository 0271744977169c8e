#include "app/cli.h"

#include <chrono>
#include <clocale>
#include <thread>

#include "app/nowindow.h"
#include "app/props.h"
#include "core/deblog.h"
#include "core/error.h"
#include "core/localroot.h"
#include "intake/capture.h"
#include "ui/application.h"

#ifndef TOLVAR_VERSION
#define TOLVAR_VERSION "0.0.0"
#endif

namespace {
// A copy that is starting, or another `tolvar request` holding the lock,
// answers or lets go within this time.
constexpr auto kLockWait = std::chrono::minutes(5);
constexpr auto kLockRetry = std::chrono::milliseconds(200);

const char* const kUsage = "Usage: tolvar [/s] [/p] [/i]\n"
                           "       tolvar request URL...\n"
                           "       tolvar decode [-o DIR] FILE|FOLDER...\n"
                           "       tolvar --help | --version\n"
                           "\n"
                           "Without a verb Tolvar starts behind its tray icon and requests the URLs\n"
                           "copied to the clipboard (/s: no tip at start, /p: open the window at start,\n"
                           "/i: start invisible).\n"
                           "\n"
                           "request  mails a request for each URL as if it had been copied: through\n"
                           "         the running Tolvar, or, when none runs, itself with the stored\n"
                           "         settings (a request that cannot be sent waits in the queue).\n"
                           "         Prints one line per URL: sent, queued, duplicate, refused or\n"
                           "         failed, the URL and why. Exit status 0 when every URL was sent\n"
                           "         or queued, 1 otherwise, 2 for a usage error.\n"
                           "\n"
                           "decode   decodes the files in saved replies (mbox, Maildir, .eml, text\n"
                           "         with UU blocks) into DIR (default: downloads beside the program);\n"
                           "         one line per file: complete, incomplete (missing parts) or failed.\n";

bool SentOrQueued(const std::string& word)
{
    return word == "sent" || word == "queued";
}

// One line per URL, whatever the URL holds.
std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

// "<word> <url>" and the reason in brackets; true when sent or queued.
bool PrintResult(std::ostream& out, const std::string& url, const std::string& answer)
{
    auto blank = answer.find(' ');
    std::string word = answer.substr(0, blank);
    out << word << " " << OneLine(CleanEdges(url));
    if (blank != std::string::npos) out << " (" << answer.substr(blank + 1) << ")";
    out << "\n";
    return SentOrQueued(word);
}

std::string AnswerLine(const TCaptureOutcome& outcome)
{
    std::string line = CaptureResultWord(outcome.result);
    if (!outcome.reason.empty()) line += " " + OneLine(outcome.reason);
    return line;
}

int ThroughRunningCopy(const std::vector<std::string>& urls, TInstanceChannel& channel, std::ostream& out)
{
    bool allGood = true;
    for (const auto& url : urls) {
        auto answer = channel.Request(url);
        allGood = PrintResult(out, url, answer ? *answer : "failed the running Tolvar did not answer") && allGood;
    }
    return allGood ? 0 : 1;
}

int WithoutWindow(const std::vector<std::string>& urls, std::ostream& out, std::ostream& err)
{
    // History lines and the log use the user's date and time formats.
    std::setlocale(LC_TIME, "");
    SetUpLocalRoot();
    TNoWindowDesktop desktop(err);
    SetErrorBox([&err](const std::string& text, int, bool) { err << "tolvar: " << text << "\n"; });
    LogDebug("Started Tolvar without a window for the command line");
    bool allGood = true;
    {
        TfrmProps props({});
        bool ready = false;
        try {
            ready = props.CreateWithoutWindow();
        } catch (const std::exception& e) {
            ReportError(props.ClassName(), std::string("UH ") + e.what());
        }
        for (const auto& url : urls) {
            TCaptureOutcome outcome = ready
                                          ? TCaptureOutcome{TCaptureResult::Failed, "the request stopped with an error"}
                                          : TCaptureOutcome{TCaptureResult::Refused, "Tolvar is not set up, see above"};
            if (ready) RunGuarded(props, [&] { outcome = props.capture.RequestUrl(url); });
            allGood = PrintResult(out, url, AnswerLine(outcome)) && allGood;
        }
        props.FormDestroy();
    }
    SetErrorBox(nullptr);
    return allGood ? 0 : 1;
}

int Request(const std::vector<std::string>& urls, TInstanceChannel& channel, std::ostream& out, std::ostream& err)
{
    auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        if (channel.Claim()) return WithoutWindow(urls, out, err);
        if (channel.Connect()) return ThroughRunningCopy(urls, channel, out);
        if (std::chrono::steady_clock::now() > deadline) {
            err << "tolvar: another Tolvar holds the lock but does not answer\n";
            return 1;
        }
        std::this_thread::sleep_for(kLockRetry);
    }
}
} // namespace

bool IsCommandLineVerb(const std::vector<std::string>& args)
{
    if (args.empty()) return false;
    const std::string& verb = args[0];
    return verb == "request" || verb == "--help" || verb == "-h" || verb == "--version";
}

int RunCommandLine(const std::vector<std::string>& args, TInstanceChannel& channel, std::ostream& out,
                   std::ostream& err)
{
    const std::string& verb = args.at(0);
    if (verb == "--help" || verb == "-h") {
        out << kUsage;
        return 0;
    }
    if (verb == "--version") {
        out << "Tolvar " << TOLVAR_VERSION << "\n";
        return 0;
    }
    std::vector<std::string> urls(args.begin() + 1, args.end());
    if (urls.empty()) {
        err << "tolvar: request needs at least one URL\n" << kUsage;
        return 2;
    }
    return Request(urls, channel, out, err);
}

std::string AnswerRequest(TfrmProps& props, const std::string& url)
{
    LogDebug("Requested from the command line: " + OneLine(url));
    TCaptureOutcome outcome{TCaptureResult::Failed, "the request stopped with an error"};
    RunGuarded(props, [&] { outcome = props.capture.RequestUrl(url); });
    return AnswerLine(outcome);
}
