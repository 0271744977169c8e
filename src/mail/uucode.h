#pragma once
#include <string>
#include <string_view>

// UU encoding as mail carries it: every 6-bit value v is the character v + 32,
// except 0, which is the back-quote so that no line ends in blanks.

// One data line for at most 45 bytes, without line end: the length character,
// then 60 characters for 45 bytes, else bytes * 4 / 3 + 1 characters.
std::string UUEncodeLine(std::string_view chunk);
// Appends the data lines of all of data to out, 45 bytes a line, each ended by
// CR LF. Neither the "begin" line nor the closing lines are written.
void UUEncodeLines(std::string_view data, std::string& out);

// The bytes of one data line (no line end). The first character is the byte
// count n; the back-quote and the blank are 0, "!" to "_" are 1 to 63, any
// other character raises ECodecError "Invalid Character". For n = 45 only the
// 60 characters after the count are read. A line cut short (mail transports
// strip trailing blanks) is completed with zero bits, so it still gives n bytes.
std::string UUDecodeLine(std::string_view line);
