#pragma once
#include <functional>
#include <string>

#include "core/clock.h"
#include "ui/controls.h"

// The history of sent requests (newest first, at most 250 lines) and the
// queue of requests waiting to be sent (oldest first), kept in the main
// window's two list boxes and in History.Dat and Queue.Dat.
//
// Both files are saved whenever their list changes, each through a
// temporary file renamed over the old one, so neither a crash nor a power
// cut loses a queued request or leaves a half-written file.
class THistoryQueue {
public:
    static constexpr int kHistoryLimit = 250;

    THistoryQueue(TListBox& history, TListBox& queue, TCheckBox& never);

    // Supplied by the window: send one request (true when dealt with), and
    // re-apply the preferences page (it enables "&Send Queue").
    std::function<bool(const std::string& url)> SendRequest;
    std::function<void()> ApplyPreferences;
    // After SendRequest said false: true when no request could be made of
    // the URL at all (retrying it cannot help), false when the send failed.
    std::function<bool()> RequestRefused;

    // Beeps and shows "Duplicate Request" when found. The queue is compared
    // line by line, the history by the URL part of each line; case is ignored.
    bool IsInList(const std::string& url, const TListBox& list);
    // True when the URL waits in the queue afterwards (added now or before).
    bool QueueRequest(const std::string& url);
    void RemoveFromQueue(const std::string& url);
    // After a failed send the URL is in the queue: queued by the caller, or
    // there already (a queue pass), unless "Never" keeps it out.
    bool WillBeQueued(const std::string& url) const;
    void AddToHistory(const std::string& server, const std::string& url);
    // Sends the queue oldest first; the first failure ends the pass, leaving
    // the failed item and those after it queued. An item no request can be
    // made of stays where it is and the pass goes on past it.
    void SendQueue();

    // The text before the first blank of a history line.
    static std::string UrlPart(const std::string& line);
    static std::string HistoryLine(const std::string& server, const std::string& url, TDateTime when);

    bool QueueSending() const { return queueSending_; }
    const TListBox& History() const { return history_; }
    const TListBox& Queue() const { return queue_; }
    // The newest history line, "" when there is none.
    std::string NewestHistoryLine() const;

    // Pop-up menus open only over an item; a press selects the item under
    // the pointer (or clears the selection) and says whether to open it.
    bool lstHistoryMouseDown(int itemUnderPointer);
    bool lstQueueMouseDown(int itemUnderPointer);
    void mnuShowDetailClick();
    void mnuDeletefromHistoryClick();
    void mnuRequestAgainClick();
    void mnuHelpClick();
    void Delete1Click();
    void RequestNow1Click();
    void DeleteAll1Click();
    void btnSendClick();

    // Start-up: fills each list from its file when it exists.
    void LoadFiles();
    // Shutdown: cut the history to 250 lines, then save both.
    void TrimHistory();
    void SaveHistory();
    void SaveQueue();

private:
    void DeleteQueueLine(const std::string& line);
    bool Refused() const { return RequestRefused && RequestRefused(); }
    TListBox& history_;
    TListBox& queue_;
    TCheckBox& never_;
    bool queueSending_ = false;
};
