// Reading header lines of a mail that came in: values, address lists,
// parameters and encoded words.
#include <algorithm>
#include <cctype>

#include "core/strutil.h"
#include "mail/base64.h"
#include "mail/codecerror.h"
#include "mail/msdecoder.h"

namespace {

bool IsContinuation(const std::string& line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

std::string WithColon(std::string name)
{
    if (name.empty() || name.back() != ':') name += ':';
    return name;
}

// The first header line of that name, its continuation lines joined to it
// with one blank each; false when there is none. text is what follows the
// colon.
bool JoinedHeader(const TmsHeaders& headers, const std::string& name, std::string& text)
{
    for (size_t i = 0; i < headers.size(); ++i) {
        if (!StartsWithNoCase(headers[i], name)) continue;
        text = headers[i].substr(name.size());
        for (size_t j = i + 1; j < headers.size(); ++j) {
            const std::string& next = headers[j];
            if (!IsContinuation(next) && next.find(':') != std::string::npos) break;
            text += ' ' + Trim(next);
        }
        return true;
    }
    return false;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string DecodeQWord(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '_') {
            out += ' ';
        } else if (c == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// Splits at the separator, except where it stands inside double quotes.
std::vector<std::string> SplitOutsideQuotes(const std::string& text, char separator)
{
    std::vector<std::string> pieces(1);
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        if (c == separator && !quoted)
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    return pieces;
}

} // namespace

std::string DecodeEncodedWords(const std::string& value)
{
    std::string out;
    size_t pos = 0;
    bool afterWord = false;
    while (pos < value.size()) {
        size_t start = value.find("=?", pos);
        size_t q1 = start == std::string::npos ? start : value.find('?', start + 2);
        if (q1 == std::string::npos || q1 + 2 >= value.size()) break;
        char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(value[q1 + 1])));
        // The closing "?=" is looked for only once the word looks right, and
        // a search that fails ends the decoding: no later word can close
        // either. Either way no stretch of the value is searched twice.
        bool word = value[q1 + 2] == '?' && (kind == 'B' || kind == 'Q');
        size_t end = word ? value.find("?=", q1 + 3) : std::string::npos;
        if (word && end == std::string::npos) break;
        if (!word) {
            // Not a word: the text stays as it is.
            out.append(value, pos, start + 2 - pos);
            pos = start + 2;
            afterWord = false;
            continue;
        }
        std::string between = value.substr(pos, start - pos);
        // Blanks between two encoded words only separate them.
        if (!(afterWord && Trim(between).empty())) out += between;
        std::string_view text(value.data() + q1 + 3, end - q1 - 3);
        try {
            out += kind == 'B' ? Base64DecodeLine(text) : DecodeQWord(text);
        } catch (const ECodecError&) {
            out.append(value, start, end + 2 - start);
        }
        pos = end + 2;
        afterWord = true;
    }
    if (pos < value.size()) out.append(value, pos, std::string::npos);
    return out;
}

std::string HeaderValue(const TmsHeaders& headers, std::string name)
{
    name = WithColon(name);
    std::string text;
    if (!JoinedHeader(headers, name, text)) return {};
    std::string value = Trim(text);
    if (SameText(name, "CONTENT-TYPE:") || SameText(name, "X-UIDL:")) return value;
    if (value.size() > 255) value.resize(255);
    return DecodeEncodedWords(value);
}

std::vector<std::string> HeaderAddresses(const TmsHeaders& headers, std::string name)
{
    std::string text;
    std::vector<std::string> result;
    if (!JoinedHeader(headers, WithColon(name), text)) return result;
    for (const std::string& piece : SplitOutsideQuotes(text, ',')) {
        std::string address = DecodeEncodedWords(Trim(piece));
        if (!address.empty()) result.push_back(address);
    }
    return result;
}

std::string Unquote(const std::string& text)
{
    std::string s = Trim(text);
    size_t b = 0, e = s.size();
    while (b < e && s[b] == '"') ++b;
    while (e > b && s[e - 1] == '"') --e;
    return s.substr(b, e - b);
}

void ParseAddress(const std::string& text, TmsMailAddress& address)
{
    std::string name, mail;
    size_t lt = text.find('<');
    size_t paren = text.find('(');
    if (lt != std::string::npos) {
        size_t gt = text.find('>', lt);
        if (gt == std::string::npos) throw EMessageParserError("Unable to parse email address");
        mail = text.substr(lt + 1, gt - lt - 1);
        name = text.substr(0, lt) + text.substr(gt + 1);
    } else if (paren != std::string::npos) {
        mail = text.substr(0, paren);
        name = Trim(text.substr(paren + 1));
        if (!name.empty() && name.back() == ')') name.pop_back();
    } else {
        mail = text;
    }
    address.SetName(Unquote(name));
    address.SetAddress(Unquote(mail));
}

namespace {

// %XX sequences of an RFC 2231 value replaced by their bytes.
std::string PercentDecoded(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() + 0 && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Latin1ToUtf8(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string FromCharset(const std::string& charset, const std::string& bytes)
{
    std::string cs = LowerCase(charset);
    if (cs == "iso-8859-1" || cs == "latin1" || cs == "latin-1" || cs == "iso8859-1") return Latin1ToUtf8(bytes);
    return bytes;
}

std::string ParameterText(const std::string& raw)
{
    std::string v = Trim(raw);
    if (!v.empty() && v[0] == '"') {
        size_t close = v.find('"', 1);
        return v.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    return v;
}

// One RFC 2231 piece: "name*", "name*N" or "name*N*" (section -1 for the
// first form); false when key is another parameter.
bool ExtendedKey(const std::string& key, const std::string& name, int& section, bool& encoded)
{
    if (key.size() <= name.size() || !StartsWithNoCase(key, name) || key[name.size()] != '*') return false;
    std::string rest = key.substr(name.size() + 1);
    encoded = rest.empty() || rest.back() == '*';
    if (!rest.empty() && rest.back() == '*') rest.pop_back();
    if (rest.empty()) {
        section = -1;
        return encoded;
    }
    if (rest.size() > 4 || rest.find_first_not_of("0123456789") != std::string::npos) return false;
    section = std::stoi(rest);
    return true;
}

} // namespace

std::string HeaderParameter(const std::string& value, const std::string& name)
{
    std::vector<std::string> pieces = SplitOutsideQuotes(value, ';');
    std::string plain;
    bool havePlain = false;
    std::vector<std::pair<int, std::pair<bool, std::string>>> sections;
    for (size_t i = 1; i < pieces.size(); ++i) {
        const std::string& piece = pieces[i];
        size_t eq = piece.find('=');
        if (eq == std::string::npos) continue;
        std::string key = Trim(piece.substr(0, eq));
        int section = 0;
        bool encoded = false;
        if (SameText(key, name)) {
            if (!havePlain) plain = ParameterText(piece.substr(eq + 1));
            havePlain = true;
        } else if (ExtendedKey(key, name, section, encoded)) {
            sections.push_back({section, {encoded, ParameterText(piece.substr(eq + 1))}});
        }
    }
    if (sections.empty()) return plain;
    std::stable_sort(sections.begin(), sections.end(), [](auto& a, auto& b) { return a.first < b.first; });
    // The charset and language stand before the first section's text.
    std::string charset, out;
    for (size_t i = 0; i < sections.size(); ++i) {
        auto [encoded, text] = sections[i].second;
        if (encoded && i == 0) {
            size_t q1 = text.find('\'');
            size_t q2 = q1 == std::string::npos ? q1 : text.find('\'', q1 + 1);
            if (q2 != std::string::npos) {
                charset = text.substr(0, q1);
                text = text.substr(q2 + 1);
            }
        }
        out += encoded ? PercentDecoded(text) : text;
    }
    return FromCharset(charset, out);
}

std::string WithoutComments(const std::string& value)
{
    std::string out;
    int depth = 0;
    for (char c : value) {
        if (c == '(') ++depth;
        else if (c == ')' && depth > 0) --depth;
        else if (depth == 0 && c != ' ' && c != '\t') out += c;
    }
    return out;
}
