#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/exception.h"
#include "mail/msheaders.h"
#include "mail/msmsg.h"

// A mail text could not be taken apart; the message comes from the mail
// string table.
class EMessageParserError : public Exception {
public:
    using Exception::Exception;
};

// Input or output past kMaxMessageSize: refused as a whole, never turned
// into an error body with the input attached.
class EMessageTooLarge : public EMessageParserError {
public:
    using EMessageParserError::EMessageParserError;
};

// The largest mail text LoadFromStream takes in, and the most it decodes out
// of one (a UU line's count character can make a short line give 31 times
// its size). Beyond either, EMessageTooLarge, so a runaway scratch file, a
// stream without end or a crafted mail cannot exhaust memory.
constexpr size_t kMaxMessageSize = size_t{128} << 20;
// "The decoded data would be larger than 128 MB".
std::string TooLargeOutputMessage();

// Hands out the input one line at a time. Lines end at LF; the CRs before it
// are not part of the line (so CR CR LF reads as CR LF), and a last line
// without a line end is a line too. The whole input stays in memory, so a
// line of any length is returned whole.
class TLineStream {
public:
    explicit TLineStream(std::string text) : text_(std::move(text)) {}
    // The next line, or false at the end of the input.
    bool ReadLine(std::string& line);
    bool Eof() const { return pos_ >= text_.size(); }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
    size_t pos_ = 0;
};

// --- header helpers, shared by the reader and its callers

// The value of the first header of that name (a ":" is added unless it ends
// with one), continuation lines joined with one blank; encoded words are
// decoded except for Content-Type and X-UIDL. "" when there is none.
std::string HeaderValue(const TmsHeaders& headers, std::string name);
// The address texts of the first header of that name, split at the commas
// that are not inside double quotes.
std::vector<std::string> HeaderAddresses(const TmsHeaders& headers, std::string name);
// "Name <address>", "address (Name)" or a bare address. A "<" without a ">"
// after it raises EMessageParserError "Unable to parse email address".
void ParseAddress(const std::string& text, TmsMailAddress& address);
// Trimmed, without the double quotes at either end.
std::string Unquote(const std::string& text);
// RFC 2047 encoded words ("=?charset?B?...?=", "=?charset?Q?...?=") replaced
// by their bytes; an unfinished word is left as it stands.
std::string DecodeEncodedWords(const std::string& value);
// The value of parameter name ("name", "boundary") in a header value such as
// 'text/plain; name="a b.txt"'; "" when absent. RFC 2231 forms are read too
// and win over the plain one: name*=charset'lang'%XX..., and continuations
// name*0=, name*1*= ... joined in order. Latin-1 text becomes UTF-8 (file
// names on this system); other charsets keep their bytes.
std::string HeaderParameter(const std::string& value, const std::string& name);
// "1.0 (produced by X)" -> "1.0": comments and blanks removed, as a
// MIME-Version value is compared.
std::string WithoutComments(const std::string& value);

// Reads a mail text into a message: the non-MIME path with its UU blocks, or
// the MIME path for a message that declares "MIME-Version: 1.0". A parse
// failure in the body leaves an error body and the whole input as the
// attachment "original.eml"; header failures reach the caller.
class TmsCustomDecoder {
public:
    TmsCustomDecoder(TmsCustomMessage& message, std::string text);
    virtual ~TmsCustomDecoder() = default;
    void Decode();

protected:
    virtual void ApplyHeaders(const TmsHeaders& headers) = 0;

private:
    void ReadHeaderBlock(TmsHeaders& headers);
    void DecodeNonMime();
    void DecodeUUBlocks(std::string beginLine);
    void DecodeMime();
    // Every part of a multipart group in lines; firstLeaf is true until the
    // first part that is not itself a group has been seen.
    void DecodeMultipart(const std::string& contentType, const std::vector<std::string>& lines, bool alternative,
                         bool& firstLeaf, int depth);
    // delimited: a delimiter follows the part, and the last line end is its.
    void AddAttachment(const TmsHeaders& part, const std::vector<std::string>& lines, const std::string& unnamedPrefix,
                       bool delimited = false);
    void SetBodyText(const TmsHeaders& part, const std::vector<std::string>& lines);
    // The bytes of a part's body by its transfer encoding (or a UU type);
    // beginName gets the name of a UU begin line met on the way.
    std::string DecodeBody(const std::string& encoding, const std::string& type, const std::vector<std::string>& lines,
                           std::string* beginName);
    std::string DecodeUULines(const std::vector<std::string>& lines, std::string* beginName);
    // Counts decoded bytes against kMaxMessageSize.
    void Spend(size_t bytes);
    void Recover(const EMessageParserError& e);

    TmsCustomMessage& message_;
    TLineStream input_;
    TmsHeaders headers_;
    size_t decoded_ = 0;
};

class TmsMessageDecoder : public TmsCustomDecoder {
public:
    TmsMessageDecoder(TmsMessage& message, std::string text) : TmsCustomDecoder(message, std::move(text)), message_(message) {}

protected:
    void ApplyHeaders(const TmsHeaders& headers) override { message_.ApplyHeaders(headers); }

private:
    TmsMessage& message_;
};

// The UU begin line test: "begin" in any case, more than eight characters,
// and a three-digit mode after the word.
bool IsBeginLine(const std::string& line);
// The file name a begin line carries (after its first ten characters):
// quoted, up to the closing quote; else up to the first blank.
std::string BeginLineFileName(const std::string& line);
