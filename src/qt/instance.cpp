#include "qt/instance.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QVariant>
#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace {
// Longer than any URL the capture takes; a bigger announcement is no request.
constexpr qint64 kMaxRequestBytes = 64 * 1024;
// A request may wait on a question box or a slow server in the running copy.
constexpr int kAnswerTimeoutMs = 15 * 60 * 1000;

QString Local(const std::string& s) { return QString::fromLocal8Bit(s.c_str()); }

std::string InstanceBase(const std::string& name)
{
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = (dir && *dir) ? dir : "";
    // A script run from cron or ssh often lacks the variable; the session's
    // folder still names the same lock as the running copy's.
    std::string session = "/run/user/" + std::to_string(getuid());
    if (folder.empty()) folder = QFileInfo(Local(session)).isDir() ? session : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder + name + "-" + std::to_string(getuid());
}
} // namespace

std::unique_ptr<QLockFile> ClaimInstanceLock(const std::string& name)
{
    auto lock = std::make_unique<QLockFile>(Local(InstanceBase(name) + ".lock"));
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) return nullptr;
    return lock;
}

std::string InstanceSocketPath(const std::string& name)
{
    return InstanceBase(name) + ".sock";
}

TInstanceServer::TInstanceServer(const std::string& socketPath, std::function<void()> onActivate)
    : server_(std::make_unique<QLocalServer>()), onActivate_(std::move(onActivate))
{
    QString path = Local(socketPath);
    QLocalServer::removeServer(path);
    QObject::connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            QObject::connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            QObject::connect(s, &QLocalSocket::readyRead, this, [this, s] { Serve(s); });
            Serve(s);
        }
    });
    server_->listen(path);
}

TInstanceServer::~TInstanceServer() = default;

void TInstanceServer::SetRequestHandler(TRequestHandler handler)
{
    onRequest_ = std::move(handler);
    auto waiting = std::move(waiting_);
    waiting_.clear();
    for (auto& s : waiting)
        if (s) Serve(s);
}

void TInstanceServer::Serve(QLocalSocket* socket)
{
    // A request runs a send, which lets events through: this socket's next
    // data waits until the answer is written.
    if (socket->property("tolvarServing").toBool()) return;
    for (;;) {
        QByteArray pending = socket->peek(socket->bytesAvailable());
        qsizetype eol = pending.indexOf('\n');
        if (eol < 0) return;
        QByteArray command = pending.left(eol);
        if (command == "activate") {
            socket->read(eol + 1);
            if (onActivate_) onActivate_();
            continue;
        }
        if (!command.startsWith("request ")) {
            socket->read(eol + 1); // a later version's message: not ours to answer
            continue;
        }
        bool ok = false;
        qint64 size = command.mid(8).toLongLong(&ok);
        if (!ok || size < 0 || size > kMaxRequestBytes) {
            socket->abort();
            return;
        }
        if (pending.size() < eol + 1 + size) return;
        if (!onRequest_) {
            if (std::find(waiting_.begin(), waiting_.end(), socket) == waiting_.end()) waiting_.emplace_back(socket);
            return;
        }
        socket->read(eol + 1);
        QByteArray url = socket->read(size);
        QPointer<QLocalSocket> alive(socket);
        socket->setProperty("tolvarServing", true);
        std::string answer = onRequest_(url.toStdString());
        if (!alive) return;
        socket->setProperty("tolvarServing", false);
        socket->write(QByteArray::fromStdString(answer + "\n"));
        socket->flush();
    }
}

bool TInstanceClient::Connect(const std::string& socketPath, int timeoutMs)
{
    socket_ = std::make_unique<QLocalSocket>();
    socket_->connectToServer(Local(socketPath));
    return socket_->waitForConnected(timeoutMs);
}

TInstanceClient::~TInstanceClient() = default;

void TInstanceClient::Activate()
{
    if (!socket_) return;
    socket_->write("activate\n");
    socket_->waitForBytesWritten(500);
    socket_->disconnectFromServer();
}

std::optional<std::string> TInstanceClient::Request(const std::string& url, int timeoutMs)
{
    if (!socket_ || socket_->state() != QLocalSocket::ConnectedState) return std::nullopt;
    if (static_cast<qint64>(url.size()) > kMaxRequestBytes) return std::string("refused too long for a URL");
    socket_->write("request " + QByteArray::number(static_cast<qint64>(url.size())) + "\n");
    socket_->write(QByteArray::fromStdString(url));
    socket_->flush();
    QDeadlineTimer deadline(timeoutMs);
    while (!socket_->canReadLine()) {
        if (deadline.hasExpired()) return std::nullopt;
        if (!socket_->waitForReadyRead(static_cast<int>(deadline.remainingTime())) && !socket_->canReadLine() &&
            socket_->state() != QLocalSocket::ConnectedState)
            return std::nullopt;
    }
    QByteArray line = socket_->readLine();
    line.chop(1);
    return line.toStdString();
}

TQtInstanceChannel::~TQtInstanceChannel() = default;

bool TQtInstanceChannel::Claim()
{
    lock_ = ClaimInstanceLock(name_);
    return lock_ != nullptr;
}

bool TQtInstanceChannel::Connect()
{
    return client_.Connect(InstanceSocketPath(name_), 1000);
}

std::optional<std::string> TQtInstanceChannel::Request(const std::string& url)
{
    return client_.Request(url, kAnswerTimeoutMs);
}
