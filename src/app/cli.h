#pragma once
#include <optional>
#include <ostream>
#include <string>
#include <vector>

class TfrmProps;

// Command-line verbs, handled before any window exists:
//   tolvar request URL...   each URL as if it had been copied
//   tolvar --help | --version

// The single-instance lock and channel, as the command line needs them.
class TInstanceChannel {
public:
    virtual ~TInstanceChannel() = default;
    // True when no copy runs: this process holds the claim until it ends,
    // so a copy started meanwhile cannot write Queue.Dat behind its back.
    virtual bool Claim() = 0;
    // Connects to the running copy; false when none answers.
    virtual bool Connect() = 0;
    // Hands one URL to the running copy: its answer line, or nothing when
    // it went away.
    virtual std::optional<std::string> Request(const std::string& url) = 0;
};

// True when the parameters start with a verb of this module; the window
// and the /s /p /i switches are for every other start.
bool IsCommandLineVerb(const std::vector<std::string>& args);
// Runs the verb; the exit code. "request": 0 when every URL was sent or
// queued, 1 otherwise, 2 for a usage error.
int RunCommandLine(const std::vector<std::string>& args, TInstanceChannel& channel, std::ostream& out,
                   std::ostream& err);

// The running copy's side: one URL handed over, taken the command line's
// road through capture, answered as one line (result word, blank, reason).
std::string AnswerRequest(TfrmProps& props, const std::string& url);
