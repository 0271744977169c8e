#pragma once
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "core/exception.h"
#include "mail/msheaders.h"

// A message cannot be sent as it stands (no sender, no recipient), or one of
// its attachments cannot be handled.
class EMessageError : public Exception {
public:
    using Exception::Exception;
};

enum TMsgEncoding { meMIME = 0, meUU = 1 };
enum TCharSet { csUSASCII = 0, csISO8859 = 1 };
enum TPriority { ptLow = 0, ptNormal = 1, ptHigh = 2 };

// Attachment transfer encodings (TmsAttItem::TransferEncoding).
constexpr uint8_t te7Bit = 0;
constexpr uint8_t teBase64 = 1;
constexpr uint8_t teQuotedPrintable = 2;

// Longest name, address and subject a message keeps; longer texts are cut.
constexpr size_t kMaxShortText = 255;

class TmsMailAddress {
public:
    TmsMailAddress() = default;
    TmsMailAddress(const std::string& address, const std::string& name);

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    const std::string& Address() const { return address_; }
    void SetAddress(const std::string& address);
    void Clear();

private:
    std::string name_;
    std::string address_;
};

// An ordered list that owns its items; references stay valid until Clear.
// Copying copies every item.
class TmsAddressList {
public:
    TmsAddressList() = default;
    TmsAddressList(const TmsAddressList& other);
    TmsAddressList& operator=(const TmsAddressList& other);

    TmsMailAddress& Add(const std::string& address, const std::string& name = {});
    void Clear() { items_.clear(); }
    int Count() const { return static_cast<int>(items_.size()); }
    // 0-based; an index out of range raises EMessageError.
    TmsMailAddress& Items(int index);
    const TmsMailAddress& Items(int index) const;

private:
    std::vector<std::unique_ptr<TmsMailAddress>> items_;
};

class TmsAttItem {
public:
    const std::string& FileName() const { return fileName_; }
    // A non-empty name also sets the content type from the system's MIME table
    // and the transfer encoding that suits it.
    void SetFileName(const std::string& fileName);
    const std::string& ContentType() const { return contentType_; }
    void SetContentType(const std::string& contentType) { contentType_ = contentType; }
    uint8_t TransferEncoding() const { return transferEncoding_; }
    void SetTransferEncoding(uint8_t encoding) { transferEncoding_ = encoding; }
    // The attachment's bytes.
    std::string& Data() { return data_; }
    const std::string& Data() const { return data_; }
    void SetData(std::string data) { data_ = std::move(data); }

private:
    std::string fileName_;
    std::string contentType_;
    uint8_t transferEncoding_ = te7Bit;
    std::string data_;
};

// Quoted-printable for the text types, 7-bit for a mail, base64 for the rest.
uint8_t TransferEncodingForType(const std::string& contentType);

class TmsAttList {
public:
    TmsAttList() = default;
    TmsAttList(const TmsAttList& other);
    TmsAttList& operator=(const TmsAttList& other);

    // A new empty attachment, or a copy of item, at the end of the list.
    TmsAttItem& Add();
    TmsAttItem& Add(const TmsAttItem& item);
    void Clear() { items_.clear(); }
    int Count() const { return static_cast<int>(items_.size()); }
    TmsAttItem& Items(int index);
    const TmsAttItem& Items(int index) const;

private:
    std::vector<std::unique_ptr<TmsAttItem>> items_;
};

class TmsCustomMessage {
public:
    TmsCustomMessage() = default;
    virtual ~TmsCustomMessage() = default;
    TmsCustomMessage(const TmsCustomMessage&) = delete;
    TmsCustomMessage& operator=(const TmsCustomMessage&) = delete;

    TmsAttList& Attachments() { return attachments_; }
    const TmsAttList& Attachments() const { return attachments_; }
    // Replacing the list as a whole also sets the stored content type.
    void SetAttachments(const TmsAttList& attachments);

    // The type of the whole message, worked out from the encoding, the
    // attachments and the body; reading it stores the result.
    std::string ContentType() const;
    // Stored in lower case.
    void SetContentType(const std::string& contentType);

    TMsgEncoding Encoding() const { return encoding_; }
    void SetEncoding(TMsgEncoding encoding) { encoding_ = encoding; }
    TmsMailAddress& Sender() { return sender_; }
    const TmsMailAddress& Sender() const { return sender_; }
    void SetSender(const TmsMailAddress& sender) { sender_ = sender; }
    const std::string& Subject() const { return subject_; }
    void SetSubject(const std::string& subject);
    TCharSet CharSet() const { return charSet_; }
    void SetCharSet(TCharSet charSet) { charSet_ = charSet; }
    TmsHeaders& Headers() { return headers_; }
    const TmsHeaders& Headers() const { return headers_; }
    void SetHeaders(const TmsHeaders& headers) { headers_ = headers; }
    // Body lines; an item may itself hold several lines separated by CR LF.
    std::vector<std::string>& Body() { return body_; }
    const std::vector<std::string>& Body() const { return body_; }
    void SetBody(const std::vector<std::string>& body) { body_ = body; }

    // Raises EMessageError when the message cannot be sent.
    virtual void CheckMessage() const;
    // Writes the complete mail text (headers, empty line, body) from the
    // stream's start, in the form that goes after SMTP DATA.
    virtual void SaveToStream(std::ostream& stream) = 0;
    // Reads a mail text back into the message (msdecoder.cpp): headers into
    // the properties, body lines, UU blocks or MIME parts as attachments.
    virtual void LoadFromStream(std::istream& stream) = 0;
    // Clear, then LoadFromStream on the file; a file that cannot be read
    // raises EInOutError.
    void LoadFromFile(const std::string& fileName);
    // Fills the properties from the header lines of a mail read back.
    virtual void ApplyHeaders(const TmsHeaders& headers) = 0;
    virtual void Clear();

    // Writes attachment index's bytes into folder under the attachment's file
    // name (without any folder it carries), replacing a file of that name.
    // Raises EMessageError for a bad index or a name that is no file name,
    // EInOutError when the file cannot be written (a file of that name is
    // then left as it was: the bytes go to a temporary file first).
    void SaveAttachment(int index, const std::string& folder) const;

private:
    std::string ResolveContentType() const;

    TmsAttList attachments_;
    mutable std::string contentType_ = "text/plain";
    TMsgEncoding encoding_ = meMIME;
    TmsMailAddress sender_;
    std::string subject_;
    TCharSet charSet_ = csUSASCII;
    TmsHeaders headers_;
    std::vector<std::string> body_;
};

class TmsMessage : public TmsCustomMessage {
public:
    TmsAddressList& Recipients() { return recipients_; }
    const TmsAddressList& Recipients() const { return recipients_; }
    void SetRecipients(const TmsAddressList& list) { recipients_ = list; }
    bool ReturnReceipt() const { return returnReceipt_; }
    void SetReturnReceipt(bool value) { returnReceipt_ = value; }
    TPriority Priority() const { return priority_; }
    void SetPriority(TPriority priority) { priority_ = priority; }
    TmsAddressList& CC() { return cc_; }
    const TmsAddressList& CC() const { return cc_; }
    void SetCC(const TmsAddressList& list) { cc_ = list; }
    // Envelope only: never written into the header.
    TmsAddressList& BCC() { return bcc_; }
    const TmsAddressList& BCC() const { return bcc_; }
    void SetBCC(const TmsAddressList& list) { bcc_ = list; }

    void CheckMessage() const override;
    void SaveToStream(std::ostream& stream) override;
    void LoadFromStream(std::istream& stream) override;
    void ApplyHeaders(const TmsHeaders& headers) override;
    void Clear() override;

private:
    TmsAddressList recipients_;
    bool returnReceipt_ = false;
    TPriority priority_ = ptNormal;
    TmsAddressList cc_;
    TmsAddressList bcc_;
};
