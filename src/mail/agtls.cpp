#include "mail/agtls.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <signal.h>

#include <cerrno>

#include "mail/agwsock.h"
#include "mail/mailstrings.h"
#include "mail/sockerrors.h"

namespace {

// The oldest library error in words, and the queue emptied for the next call.
std::string TakeLibraryError()
{
    unsigned long code = ERR_get_error();
    std::string text;
    if (code != 0) {
        const char* reason = ERR_reason_error_string(code);
        text = reason ? reason : "error " + std::to_string(code);
    }
    ERR_clear_error();
    return text;
}

SSL_CTX* ClientContext()
{
    static SSL_CTX* context = [] {
        // OpenSSL writes with write(), which raises SIGPIPE on a connection
        // the server has reset; the error return is all we want.
        ::signal(SIGPIPE, SIG_IGN);
        SSL_CTX* c = SSL_CTX_new(TLS_client_method());
        if (!c) return c;
        SSL_CTX_set_min_proto_version(c, TLS1_2_VERSION);
        SSL_CTX_set_verify(c, SSL_VERIFY_PEER, nullptr);
        SSL_CTX_set_default_verify_paths(c);
        // A server that drops the connection without close_notify has ended
        // it; the SMTP dialogue itself tells a cut reply from a finished one.
        SSL_CTX_set_options(c, SSL_OP_IGNORE_UNEXPECTED_EOF);
        // Servers send each reply line as a record of its own: reading ahead
        // takes them in one system call instead of two per record. Every
        // reader drains the session before it waits on the socket.
        SSL_CTX_set_read_ahead(c, 1);
        ERR_clear_error();
        return c;
    }();
    return context;
}

bool IsAddress(const std::string& host)
{
    in_addr a{};
    return ::inet_pton(AF_INET, host.c_str(), &a) == 1;
}

[[noreturn]] void SetupFailed()
{
    throw ESocketError(MailString(smTlsFailed) + TakeLibraryError());
}
}  // namespace

TagTls::TagTls(int fd, const std::string& host)
{
    SSL_CTX* context = ClientContext();
    if (!context) SetupFailed();
    ssl_ = SSL_new(context);
    if (!ssl_) SetupFailed();
    bool named = IsAddress(host) ? X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host.c_str()) == 1
                                 : SSL_set1_host(ssl_, host.c_str()) == 1 &&
                                       SSL_set_tlsext_host_name(ssl_, host.c_str()) == 1;
    if (!named || SSL_set_fd(ssl_, fd) != 1) {
        SSL_free(ssl_);
        ssl_ = nullptr;
        SetupFailed();
    }
    SSL_set_connect_state(ssl_);
}

TagTls::~TagTls()
{
    if (ssl_) SSL_free(ssl_);
}

TagTls::TStep TagTls::Judge(int rc, const char* what)
{
    int err = SSL_get_error(ssl_, rc);
    switch (err) {
    case SSL_ERROR_WANT_READ: return tsWantRead;
    case SSL_ERROR_WANT_WRITE: return tsWantWrite;
    case SSL_ERROR_ZERO_RETURN: return tsClosed;
    case SSL_ERROR_SYSCALL:
        if (errno == 0 || ERR_peek_error() != 0) break;
        errorCode_ = WsaErrorFromErrno(errno);
        errorText_ = MailString(errorCode_);
        ERR_clear_error();
        return tsFailed;
    default: break;
    }
    long verify = SSL_get_verify_result(ssl_);
    if (verify != X509_V_OK) {
        ERR_clear_error();
        errorText_ = MailString(smCertificateRefused) + X509_verify_cert_error_string(verify);
        return tsFailed;
    }
    std::string reason = TakeLibraryError();
    if (reason.empty() && err == SSL_ERROR_SYSCALL) return tsClosed;  // the server just went
    errorText_ = MailString(smTlsFailed) + (reason.empty() ? what : reason);
    return tsFailed;
}

TagTls::TStep TagTls::Handshake()
{
    ERR_clear_error();
    errno = 0;
    int rc = SSL_do_handshake(ssl_);
    return rc == 1 ? tsDone : Judge(rc, "handshake");
}

TagTls::TStep TagTls::Read(char* buffer, size_t length, size_t& got)
{
    ERR_clear_error();
    errno = 0;
    got = 0;
    int rc = SSL_read_ex(ssl_, buffer, length, &got);
    return rc == 1 ? tsDone : Judge(rc, "read");
}

TagTls::TStep TagTls::Write(const char* data, size_t length, size_t& put)
{
    ERR_clear_error();
    errno = 0;
    put = 0;
    int rc = SSL_write_ex(ssl_, data, length, &put);
    return rc == 1 ? tsDone : Judge(rc, "write");
}

void TagTls::Shutdown()
{
    ERR_clear_error();
    SSL_shutdown(ssl_);
    ERR_clear_error();
}
