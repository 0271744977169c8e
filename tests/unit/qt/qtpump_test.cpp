#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <sys/socket.h>
#include <unistd.h>

#include "qt/qtpump.h"

namespace {
struct SocketPair {
    SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fd), 0); }
    ~SocketPair()
    {
        ::close(fd[0]);
        ::close(fd[1]);
    }
    int fd[2];
};
using Clock = TMailPump::TClock;
} // namespace

// The socket layer waits in a loop around Wait; these check that the loop
// wakes for the socket, for other events and for the deadline, and that it
// sleeps in between instead of spinning.
TEST(TQtMailPump, WakesWhenTheSocketHasDataAndRunsOtherEventsMeanwhile)
{
    SocketPair sp;
    TQtMailPump pump;
    bool timerRan = false;
    QTimer::singleShot(30, [&] { timerRan = true; });
    QTimer::singleShot(60, [&] { (void)::write(sp.fd[1], "x", 1); });
    auto give_up = Clock::now() + std::chrono::seconds(10);
    int rounds = 0;
    char c = 0;
    while (::recv(sp.fd[0], &c, 1, MSG_DONTWAIT) != 1 && Clock::now() < give_up) {
        pump.Wait(sp.fd[0], TMailPump::weReadable, give_up);
        ++rounds;
    }
    EXPECT_EQ(c, 'x');
    EXPECT_TRUE(timerRan);
    EXPECT_LT(rounds, 20) << "the wait returned over and over with nothing ready";
}

TEST(TQtMailPump, SleepsUntilTheDeadline)
{
    SocketPair sp;
    TQtMailPump pump;
    auto deadline = Clock::now() + std::chrono::milliseconds(200);
    int rounds = 0;
    while (Clock::now() < deadline && rounds < 1000) {
        pump.Wait(sp.fd[0], TMailPump::weReadable, deadline);
        ++rounds;
    }
    EXPECT_GE(Clock::now(), deadline);
    EXPECT_LT(rounds, 20) << "spinning while a silent socket is waited on";
}

TEST(TQtMailPump, ReadyOnEntryReturnsAtOnce)
{
    SocketPair sp;
    TQtMailPump pump;
    (void)::write(sp.fd[1], "x", 1);
    auto start = Clock::now();
    pump.Wait(sp.fd[0], TMailPump::weReadable, Clock::now() + std::chrono::seconds(30));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
}

int main(int argc, char** argv)
{
    // Widgets for the window tests, on the offscreen platform: no display is
    // needed, also when ctest lists the tests.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
