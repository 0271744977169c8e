#include "mail/mailbase.h"

void TmsMailBase::Connect()
{
    if (Connected()) return;
    try {
        Prepare();
        Login();
    } catch (...) {
        // A held socket would make the next Connect a no-op. One that never
        // connected is let go quietly: closing events for a connection that
        // never opened would overwrite the step the caller reports as the
        // last one reached.
        if (Established())
            CloseSocket();
        else
            ReleaseSocket();
        throw;
    }
}

void TmsMailBase::Disconnect()
{
    if (!Connected()) return;
    try {
        Logout();
    } catch (...) {
        CloseSocket();
        throw;
    }
    CloseSocket();
}
