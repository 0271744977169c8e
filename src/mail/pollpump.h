#pragma once
#include <functional>
#include <vector>

#include "mail/pump.h"

// The pump for programs without a window system (and for tests): it sleeps in
// poll() on the one descriptor of a wait. Work can be posted to run during
// waits, the way a window system would deliver events meanwhile; posted work
// runs on the waiting thread, inside ProcessMessages or Wait.
class TPollPump : public TMailPump {
public:
    void ProcessMessages() override;
    void Wait(int fd, unsigned events, TDeadline deadline) override;

    // Runs action at the next ProcessMessages/Wait once delay has passed.
    void Post(std::function<void()> action, std::chrono::milliseconds delay = {});
    size_t PendingPosts() const { return posted_.size(); }
    void ClearPosts() { posted_.clear(); }

private:
    struct TPosted {
        TDeadline due;
        std::function<void()> action;
    };
    // Runs every posted action whose time has come; true when any ran.
    bool RunDue();

    std::vector<TPosted> posted_;
};
