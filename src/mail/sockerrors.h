#pragma once
#include "core/exception.h"

// Exceptions of the socket layer. Each carries only its message.

// A socket error by code, or a server's reply that refused a command.
class ESocketError : public Exception {
public:
    using Exception::Exception;
};

// A wait ran past TimeOut ("Operation timed out").
class ETimedOutError : public Exception {
public:
    using Exception::Exception;
};

// A wait saw Cancel ("Operation has been canceled").
class ECanceledError : public Exception {
public:
    using Exception::Exception;
};

// The socket binding is not there or not loaded.
class EWinsockDLLError : public Exception {
public:
    using Exception::Exception;
};

// Identifiers of the socket layer's messages in the mail string table.
enum TSocketMessageId : int {
    smTimedOut = 57000,
    smCanceled = 57001,
    smServerRequired = 57002,
    smInvalidVersion = 57003,
    smResolveError = 57004,
    smServiceRequired = 57005,
    smNotConnected = 57008,
    smFunctionNotFound = 57010,
    smNotLoaded = 57011,
    smWinsockNotFound = 57012,
    smClosedBeforeReply = 57013,
    // Beyond the basic dialogue: encryption, login and bounded replies.
    smNoStartTls = 57014,
    smTlsFailed = 57015,
    smCertificateRefused = 57016,
    smReplyTooLong = 57017,
    smPlainLogin = 57018,
    smNoLoginMethod = 57019,
    smLoginRefused = 57020,
    smNoLogin = 57021,
};
