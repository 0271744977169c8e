#pragma once
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "core/exception.h"

// Where the password for the SMTP login comes from. It is never written to
// TOLVAR.INI, DebugLog.Txt or SMTP.LOG.

// The password could not be had: the command failed, the user cancelled.
class EPasswordError : public Exception {
public:
    using Exception::Exception;
};

// Runs command with /bin/sh -c and returns the first line it prints (as
// msmtp's passwordeval does: for pass, gopass, secret-tool, a password
// manager's command line). Waits through the mail pump, so the windows stay
// alive, at most bound; a command that fails, prints nothing or runs too
// long raises EPasswordError saying which (its process group is killed).
std::string RunPasswordCommand(const std::string& command,
                               std::chrono::milliseconds bound = std::chrono::seconds(60));

// The desktop's Secret Service (keyring), one password per server and user.
class TSecretStore {
public:
    virtual ~TSecretStore() = default;
    // A Secret Service is running on this session.
    virtual bool Available() = 0;
    virtual std::optional<std::string> Lookup(const std::string& server, const std::string& user) = 0;
    // False when the password could not be stored.
    virtual bool Store(const std::string& server, const std::string& user, const std::string& password) = 0;
    virtual void Forget(const std::string& server, const std::string& user) = 0;
};

// The Secret Service through libsecret (keyring.cpp).
std::unique_ptr<TSecretStore> MakeKeyring();

// The choice of source for one login, in this order: the password command
// when there is one; else the password given earlier in this run; else, with
// "Remember password", the Secret Service's; else the password box, whose
// answer is kept in memory for the rest of the run (and, with "Remember
// password", in the Secret Service).
class TPasswordSource {
public:
    explicit TPasswordSource(std::unique_ptr<TSecretStore> store) : store_(std::move(store)) {}

    struct TLogin {
        std::string server, user, command;
        bool remember = false;
    };
    // Raises EPasswordError when there is none.
    std::string Password(const TLogin& login);
    // The server refused the password: drop it from memory and the Secret
    // Service, so the next login asks again.
    void Forget(const TLogin& login);
    bool StoreAvailable();

    // The password box: false when the user cancelled it.
    std::function<bool(const std::string& prompt, std::string& password)> AskPassword;

private:
    std::unique_ptr<TSecretStore> store_;
    std::optional<bool> available_;
    std::map<std::string, std::string> known_;
};
