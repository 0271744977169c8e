#include "core/strutil.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

std::string ExtractUrlExtension(const std::string& url)
{
    if (url.empty() || url.back() == '/') return {};
    auto dot = url.rfind('.');
    if (dot == std::string::npos) return {};
    return url.substr(dot + 1);
}

int Pos(const std::string& sub, const std::string& text)
{
    auto p = text.find(sub);
    return p == std::string::npos ? 0 : static_cast<int>(p) + 1;
}

int PosOfSecond(const std::string& sub, const std::string& text)
{
    int p = Pos(sub, text);
    if (p == 0) return 0;
    int q = Pos(sub, text.substr(static_cast<size_t>(p) - 1 + sub.size()));
    if (q == 0) return 0;
    return p + static_cast<int>(sub.size()) + q - 1;
}

std::string LowerCase(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string UpperCase(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

std::string Trim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

long long StrToIntDef(const std::string& text, long long def)
{
    if (text.empty()) return def;
    const char* s = text.c_str();
    int base = 10;
    if (text.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s += 2;
    }
    if (!std::isxdigit(static_cast<unsigned char>(*s)) && *s != '-' && *s != '+') return def;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(s, &end, base);
    if (errno != 0 || end == s || *end != '\0') return def;
    return v;
}

std::string ReplaceAll(const std::string& text, const std::string& marker, const std::string& replacement)
{
    if (marker.empty()) return text;
    std::string out;
    out.reserve(text.size());
    size_t from = 0, at;
    while ((at = text.find(marker, from)) != std::string::npos) {
        out.append(text, from, at - from);
        out += replacement;
        from = at + marker.size();
    }
    out.append(text, from, std::string::npos);
    return out;
}

std::vector<std::string> SplitCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}
