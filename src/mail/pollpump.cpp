#include "mail/pollpump.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <climits>

void TPollPump::Post(std::function<void()> action, std::chrono::milliseconds delay)
{
    posted_.push_back({TClock::now() + delay, std::move(action)});
}

bool TPollPump::RunDue()
{
    bool ran = false;
    // An action may post again or wait itself, so take one at a time.
    for (;;) {
        auto now = TClock::now();
        auto it = std::find_if(posted_.begin(), posted_.end(), [&](const TPosted& p) { return p.due <= now; });
        if (it == posted_.end()) return ran;
        auto action = std::move(it->action);
        posted_.erase(it);
        action();
        ran = true;
    }
}

void TPollPump::ProcessMessages()
{
    RunDue();
}

void TPollPump::Wait(int fd, unsigned events, TDeadline deadline)
{
    if (RunDue()) return;
    for (const auto& p : posted_) deadline = std::min(deadline, p.due);

    int timeoutMs = -1;
    if (deadline != TDeadline::max()) {
        auto left = deadline - TClock::now();
        if (left <= left.zero()) {
            timeoutMs = 0;
        } else {
            // Round up, so a wait never wakes a hair early and polls again.
            auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
            timeoutMs = static_cast<int>(std::min<long long>(ms, INT_MAX));
        }
    }

    pollfd p{};
    p.fd = fd;  // a negative fd is ignored by poll()
    if (events & weReadable) p.events |= POLLIN;
    if (events & weWritable) p.events |= POLLOUT;
    int rc = poll(&p, 1, timeoutMs);
    (void)rc;  // EINTR or a ready fd: either way the caller re-checks
    RunDue();
}

namespace {
TMailPump* installedPump = nullptr;
}

TMailPump& MailPump()
{
    static TPollPump builtIn;
    return installedPump ? *installedPump : builtIn;
}

void SetMailPump(TMailPump* pump)
{
    installedPump = pump;
}
