#pragma once
#include "mail/pump.h"

// The mail components wait in Qt's own event loop: windows repaint, timers
// tick and the clipboard is watched while a mail is being sent, and the
// thread sleeps until the socket, the deadline or some other event wakes it.
class TQtMailPump : public TMailPump {
public:
    void ProcessMessages() override;
    void Wait(int fd, unsigned events, TDeadline deadline) override;
};
