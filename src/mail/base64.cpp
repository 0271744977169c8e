#include "mail/base64.h"

#include <array>

#include "mail/codecerror.h"
#include "mail/sixbit.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr TSixBitPairs kPairs([](int v) { return kAlphabet[v]; });
constexpr size_t kLineBytes = 57;
constexpr size_t kLineChars = 76;

// Value of each character; -1 outside the alphabet. "=" is handled apart.
constexpr std::array<int8_t, 256> kValues = [] {
    std::array<int8_t, 256> t{};
    t.fill(-1);
    for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    return t;
}();

// Writes the encoding of data at dst; returns the end.
char* EncodeAt(const unsigned char* src, size_t size, char* dst)
{
    size_t whole = size / 3 * 3;
    for (size_t i = 0; i < whole; i += 3, dst += 4) kPairs.Encode3(src + i, dst);
    size_t rest = size - whole;
    if (rest) {
        kPairs.EncodeTail(src + whole, rest, dst);
        dst[3] = '=';
        if (rest == 1) dst[2] = '=';
        dst += 4;
    }
    return dst;
}

} // namespace

size_t Base64EncodedSize(size_t size) { return (size + 2) / 3 * 4; }

void Base64Encode(std::string_view data, std::string& out)
{
    size_t start = out.size();
    out.resize(start + Base64EncodedSize(data.size()));
    EncodeAt(reinterpret_cast<const unsigned char*>(data.data()), data.size(), out.data() + start);
}

std::string Base64Encode(std::string_view data)
{
    std::string out;
    Base64Encode(data, out);
    return out;
}

void Base64EncodeLines(std::string_view data, std::string& out)
{
    size_t fullLines = data.size() / kLineBytes;
    size_t rest = data.size() - fullLines * kLineBytes;
    size_t start = out.size();
    out.resize(start + fullLines * (kLineChars + 2) + (rest ? Base64EncodedSize(rest) + 2 : 0));
    auto src = reinterpret_cast<const unsigned char*>(data.data());
    char* dst = out.data() + start;
    for (size_t line = 0; line < fullLines; ++line, src += kLineBytes) {
        dst = EncodeAt(src, kLineBytes, dst);
        *dst++ = '\r';
        *dst++ = '\n';
    }
    if (rest) {
        dst = EncodeAt(src, rest, dst);
        *dst++ = '\r';
        *dst++ = '\n';
    }
}

std::string Base64DecodeLine(std::string_view line)
{
    std::string out;
    out.reserve(line.size() / 4 * 3 + 3);
    uint32_t bits = 0;
    int held = 0;
    for (char ch : line) {
        int v = ch == '=' ? 0 : kValues[static_cast<unsigned char>(ch)];
        if (v < 0) throw ECodecError("Invalid Character");
        bits = (bits << 6) | static_cast<uint32_t>(v);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out.push_back(static_cast<char>((bits >> held) & 0xFF));
        }
    }
    size_t pad = 0;
    while (pad < line.size() && line[line.size() - 1 - pad] == '=') ++pad;
    out.resize(out.size() > pad ? out.size() - pad : 0);
    return out;
}

std::string Base64Decode(std::string_view text)
{
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        out += Base64DecodeLine(text.substr(pos, end - pos));
        pos = end;
        if (pos < text.size() && text[pos] == '\r') ++pos;
        if (pos < text.size() && text[pos] == '\n') ++pos;
    }
    return out;
}

void TBase64Stream::Feed(std::string_view text, std::string& out)
{
    out.reserve(out.size() + text.size() / 4 * 3 + 3);
    for (char ch : text) {
        if (ch == '=') {
            // The pad closes the group: the bits it completes are no data.
            // Data after it is decoded as a stream of its own, as mailers
            // that join encoded pieces send it.
            held_ = 0;
            continue;
        }
        int v = kValues[static_cast<unsigned char>(ch)];
        if (v < 0) continue;
        bits_ = (bits_ << 6) | static_cast<uint32_t>(v);
        held_ += 6;
        if (held_ >= 8) {
            held_ -= 8;
            out.push_back(static_cast<char>((bits_ >> held_) & 0xFF));
        }
    }
}
