#include "mail/mswriter.h"

#include <random>

#include "core/strutil.h"
#include "mail/base64.h"
#include "mail/filename.h"
#include "mail/mailstrings.h"
#include "mail/msstamp.h"
#include "mail/qpcode.h"
#include "mail/uucode.h"

namespace {

constexpr size_t kLongLine = 255;
constexpr size_t kFlushAt = 1 << 20;
constexpr size_t kLabelWidth = 10;

// Headers the writer makes itself; the message's own copies are dropped.
const char* const kOwnHeaders[] = {"From",         "To",           "CC",          "BCC",
                                   "Return-Receipt-To", "X-Priority", "Subject",  "Mime-Version",
                                   "Content-Type", "X-Encoding",   "Content-Transfer-Encoding", "Date",
                                   "Message-ID"};

// Splits every body item at its line breaks (CR LF, CR or LF).
std::vector<std::string> PhysicalLines(const std::vector<std::string>& body)
{
    std::vector<std::string> lines;
    for (const std::string& item : body) {
        size_t pos = 0;
        for (;;) {
            size_t end = item.find_first_of("\r\n", pos);
            if (end == std::string::npos) {
                lines.push_back(item.substr(pos));
                break;
            }
            lines.push_back(item.substr(pos, end - pos));
            pos = end + ((item[end] == '\r' && end + 1 < item.size() && item[end + 1] == '\n') ? 2 : 1);
        }
    }
    return lines;
}

// Text lines of an attachment sent without encoding.
std::vector<std::string> DataLines(const std::string& data)
{
    std::vector<std::string> lines = PhysicalLines({data});
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

std::string BareLowerName(const TmsAttItem& item) { return LowerCase(ExtractFileName(item.FileName())); }
bool IsAlt(const TmsAttItem& item) { return BareLowerName(item).starts_with("_alt."); }

// "text/html" or "text/rtf" when the attachment is the message's own html or
// rtf body, else "".
std::string SpecialBodyType(const TmsAttItem& item)
{
    std::string name = BareLowerName(item);
    if (name == "_htmbody.htm") return "text/html";
    if (name == "_rtfbody.rtf") return "text/rtf";
    return {};
}

uint8_t EffectiveEncoding(const TmsAttItem& item)
{
    uint8_t e = item.TransferEncoding();
    return e == te7Bit || e == teQuotedPrintable ? e : teBase64;
}

const char* EncodingName(uint8_t encoding)
{
    switch (encoding) {
    case te7Bit: return "7bit";
    case teQuotedPrintable: return "Quoted-Printable";
    default: return "Base64";
    }
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

} // namespace

std::string MakeBoundary()
{
    static thread_local std::mt19937 engine = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device()};
        return std::mt19937(seed);
    }();
    std::uniform_int_distribution<int> digit(0, 8);
    std::string boundary(8, '0');
    for (char& c : boundary) c = static_cast<char>('0' + digit(engine));
    return boundary;
}

std::string QuoteName(const std::string& name)
{
    if (name.find('"') != std::string::npos) return name;
    if (name.find_first_of(".,;:@<>()[]") == std::string::npos) return name;
    return Quoted(name);
}

TmsCustomEncoder::TmsCustomEncoder(TmsCustomMessage& message, std::ostream& out)
    : message_(message), out_(out), lines_(PhysicalLines(message.Body()))
{
    for (const std::string& line : lines_)
        if (line.size() > kLongLine) longLines_ = true;
}

void TmsCustomEncoder::PutLine(std::string_view line)
{
    if (!line.empty() && line[0] == '.') buf_ += '.';
    buf_.append(line);
    buf_ += "\r\n";
    if (buf_.size() >= kFlushAt) Flush();
}

void TmsCustomEncoder::PutText(std::string_view text)
{
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        end = end == std::string_view::npos ? text.size() : end + 1;
        if (text[pos] == '.') buf_ += '.';
        buf_.append(text.substr(pos, end - pos));
        pos = end;
        if (buf_.size() >= kFlushAt) Flush();
    }
}

void TmsCustomEncoder::Flush()
{
    out_.write(buf_.data(), static_cast<std::streamsize>(buf_.size()));
    buf_.clear();
    if (!out_) throw EInOutError("Cannot write the message");
}

void TmsCustomEncoder::Encode()
{
    if (out_.tellp() > 0) out_.seekp(0);
    WriteHeader();
    if (message_.Encoding() == meUU) {
        WriteUU();
    } else {
        std::string type = message_.ContentType();
        if (type == "multipart/mixed") WriteMultipart(false);
        else if (type == "multipart/alternative") WriteMultipart(true);
        else if (type == "text/plain" && message_.Attachments().Count() == 0) WritePlain();
        else WriteSinglePart();
    }
    Flush();
    out_.flush();
    if (!out_) throw EInOutError("Cannot write the message");
}

bool TmsCustomEncoder::BodyAsQuotedPrintable() const { return message_.CharSet() == csISO8859 || longLines_; }

void TmsCustomEncoder::WriteTextHeader(const std::string& type)
{
    bool iso = message_.CharSet() == csISO8859;
    PutLine("Content-Type: " + type + "; charset=" + Quoted(iso ? "iso-8859-1" : "us-ascii"));
    PutLine(BodyAsQuotedPrintable() ? "Content-Transfer-Encoding: quoted-printable"
                                    : "Content-Transfer-Encoding: 7bit");
}

void TmsCustomEncoder::WriteBodyText()
{
    if (!BodyAsQuotedPrintable()) {
        for (const std::string& line : lines_) PutLine(line);
        return;
    }
    std::string text;
    for (const std::string& line : lines_) text.append(line).append("\r\n");
    std::string encoded;
    QPEncode(text, encoded);
    PutText(encoded);
}

void TmsCustomEncoder::WritePlain()
{
    WriteTextHeader("text/plain");
    PutLine("");
    WriteBodyText();
}

void TmsCustomEncoder::WriteSinglePart()
{
    if (message_.Attachments().Count() == 0) {
        // A body under a type of its own, "text/html" say.
        WriteTextHeader(message_.ContentType());
        PutLine("");
        WriteBodyText();
        return;
    }
    const TmsAttItem& item = message_.Attachments().Items(0);
    std::string special = SpecialBodyType(item);
    std::string name = ExtractFileName(item.FileName());
    if (!special.empty()) PutLine("Content-Type: " + special);
    else PutLine("Content-Type: " + item.ContentType() + "; name=" + Quoted(name));
    PutLine(std::string("Content-Transfer-Encoding: ") + EncodingName(EffectiveEncoding(item)));
    if (special.empty()) PutLine("Content-Disposition: attachment; filename=" + Quoted(name));
    PutLine("");
    WriteAttachmentBody(item);
}

void TmsCustomEncoder::WriteAttachment(const TmsAttItem& item, bool named)
{
    std::string name = ExtractFileName(item.FileName());
    std::string type = "Content-Type: " + item.ContentType();
    if (named) type += "; name=" + Quoted(name);
    PutLine(type);
    PutLine(std::string("Content-Transfer-Encoding: ") + EncodingName(EffectiveEncoding(item)));
    if (named) PutLine("Content-Disposition: attachment; filename=" + Quoted(name));
    PutLine("");
    WriteAttachmentBody(item);
}

void TmsCustomEncoder::WriteAttachmentBody(const TmsAttItem& item)
{
    std::string encoded;
    switch (EffectiveEncoding(item)) {
    case teBase64:
        Base64EncodeLines(item.Data(), encoded);
        break;
    case teQuotedPrintable:
        QPEncode(item.Data(), encoded);
        break;
    default:
        for (const std::string& line : DataLines(item.Data())) PutLine(line);
        return;
    }
    PutText(encoded);
}

// Every part ends with an empty line; the line after it is the next boundary
// or the closing one. An "_alt." group at the start is a multipart of its own
// inside the message, closed when its last "_alt." attachment is written.
void TmsCustomEncoder::WriteMultipart(bool alternative)
{
    const TmsAttList& atts = message_.Attachments();
    std::string boundary = MakeBoundary();
    std::string outer;
    PutLine("Content-Type: " + message_.ContentType() + "; boundary=" + Quoted(boundary));
    PutLine("");
    PutLine(MailString(57106));
    PutLine("");
    PutLine("--" + boundary);
    bool inGroup = false;
    if (atts.Count() > 0 && IsAlt(atts.Items(0)) && !alternative) {
        outer = boundary;
        boundary = MakeBoundary();
        inGroup = true;
        PutLine("Content-Type:  multipart/alternative; boundary=" + Quoted(boundary));
        PutLine("Content-Transfer-Encoding: 7bit");
        PutLine("");
        PutLine("--" + boundary);
    }
    bool body = !lines_.empty();
    int parts = atts.Count() + (body ? 1 : 0);
    for (int part = 0; part < parts; ++part) {
        int index = body ? part - 1 : part;
        if (index < 0) {
            WriteTextHeader("text/plain");
            PutLine("");
            WriteBodyText();
        } else {
            const TmsAttItem& item = atts.Items(index);
            WriteAttachment(item, !alternative && !inGroup && SpecialBodyType(item).empty());
        }
        PutLine("");
        bool last = part + 1 == parts;
        if (inGroup && (last || !IsAlt(atts.Items(index + 1)))) {
            PutLine("--" + boundary + "--");
            boundary = outer;
            inGroup = false;
            PutLine("");
        }
        PutLine("--" + boundary + (last ? "--" : ""));
    }
}

void TmsCustomEncoder::WriteUU()
{
    PutLine("");
    for (const std::string& line : lines_) PutLine(line);
    const TmsAttList& atts = message_.Attachments();
    for (int i = 0; i < atts.Count(); ++i) {
        const TmsAttItem& item = atts.Items(i);
        PutLine("");
        PutLine("begin 600 " + ExtractFileName(item.FileName()));
        std::string encoded;
        UUEncodeLines(item.Data(), encoded);
        PutText(encoded);
        PutLine("`");
        PutLine("end");
    }
}

TmsMessageEncoder::TmsMessageEncoder(TmsMessage& message, std::ostream& out)
    : TmsCustomEncoder(message, out), mail_(message)
{
}

void TmsMessageEncoder::WriteHeader()
{
    const TmsMailAddress& sender = mail_.Sender();
    PutLine("From:     " + QuoteName(sender.Name()) + " <" + sender.Address() + ">");
    WriteAddresses("To", mail_.Recipients());
    WriteAddresses("CC", mail_.CC());
    PutLine("Date: " + MailDate(std::time(nullptr)));
    PutLine("Message-ID: " + NewMessageId(sender.Address()));
    if (mail_.ReturnReceipt()) PutLine("Return-Receipt-To: <" + sender.Address() + ">");
    if (mail_.Priority() == ptLow) PutLine("X-Priority: 5");
    if (mail_.Priority() == ptHigh) PutLine("X-Priority: 1");
    for (const char* name : kOwnHeaders) RemoveHeader(mail_.Headers(), name);
    for (const std::string& line : mail_.Headers()) PutLine(line);
    if (!mail_.Subject().empty()) PutLine("Subject:  " + mail_.Subject());
    if (mail_.Encoding() == meMIME) PutLine("Mime-Version: 1.0");
}

void TmsMessageEncoder::WriteAddresses(const std::string& label, const TmsAddressList& list)
{
    std::string line = label.ends_with(':') ? label : label + ":";
    if (line.size() < kLabelWidth) line.resize(kLabelWidth, ' ');
    for (int i = 0; i < list.Count(); ++i) {
        const TmsMailAddress& a = list.Items(i);
        if (i > 0) line = std::string(kLabelWidth, ' ');
        line += QuoteName(a.Name()) + " <" + a.Address() + (i + 1 == list.Count() ? ">" : ">,");
        PutLine(line);
    }
}
