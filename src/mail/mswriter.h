#pragma once
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "mail/msmsg.h"

// Writes a message as the text that goes after SMTP DATA: the header block,
// an empty line and the body, in plain, single-part or multipart MIME form or
// with UU-encoded attachments. Lines end with CR LF. Every line that begins
// with "." gets a second one (SMTP transparency), so the client sends the text
// as it is and ends it with "." alone.
class TmsCustomEncoder {
public:
    // Prepares the body: notes whether any line is longer than 255 characters.
    TmsCustomEncoder(TmsCustomMessage& message, std::ostream& out);
    virtual ~TmsCustomEncoder() = default;
    TmsCustomEncoder(const TmsCustomEncoder&) = delete;
    TmsCustomEncoder& operator=(const TmsCustomEncoder&) = delete;

    // Writes the whole message from the stream's start. Raises EInOutError
    // when the stream fails, ECodecError for a body the encoders refuse.
    void Encode();
    // A body line is longer than 255 characters.
    bool LongLines() const { return longLines_; }

protected:
    virtual void WriteHeader() = 0;
    void PutLine(std::string_view line);
    // Text of complete lines, each already ended by CR LF.
    void PutText(std::string_view text);

private:
    bool BodyAsQuotedPrintable() const;
    void WritePlain();
    void WriteSinglePart();
    void WriteMultipart(bool alternative);
    void WriteUU();
    void WriteTextHeader(const std::string& type);
    void WriteBodyText();
    void WriteAttachment(const TmsAttItem& item, bool named);
    void WriteAttachmentBody(const TmsAttItem& item);
    void Flush();

    TmsCustomMessage& message_;
    std::ostream& out_;
    // The body split into its physical lines.
    std::vector<std::string> lines_;
    bool longLines_ = false;
    std::string buf_;
};

class TmsMessageEncoder : public TmsCustomEncoder {
public:
    TmsMessageEncoder(TmsMessage& message, std::ostream& out);

protected:
    void WriteHeader() override;

private:
    void WriteAddresses(const std::string& label, const TmsAddressList& list);

    TmsMessage& mail_;
};

// Eight random decimal digits, each 0 to 8.
std::string MakeBoundary();
// A display name as a header shows it: in double quotes when it holds a
// period or another character that would end or split the name, unless it
// already holds a double quote.
std::string QuoteName(const std::string& name);
