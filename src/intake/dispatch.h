#pragma once
#include <functional>
#include <memory>
#include <string>

class TmsMessage;
class TmsSMTP;
class TagSocket;
class THistoryQueue;
class TfrmProgress;

// Sends one request: composition fills the message, the progress window
// follows the SMTP client's events, the history records what went out and a
// failure is reported once, naming the last operation that succeeded.
//
// Sends let other events run while they wait. A request that arrives while
// another send (or the test message) is under way is refused: SendRequest
// returns false at once, so the caller keeps or queues it by its own rule,
// and the running SMTP dialogue is never interleaved or nested.
class TDispatcher {
public:
    TDispatcher(TmsMessage& message, TmsSMTP& smtp, THistoryQueue& lists);
    ~TDispatcher();

    // Composition: true when the message holds a request to send.
    std::function<bool(const std::string& url)> PrepareRequest;
    // The user's own address (the " My Details " page).
    std::function<std::string()> UserAddress;
    // Replaces the 0xFE bytes of "Test Message.Txt".
    std::function<std::string()> DistributionTag;
    // Whether a failed request ends up in the queue (the caller's rule), for
    // the failure report.
    std::function<bool(const std::string& url)> WillBeQueued;

    // True when the request went out (or was shown in don't-send mode).
    // False when it failed and was reported, when another send is running,
    // or when composition made no request of it (Refused() then tells so;
    // nothing was sent, shown or entered in the history).
    bool SendRequest(const std::string& url);
    bool Refused() const { return refused_; }
    void SendTestMessageOnce();
    bool SendTestMessage(const std::string& address, const std::string& subject, const std::string& body);

    bool SendInProgress() const { return sendInProgress_; }
    bool TestMessageInProgress() const { return testMessageInProgress_; }
    bool Busy() const { return sendInProgress_ || testMessageInProgress_; }
    // Diagnostic: requests are shown instead of sent.
    bool dontSendMode = false;
    // The progress window while a request is being sent (for tests).
    TfrmProgress* Progress() const { return progress_.get(); }

private:
    void WireEvents();
    void SetProgress(int position);
    void CloseProgress();
    void ShowInsteadOfSending();
    void msSMTP1Open();
    void msSMTP1Prepare();
    void msSMTP1Sending();
    void msSMTP1Progress();
    void msSMTP1MailSent();
    void msSMTP1Closing();
    void msSMTP1Closed();

    TmsMessage& message_;
    TmsSMTP& smtp_;
    THistoryQueue& lists_;
    std::unique_ptr<TfrmProgress> progress_;
    std::string currentUrl_;
    bool sendInProgress_ = false;
    bool testMessageInProgress_ = false;
    bool refused_ = false;
};
