#pragma once
#include <QLocalSocket>
#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/cli.h"

class QLocalServer;

// One running copy per user: a lock file, and a local socket the first copy
// listens on. Later starts talk to it in lines:
//   "activate"                      bring the window forward (no answer)
//   "request <n>" + n bytes (a URL) answered by one line: a result word of
//                                   CaptureResultWord and, after a blank,
//                                   the reason
// Only QtCore and QtNetwork: the command line uses it without a display.

// The lock, "<runtime folder>/<name>-<uid>.lock"; null when another copy
// holds it.
std::unique_ptr<QLockFile> ClaimInstanceLock(const std::string& name);
std::string InstanceSocketPath(const std::string& name);

// The first copy's side.
class TInstanceServer : public QObject {
public:
    using TRequestHandler = std::function<std::string(const std::string& url)>;
    TInstanceServer(const std::string& socketPath, std::function<void()> onActivate);
    ~TInstanceServer() override;
    // Requests wait unread until there is a handler (the window is made).
    void SetRequestHandler(TRequestHandler handler);

private:
    void Serve(QLocalSocket* socket);

    std::unique_ptr<QLocalServer> server_;
    std::function<void()> onActivate_;
    TRequestHandler onRequest_;
    std::vector<QPointer<QLocalSocket>> waiting_;
};

// A later start's side.
class TInstanceClient {
public:
    bool Connect(const std::string& socketPath, int timeoutMs);
    void Activate();
    // The answer line, or nothing when the running copy went away or took
    // longer than timeoutMs.
    std::optional<std::string> Request(const std::string& url, int timeoutMs);
    ~TInstanceClient();

private:
    std::unique_ptr<QLocalSocket> socket_;
};

// The command line's view of the lock and the socket.
class TQtInstanceChannel : public TInstanceChannel {
public:
    explicit TQtInstanceChannel(std::string name) : name_(std::move(name)) {}
    ~TQtInstanceChannel() override;
    bool Claim() override;
    bool Connect() override;
    std::optional<std::string> Request(const std::string& url) override;

private:
    std::string name_;
    std::unique_ptr<QLockFile> lock_;
    TInstanceClient client_;
};
