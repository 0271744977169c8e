#include "ui/strings.h"

#include "core/fileutil.h"
#include "core/strutil.h"

void TStrings::Changed()
{
    if (OnChange) OnChange();
}

void TStrings::Add(const std::string& line)
{
    lines_.push_back(line);
    Changed();
}

void TStrings::Insert(int index, const std::string& line)
{
    if (index < 0 || index > Count()) index = Count();
    lines_.insert(lines_.begin() + index, line);
    Changed();
}

void TStrings::Delete(int index)
{
    if (index < 0 || index >= Count()) return;
    lines_.erase(lines_.begin() + index);
    Changed();
}

void TStrings::Clear()
{
    if (lines_.empty()) return;
    lines_.clear();
    Changed();
}

void TStrings::Assign(std::vector<std::string> lines)
{
    lines_ = std::move(lines);
    Changed();
}

int TStrings::IndexOf(const std::string& line) const
{
    for (int i = 0; i < Count(); ++i)
        if (SameText(lines_[static_cast<size_t>(i)], line)) return i;
    return -1;
}

std::string TStrings::Text() const
{
    std::string text;
    for (const auto& l : lines_) text += l + "\r\n";
    return text;
}

void TStrings::SetText(const std::string& text)
{
    std::vector<std::string> lines;
    size_t i = 0;
    while (i < text.size()) {
        size_t e = text.find_first_of("\r\n", i);
        if (e == std::string::npos) {
            lines.push_back(text.substr(i));
            break;
        }
        lines.push_back(text.substr(i, e - i));
        i = e + ((text[e] == '\r' && e + 1 < text.size() && text[e + 1] == '\n') ? 2 : 1);
    }
    Assign(std::move(lines));
}

void TStrings::LoadFromFile(const std::string& path) { SetText(ReadFileString(path)); }
