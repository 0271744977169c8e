#pragma once
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "mail/pump.h"

class TagSocket;
class THostLookup;
class TagTls;

// Events get the component that fires them; each fires only when assigned.
using TSocketNotifyEvent = std::function<void(TagSocket& sender)>;
using TSocketLineEvent = std::function<void(TagSocket& sender, const std::string& line)>;
using TmsProgressEvent = std::function<void(TagSocket& sender, int perc)>;
// May rewrite msg; for socket errors and refused replies the rewritten text
// becomes the exception's message.
using TmsErrorEvent = std::function<void(TagSocket& sender, std::string& msg)>;

// One TCP connection to one server and a line-oriented dialogue over it, on
// the user-interface thread: every wait goes through the mail pump, is bounded
// by TimeOut and ends early on Cancel. Failures are exceptions: ESocketError
// (by code, after OnError), ETimedOutError (the socket is closed first),
// ECanceledError, EWinsockDLLError.
class TagSocket {
public:
    TagSocket();
    virtual ~TagSocket();
    TagSocket(const TagSocket&) = delete;
    TagSocket& operator=(const TagSocket&) = delete;

    // The process-wide socket binding (Winsock()); false frees it for every
    // component at once.
    bool WinsockLoaded() const;
    void SetWinsockLoaded(bool v);
    // Host name or dotted IPv4 address, optionally ":" and a port.
    const std::string& Server() const { return server_; }
    void SetServer(const std::string& v) { server_ = v; }
    // The port when Server names none and the service is unknown.
    uint16_t DefaultPort() const { return defaultPort_; }
    void SetDefaultPort(uint16_t v) { defaultPort_ = v; }
    // Seconds any single wait may last; 0 or less waits without limit.
    int32_t TimeOut() const { return timeOut_; }
    void SetTimeOut(int32_t v) { timeOut_ = v; }
    const std::string& ServiceName() const { return serviceName_; }
    void SetServiceName(const std::string& v) { serviceName_ = v; }
    // Looks the service up as "udp" instead of "tcp"; the socket stays TCP.
    bool UseUDP() const { return useUDP_; }
    void SetUseUDP(bool v) { useUDP_ = v; }
    // When set, every line sent and received is kept and written to this file
    // (CR LF after each line) when the component is destroyed. Only the last
    // kMaxTranscriptBytes are kept; the file then says how many lines went.
    const std::string& LogFileName() const { return logFileName_; }
    void SetLogFileName(const std::string& v) { logFileName_ = v; }
    // Waits through this pump instead of the program's MailPump().
    void SetPump(TMailPump* pump) { pump_ = pump; }

    bool Connected() const { return socket_ != -1; }
    // The resolved server address (dotted, and in network byte order), the
    // port and the local host name of the last Prepare.
    const std::string& RemoteAddress() const { return remoteAddress_; }
    uint32_t RemoteIP() const { return remoteIP_; }
    uint16_t Port() const { return port_; }
    const std::string& LocalHost() const { return localHost_; }
    const std::vector<std::string>& Transcript() const { return transcript_; }
    // Lines dropped from the front of the transcript to keep it bounded.
    size_t TranscriptDropped() const { return transcriptDropped_; }
    // The connection is encrypted (after StartTLS).
    bool Encrypted() const { return tls_ != nullptr; }

    // One received line without its line end; passes it to CheckReply.
    std::string ReadLine();
    // Sends the line and CR LF.
    void WriteLine(const std::string& line);
    // Sends the line and CR LF, but the transcript and OnLineSent get shown:
    // for lines that carry a password.
    void WriteSecretLine(const std::string& line, const std::string& shown);
    // Sends the stream's bytes raw from its start, in 2047-byte chunks, with
    // OnProgress after each (percentage sent) and once more with 0. The
    // tailLines follow the last chunk in the same write, each with CR LF,
    // and reach the transcript and OnLineSent as lines of their own.
    void WriteStream(std::istream& stream, const std::vector<std::string>& tailLines = {});

    // Clears the flags of an earlier connection.
    virtual void ResetState();
    // OnOpen, checks, name and port resolution, the socket.
    virtual void Prepare();
    // OnClosing, close, OnClosed; nothing when no socket is held.
    virtual void CloseSocket();
    // Ends a wait in progress (also from code run during that wait) and
    // closes the socket.
    virtual void Cancel();

    TSocketNotifyEvent OnOpen;
    TSocketNotifyEvent OnConnected;
    TSocketLineEvent OnLineSent;
    TSocketLineEvent OnLineReceived;
    TmsProgressEvent OnProgress;
    TSocketNotifyEvent OnClosing;
    TSocketNotifyEvent OnClosed;
    TSocketNotifyEvent OnCancel;
    TmsErrorEvent OnError;

protected:
    // Judges a received line; raises for a rejection.
    virtual void CheckReply(const std::string& line) = 0;
    // The TCP connection, to the address and port Prepare found.
    void ConnectSocket();
    // TLS over the open connection: the handshake, through the pump,
    // bounded by TimeOut and ended by Cancel. Bytes the server sent before
    // it are dropped, so nothing plain is ever read as if encrypted.
    void StartTLS();
    // Between these, the lines read share one deadline (a whole reply must
    // arrive within TimeOut, however many lines it has).
    void BeginReply();
    void EndReply() { replyDeadlineSet_ = false; }
    // Lets go of the socket without the closing events: for a connection
    // that never opened, whose failure the caller reports itself.
    void ReleaseSocket();
    // True once the TCP connection is up, until the socket is let go.
    bool Established() const { return established_; }

    // Raising: by code (57000.. or a Windows sockets code; 0 raises nothing),
    // a time-out, a cancel. Each disarms the time-out and fires OnError.
    void RaiseByCode(int code);
    [[noreturn]] void RaiseMessage(std::string msg);
    [[noreturn]] void RaiseTimeOut();
    [[noreturn]] void RaiseCancel();
    void FireError(std::string& msg);

    void ProcessMessages();
    bool IsCancelled() const { return cancelled_; }
    bool IsTimedOut() const { return timedOut_; }
    // The server has closed its side (a read saw the end of the stream).
    bool PeerClosed() const { return peerClosed_; }
    // While set, the server closing the connection (or resetting it) ends the
    // dialogue quietly instead of raising: used after the mail was accepted.
    void SetPeerCloseIsEnd(bool v) { peerCloseIsEnd_ = v; }

    std::string HostPart() const;
    int PortPart() const;

private:
    TMailPump& Pump() const { return pump_ ? *pump_ : MailPump(); }
    void Arm();
    void Disarm() { armed_ = false; }
    // Sleeps until fd is ready, the time-out passes or other events ran.
    void WaitFor(int fd, unsigned events);
    void CheckTimeOut();
    void ResolveHost();
    void ResolvePort();
    // Sends all of data unless timed out or cancelled; with rearm, every
    // step of progress restarts the time-out.
    void SendAll(const std::string& data, bool rearm);
    // One read or write on the connection, plain or encrypted: the bytes
    // moved (0 from Receive: the server closed), or -1 with the Windows
    // sockets code in error (kWouldBlock: wait for waitFor first).
    ssize_t Receive(char* buffer, size_t length, int& error, unsigned& waitFor);
    ssize_t Transmit(const char* data, size_t length, int& error, unsigned& waitFor);
    // The same answer for one step of the TLS session (a TagTls::TStep).
    ssize_t TlsOutcome(int step, size_t moved, bool reading, int& error, unsigned& waitFor);
    // Adds received bytes to the inbox, keeping the line being received
    // within kMaxLineLength.
    void TakeReceived(const char* data, size_t length);
    void AddToTranscript(const std::string& line);
    void AbandonLookup();

    std::string server_;
    uint16_t defaultPort_ = 0;
    int32_t timeOut_ = 60;
    std::string serviceName_;
    bool useUDP_ = false;
    std::string logFileName_;
    TMailPump* pump_ = nullptr;

    int socket_ = -1;
    bool established_ = false;
    std::unique_ptr<THostLookup> lookup_;
    uint32_t remoteIP_ = 0;
    std::string remoteAddress_;
    std::string localHost_;
    uint16_t port_ = 0;
    int32_t startups_ = 0;
    std::vector<std::string> transcript_;
    size_t transcriptBytes_ = 0;
    size_t transcriptDropped_ = 0;
    std::unique_ptr<TagTls> tls_;

    bool armed_ = false;
    TMailPump::TDeadline deadline_{};
    bool replyDeadlineSet_ = false;
    TMailPump::TDeadline replyDeadline_{};
    bool timedOut_ = false;
    bool cancelled_ = false;
    bool peerClosed_ = false;
    bool peerCloseIsEnd_ = false;

    // Bytes received and not yet handed out as lines; while dropping, the
    // rest of an over-long line is discarded up to its line feed.
    std::string inbox_;
    bool dropping_ = false;

public:
    // A reply line keeps at most this many bytes; the rest is dropped.
    static constexpr size_t kMaxLineLength = 64 * 1024;
    // The message data goes in chunks of this size.
    static constexpr size_t kChunkSize = 2047;
    // The transcript kept in memory (and so SMTP.LOG) holds at most this.
    static constexpr size_t kMaxTranscriptBytes = 1024 * 1024;
};
