#include "qt/qtpump.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>
#include <poll.h>

void TQtMailPump::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TQtMailPump::Wait(int fd, unsigned events, TDeadline deadline)
{
    if (fd >= 0) {
        // Level-triggered: a descriptor ready on entry returns at once.
        pollfd p{fd, static_cast<short>(((events & weReadable) ? POLLIN : 0) | ((events & weWritable) ? POLLOUT : 0)), 0};
        if (::poll(&p, 1, 0) > 0) {
            ProcessMessages();
            return;
        }
    }
    auto now = TClock::now();
    if (deadline != TDeadline::max() && deadline <= now) {
        ProcessMessages();
        return;
    }
    std::unique_ptr<QSocketNotifier> readable, writable;
    if (fd >= 0 && (events & weReadable)) readable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    if (fd >= 0 && (events & weWritable)) writable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    QTimer timer;
    timer.setSingleShot(true);
    if (deadline != TDeadline::max()) {
        auto ms = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        timer.start(static_cast<int>(std::min<long long>(ms, 24LL * 3600 * 1000)));
    }
    // Sleeps until any event (the notifiers and the timer are events too),
    // then handles what is pending.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // The handlers may have closed the descriptor; only unhook from it.
    if (readable) readable->setEnabled(false);
    if (writable) writable->setEnabled(false);
}
