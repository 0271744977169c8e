#include <gtest/gtest.h>
#include <netdb.h>
#include <unistd.h>

#include <cerrno>

#include "mail/agwsock.h"
#include "mail/mailstrings.h"
#include "mail/pollpump.h"
#include "mail/sockerrors.h"

namespace {

TEST(SocketErrorTexts, SystemErrorsReadAsWindowsSocketsTexts)
{
    struct Case {
        int code;
        const char* text;
    };
    const Case errnos[] = {
        {ECONNREFUSED, "[10061] Connection refused"},
        {ECONNRESET, "[10054] Connection reset by peer"},
        {EPIPE, "[10054] Connection reset by peer"},
        {ETIMEDOUT, "[10060] Connection timed out"},
        {ENETUNREACH, "[10051] Network is unreachable"},
        {EHOSTUNREACH, "[10065] No Route to Host"},
        {EAGAIN, "[10035] Resource temporarily not available"},
        {EINPROGRESS, "[10036] Operation now in progress"},
        {EADDRNOTAVAIL, "[10049] Cannot assign requested address"},
        {EACCES, "[10013] Permission denied."},
        {EMFILE, "[10024] Too many open files"},
    };
    for (const auto& c : errnos) EXPECT_EQ(MailString(WsaErrorFromErrno(c.code)), c.text) << c.code;

    const Case resolver[] = {
        {EAI_NONAME, "[11001] Host not found"},
        {EAI_AGAIN, "[11002] Non-Authoritative Host not found"},
        {EAI_FAIL, "[11003] Non-Recoverable errors: FORMERR, REFUSED, NOTIMP"},
        {EAI_NODATA, "[11004] Valid name, no data record of requested type"},
    };
    for (const auto& c : resolver) EXPECT_EQ(MailString(WsaErrorFromResolver(c.code, 0)), c.text) << c.code;
    EXPECT_EQ(WsaErrorFromResolver(EAI_SYSTEM, ECONNREFUSED), 10061);
    EXPECT_EQ(WsaErrorFromResolver(0, 0), 0);
}

TEST(SocketErrorTexts, EveryWindowsSocketsCodeHasItsNumberedText)
{
    // Each text begins with its code in brackets (10000 is the odd "[0]").
    const int codes[] = {10004, 10009, 10013, 10014, 10022, 10024, 10035, 10036, 10037, 10038, 10039,
                         10040, 10041, 10042, 10043, 10044, 10045, 10046, 10047, 10048, 10049, 10050,
                         10051, 10052, 10053, 10054, 10055, 10056, 10057, 10058, 10059, 10060, 10061,
                         10062, 10063, 10064, 10065, 10066, 10067, 10068, 10069, 10070, 10071, 10091,
                         10092, 10093, 10094, 11001, 11002, 11003, 11004};
    for (int code : codes)
        EXPECT_EQ(MailString(code).rfind("[" + std::to_string(code) + "] ", 0), 0u) << code;
    EXPECT_EQ(MailString(10000), "[0] No Error");
    EXPECT_EQ(MailString(57000), "Operation timed out");
    EXPECT_EQ(MailString(57011), "Winsock is not loaded");
}

TEST(SocketBinding, CallsWhileUnloadedRaiseNotLoaded)
{
    Winsock().UnloadWinsock();
    std::string name;
    EXPECT_THROW(
        {
            try {
                Winsock().gethostname(name);
            } catch (const EWinsockDLLError& e) {
                EXPECT_STREQ(e.what(), "Winsock is not loaded");
                throw;
            }
        },
        EWinsockDLLError);
    EXPECT_THROW(Winsock().socket(), EWinsockDLLError);
    EXPECT_THROW(Winsock().WSAStartup(), EWinsockDLLError);
    Winsock().LoadWinsock();
    EXPECT_EQ(Winsock().gethostname(name), 0);
    EXPECT_FALSE(name.empty());
}

TEST(PollPump, WaitReturnsForAReadyDescriptorAndRunsPostedWork)
{
    TPollPump pump;
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    std::vector<int> ran;
    pump.Post([&] { ran.push_back(1); });
    pump.Post([&] { ran.push_back(2); }, std::chrono::hours(1));
    pump.ProcessMessages();
    EXPECT_EQ(ran, std::vector<int>{1});

    // Ready on entry: returns long before the (far) deadline.
    ASSERT_EQ(write(p[1], "x", 1), 1);
    auto start = TMailPump::TClock::now();
    auto far = start + std::chrono::seconds(60);
    pump.Wait(p[0], TMailPump::weReadable, far);
    EXPECT_LT(TMailPump::TClock::now(), start + std::chrono::seconds(30));
    // Posted work that falls due ends a wait on a descriptor that stays idle.
    pump.Post([&] { ran.push_back(3); }, std::chrono::milliseconds(5));
    char c;
    ASSERT_EQ(read(p[0], &c, 1), 1);
    while (ran.size() < 2 && TMailPump::TClock::now() < far)
        pump.Wait(p[0], TMailPump::weReadable, far);
    EXPECT_LT(TMailPump::TClock::now(), start + std::chrono::seconds(30));
    EXPECT_EQ(ran, (std::vector<int>{1, 3}));
    EXPECT_EQ(pump.PendingPosts(), 1u);
    close(p[0]);
    close(p[1]);
}

}  // namespace
