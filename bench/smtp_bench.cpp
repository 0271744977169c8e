// Time to deliver one request mail (connect to QUIT) to a local aiosmtpd,
// side by side with msmtp (one process per mail) and Python's smtplib (a new
// connection per mail, taking turns with ours), in plain text and over STARTTLS with
// AUTH PLAIN (a throw-away authority from tests/support/testca.py); and the
// CPU the client burns while it waits 10 seconds on a server that never
// answers.
//
//   smtp_bench [--mails N] [--support DIR]
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "mail/agwsock.h"
#include "mail/msmsg.h"
#include "mail/mssmtp.h"
#include "mail/sockerrors.h"

namespace {
using namespace std::chrono;
using TClock = steady_clock;

double Median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Ms(TClock::duration d)
{
    return duration<double, std::milli>(d).count();
}

// Runs argv with stdin from a file and stdout captured; the exit status.
int Run(const std::vector<std::string>& argv, const std::string& input, std::string* output = nullptr)
{
    int out[2];
    if (pipe(out) < 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        int in = open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY);
        dup2(in, STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The local aiosmtpd, storing nothing; stopped by process id.
struct TSink {
    pid_t pid = -1;
    int port = 0;

    explicit TSink(const std::string& script, const std::vector<std::string>& options = {})
    {
        std::vector<std::string> argv = {"/usr/bin/python3", script, "--host", "127.0.0.1"};
        argv.insert(argv.end(), options.begin(), options.end());
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        int out[2];
        if (pipe(out) < 0) return;
        pid = fork();
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            execv(args[0], args.data());
            _exit(127);
        }
        close(out[1]);
        std::string line;
        auto deadline = TClock::now() + seconds(15);
        while (line.find('\n') == std::string::npos && TClock::now() < deadline) {
            pollfd p{out[0], POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            char buffer[64];
            ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0) break;
            line.append(buffer, static_cast<size_t>(n));
        }
        close(out[0]);
        port = std::atoi(line.c_str());
    }
    ~TSink()
    {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        auto deadline = TClock::now() + seconds(3);
        while (waitpid(pid, nullptr, WNOHANG) == 0) {
            if (TClock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(milliseconds(10));
        }
    }
};

void FillRequest(TmsMessage& m)
{
    m.Clear();
    m.Sender().SetAddress("user@example.org");
    m.Recipients().Add("robot@bymail.test");
    m.SetSubject("GET");
    m.Body() = {"GET http://example.com/some/page.html", "SEND 100000"};
}

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

const char* kSmtplibLoop = R"(
import smtplib, sys, time
port, count, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
data = open(path, 'rb').read()
for i in range(count + 2):
    t = time.perf_counter()
    s = smtplib.SMTP('127.0.0.1', port)
    s.sendmail('user@example.org', ['robot@bymail.test'], data)
    s.quit()
    if i >= 2: print((time.perf_counter() - t) * 1000)
)";

const char* kSmtplibTlsLoop = R"(
import smtplib, ssl, sys, time
port, count, path, ca = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4]
data = open(path, 'rb').read()
context = ssl.create_default_context(cafile=ca)
for i in range(count + 2):
    t = time.perf_counter()
    s = smtplib.SMTP('localhost', port)
    s.starttls(context=context)
    s.login('me', 's3cret')
    s.sendmail('user@example.org', ['robot@bymail.test'], data)
    s.quit()
    if i >= 2: print((time.perf_counter() - t) * 1000)
)";

// The two clients take turns in rounds, so that a change in the machine's
// load during the run weighs on both alike: ours sends a round's mails, then
// one smtplib process sends as many (it prints one time per line). Each
// starts a round with two untimed mails, as the other has just run. The
// medians of each.
constexpr int kRounds = 5;

std::pair<double, double> TakeTurns(int mails, const std::function<void()>& sendOurs,
                                    const std::vector<std::string>& smtplibArgv)
{
    std::vector<double> ours, theirs;
    int perRound = std::max(1, mails / kRounds);
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < 2; ++i) sendOurs();
        for (int i = 0; i < perRound; ++i) {
            auto t = TClock::now();
            sendOurs();
            ours.push_back(Ms(TClock::now() - t));
        }
        std::vector<std::string> argv = smtplibArgv;
        argv[4] = std::to_string(perRound);  // python3 -c LOOP port COUNT ...
        std::string out;
        Run(argv, "", &out);
        std::istringstream lines(out);
        for (double ms; lines >> ms;) theirs.push_back(ms);
    }
    return {Median(ours), Median(theirs)};
}

struct TTlsResult {
    double ours = 0, msmtp = 0, smtplib = 0;
    size_t mails = 0;
};

// The same request over STARTTLS with AUTH PLAIN, verified against a
// throw-away authority.
TTlsResult MeasureTls(const std::string& support, const std::string& mailPath, int mails)
{
    TTlsResult r;
    char caDir[] = "/tmp/smtpbenchcaXXXXXX";
    if (!mkdtemp(caDir)) return r;
    std::string ca = caDir;
    if (Run({"/usr/bin/python3", support + "/testca.py", ca}, "") != 0) {
        std::fprintf(stderr, "testca.py failed (python3-cryptography?)\n");
        return r;
    }
    setenv("SSL_CERT_FILE", (ca + "/ca.pem").c_str(), 1);
    {
        TSink sink(support + "/smtpsink.py", {"--tls", "starttls", "--cert", ca + "/good.pem", "--key",
                                              ca + "/good.key", "--login", "me:s3cret"});
        if (sink.port <= 0) return r;
        TmsMessage message;
        TmsSMTP smtp;
        smtp.SetServer("localhost:" + std::to_string(sink.port));
        smtp.SetMailMessage(&message);
        smtp.SetTimeOut(10);
        smtp.SetSecurity(ssStartTLS);
        smtp.SetUserName("me");
        smtp.OnPassword = [](TagSocket&) { return std::string("s3cret"); };
        auto [ours, smtplib] = TakeTurns(
            mails,
            [&] {
                FillRequest(message);
                smtp.Send();
            },
            {"/usr/bin/python3", "-c", kSmtplibTlsLoop, std::to_string(sink.port), "", mailPath, ca + "/ca.pem"});
        std::vector<double> msmtp;
        for (int i = 0; i < std::min(mails, 50); ++i) {
            auto t = TClock::now();
            int rc = Run({"/usr/bin/msmtp", "--host=localhost", "--port=" + std::to_string(sink.port), "--tls=on",
                          "--tls-starttls=on", "--tls-trust-file=" + ca + "/ca.pem", "--auth=plain", "--user=me",
                          "--passwordeval=echo s3cret", "--from=user@example.org", "robot@bymail.test"},
                         mailPath);
            msmtp.push_back(Ms(TClock::now() - t));
            if (rc != 0) {
                std::fprintf(stderr, "msmtp over TLS failed (%d)\n", rc);
                break;
            }
        }
        r = {ours, Median(msmtp), smtplib, static_cast<size_t>(std::max(1, mails / kRounds) * kRounds)};
    }
    Run({"/bin/rm", "-rf", ca}, "");
    return r;
}
}  // namespace

int main(int argc, char** argv)
{
    int mails = 200;
    std::string support = TOLVAR_SOURCE_DIR "/tests/support";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--mails") == 0) mails = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--support") == 0) support = argv[i + 1];
    }
    signal(SIGPIPE, SIG_IGN);
    TSink sink(support + "/smtpsink.py");
    if (sink.port <= 0) {
        std::fprintf(stderr, "aiosmtpd did not start\n");
        return 1;
    }
    Winsock().LoadWinsock();
    const std::string server = "127.0.0.1:" + std::to_string(sink.port);

    TmsMessage message;
    FillRequest(message);
    char mailPath[] = "/tmp/smtpbenchXXXXXX";
    int fd = mkstemp(mailPath);
    {
        std::ostringstream text;
        TmsMessage copy;
        FillRequest(copy);
        copy.SaveToStream(text);
        std::string bytes = text.str();
        if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return 1;
        close(fd);
    }

    // Tolvar's client.
    TmsSMTP smtp;
    smtp.SetServer(server);
    smtp.SetMailMessage(&message);
    smtp.SetTimeOut(10);
    auto [medianOurs, smtplib] = TakeTurns(
        mails,
        [&] {
            FillRequest(message);
            smtp.Send();
        },
        {"/usr/bin/python3", "-c", kSmtplibLoop, std::to_string(sink.port), "", mailPath});

    // msmtp, one process per mail, as a user would run it.
    std::vector<double> msmtp;
    int msmtpMails = std::min(mails, 100);
    for (int i = 0; i < msmtpMails; ++i) {
        auto t = TClock::now();
        int rc = Run({"/usr/bin/msmtp", "--host=127.0.0.1", "--port=" + std::to_string(sink.port), "--auth=off",
                      "--tls=off", "--from=user@example.org", "robot@bymail.test"},
                     mailPath);
        msmtp.push_back(Ms(TClock::now() - t));
        if (rc != 0) {
            std::fprintf(stderr, "msmtp failed (%d)\n", rc);
            break;
        }
    }


    // A server that takes the connection and never says a word: the
    // listening socket alone completes the handshake.
    int silent = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    bind(silent, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    listen(silent, 4);
    getsockname(silent, reinterpret_cast<sockaddr*>(&sa), &len);
    TmsSMTP waiting;
    waiting.SetServer("127.0.0.1:" + std::to_string(ntohs(sa.sin_port)));
    waiting.SetTimeOut(10);
    double cpu0 = CpuSeconds();
    auto t0 = TClock::now();
    bool timedOut = false;
    try {
        waiting.Connect();
    } catch (const ETimedOutError&) {
        timedOut = true;
    }
    double waited = duration<double>(TClock::now() - t0).count();
    double cpu = CpuSeconds() - cpu0;
    close(silent);

    TTlsResult tls = MeasureTls(support, mailPath, std::max(1, mails / 2));
    unlink(mailPath);

    double medianMsmtp = Median(msmtp);
    std::printf("SMTP delivery, connect to QUIT, median of each\n");
    std::printf("  tolvar TmsSMTP     %8.3f ms  (%d mails)\n", medianOurs, std::max(1, mails / kRounds) * kRounds);
    std::printf("  msmtp (process)    %8.3f ms  (%zu mails)\n", medianMsmtp, msmtp.size());
    std::printf("  python smtplib     %8.3f ms  (%d mails)\n", smtplib, mails);
    if (medianMsmtp > 0) std::printf("  ratio tolvar/msmtp    %.3f\n", medianOurs / medianMsmtp);
    if (smtplib > 0) std::printf("  ratio tolvar/smtplib  %.3f\n", medianOurs / smtplib);
    std::printf("STARTTLS and AUTH PLAIN, connect to QUIT, median of each\n");
    std::printf("  tolvar TmsSMTP     %8.3f ms  (%zu mails)\n", tls.ours, tls.mails);
    std::printf("  msmtp (process)    %8.3f ms\n", tls.msmtp);
    std::printf("  python smtplib     %8.3f ms\n", tls.smtplib);
    if (tls.msmtp > 0) std::printf("  ratio tolvar/msmtp    %.3f\n", tls.ours / tls.msmtp);
    if (tls.smtplib > 0) std::printf("  ratio tolvar/smtplib  %.3f\n", tls.ours / tls.smtplib);
    std::printf("Silent server, TimeOut 10 s: waited %.2f s (%s), CPU %.4f s\n", waited,
                timedOut ? "timed out" : "no time-out!", cpu);
    bool tlsOk = tls.ours > 0 && tls.smtplib > 0 && tls.ours <= tls.smtplib;
    bool ok = medianOurs <= 2.0 && cpu < 0.1 && timedOut && tlsOk;
    std::printf("Targets (<= 2 ms per mail, TLS no slower than smtplib, < 0.1 s CPU while waiting): %s\n",
                ok ? "met" : "MISSED");
    return ok ? 0 : 2;
}
