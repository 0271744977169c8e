#include "mail/qpcode.h"

#include <array>
#include <memory>

#include "mail/codecerror.h"

namespace {

constexpr size_t kCutAt = 65;
// Longest encoded text before a soft break, which makes it 76.
constexpr size_t kMaxEncoded = 75;
constexpr char kHex[] = "0123456789ABCDEF";

constexpr std::array<bool, 256> kEscape = [] {
    std::array<bool, 256> t{};
    for (int c = 0; c < 256; ++c) t[c] = c < 32 || c == '=' || c >= 128;
    return t;
}();

// Encodes paragraphs into a scratch buffer large enough for the worst case of
// the largest paragraph: every byte escaped, each on a line of its own.
class TQPWriter {
public:
    explicit TQPWriter(std::string& out) : out_(out), buf_(new char[6 * kQPParagraphLimit + 8]) {}

    void Paragraph(std::string_view p, bool endsWithBreak)
    {
        dst_ = buf_.get();
        if (p.empty()) {
            Break(false);
        }
        while (p.size() > kCutAt) {
            // The blank nearest the 66th character, never the first one: a
            // cut there would leave an empty line and make no progress.
            size_t cut = p.rfind(' ', kCutAt);
            if (cut == 0 || cut == std::string_view::npos) cut = kCutAt;
            Line(p.substr(0, cut), true);
            p.remove_prefix(cut);
        }
        if (!p.empty()) Line(p, !endsWithBreak);
        out_.append(buf_.get(), static_cast<size_t>(dst_ - buf_.get()));
    }

private:
    void Line(std::string_view line, bool soft)
    {
        size_t width = 0;
        size_t last = line.size() - 1;
        for (size_t i = 0; i <= last; ++i) {
            auto c = static_cast<unsigned char>(line[i]);
            // A blank at the end of a line would be lost to transports that
            // strip trailing white space.
            if (kEscape[c] || (c == ' ' && i == last && !soft)) {
                if (width + 3 > kMaxEncoded) width = SoftBreak();
                dst_[0] = '=';
                dst_[1] = kHex[c >> 4];
                dst_[2] = kHex[c & 15];
                dst_ += 3;
                width += 3;
            } else {
                if (width + 1 > kMaxEncoded) width = SoftBreak();
                *dst_++ = static_cast<char>(c);
                ++width;
            }
        }
        Break(soft);
    }

    size_t SoftBreak()
    {
        Break(true);
        return 0;
    }

    void Break(bool soft)
    {
        if (soft) *dst_++ = '=';
        *dst_++ = '\r';
        *dst_++ = '\n';
    }

    std::string& out_;
    std::unique_ptr<char[]> buf_;
    char* dst_ = nullptr;
};

} // namespace

void QPEncode(std::string_view source, std::string& out)
{
    TQPWriter writer(out);
    size_t pos = 0;
    const size_t n = source.size();
    const char* s = source.data();
    while (pos < n) {
        size_t end = pos;
        while (end < n && s[end] != '\r' && s[end] != '\n') ++end;
        if (end - pos >= kQPParagraphLimit) throw ECodecError("Paragraph is too large");
        writer.Paragraph(source.substr(pos, end - pos), end < n);
        if (end == n) break;
        pos = end + ((s[end] == '\r' && end + 1 < n && s[end + 1] == '\n') ? 2 : 1);
    }
}

std::vector<std::string> QPEncodeLines(std::string_view source)
{
    std::string text;
    QPEncode(source, text);
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

std::string QPDecodeLines(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& raw : lines) {
        std::string_view line = raw;
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        bool soft = !line.empty() && line.back() == '=';
        if (soft) line.remove_suffix(1);
        for (size_t i = 0; i < line.size(); ++i) {
            int hi = -1, lo = -1;
            if (line[i] == '=' && i + 2 < line.size()) {
                hi = HexValue(line[i + 1]);
                lo = HexValue(line[i + 2]);
            }
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
            } else {
                out.push_back(line[i]);
            }
        }
        if (soft) continue;
        if (line.empty() || line.back() != '\x1A') out += "\r\n";
    }
    return out;
}
