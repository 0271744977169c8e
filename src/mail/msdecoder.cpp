#include "mail/msdecoder.h"

#include <cerrno>
#include <fstream>
#include <istream>

#include "core/strutil.h"
#include "mail/base64.h"
#include "mail/codecerror.h"
#include "mail/filename.h"
#include "mail/mailstrings.h"
#include "mail/qpcode.h"
#include "mail/uucode.h"

namespace {

using TLines = std::vector<std::string>;

constexpr int kMaxNesting = 16;

[[noreturn]] void Fail(int id) { throw EMessageParserError(MailString(id)); }

bool Contains(const std::string& text, const std::string& part) { return LowerCase(text).find(part) != std::string::npos; }

std::string TrimRight(std::string s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

// The type without its parameters.
std::string FirstWord(const std::string& contentType) { return Trim(contentType.substr(0, contentType.find(';'))); }

std::string JoinCrLf(const TLines& lines)
{
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}


// Is line the delimiter of boundary ("--b") or its close ("--b--")? Blanks a
// transport added at the end do not count.
bool IsDelimiter(const std::string& line, const std::string& boundary, bool& closing)
{
    std::string t = TrimRight(line);
    if (t.size() < boundary.size() + 2 || t.compare(0, 2, "--") != 0 || t.compare(2, boundary.size(), boundary) != 0)
        return false;
    std::string rest = t.substr(boundary.size() + 2);
    closing = rest == "--";
    return rest.empty() || closing;
}

// A part's header lines (up to its first empty line) and its body.
void SplitPart(TLines lines, TmsHeaders& headers, TLines& body)
{
    size_t i = 0;
    while (i < lines.size() && !lines[i].empty()) ++i;
    headers.assign(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(i));
    body.assign(lines.begin() + static_cast<std::ptrdiff_t>(i < lines.size() ? i + 1 : i), lines.end());
}

bool IsUUEncoding(const std::string& encoding)
{
    return encoding == "x-uue" || encoding == "x-uuencode" || encoding == "uuencode" || encoding == "uue";
}

bool IsUUType(const std::string& type)
{
    std::string t = LowerCase(FirstWord(type));
    return t == "application/x-uuencode" || t == "application/x-uue" || t == "x-uuencode";
}

} // namespace

bool TLineStream::ReadLine(std::string& line)
{
    if (Eof()) return false;
    size_t end = text_.find('\n', pos_);
    size_t next = end == std::string::npos ? text_.size() : end + 1;
    if (end == std::string::npos) end = text_.size();
    size_t stop = end;
    while (stop > pos_ && text_[stop - 1] == '\r') --stop;
    line.assign(text_, pos_, stop - pos_);
    pos_ = next;
    return true;
}

bool IsBeginLine(const std::string& line)
{
    if (line.size() <= 8 || !StartsWithNoCase(line, "BEGIN")) return false;
    std::string mode = Trim(line.substr(5)).substr(0, 3);
    if (mode.size() < 3) return false;
    size_t first = (mode[0] == '+' || mode[0] == '-') ? 1 : 0;
    for (size_t i = first; i < mode.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(mode[i]))) return false;
    return first < mode.size();
}

std::string BeginLineFileName(const std::string& line)
{
    if (line.size() <= 10) return {};
    std::string rest = line.substr(10);
    if (rest[0] == '"') {
        size_t close = rest.find('"', 1);
        return close == std::string::npos ? std::string() : rest.substr(1, close - 1);
    }
    return rest.substr(0, rest.find(' '));
}

TmsCustomDecoder::TmsCustomDecoder(TmsCustomMessage& message, std::string text)
    : message_(message), input_(std::move(text))
{
}

std::string TooLargeOutputMessage()
{
    return "The decoded data would be larger than " + std::to_string(kMaxMessageSize >> 20) + " MB";
}

void TmsCustomDecoder::Decode()
{
    ReadHeaderBlock(headers_);
    ApplyHeaders(headers_);
    try {
        if (WithoutComments(HeaderValue(headers_, "MIME-VERSION")) == "1.0")
            DecodeMime();
        else
            DecodeNonMime();
    } catch (const EMessageTooLarge&) {
        throw;
    } catch (const EMessageParserError& e) {
        Recover(e);
    }
}

void TmsCustomDecoder::Spend(size_t bytes)
{
    decoded_ += bytes;
    if (decoded_ > kMaxMessageSize) throw EMessageTooLarge(TooLargeOutputMessage());
}

void TmsCustomDecoder::ReadHeaderBlock(TmsHeaders& headers)
{
    std::string line;
    while (input_.ReadLine(line) && !line.empty()) headers.push_back(line);
}

void TmsCustomDecoder::DecodeNonMime()
{
    std::string line;
    while (input_.ReadLine(line)) {
        if (IsBeginLine(line)) {
            message_.SetEncoding(meUU);
            DecodeUUBlocks(line);
            return;
        }
        message_.Body().push_back(line);
    }
}

void TmsCustomDecoder::DecodeUUBlocks(std::string line)
{
    for (;;) {
        std::string name = SafeFileName(BeginLineFileName(line));
        if (name.empty()) name = "att." + std::to_string(message_.Attachments().Count());
        std::string data;
        try {
            while (input_.ReadLine(line)) {
                if (line == "`" || SameText(TrimRight(line), "END")) break;
                if (line.empty()) continue;
                size_t before = data.size();
                UUDecodeLineTo(line, data);
                Spend(data.size() - before);
            }
        } catch (const ECodecError&) {
            Fail(57111);
        }
        TmsAttItem& item = message_.Attachments().Add();
        item.SetFileName(name);
        item.SetData(std::move(data));
        bool another = false;
        while (!another && input_.ReadLine(line)) another = IsBeginLine(line);
        if (!another) return;
    }
}

void TmsCustomDecoder::DecodeMime()
{
    // No Content-Type is plain text (RFC 2045).
    std::string contentType = HeaderValue(headers_, "CONTENT-TYPE");
    if (contentType.empty()) contentType = "text/plain";
    TLines lines;
    std::string line;
    while (input_.ReadLine(line)) lines.push_back(line);
    if (Contains(contentType, "multipart")) {
        bool firstLeaf = true;
        DecodeMultipart(contentType, lines, Contains(contentType, "multipart/alternative"), firstLeaf, 0);
    } else if (!Contains(contentType, "text/") || !HeaderParameter(contentType, "name").empty() ||
               IsUUType(contentType)) {
        AddAttachment(headers_, lines, "att.");
    } else {
        SetBodyText(headers_, lines);
    }
}

void TmsCustomDecoder::DecodeMultipart(const std::string& contentType, const TLines& lines, bool alternative,
                                       bool& firstLeaf, int depth)
{
    // Real mails nest a few groups at most; a crafted one must not run the
    // stack out.
    if (depth > kMaxNesting) Fail(57111);
    std::string boundary = HeaderParameter(contentType, "boundary");
    if (boundary.empty()) Fail(57110);
    size_t i = 0;
    bool closing = false;
    while (i < lines.size() && !IsDelimiter(lines[i], boundary, closing)) ++i;
    if (i == lines.size() || closing) Fail(57110);
    ++i;
    bool atEnd = false;
    while (!closing && !atEnd) {
        TLines part;
        while (i < lines.size() && !IsDelimiter(lines[i], boundary, closing)) part.push_back(lines[i++]);
        // A mail cut before its closing boundary keeps every part read so
        // far, the last one as far as it goes.
        atEnd = i == lines.size();
        ++i;
        TmsHeaders headers;
        TLines body;
        SplitPart(std::move(part), headers, body);
        // The line end before a delimiter belongs to the delimiter (RFC
        // 2046); a part cut off by the end of the mail keeps its last one.
        const bool delimited = !atEnd;
        TLines text = body;
        if (delimited && !text.empty() && text.back().empty()) text.pop_back();
        std::string type = HeaderValue(headers, "CONTENT-TYPE");
        if (Contains(type, "multipart/")) {
            DecodeMultipart(type, body, Contains(type, "multipart/alternative"), firstLeaf, depth + 1);
            continue;
        }
        // The first part is the text of the mail unless it is a file itself.
        bool isText = (type.empty() || StartsWithNoCase(Trim(type), "text/")) && !IsUUType(type);
        bool named = !HeaderParameter(type, "name").empty() ||
                     !HeaderParameter(HeaderValue(headers, "CONTENT-DISPOSITION"), "filename").empty();
        if (firstLeaf && isText && !named) {
            firstLeaf = false;
            SetBodyText(headers, text);
            continue;
        }
        firstLeaf = false;
        AddAttachment(headers, body, alternative ? "_alt." : "att.", delimited);
    }
}

void TmsCustomDecoder::AddAttachment(const TmsHeaders& part, const TLines& lines, const std::string& unnamedPrefix,
                                     bool delimited)
{
    std::string contentType = HeaderValue(part, "CONTENT-TYPE");
    std::string name = HeaderParameter(contentType, "name");
    if (name.empty()) name = HeaderParameter(HeaderValue(part, "CONTENT-DISPOSITION"), "filename");
    std::string beginName;
    std::string encoding = LowerCase(Trim(HeaderValue(part, "CONTENT-TRANSFER-ENCODING")));
    std::string data = DecodeBody(encoding, contentType, lines, &beginName);
    // Text ends where the delimiter's line end starts.
    bool soft = !lines.empty() && !TrimRight(lines.back()).empty() && TrimRight(lines.back()).back() == '=';
    if (delimited && (encoding == "quoted-printable" ? !soft : !IsUUEncoding(encoding) && !IsUUType(contentType) &&
                                                                  encoding != "base64") &&
        data.ends_with("\r\n"))
        data.resize(data.size() - 2);
    if (name.empty()) name = beginName;
    name = SafeFileName(DecodeEncodedWords(name));
    if (name.empty()) name = unnamedPrefix + std::to_string(message_.Attachments().Count());
    // A UU file inside is the attachment; its wrapper's type says nothing of it.
    std::string type = IsUUType(contentType) ? "application/octet-stream" : LowerCase(FirstWord(contentType));
    if (type.empty()) type = "text/plain";
    TmsAttItem& item = message_.Attachments().Add();
    item.SetFileName(name);
    item.SetContentType(type);
    item.SetTransferEncoding(TransferEncodingForType(type));
    item.SetData(std::move(data));
}

void TmsCustomDecoder::SetBodyText(const TmsHeaders& part, const TLines& lines)
{
    std::string encoding = LowerCase(Trim(HeaderValue(part, "CONTENT-TRANSFER-ENCODING")));
    if (encoding == "quoted-printable") message_.SetCharSet(csISO8859);
    if (encoding == "quoted-printable" || encoding == "base64")
        message_.SetBody(SplitCrLf(DecodeBody(encoding, {}, lines, nullptr)));
    else
        message_.SetBody(lines);
}

std::string TmsCustomDecoder::DecodeBody(const std::string& encoding, const std::string& type, const TLines& lines,
                                         std::string* beginName)
{
    try {
        if (encoding == "base64") {
            // One stream: a group may run over a line break, and characters
            // outside the alphabet are skipped, as RFC 2045 asks.
            std::string data;
            TBase64Stream stream;
            for (const auto& line : lines) stream.Feed(line, data);
            return data;
        }
        if (IsUUEncoding(encoding) || IsUUType(type)) return DecodeUULines(lines, beginName);
        if (encoding == "quoted-printable") return QPDecodeLines(lines);
    } catch (const ECodecError&) {
        Fail(57111);
    }
    return JoinCrLf(lines);
}

std::string TmsCustomDecoder::DecodeUULines(const TLines& lines, std::string* beginName)
{
    // Text before a begin line is no data.
    size_t from = 0;
    while (from < lines.size() && !IsBeginLine(lines[from])) ++from;
    if (from == lines.size()) from = 0;
    std::string data;
    for (size_t i = from; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (IsBeginLine(line)) {
            if (beginName && beginName->empty()) *beginName = BeginLineFileName(line);
            continue;
        }
        if (line == "`" || SameText(TrimRight(line), "end")) break;
        if (line.empty()) continue;
        size_t before = data.size();
        UUDecodeLineTo(line, data);
        Spend(data.size() - before);
    }
    return data;
}

void TmsCustomDecoder::Recover(const EMessageParserError& e)
{
    auto& body = message_.Body();
    body.push_back("The following error has been occured while processing the message:");
    body.push_back(e.Message());
    body.push_back("The original message will be stored as an attachment");
    TmsAttItem& item = message_.Attachments().Add();
    item.SetFileName("original.eml");
    item.SetContentType("message/rfc822");
    item.SetTransferEncoding(te7Bit);
    item.SetData(input_.Text());
}

void TmsCustomMessage::LoadFromFile(const std::string& fileName)
{
    Clear();
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw EInOutError(SysErrorMessage(errno ? errno : ENOENT) + ": " + fileName);
    LoadFromStream(in);
}

void TmsMessage::LoadFromStream(std::istream& stream)
{
    std::string text;
    char buffer[65536];
    while (stream.read(buffer, sizeof buffer) || stream.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(stream.gcount()));
        if (text.size() > kMaxMessageSize)
            throw EMessageTooLarge("The message is too large to be read (more than " +
                                      std::to_string(kMaxMessageSize >> 20) + " MB)");
    }
    if (stream.bad()) throw EInOutError("The message could not be read");
    TmsMessageDecoder decoder(*this, std::move(text));
    decoder.Decode();
}

void TmsMessage::ApplyHeaders(const TmsHeaders& headers)
{
    ParseAddress(HeaderValue(headers, "FROM"), Sender());
    for (const auto& [name, list] : {std::pair{"TO", &Recipients()}, std::pair{"CC", &CC()}}) {
        for (const std::string& text : HeaderAddresses(headers, name)) {
            TmsMailAddress address;
            ParseAddress(text, address);
            list->Add(address.Address(), address.Name());
        }
    }
    std::string subject = HeaderValue(headers, "Subject");
    if (!subject.empty()) SetSubject(subject);
    std::string priority = HeaderValue(headers, "X-Priority");
    SetPriority(priority == "1" ? ptHigh : priority == "5" ? ptLow : ptNormal);
    if (!HeaderValue(headers, "Return-receipt-to").empty()) SetReturnReceipt(true);
    SetHeaders(headers);
}
