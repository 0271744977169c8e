#include "replies/savedmail.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "core/exception.h"
#include "core/strutil.h"
#include "mail/msdecoder.h"
#include "mail/msmsg.h"

namespace fs = std::filesystem;

namespace {

const char* kErrorLine = "The following error has been occured while processing the message:";
constexpr size_t kReadBlock = size_t{4} << 20;

[[noreturn]] void ThrowIo(const std::string& path)
{
    int err = errno ? errno : EIO;
    throw EInOutError(SysErrorMessage(err) + ": " + path);
}

void WriteAll(int fd, std::string_view data, const std::string& path)
{
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ThrowIo(path);
        data.remove_prefix(static_cast<size_t>(n));
    }
}

// Gives the whole temporary file a free name without ever replacing a file:
// link() fails when the name is taken. Where links are not supported, the
// name is claimed by creating it exclusively and the file renamed over it.
std::string ClaimName(const std::string& temp, const std::string& dir, const std::string& name)
{
    for (int n = 0; n < 10000; ++n) {
        std::string path = dir + (n ? NumberedName(name, n) : name);
        if (::link(temp.c_str(), path.c_str()) == 0) {
            ::unlink(temp.c_str());
            return path;
        }
        if (errno == EEXIST) continue;
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) ThrowIo(path);
        ::close(fd);
        if (::rename(temp.c_str(), path.c_str()) != 0) {
            int err = errno;
            ::unlink(path.c_str());
            errno = err;
            ThrowIo(path);
        }
        return path;
    }
    errno = EEXIST;
    ThrowIo(dir + name);
}

bool LooksLikeHeader(std::string_view text)
{
    size_t colon = text.find(':');
    size_t eol = text.find('\n');
    if (colon == 0 || colon == std::string_view::npos || colon > eol) return false;
    for (size_t i = 0; i < colon; ++i)
        if (static_cast<unsigned char>(text[i]) <= ' ' || static_cast<unsigned char>(text[i]) > '~') return false;
    return true;
}

// The header lines of a mail and where its body starts; a text that does
// not begin with a header line is all body.
size_t ReadHeaders(std::string_view mail, TmsHeaders& headers)
{
    if (!LooksLikeHeader(mail)) return 0;
    size_t pos = 0;
    while (pos < mail.size()) {
        size_t end = mail.find('\n', pos);
        size_t next = end == std::string_view::npos ? mail.size() : end + 1;
        if (end == std::string_view::npos) end = mail.size();
        size_t stop = end;
        while (stop > pos && mail[stop - 1] == '\r') --stop;
        if (stop == pos) return next;
        headers.emplace_back(mail.substr(pos, stop - pos));
        pos = next;
    }
    return pos;
}

bool IsMimeEncoded(const std::string& encoding)
{
    return encoding == "base64" || encoding == "quoted-printable" || encoding.find("uu") != std::string::npos;
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines) text.append(line).append("\r\n");
    return text;
}

} // namespace

std::string NumberedName(const std::string& name, int n)
{
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) dot = name.size();
    return name.substr(0, dot) + " (" + std::to_string(n) + ")" + name.substr(dot);
}

std::string SaveNewFile(const std::string& folder, const std::string& name, const std::vector<std::string_view>& chunks)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    std::string dir = folder;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    std::string temp = dir + ".tolvar-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) ThrowIo(folder);
    try {
        for (std::string_view chunk : chunks) WriteAll(fd, chunk, temp);
        if (::close(fd) != 0) {
            fd = -1;
            ThrowIo(temp);
        }
        fd = -1;
        return ClaimName(temp, dir, name);
    } catch (...) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
}

TSavedMailDecoder::TSavedMailDecoder(std::string folder) : folder_(std::move(folder)) {}

void TSavedMailDecoder::Failed(const std::string& where, const std::string& why)
{
    results_.push_back({where, TUUStatus::Failed, {}, why});
}

void TSavedMailDecoder::Saved(const std::string& name, const std::vector<std::string_view>& chunks)
{
    try {
        results_.push_back({name, TUUStatus::Complete, SaveNewFile(folder_, name, chunks), {}});
    } catch (const std::exception& e) {
        Failed(name, e.what());
    }
}

void TSavedMailDecoder::AddPath(const std::string& path)
{
    std::error_code ec;
    if (!fs::is_directory(path, ec)) return AddFile(path);
    // A Maildir keeps its mails in cur and new; any other folder is a folder
    // of saved mails.
    std::vector<std::string> files;
    bool maildir = fs::is_directory(fs::path(path) / "cur", ec) || fs::is_directory(fs::path(path) / "new", ec);
    std::vector<fs::path> folders;
    if (maildir)
        folders = {fs::path(path) / "new", fs::path(path) / "cur"};
    else
        folders = {fs::path(path)};
    for (const auto& folder : folders) {
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            if (it->is_regular_file(ec)) files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) AddFile(file);
}

void TSavedMailDecoder::AddFile(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Failed(path, "cannot be read: " + SysErrorMessage(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    char head[5] = {};
    ssize_t got = ::pread(fd, head, sizeof head, 0);
    if (got == 5 && std::memcmp(head, "From ", 5) == 0) return AddMbox(fd, path);
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Failed(path, "cannot be read: " + SysErrorMessage(errno));
        if (n == 0) break;
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > kMaxMessageSize)
            return Failed(path, "larger than " + std::to_string(kMaxMessageSize >> 20) + " MB, not read");
    }
    AddMail(text, path);
}

void TSavedMailDecoder::AddMbox(int fd, const std::string& path)
{
    // Mails are read in place in a buffer of large blocks; only the mail the
    // block ends in is carried over. Memory follows the largest mail, not
    // the mailbox.
    std::string buffer;
    size_t mailStart = std::string::npos; // where the current mail's text starts
    size_t scan = 0;                      // where the search for a separator resumes
    int number = 0;
    bool tooLarge = false, atEof = false;
    auto finish = [&](size_t end) {
        std::string origin = path + ", mail " + std::to_string(number);
        if (tooLarge)
            Failed(origin, "larger than " + std::to_string(kMaxMessageSize >> 20) + " MB, not read");
        else if (mailStart != std::string::npos)
            AddMail(std::string_view(buffer).substr(mailStart, end - mailStart), origin);
        tooLarge = false;
    };
    while (!atEof) {
        // Keep only the current mail (or, while skipping one too large, the
        // bytes a separator search still looks at).
        size_t keep = mailStart == std::string::npos ? (scan > 2 ? scan - 2 : 0) : std::min(mailStart, scan);
        if (keep > 0) {
            buffer.erase(0, keep);
            scan -= keep;
            if (mailStart != std::string::npos) mailStart -= keep;
        }
        size_t have = buffer.size();
        buffer.resize(have + kReadBlock);
        ssize_t n = ::read(fd, buffer.data() + have, kReadBlock);
        if (n < 0 && errno == EINTR) {
            buffer.resize(have);
            continue;
        }
        if (n < 0) {
            buffer.resize(have);
            Failed(path, "cannot be read: " + SysErrorMessage(errno));
            return;
        }
        buffer.resize(have + static_cast<size_t>(n));
        atEof = n == 0;
        // A "From " line after an empty line (or first in the file) starts
        // the next mail.
        for (;;) {
            size_t from = std::string::npos;
            if (number == 0 && buffer.compare(0, 5, "From ") == 0) {
                from = 0;
            } else {
                // memmem skips whole lines at once; the mailbox is mostly data.
                for (size_t at = scan; at < buffer.size(); ++at) {
                    const void* hit = ::memmem(buffer.data() + at, buffer.size() - at, "\nFrom ", 6);
                    if (!hit) break;
                    at = static_cast<size_t>(static_cast<const char*>(hit) - buffer.data());
                    if (at > 0 && (buffer[at - 1] == '\n' || (buffer[at - 1] == '\r' && at > 1 && buffer[at - 2] == '\n'))) {
                        from = at + 1;
                        break;
                    }
                }
            }
            size_t lineEnd = from == std::string::npos ? from : buffer.find('\n', from);
            if (lineEnd == std::string::npos) break;
            if (number > 0) finish(from);
            ++number;
            mailStart = lineEnd + 1;
            scan = mailStart;
        }
        scan = buffer.size() > 8 ? std::max(scan, buffer.size() - 8) : scan;
        if (mailStart != std::string::npos && !tooLarge && buffer.size() - mailStart > kMaxMessageSize) {
            tooLarge = true;
            mailStart = std::string::npos;
        }
    }
    if (number > 0) finish(buffer.size());
}

void TSavedMailDecoder::AddMail(std::string_view mail, const std::string& origin)
{
    TmsHeaders headers;
    size_t bodyAt = ReadHeaders(mail, headers);

    try {
        std::string subject = HeaderValue(headers, "Subject");
        bool mime = WithoutComments(HeaderValue(headers, "MIME-Version")) == "1.0";
        std::string type = LowerCase(HeaderValue(headers, "Content-Type"));
        std::string encoding = LowerCase(Trim(HeaderValue(headers, "Content-Transfer-Encoding")));
        // Robots send their UU parts as plain text; those are read straight
        // from the mail, anything else through the message reader.
        bool plain = !mime || ((type.empty() || StartsWithNoCase(type, "text/plain")) &&
                               HeaderParameter(type, "name").empty() && !IsMimeEncoded(encoding));
        if (!plain) return AddMimeMail(mail, subject, origin);
        for (TUUPiece& piece : ScanUUPieces(mail.substr(bodyAt), subject, origin)) {
            pieces_.push_back(std::move(piece));
            Spill(pieces_.back());
        }
    } catch (const std::exception& e) {
        Failed(origin, e.what());
    }
}

void TSavedMailDecoder::AddMimeMail(std::string_view mail, const std::string& subject, const std::string& origin)
{
    TmsMessage message;
    std::istringstream in{std::string(mail)};
    message.LoadFromStream(in);
    const auto& body = message.Body();
    auto error = std::find(body.begin(), body.end(), std::string(kErrorLine));
    const int count = message.Attachments().Count();
    // The reader keeps a mail it could not take apart as original.eml: that
    // is a failure, not a file.
    const int files = error != body.end() ? count - 1 : count;
    for (int i = 0; i < files; ++i) {
        const TmsAttItem& item = message.Attachments().Items(i);
        Saved(item.FileName(), {item.Data()});
    }
    if (error != body.end()) {
        Failed(origin, error + 1 != body.end() ? *(error + 1) : "the mail could not be read");
        return;
    }
    std::string text = JoinLines(body);
    for (TUUPiece& piece : ScanUUPieces(text, subject, origin)) {
        pieces_.push_back(std::move(piece));
        Spill(pieces_.back());
    }
}

bool TSavedMailDecoder::OpenSpill(const std::string& key, int next)
{
    auto old = openSpill_.find(key);
    if (old != openSpill_.end()) spills_[old->second].open = false;
    std::error_code ec;
    fs::create_directories(folder_, ec);
    TSpillFile spill;
    spill.temp = folder_ + (folder_.ends_with("/") ? "" : "/") + ".tolvar-XXXXXX";
    spill.fd = ::mkstemp(spill.temp.data());
    // Without a spill file the parts simply stay in memory.
    if (spill.fd < 0) return false;
    spill.next = next;
    openSpill_[key] = spills_.size();
    spills_.push_back(std::move(spill));
    return true;
}

void TSavedMailDecoder::Spill(TUUPiece& piece)
{
    TPartNumber pn = ParsePartNumber(piece.subject);
    const bool begins = !piece.beginLine.empty();
    // Numbered parts join by number and total, the others by Subject.
    std::string key = pn.number > 0 ? pn.key + "\n" + std::to_string(pn.total) : pn.key + "\n";
    if (begins && piece.hasEnd) {
        if (!OpenSpill("\n\n", 0)) return;
        spills_.back().open = false;
        openSpill_.erase("\n\n");
    } else if (begins && pn.number <= 1) {
        // A second copy of part 1 is not used: it must not take the spill.
        auto it = openSpill_.find(key);
        if (pn.number == 1 && it != openSpill_.end()) return;
        if (!OpenSpill(key, pn.number)) return;
    } else {
        auto it = openSpill_.find(key);
        if (it == openSpill_.end() || !spills_[it->second].open) return;
        TSpillFile& open = spills_[it->second];
        // Unnumbered, the part with the end goes last whatever follows it:
        // it stays in memory.
        if (pn.number > 0 ? pn.number != open.next : piece.hasEnd) return;
    }
    size_t index = spills_.size() - 1;
    if (!begins || !piece.hasEnd) index = openSpill_[key];
    TSpillFile& spill = spills_[index];
    try {
        WriteAll(spill.fd, piece.data, spill.temp);
    } catch (const std::exception&) {
        // The spill file is no longer whole; later parts stay in memory.
        spill.open = false;
        spill.size = static_cast<size_t>(-1);
        return;
    }
    piece.spill = static_cast<int>(index);
    piece.spillOffset = spill.size;
    piece.spilled = piece.data.size();
    spill.size += piece.data.size();
    std::string().swap(piece.data);
    if (spill.next > 0) ++spill.next;
}

std::string TSavedMailDecoder::WriteJoined(const TUUFile& file)
{
    const std::string dir = folder_ + (folder_.ends_with("/") ? "" : "/");
    // Usually the spill file holds exactly the first parts, in order: the
    // rest is appended and the file takes its name. Otherwise the file is
    // written afresh, spilled parts read back.
    size_t k = 0, offset = 0;
    const int s = file.parts[0]->spill;
    while (s >= 0 && k < file.parts.size() && file.parts[k]->spill == s && file.parts[k]->spillOffset == offset)
        offset += file.parts[k++]->spilled;
    TSpillFile* spill = s >= 0 ? &spills_[static_cast<size_t>(s)] : nullptr;
    if (spill && (spill->claimed || spill->size != offset)) k = 0;
    std::vector<std::string> readBack;
    readBack.reserve(file.parts.size()); // the views below must not move
    std::vector<std::string_view> chunks;
    for (size_t i = k; i < file.parts.size(); ++i) {
        const TUUPiece* p = file.parts[i];
        if (p->spill < 0) {
            chunks.push_back(p->data);
            continue;
        }
        const TSpillFile& from = spills_[static_cast<size_t>(p->spill)];
        std::string bytes(p->spilled, '\0');
        if (::pread(from.fd, bytes.data(), bytes.size(), static_cast<off_t>(p->spillOffset)) !=
            static_cast<ssize_t>(bytes.size()))
            ThrowIo(from.temp);
        readBack.push_back(std::move(bytes));
        chunks.push_back(readBack.back());
    }
    if (k == 0) return SaveNewFile(folder_, file.name, chunks);
    for (std::string_view chunk : chunks) WriteAll(spill->fd, chunk, spill->temp);
    spill->claimed = true;
    return ClaimName(spill->temp, dir, file.name);
}

std::vector<TDecodedFile> TSavedMailDecoder::Finish()
{
    for (TUUFile& file : JoinPieces(pieces_)) {
        if (file.status != TUUStatus::Complete) {
            results_.push_back({file.name, file.status, {}, file.reason});
            continue;
        }
        try {
            results_.push_back({file.name, TUUStatus::Complete, WriteJoined(file), {}});
        } catch (const std::exception& e) {
            Failed(file.name, e.what());
        }
    }
    // Spill files of incomplete files go: nothing incomplete is left behind.
    for (TSpillFile& spill : spills_) {
        if (spill.fd >= 0) ::close(spill.fd);
        if (!spill.claimed) ::unlink(spill.temp.c_str());
    }
    spills_.clear();
    openSpill_.clear();
    pieces_.clear();
    return std::move(results_);
}

std::string DescribeResult(const TDecodedFile& result)
{
    switch (result.status) {
    case TUUStatus::Complete:
        return result.name + ": complete, saved as " + result.path;
    case TUUStatus::Incomplete:
        return result.name + ": incomplete, " + result.detail + " (nothing written)";
    case TUUStatus::Failed:
        break;
    }
    return result.name + ": failed: " + result.detail + " (nothing written)";
}
