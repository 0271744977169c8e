#include "support/hostileserver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

using namespace std::chrono;

THostileConnection::THostileConnection(int fd, int stopFd, milliseconds bound)
    : fd_(fd), stopFd_(stopFd), bound_(bound)
{
}

THostileConnection::~THostileConnection()
{
    Close();
}

void THostileConnection::Close()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void THostileConnection::Send(const std::string& bytes)
{
    size_t sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

void THostileConnection::SendInPieces(const std::string& bytes, size_t pieceSize, milliseconds pause)
{
    for (size_t at = 0; at < bytes.size(); at += pieceSize) {
        if (at > 0) std::this_thread::sleep_for(pause);
        Send(bytes.substr(at, pieceSize));
    }
}

// Reads what is there into the inbox, waiting at most the bound; false at the
// end of the stream, the bound or a stop.
bool THostileConnection::Fill()
{
    if (fd_ < 0 || eof_) return false;
    pollfd p[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    if (::poll(p, 2, static_cast<int>(bound_.count())) <= 0 || (p[1].revents & POLLIN)) {
        eof_ = true;
        return false;
    }
    char buffer[8192];
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) {
        eof_ = true;
        return false;
    }
    inbox_.append(buffer, static_cast<size_t>(n));
    return true;
}

std::string THostileConnection::ReadLine()
{
    for (;;) {
        auto lf = inbox_.find('\n');
        if (lf != std::string::npos) {
            std::string line = inbox_.substr(0, lf);
            inbox_.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines_.push_back(line);
            return line;
        }
        if (!Fill()) return {};
    }
}

std::string THostileConnection::ReadBytes(size_t count)
{
    while (inbox_.size() < count)
        if (!Fill()) break;
    std::string bytes = inbox_.substr(0, count);
    inbox_.erase(0, bytes.size());
    return bytes;
}

std::string THostileConnection::ReadData()
{
    // The data begins right after the DATA line; "\r\n.\r\n" ends it.
    for (;;) {
        if (inbox_.rfind(".\r\n", 0) == 0) {
            inbox_.erase(0, 3);
            return "";
        }
        auto end = inbox_.find("\r\n.\r\n");
        if (end != std::string::npos) {
            std::string data = inbox_.substr(0, end + 2);
            inbox_.erase(0, end + 5);
            data_ += data;
            return data;
        }
        if (!Fill()) return {};
    }
}

void THostileConnection::WaitForClose()
{
    while (Fill()) inbox_.clear();
}

THostileServer::THostileServer(THostileScript script, milliseconds bound)
    : script_(std::move(script)), bound_(bound)
{
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0 ||
        ::listen(listen_, 8) < 0 || ::getsockname(listen_, reinterpret_cast<sockaddr*>(&sa), &len) < 0 ||
        ::pipe2(stop_, O_CLOEXEC) < 0)
        throw std::runtime_error(std::string("hostile server: ") + std::strerror(errno));
    port_ = ntohs(sa.sin_port);
    thread_ = std::thread([this] { Run(); });
}

THostileServer::~THostileServer()
{
    char stop = 1;
    ssize_t n = ::write(stop_[1], &stop, 1);
    (void)n;
    thread_.join();
    for (int fd : {listen_, stop_[0], stop_[1]})
        if (fd >= 0) ::close(fd);
}

void THostileServer::Run()
{
    for (int index = 0;; ++index) {
        pollfd p[2] = {{listen_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 && errno != EINTR) return;
        if (p[1].revents & POLLIN) return;
        if (!(p[0].revents & POLLIN)) continue;
        int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        THostileConnection c(fd, stop_[0], bound_);
        script_(c, index);
        c.Close();
        std::lock_guard<std::mutex> guard(lock_);
        lines_.push_back(c.Lines());
        data_.push_back(c.Data());
        ++finished_;
        changed_.notify_all();
    }
}

bool THostileServer::WaitForFinished(int count, milliseconds bound)
{
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, bound, [&] { return finished_ >= count; });
}

std::vector<std::vector<std::string>> THostileServer::Lines() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return lines_;
}

std::vector<std::string> THostileServer::Data() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return data_;
}

namespace {
// The reply for a command: an override, else what a willing server says.
std::string ReplyFor(const std::string& command, const std::map<std::string, std::string>& replies,
                     const std::string& usual)
{
    auto it = replies.find(command);
    if (it == replies.end()) it = replies.find(command.substr(0, command.find(' ')));
    return it == replies.end() ? usual : it->second;
}

// Sends the reply; false when the dialogue ends here.
bool Answer(THostileConnection& c, const std::string& reply)
{
    if (reply.size() >= kClose.size() && reply.compare(reply.size() - kClose.size(), kClose.size(), kClose) == 0) {
        c.Send(reply.substr(0, reply.size() - kClose.size()));
        c.Close();
        return false;
    }
    if (reply == kSilent) {
        c.WaitForClose();
        return false;
    }
    c.Send(reply);
    return true;
}
}  // namespace

void PlaySmtp(THostileConnection& c, const std::map<std::string, std::string>& replies)
{
    if (!Answer(c, ReplyFor("GREETING", replies, "220 hostile.test ready\r\n"))) return;
    for (;;) {
        std::string command = c.ReadLine();
        if (c.Eof()) return;
        std::string word = command.substr(0, command.find(' '));
        if (word == "DATA") {
            std::string reply = ReplyFor(command, replies, "354 go ahead\r\n");
            if (!Answer(c, reply)) return;
            if (reply.rfind("354", 0) != 0) continue;
            c.ReadData();
            if (c.Eof()) return;
            if (!Answer(c, ReplyFor(".", replies, "250 queued\r\n"))) return;
            continue;
        }
        std::string usual = word == "QUIT"                    ? "221 bye\r\n"
                            : word == "HELO" || word == "EHLO" ? "250 hostile.test\r\n"
                                                               : "250 ok\r\n";
        if (!Answer(c, ReplyFor(command, replies, usual))) return;
        if (word == "QUIT") {
            c.WaitForClose();
            return;
        }
    }
}
