#include "mail/agsocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>

#include <cstring>
#include <system_error>

#include "core/fileutil.h"
#include "core/strutil.h"
#include "mail/agtls.h"
#include "mail/agwsock.h"
#include "mail/mailstrings.h"
#include "mail/resolver.h"
#include "mail/sockerrors.h"

namespace {
constexpr int kWouldBlock = 10035;
constexpr int kInProgress = 10036;

// A reset or abort from the peer: the same as its closing, for the caller
// that has nothing more to receive.
bool PeerGone(int code)
{
    return code == 10053 || code == 10054 || code == 10057 || code == 10058;
}

std::string DottedText(uint32_t networkOrder)
{
    const auto* b = reinterpret_cast<const unsigned char*>(&networkOrder);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
           std::to_string(b[3]);
}

// Whether a connect in progress has finished, one way or the other.
bool ConnectFinished(int fd)
{
    pollfd p{fd, POLLOUT, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLOUT | POLLERR | POLLHUP));
}

// position * 100 / size, rounded to the nearest integer, ties to even.
int Percentage(long long position, long long size)
{
    if (size <= 0) return 100;
    long long q = position * 100 / size;
    long long r2 = position * 100 % size * 2;
    if (r2 > size || (r2 == size && (q & 1))) ++q;
    return static_cast<int>(q);
}
}  // namespace

TagSocket::TagSocket() = default;

TagSocket::~TagSocket()
{
    // A socket still held (the owner never disconnected) is released quietly:
    // no events fire from a destructor.
    tls_.reset();
    if (socket_ != -1) Winsock().closesocket(socket_);
    lookup_.reset();
    for (; startups_ > 0; --startups_) {
        try {
            Winsock().WSACleanup();
        } catch (const std::exception&) {
            break;  // the binding was unloaded meanwhile; nothing left to clean
        }
    }
    if (!logFileName_.empty()) {
        std::string text;
        if (transcriptDropped_ > 0)
            text = "(" + std::to_string(transcriptDropped_) + " earlier lines dropped: the log keeps the last " +
                   std::to_string(kMaxTranscriptBytes / 1024) + " KiB)\r\n";
        for (const auto& line : transcript_) text += line + "\r\n";
        WriteFileString(logFileName_, text);
    }
}

bool TagSocket::WinsockLoaded() const
{
    return Winsock().IsLoaded();
}

void TagSocket::SetWinsockLoaded(bool v)
{
    if (v && !Winsock().IsLoaded()) Winsock().LoadWinsock();
    if (!v) Winsock().UnloadWinsock();
}

std::string TagSocket::HostPart() const
{
    auto colon = server_.find(':');
    return colon == std::string::npos ? server_ : server_.substr(0, colon);
}

int TagSocket::PortPart() const
{
    auto colon = server_.find(':');
    if (colon == std::string::npos) return 0;
    long long port = StrToIntDef(server_.substr(colon + 1), 0);
    return port < INT32_MIN || port > INT32_MAX ? 0 : static_cast<int>(port);
}

void TagSocket::ResetState()
{
    cancelled_ = false;
    timedOut_ = false;
    peerClosed_ = false;
    peerCloseIsEnd_ = false;
    replyDeadlineSet_ = false;
    AbandonLookup();
}

void TagSocket::AbandonLookup()
{
    lookup_.reset();
}

void TagSocket::ProcessMessages()
{
    Pump().ProcessMessages();
}

void TagSocket::Arm()
{
    armed_ = timeOut_ > 0;
    if (!armed_) return;
    deadline_ = replyDeadlineSet_ ? replyDeadline_ : TMailPump::TClock::now() + std::chrono::seconds(timeOut_);
}

void TagSocket::BeginReply()
{
    replyDeadlineSet_ = false;
    Arm();
    replyDeadline_ = deadline_;
    replyDeadlineSet_ = armed_;
    Disarm();
}

void TagSocket::CheckTimeOut()
{
    if (!armed_ || TMailPump::TClock::now() < deadline_) return;
    AbandonLookup();
    armed_ = false;
    timedOut_ = true;
}

void TagSocket::WaitFor(int fd, unsigned events)
{
    Pump().Wait(fd, events, armed_ ? deadline_ : TMailPump::TDeadline::max());
    CheckTimeOut();
}

void TagSocket::FireError(std::string& msg)
{
    if (OnError) OnError(*this, msg);
}

void TagSocket::RaiseMessage(std::string msg)
{
    Disarm();
    FireError(msg);
    throw ESocketError(msg);
}

void TagSocket::RaiseByCode(int code)
{
    if (code == 0) return;
    std::string msg = MailString(code);
    if (msg.empty()) msg = "Error #" + std::to_string(code);
    RaiseMessage(msg);
}

void TagSocket::RaiseTimeOut()
{
    Disarm();
    std::string msg = MailString(smTimedOut);
    FireError(msg);
    CloseSocket();
    throw ETimedOutError(MailString(smTimedOut));
}

void TagSocket::RaiseCancel()
{
    Disarm();
    std::string msg = MailString(smCanceled);
    FireError(msg);
    throw ECanceledError(MailString(smCanceled));
}

void TagSocket::Prepare()
{
    if (OnOpen) OnOpen(*this);
    if (server_.empty()) RaiseByCode(smServerRequired);
    if (Winsock().WSAStartup() != 0) RaiseByCode(smInvalidVersion);
    ++startups_;
    if (Winsock().gethostname(localHost_) == -1) localHost_ = HostPart();
    ResolveHost();
    ResolvePort();
    int fd = Winsock().socket();
    if (fd == -1) RaiseByCode(Winsock().WSAGetLastError());
    socket_ = fd;
    inbox_.clear();
    dropping_ = false;
}

void TagSocket::ResolveHost()
{
    std::string host = HostPart();
    uint32_t address = Winsock().inet_addr(host);
    if (address != INADDR_NONE) {
        remoteIP_ = address;
        remoteAddress_ = DottedText(address);
        return;
    }

    try {
        lookup_ = std::make_unique<THostLookup>(host);
    } catch (const std::system_error&) {
        RaiseByCode(smResolveError);
    }
    bool done = false;
    int error = 0;
    Arm();
    while (lookup_ && !cancelled_ && !timedOut_) {
        if (lookup_->Done()) {
            done = true;
            error = lookup_->Error();
            address = lookup_->Address();
            break;
        }
        WaitFor(lookup_->Fd(), TMailPump::weReadable);
    }
    Disarm();
    AbandonLookup();
    if (done && error != 0) RaiseByCode(error);
    if (timedOut_) RaiseTimeOut();
    if (cancelled_ || !done) RaiseCancel();

    ProcessMessages();
    remoteAddress_ = DottedText(address);
    remoteIP_ = Winsock().inet_addr(remoteAddress_);
    if (remoteIP_ == INADDR_NONE) RaiseByCode(smResolveError);
}

void TagSocket::ResolvePort()
{
    auto port = static_cast<uint16_t>(PortPart());
    if (port != 0) {
        port_ = port;
        return;
    }
    if (serviceName_.empty()) RaiseByCode(smServiceRequired);
    if (cancelled_) RaiseCancel();
    // The services table is a local file, so this look-up needs no wait.
    port = Winsock().GetServicePort(serviceName_, useUDP_ ? "udp" : "tcp");
    port_ = port != 0 ? port : defaultPort_;
}

void TagSocket::ConnectSocket()
{
    if (cancelled_) RaiseCancel();
    Arm();
    bool connected = false;
    if (Winsock().connect(socket_, remoteIP_, port_) == 0) {
        connected = true;
    } else {
        int error = Winsock().WSAGetLastError();
        if (error != kWouldBlock && error != kInProgress) RaiseByCode(error);
    }
    while (!connected && !cancelled_ && !timedOut_) {
        WaitFor(socket_, TMailPump::weWritable);
        if (cancelled_ || timedOut_ || !ConnectFinished(socket_)) continue;
        // A refused or unreachable server ends the wait at once with its own
        // error instead of running into the time-out.
        RaiseByCode(Winsock().ConnectResult(socket_));
        connected = true;
    }
    Disarm();
    if (cancelled_) RaiseCancel();
    if (timedOut_) RaiseTimeOut();
    established_ = true;
    if (OnConnected) OnConnected(*this);
}

void TagSocket::TakeReceived(const char* data, size_t length)
{
    // Line by line: a line whose end comes in the same read as its overflow
    // must be cut as well.
    auto lastLf = inbox_.rfind('\n');
    size_t lineStart = lastLf == std::string::npos ? 0 : lastLf + 1;
    while (length > 0) {
        const auto* lf = static_cast<const char*>(std::memchr(data, '\n', length));
        size_t piece = lf ? static_cast<size_t>(lf - data) + 1 : length;
        if (!dropping_) {
            size_t room = kMaxLineLength - (inbox_.size() - lineStart);
            size_t text = lf ? piece - 1 : piece;
            dropping_ = text > room;
            inbox_.append(data, dropping_ ? room : text);
        }
        if (lf) {
            inbox_ += '\n';
            dropping_ = false;
            lineStart = inbox_.size();
        }
        data += piece;
        length -= piece;
    }
}

std::string TagSocket::ReadLine()
{
    // A Cancel between two lines of a reply has closed the socket: it is the
    // cancel that the caller must hear of, not the missing connection.
    if (cancelled_) RaiseCancel();
    if (!Connected()) RaiseByCode(smNotConnected);

    std::string result;
    bool reachedLoop = !inbox_.empty() || peerClosed_;
    Arm();
    try {
        bool gotLine = false;
        for (;;) {
            auto lf = inbox_.find('\n');
            if (lf != std::string::npos) {
                result = inbox_.substr(0, lf + 1);
                inbox_.erase(0, lf + 1);
                gotLine = true;
                break;
            }
            if (cancelled_ || timedOut_ || peerClosed_) break;
            char buffer[4096];
            int error = 0;
            unsigned waitFor = TMailPump::weReadable;
            ssize_t n = Receive(buffer, sizeof buffer, error, waitFor);
            if (n > 0) {
                reachedLoop = true;
                TakeReceived(buffer, static_cast<size_t>(n));
                // A server that streams faster than we read never lets the
                // wait below run: the time-out is checked here as well.
                CheckTimeOut();
                continue;
            }
            if (n == 0) {
                reachedLoop = true;
                peerClosed_ = true;
                break;
            }
            if (cancelled_) break;
            if (error != kWouldBlock) {
                reachedLoop = true;
                if (peerCloseIsEnd_ && PeerGone(error)) {
                    peerClosed_ = true;
                    break;
                }
                RaiseByCode(error);
            }
            WaitFor(socket_, waitFor);
        }

        if (gotLine) {
            while (!result.empty() && (result.back() == '\r' || result.back() == '\n')) result.pop_back();
            CheckReply(result);
        } else if (peerClosed_ && !cancelled_ && !timedOut_) {
            // Whatever came before the close is no reply: the command it
            // answers cannot be taken as accepted.
            result = inbox_;
            inbox_.clear();
            if (!peerCloseIsEnd_) RaiseByCode(smClosedBeforeReply);
        }
        if (timedOut_) RaiseTimeOut();
        if (cancelled_) RaiseCancel();
    } catch (...) {
        Disarm();
        if (reachedLoop) {
            AddToTranscript(result);
            if (OnLineReceived) OnLineReceived(*this, result);
        }
        throw;
    }
    Disarm();
    AddToTranscript(result);
    if (OnLineReceived) OnLineReceived(*this, result);
    return result;
}

void TagSocket::SendAll(const std::string& data, bool rearm)
{
    size_t sent = 0;
    while (sent < data.size() && !cancelled_ && !timedOut_) {
        int error = 0;
        unsigned waitFor = TMailPump::weWritable;
        ssize_t n = Transmit(data.data() + sent, data.size() - sent, error, waitFor);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            if (rearm) Arm();
            continue;
        }
        if (n == 0) error = kWouldBlock;
        if (cancelled_) break;
        if (error != kWouldBlock) {
            if (peerCloseIsEnd_ && PeerGone(error)) {
                peerClosed_ = true;
                return;
            }
            RaiseByCode(error);
        }
        WaitFor(socket_, waitFor);
    }
}

void TagSocket::WriteLine(const std::string& line)
{
    WriteSecretLine(line, line);
}

void TagSocket::WriteSecretLine(const std::string& line, const std::string& shown)
{
    if (cancelled_) RaiseCancel();
    if (!Connected()) RaiseByCode(smNotConnected);
    ProcessMessages();
    Arm();
    SendAll(line + "\r\n", false);
    Disarm();
    if (timedOut_) RaiseTimeOut();
    if (cancelled_) RaiseCancel();
    AddToTranscript(shown);
    if (OnLineSent) OnLineSent(*this, shown);
}

void TagSocket::WriteStream(std::istream& stream, const std::vector<std::string>& tailLines)
{
    // A file just written may still hold output in its buffer.
    if (stream.rdbuf()) stream.rdbuf()->pubsync();
    stream.clear();
    stream.seekg(0, std::ios::end);
    long long size = stream.tellg();
    stream.seekg(0);
    if (size < 0) size = 0;
    AddToTranscript("Suppressing the message body");
    // The tail goes with the last chunk: one write (one TLS record) less per
    // line, and the server gets the end of the data at once.
    std::string tail;
    for (const auto& line : tailLines) tail += line + "\r\n";

    long long position = 0;
    for (;;) {
        char buffer[kChunkSize + 1] = {};
        stream.read(buffer, kChunkSize);
        auto count = static_cast<size_t>(stream.gcount());
        position += static_cast<long long>(count);
        bool last = count < kChunkSize;
        std::string chunk(buffer, count);
        if (last) chunk += tail;
        Arm();
        if (!chunk.empty()) {
            // A Cancel as the DATA reply came in has closed the socket.
            if (cancelled_) RaiseCancel();
            if (!Connected()) RaiseByCode(smNotConnected);
            SendAll(chunk, true);
        }
        Disarm();
        if (OnProgress) OnProgress(*this, Percentage(position, size));
        if (last || timedOut_ || cancelled_) break;
        ProcessMessages();
    }
    if (timedOut_) RaiseTimeOut();
    if (cancelled_) RaiseCancel();
    if (OnProgress) OnProgress(*this, 0);
    for (const auto& line : tailLines) {
        AddToTranscript(line);
        if (OnLineSent) OnLineSent(*this, line);
    }
}

void TagSocket::AddToTranscript(const std::string& line)
{
    if (logFileName_.empty()) return;
    transcript_.push_back(line);
    transcriptBytes_ += line.size() + 2;
    if (transcriptBytes_ <= kMaxTranscriptBytes) return;
    // Drop the oldest lines down to three quarters, so trimming happens
    // seldom and costs little.
    size_t drop = 0;
    while (drop < transcript_.size() && transcriptBytes_ > kMaxTranscriptBytes / 4 * 3) {
        transcriptBytes_ -= transcript_[drop].size() + 2;
        ++drop;
    }
    transcript_.erase(transcript_.begin(), transcript_.begin() + static_cast<std::ptrdiff_t>(drop));
    transcriptDropped_ += drop;
}

void TagSocket::CloseSocket()
{
    if (socket_ == -1) return;
    if (OnClosing) OnClosing(*this);
    if (tls_ && !cancelled_ && !timedOut_) tls_->Shutdown();
    ReleaseSocket();
    if (OnClosed) OnClosed(*this);
}

void TagSocket::ReleaseSocket()
{
    if (socket_ == -1) return;
    int fd = socket_;
    socket_ = -1;
    established_ = false;
    tls_.reset();
    inbox_.clear();
    dropping_ = false;
    Winsock().closesocket(fd);
}

void TagSocket::Cancel()
{
    cancelled_ = true;
    if (OnCancel) OnCancel(*this);
    AbandonLookup();
    CloseSocket();
}
