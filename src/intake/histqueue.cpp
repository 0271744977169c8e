#include "intake/histqueue.h"

#include <algorithm>

#include "core/fileutil.h"
#include "core/flagguard.h"
#include "core/localroot.h"
#include "core/strutil.h"
#include "intake/capture.h"
#include "intake/prgress.h"
#include "requests/prefs.h"
#include "ui/desktop.h"

namespace {
std::string HistoryPath() { return LocalRoot() + "History.Dat"; }
std::string QueuePath() { return LocalRoot() + "Queue.Dat"; }


std::string After(const std::string& line, const std::string& marker)
{
    auto p = line.find(marker);
    return p == std::string::npos ? std::string() : line.substr(p + marker.size());
}
} // namespace

THistoryQueue::THistoryQueue(TListBox& history, TListBox& queue, TCheckBox& never)
    : history_(history), queue_(queue), never_(never)
{
}

std::string THistoryQueue::UrlPart(const std::string& line)
{
    auto blank = line.find(' ');
    return blank == std::string::npos ? std::string() : line.substr(0, blank);
}

std::string THistoryQueue::HistoryLine(const std::string& server, const std::string& url, TDateTime when)
{
    return Trim(url) + " via " + server + " on " + DateTimeToStr(when);
}

std::string THistoryQueue::NewestHistoryLine() const
{
    return history_.Items().Count() > 0 ? history_.Items()[0] : std::string();
}

bool THistoryQueue::IsInList(const std::string& url, const TListBox& list)
{
    bool isHistory = &list == &history_;
    for (const auto& line : list.Items().Lines()) {
        std::string candidate = line;
        if (isHistory && line.find(' ') != std::string::npos) candidate = UrlPart(line);
        if (SameText(candidate, url)) {
            Desk().Beep();
            ShowTransientMessage("Duplicate Request");
            return true;
        }
    }
    return false;
}

bool THistoryQueue::QueueRequest(const std::string& url)
{
    if (never_.Checked()) return false;
    std::string clean = NormaliseUrl(url);
    if (IsInList(clean, queue_)) return true;
    queue_.Items().Add(clean);
    SaveQueue();
    ShowTransientMessage("Request Queued");
    if (ApplyPreferences) ApplyPreferences();
    return true;
}

bool THistoryQueue::WillBeQueued(const std::string& url) const
{
    if (!never_.Checked()) return true;
    // Not IsInList: that one tells the user of a duplicate.
    std::string clean = NormaliseUrl(url);
    for (const auto& line : queue_.Items().Lines())
        if (SameText(line, url) || SameText(line, clean)) return true;
    return false;
}

void THistoryQueue::RemoveFromQueue(const std::string& url)
{
    int i = queue_.Items().IndexOf(url);
    if (i < 0) return;
    queue_.Items().Delete(i);
    SaveQueue();
}

void THistoryQueue::AddToHistory(const std::string& server, const std::string& url)
{
    TDateTime now = Now();
    history_.Items().Insert(0, HistoryLine(server, url, now));
    // The fast-duplicate test of composition reads it.
    Prefs().lastHistoryTime = now;
    history_.SetTopIndex(0);
    while (history_.Items().Count() > kHistoryLimit) history_.Items().Delete(kHistoryLimit);
    SaveHistory();
}

void THistoryQueue::DeleteQueueLine(const std::string& line)
{
    // The send let other events run, which may have changed the queue: take
    // out the line that was sent, wherever it now stands.
    const auto& lines = queue_.Items().Lines();
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        if (lines[static_cast<size_t>(i)] == line) {
            queue_.Items().Delete(i);
            SaveQueue();
            return;
        }
    }
}

void THistoryQueue::SendQueue()
{
    TFlagGuard sending(queueSending_);
    std::vector<std::string> passedOver;
    auto next = [&](std::string& line) {
        for (const auto& l : queue_.Items().Lines()) {
            if (std::find(passedOver.begin(), passedOver.end(), l) != passedOver.end()) continue;
            line = l;
            return true;
        }
        return false;
    };
    std::string line;
    while (next(line)) {
        if (SendRequest(line)) {
            DeleteQueueLine(line);
            Desk().ProcessMessages();
        } else if (Refused()) {
            passedOver.push_back(line);
        } else {
            break;
        }
    }
}

bool THistoryQueue::lstHistoryMouseDown(int itemUnderPointer)
{
    history_.SetItemIndex(itemUnderPointer);
    return history_.ItemIndex() >= 0;
}

bool THistoryQueue::lstQueueMouseDown(int itemUnderPointer)
{
    queue_.SetItemIndex(itemUnderPointer);
    return queue_.ItemIndex() >= 0;
}

void THistoryQueue::mnuShowDetailClick()
{
    int i = history_.ItemIndex();
    if (i < 0) return;
    const std::string& line = history_.Items()[i];
    std::string text = UrlPart(line) + "\r\n\nVia: " + UrlPart(After(line, " via ")) + "\r\n\nDate/Time: " + After(line, " on ");
    MessageDlg(text, TMsgDlgType::mtCustom, mbOK, 0);
}

void THistoryQueue::mnuDeletefromHistoryClick()
{
    int i = history_.ItemIndex();
    if (i < 0) return;
    history_.Items().Delete(i);
    SaveHistory();
}

void THistoryQueue::mnuRequestAgainClick()
{
    int i = history_.ItemIndex();
    if (i < 0) return;
    std::string url = UrlPart(history_.Items()[i]);
    if (!SendRequest(url) && !Refused()) QueueRequest(url);
}

void THistoryQueue::mnuHelpClick() { Desk().ShowHelp(10); }

void THistoryQueue::Delete1Click()
{
    int i = queue_.ItemIndex();
    if (i < 0) return;
    queue_.Items().Delete(i);
    SaveQueue();
    if (ApplyPreferences) ApplyPreferences();
}

void THistoryQueue::RequestNow1Click()
{
    int i = queue_.ItemIndex();
    if (i < 0) return;
    std::string line = queue_.Items()[i];
    bool sent;
    {
        TFlagGuard sending(queueSending_);
        sent = SendRequest(line);
    }
    if (sent) {
        DeleteQueueLine(line);
        if (ApplyPreferences) ApplyPreferences();
    }
}

void THistoryQueue::DeleteAll1Click()
{
    queue_.Items().Clear();
    SaveQueue();
    if (ApplyPreferences) ApplyPreferences();
}

void THistoryQueue::btnSendClick()
{
    SendQueue();
    if (ApplyPreferences) ApplyPreferences();
}

void THistoryQueue::LoadFiles()
{
    if (FileExists(HistoryPath())) {
        history_.Items().LoadFromFile(HistoryPath());
        history_.SetTopIndex(0);
    }
    if (FileExists(QueuePath())) {
        queue_.Items().LoadFromFile(QueuePath());
        queue_.SetTopIndex(0);
    }
}

void THistoryQueue::TrimHistory()
{
    while (history_.Items().Count() > kHistoryLimit) history_.Items().Delete(kHistoryLimit);
}

void THistoryQueue::SaveHistory() { WriteFileAtomic(HistoryPath(), history_.Items().Text()); }

void THistoryQueue::SaveQueue() { WriteFileAtomic(QueuePath(), queue_.Items().Text()); }
