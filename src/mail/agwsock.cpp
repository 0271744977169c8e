#include "mail/agwsock.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "mail/mailstrings.h"
#include "mail/sockerrors.h"

TagWinsock& Winsock()
{
    static TagWinsock binding;
    return binding;
}

void TagWinsock::LoadWinsock()
{
    loaded_ = true;
}

void TagWinsock::UnloadWinsock()
{
    loaded_ = false;
}

void TagWinsock::CheckLoaded(const char*)
{
    if (!loaded_) throw EWinsockDLLError(MailString(smNotLoaded));
}

int TagWinsock::Fail()
{
    lastError_ = WsaErrorFromErrno(errno);
    return -1;
}

int TagWinsock::WSAStartup()
{
    CheckLoaded("WSAStartup");
    return 0;
}

void TagWinsock::WSACleanup()
{
    CheckLoaded("WSACleanup");
}

int TagWinsock::WSAGetLastError()
{
    CheckLoaded("WSAGetLastError");
    return lastError_;
}

int TagWinsock::socket()
{
    CheckLoaded("socket");
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return Fail();
    int on = 1;
    // Best effort: without it a mail is only slower, not wrong.
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

int TagWinsock::connect(int fd, uint32_t address, uint16_t port)
{
    CheckLoaded("connect");
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = address;
    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    } while (rc < 0 && errno == EINTR);
    return rc < 0 ? Fail() : rc;
}

int TagWinsock::ConnectResult(int fd)
{
    CheckLoaded("getsockopt");
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) < 0) err = errno;
    return err == 0 ? 0 : WsaErrorFromErrno(err);
}

ssize_t TagWinsock::recv(int fd, void* buffer, size_t length)
{
    CheckLoaded("recv");
    ssize_t n;
    do {
        n = ::recv(fd, buffer, length, 0);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? Fail() : n;
}

ssize_t TagWinsock::send(int fd, const void* data, size_t length, int flags)
{
    CheckLoaded("send");
    ssize_t n;
    // A peer that has gone must give an error, not a SIGPIPE.
    do {
        n = ::send(fd, data, length, flags | MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? Fail() : n;
}

int TagWinsock::closesocket(int fd)
{
    // Releasing works even while unloaded, so no descriptor is ever leaked.
    return ::close(fd) < 0 ? Fail() : 0;
}

int TagWinsock::gethostname(std::string& name)
{
    CheckLoaded("gethostname");
    char buffer[512] = {};
    if (::gethostname(buffer, sizeof buffer - 1) < 0) return Fail();
    name = buffer;
    return 0;
}

uint16_t TagWinsock::GetServicePort(const std::string& service, const std::string& protocol)
{
    CheckLoaded("getservbyname");
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    if (::getservbyname_r(service.c_str(), protocol.c_str(), &entry, buffer, sizeof buffer, &found) != 0 ||
        !found)
        return 0;
    return ntohs(static_cast<uint16_t>(found->s_port));
}

uint32_t TagWinsock::inet_addr(const std::string& text)
{
    CheckLoaded("inet_addr");
    return ::inet_addr(text.c_str());
}

int WsaErrorFromErrno(int err)
{
    switch (err) {
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES:
    case EPERM: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE:
    case ENFILE: return 10024;
    case EAGAIN: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    // Writing to a connection the peer has already reset.
    case EPIPE:
    case ECONNRESET: return 10054;
    case ENOBUFS:
    case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    case EUSERS: return 10068;
    case EDQUOT: return 10069;
    case ESTALE: return 10070;
    case EREMOTE: return 10071;
    default: return err;
    }
}

int WsaErrorFromResolver(int gaiError, int err)
{
    switch (gaiError) {
    case 0: return 0;
    case EAI_NONAME: return 11001;
    case EAI_AGAIN: return 11002;
    case EAI_FAIL: return 11003;
#ifdef EAI_NODATA
    case EAI_NODATA: return 11004;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return 11004;
#endif
    case EAI_MEMORY: return 10055;
    case EAI_SYSTEM: return WsaErrorFromErrno(err);
    default: return 11003;
    }
}
