#pragma once
#include <netinet/in.h>
#include <sys/types.h>

#include <cstdint>
#include <string>

// The binding to the system's sockets. There is one in the process
// (Winsock()); every socket component goes through it, and while it is not
// loaded each call raises EWinsockDLLError "Winsock is not loaded".
//
// The system's BSD sockets need no library to be opened, so loading only
// marks the binding usable; errors come back as Windows sockets codes (the
// numbers the mail string table has texts for), so a refused connection
// reads "[10061] Connection refused" everywhere.
class TagWinsock {
public:
    void LoadWinsock();
    void UnloadWinsock();
    bool IsLoaded() const { return loaded_; }

    // Each raises EWinsockDLLError when the binding is not loaded; a failure
    // of the call itself returns -1 and leaves its code for WSAGetLastError.
    int WSAStartup();
    void WSACleanup();
    int WSAGetLastError();
    // A non-blocking, close-on-exec IPv4 stream socket with TCP_NODELAY set,
    // so the short lines of a dialogue never wait for a delayed ACK.
    int socket();
    int connect(int fd, uint32_t address, uint16_t port);
    // The outcome of a non-blocking connect once the socket is writable: 0 or
    // a Windows sockets code.
    int ConnectResult(int fd);
    ssize_t recv(int fd, void* buffer, size_t length);
    ssize_t send(int fd, const void* data, size_t length, int flags);
    // Also while unloaded: a socket can always be released.
    int closesocket(int fd);
    int gethostname(std::string& name);
    // The port of a service in host byte order, or 0 when the system does not
    // know it. Reads the local services table, so it does not block on the
    // network.
    uint16_t GetServicePort(const std::string& service, const std::string& protocol);
    // INADDR_NONE when text is not an IPv4 address.
    uint32_t inet_addr(const std::string& text);

private:
    void CheckLoaded(const char* function);
    int Fail();

    bool loaded_ = false;
    int lastError_ = 0;
};

TagWinsock& Winsock();

// errno as a Windows sockets code (ECONNREFUSED -> 10061). A value with no
// counterpart is returned unchanged and reads "Error #<errno>".
int WsaErrorFromErrno(int err);
// A getaddrinfo() failure as a Windows sockets code (EAI_NONAME -> 11001).
int WsaErrorFromResolver(int gaiError, int err);
