// Finding the UU data in mail texts, and the part numbers in Subjects.
#include "replies/uujoin.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "core/strutil.h"
#include "mail/codecerror.h"
#include "mail/filename.h"
#include "mail/msdecoder.h"
#include "mail/uucode.h"

namespace {

constexpr size_t kFullChars = 61;
constexpr int kFullCount = 45;

// Hands out lines without their line end (LF, CRs before it dropped),
// without copying.
class TLineCursor {
public:
    explicit TLineCursor(std::string_view text) : text_(text) {}
    bool Next(std::string_view& line)
    {
        if (pos_ >= text_.size()) return false;
        const char* start = text_.data() + pos_;
        const void* lf = std::memchr(start, '\n', text_.size() - pos_);
        size_t end = lf ? static_cast<size_t>(static_cast<const char*>(lf) - text_.data()) : text_.size();
        size_t stop = end;
        while (stop > pos_ && text_[stop - 1] == '\r') --stop;
        line = text_.substr(pos_, stop - pos_);
        pos_ = lf ? end + 1 : end;
        ++number_;
        return true;
    }
    // The next line when it is exactly length characters long (before LF or
    // CR LF): the common data line is found without a search.
    bool NextOfLength(size_t length, std::string_view& line)
    {
        size_t end = pos_ + length;
        if (end >= text_.size()) return false;
        size_t next;
        if (text_[end] == '\n')
            next = end + 1;
        else if (text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n')
            next = end + 2;
        else
            return false;
        // A line break inside is no UU character: the caller's check of the
        // characters refuses such a "line".
        line = text_.substr(pos_, length);
        pos_ = next;
        ++number_;
        return true;
    }
    bool Peek(std::string_view& line) const
    {
        TLineCursor copy = *this;
        return copy.Next(line);
    }
    size_t Number() const { return number_; }
    size_t Remaining() const { return text_.size() - pos_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
    size_t number_ = 0;
};

std::string_view TrimRightView(std::string_view s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool IsEndLine(std::string_view line) { return SameText(TrimRightView(line), "end"); }

// "`", a blank, or nothing once a transport stripped the blank.
bool IsTerminator(std::string_view line) { return line.empty() || line == "`" || line == " "; }

bool IsFullShape(std::string_view line) { return (line.size() == kFullChars || line.size() == kFullChars + 1) && line[0] == 'M'; }

// Characters a line of count bytes has after its count character.
size_t EncodedChars(int count) { return static_cast<size_t>((count + 2) / 3 * 4); }

bool IsSizeLine(std::string_view line, long long& size)
{
    line = TrimRightView(line);
    if (line.size() < 6 || !StartsWithNoCase(line, "size ")) return false;
    std::string digits = Trim(std::string(line.substr(5)));
    if (digits.empty() || digits.size() > 15 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    size = std::stoll(digits);
    return true;
}

class TScanner {
public:
    TScanner(std::string_view text, std::string subject, std::string origin)
        : cursor_(text), subject_(std::move(subject)), origin_(std::move(origin))
    {
    }

    std::vector<TUUPiece> Run()
    {
        std::string_view line;
        for (TLineCursor before = cursor_; cursor_.Next(line); before = cursor_) {
            if (line.empty()) continue;
            if (line.size() > 8 && (line[0] == 'S' || line[0] == 's') && StartsWithNoCase(line, "subject:")) {
                subject_ = Trim(std::string(line.substr(8)));
            } else if ((line[0] == 'b' || line[0] == 'B') && IsBeginLine(std::string(line))) {
                Open(std::string(TrimRightView(line)));
                Data();
            } else if (line[0] == 'M' && line.size() <= kFullChars + 1 && IsUUText(line) &&
                       (IsFullShape(line) || FullLineFollows())) {
                Open({});
                Take(line);
                Data();
            } else if (UULineCount(line) > 0 && UULineCount(line) < kFullCount && IsUUText(line)) {
                // A last part may hold nothing but the short last line: it
                // counts when the end follows it.
                TLineCursor after = cursor_;
                cursor_ = before;
                Open({});
                Data();
                if (pieces_.back().lines == 0) {
                    pieces_.pop_back();
                    cursor_ = after;
                }
            }
        }
        return std::move(pieces_);
    }

private:
    void Open(std::string beginLine)
    {
        pieces_.emplace_back();
        TUUPiece& p = pieces_.back();
        p.subject = subject_;
        p.beginLine = std::move(beginLine);
        p.origin = origin_;
        // The data is 3/4 of the text at most: one allocation, no copies.
        p.data.reserve(std::min(cursor_.Remaining() / 4 * 3 + 64, kMaxMessageSize + 64));
    }

    bool TakeFull(std::string_view line)
    {
        TUUPiece& p = pieces_.back();
        if (!UUDecodeFullLineTo(line, p.data)) return false;
        if (p.data.size() > kMaxMessageSize) throw EMessageTooLarge(TooLargeOutputMessage());
        p.endsShort = false;
        ++p.lines;
        return true;
    }

    void Take(std::string_view line)
    {
        TUUPiece& p = pieces_.back();
        size_t before = p.data.size();
        try {
            UUDecodeLineTo(line, p.data);
        } catch (const ECodecError& e) {
            throw ECodecError(std::string(e.what()) + " in line " + std::to_string(cursor_.Number()));
        }
        if (p.data.size() > kMaxMessageSize) throw EMessageTooLarge(TooLargeOutputMessage());
        p.endsShort = p.data.size() - before < kFullCount;
        ++p.lines;
    }

    // The data lines after the piece's first line, up to the end or the
    // first line that is no data.
    void Data()
    {
        std::string_view line, next;
        for (;;) {
            // Nearly every line is a whole, clean data line: taken at once.
            TLineCursor before = cursor_;
            if (cursor_.NextOfLength(kFullChars, line) && TakeFull(line)) continue;
            cursor_ = before;
            if (!cursor_.Next(line)) return;
            cursor_ = before;
            int count = UULineCount(line);
            bool nextExists = false;
            if (count == kFullCount && line.size() <= kFullChars + 1) {
                // A broken full line is an error only with data after it;
                // otherwise it is the mail's own text after the data.
                if (!IsUUText(line) && !DataFollows(2)) return;
                cursor_.Next(line);
                Take(line);
                continue;
            }
            if (IsEndLine(line)) {
                cursor_.Next(line);
                Close();
                return;
            }
            if (IsTerminator(line)) {
                TLineCursor after = cursor_;
                after.Next(line);
                nextExists = after.Next(next);
                if (line == "`" || (nextExists && IsEndLine(next))) {
                    cursor_.Next(line);
                    if (nextExists && IsEndLine(next)) cursor_.Next(next);
                    Close();
                }
                return;
            }
            // The short last line counts only when the end follows it.
            if (count < 0 || count > kFullCount || line.size() - 1 > EncodedChars(count) + 1 || !IsUUText(line)) return;
            TLineCursor after = cursor_;
            after.Next(line);
            std::string_view third;
            if (!after.Next(next)) return;
            bool ends = IsEndLine(next) || (IsTerminator(next) && (next == "`" || (after.Next(third) && IsEndLine(third))));
            if (!ends) return;
            cursor_.Next(line);
            Take(line);
        }
    }

    // A first line that lost its trailing blanks starts the data too when a
    // full line follows it.
    bool FullLineFollows() const
    {
        TLineCursor c = cursor_;
        std::string_view line;
        return c.Next(line) && IsFullShape(line) && IsUUText(line);
    }

    // True when the line skip lines on is data or the end.
    bool DataFollows(int skip) const
    {
        TLineCursor c = cursor_;
        std::string_view line;
        for (int i = 0; i < skip; ++i)
            if (!c.Next(line)) return false;
        return (IsFullShape(line) && IsUUText(line)) || IsEndLine(line) || line == "`";
    }

    void Close()
    {
        TUUPiece& p = pieces_.back();
        p.hasEnd = true;
        std::string_view line;
        TLineCursor c = cursor_;
        while (c.Next(line) && Trim(std::string(line)).empty()) {
        }
        long long size = -1;
        if (IsSizeLine(line, size)) {
            p.size = size;
            cursor_ = c;
        }
    }

    TLineCursor cursor_;
    std::string subject_;
    std::string origin_;
    std::vector<TUUPiece> pieces_;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct TCandidate {
    size_t from, to;
    int number, total;
    bool strong;
};

// Reads digits at pos; -1 when none or too many.
long long Digits(const std::string& s, size_t& pos)
{
    size_t start = pos;
    while (pos < s.size() && IsDigit(s[pos])) ++pos;
    if (pos == start || pos - start > 6) return -1;
    return std::stoll(s.substr(start, pos - start));
}

void SkipBlanks(const std::string& s, size_t& pos)
{
    while (pos < s.size() && s[pos] == ' ') ++pos;
}

} // namespace

std::vector<TUUPiece> ScanUUPieces(std::string_view text, const std::string& subject, const std::string& origin)
{
    return TScanner(text, subject, origin).Run();
}

std::string UUBeginName(const std::string& beginLine)
{
    std::string rest = Trim(beginLine.size() > 5 ? beginLine.substr(5) : std::string());
    size_t pos = 0;
    while (pos < rest.size() && rest[pos] != ' ') ++pos;
    rest = Trim(rest.substr(pos));
    if (!rest.empty() && rest[0] == '"') {
        size_t close = rest.find('"', 1);
        return close == std::string::npos ? std::string() : rest.substr(1, close - 1);
    }
    return rest;
}

std::string SubjectKey(const std::string& subject)
{
    std::string s = LowerCase(Trim(subject));
    for (bool again = true; again;) {
        again = false;
        for (const char* prefix : {"re:", "fwd:", "fw:"}) {
            if (s.starts_with(prefix)) {
                s = Trim(s.substr(std::strlen(prefix)));
                again = true;
            }
        }
    }
    std::string out;
    for (char c : s) {
        if (c == ' ' || c == '\t') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    return Trim(out);
}

TPartNumber ParsePartNumber(const std::string& subject)
{
    const std::string lower = LowerCase(subject);
    std::vector<TCandidate> found;
    for (size_t i = 0; i < lower.size(); ++i) {
        if (!IsDigit(lower[i]) || (i > 0 && IsDigit(lower[i - 1]))) continue;
        size_t pos = i;
        long long n = Digits(lower, pos);
        SkipBlanks(lower, pos);
        bool slash = pos < lower.size() && lower[pos] == '/';
        bool of = !slash && lower.compare(pos, 3, "of ") == 0;
        if (!slash && !of) continue;
        pos += slash ? 1 : 2;
        SkipBlanks(lower, pos);
        long long m = Digits(lower, pos);
        if (n < 1 || m < n || (pos < lower.size() && IsDigit(lower[pos]))) continue;
        size_t from = i, to = pos;
        // "part 2 of 5" and bracketed forms are part numbers for sure; a bare
        // "2/5" might be a date.
        bool strong = false;
        size_t back = from;
        while (back > 0 && lower[back - 1] == ' ') --back;
        if (back >= 4 && lower.compare(back - 4, 4, "part") == 0) {
            from = back - 4;
            strong = true;
        }
        if (from > 0 && (lower[from - 1] == '(' || lower[from - 1] == '[') && to < lower.size() &&
            (lower[to] == ')' || lower[to] == ']')) {
            --from;
            ++to;
            strong = true;
        }
        if (of && !strong) continue;
        found.push_back({from, to, static_cast<int>(n), static_cast<int>(m), strong});
    }
    TPartNumber result;
    const TCandidate* pick = nullptr;
    for (const auto& c : found)
        if (c.strong || !pick || !pick->strong) pick = &c;
    if (!pick) {
        result.key = SubjectKey(subject);
        return result;
    }
    result.number = pick->number;
    result.total = pick->total;
    result.key = SubjectKey(subject.substr(0, pick->from) + " " + subject.substr(pick->to));
    return result;
}
