#include "core/profile.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

#include "core/exception.h"
#include "core/fileutil.h"
#include "core/strutil.h"

namespace {
const std::string kBom = "\xEF\xBB\xBF";

struct TLine {
    std::string text;
    std::string eol;   // "" only for a last line without a line end
};

struct TProfileText {
    std::string bom;   // an editor's byte order mark, kept on rewrite
    std::vector<TLine> lines;
};

TProfileText Parse(const std::string& text)
{
    TProfileText parsed;
    size_t i = 0;
    if (text.compare(0, kBom.size(), kBom) == 0) {
        parsed.bom = kBom;
        i = kBom.size();
    }
    while (i < text.size()) {
        size_t e = text.find_first_of("\r\n", i);
        if (e == std::string::npos) {
            parsed.lines.push_back({text.substr(i), ""});
            break;
        }
        size_t eolLength = (text[e] == '\r' && e + 1 < text.size() && text[e + 1] == '\n') ? 2 : 1;
        parsed.lines.push_back({text.substr(i, e - i), text.substr(e, eolLength)});
        i = e + eolLength;
    }
    return parsed;
}

std::string Join(const TProfileText& parsed)
{
    std::string text = parsed.bom;
    for (const auto& l : parsed.lines) text += l.text + l.eol;
    return text;
}

// A missing or unreadable file reads as an empty one.
TProfileText Load(const std::string& path)
{
    try {
        return Parse(ReadFileString(path));
    } catch (const std::exception&) {
        return {};
    }
}

bool HeaderName(const std::string& line, std::string& name)
{
    std::string t = Trim(line);
    if (t.empty() || t[0] != '[') return false;
    auto close = t.rfind(']');
    if (close == std::string::npos) return false;
    name = Trim(t.substr(1, close - 1));
    return true;
}

// "key=value" outside comments; value is the raw text after the first "=".
bool KeyLine(const std::string& line, std::string& key, std::string& value)
{
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '[') return false;
    auto eq = t.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(t.substr(0, eq));
    if (key.empty()) return false;
    value = t.substr(eq + 1);
    return true;
}

std::string CleanValue(const std::string& raw)
{
    std::string v = Trim(raw);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

bool FindValue(const TProfileText& parsed, const std::string& section, const std::string& key, std::string& value)
{
    std::string wantSection = Trim(section), wantKey = Trim(key);
    bool inSection = false;
    std::string name, k, v;
    for (const auto& l : parsed.lines) {
        if (HeaderName(l.text, name)) {
            inSection = SameText(name, wantSection);
            continue;
        }
        if (inSection && KeyLine(l.text, k, v) && SameText(k, wantKey)) {
            value = CleanValue(v);
            return true;
        }
    }
    return false;
}

// Through a temporary file: a full disk must not leave the user's settings
// cut short.
void Store(const std::string& path, const std::string& text)
{
    try {
        ReplaceFileContents(path, text);
    } catch (const EInOutError& e) {
        throw EInOutError(path + ": " + e.what());
    }
}

// A line break in a value would end its line and start another, possibly a
// section or key the user never wrote: each one is stored as a blank.
std::string OneLine(std::string value)
{
    for (char& c : value)
        if (c == '\r' || c == '\n') c = ' ';
    return value;
}
} // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const
{
    std::string value;
    return FindValue(Load(fileName_), section, key, value) ? value : def;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const
{
    std::string value;
    if (!FindValue(Load(fileName_), section, key, value)) return def;
    return ProfileStrToInt(value, def);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) const
{
    // Read strictly: a file that exists but cannot be read must not be
    // replaced by one holding just this key.
    std::string before = ReadFileString(fileName_);
    TProfileText parsed = Parse(before);
    std::string wantSection = Trim(section), wantKey = Trim(key);
    std::string newLine = wantKey + "=" + OneLine(value);

    int keyLine = -1, insertAfter = -1, occurrence = -1;
    bool inSection = false;
    std::string name, k, v;
    for (int i = 0; i < static_cast<int>(parsed.lines.size()); ++i) {
        const std::string& text = parsed.lines[static_cast<size_t>(i)].text;
        if (HeaderName(text, name)) {
            inSection = SameText(name, wantSection);
            if (inSection && ++occurrence == 0) insertAfter = i;
            continue;
        }
        if (!inSection) continue;
        // New keys go after the last line of the section's first occurrence,
        // ahead of the blank lines that part it from the next section.
        if (occurrence == 0 && !Trim(text).empty()) insertAfter = i;
        if (keyLine < 0 && KeyLine(text, k, v) && SameText(k, wantKey)) keyLine = i;
    }

    auto endLine = [](TLine& l) {
        if (l.eol.empty()) l.eol = "\r\n";
    };
    if (keyLine >= 0) {
        parsed.lines[static_cast<size_t>(keyLine)].text = newLine;
    } else if (insertAfter >= 0) {
        endLine(parsed.lines[static_cast<size_t>(insertAfter)]);
        parsed.lines.insert(parsed.lines.begin() + insertAfter + 1, TLine{newLine, "\r\n"});
    } else {
        if (!parsed.lines.empty()) endLine(parsed.lines.back());
        parsed.lines.push_back({"[" + wantSection + "]", "\r\n"});
        parsed.lines.push_back({newLine, "\r\n"});
    }
    std::string after = Join(parsed);
    if (after != before || !FileExists(fileName_)) Store(fileName_, after);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) const
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) const
{
    WriteString(section, key, value ? "1" : "0");
}

std::vector<std::string> TIniFile::ReadSections() const
{
    std::vector<std::string> names;
    std::string name;
    for (const auto& l : Load(fileName_).lines) {
        if (!HeaderName(l.text, name)) continue;
        bool known = false;
        for (const auto& n : names) known = known || SameText(n, name);
        if (!known) names.push_back(name);
    }
    return names;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const
{
    std::vector<std::string> keys;
    std::string wantSection = Trim(section), name, k, v;
    bool inSection = false;
    for (const auto& l : Load(fileName_).lines) {
        if (HeaderName(l.text, name)) {
            inSection = SameText(name, wantSection);
            continue;
        }
        if (!inSection || !KeyLine(l.text, k, v)) continue;
        bool known = false;
        for (const auto& n : keys) known = known || SameText(n, k);
        if (!known) keys.push_back(k);
    }
    return keys;
}

TMemIniFile::TMemIniFile(const std::string& text)
{
    std::unordered_map<std::string, std::string>* current = nullptr;
    std::string name, k, v;
    for (const auto& l : Parse(text).lines) {
        if (HeaderName(l.text, name)) {
            auto [at, added] = values_.try_emplace(LowerCase(name));
            if (added) sections_.push_back(name);
            current = &at->second;
            continue;
        }
        if (current && KeyLine(l.text, k, v)) current->try_emplace(LowerCase(k), CleanValue(v));
    }
}

const std::string* TMemIniFile::Find(const std::string& section, const std::string& key) const
{
    auto s = values_.find(LowerCase(Trim(section)));
    if (s == values_.end()) return nullptr;
    auto k = s->second.find(LowerCase(Trim(key)));
    return k == s->second.end() ? nullptr : &k->second;
}

std::string TMemIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const
{
    const std::string* value = Find(section, key);
    return value ? *value : def;
}

int TMemIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const
{
    const std::string* value = Find(section, key);
    return value ? ProfileStrToInt(*value, def) : def;
}

int ProfileStrToInt(const std::string& text, int def)
{
    size_t i = 0, n = text.size();
    while (i < n && static_cast<unsigned char>(text[i]) <= ' ') ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (i + 2 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
        base = 16;
        i += 2;
    } else if (i >= n || !std::isdigit(static_cast<unsigned char>(text[i]))) {
        return def;
    }
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long v = 0;
    for (; i < n; ++i) {
        int c = static_cast<unsigned char>(text[i]);
        int digit;
        if (std::isdigit(c))
            digit = c - '0';
        else if (base == 16 && std::isxdigit(c))
            digit = std::tolower(c) - 'a' + 10;
        else
            break;
        v = v * base + digit;
        if (v > limit) v = limit;
    }
    return static_cast<int>(negative ? -v : v);
}

std::string SettingsIniPath()
{
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        // Relative XDG paths are to be ignored; HOME may be unset in a
        // service, where the password entry still knows the home folder.
        const char* home = std::getenv("HOME");
        std::string h = home && *home ? home : "";
        if (h.empty()) {
            if (const passwd* pw = ::getpwuid(::getuid())) h = pw->pw_dir ? pw->pw_dir : "";
        }
        base = h + "/.config";
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    std::string folder = base + "/tolvar";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder + "/TOLVAR.INI";
}
