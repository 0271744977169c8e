#include "replies/update.h"

#include "core/error.h"
#include "core/fileutil.h"
#include "core/localroot.h"
#include "mail/filename.h"
#include "mail/msmsg.h"
#include "replies/decode.h"
#include "ui/desktop.h"

namespace {
const std::string kBegin = "---Begin Tolvar Update File---";
const std::string kEnd = "---End Tolvar Update File---";

// Mail programs that double the carriage return leave CR CR LF.
std::string CollapseDoubledCRs(std::string text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (!(c == '\r' && !out.empty() && out.back() == '\r')) out += c;
    return out;
}

bool IsProgramFile(const std::string& name)
{
    return name == "tolvar" || name == ExtractFileName(ExecutablePath());
}

int DecodeIntoProgramFolder(const std::string& text, TmsMessage& message)
{
    std::string body = CollapseDoubledCRs(text);
    auto begin = body.find("begin ");
    if (begin != std::string::npos) body = body.substr(begin);
    WriteFileString(DecoderScratchFile(), "PseudoHeader: x\r\n\r\n" + body);
    message.Clear();
    message.LoadFromFile(DecoderScratchFile());
    int count = message.Attachments().Count();
    for (int i = 0; i < count; ++i) {
        std::string name = ExtractFileName(message.Attachments().Items(i).FileName());
        try {
            if (IsProgramFile(name)) throw EInOutError("an update may not replace the program itself");
            message.SaveAttachment(i, LocalRoot());
        } catch (const std::exception& e) {
            ReportError("ProcessUpdateFile: " + name, e.what());
        }
    }
    message.Clear();
    return count;
}
} // namespace

void ProcessUpdateFile(const std::string& text, TmsMessage& message, const std::function<void()>& restart)
{
    auto b = text.find(kBegin);
    auto e = text.find(kEnd);
    int count = 0;
    try {
        if (b != std::string::npos && e != std::string::npos && b < e) count = DecodeIntoProgramFolder(text, message);
    } catch (...) {
        message.Clear();
        DeleteFile(DecoderScratchFile());
        throw;
    }
    DeleteFile(DecoderScratchFile());
    if (count == 0) return;
    // No window of its own: kept on top so it is seen over whatever the user copied from.
    Desk().MessageDlg({"Tolvar will restart with fresh data", TMsgDlgType::mtInformation, mbOK, 0, true});
    if (restart) restart();
}
