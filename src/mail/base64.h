#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Base64 with the standard alphabet; the last group is completed with "=".

// Characters Base64Encode produces for size bytes.
size_t Base64EncodedSize(size_t size);
// Appends the encoding of data to out, without line breaks.
void Base64Encode(std::string_view data, std::string& out);
std::string Base64Encode(std::string_view data);
// Appends the mail form to out: 57 bytes to a line of 76 characters, the last
// line holding the rest, every line ended by CR LF. No data gives no lines.
void Base64EncodeLines(std::string_view data, std::string& out);

// One encoded line (no line end). "=" counts as 0 and every "=" at the end
// drops one byte; any other character outside the alphabet raises
// ECodecError "Invalid Character".
std::string Base64DecodeLine(std::string_view line);
// Several lines separated by CR LF, CR or LF, each decoded as above.
std::string Base64Decode(std::string_view text);

// Base64 as mail carries it (RFC 2045): one stream across line breaks, so a
// group may continue on the next line, and every character outside the
// alphabet is skipped. "=" closes a group; bits left over that make no whole
// byte are dropped.
class TBase64Stream {
public:
    // Appends the bytes of text to out.
    void Feed(std::string_view text, std::string& out);

private:
    uint32_t bits_ = 0;
    int held_ = 0;
};
