// The SMTP client against a server that says whatever the input says. The
// input is the server's bytes, sent over a real loopback connection while the
// client delivers one request mail; the client must end with success or one
// of its own errors, never hang, crash or read without end.
//
// An input may start with a directive line "#!" followed by words:
//   endless   after the bytes, their last line (or unfinished line) is sent
//             again and again until the client gives up (checked: it must,
//             within its time-out and bounded memory)
//   cancel=N  the user cancels as the N-th line arrives (checked, for a
//             whole line the client accepts: the send then ends with the
//             cancel, unless the mail had already gone or that line was a
//             refusal after all, as a 354 to the data's end is)
// Both checks wait for their fixes: "reply-bound" and "reply-cancel" in
// TOLVAR_FUZZ_FIXED switch them on.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "fuzzsupport.h"
#include "mail/msmsg.h"
#include "mail/mssmtp.h"
#include "mail/sockerrors.h"

namespace {

// Far more than a client may read in its time-out; what bounds the run is
// libFuzzer's -timeout (a client that never gives up is a hang) and its
// memory limit (a transcript that keeps growing).
constexpr size_t kEndlessCap = size_t{1} << 30;
constexpr int kServerBoundMs = 10000;

struct TScript {
    std::string bytes;
    bool endless = false;
    int cancelAt = 0;
};

TScript ParseScript(std::string_view input)
{
    TScript script;
    if (input.substr(0, 2) == "#!") {
        size_t lf = input.find('\n');
        std::istringstream words(std::string(input.substr(2, lf == std::string_view::npos ? lf : lf - 2)));
        for (std::string word; words >> word;) {
            if (word == "endless") script.endless = FindingFixed("reply-bound");
            if (word.rfind("cancel=", 0) == 0) script.cancelAt = std::atoi(word.c_str() + 7);
        }
        input = lf == std::string_view::npos ? std::string_view() : input.substr(lf + 1);
    }
    script.bytes = input;
    return script;
}

// What endless mode repeats: the last line with its line end, or when the
// bytes end inside a line, that unfinished line (a line that never ends).
std::string Repeated(const std::string& bytes)
{
    if (bytes.empty()) return "250-more\r\n";
    size_t before = bytes.back() == '\n' ? bytes.size() - 1 : bytes.size();
    size_t start = before == 0 ? std::string::npos : bytes.rfind('\n', before - 1);
    return bytes.substr(start == std::string::npos ? 0 : start + 1);
}

int Listener(int& port)
{
    static int fd = -1;
    static int boundPort = 0;
    if (fd < 0) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd, 4) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            FuzzFail("no loopback listener");
        boundPort = ntohs(a.sin_port);
    }
    port = boundPort;
    return fd;
}

// One connection: the script's bytes (and in endless mode its last line
// again and again), reading whatever the client sends meanwhile, until the
// client closes or the bound passes. Returns the bytes sent.
size_t Serve(int listener, const TScript& script)
{
    pollfd w{listener, POLLIN, 0};
    if (::poll(&w, 1, kServerBoundMs) <= 0) return 0;
    int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return 0;
    const std::string repeat = script.endless ? Repeated(script.bytes) : std::string();
    std::string out = script.bytes;
    size_t sent = 0, offset = 0;
    bool writing = true;
    for (;;) {
        if (writing && offset == out.size()) {
            if (repeat.empty() || sent >= kEndlessCap) {
                ::shutdown(fd, SHUT_WR);
                writing = false;
            } else {
                out = repeat;
                offset = 0;
            }
        }
        pollfd p{fd, static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0};
        if (::poll(&p, 1, kServerBoundMs) <= 0) break;
        if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
            char buffer[65536];
            ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN)) break;
        }
        if (writing && (p.revents & POLLOUT)) {
            ssize_t n = ::send(fd, out.data() + offset, out.size() - offset, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno != EAGAIN) break;
            if (n > 0) {
                offset += static_cast<size_t>(n);
                sent += static_cast<size_t>(n);
            }
        }
    }
    ::close(fd);
    return sent;
}

// Whether the line the cancel comes on is a whole line the client accepts:
// on a refusal, or on the rest the server left as it hung up, the client may
// as well report that.
bool CancelOnAcceptedLine(const TScript& script)
{
    std::vector<std::string> lines = SplitInput(script.bytes, "\n");
    if (script.cancelAt < 1 || static_cast<size_t>(script.cancelAt) >= lines.size()) return false;
    std::string line = lines[static_cast<size_t>(script.cancelAt) - 1];
    while (!line.empty() && line.back() == '\r') line.pop_back();
    return line.size() >= 4 && (line[3] == '-' || line[0] == '2' || line.compare(0, 3, "354") == 0);
}

TmsMessage& RequestMail()
{
    static TmsMessage message;
    if (message.Recipients().Count() == 0) {
        message.Sender().SetAddress("me@example.org");
        message.Recipients().Add("robot@bymail.example.net");
        message.SetSubject("Web page request");
        message.Body().push_back("GET http://www.example.com/");
    }
    return message;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    static const std::string log = Sandbox().program + "SMTP.LOG";
    const TScript script = ParseScript(input);
    int port = 0;
    int listener = Listener(port);
    std::atomic<size_t> served{0};
    std::thread server([&] { served = Serve(listener, script); });

    bool cancelled = false, mailSent = false, cancelReported = false, failedFirst = false;
    std::string cancelLine, error;
    {
        TmsSMTP smtp;
        smtp.SetWinsockLoaded(true);
        smtp.SetServer("127.0.0.1:" + std::to_string(port));
        // The shortest time-out: an input whose reply never ends waits it out.
        smtp.SetTimeOut(1);
        smtp.SetLogFileName(log);
        smtp.SetMailMessage(&RequestMail());
        int lines = 0;
        smtp.OnLineReceived = [&](TagSocket& s, const std::string& line) {
            if (++lines == script.cancelAt && !cancelled) {
                cancelled = true;
                cancelLine = line;
                s.Cancel();
            }
        };
        smtp.OnMailSent = [&](TagSocket&) { mailSent = true; };
        // A send that already failed reports that failure, cancel or not.
        smtp.OnError = [&](TagSocket&, std::string&) { failedFirst = failedFirst || !cancelled; };
        try {
            smtp.Send();
        } catch (const ECanceledError&) {
            cancelReported = true;
        } catch (const Exception& e) {
            error = e.what();
        }
        if (cancelled && !failedFirst && CancelOnAcceptedLine(script) && FindingFixed("reply-cancel"))
            // (An error text ends at a NUL the server put in its line.)
            FUZZ_CHECK(cancelReported || mailSent || error == cancelLine.substr(0, cancelLine.find('\0')),
                       "a cancel was reported as another error");
    }
    server.join();
    if (script.endless) FUZZ_CHECK(served < kEndlessCap, "the client kept reading a reply without end");
    return 0;
}
