#include "replies/decode.h"

#include <climits>

#include "core/fileutil.h"
#include "core/localroot.h"
#include "core/strutil.h"
#include "mail/codecerror.h"
#include "mail/filename.h"
#include "mail/msdecoder.h"
#include "replies/savedmail.h"
#include "ui/desktop.h"

namespace {

// Only the text before the data can hold the mail's headers: the search
// stops at the first begin line or full data line.
bool IsDataStart(std::string_view line)
{
    return (line.size() >= 61 && line[0] == 'M') || StartsWithNoCase(line, "begin ");
}

std::string DecodedBoxText(const std::string& path) { return "Decoded\r\n\n" + path; }

std::string NotDecodedBoxText(const std::string& name, const std::string& why)
{
    return "Not decoded: " + name + "\r\n\n" + why;
}

} // namespace

std::string DecoderScratchFile() { return LocalRoot() + "uudecoder.tmp"; }
std::string DownloadsFolder() { return LocalRoot() + "downloads"; }

TfrmDecode::TfrmDecode() : TForm("frmDecode")
{
    SetCaption("Tolvar - UUDecoder");
    SetBounds({0, 0, kWidth, kHeight});
    SetHelpContext(kHelpContext);
    btnHelp.SetHelpContext(kHelpContext);
    btnCancel.SetCancel(true);
    btnNext.SetDefault(true);
    btnHelp.OnClick = [this] { btnHelpClick(); };
    btnOpen.OnClick = [this] { btnOpenClick(); };
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
    // Older versions decoded through a scratch file; none may linger.
    DeleteFile(DecoderScratchFile());
    ExpectedPart = 1;
    Parts.clear();
    total_ = 0;
    ShowExpectedPart();
}

void TfrmDecode::btnHelpClick() { Desk().ShowHelp(kHelpContext); }

void TfrmDecode::btnCancelClick() { Close(); }

std::string TfrmDecode::GetHeaderValue(const std::string& name, const std::string& text)
{
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (IsDataStart(line)) break;
        if (StartsWithNoCase(line, name)) return std::string(line.substr(name.size(), 1024));
        pos = end + 1;
    }
    return {};
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

int TfrmDecode::PartNumberOf(const std::string& subject)
{
    int n = 0;
    // The last form found wins: [n of m] over (part n of m) over (n/m).
    for (auto [open, close] : {std::pair{"(", "/"}, std::pair{"(part ", " of "}, std::pair{"[", " of "}}) {
        int found = NumberBetween(subject, open, close);
        if (found > 0) n = found;
    }
    return n > 0 ? n : ParsePartNumber(subject).number;
}

int TfrmDecode::CheckPartNumber(const std::string& subject)
{
    int n = PartNumberOf(subject);
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

void TfrmDecode::btnOpenClick() { FormDropFiles(Desk().OpenFileNames("Open saved mails")); }

void TfrmDecode::FormDropFiles(const std::vector<std::string>& paths)
{
    if (paths.empty()) return;
    lblPart.SetCaption("Processing File");
    TSavedMailDecoder decoder(DownloadsFolder());
    for (const std::string& path : paths) decoder.AddPath(path);
    std::vector<TDecodedFile> results = decoder.Finish();
    if (results.empty()) MessageDlg("Error decoding attachment", TMsgDlgType::mtError, mbOK, 0);
    for (const TDecodedFile& r : results) {
        if (r.status == TUUStatus::Complete)
            MessageDlg(DecodedBoxText(r.path), TMsgDlgType::mtInformation, mbOK, 0);
        else
            MessageDlg(NotDecodedBoxText(r.name, r.detail), TMsgDlgType::mtError, mbOK, 0);
    }
    lblPart.SetCaption("Part " + std::to_string(ExpectedPart));
}

void TfrmDecode::btnNextClick()
{
    const std::string clip = Desk().ClipboardText();
    const std::string subject = GetHeaderValue("Subject: ", clip);
    const int answer = CheckPartNumber(subject);
    if (answer == mrRetry) return;
    try {
        TakeClipboard(clip, subject, answer);
    } catch (...) {
        // The parts are gone with the failure; asking for the next part of a
        // join that no longer exists would only mislead.
        StartOver();
        ShowExpectedPart();
        throw;
    }
    ShowExpectedPart();
}

void TfrmDecode::TakeClipboard(const std::string& clip, const std::string& subject, int answer)
{
    // Ignored, a part named otherwise keeps its own number, so the one the
    // wizard asked for can still be added after it.
    const int named = PartNumberOf(subject);
    const int number = answer == mrIgnore && named > 0 ? named : ExpectedPart;
    std::vector<TUUPiece> pieces;
    try {
        pieces = ScanUUPieces(clip, subject);
    } catch (const ECodecError& e) {
        MessageDlg("Part " + std::to_string(number) + " could not be read\r\n\n" + e.what(), TMsgDlgType::mtError,
                   mbOK, 0);
        return;
    }
    if (pieces.empty() || (number == 1 && pieces.front().beginLine.empty())) {
        if (number == 1)
            MessageDlg("Bad first part", TMsgDlgType::mtError, mbCancel, 0);
        else
            MessageDlg("Part " + std::to_string(number) + " holds no UUencoded data", TMsgDlgType::mtError, mbOK, 0);
        return;
    }
    if (Parts.empty() && number == 1 && pieces.back().hasEnd) return DecodeWholeFiles(pieces);
    if (TakePart(number, std::move(pieces), ParsePartNumber(subject).total)) JoinWhenComplete();
}

void TfrmDecode::DecodeWholeFiles(const std::vector<TUUPiece>& pieces)
{
    lblPart.SetCaption("Processing File");
    for (TUUFile& file : JoinPieces(pieces)) {
        if (file.status == TUUStatus::Complete)
            SaveFile(file);
        else
            MessageDlg(NotDecodedBoxText(file.name, file.reason), TMsgDlgType::mtError, mbOK, 0);
    }
    StartOver();
    Close();
}

bool TfrmDecode::TakePart(int number, std::vector<TUUPiece> pieces, int total)
{
    size_t size = 0;
    for (const auto& [n, list] : Parts)
        if (n != number)
            for (const TUUPiece& p : list) size += p.data.size();
    for (const TUUPiece& p : pieces) size += p.data.size();
    // Refused as the parts come, not after the user copied all of them.
    if (size > kMaxMessageSize) {
        MessageDlg(NotDecodedBoxText("the file", TooLargeOutputMessage()), TMsgDlgType::mtError, mbOK, 0);
        StartOver();
        return false;
    }
    const bool ends = pieces.back().hasEnd;
    Parts[number] = std::move(pieces);
    if (total > 0) {
        total_ = total;
        totalFromSubject_ = true;
    } else if (ends && !totalFromSubject_) {
        total_ = number;
    }
    ExpectedPart = 1;
    while (Parts.count(ExpectedPart)) ++ExpectedPart;
    return total_ > 0 && ExpectedPart > total_;
}

void TfrmDecode::JoinWhenComplete()
{
    lblPart.SetCaption("Joining and cleaning up parts");
    TUUFile file;
    file.numbered = totalFromSubject_;
    for (int n = 1; n <= total_; ++n)
        for (const TUUPiece& p : Parts[n]) file.parts.push_back(&p);
    for (const TUUPiece* p : file.parts)
        if (!p->beginLine.empty()) file.name = SafeFileName(UUBeginName(p->beginLine));
    if (file.name.empty()) file.name = "att.0";
    CheckParts(file);
    if (file.status == TUUStatus::Complete) {
        lblPart.SetCaption("Processing File");
        if (SaveFile(file)) Close();
        StartOver();
        return;
    }
    if (file.status == TUUStatus::Incomplete && file.unplaced > 0 && !file.numbered) {
        // The size line says parts are lacking: the last part moves up and
        // the wizard asks for the ones before it.
        auto last = Parts.extract(total_);
        total_ += file.unplaced;
        last.key() = total_;
        Parts.insert(std::move(last));
        ExpectedPart = 1;
        while (Parts.count(ExpectedPart)) ++ExpectedPart;
        MessageDlg("Part " + std::to_string(ExpectedPart) + " is missing\r\n\n" + file.reason +
                       ".\r\n\nPlease copy part " + std::to_string(ExpectedPart) + " and press Next.",
                   TMsgDlgType::mtWarning, mbOK, 0);
        return;
    }
    MessageDlg(NotDecodedBoxText(file.name, file.reason), TMsgDlgType::mtError, mbOK, 0);
    StartOver();
}

bool TfrmDecode::SaveFile(const TUUFile& file)
{
    std::vector<std::string_view> chunks;
    for (const TUUPiece* p : file.parts) chunks.push_back(p->data);
    try {
        std::string path = SaveNewFile(DownloadsFolder(), file.name, chunks);
        MessageDlg(DecodedBoxText(path), TMsgDlgType::mtInformation, mbOK, 0);
        return true;
    } catch (...) {
        // Nothing of a failed join stays behind to be mistaken for the next.
        StartOver();
        throw;
    }
}

void TfrmDecode::StartOver()
{
    Parts.clear();
    total_ = 0;
    totalFromSubject_ = false;
    ExpectedPart = 1;
}
