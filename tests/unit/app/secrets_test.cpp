#include <gtest/gtest.h>

#include <chrono>

#include "app/secrets.h"

namespace {
using namespace std::chrono;

TEST(PasswordCommand, FirstLineOrTheReasonThereIsNone)
{
    struct Case {
        const char* command;
        std::string password;  // "" when it must fail
        std::string error;
    };
    const Case cases[] = {
        {"printf 'pw one\\nsecond\\n'", "pw one", ""},
        {"printf 'pw\\r\\n'", "pw", ""},
        {"printf 'no line end'", "no line end", ""},
        // A pipeline that stops reading early works as in a terminal.
        {"yes secret | head -1", "secret", ""},
        {"echo pw; exit 3", "", "The password command failed (exit status 3)"},
        {"true", "", "The password command gave no password"},
        {"no-such-command-here", "", "The password command failed (exit status 127)"},
        {"sleep 30", "", "The password command did not finish within 1 seconds"},
        // Closing its output does not let a hanging command through either.
        {"exec >/dev/null; sleep 30", "", "The password command did not finish within 1 seconds"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        auto start = steady_clock::now();
        std::string password, error;
        try {
            password = RunPasswordCommand(c.command, seconds(1));
        } catch (const EPasswordError& e) {
            error = e.what();
        }
        EXPECT_EQ(password, c.password);
        EXPECT_EQ(error, c.error);
        EXPECT_LT(steady_clock::now() - start, seconds(3));
    }
}

class TFakeStore : public TSecretStore {
public:
    bool running = true;
    std::map<std::string, std::string> saved;
    bool Available() override { return running; }
    std::optional<std::string> Lookup(const std::string& server, const std::string& user) override
    {
        auto it = saved.find(server + "/" + user);
        return it == saved.end() ? std::nullopt : std::optional<std::string>(it->second);
    }
    bool Store(const std::string& server, const std::string& user, const std::string& password) override
    {
        saved[server + "/" + user] = password;
        return true;
    }
    void Forget(const std::string& server, const std::string& user) override { saved.erase(server + "/" + user); }
};

TEST(PasswordSource, CommandThenMemoryThenSecretServiceThenTheBox)
{
    struct Case {
        const char* what;
        bool remember, running;
        std::map<std::string, std::string> saved;  // in the Secret Service before
        std::vector<std::string> answers;          // the box's answers in turn ("" cancels)
        std::vector<std::string> got;              // two logins, a refusal (Forget), a third login
        std::map<std::string, std::string> after;  // in the Secret Service after
    };
    const std::string key = "smtp.test:587/me";
    const Case cases[] = {
        {"asked once, kept in memory", false, true, {}, {"pw1", "pw2"}, {"pw1", "pw1", "pw2"}, {}},
        {"remembered in the Secret Service", true, true, {}, {"pw1", "pw2"}, {"pw1", "pw1", "pw2"}, {{key, "pw2"}}},
        {"taken from the Secret Service", true, true, {{key, "kept"}}, {"pw2"}, {"kept", "kept", "pw2"}, {{key, "pw2"}}},
        {"no Secret Service running", true, false, {}, {"pw1", "pw2"}, {"pw1", "pw1", "pw2"}, {}},
        {"box cancelled", false, true, {}, {""}, {"!No password was given for me"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto store = std::make_unique<TFakeStore>();
        TFakeStore& fake = *store;
        fake.running = c.running;
        fake.saved = c.saved;
        TPasswordSource source(std::move(store));
        size_t asked = 0;
        source.AskPassword = [&](const std::string& prompt, std::string& password) {
            EXPECT_EQ(prompt, "Password for me at smtp.test:587");
            if (asked >= c.answers.size() || c.answers[asked].empty()) return ++asked, false;
            password = c.answers[asked++];
            return true;
        };
        TPasswordSource::TLogin login{"smtp.test:587", "me", "", c.remember};
        std::vector<std::string> got;
        for (int i = 0; i < 3 && (got.empty() || got.back()[0] != '!'); ++i) {
            if (i == 2) source.Forget(login);
            try {
                got.push_back(source.Password(login));
            } catch (const EPasswordError& e) {
                got.push_back(std::string("!") + e.what());
            }
        }
        EXPECT_EQ(got, c.got);
        EXPECT_EQ(asked, c.answers.size());
        EXPECT_EQ(fake.saved, c.after);
    }
    // A command wins over everything, and is run for every login.
    TPasswordSource source(std::make_unique<TFakeStore>());
    source.AskPassword = [](const std::string&, std::string&) -> bool { throw std::logic_error("asked"); };
    EXPECT_EQ(source.Password({"s", "me", "echo from-command", true}), "from-command");
}

}  // namespace
