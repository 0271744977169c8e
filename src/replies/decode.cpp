#include "replies/decode.h"

#include <climits>
#include <filesystem>

#include "core/deblog.h"
#include "core/fileutil.h"
#include "core/localroot.h"
#include "core/strutil.h"
#include "ui/desktop.h"

namespace {

// Mail programs here put LF (or CR CR LF) line ends on the clipboard; the
// wizard's markers are written with CR LF.
std::string WithCrLf(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            size_t j = i;
            while (j < text.size() && text[j] == '\r') ++j;
            if (j < text.size() && text[j] == '\n') {
                out += "\r\n";
                i = j;
                continue;
            }
        } else if (text[i] == '\n') {
            out += "\r\n";
            continue;
        }
        out += text[i];
    }
    return out;
}


std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

// Lines the cleaning pass keeps as UU data whatever follows them.
bool IsDataLine(const std::string& line)
{
    return (line.size() == 61 && line[0] == 'M') || line.starts_with("end") || line.starts_with("begin ") ||
           line == "`" || line == " ";
}

} // namespace

std::string DecoderScratchFile() { return LocalRoot() + "uudecoder.tmp"; }
std::string DownloadsFolder() { return LocalRoot() + "downloads"; }

TfrmDecode::TfrmDecode(TmsMessage& message) : TForm("frmDecode"), message_(message)
{
    SetCaption("Tolvar - UUDecoder");
    SetBounds({0, 0, kWidth, kHeight});
    SetHelpContext(kHelpContext);
    btnHelp.SetHelpContext(kHelpContext);
    btnCancel.SetCancel(true);
    btnNext.SetDefault(true);
    btnHelp.OnClick = [this] { btnHelpClick(); };
    btnNext.OnClick = [this] { btnNextClick(); };
    btnCancel.OnClick = [this] { btnCancelClick(); };
    PlaceFormOnScreen(*this, 0.5, 0.5);
    Desk().FormCreated(*this);
    FormCreate();
}

TfrmDecode::~TfrmDecode()
{
    if (HasDesktop()) Desk().FormDestroyed(*this);
}

void TfrmDecode::FormCreate()
{
    DeleteFile(DecoderScratchFile());
    ExpectedPart = 1;
    PartLines.clear();
    ShowExpectedPart();
}

void TfrmDecode::btnHelpClick() { Desk().ShowHelp(kHelpContext); }

void TfrmDecode::btnCancelClick() { Close(); }

std::string TfrmDecode::GetHeaderValue(const std::string& name, const std::string& text)
{
    std::string full = "\r\n" + text;
    size_t at = LowerCase(full).find(LowerCase("\r\n" + name));
    if (at == std::string::npos) return {};
    std::string value = full.substr(at + 2 + name.size(), 1024);
    return value.substr(0, value.find("\r\n"));
}

int TfrmDecode::NumberBetween(const std::string& text, const std::string& opening, const std::string& closing)
{
    size_t open = text.find(opening);
    if (open == std::string::npos) return 0;
    size_t from = open + opening.size();
    size_t close = text.find(closing, from);
    if (close == std::string::npos) return 0;
    long long n = StrToIntDef(Trim(text.substr(from, close - from)), 0);
    return n > INT_MAX || n < INT_MIN ? 0 : static_cast<int>(n);
}

int TfrmDecode::CheckPartNumber(const std::string& subject)
{
    int n = 0;
    // The last form found wins: [n of m] over (part n of m) over (n/m).
    for (auto [open, close] : {std::pair{"(", "/"}, std::pair{"(part ", " of "}, std::pair{"[", " of "}}) {
        int found = NumberBetween(subject, open, close);
        if (found > 0) n = found;
    }
    if (n == 0 || n == ExpectedPart) return mrOk;
    return MessageDlg("Expecting part " + std::to_string(ExpectedPart) + " but found:\r\n\n" + subject +
                          "\r\n\nThis is probably incorrect",
                      TMsgDlgType::mtWarning, mbRetry | mbIgnore | mbHelp, 9005);
}

void TfrmDecode::ShowExpectedPart()
{
    lblPart.SetCaption("Part " + std::to_string(ExpectedPart));
    Desk().EmptyClipboard();
    // Let the clipboard change notice pass before the user copies again.
    Desk().ProcessMessages();
}

void TfrmDecode::btnNextClick()
{
    const std::string clip = WithCrLf(Desk().ClipboardText());
    if (CheckPartNumber(GetHeaderValue("Subject: ", clip)) == mrRetry) return;
    try {
        if (ExpectedPart == 1)
            TakeFirstPart(clip);
        else
            TakeLaterPart(clip);
    } catch (...) {
        // The joined parts are gone with the failure; asking for the next
        // part of a join that no longer exists would only mislead.
        PartLines.clear();
        ExpectedPart = 1;
        DeleteFile(DecoderScratchFile());
        ShowExpectedPart();
        throw;
    }
    DeleteFile(DecoderScratchFile());
    ShowExpectedPart();
}

void TfrmDecode::TakeFirstPart(const std::string& clip)
{
    const std::string lower = LowerCase(clip);
    size_t begin = ("\n" + lower).find("\nbegin ");
    bool complete = lower.find("`\r\nend") != std::string::npos || lower.find(" \r\nend") != std::string::npos;
    if (begin == std::string::npos) {
        MessageDlg("Bad first part", TMsgDlgType::mtError, mbCancel, 0);
        return;
    }
    // Some servers send a four-digit mode, which would shift the file name
    // out of the place the decoder reads it from.
    std::string text = clip.substr(begin);
    for (std::string fixed; (fixed = ReplaceAll(text, "begin 0600 ", "begin 600 ")) != text;) text = fixed;
    PartLines = SplitCrLf(Trim(text) + "\r\n");
    if (complete) {
        WriteAndDecode();
        Close();
        return;
    }
    ExpectedPart = 2;
}

void TfrmDecode::TakeLaterPart(const std::string& clip)
{
    PartLines = SplitCrLf(JoinLines(PartLines) + Trim(clip) + "\r\n");
    if (clip.find("\r\n`\r\nend") == std::string::npos && clip.find("\r\n \r\nend") == std::string::npos) {
        ++ExpectedPart;
        return;
    }
    lblPart.SetCaption("Joining and cleaning up parts");
    CleanPartLines();
    WriteAndDecode();
    Close();
}

void TfrmDecode::CleanPartLines()
{
    // From the end, so that the line after each one is already cleaned; the
    // begin line at the top is never looked at.
    for (size_t i = PartLines.size(); i-- > 1;) {
        const std::string& line = PartLines[i];
        bool beforeTerminator = i + 1 < PartLines.size() && (PartLines[i + 1] == "`" || PartLines[i + 1] == " ");
        if (IsDataLine(line) || beforeTerminator) continue;
        LogDebug("NU:" + line);
        PartLines.erase(PartLines.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void TfrmDecode::WriteAndDecode()
{
    PartLines.insert(PartLines.begin(), "");
    PartLines.insert(PartLines.begin(), "PseudoHeader: x");
    WriteFileString(DecoderScratchFile(), JoinLines(PartLines));
    DecodeScratchFile();
}

void TfrmDecode::DecodeScratchFile()
{
    lblPart.SetCaption("Processing File");
    // The message is the main window's, which also sends requests: nothing
    // decoded may stay in it, whatever happens here.
    try {
        message_.Clear();
        message_.LoadFromFile(DecoderScratchFile());
        DeleteFile(DecoderScratchFile());
        PartLines.clear();
        const int count = message_.Attachments().Count();
        if (count == 0) MessageDlg("Error decoding attachment", TMsgDlgType::mtError, mbOK, 0);
        if (count > 0) std::filesystem::create_directories(DownloadsFolder());
        for (int i = 0; i < count; ++i) {
            message_.SaveAttachment(i, DownloadsFolder());
            MessageDlg("Decoded\r\n\n" + DownloadsFolder() + "/" + message_.Attachments().Items(i).FileName(),
                       TMsgDlgType::mtInformation, mbOK, 0);
        }
    } catch (...) {
        message_.Clear();
        throw;
    }
    message_.Clear();
}
