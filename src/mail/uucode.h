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
// The same, appended to out: joining the lines of a file costs no copy.
void UUDecodeLineTo(std::string_view line, std::string& out);
// A full line (count "M", at least 60 characters after it) appended to out;
// false, with out unchanged, when a character is no UU character. The fast
// path of joining a file's lines.
bool UUDecodeFullLineTo(std::string_view line, std::string& out);
// The count a data line announces (0 to 63), or -1 when its first character
// is no UU character.
int UULineCount(std::string_view line);
// True when every character is a UU character (blank to back-quote).
bool IsUUText(std::string_view text);
