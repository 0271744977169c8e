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
        while (cursor_.Next(line)) {
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

size_t TUUFile::Size() const
{
    size_t size = 0;
    for (const TUUPiece* p : parts)
        if (p) size += p->Bytes();
    return size;
}

namespace {

std::string PartList(const std::vector<int>& numbers)
{
    std::string text;
    for (int n : numbers) text += (text.empty() ? "" : ", ") + std::to_string(n);
    return text;
}

// How many parts the bytes lacking would fill, judged by the longest part.
int PartsLacking(const TUUFile& file, size_t lacking)
{
    size_t perPart = 0;
    for (size_t i = 0; i + 1 < file.parts.size(); ++i) perPart = std::max(perPart, file.parts[i]->lines);
    if (perPart == 0) return 1;
    size_t lines = (lacking + kFullCount - 1) / kFullCount;
    return static_cast<int>(std::max<size_t>(1, (lines + perPart - 1) / perPart));
}

void Judge(TUUFile& file, TUUStatus status, std::string reason)
{
    file.status = status;
    file.reason = std::move(reason);
}

} // namespace

void CheckParts(TUUFile& file)
{
    file.missing.clear();
    file.unplaced = 0;
    const size_t count = file.parts.size();
    for (size_t i = 0; i < count; ++i)
        if (!file.parts[i]) file.missing.push_back(static_cast<int>(i + 1));
    if (!file.missing.empty()) {
        std::string of = file.numbered ? " of " + std::to_string(count) : "";
        return Judge(file, TUUStatus::Incomplete,
                     (file.missing.size() == 1 ? "missing part " : "missing parts ") + PartList(file.missing) + of);
    }
    if (file.parts[0]->beginLine.empty())
        return Judge(file, TUUStatus::Failed, "part 1 holds no begin line: the parts are out of order");
    for (size_t i = 0; i + 1 < count; ++i) {
        const std::string n = std::to_string(i + 1);
        if (file.parts[i]->hasEnd)
            return Judge(file, TUUStatus::Failed, "part " + n + " ends the file but more parts follow: the parts are out of order");
        if (file.parts[i]->endsShort)
            return Judge(file, TUUStatus::Failed,
                         "part " + n + " ends with a short data line, which only the last part has: the parts are out of order");
        if (i > 0 && !file.parts[i]->beginLine.empty())
            return Judge(file, TUUStatus::Failed, "part " + n + " starts another file: the parts are out of order");
    }
    const TUUPiece& last = *file.parts[count - 1];
    if (!last.hasEnd) {
        if (file.numbered)
            return Judge(file, TUUStatus::Failed, "part " + std::to_string(count) + ", the last, holds no end line");
        file.missing.push_back(static_cast<int>(count + 1));
        return Judge(file, TUUStatus::Incomplete, "no end line: the last part is missing");
    }
    const size_t have = file.Size();
    if (last.size >= 0 && static_cast<unsigned long long>(last.size) != have) {
        std::string bytes = std::to_string(have) + " of the " + std::to_string(last.size) + " bytes the sender announced";
        if (static_cast<unsigned long long>(last.size) < have)
            return Judge(file, TUUStatus::Failed, "the parts hold " + std::to_string(have) + " bytes, more than the " +
                                                      std::to_string(last.size) + " the sender announced");
        file.unplaced = PartsLacking(file, static_cast<size_t>(last.size) - have);
        return Judge(file, TUUStatus::Incomplete, "the parts hold " + bytes + ": " +
                                                      (file.unplaced == 1 ? "a part is" : std::to_string(file.unplaced) + " parts are") +
                                                      " missing before the last");
    }
    Judge(file, TUUStatus::Complete, {});
}

namespace {

// The begin line's name; a begin line without one gives "att." and the
// file's number, as the message reader names it.
std::string FileNameOf(const TUUFile& file, size_t index)
{
    for (const TUUPiece* p : file.parts)
        if (p && !p->beginLine.empty()) {
            std::string name = SafeFileName(UUBeginName(p->beginLine));
            return name.empty() ? "att." + std::to_string(index) : name;
        }
    for (const TUUPiece* p : file.parts)
        if (p && !p->subject.empty()) return "\"" + p->subject + "\"";
    return "a file without name";
}

// Pieces without part numbers that share a Subject: one begin piece takes
// the others, the one with the end last; several begin pieces are separate
// files, each taking what follows it.
void JoinUnnumbered(const std::vector<const TUUPiece*>& pool, std::vector<TUUFile>& files)
{
    size_t begins = std::count_if(pool.begin(), pool.end(), [](const TUUPiece* p) { return !p->beginLine.empty(); });
    if (begins <= 1) {
        TUUFile file;
        std::vector<const TUUPiece*> middle, ends;
        const TUUPiece* first = nullptr;
        for (const TUUPiece* p : pool) {
            if (!p->beginLine.empty()) first = p;
            else if (p->hasEnd) ends.push_back(p);
            else middle.push_back(p);
        }
        file.parts.push_back(first);
        file.parts.insert(file.parts.end(), middle.begin(), middle.end());
        file.parts.insert(file.parts.end(), ends.begin(), ends.end());
        files.push_back(std::move(file));
        return;
    }
    for (const TUUPiece* p : pool) {
        if (!p->beginLine.empty() || files.empty()) files.emplace_back();
        files.back().parts.push_back(p);
    }
}

} // namespace

std::vector<TUUFile> JoinPieces(const std::vector<TUUPiece>& pieces)
{
    std::vector<TUUFile> files;
    // Groups keep the order in which their first piece was found.
    std::vector<std::pair<std::string, std::vector<const TUUPiece*>>> pools;
    std::map<std::string, size_t> poolIndex;
    std::map<std::pair<std::string, int>, size_t> numberedIndex;
    std::vector<std::pair<size_t, std::vector<const TUUPiece*>>> numbered; // file index, slots
    for (const TUUPiece& piece : pieces) {
        TPartNumber pn = ParsePartNumber(piece.subject);
        if (!piece.beginLine.empty() && piece.hasEnd) {
            files.emplace_back();
            files.back().parts.push_back(&piece);
            continue;
        }
        if (pn.number > 0) {
            auto [it, added] = numberedIndex.try_emplace({pn.key, pn.total}, numbered.size());
            if (added) {
                numbered.push_back({files.size(), std::vector<const TUUPiece*>(static_cast<size_t>(pn.total))});
                files.emplace_back();
                files.back().numbered = true;
            }
            auto& slot = numbered[it->second].second[static_cast<size_t>(pn.number - 1)];
            // A part sent twice: the first copy counts.
            if (!slot) slot = &piece;
            continue;
        }
        std::string key = SubjectKey(piece.subject);
        auto [it, added] = poolIndex.try_emplace(key, pools.size());
        if (added) pools.push_back({key, {}});
        pools[it->second].second.push_back(&piece);
    }
    for (auto& [index, slots] : numbered) files[index].parts = std::move(slots);
    for (auto& [key, pool] : pools) JoinUnnumbered(pool, files);
    for (size_t i = 0; i < files.size(); ++i) {
        TUUFile& file = files[i];
        file.name = FileNameOf(file, i);
        CheckParts(file);
    }
    return files;
}
