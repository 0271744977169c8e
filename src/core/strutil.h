#pragma once
#include <string>
#include <string_view>
#include <vector>

// Everything after the last "." of the URL; "" when it ends in "/" or has no
// dot. Slashes are no boundary: "http://a.b/c" gives "b/c".
std::string ExtractUrlExtension(const std::string& url);
// 1-based position of the second occurrence of sub in text; 0 when fewer.
int PosOfSecond(const std::string& sub, const std::string& text);

std::string LowerCase(std::string s);
std::string UpperCase(std::string s);
// Blanks and control characters off both ends (bytes <= ' ').
std::string Trim(const std::string& s);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool SameText(std::string_view a, std::string_view b);
// 1-based position of sub in text; 0 when absent.
int Pos(const std::string& sub, const std::string& text);
// Every marker in text replaced by replacement, in one pass from the left:
// a replacement that itself holds the marker is not replaced again.
std::string ReplaceAll(const std::string& text, const std::string& marker, const std::string& replacement);
// The lines of a CR LF text; a final CR LF ends the last line, it starts no
// empty one.
std::vector<std::string> SplitCrLf(const std::string& text);
// Decimal, or hexadecimal after "0x"/"0X"; def when not a number.
long long StrToIntDef(const std::string& text, long long def);
