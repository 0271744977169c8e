#pragma once
#include <chrono>

// How the mail components wait. Every network wait of the socket layer is a
// loop around TMailPump::Wait, so the rest of the program (windows, timers,
// the tray, the clipboard) keeps running while a mail is being sent, and the
// thread sleeps instead of spinning.
//
// One pump serves the whole program (SetMailPump); a desktop installs its own
// at start-up, and without one the poll() pump of pollpump.h is used.
//
// Contract for implementations:
// - Both calls run on the one user-interface thread, and may run any other
//   pending work of the program re-entrantly: timer handlers, window events,
//   even code that calls Cancel on the socket that is waiting, which closes
//   its descriptor. A pump must therefore not touch the descriptor again
//   after it has handled other events.
// - Wait must sleep (poll, select, the toolkit's blocking event wait) until
//   one of these happens, then handle what is pending and return:
//     * fd (when >= 0) is ready for one of the requested events; a descriptor
//       that is ready on entry makes it return at once (level-triggered);
//     * the deadline passes (TDeadline::max() means no deadline);
//     * some other event of the program was handled.
//   It need not say why it returned: the caller re-checks its own state and
//   calls again. An early return now and then is harmless; returning at once
//   over and over while nothing is ready is not (that is spinning).
// - ProcessMessages handles what is already pending and returns at once.
class TMailPump {
public:
    using TClock = std::chrono::steady_clock;
    using TDeadline = TClock::time_point;
    enum TWaitEvents : unsigned { weReadable = 1, weWritable = 2 };

    virtual ~TMailPump() = default;
    virtual void ProcessMessages() = 0;
    virtual void Wait(int fd, unsigned events, TDeadline deadline) = 0;
};

// The pump the mail components use. SetMailPump(nullptr) restores the built-in
// poll() pump. The caller keeps the pump alive while it is installed.
TMailPump& MailPump();
void SetMailPump(TMailPump* pump);
