#include "mail/agsocket.h"

#include "mail/agtls.h"
#include "mail/agwsock.h"
#include "mail/mailstrings.h"
#include "mail/sockerrors.h"

// The socket component's encrypted side: every read and write goes through
// here, to the system's sockets or to the TLS session over them.

namespace {
constexpr int kWouldBlock = 10035;
constexpr int kConnectionReset = 10054;
}  // namespace

ssize_t TagSocket::Receive(char* buffer, size_t length, int& error, unsigned& waitFor)
{
    if (!tls_) {
        ssize_t n = Winsock().recv(socket_, buffer, length);
        if (n < 0) error = Winsock().WSAGetLastError();
        return n;
    }
    size_t got = 0;
    switch (tls_->Read(buffer, length, got)) {
    case TagTls::tsDone: return static_cast<ssize_t>(got);
    case TagTls::tsClosed: return 0;
    case TagTls::tsWantRead: waitFor = TMailPump::weReadable; break;
    case TagTls::tsWantWrite: waitFor = TMailPump::weWritable; break;
    case TagTls::tsFailed:
        if (tls_->ErrorCode() != 0) {
            error = tls_->ErrorCode();
            return -1;
        }
        RaiseMessage(tls_->ErrorText());
    }
    error = kWouldBlock;
    return -1;
}

ssize_t TagSocket::Transmit(const char* data, size_t length, int& error, unsigned& waitFor)
{
    if (!tls_) {
        ssize_t n = Winsock().send(socket_, data, length, 0);
        if (n < 0) error = Winsock().WSAGetLastError();
        return n;
    }
    size_t put = 0;
    switch (tls_->Write(data, length, put)) {
    case TagTls::tsDone: return static_cast<ssize_t>(put);
    case TagTls::tsClosed: error = kConnectionReset; return -1;
    case TagTls::tsWantRead: waitFor = TMailPump::weReadable; break;
    case TagTls::tsWantWrite: waitFor = TMailPump::weWritable; break;
    case TagTls::tsFailed:
        if (tls_->ErrorCode() != 0) {
            error = tls_->ErrorCode();
            return -1;
        }
        RaiseMessage(tls_->ErrorText());
    }
    error = kWouldBlock;
    return -1;
}

void TagSocket::StartTLS()
{
    if (cancelled_) RaiseCancel();
    if (!Connected()) RaiseByCode(smNotConnected);
    inbox_.clear();
    dropping_ = false;
    try {
        tls_ = std::make_unique<TagTls>(socket_, HostPart());
    } catch (const ESocketError& e) {
        RaiseMessage(e.what());
    }
    Arm();
    while (!cancelled_ && !timedOut_) {
        TagTls::TStep step = tls_->Handshake();
        if (step == TagTls::tsDone) break;
        if (step == TagTls::tsFailed || step == TagTls::tsClosed) {
            std::string msg = step == TagTls::tsClosed ? MailString(smTlsFailed) + MailString(smClosedBeforeReply)
                                                       : tls_->ErrorText();
            // The session is spoilt; the socket goes with the caller's close.
            tls_.reset();
            RaiseMessage(msg);
        }
        WaitFor(socket_, step == TagTls::tsWantRead ? TMailPump::weReadable : TMailPump::weWritable);
    }
    Disarm();
    if (cancelled_) RaiseCancel();
    if (timedOut_) {
        tls_.reset();
        RaiseTimeOut();
    }
}
