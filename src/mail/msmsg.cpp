#include "mail/msmsg.h"

#include "core/fileutil.h"
#include "core/strutil.h"
#include "mail/filename.h"
#include "mail/mailstrings.h"
#include "mail/mimetypes.h"
#include "mail/mswriter.h"

namespace {

std::string Cut(const std::string& text) { return text.size() > kMaxShortText ? text.substr(0, kMaxShortText) : text; }

template <class T> T& At(const std::vector<std::unique_ptr<T>>& items, int index)
{
    if (index < 0 || index >= static_cast<int>(items.size()))
        throw EMessageError("List index out of bounds (" + std::to_string(index) + ")");
    return *items[static_cast<size_t>(index)];
}

template <class T> void DeepCopy(std::vector<std::unique_ptr<T>>& to, const std::vector<std::unique_ptr<T>>& from)
{
    std::vector<std::unique_ptr<T>> copy;
    copy.reserve(from.size());
    for (const auto& item : from) copy.push_back(std::make_unique<T>(*item));
    to = std::move(copy);
}

bool HasAddress(const TmsAddressList& list)
{
    for (int i = 0; i < list.Count(); ++i)
        if (!list.Items(i).Address().empty()) return true;
    return false;
}

std::string BareLowerName(const TmsAttItem& item) { return LowerCase(ExtractFileName(item.FileName())); }

} // namespace

TmsMailAddress::TmsMailAddress(const std::string& address, const std::string& name)
    : name_(Cut(name)), address_(Cut(address))
{
}

void TmsMailAddress::SetName(const std::string& name) { name_ = Cut(name); }
void TmsMailAddress::SetAddress(const std::string& address) { address_ = Cut(address); }

void TmsMailAddress::Clear()
{
    name_.clear();
    address_.clear();
}

TmsAddressList::TmsAddressList(const TmsAddressList& other) { DeepCopy(items_, other.items_); }

TmsAddressList& TmsAddressList::operator=(const TmsAddressList& other)
{
    if (this != &other) DeepCopy(items_, other.items_);
    return *this;
}

TmsMailAddress& TmsAddressList::Add(const std::string& address, const std::string& name)
{
    items_.push_back(std::make_unique<TmsMailAddress>(address, name));
    return *items_.back();
}

TmsMailAddress& TmsAddressList::Items(int index) { return At(items_, index); }
const TmsMailAddress& TmsAddressList::Items(int index) const { return At(items_, index); }

uint8_t TransferEncodingForType(const std::string& contentType)
{
    if (SameText(contentType, "text/plain") || SameText(contentType, "text/rtf") || SameText(contentType, "text/html"))
        return teQuotedPrintable;
    if (SameText(contentType, "message/rfc822")) return te7Bit;
    return teBase64;
}

void TmsAttItem::SetFileName(const std::string& fileName)
{
    fileName_ = fileName;
    if (fileName.empty()) return;
    contentType_ = ContentTypeOfFile(fileName);
    transferEncoding_ = TransferEncodingForType(contentType_);
}

TmsAttList::TmsAttList(const TmsAttList& other) { DeepCopy(items_, other.items_); }

TmsAttList& TmsAttList::operator=(const TmsAttList& other)
{
    if (this != &other) DeepCopy(items_, other.items_);
    return *this;
}

TmsAttItem& TmsAttList::Add()
{
    items_.push_back(std::make_unique<TmsAttItem>());
    return *items_.back();
}

TmsAttItem& TmsAttList::Add(const TmsAttItem& item)
{
    items_.push_back(std::make_unique<TmsAttItem>(item));
    return *items_.back();
}

TmsAttItem& TmsAttList::Items(int index) { return At(items_, index); }
const TmsAttItem& TmsAttList::Items(int index) const { return At(items_, index); }

void TmsCustomMessage::SetAttachments(const TmsAttList& attachments)
{
    attachments_ = attachments;
    contentType_ = attachments_.Count() ? "multipart/mixed" : "text/plain";
}

std::string TmsCustomMessage::ContentType() const
{
    contentType_ = LowerCase(ResolveContentType());
    return contentType_;
}

std::string TmsCustomMessage::ResolveContentType() const
{
    if (encoding_ == meUU) return {};
    const int count = attachments_.Count();
    bool allAlt = count > 0;
    for (int i = 0; i < count && allAlt; ++i) allAlt = BareLowerName(attachments_.Items(i)).starts_with("_alt.");
    if (allAlt) return "multipart/alternative";
    if (count == 1 && body_.empty()) {
        std::string name = BareLowerName(attachments_.Items(0));
        if (name == "_rtfbody.rtf") return "text/rtf";
        if (name == "_htmbody.htm") return "text/html";
    }
    if (body_.empty()) {
        if (count == 0) return "text/plain";
        return count == 1 ? attachments_.Items(0).ContentType() : "multipart/mixed";
    }
    if (count > 0) return "multipart/mixed";
    return contentType_.empty() ? "text/plain" : contentType_;
}

void TmsCustomMessage::SetContentType(const std::string& contentType) { contentType_ = LowerCase(contentType); }

void TmsCustomMessage::SetSubject(const std::string& subject) { subject_ = Cut(subject); }

void TmsCustomMessage::CheckMessage() const
{
    if (sender_.Address().empty()) throw EMessageError(MailString(57100));
}

void TmsCustomMessage::Clear()
{
    body_.clear();
    attachments_.Clear();
    sender_.Clear();
    headers_.clear();
    subject_.clear();
    encoding_ = meMIME;
    charSet_ = csUSASCII;
    contentType_.clear();
}

void TmsCustomMessage::SaveAttachment(int index, const std::string& folder) const
{
    const TmsAttItem& item = attachments_.Items(index);
    // The name comes from a mail; a folder in it must not place the file
    // anywhere but the folder the caller chose.
    std::string name = ExtractFileName(item.FileName());
    if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string::npos)
        throw EMessageError("Invalid attachment file name \"" + item.FileName() + "\"");
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    // Never truncated in place: a full disk keeps the file already there.
    try {
        ReplaceFileContents(path, item.Data());
    } catch (const EInOutError& e) {
        throw EInOutError(std::string(e.what()) + ": " + path);
    }
}

void TmsMessage::CheckMessage() const
{
    TmsCustomMessage::CheckMessage();
    if (!HasAddress(recipients_) && !HasAddress(cc_) && !HasAddress(bcc_)) throw EMessageError(MailString(57101));
}

void TmsMessage::SaveToStream(std::ostream& stream)
{
    TmsMessageEncoder encoder(*this, stream);
    encoder.Encode();
}

void TmsMessage::Clear()
{
    TmsCustomMessage::Clear();
    cc_.Clear();
    bcc_.Clear();
    recipients_.Clear();
}
