#include <gtest/gtest.h>

#include <sstream>

#include "core/fileutil.h"
#include "mail/mailbase.h"
#include "mail/pollpump.h"
#include "mail/sockerrors.h"
#include "sock_test_util.h"
#include "support/hostileserver.h"
#include "support/tempdir.h"

namespace {
using namespace std::chrono_literals;

// The socket component with the protocol left out: Connect only connects,
// and every received line is accepted.
class TProbe : public TmsMailBase {
public:
    TProbe()
    {
        SetServiceName("smtp");
        SetDefaultPort(2626);
        SetTimeOut(10);
    }
    std::vector<std::string> checked;

protected:
    void CheckReply(const std::string& line) override { checked.push_back(line); }
    void Login() override { ConnectSocket(); }
    void Logout() override {}
};

using SocketPrepare = SocketTest;

TEST_F(SocketPrepare, ServerNamesHostAndPortOrFallsBackToServiceThenDefault)
{
    struct Case {
        std::string server, service;
        uint16_t port;
    };
    const Case cases[] = {
        {"127.0.0.1:2525", "smtp", 2525},
        {"localhost:2525", "no-such-service", 2525},
        {"localhost", "smtp", 25},       // the system's services table
        {"localhost:mail", "smtp", 25},  // a port that is no number
        {"127.0.0.1", "no-such-service", 2626},
        {"127.0.0.1:0", "no-such-service", 2626},
    };
    for (const auto& c : cases) {
        TProbe probe;
        probe.SetServer(c.server);
        probe.SetServiceName(c.service);
        probe.Prepare();
        EXPECT_EQ(probe.Port(), c.port) << c.server;
        EXPECT_EQ(probe.RemoteAddress(), "127.0.0.1") << c.server;
        EXPECT_TRUE(probe.Connected()) << c.server;
        probe.CloseSocket();
    }
}

TEST_F(SocketPrepare, FailuresRaiseTheirTextAfterOnErrorAndHoldNoSocket)
{
    struct Case {
        std::string server, service, text;
    };
    const Case cases[] = {
        {"", "smtp", "Server property is required"},
        {"127.0.0.1", "", "Service name is required"},
        {"nohost.invalid:25", "smtp", "[11001] Host not found"},
        {"nohost.invalid", "smtp", "[11001] Host not found"},
    };
    for (const auto& c : cases) {
        TProbe probe;
        TEventLog log;
        log.Watch(probe);
        probe.SetServer(c.server);
        probe.SetServiceName(c.service);
        EXPECT_EQ(MessageOf<ESocketError>([&] { probe.Connect(); }), c.text) << c.server;
        EXPECT_EQ(log.events, (std::vector<std::string>{"Open", "Error " + c.text})) << c.server;
        EXPECT_FALSE(probe.Connected());
    }
}

TEST_F(SocketPrepare, UnloadedBindingRaisesNotLoaded)
{
    TProbe probe;
    probe.SetServer("127.0.0.1:25");
    probe.SetWinsockLoaded(false);
    EXPECT_FALSE(probe.WinsockLoaded());
    EXPECT_EQ(MessageOf<EWinsockDLLError>([&] { probe.Connect(); }), "Winsock is not loaded");
    probe.SetWinsockLoaded(true);
    EXPECT_TRUE(Winsock().IsLoaded());
}

using SocketConnect = SocketTest;

TEST_F(SocketConnect, RefusedConnectionEndsTheWaitWithItsOwnError)
{
    TProbe probe;
    TEventLog log;
    log.Watch(probe);
    probe.SetTimeOut(60);
    probe.SetServer("127.0.0.1:" + std::to_string(UnusedPort()));
    // An ESocketError, not the time-out a missed failure would end in.
    EXPECT_EQ(MessageOf<ESocketError>([&] { probe.Connect(); }), "[10061] Connection refused");
    EXPECT_TRUE(log.Has("Error [10061] Connection refused"));
    EXPECT_FALSE(probe.Connected());
}

TEST_F(SocketConnect, OnErrorRewritesTheMessageOfSocketErrorsOnly)
{
    THostileServer server([](THostileConnection& c, int) { c.WaitForClose(); });
    for (bool timeOut : {false, true}) {
        TProbe probe;
        probe.OnError = [](TagSocket&, std::string& msg) { msg = "rewritten: " + msg; };
        if (timeOut) {
            probe.SetServer(server.Address());
            probe.SetTimeOut(1);
            probe.Connect();
            EXPECT_EQ(MessageOf<ETimedOutError>([&] { probe.ReadLine(); }), "Operation timed out");
        } else {
            probe.SetServer("127.0.0.1:" + std::to_string(UnusedPort()));
            EXPECT_EQ(MessageOf<ESocketError>([&] { probe.Connect(); }),
                      "rewritten: [10061] Connection refused");
        }
    }
}

using SocketLines = SocketTest;

TEST_F(SocketLines, LinesArriveWholeWhateverThePacketsAndLineEnds)
{
    const std::string longLine(5000, 'k');
    const std::string overLong(TagSocket::kMaxLineLength + 3000, 'o');
    THostileServer server([&](THostileConnection& c, int) {
        c.SendInPieces("250 split over packets\r\n", 3);
        c.Send("bare\nmany\r\r\r\n\r\n");
        c.SendInPieces("250-" + longLine + "\r\n", 1500, 5ms);
        c.SendInPieces(overLong + "\r\nafter\r\n", 20000, 5ms);
        // At once: the read that overflows the line also holds its end.
        c.Send(overLong + "\r\nwhole\r\n");
        c.WaitForClose();
    });
    TProbe probe;
    probe.SetServer(server.Address());
    probe.Connect();
    const std::vector<std::string> expected = {
        "250 split over packets", "bare", "many", "", "250-" + longLine,
        overLong.substr(0, TagSocket::kMaxLineLength), "after",
        overLong.substr(0, TagSocket::kMaxLineLength), "whole",
    };
    for (const auto& line : expected) EXPECT_EQ(probe.ReadLine(), line);
    EXPECT_EQ(probe.checked, expected);
    probe.Disconnect();
}

TEST_F(SocketLines, ServerClosingBeforeTheLineEndRaises)
{
    THostileServer server([](THostileConnection& c, int) {
        c.Send("220 cut sho");
        c.Close();
    });
    TProbe probe;
    TEventLog log;
    log.Watch(probe);
    probe.SetServer(server.Address());
    probe.Connect();
    const std::string text = "The server closed the connection before replying";
    EXPECT_EQ(MessageOf<ESocketError>([&] { probe.ReadLine(); }), text);
    EXPECT_TRUE(probe.checked.empty());
    EXPECT_EQ(std::vector<std::string>(log.events.end() - 2, log.events.end()),
              (std::vector<std::string>{"Error " + text, "S: 220 cut sho"}));
    // Nothing more comes; the next read says the same at once.
    EXPECT_EQ(MessageOf<ESocketError>([&] { probe.ReadLine(); }), text);
}

TEST_F(SocketLines, SilentServerTimesOutWithTheSocketClosedFirst)
{
    THostileServer server([](THostileConnection& c, int) { c.WaitForClose(); });
    TProbe probe;
    TEventLog log;
    log.Watch(probe);
    probe.SetServer(server.Address());
    probe.SetTimeOut(1);
    probe.Connect();
    log.events.clear();
    EXPECT_EQ(MessageOf<ETimedOutError>([&] { probe.ReadLine(); }), "Operation timed out");
    EXPECT_EQ(log.events, (std::vector<std::string>{"Error Operation timed out", "Closing", "Closed"}));
    EXPECT_FALSE(probe.Connected());
}

TEST_F(SocketLines, CancelFromWorkRunDuringTheWaitEndsIt)
{
    THostileServer server([](THostileConnection& c, int) { c.WaitForClose(); });
    TPollPump pump;
    TProbe probe;
    TEventLog log;
    log.Watch(probe);
    probe.SetPump(&pump);
    probe.SetServer(server.Address());
    probe.SetTimeOut(60);
    probe.Connect();
    log.events.clear();
    pump.Post([&] { probe.Cancel(); }, 50ms);
    EXPECT_EQ(MessageOf<ECanceledError>([&] { probe.ReadLine(); }), "Operation has been canceled");
    EXPECT_EQ(log.events,
              (std::vector<std::string>{"Cancel", "Closing", "Closed", "Error Operation has been canceled"}));
    EXPECT_FALSE(probe.Connected());
}

TEST_F(SocketLines, ReadingOrWritingWithoutConnectionRaises)
{
    TProbe probe;
    const std::string text = "You have to connect to the server first";
    EXPECT_EQ(MessageOf<ESocketError>([&] { probe.ReadLine(); }), text);
    EXPECT_EQ(MessageOf<ESocketError>([&] { probe.WriteLine("QUIT"); }), text);
}

using SocketStream = SocketTest;

TEST_F(SocketStream, StreamGoesRawInChunksWithRoundedProgress)
{
    // 81880 bytes: the first chunk is exactly 2.5 per cent, which rounds to
    // the even 2; 40 full chunks, then an empty last one.
    std::string data;
    for (size_t i = 0; data.size() < 81880; ++i) data += "line " + std::to_string(i) + "\r\n";
    data.resize(81880);
    data[100] = '\0';
    std::string received;
    THostileServer server([&](THostileConnection& c, int) {
        received = c.ReadBytes(data.size() + 6);
        c.WaitForClose();
    });
    TProbe probe;
    TEventLog log;
    probe.SetServer(server.Address());
    TTempDir folder;
    probe.SetLogFileName(folder.File("SMTP.LOG"));
    probe.Connect();
    log.Watch(probe);
    std::istringstream stream(data);
    stream.seekg(500);  // sent from the start all the same
    probe.WriteStream(stream);
    probe.WriteLine("");
    probe.WriteLine(".");
    probe.Disconnect();
    ASSERT_TRUE(server.WaitForFinished(1));
    EXPECT_EQ(received, data + "\r\n.\r\n");

    std::vector<std::string> progress;
    for (const auto& e : log.events)
        if (e.rfind("Progress", 0) == 0) progress.push_back(e);
    ASSERT_EQ(progress.size(), 42u);
    EXPECT_EQ(progress[0], "Progress 2");
    EXPECT_EQ(progress[1], "Progress 5");
    EXPECT_EQ(progress[40], "Progress 100");
    EXPECT_EQ(progress[41], "Progress 0");
    EXPECT_EQ(probe.Transcript(), (std::vector<std::string>{"Suppressing the message body", "", "."}));
}

TEST_F(SocketLines, TranscriptKeepsItsLastMegabyteAndSaysWhatItDropped)
{
    const std::string line(98, 'x');  // 100 bytes a line in the file
    const int count = 15000;          // 1.5 MB in all
    THostileServer server([&](THostileConnection& c, int) {
        std::string all;
        for (int i = 0; i < count; ++i) all += line + "\r\n";
        c.Send(all + "last\r\n");
        c.WaitForClose();
    });
    TTempDir folder;
    {
        TProbe probe;
        probe.SetServer(server.Address());
        probe.SetLogFileName(folder.File("SMTP.LOG"));
        probe.Connect();
        for (int i = 0; i <= count; ++i) probe.ReadLine();
        EXPECT_GT(probe.TranscriptDropped(), 0u);
        probe.CloseSocket();
    }
    std::string log = ReadFileString(folder.File("SMTP.LOG"));
    EXPECT_LE(log.size(), TagSocket::kMaxTranscriptBytes + 100);
    EXPECT_GT(log.size(), TagSocket::kMaxTranscriptBytes / 2);
    EXPECT_EQ(log.rfind("(", 0), 0u);
    EXPECT_NE(log.find(" earlier lines dropped: the log keeps the last 1024 KiB)\r\n" + line), std::string::npos);
    EXPECT_EQ(log.substr(log.size() - 6), "last\r\n");
}

}  // namespace
