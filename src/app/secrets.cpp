#include "app/secrets.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "mail/pump.h"

extern char** environ;

namespace {
constexpr size_t kMaxOutput = 64 * 1024;

void Wipe(std::string& s)
{
    std::fill(s.begin(), s.end(), '\0');
    s.clear();
}

// Starts /bin/sh -c command in a process group of its own, its output into
// a pipe; returns the pid and the pipe's reading end.
pid_t Spawn(const std::string& command, int& out)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) < 0) throw EPasswordError("The password command could not be started");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // The program ignores SIGPIPE; a shell pipeline like "pass x | head -1"
    // needs it back.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    pid_t pid = -1;
    int rc = posix_spawn(&pid, "/bin/sh", &actions, &attr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        throw EPasswordError("The password command could not be started");
    }
    ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    out = pipeFds[0];
    return pid;
}
}  // namespace

std::string RunPasswordCommand(const std::string& command, std::chrono::milliseconds bound)
{
    int out = -1;
    pid_t pid = Spawn(command, out);
    auto deadline = TMailPump::TClock::now() + bound;
    std::string output;
    bool ended = false;
    while (TMailPump::TClock::now() < deadline) {
        char buffer[4096];
        ssize_t n = ::read(out, buffer, sizeof buffer);
        if (n > 0) {
            if (output.size() < kMaxOutput) output.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n == 0) {
            ended = true;
            break;
        }
        if (errno != EAGAIN && errno != EINTR) break;
        MailPump().Wait(out, TMailPump::weReadable, deadline);
    }
    ::close(out);
    if (!ended) ::kill(-pid, SIGKILL);
    int status = 0;
    // The output has ended, so the shell is finishing; a command that keeps
    // running without output is killed after the bound.
    while (::waitpid(pid, &status, ended ? WNOHANG : 0) == 0) {
        if (TMailPump::TClock::now() >= deadline) {
            ::kill(-pid, SIGKILL);
            ended = false;
        }
        MailPump().Wait(-1, 0, std::min(deadline, TMailPump::TClock::now() + std::chrono::milliseconds(20)));
    }
    std::string line = output.substr(0, output.find('\n'));
    Wipe(output);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!ended) {
        Wipe(line);
        throw EPasswordError("The password command did not finish within " +
                             std::to_string(std::chrono::duration_cast<std::chrono::seconds>(bound).count()) +
                             " seconds");
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        Wipe(line);
        throw EPasswordError("The password command failed (exit status " +
                             std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)) + ")");
    }
    if (line.empty()) throw EPasswordError("The password command gave no password");
    return line;
}

bool TPasswordSource::StoreAvailable()
{
    if (!available_) available_ = store_ && store_->Available();
    return *available_;
}

std::string TPasswordSource::Password(const TLogin& login)
{
    if (!login.command.empty()) return RunPasswordCommand(login.command);
    std::string key = login.server + '\n' + login.user;
    auto it = known_.find(key);
    if (it != known_.end()) return it->second;
    bool keyring = login.remember && StoreAvailable();
    if (keyring) {
        if (auto stored = store_->Lookup(login.server, login.user)) {
            known_[key] = *stored;
            return *stored;
        }
    }
    std::string password;
    if (!AskPassword || !AskPassword("Password for " + login.user + " at " + login.server, password) ||
        password.empty())
        throw EPasswordError("No password was given for " + login.user);
    known_[key] = password;
    if (keyring) store_->Store(login.server, login.user, password);
    return password;
}

void TPasswordSource::Forget(const TLogin& login)
{
    auto it = known_.find(login.server + '\n' + login.user);
    if (it != known_.end()) {
        Wipe(it->second);
        known_.erase(it);
    }
    if (login.remember && login.command.empty() && StoreAvailable()) store_->Forget(login.server, login.user);
}
