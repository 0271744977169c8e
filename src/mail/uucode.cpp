#include "mail/uucode.h"

#include <array>

#include "mail/codecerror.h"
#include "mail/sixbit.h"

namespace {

constexpr TSixBitPairs kPairs([](int v) { return static_cast<char>(v ? v + 32 : 96); });
constexpr size_t kLineBytes = 45;
constexpr size_t kLineChars = 60;

char Digit(size_t v) { return static_cast<char>(v ? v + 32 : 96); }

size_t DataChars(size_t count) { return count == kLineBytes ? kLineChars : count * 4 / 3 + 1; }

// Writes one line (length character and data, no line end) at dst; returns the end.
char* EncodeLineAt(const unsigned char* src, size_t count, char* dst)
{
    *dst++ = Digit(count);
    size_t chars = DataChars(count);
    size_t groups = (chars + 3) / 4;
    size_t whole = count / 3;
    if (whole > groups) whole = groups;
    char tail[4];
    for (size_t g = 0; g < whole; ++g) kPairs.Encode3(src + 3 * g, dst + 4 * g);
    if (groups > whole) {
        // The short line's last groups run past the data; they are encoded
        // from zeros and cut to the line's length.
        // By the length rule this is never more than one group.
        unsigned char pad[3] = {};
        for (size_t i = 3 * whole; i < count; ++i) pad[i - 3 * whole] = src[i];
        kPairs.Encode3(pad, tail);
        for (size_t i = 4 * whole; i < chars; ++i) dst[i] = tail[i - 4 * whole];
    }
    return dst + chars;
}

constexpr std::array<bool, 256> kUUChar = [] {
    std::array<bool, 256> t{};
    for (int c = 32; c <= 96; ++c) t[c] = true;
    return t;
}();

// Each character's value, with 64 set for a character outside the alphabet.
constexpr std::array<uint8_t, 256> kValueOrBad = [] {
    std::array<uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c) t[c] = c >= 32 && c <= 96 ? static_cast<uint8_t>((c - 32) & 63) : 64;
    return t;
}();

// The 12 bits of two characters, with 0x1000 set when either is bad.
const std::array<uint16_t, 65536> kPairValue = [] {
    std::array<uint16_t, 65536> t{};
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            uint16_t va = kValueOrBad[a], vb = kValueOrBad[b];
            t[a << 8 | b] = ((va | vb) & 64) ? 0x1000 : static_cast<uint16_t>(va << 6 | vb);
        }
    return t;
}();

int Value(char ch)
{
    auto c = static_cast<unsigned char>(ch);
    if (!kUUChar[c]) throw ECodecError("Invalid Character");
    return (c - 32) & 63;
}

} // namespace

std::string UUEncodeLine(std::string_view chunk)
{
    if (chunk.size() > kLineBytes) chunk = chunk.substr(0, kLineBytes);
    std::string out(1 + DataChars(chunk.size()), '\0');
    EncodeLineAt(reinterpret_cast<const unsigned char*>(chunk.data()), chunk.size(), out.data());
    return out;
}

void UUEncodeLines(std::string_view data, std::string& out)
{
    size_t fullLines = data.size() / kLineBytes;
    size_t rest = data.size() - fullLines * kLineBytes;
    size_t start = out.size();
    out.resize(start + fullLines * (kLineChars + 3) + (rest ? DataChars(rest) + 3 : 0));
    auto src = reinterpret_cast<const unsigned char*>(data.data());
    char* dst = out.data() + start;
    for (size_t line = 0; line <= fullLines; ++line, src += kLineBytes) {
        size_t count = line < fullLines ? kLineBytes : rest;
        if (!count) break;
        dst = EncodeLineAt(src, count, dst);
        *dst++ = '\r';
        *dst++ = '\n';
    }
}

std::string UUDecodeLine(std::string_view line)
{
    std::string out;
    UUDecodeLineTo(line, out);
    return out;
}

int UULineCount(std::string_view line)
{
    if (line.empty() || !kUUChar[static_cast<unsigned char>(line[0])]) return -1;
    return (static_cast<unsigned char>(line[0]) - 32) & 63;
}

bool IsUUText(std::string_view text)
{
    for (char c : text)
        if (!kUUChar[static_cast<unsigned char>(c)]) return false;
    return true;
}

bool UUDecodeFullLineTo(std::string_view line, std::string& out)
{
    if (line.size() < 1 + kLineChars || line[0] != 'M') return false;
    const auto* src = reinterpret_cast<const unsigned char*>(line.data() + 1);
    size_t at = out.size();
    out.resize(at + kLineBytes);
    auto* dst = reinterpret_cast<unsigned char*>(out.data() + at);
    // Two characters at a time, 12 bits each; a bad character is noticed
    // once, at the end.
    uint16_t bad = 0;
    for (size_t g = 0; g < kLineChars; g += 4, dst += 3) {
        uint16_t hi = kPairValue[src[g] << 8 | src[g + 1]], lo = kPairValue[src[g + 2] << 8 | src[g + 3]];
        bad |= hi | lo;
        uint32_t v = (uint32_t(hi & 0xFFF) << 12) | (lo & 0xFFF);
        dst[0] = static_cast<unsigned char>(v >> 16);
        dst[1] = static_cast<unsigned char>(v >> 8);
        dst[2] = static_cast<unsigned char>(v);
    }
    if (bad & 0x1000) {
        out.resize(at);
        return false;
    }
    return true;
}

void UUDecodeLineTo(std::string_view line, std::string& out)
{
    if (line.empty()) return;
    if (UUDecodeFullLineTo(line, out)) return;
    size_t count = static_cast<size_t>(Value(line[0]));
    std::string_view data = line.substr(1);
    if (count == kLineBytes && data.size() > kLineChars) data = data.substr(0, kLineChars);
    const size_t target = out.size() + count;
    uint32_t bits = 0;
    int held = 0;
    for (char ch : data) {
        bits = (bits << 6) | static_cast<uint32_t>(Value(ch));
        held += 6;
        if (held >= 8) {
            held -= 8;
            if (out.size() < target) out.push_back(static_cast<char>((bits >> held) & 0xFF));
        }
    }
    // Characters missing at the end (blanks a transport stripped) count as
    // zero values.
    while (out.size() < target) {
        bits <<= 6;
        held += 6;
        if (held >= 8) {
            held -= 8;
            out.push_back(static_cast<char>((bits >> held) & 0xFF));
        }
    }
}
