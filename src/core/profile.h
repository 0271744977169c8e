#pragma once
#include <string>
#include <unordered_map>
#include <vector>

// INI ("profile") files read and written the way the Windows profile
// functions do it, because the settings file, the server catalogue and its
// companions were made for them:
// - sections and keys are matched without regard to case; a key is found in
//   the first section of its name that holds it, the first line of it wins;
// - a value is the text after the first "=", without surrounding blanks and
//   without one pair of enclosing quotation marks;
// - integers are decimal, or hexadecimal after "0x"; the leading number is
//   read and text that starts with none gives the default; booleans are
//   integers, non-zero being true;
// - a missing or unreadable file, section or key gives the default;
// - a write changes or adds one line and keeps every other line as it was
//   (comments, order, unknown keys, line ends); lines it adds end in CR LF.
// The file is read anew by every call, so edits made meanwhile are seen.
class TIniFile {
public:
    explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
    const std::string& FileName() const { return fileName_; }

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;

    // Raise EInOutError when the file cannot be read back whole or written;
    // the file is then left as it was.
    void WriteString(const std::string& section, const std::string& key, const std::string& value) const;
    void WriteInteger(const std::string& section, const std::string& key, int value) const;
    void WriteBool(const std::string& section, const std::string& key, bool value) const;

    // Section names in file order, each once (under its first spelling).
    std::vector<std::string> ReadSections() const;
    // Key names of a section in file order, each once.
    std::vector<std::string> ReadSection(const std::string& section) const;

private:
    std::string fileName_;
};

// A profile text read once and kept, for a caller that reads many keys in
// one go (the catalogue's sections at start): the reading rules of TIniFile,
// at the cost of one pass over the text instead of one pass per key.
class TMemIniFile {
public:
    explicit TMemIniFile(const std::string& text);
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    int ReadInteger(const std::string& section, const std::string& key, int def) const;
    // Section names in file order, each once (under its first spelling).
    const std::vector<std::string>& ReadSections() const { return sections_; }

private:
    const std::string* Find(const std::string& section, const std::string& key) const;

    std::vector<std::string> sections_;
    // Lower-case section name -> lower-case key -> value; the first line wins.
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> values_;
};

// The profile reading of an integer: the leading decimal or "0x" hexadecimal
// number of text (after blanks and a sign); def when text starts with none.
// Values beyond the int range are held at its ends.
int ProfileStrToInt(const std::string& text, int def);

// TOLVAR.INI: ${XDG_CONFIG_HOME:-~/.config}/tolvar/TOLVAR.INI, one file for
// every run and apart from the program folder. Its folder is made when missing.
std::string SettingsIniPath();
