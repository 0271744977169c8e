#pragma once
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <exception>
#include <string>
#include <vector>

#include "mail/agsocket.h"
#include "mail/agwsock.h"

// The name the client gives with HELO.
inline std::string HostName()
{
    std::string name;
    Winsock().LoadWinsock();
    Winsock().gethostname(name);
    return name;
}

// Records the events of a socket component as short texts, in order.
struct TEventLog {
    std::vector<std::string> events;

    void Watch(TagSocket& s)
    {
        s.OnOpen = [this](TagSocket&) { events.push_back("Open"); };
        s.OnConnected = [this](TagSocket&) { events.push_back("Connected"); };
        s.OnClosing = [this](TagSocket& t) {
            events.push_back(std::string("Closing") + (t.Connected() ? "" : "?"));
        };
        s.OnClosed = [this](TagSocket& t) { events.push_back(std::string("Closed") + (t.Connected() ? "?" : "")); };
        s.OnCancel = [this](TagSocket&) { events.push_back("Cancel"); };
        s.OnError = [this](TagSocket&, std::string& msg) { events.push_back("Error " + msg); };
        s.OnLineSent = [this](TagSocket&, const std::string& line) { events.push_back("C: " + line); };
        s.OnLineReceived = [this](TagSocket&, const std::string& line) { events.push_back("S: " + line); };
        s.OnProgress = [this](TagSocket&, int perc) { events.push_back("Progress " + std::to_string(perc)); };
    }
    bool Has(const std::string& event) const
    {
        return std::find(events.begin(), events.end(), event) != events.end();
    }
};

// A loopback port with nothing listening on it.
// What a call threw, or "" when it went through.
template <class Call>
std::string ErrorOf(Call&& call)
{
    try {
        call();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

inline int UnusedPort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    close(fd);
    return ntohs(sa.sin_port);
}

// The exception's message, or "" when none of type E was raised.
template <class E, class F> std::string MessageOf(F&& action)
{
    try {
        action();
    } catch (const E& e) {
        return e.what();
    }
    return "";
}

class SocketTest : public ::testing::Test {
protected:
    void SetUp() override { Winsock().LoadWinsock(); }
};
