#include <gtest/gtest.h>

#include <deque>
#include <sstream>

#include "app/cli.h"

namespace {
// A running copy that answers from a script; an empty script entry is a copy
// that went away without answering.
struct TScriptedCopy : TInstanceChannel {
    std::deque<std::optional<std::string>> answers;
    std::vector<std::string> handedOver;
    bool Claim() override { return false; }
    bool Connect() override { return true; }
    std::optional<std::string> Request(const std::string& url) override
    {
        handedOver.push_back(url);
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};
} // namespace

TEST(CommandLine, ThroughARunningCopyEachUrlGetsALineAndTheExitCodeIsHonest)
{
    struct Case {
        std::vector<std::string> args;
        std::deque<std::optional<std::string>> answers;
        std::string out;
        int code;
    } cases[] = {
        {{"request", "https://a/", "http://b/\n"},
         {"sent", "queued sending failed"},
         "sent https://a/\nqueued http://b/ (sending failed)\n",
         0},
        {{"request", "http://a/", "mailto:x"},
         {"sent", "refused mailto: URLs are not supported"},
         "sent http://a/\nrefused mailto:x (mailto: URLs are not supported)\n",
         1},
        {{"request", "http://a/"},
         {"duplicate already requested or queued"},
         "duplicate http://a/ (already requested or queued)\n",
         1},
        {{"request", "http://a/"}, {std::nullopt}, "failed http://a/ (the running Tolvar did not answer)\n", 1},
        {{"request"}, {}, "", 2},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.out);
        TScriptedCopy copy;
        copy.answers = c.answers;
        std::ostringstream out, err;
        ASSERT_TRUE(IsCommandLineVerb(c.args));
        EXPECT_EQ(RunCommandLine(c.args, copy, out, err), c.code);
        EXPECT_EQ(out.str(), c.out);
        EXPECT_EQ(copy.handedOver, std::vector<std::string>(c.args.begin() + 1, c.args.end()));
    }
}

TEST(CommandLine, OnlyItsOwnVerbsLeaveTheWindowOut)
{
    struct Case {
        std::vector<std::string> args;
        bool verb;
    } cases[] = {
        {{"request", "http://a/"}, true},
        {{"--help"}, true},
        {{"--version"}, true},
        {{"/s"}, false},
        {{"x/pay"}, false},
        {{}, false},
        {{"/p", "request"}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsCommandLineVerb(c.args), c.verb) << c.args.size();
    TScriptedCopy copy;
    std::ostringstream out, err;
    EXPECT_EQ(RunCommandLine({"--version"}, copy, out, err), 0);
    EXPECT_EQ(out.str().rfind("Tolvar ", 0), 0u);
    EXPECT_TRUE(copy.handedOver.empty());
}
