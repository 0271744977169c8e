#pragma once
#include <stdexcept>
#include <string>

// Base of every exception Tolvar raises itself: it carries only a message,
// which is what the error reports quote.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// A file could not be opened, read or written; the message is the system's.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

// Text of the current errno in the system's words ("No such file or directory").
std::string SysErrorMessage(int err);
