#pragma once
#include "mail/agsocket.h"

// The base of the mail protocol clients: a connection is Prepare and Login,
// its end Logout and the socket's release.
class TmsMailBase : public TagSocket {
public:
    // Nothing when connected; else Prepare, then Login. When either fails the
    // socket is released before the exception leaves, so the next Connect
    // starts clean instead of finding a half-open connection "connected".
    void Connect();
    // When connected: Logout, then CloseSocket. The socket is released also
    // when Logout fails (its exception then leaves).
    void Disconnect();

protected:
    virtual void Login() = 0;
    virtual void Logout() = 0;
};
