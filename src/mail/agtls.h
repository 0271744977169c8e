#pragma once
#include <sys/types.h>

#include <string>

typedef struct ssl_st SSL;

// One TLS client session (OpenSSL) over a connected non-blocking socket. It
// never waits itself: each step says which readiness of the descriptor it
// needs next, and the socket component waits for that through the mail pump.
//
// The server's certificate is checked against the system's trust store
// (OpenSSL's default paths, so SSL_CERT_FILE and SSL_CERT_DIR work as
// usual) and must name the host we connected to; TLS 1.2 is the oldest
// version offered.
class TagTls {
public:
    enum TStep { tsDone, tsWantRead, tsWantWrite, tsClosed, tsFailed };

    // host: the name (or IPv4 address) the certificate must carry. Raises
    // ESocketError when OpenSSL cannot set up a session.
    TagTls(int fd, const std::string& host);
    ~TagTls();
    TagTls(const TagTls&) = delete;
    TagTls& operator=(const TagTls&) = delete;

    TStep Handshake();
    // got/put: bytes moved when the step is tsDone.
    TStep Read(char* buffer, size_t length, size_t& got);
    TStep Write(const char* data, size_t length, size_t& put);
    // Says goodbye (close_notify) without waiting for the answer.
    void Shutdown();

    // After tsFailed: the reason in words ("certificate has expired") and,
    // when the system reported it, the Windows sockets code (else 0).
    const std::string& ErrorText() const { return errorText_; }
    int ErrorCode() const { return errorCode_; }

private:
    TStep Judge(int rc, const char* what);

    SSL* ssl_ = nullptr;
    std::string errorText_;
    int errorCode_ = 0;
};
