// The three codecs. Decoding any text either gives bytes or raises
// ECodecError; encoding any bytes and decoding the result gives the bytes back.
#include "fuzzsupport.h"
#include "mail/base64.h"
#include "mail/codecerror.h"
#include "mail/qpcode.h"
#include "mail/uucode.h"

namespace {

std::vector<std::string> CrLfLines(const std::string& text)
{
    std::vector<std::string> lines = SplitInput(text, "\r\n");
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

// Line breaks as the QP decoder gives them back: CR LF, CR and LF each one CR LF.
std::string WithCrLfBreaks(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += "\r\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

void Base64RoundTrip(std::string_view data)
{
    FUZZ_CHECK(Base64DecodeLine(Base64Encode(data)) == data, "base64 line round trip");
    std::string lines;
    Base64EncodeLines(data, lines);
    FUZZ_CHECK(Base64Decode(lines) == data, "base64 mail lines round trip");
}

void UURoundTrip(std::string_view data)
{
    std::string text;
    UUEncodeLines(data, text);
    std::string back;
    for (const std::string& line : CrLfLines(text)) {
        FUZZ_CHECK(line.find(' ') == std::string::npos, "a UU line holds a blank a transport could strip");
        back += UUDecodeLine(line);
    }
    FUZZ_CHECK(back == data, "UU round trip");
}

void QPRoundTrip(std::string_view data)
{
    std::vector<std::string> lines;
    try {
        lines = QPEncodeLines(data);
    } catch (const ECodecError&) {
        return;  // a paragraph over the limit is refused, not cut
    }
    for (const std::string& line : lines) {
        FUZZ_CHECK(line.size() <= 76, "a quoted-printable line over 76 characters");
        FUZZ_CHECK(line.empty() || (line.back() != ' ' && line.back() != '\t'), "a QP line ends in white space");
    }
    FUZZ_CHECK(QPDecodeLines(lines) == WithCrLfBreaks(data), "quoted-printable round trip");
}

template <class F> void Tolerant(F decode)
{
    try {
        decode();
    } catch (const ECodecError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    Base64RoundTrip(input);
    UURoundTrip(input);
    QPRoundTrip(input);
    Tolerant([&] { Base64Decode(input); });
    std::vector<std::string> lines = SplitInput(input, "\n");
    Tolerant([&] { QPDecodeLines(lines); });
    for (const std::string& line : lines)
        Tolerant([&] {
            std::string bytes = UUDecodeLine(line);
            FUZZ_CHECK(line.empty() || bytes.size() < 64, "a UU line gave more than its count allows");
        });
    return 0;
}
