// The INI reader on any file, and one write into it. Input: the file's text,
// then NUL, section, NUL, key, NUL, value. Every key the file lists reads the
// same after the write unless it is the one written, which reads back as
// written (trimmed, one pair of quotes taken off, line breaks as blanks).
#include <map>
#include <utility>

#include "core/fileutil.h"
#include "core/profile.h"
#include "core/strutil.h"
#include "fuzzsupport.h"

namespace {

constexpr size_t kMaxKeysChecked = 64;

using TValues = std::map<std::pair<std::string, std::string>, std::string>;

TValues ReadAll(const TIniFile& ini)
{
    TValues values;
    for (const std::string& section : ini.ReadSections())
        for (const std::string& key : ini.ReadSection(section)) {
            if (values.size() == kMaxKeysChecked) return values;
            values[{section, key}] = ini.ReadString(section, key, "\x01missing");
        }
    return values;
}

// A name the file format can hold: not blank, on one line, and (for keys)
// neither holding "=" nor looking like a comment or a section.
bool PlainName(const std::string& name, bool isKey)
{
    std::string t = Trim(name);
    if (t.empty() || t.find_first_of("\r\n") != std::string::npos) return false;
    if (!isKey) return t.find(']') == std::string::npos;
    return t.find('=') == std::string::npos && t[0] != ';' && t[0] != '[';
}

std::string AsRead(std::string value)
{
    for (char& c : value)
        if (c == '\r' || c == '\n') c = ' ';
    value = Trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts = SplitInput(input, std::string_view("\0", 1));
    parts.resize(4);
    const std::string& section = parts[1];
    const std::string& key = parts[2];
    const std::string& value = parts[3];

    static const std::string path = Sandbox().program + "fuzz.ini";
    WriteFileString(path, parts[0]);
    TIniFile ini(path);
    TValues before = ReadAll(ini);
    ini.ReadInteger(section, key, 7);
    if (!PlainName(section, false) || !PlainName(key, true)) return 0;

    ini.WriteString(section, key, value);
    FUZZ_CHECK(ini.ReadString(section, key, "\x01missing") == AsRead(value), "the key written reads back otherwise");
    for (const auto& [name, old] : before) {
        if (SameText(Trim(name.first), Trim(section)) && SameText(Trim(name.second), Trim(key))) continue;
        FUZZ_CHECK(ini.ReadString(name.first, name.second, "\x01missing") == old,
                   "writing [" + section + "] " + key + " changed [" + name.first + "] " + name.second);
    }
    return 0;
}
