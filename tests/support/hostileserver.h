#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A scripted TCP server on a free loopback port, run on a thread of the test
// process, for dialogues a real server would never hold: cut replies, silence,
// odd line ends. Each accepted connection runs the script given to the
// constructor; every wait of the server side is bounded, and the destructor
// stops the thread (closing all sockets) whatever the script is doing.

class THostileConnection {
public:
    THostileConnection(int fd, int stopFd, std::chrono::milliseconds bound);
    ~THostileConnection();

    // Sends bytes exactly as given.
    void Send(const std::string& bytes);
    // Sends bytes in pieces of the given size, pausing between them, so the
    // client sees them in separate packets.
    void SendInPieces(const std::string& bytes, size_t pieceSize,
                      std::chrono::milliseconds pause = std::chrono::milliseconds(20));
    // One line from the client without its CR LF; "" with Eof() set when the
    // client closed, the bound passed or the server is stopping.
    std::string ReadLine();
    // Exactly count bytes (fewer when the client closes or the bound passes).
    std::string ReadBytes(size_t count);
    // The message data after DATA, up to (not including) the "." line.
    std::string ReadData();
    // Waits (bounded) until the client closes its side.
    void WaitForClose();
    void Close();
    bool Eof() const { return eof_; }
    // Every line read, in order (data lines not included), and every data
    // block read by ReadData.
    const std::vector<std::string>& Lines() const { return lines_; }
    const std::string& Data() const { return data_; }

private:
    bool Fill();

    int fd_;
    int stopFd_;
    std::chrono::milliseconds bound_;
    std::string inbox_;
    bool eof_ = false;
    std::vector<std::string> lines_;
    std::string data_;
};

using THostileScript = std::function<void(THostileConnection& c, int connectionIndex)>;

class THostileServer {
public:
    explicit THostileServer(THostileScript script,
                            std::chrono::milliseconds bound = std::chrono::seconds(10));
    ~THostileServer();
    THostileServer(const THostileServer&) = delete;
    THostileServer& operator=(const THostileServer&) = delete;

    int Port() const { return port_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    // Waits (bounded) until count connections have run their script to the end.
    bool WaitForFinished(int count, std::chrono::milliseconds bound = std::chrono::seconds(10));
    // The lines each finished connection read, and the data it received.
    std::vector<std::vector<std::string>> Lines() const;
    std::vector<std::string> Data() const;

private:
    void Run();

    THostileScript script_;
    std::chrono::milliseconds bound_;
    int listen_ = -1;
    int stop_[2] = {-1, -1};
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    int finished_ = 0;
    std::vector<std::vector<std::string>> lines_;
    std::vector<std::string> data_;
};

// Plays a well-behaved SMTP server over the connection, except where replies
// says otherwise. A key matches a client command exactly, or else its first
// word ("EHLO", "HELO", "MAIL", "RCPT", "DATA", "QUIT"); "GREETING" is the greeting
// and "." the answer after the message data. The value is sent as it stands
// (include the CR LF); kClose at its end closes the connection after sending
// what comes before it (alone: instead of replying);
// kSilent sends nothing and waits until the client goes. Returns when the
// dialogue ends.
inline const std::string kClose = "<close>";
inline const std::string kSilent = "<silent>";
void PlaySmtp(THostileConnection& c, const std::map<std::string, std::string>& replies = {});
