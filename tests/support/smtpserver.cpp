#include "support/smtpserver.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <thread>

std::string TestSupportDir()
{
    return TOLVAR_TEST_SUPPORT_DIR;
}

namespace {
using namespace std::chrono;

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Reads the first line the child prints, giving up at the deadline.
std::string ReadFirstLine(int fd, steady_clock::time_point deadline)
{
    std::string text;
    while (text.find('\n') == std::string::npos) {
        auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        char buffer[64];
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}
}  // namespace

TSmtpServer::TSmtpServer(bool store, milliseconds startBound, const std::vector<std::string>& options)
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) < 0) {
        failure_ = "pipe failed";
        return;
    }
    std::string script = TestSupportDir() + "/smtpsink.py";
    std::string folder = store ? folder_.Path() : "";
    // Built before the fork: the child only execs.
    std::vector<const char*> argv = {"python3", script.c_str(), "--host", "127.0.0.1", "--folder", folder.c_str()};
    for (const auto& option : options) argv.push_back(option.c_str());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) ::dup2(null, STDIN_FILENO);
        ::execv("/usr/bin/python3", const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    ::close(out[1]);
    if (pid_ < 0) {
        ::close(out[0]);
        failure_ = "fork failed";
        return;
    }
    std::string line = ReadFirstLine(out[0], steady_clock::now() + startBound);
    ::close(out[0]);
    int port = std::atoi(line.c_str());
    if (port <= 0 || port > 65535) {
        failure_ = "aiosmtpd did not report a port (got \"" + line + "\")";
        Stop();
        return;
    }
    port_ = port;
}

TSmtpServer::~TSmtpServer()
{
    Stop();
}

void TSmtpServer::Stop()
{
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    auto deadline = steady_clock::now() + seconds(3);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (steady_clock::now() >= deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(milliseconds(10));
    }
    pid_ = -1;
    port_ = 0;
}

std::vector<TSmtpServer::TMail> TSmtpServer::Mails() const
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder_.Path().c_str())) {
        while (dirent* e = ::readdir(dir)) {
            std::string name = e->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".env") == 0)
                names.push_back(name.substr(0, name.size() - 4));
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    std::vector<TMail> mails;
    for (const auto& base : names) {
        TMail mail;
        std::istringstream env(ReadWhole(folder_.File(base + ".env")));
        std::string line;
        while (std::getline(env, line)) {
            if (line.rfind("HELO ", 0) == 0) mail.helo = line.substr(5);
            if (line.rfind("FROM ", 0) == 0) mail.from = line.substr(5);
            if (line.rfind("TO ", 0) == 0) mail.to.push_back(line.substr(3));
        }
        mail.data = ReadWhole(folder_.File(base + ".data"));
        mails.push_back(std::move(mail));
    }
    return mails;
}

std::vector<TSmtpServer::TMail> TSmtpServer::WaitForMails(size_t count, milliseconds bound) const
{
    auto deadline = steady_clock::now() + bound;
    for (;;) {
        auto mails = Mails();
        if (mails.size() >= count || steady_clock::now() >= deadline) return mails;
        std::this_thread::sleep_for(milliseconds(10));
    }
}

std::vector<std::string> TSmtpServer::Events() const
{
    std::vector<std::string> events;
    std::istringstream in(ReadWhole(folder_.File("events.log")));
    for (std::string line; std::getline(in, line);) events.push_back(line);
    return events;
}
