#include "mail/mailbase.h"

void TmsMailBase::Connect()
{
    if (Connected()) return;
    try {
        Prepare();
        Login();
    } catch (...) {
        CloseSocket();
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
